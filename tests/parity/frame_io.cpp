// Frames of the canvas as pixel arrays and binary PPM files.
#include "parity/frame_io.h"

#include <cctype>
#include <cstdio>
#include <memory>

#include "qelma/platform/platform.h"
#include "qelma/platform/platform_inspect.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"

Frame read_canvas() {
    Frame frame{QELMA_CANVAS_WIDTH, QELMA_CANVAS_HEIGHT, {}};
    frame.pixels.reserve(static_cast<std::size_t>(frame.width) * frame.height);
    for (int row = 0; row < frame.height; ++row) {
        for (int column = 0; column < frame.width; ++column) {
            PlatColor c = plat_get_pixel(session.canvas_dc, column, row);
            frame.pixels.push_back((plat_red(c) << 16) | (plat_green(c) << 8) | plat_blue(c));
        }
    }
    return frame;
}

bool write_ppm(const std::string &path, const Frame &frame, std::string *error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "wb"),
                                                          &std::fclose);
    if (!file) {
        *error = "cannot open " + path + " for writing";
        return false;
    }
    std::fprintf(file.get(), "P6\n%d %d\n255\n", frame.width, frame.height);
    std::vector<unsigned char> bytes;
    bytes.reserve(frame.pixels.size() * 3);
    for (std::uint32_t p : frame.pixels) {
        bytes.push_back(static_cast<unsigned char>(p >> 16));
        bytes.push_back(static_cast<unsigned char>(p >> 8));
        bytes.push_back(static_cast<unsigned char>(p));
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        *error = "short write to " + path;
        return false;
    }
    if (std::fclose(file.release()) != 0) {
        *error = "cannot finish writing " + path;
        return false;
    }
    return true;
}

namespace {

// One header number of a PPM, after white space and # comments.
bool read_header_number(std::FILE *f, int *value) {
    int c = std::fgetc(f);
    while (c == '#' || std::isspace(c)) {
        if (c == '#') {
            while (c != '\n' && c != EOF) {
                c = std::fgetc(f);
            }
        }
        c = std::fgetc(f);
    }
    long long v = 0;
    int digits = 0;
    while (c >= '0' && c <= '9' && digits < 9) {
        v = v * 10 + (c - '0');
        ++digits;
        c = std::fgetc(f);
    }
    if (digits == 0 || !(c == EOF || std::isspace(c))) {
        return false;
    }
    *value = static_cast<int>(v);
    return true;
}

} // namespace

bool read_ppm(const std::string &path, Frame *frame, std::string *error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"),
                                                          &std::fclose);
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    int width = 0, height = 0, maxval = 0;
    if (std::fgetc(file.get()) != 'P' || std::fgetc(file.get()) != '6' ||
        !read_header_number(file.get(), &width) || !read_header_number(file.get(), &height) ||
        !read_header_number(file.get(), &maxval) || maxval != 255 || width <= 0 || height <= 0 ||
        width > 10000 || height > 10000) {
        *error = path + " is not a binary PPM of at most 10000 x 10000 pixels with maxval 255";
        return false;
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(width) * height * 3);
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        *error = path + " ends before its last pixel";
        return false;
    }
    frame->width = width;
    frame->height = height;
    frame->pixels.resize(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < frame->pixels.size(); ++i) {
        frame->pixels[i] = (std::uint32_t{bytes[3 * i]} << 16) |
                           (std::uint32_t{bytes[3 * i + 1]} << 8) | bytes[3 * i + 2];
    }
    return true;
}
