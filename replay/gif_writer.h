// An animated GIF of the drawing area, written through giflib as pictures
// arrive: the program's palette is the colour table (any other colour, such
// as the smoothed edge of a text, takes its nearest entry), a picture the
// same as the one before only lengthens that one's time on screen, and each
// frame holds just the rectangle that changed. It loops for ever.
#ifndef QELMA_REPLAY_GIF_WRITER_H
#define QELMA_REPLAY_GIF_WRITER_H

#include <cstdint>
#include <string>
#include <unordered_map>
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
    // One picture, shown for the given hundredths of a second.
    bool add(const Picture &picture, int centiseconds, std::string *error);
    // Writes the last frame and closes the file.
    bool close(std::string *error);

  private:
    // The table entry a colour is drawn with: its own, or the nearest.
    std::uint8_t index_of(std::uint32_t colour);
    bool write_pending(std::string *error);
    bool failed(const char *what, int code, std::string *error);

    GifFileType *gif_ = nullptr;
    std::string path_;
    std::vector<std::uint32_t> palette_;
    std::unordered_map<std::uint32_t, std::uint8_t> nearest_;
    Picture shown_;   // the picture the frames written so far add up to
    Picture pending_; // the last picture, not written until its time is known
    long long pending_time_ = 0; // hundredths of a second
    bool has_pending_ = false;
    std::vector<std::uint8_t> line_;
};

#endif // QELMA_REPLAY_GIF_WRITER_H
