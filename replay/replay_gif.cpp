// The GIF of a replay, from its pictures as they arrive or from a whole
// stream kept in a file.
#include "replay/replay_gif.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

bool ReplayGif::add(const ReplayReport &report, std::string *error) {
    if (!palette_set_) {
        writer_.set_palette(report.palette);
        palette_set_ = true;
    }
    // A picture told again with the same number comes at the script's end:
    // unchanged, it is the one already shown; changed (clicks or keys after
    // the last tick), it is one more.
    if (seen_ && report.picture_number == last_number_ && report.picture_repeated)
        return true;
    seen_ = true;
    last_number_ = report.picture_number;
    ++pictures_;
    // An 'S' record repeats the picture before; an 'F' one brought the rows
    // that changed.
    const GifWriter::Known known =
        report.picture_repeated ? GifWriter::Known::SAME : GifWriter::Known::DIFFERENT;
    return writer_.add(report.picture, PICTURE_CENTISECONDS, error, known, report.changed_top,
                       report.changed_bottom);
}

namespace {

class GifSink final : public PictureSink {
  public:
    explicit GifSink(ReplayGif *gif) : gif_(gif) {}
    bool picture(const ReplayReport &report, std::string *error) override { return gif_->add(report, error); }

  private:
    ReplayGif *gif_;
};

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

} // namespace

bool gif_of_stream(const std::string &stream_path, const std::string &gif_path, StreamGif *made,
                   std::string *error) {
    std::unique_ptr<std::FILE, FileCloser> in(std::fopen(stream_path.c_str(), "rb"));
    if (!in) {
        *error = "cannot read " + stream_path + ": " + std::strerror(errno);
        return false;
    }
    ReplayGif gif;
    if (!gif.open(gif_path, error))
        return false;
    GifSink sink(&gif);
    RecordReader reader(&sink);
    bool ok = true;
    char bytes[1 << 16];
    std::size_t got;
    while (ok && (got = std::fread(bytes, 1, sizeof bytes, in.get())) > 0)
        ok = reader.take(bytes, got, error);
    if (ok && std::ferror(in.get())) {
        *error = "cannot read " + stream_path + ": " + std::strerror(errno);
        ok = false;
    }
    if (ok && gif.pictures() == 0) {
        *error = "the program drew no picture";
        ok = false;
    }
    std::string unclosed;
    ok = gif.close(ok ? error : &unclosed) && ok;
    if (!ok) {
        std::remove(gif_path.c_str());
        return false;
    }
    made->report = reader.report();
    made->pictures = gif.pictures();
    made->frames = gif.frames();
    made->ended_mid_record = !reader.complete();
    return true;
}
