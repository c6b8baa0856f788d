// Pixel parity between the backends: two whole game frames drawn with the
// game's own picture functions (texts left out, since the font each system
// picks differs), read back from the canvas, and kept as binary PPM files.
#ifndef QELMA_TESTS_PARITY_PARITY_FRAMES_H
#define QELMA_TESTS_PARITY_PARITY_FRAMES_H

#include <cstdint>
#include <string>
#include <vector>

// The canvas as rows of 0xRRGGBB pixels, top row first.
struct Frame {
    int width;
    int height;
    std::vector<std::uint32_t> pixels;
};

// The frames compared: "day" and "night", each with ten placed cars and a blast.
inline const char *const PARITY_FRAMES[] = {"day", "night"};

// Opens the QELMA session (once per process), draws the named frame on the
// canvas and returns the canvas. An unknown name gives an empty frame.
Frame draw_parity_frame(const std::string &name);

// Writes the frame as a binary PPM (P6, maxval 255). Returns false, with the
// reason in *error, when the file cannot be written.
bool write_ppm(const std::string &path, const Frame &frame, std::string *error);

// Reads a binary PPM with maxval 255. Returns false, with the reason in
// *error, for a missing, short or malformed file.
bool read_ppm(const std::string &path, Frame *frame, std::string *error);

#endif // QELMA_TESTS_PARITY_PARITY_FRAMES_H
