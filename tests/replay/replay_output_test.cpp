// qelma-replay's GIFs read back through giflib, and its reading of the
// program's records, damaged streams among them.
#include <cstring>
#include <fstream>
#include <filesystem>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include "replay/gif_writer.h"
#include "replay/pictures.h"
#include "replay/records.h"
#include "replay/replay_gif.h"
#include "support/qelma_test.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::uint32_t> PALETTE = {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF};

Picture filled(std::uint32_t colour, int width = 8, int height = 6) {
    return Picture{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, colour)};
}

Picture with_pixel(Picture p, int x, int y, std::uint32_t colour) {
    p.pixels[static_cast<std::size_t>(y) * p.width + x] = colour;
    return p;
}

struct GifFrame {
    int left, top, width, height, delay;
    std::vector<std::uint8_t> indices;
};

std::vector<GifFrame> read_gif(const fs::path &path, std::vector<std::uint32_t> *table) {
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    EXPECT_NE(gif, nullptr);
    if (gif == nullptr)
        return {};
    EXPECT_EQ(DGifSlurp(gif), GIF_OK);
    for (int i = 0; gif->SColorMap != nullptr && i < gif->SColorMap->ColorCount; ++i) {
        const GifColorType c = gif->SColorMap->Colors[i];
        table->push_back(std::uint32_t{c.Red} << 16 | std::uint32_t{c.Green} << 8 | c.Blue);
    }
    std::vector<GifFrame> frames;
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &image = gif->SavedImages[i];
        GraphicsControlBlock control{};
        DGifSavedExtensionToGCB(gif, i, &control);
        const GifImageDesc &d = image.ImageDesc;
        frames.push_back(GifFrame{d.Left, d.Top, d.Width, d.Height, control.DelayTime,
                                  std::vector<std::uint8_t>(image.RasterBits,
                                                            image.RasterBits + d.Width * d.Height)});
    }
    DGifCloseFile(gif, &error);
    return frames;
}

TEST(GifWriter, MergesRepeatsCropsToTheChangeAndMapsColoursToTheTable) {
    qt_test::TempDir dir;
    const fs::path path = "a.gif";
    const Picture white = filled(0xFFFFFF);
    const Picture dot = with_pixel(with_pixel(white, 2, 1, 0xFF0000), 5, 4, 0x0000FF);
    // A smoothed text pixel nearest to red, another nearest to blue.
    const Picture smoothed = with_pixel(dot, 3, 3, 0xE01010);
    const Picture bluish = with_pixel(smoothed, 3, 3, 0x1010E0);
    {
        GifWriter gif;
        std::string error;
        ASSERT_TRUE(gif.open(path.string(), &error)) << error;
        gif.set_palette(PALETTE);
        for (const Picture *p : {&white, &white, &white, &dot, &smoothed, &bluish, &bluish})
            ASSERT_TRUE(gif.add(*p, 10, &error)) << error;
        // Longer than one frame's time can be: it goes on in a frame of one unchanged pixel.
        ASSERT_TRUE(gif.add(white, 70000, &error)) << error;
        ASSERT_TRUE(gif.close(&error)) << error;
    }
    std::string version(6, '\0');
    std::ifstream(path, std::ios::binary).read(version.data(), 6);
    EXPECT_EQ(version, "GIF89a"); // frame times and the loop need it
    std::vector<std::uint32_t> table;
    const std::vector<GifFrame> frames = read_gif(path, &table);
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[4].delay + frames[5].delay, 70000);
    EXPECT_EQ((std::vector<int>{frames[5].width, frames[5].height}), (std::vector<int>{1, 1}));
    EXPECT_EQ(frames[5].indices, std::vector<std::uint8_t>{1});
    EXPECT_EQ(std::vector<std::uint32_t>(table.begin(), table.begin() + 4), PALETTE);
    // The first frame is whole; the repeats add up to its time.
    EXPECT_EQ(frames[0].width, 8);
    EXPECT_EQ(frames[0].height, 6);
    EXPECT_EQ(frames[0].delay, 30);
    EXPECT_EQ(frames[0].indices, std::vector<std::uint8_t>(48, 1));
    // Only the box around (2, 1) and (5, 4).
    EXPECT_EQ((std::vector<int>{frames[1].left, frames[1].top, frames[1].width, frames[1].height}),
              (std::vector<int>{2, 1, 4, 4}));
    EXPECT_EQ(frames[1].indices.front(), 2);
    EXPECT_EQ(frames[1].indices.back(), 3);
    EXPECT_EQ(frames[1].delay, 10);
    // The smoothed pixels take their nearest entries.
    EXPECT_EQ((std::vector<int>{frames[2].left, frames[2].top, frames[2].width, frames[2].height}),
              (std::vector<int>{3, 3, 1, 1}));
    EXPECT_EQ(frames[2].indices, std::vector<std::uint8_t>{2});
    EXPECT_EQ(frames[3].indices, std::vector<std::uint8_t>{3});
    EXPECT_EQ(frames[3].delay, 20);
}

