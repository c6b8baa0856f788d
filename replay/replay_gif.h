// The GIF of a replay: the frames that qelma-replay --gif and the page's
// Make GIF both make of a replayed program's pictures, one per periodic
// event at 100 ms, a repeat lengthening the frame before.
#ifndef QELMA_REPLAY_REPLAY_GIF_H
#define QELMA_REPLAY_REPLAY_GIF_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "replay/gif_writer.h"
#include "replay/records.h"

// Each picture's time on screen: the period of the periodic event.
constexpr int PICTURE_CENTISECONDS = 10;

class ReplayGif {
  public:
    bool open(const std::string &path, std::string *error) { return writer_.open(path, error); }
    // The report's latest picture, as it arrives.
    bool add(const ReplayReport &report, std::string *error);
    // Writes the last frame and closes the file.
    bool close(std::string *error) { return writer_.close(error); }
    // The pictures taken, repeats included (each a frame or a frame's time).
    std::size_t pictures() const { return pictures_; }
    // The GIF's frames written so far.
    std::size_t frames() const { return writer_.frames(); }

  private:
    GifWriter writer_;
    bool palette_set_ = false, seen_ = false;
    std::uint32_t last_number_ = 0;
    std::size_t pictures_ = 0;
};

// What gif_of_stream found besides the GIF.
struct StreamGif {
    ReplayReport report; // the end, the last line logged
    std::size_t pictures = 0, frames = 0;
    bool ended_mid_record = false;
};

// The GIF of a whole record stream kept in a file, written to gif_path. False,
// with the reason in *error, when the stream cannot be read, is damaged, or
// holds no picture (then no GIF is left behind).
bool gif_of_stream(const std::string &stream_path, const std::string &gif_path, StreamGif *made,
                   std::string *error);

#endif // QELMA_REPLAY_REPLAY_GIF_H
