// The animated GIF of qelma-replay, through giflib.
#include "replay/gif_writer.h"
#include "qelma/replay_stream.h"
#include "replay/file_flags.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

namespace {

constexpr int GIF_LONGEST_DELAY = 65535; // hundredths of a second

} // namespace

GifWriter::~GifWriter() {
    std::string ignored;
    close(&ignored);
}

bool GifWriter::failed(const char *what, int code, std::string *error) {
    *error = path_ + ": " + what + ": " + GifErrorString(code);
    return false;
}

bool GifWriter::open(const std::string &path, std::string *error) {
    path_ = path;
    // Made here rather than by giflib, which would make it readable by its
    // owner alone.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_BINARY, 0666);
    if (fd < 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    int code = 0;
    gif_ = EGifOpenFileHandle(fd, &code);
    if (gif_ == nullptr) {
        ::close(fd);
        return failed("cannot create", code, error);
    }
    return true;
}

void GifWriter::set_palette(const std::vector<std::uint32_t> &colours) {
    palette_.assign(colours.begin(), colours.begin() + std::min<std::size_t>(colours.size(), 256));
    if (palette_.empty())
        palette_.push_back(0);
    std::fill(nearest_colour_.begin(), nearest_colour_.end(), 0u);
}

std::uint8_t GifWriter::index_of(std::uint32_t colour) {
    // Open addressing by a multiplicative hash; a colour is 24 bits, so bit
    // 24 marks a taken place. A picture has far fewer colours than places,
    // and a full table is only ever searched.
    const std::uint32_t key = (colour & 0xFFFFFFu) | (1u << 24);
    std::size_t place = (key * 2654435761u) >> 20;
    for (std::size_t tries = 0; tries < NEAREST_PLACES; ++tries) {
        if (nearest_colour_[place] == key)
            return nearest_index_[place];
        if (nearest_colour_[place] == 0)
            break;
        place = (place + 1) % NEAREST_PLACES;
    }
    std::size_t best = 0;
    long best_distance = LONG_MAX;
    for (std::size_t i = 0; i < palette_.size(); ++i) {
        long distance = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const long d = static_cast<long>((colour >> shift) & 0xFF) -
                           static_cast<long>((palette_[i] >> shift) & 0xFF);
            distance += d * d;
        }
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    if (nearest_colour_[place] == 0) {
        nearest_colour_[place] = key;
        nearest_index_[place] = static_cast<std::uint8_t>(best);
    }
    return static_cast<std::uint8_t>(best);
}

bool GifWriter::add(const Picture &picture, int centiseconds, std::string *error, Known known,
                    int changed_top, int changed_bottom) {
    if (gif_ == nullptr)
        return true;
    const bool same = known == Known::SAME ||
                      (known == Known::UNKNOWN && has_pending_ && picture == shown_);
    if (has_pending_ && same) {
        pending_time_ += centiseconds;
        return true;
    }
    if (has_pending_ && !write_pending(error))
        return false;
    if (!prepare(picture, changed_top, changed_bottom, error))
        return false;
    pending_time_ = centiseconds;
    has_pending_ = true;
    return true;
}

bool GifWriter::write_screen(int width, int height, std::string *error) {
    // The first picture's size and the table, padded to a power of two as
    // GIF wants.
    int size = 2;
    while (size < static_cast<int>(palette_.size()))
        size *= 2;
    std::vector<GifColorType> colours(static_cast<std::size_t>(size), GifColorType{0, 0, 0});
    for (std::size_t i = 0; i < palette_.size(); ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(palette_[i] >> 16),
                                  static_cast<GifByteType>(palette_[i] >> 8),
                                  static_cast<GifByteType>(palette_[i])};
    ColorMapObject *map = GifMakeMapObject(size, colours.data());
    EGifSetGifVersion(gif_, true); // GIF89a: frame times and the loop
    const int done = map != nullptr ? EGifPutScreenDesc(gif_, width, height, 8, 0, map) : GIF_ERROR;
    GifFreeMapObject(map);
    if (done == GIF_ERROR)
        return failed("cannot write the screen", gif_->Error, error);
    const GifByteType loop[3] = {1, 0, 0}; // play for ever
    if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0") == GIF_ERROR ||
        EGifPutExtensionBlock(gif_, 3, loop) == GIF_ERROR ||
        EGifPutExtensionTrailer(gif_) == GIF_ERROR)
        return failed("cannot write the loop", gif_->Error, error);
    shown_.width = width;
    shown_.height = height;
    shown_.pixels.assign(static_cast<std::size_t>(width) * height, ~0u); // all of it changes
    return true;
}

