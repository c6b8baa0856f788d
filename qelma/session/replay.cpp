// A program run by qelma-replay: its events come from the script that the
// environment names, from its first wait on, and the pictures it draws and
// the lines it logs go to the command as records (qelma/replay_stream.h),
// written by the session's observer (observer.h) made here. The program
// itself is not changed; without the variables nothing here acts.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "qelma/draw/draw.h"
#include "qelma/platform/stream_handles.h"
#include "qelma/log/log.h"
#include "qelma/qelma.h"
#include "qelma/replay_stream.h"
#include "qelma/session/session.h"
#if defined(__EMSCRIPTEN__)
#include "qelma/platform/web/page_gif.h"
#endif

namespace {

struct Replay {
    bool active = false;
    std::string script;                // the script played instead of QELMA.SCR
    std::FILE *stream = nullptr;       // the records, to the command
    std::string stream_name;           // where they go
    std::uint32_t waits = 0;           // waits begun
    std::uint32_t ticks = 0;           // periodic events returned
    bool picture_due = true;           // the next wait begins with a picture
    std::uint32_t every = 1;           // pictures sent: multiples of this (0: the final ones)
    bool ended = false;                // the script's end has been told
    std::vector<std::uint32_t> last;   // the pixels of the last 'F'
    std::vector<std::uint32_t> now;
    std::chrono::steady_clock::time_point flushed{};
};

Replay &replay = *new Replay; // lives to the process's very end

// Writing stops where the stream is gone (the program ended its session, or
// was started by hand with only the script named).
void put_bytes(const void *bytes, std::size_t size) {
    if (replay.stream != nullptr) {
        std::fwrite(bytes, 1, size, replay.stream);
    }
}

void put(std::uint32_t value) { put_bytes(&value, sizeof value); }

void put_tag(char tag) { put_bytes(&tag, 1); }

void flush() {
    if (replay.stream != nullptr) {
        std::fflush(replay.stream);
    }
}

// Records reach the command at least five times a second, so that it sees a
// program that is still asking for events even while no picture fills the
// buffer.
void flush_now_and_then() {
    const auto now = std::chrono::steady_clock::now();
    if (now - replay.flushed >= std::chrono::milliseconds(200)) {
        flush();
        replay.flushed = now;
    }
}

void send_picture(bool final) {
    const std::size_t count = static_cast<std::size_t>(QELMA_CANVAS_WIDTH) * QELMA_CANVAS_HEIGHT;
    replay.now.resize(count);
    if (plat_read_pixels(session.canvas_dc, 0, 0, QELMA_CANVAS_WIDTH, QELMA_CANVAS_HEIGHT,
                         replay.now.data()) == 0) {
        std::fill(replay.now.begin(), replay.now.end(), 0u); // no canvas: a black picture
    }
    // Only the band of rows that changed since the last picture travels.
    int top = 0, bottom = QELMA_CANVAS_HEIGHT; // rows [top, bottom)
    if (replay.last.size() == count) {
        changed_rows(replay.now.data(), replay.last.data(), QELMA_CANVAS_WIDTH, QELMA_CANVAS_HEIGHT,
                     &top, &bottom);
    }
    const bool same = top == bottom;
    put_tag(same ? 'S' : 'F');
    put(replay.ticks);
    put(final ? 1 : 0);
    if (same) {
        return;
    }
    put(QELMA_CANVAS_WIDTH);
    put(QELMA_CANVAS_HEIGHT);
    put(static_cast<std::uint32_t>(top));
    put(static_cast<std::uint32_t>(bottom - top));
    const std::size_t width = QELMA_CANVAS_WIDTH;
    put_bytes(replay.now.data() + top * width, sizeof(std::uint32_t) * width * (bottom - top));
    replay.last.swap(replay.now);
}

void put_log_line(const char *text) {
    const std::size_t length = std::strlen(text);
    put_tag('L');
    put(static_cast<std::uint32_t>(length));
    put_bytes(text, length);
}

// The stream that the command handed over. On Windows a name handle:N is
// the write handle of the command's pipe, inherited: taken as it is while it
// is still a pipe, and kept from the program's children. Elsewhere a name
// /dev/fd/N is that
// descriptor, taken as it is (opening the name again would empty whatever
// file it leads to), and only while it is still the pipe that
// REPLAY_PIPE_VARIABLE names; it is then kept from the program's children,
// so that a process the program leaves behind does not hold it open. Any
// other name is a file made for the records. Null, with the reason, when
// there is no stream to write.
std::FILE *open_stream(const char *name, std::string *why) {
#if !defined(_WIN32)
    int fd = -1;
    char after = 0;
    if (std::sscanf(name, "/dev/fd/%d%c", &fd, &after) == 1) {
        const char *pipe = std::getenv(REPLAY_PIPE_VARIABLE);
        unsigned long long device = 0, inode = 0;
        struct stat info {};
        if (pipe == nullptr || std::sscanf(pipe, "%llu:%llu%c", &device, &inode, &after) != 2) {
            *why = "the pipe it should be is not named";
            return nullptr;
        }
        if (fd < 0 || fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode) ||
            static_cast<unsigned long long>(info.st_dev) != device ||
            static_cast<unsigned long long>(info.st_ino) != inode) {
            *why = "descriptor " + std::to_string(fd) +
                   " is not qelma-replay's pipe any more (the program closed it; whatever it "
                   "opened there is left alone)";
            return nullptr;
        }
        std::FILE *stream = fdopen(fd, "wb");
        if (stream == nullptr) {
            *why = std::strerror(errno);
            return nullptr;
        }
        plat_keep_from_children(fd);
        return stream;
    }
#else
    unsigned long long handle = 0;
    char after = 0;
    if (std::sscanf(name, "handle:%llu%c", &handle, &after) == 1) {
        const int fd = _open_osfhandle(static_cast<std::intptr_t>(handle), _O_WRONLY | _O_BINARY);
        struct _stat64 info {};
        if (fd < 0 || _fstat64(fd, &info) != 0 || (info.st_mode & _S_IFIFO) == 0) {
            *why = "handle " + std::to_string(handle) +
                   " is not qelma-replay's pipe (the program closed it)";
            return nullptr;
        }
        std::FILE *stream = _fdopen(fd, "wb");
        plat_keep_from_children(fd);
        if (stream == nullptr) {
            *why = std::strerror(errno);
        }
        return stream;
    }
#endif
    std::FILE *stream = std::fopen(name, "wb");
    if (stream == nullptr) {
        *why = std::strerror(errno);
    }
    return stream;
}

