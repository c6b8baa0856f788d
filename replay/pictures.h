// Pictures of the drawing area, as qelma-replay writes and compares them:
// PNG files (libpng) and the difference between two pictures.
#ifndef QELMA_REPLAY_PICTURES_H
#define QELMA_REPLAY_PICTURES_H

#include <cstdint>
#include <string>
#include <vector>

// Rows of 0xRRGGBB pixels, top row first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool operator==(const Picture &) const = default;
};

// Writes an 8-bit RGB PNG. False, with the reason in *error, when the file
// cannot be written.
bool write_png(const std::string &path, const Picture &picture, std::string *error);
// Reads any PNG as RGB (palette, grey and 16-bit expanded, alpha dropped).
// False, with the reason in *error, for a missing, unreadable or damaged file
// or one larger than 16384 pixels a side.
bool read_png(const std::string &path, Picture *picture, std::string *error);

// How two pictures differ. Pictures of different sizes differ in every pixel
// of the larger one, and the marked picture has the larger one's size.
struct Difference {
    std::size_t differing = 0;
    std::size_t total = 0;
    Picture marked; // the actual picture faded, differing pixels in red
    double percent() const { return total == 0 ? 0.0 : 100.0 * differing / total; }
};
Difference compare_pictures(const Picture &actual, const Picture &expected);

#endif // QELMA_REPLAY_PICTURES_H