// A stream as the library writes it: records of a tag and numbers.
struct Stream {
    std::vector<unsigned char> bytes;
    Stream &operator()(char tag, std::initializer_list<std::uint32_t> numbers, const std::string &text = "") {
        bytes.push_back(static_cast<unsigned char>(tag));
        for (std::uint32_t n : numbers) {
            unsigned char b[4];
            std::memcpy(b, &n, 4);
            bytes.insert(bytes.end(), b, b + 4);
        }
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
};

struct Collect : PictureSink {
    std::vector<std::uint32_t> numbers;
    std::vector<std::string> lines;
    bool picture(const ReplayReport &report, std::string *) override {
        numbers.push_back(report.picture_number * 10 + (report.picture_final ? 1 : 0));
        return true;
    }
    bool log_line(const std::string &line, std::string *) override {
        lines.push_back(line);
        return true;
    }
};

// Begins, sends a 2 x 2 picture and then its second row alone, logs, repeats
// the picture, marks it final and ends at line 7.
const Stream A_SESSION = Stream()('H', {1, 2, 0, 0xFFFFFF})
                             ('F', {0, 0, 2, 2, 0, 2, 0xFF0000, 0x00FF00, 1, 2})('W', {1})
                             ('F', {0, 0, 2, 2, 1, 1, 3, 4})('L', {2}, "hi")('L', {5}, "hello")
                             ('S', {1, 0})('S', {1, 1})('E', {0, 7});

TEST(RecordReader, ReadsTheSameInAnyPiecesAndRefusesDamage) {
    const Stream &s = A_SESSION;
    for (std::size_t piece : {s.bytes.size(), std::size_t{1}, std::size_t{3}}) {
        Collect sink;
        RecordReader reader(&sink);
        std::string error;
        for (std::size_t at = 0; at < s.bytes.size(); at += piece)
            ASSERT_TRUE(reader.take(s.bytes.data() + at, std::min(piece, s.bytes.size() - at), &error))
                << error;
        EXPECT_TRUE(reader.complete());
        const ReplayReport &r = reader.report();
        EXPECT_TRUE(r.began && r.ended);
        EXPECT_EQ(r.palette, (std::vector<std::uint32_t>{0, 0xFFFFFF}));
        EXPECT_EQ(r.end_line, 7u);
        EXPECT_EQ(sink.lines, (std::vector<std::string>{"hi", "hello"})); // handed on, only the last kept
        EXPECT_EQ(r.last_log, "hello");
        EXPECT_EQ(r.picture.pixels, (std::vector<std::uint32_t>{0xFF0000, 0x00FF00, 3, 4}));
        EXPECT_EQ(sink.numbers, (std::vector<std::uint32_t>{0, 0, 10, 11}));
    }
    // A half record is not complete; damaged records are refused.
    RecordReader partial(nullptr);
    std::string error;
    ASSERT_TRUE(partial.take(s.bytes.data(), s.bytes.size() - 2, &error));
    EXPECT_FALSE(partial.complete());
    for (const Stream &damaged :
         {Stream()('Z', {}), Stream()('S', {0, 0}) /* nothing to repeat */,
          Stream()('F', {0, 0, 70000, 1, 0, 1}), Stream()('L', {0x7FFFFFFF}), Stream()('H', {99, 0}),
          // a band of rows with no whole picture before it, and one past the end
          Stream()('F', {0, 0, 2, 2, 1, 1}), Stream()('F', {0, 0, 2, 2, 1, 2})}) {
        RecordReader reader(nullptr);
        EXPECT_FALSE(reader.take(damaged.bytes.data(), damaged.bytes.size(), &error));
        EXPECT_FALSE(error.empty());
    }
}

// The page's GIF comes from a whole stream: the GIF of what it drew, or a
// reason and no file at all.
TEST(GifOfStream, MakesTheStreamsGifOrLeavesNone) {
    qt_test::TempDir dir;
    const fs::path stream = dir.path / "stream", gif = dir.path / "out.gif";
    const auto write = [&](const Stream &s) {
        std::ofstream(stream, std::ios::binary).write(reinterpret_cast<const char *>(s.bytes.data()),
                                                      static_cast<std::streamsize>(s.bytes.size()));
    };
    write(A_SESSION);
    StreamGif made;
    std::string error;
    ASSERT_TRUE(gif_of_stream(stream.string(), gif.string(), &made, &error)) << error;
    EXPECT_TRUE(made.report.ended);
    EXPECT_EQ(made.report.end_line, 7u);
    EXPECT_EQ(made.report.last_log, "hello");
    std::vector<std::uint32_t> table;
    const std::vector<GifFrame> frames = read_gif(gif, &table);
    EXPECT_EQ(made.frames, frames.size());
    ASSERT_EQ(frames.size(), 2u); // the repeat lengthens the second
    EXPECT_EQ(frames[1].delay, 20);
    for (const Stream &bad : {Stream()('H', {1, 2, 0, 0xFFFFFF})('E', {0, 1}), Stream()('Z', {})}) {
        write(bad);
        error.clear();
        EXPECT_FALSE(gif_of_stream(stream.string(), gif.string(), &made, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_FALSE(fs::exists(gif)) << error;
    }
    fs::remove(stream);
    EXPECT_FALSE(gif_of_stream(stream.string(), gif.string(), &made, &error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
}

// A PNG of 2 x 2 RGB pixels built by hand, its rows (each a filter byte and
// six bytes) compressed into the one IDAT chunk unless idat is given.
std::string png_file(const std::string &rows, const std::string *idat = nullptr) {
    auto chunk = [](const char *type, const std::string &data) {
        std::string out(4, '\0');
        for (int i = 0; i < 4; ++i)
            out[i] = static_cast<char>(data.size() >> (24 - 8 * i));
        const std::string body = type + data;
        const uLong crc = crc32(0, reinterpret_cast<const Bytef *>(body.data()), body.size());
        out += body;
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>(crc >> (24 - 8 * i));
        return out;
    };
    std::string packed(compressBound(rows.size()), '\0');
    uLongf size = packed.size();
    compress(reinterpret_cast<Bytef *>(packed.data()), &size, reinterpret_cast<const Bytef *>(rows.data()),
             rows.size());
    packed.resize(size);
    return std::string("\x89PNG\r\n\x1a\n", 8) +
           chunk("IHDR", std::string("\0\0\0\2\0\0\0\2\x08\x02\0\0\0", 13)) +
           chunk("IDAT", idat != nullptr ? *idat : packed) + chunk("IEND", "");
}

// Damaged references are refused with a reason, and read without a leak.
TEST(ReadPng, RefusesDamagedFiles) {
    qt_test::TempDir dir;
    const std::string rows = std::string("\0\xff\0\0\0\xff\0\0\0\0\xff\xff\xff\xff", 14);
    const std::string good = png_file(rows), garbage = "not a zlib stream at all";
    Picture picture;
    std::string error;
    std::ofstream("good.png", std::ios::binary) << good;
    ASSERT_TRUE(read_png("good.png", &picture, &error)) << error;
    EXPECT_EQ(picture.pixels, (std::vector<std::uint32_t>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    std::string bad_filter = rows;
    bad_filter[7] = 9;
    for (const std::string &damaged :
         {good.substr(0, good.size() - 20), png_file(bad_filter), png_file(rows, &garbage)}) {
        std::ofstream("bad.png", std::ios::binary | std::ios::trunc) << damaged;
        error.clear();
        EXPECT_FALSE(read_png("bad.png", &picture, &error));
        EXPECT_NE(error.find("bad.png: "), std::string::npos) << error;
    }
}

} // namespace
