// Frames of the canvas as pixel arrays, and binary PPM files of them.
#ifndef QELMA_TESTS_PARITY_FRAME_IO_H
#define QELMA_TESTS_PARITY_FRAME_IO_H

#include <cstdint>
#include <string>
#include <vector>

// The canvas as rows of 0xRRGGBB pixels, top row first.
struct Frame {
    int width;
    int height;
    std::vector<std::uint32_t> pixels;
};

// The whole canvas of the open session, as the program drew it.
Frame read_canvas();

// Writes the frame as a binary PPM (P6, maxval 255). Returns false, with the
// reason in *error, when the file cannot be written.
bool write_ppm(const std::string &path, const Frame &frame, std::string *error);

// Reads a binary PPM with maxval 255. Returns false, with the reason in
// *error, for a missing, short or malformed file.
bool read_ppm(const std::string &path, Frame *frame, std::string *error);

#endif // QELMA_TESTS_PARITY_FRAME_IO_H