// The next frame: the rectangle of picture that differs from what is shown,
// as table entries, and the shown picture brought up to date with it.
bool GifWriter::prepare(const Picture &picture, int changed_top, int changed_bottom,
                        std::string *error) {
    const int width = picture.width;
    const int height = picture.height;
    // Only a band known for a picture after the first one is taken.
    const bool first = shown_.width == 0;
    if (first && !write_screen(width, height, error))
        return false;
    if (width != shown_.width || height != shown_.height) {
        *error = path_ + ": the pictures changed size";
        return false;
    }
    // The rectangle that holds every changed pixel: the band of changed
    // rows, and in it the columns from the first to the last change.
    int from = 0, to = height;
    if (!first && changed_bottom >= 0) {
        from = std::clamp(changed_top, 0, height);
        to = std::clamp(changed_bottom, from, height);
    }
    const std::size_t skipped = static_cast<std::size_t>(from) * width;
    int left = width, right = -1, top = 0, band_end = 0;
    changed_rows(picture.pixels.data() + skipped, shown_.pixels.data() + skipped, width, to - from,
                 &top, &band_end);
    top += from;
    band_end += from;
    int bottom = top == band_end ? -1 : band_end - 1; // the last changed row, or none
    for (int y = top; y < band_end; ++y) {
        const std::uint32_t *now = picture.pixels.data() + static_cast<std::size_t>(y) * width;
        const std::uint32_t *before = shown_.pixels.data() + static_cast<std::size_t>(y) * width;
        if (std::equal(now, now + width, before))
            continue;
        int x = 0;
        while (now[x] == before[x])
            ++x;
        left = std::min(left, x);
        x = width - 1;
        while (now[x] == before[x])
            --x;
        right = std::max(right, x);
    }
    if (bottom < 0) {
        // Different, and yet drawn the same (colours that map to one entry):
        // one pixel keeps the frame and its time.
        left = right = top = bottom = 0;
    }
    frame_ = FrameBox{left, top, right - left + 1, bottom - top + 1};
    frame_indices_.resize(static_cast<std::size_t>(frame_.width) * frame_.height);
    GifByteType *out = frame_indices_.data();
    for (int y = top; y <= bottom; ++y) {
        const std::uint32_t *row = picture.pixels.data() + static_cast<std::size_t>(y) * width;
        // Runs of one colour are the rule: each run is looked up once.
        std::uint32_t colour = row[left];
        GifByteType index = index_of(colour);
        for (int x = left; x <= right; ++x) {
            if (row[x] != colour) {
                colour = row[x];
                index = index_of(colour);
            }
            *out++ = index;
        }
        std::copy(row + left, row + right + 1, shown_.pixels.data() + static_cast<std::size_t>(y) * width + left);
    }
    first_index_ = index_of(shown_.pixels[0]);
    return true;
}

bool GifWriter::write_pending(std::string *error) {
    // A GIF frame's time is at most 65535 hundredths of a second: a longer
    // one goes on in frames that repeat one pixel as it is.
    long long time_left = pending_time_;
    auto frame_head = [&](int frame_left, int frame_top, int frame_width, int frame_height) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = static_cast<int>(std::min<long long>(time_left, GIF_LONGEST_DELAY));
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        time_left -= control.DelayTime;
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        return EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) != GIF_ERROR &&
               EGifPutImageDesc(gif_, frame_left, frame_top, frame_width, frame_height, false,
                                nullptr) != GIF_ERROR;
    };
    if (!frame_head(frame_.left, frame_.top, frame_.width, frame_.height))
        return failed("cannot write a frame", gif_->Error, error);
    for (int y = 0; y < frame_.height; ++y) {
        if (EGifPutLine(gif_, frame_indices_.data() + static_cast<std::size_t>(y) * frame_.width,
                        frame_.width) == GIF_ERROR)
            return failed("cannot write a frame", gif_->Error, error);
    }
    while (time_left > 0) {
        GifByteType same = first_index_;
        if (!frame_head(0, 0, 1, 1) || EGifPutLine(gif_, &same, 1) == GIF_ERROR)
            return failed("cannot write a frame", gif_->Error, error);
        ++frames_;
    }
    ++frames_;
    has_pending_ = false;
    return true;
}

bool GifWriter::close(std::string *error) {
    if (gif_ == nullptr)
        return true;
    bool ok = !has_pending_ || write_pending(error);
    int code = 0;
    if (EGifCloseFile(gif_, &code) == GIF_ERROR && ok)
        ok = failed("cannot finish", code, error);
    gif_ = nullptr;
    return ok;
}
