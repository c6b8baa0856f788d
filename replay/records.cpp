// The replayed program's records, read as they arrive.
#include "replay/records.h"

#include <algorithm>
#include <cstring>

#include "qelma/replay_stream.h"

namespace {

// Limits beyond anything the library sends, so that a damaged stream cannot
// ask for unbounded memory.
constexpr std::uint32_t LARGEST_SIDE = 16384;
constexpr std::uint32_t LONGEST_LINE = 1 << 20;
constexpr std::uint32_t LARGEST_PALETTE = 256;

} // namespace

bool RecordReader::take(const void *bytes, std::size_t size, std::string *error) {
    const auto *in = static_cast<const unsigned char *>(bytes);
    std::size_t left = size;
    // A record left half-read is completed first, with no more bytes kept
    // than it needs; the records after it are read where they arrived.
    while (!buffer_.empty() && left > 0) {
        std::size_t need = 0;
        long got = read_one(buffer_.data(), buffer_.size(), &need, error);
        if (got == 0) {
            const std::size_t more = std::min(left, need - buffer_.size());
            buffer_.insert(buffer_.end(), in, in + more);
            in += more;
            left -= more;
            got = read_one(buffer_.data(), buffer_.size(), &need, error);
        }
        if (got < 0)
            return false;
        buffer_.erase(buffer_.begin(), buffer_.begin() + got);
    }
    while (left > 0) {
        std::size_t need = 0;
        const long got = read_one(in, left, &need, error);
        if (got < 0)
            return false;
        if (got == 0) {
            buffer_.assign(in, in + left);
            break;
        }
        in += got;
        left -= static_cast<std::size_t>(got);
    }
    return true;
}

long RecordReader::read_one(const unsigned char *at, std::size_t available, std::size_t *need,
                            std::string *error) {
    *need = 1;
    if (available == 0)
        return 0;
    auto number = [&](std::size_t index) {
        std::uint32_t value = 0;
        std::memcpy(&value, at + 1 + 4 * index, 4);
        return value;
    };
    // Whether the record's first numbers (and extra bytes) are here; when
    // not, *need says how many bytes they take.
    auto have = [&](std::size_t numbers, std::size_t extra = 0) {
        *need = 1 + 4 * numbers + extra;
        return available >= *need;
    };
    const char tag = static_cast<char>(at[0]);
    std::size_t length = 0;
    switch (tag) {
    case 'H': {
        if (!have(2))
            return 0;
        const std::uint32_t colours = number(1);
        if (number(0) != REPLAY_STREAM_VERSION || colours > LARGEST_PALETTE) {
            *error = "the program's QELMA speaks another replay version";
            return -1;
        }
        if (!have(2 + colours))
            return 0;
        report_.began = true;
        report_.palette.assign(colours, 0);
        for (std::uint32_t i = 0; i < colours; ++i)
            report_.palette[i] = number(2 + i);
        length = 1 + 4 * (2 + colours);
        break;
    }
    case 'W':
        if (!have(1))
            return 0;
        report_.waits = number(0);
        length = 5;
        break;
    case 'E':
        if (!have(2))
            return 0;
        report_.ended = true;
        report_.end_how = number(0);
        report_.end_line = number(1);
        length = 9;
        break;
    case 'L': {
        if (!have(1))
            return 0;
        const std::uint32_t n = number(0);
        if (n > LONGEST_LINE) {
            *error = "a log line of the replay stream is too long";
            return -1;
        }
        if (!have(1, n))
            return 0;
        report_.last_log.assign(reinterpret_cast<const char *>(at + 5), n);
        if (sink_ != nullptr && !sink_->log_line(report_.last_log, error))
            return -1;
        return static_cast<long>(5 + n);
    }
    case 'S':
    case 'F': {
        if (!have(tag == 'S' ? 2 : 6))
            return 0;
        std::size_t pixels = 0;
        if (tag == 'F') {
            const std::uint32_t w = number(2), h = number(3), first = number(4), rows = number(5);
            const bool whole = first == 0 && rows == h;
            const bool same_size = report_.has_picture && report_.picture.width == static_cast<int>(w) &&
                                   report_.picture.height == static_cast<int>(h);
            if (w == 0 || h == 0 || w > LARGEST_SIDE || h > LARGEST_SIDE || rows == 0 ||
                first > h || rows > h - first || (!whole && !same_size)) {
                *error = "a picture of the replay stream has an impossible size";
                return -1;
            }
            pixels = static_cast<std::size_t>(w) * rows;
            if (!have(6, 4 * pixels))
                return 0;
            report_.picture.width = static_cast<int>(w);
            report_.picture.height = static_cast<int>(h);
            report_.picture.pixels.resize(static_cast<std::size_t>(w) * h);
            std::memcpy(report_.picture.pixels.data() + static_cast<std::size_t>(w) * first, at + 25,
                        4 * pixels);
            report_.changed_top = static_cast<int>(first);
            report_.changed_bottom = static_cast<int>(first + rows);
        } else if (!report_.has_picture) {
            *error = "the replay stream repeats a picture it never sent";
            return -1;
        }
        report_.has_picture = true;
        report_.picture_number = number(0);
        report_.picture_final = number(1) != 0;
        report_.picture_repeated = tag == 'S';
        length = tag == 'S' ? 9 : 25 + 4 * pixels;
        if (sink_ != nullptr && !sink_->picture(report_, error))
            return -1;
        return static_cast<long>(length);
    }
    default:
        *error = "the replay stream is damaged (a record of kind " + std::to_string(at[0]) + ")";
        return -1;
    }
    return static_cast<long>(length);
}
