// Pixel parity between the backends: two whole game frames drawn with the
// game's own picture functions (texts left out: GDI's letters are not the
// layer's), a frame of shapes and a frame of texts, read back from the
// canvas, and kept as binary PPM files.
#ifndef QELMA_TESTS_PARITY_PARITY_FRAMES_H
#define QELMA_TESTS_PARITY_PARITY_FRAMES_H

#include <string>
#include <vector>

#include "parity/frame_io.h"

// The frames compared: "day" and "night", each with ten placed cars and a
// blast, "shapes": a few thousand shapes of every kind, pen width and size,
// placed at random (with a fixed seed) and at the canvas's edges, and
// "texts": texts of every size and style, clipped at every edge.
inline const char *const PARITY_FRAMES[] = {"day", "night", "shapes", "texts"};

// Opens the QELMA session (once per process), draws the named frame on the
// canvas and returns the canvas. An unknown name gives an empty frame. When
// log_lines is given, it receives every line the frame's drawing calls wrote
// to the message log (each with its "\n"), in order: what the frame draws,
// call by call.
Frame draw_parity_frame(const std::string &name, std::vector<std::string> *log_lines = nullptr);

// The frame's log lines as kept beside its reference picture, one a line.
// Returns false, with the reason in *error, when the file cannot be written
// or read.
bool write_log_lines(const std::string &path, const std::vector<std::string> &lines,
                     std::string *error);
bool read_log_lines(const std::string &path, std::vector<std::string> *lines, std::string *error);

#endif // QELMA_TESTS_PARITY_PARITY_FRAMES_H