// Which pictures the command wants (REPLAY_PICTURES_VARIABLE): every N-th,
// 0 for the final ones only, every one unless a number says otherwise.
std::uint32_t pictures_wanted(const char *value) {
    if (value == nullptr || value[0] < '0' || value[0] > '9') {
        return 1;
    }
    char *end = nullptr;
    errno = 0;
    const unsigned long n = std::strtoul(value, &end, 10);
    return *end != '\0' || errno != 0 || n > 0xFFFFFFFFul ? 1 : static_cast<std::uint32_t>(n);
}

// The stream's end: late log lines go nowhere. In the page, the records
// kept in memory become its GIF.
void close_stream() {
    if (replay.stream == nullptr) {
        return;
    }
    std::fclose(replay.stream);
    replay.stream = nullptr;
#if defined(__EMSCRIPTEN__)
    page_gif_of_stream(replay.stream_name.c_str());
#endif
}

// The session's observer: each call writes the records of what happened.
class ReplayObserver final : public SessionObserver {
  public:
    void wait_begins() override {
        if (replay.ended) {
            // The program was told to quit and asks again: it is ended here,
            // with what it wrote flushed.
            close_stream();
            std::fflush(nullptr);
            std::_Exit(0);
        }
        ++replay.waits;
        if (replay.picture_due && replay.every != 0 && replay.ticks % replay.every == 0) {
            send_picture(false);
        }
        replay.picture_due = false;
        put_tag('W');
        put(replay.waits);
        flush_now_and_then();
    }

    void event_returned(int kind) override {
        if (kind == QELMA_PERIODIC) {
            ++replay.ticks;
            replay.picture_due = true;
        }
    }

    // The last picture and the end are told; the wait then returns
    // QELMA_QUIT, and the wait after that ends the program.
    void script_ended(unsigned how) override {
        if (replay.ended) {
            return;
        }
        send_picture(true);
        put_tag('E');
        put(how);
        put(static_cast<std::uint32_t>(session.script_lines_read));
        flush();
        replay.ended = true;
    }

    void line_logged(const char *text) override { put_log_line(text); }

    void session_ends() override {
        if (!replay.ended) {
            send_picture(true); // the program ended before its script did
        }
        close_stream();
        replay.ended = true;
    }
};

} // namespace

void replay_begin() {
    const char *script = std::getenv(REPLAY_SCRIPT_VARIABLE);
    const char *stream = std::getenv(REPLAY_STREAM_VARIABLE);
    if (script == nullptr || script[0] == '\0' || replay.active) {
        return;
    }
    std::string why = "it is not named";
    replay.stream = stream != nullptr && stream[0] != '\0' ? open_stream(stream, &why) : nullptr;
    if (replay.stream != nullptr) {
        replay.stream_name = stream;
        std::setvbuf(replay.stream, nullptr, _IOFBF, 1 << 20);
    } else {
        // Started by hand with only the script named: play it all the same.
        std::fprintf(stderr, "QELMA: cannot write the replay stream %s: %s; playing %s without it\n",
                     stream != nullptr ? stream : "(none)", why.c_str(), script);
    }
    replay.active = true;
    replay.script = script;
    replay.every = pictures_wanted(std::getenv(REPLAY_PICTURES_VARIABLE));
    put_tag('H');
    put(REPLAY_STREAM_VERSION);
    put(PALETTE_SIZE);
    for (std::uint32_t colour : palette_rgb) {
        put(colour);
    }
    // The lines logged before the session are in the log already.
    for (int i = 0; i < qelma_log_count(); ++i) {
        if (const char *line = qelma_log_line(i)) {
            put_log_line(line);
        }
    }
    // Every event comes from the script, as a playback switched on before
    // the first wait, and its end is the program's.
    static ReplayObserver &observer = *new ReplayObserver;
    session.observer = &observer;
    session.replayed_script = replay.script.c_str();
    session.quit_at_script_end = true;
    session.playing_back = true;
    flush();
}
