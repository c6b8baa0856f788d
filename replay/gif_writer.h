// An animated GIF of the drawing area, written through giflib as pictures
// arrive: the program's palette is the colour table (any other colour, such
// as the smoothed edge of a text, takes its nearest entry), a picture the
// same as the one before only lengthens that one's time on screen, and each
// frame holds just the rectangle that changed. It loops for ever.
#ifndef QELMA_REPLAY_GIF_WRITER_H
#define QELMA_REPLAY_GIF_WRITER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "replay/pictures.h"

struct GifFileType;

class GifWriter {
  public:
    GifWriter() = default;
    GifWriter(const GifWriter &) = delete;
    GifWriter &operator=(const GifWriter &) = delete;
    ~GifWriter();

    // Creates the file. False, with the reason in *error, when it cannot.
    bool open(const std::string &path, std::string *error);
    // The colours of the table, at most 256; set before the first picture.
    void set_palette(const std::vector<std::uint32_t> &colours);
    // One picture, shown for the given hundredths of a second. Whether it
    // is the same as the picture added before may be known (a replay's
    // records say), and the rows [changed_top, changed_bottom) outside
    // which it is the same; else it is compared throughout.
    enum class Known { UNKNOWN, SAME, DIFFERENT };
    bool add(const Picture &picture, int centiseconds, std::string *error,
             Known known = Known::UNKNOWN, int changed_top = 0, int changed_bottom = -1);
    // Writes the last frame and closes the file.
    bool close(std::string *error);
    // The frames written so far.
    std::size_t frames() const { return frames_; }

  private:
    // The table entry a colour is drawn with: its own, or the nearest.
    std::uint8_t index_of(std::uint32_t colour);
    bool write_screen(int width, int height, std::string *error);
    bool prepare(const Picture &picture, int changed_top, int changed_bottom, std::string *error);
    bool write_pending(std::string *error);
    bool failed(const char *what, int code, std::string *error);

    GifFileType *gif_ = nullptr;
    std::string path_;
    std::vector<std::uint32_t> palette_;
    // The entries of colours seen, in a table of 4096 places by hash, each
    // a colour (bit 24 set: the place is taken) and its entry.
    static constexpr std::size_t NEAREST_PLACES = 4096;
    std::vector<std::uint32_t> nearest_colour_ = std::vector<std::uint32_t>(NEAREST_PLACES, 0);
    std::vector<std::uint8_t> nearest_index_ = std::vector<std::uint8_t>(NEAREST_PLACES, 0);
    Picture shown_; // the picture the frames made so far add up to, the pending one included
    // The last frame, made but not written until its time is known: its
    // rectangle, its table entries row by row, the entry of the top-left pixel.
    struct FrameBox {
        int left, top, width, height;
    };
    FrameBox frame_{0, 0, 0, 0};
    std::vector<std::uint8_t> frame_indices_;
    std::uint8_t first_index_ = 0;
    long long pending_time_ = 0; // hundredths of a second
    bool has_pending_ = false;
    std::size_t frames_ = 0;
};

#endif // QELMA_REPLAY_GIF_WRITER_H
