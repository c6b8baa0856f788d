// PNG files through libpng, and the difference picture of --expect.
#include "replay/pictures.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <png.h>

namespace {

constexpr int LARGEST_SIDE = 16384;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

File open_file(const std::string &path, const char *mode, std::string *error) {
    File file(std::fopen(path.c_str(), mode), std::fclose);
    if (!file)
        *error = path + ": " + std::strerror(errno);
    return file;
}

// libpng reports its errors through longjmp; the message is kept for ours.
void on_png_error(png_structp png, png_const_charp message) {
    auto *why = static_cast<std::string *>(png_get_error_ptr(png));
    *why = message;
    png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

} // namespace

bool write_png(const std::string &path, const Picture &picture, std::string *error) {
    File file = open_file(path, "wb", error);
    if (!file)
        return false;
    std::string why;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &why, on_png_error, on_png_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        *error = path + ": out of memory";
        return false;
    }
    std::vector<png_byte> row(static_cast<std::size_t>(picture.width) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        *error = path + ": " + why;
        return false;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width),
                 static_cast<png_uint_32>(picture.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < picture.height; ++y) {
        const std::uint32_t *source = picture.pixels.data() + static_cast<std::size_t>(y) * picture.width;
        for (int x = 0; x < picture.width; ++x) {
            row[3 * x] = static_cast<png_byte>(source[x] >> 16);
            row[3 * x + 1] = static_cast<png_byte>(source[x] >> 8);
            row[3 * x + 2] = static_cast<png_byte>(source[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0 || std::ferror(file.get())) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

namespace {

// The steps of reading that libpng may leave by longjmp, each in a function
// of its own with no object that a destructor must end: nothing is skipped
// when it jumps. False on a damaged file.
bool read_png_header(png_structp png, png_infop info, std::FILE *file) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, LARGEST_SIDE, LARGEST_SIDE);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool read_png_rows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

} // namespace

bool read_png(const std::string &path, Picture *picture, std::string *error) {
    File file = open_file(path, "rb", error);
    if (!file)
        return false;
    png_byte signature[8] = {};
    if (std::fread(signature, 1, 8, file.get()) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        *error = path + ": not a PNG file";
        return false;
    }
    std::string why;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &why, on_png_error, on_png_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        *error = path + ": out of memory";
        return false;
    }
    auto damaged = [&] {
        png_destroy_read_struct(&png, &info, nullptr);
        *error = path + ": " + (why.empty() ? "damaged PNG" : why);
        return false;
    };
    if (!read_png_header(png, info, file.get()))
        return damaged();
    Picture read;
    read.width = static_cast<int>(png_get_image_width(png, info));
    read.height = static_cast<int>(png_get_image_height(png, info));
    if (png_get_rowbytes(png, info) != static_cast<std::size_t>(read.width) * 3) {
        png_destroy_read_struct(&png, &info, nullptr);
        *error = path + ": unexpected PNG layout";
        return false;
    }
    // Interlaced pictures need every row in memory at once.
    std::vector<png_byte> all(static_cast<std::size_t>(read.width) * 3 * read.height);
    std::vector<png_bytep> rows(static_cast<std::size_t>(read.height));
    for (int y = 0; y < read.height; ++y)
        rows[y] = all.data() + static_cast<std::size_t>(y) * read.width * 3;
    if (!read_png_rows(png, rows.data()))
        return damaged();
    png_destroy_read_struct(&png, &info, nullptr);
    read.pixels.resize(static_cast<std::size_t>(read.width) * read.height);
    for (std::size_t i = 0; i < read.pixels.size(); ++i)
        read.pixels[i] = std::uint32_t{all[3 * i]} << 16 | std::uint32_t{all[3 * i + 1]} << 8 | all[3 * i + 2];
    *picture = std::move(read);
    return true;
}

Difference compare_pictures(const Picture &actual, const Picture &expected) {
    Difference result;
    const int width = std::max(actual.width, expected.width);
    const int height = std::max(actual.height, expected.height);
    const bool same_size = actual.width == expected.width && actual.height == expected.height;
    result.total = static_cast<std::size_t>(width) * height;
    result.marked.width = width;
    result.marked.height = height;
    result.marked.pixels.assign(result.total, 0xFF0000u);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * width + x;
            const bool inside = x < actual.width && y < actual.height;
            const std::uint32_t mine =
                inside ? actual.pixels[static_cast<std::size_t>(y) * actual.width + x] : 0;
            if (same_size && mine == expected.pixels[at]) {
                // Faded three quarters of the way to white, so that red stands out.
                std::uint32_t faded = 0;
                for (int shift = 0; shift <= 16; shift += 8) {
                    const std::uint32_t channel = (mine >> shift) & 0xFF;
                    faded |= ((channel + 3 * 255) / 4) << shift;
                }
                result.marked.pixels[at] = faded;
            } else {
                ++result.differing;
            }
        }
    }
    return result;
}
