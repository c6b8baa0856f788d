// The pictures this build's car game draws while a script is played one
// event at a time from the program's start, as a user stepping through it
// with Ctrl+O sees them. Another backend's pictures of the same script are compared
// with these (the browser's page tests):
//   parity_script_frames SCRIPT DIR EVENTS EVERY WIDTH HEIGHT [--with-texts]
// plays the first EVENTS events of SCRIPT (copied into DIR as QELMA.SCR,
// where the program runs) and writes DIR/frame_N.ppm after event N for every
// N that is a multiple of EVERY, and after the last. Each frame is the
// drawing area of WIDTH x HEIGHT pixels centred on the canvas origin, as
// the other backend's window shows it. Pixels left out of a comparison are
// magenta (0xFF00FF), which no picture uses: those outside this backend's
// canvas, and those of the texts and a margin around them, since GDI draws
// its own letters; with --with-texts (a backend on the layer, whose letters
// are the same everywhere) the texts are kept.
#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "game/game_loop.h"
#include "game/game_state.h"
#include "parity/frame_io.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"

namespace {

constexpr std::uint32_t LEFT_OUT = 0xFF00FF;
// How far around a text's pixels the other system's letters may reach.
constexpr int TEXT_MARGIN_X = 4, TEXT_MARGIN_Y = 3;

// While set, the game's texts are not drawn (--wrap, see CMakeLists.txt).
bool texts_off = false;

} // namespace

extern "C" int __real_qelma_draw_text(int color, int x, int y, int point_size, const char *text);
extern "C" int __wrap_qelma_draw_text(int color, int x, int y, int point_size, const char *text) {
    return texts_off ? 0 : __real_qelma_draw_text(color, x, y, point_size, text);
}
extern "C" int __wrap_qelma_draw_textf(int color, int x, int y, int point_size, const char *format,
                                       ...) QELMA_PRINTF_LIKE(5, 6);
extern "C" int __wrap_qelma_draw_textf(int color, int x, int y, int point_size, const char *format,
                                       ...) {
    static char text[65536];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (length >= 0 && !texts_off)
        __real_qelma_draw_text(color, x, y, point_size, text);
    return length;
}

namespace {

// The frame with every pixel that drawing the texts changed, and the margin
// around it, left out.
Frame without_texts(const Frame &with, const Frame &bare) {
    Frame out = with;
    for (int y = 0; y < with.height; ++y) {
        for (int x = 0; x < with.width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * with.width + x;
            if (with.pixels[i] == bare.pixels[i])
                continue;
            for (int v = std::max(0, y - TEXT_MARGIN_Y);
                 v <= std::min(with.height - 1, y + TEXT_MARGIN_Y); ++v)
                for (int u = std::max(0, x - TEXT_MARGIN_X);
                     u <= std::min(with.width - 1, x + TEXT_MARGIN_X); ++u)
                    out.pixels[static_cast<std::size_t>(v) * with.width + u] = LEFT_OUT;
        }
    }
    return out;
}

bool number_arg(const char *text, long min, long max, long *value) {
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < min || v > max)
        return false;
    *value = v;
    return true;
}

// The drawing area of the given size around the canvas origin.
Frame drawing_area(const Frame &canvas, int width, int height) {
    Frame out{width, height, {}};
    out.pixels.reserve(static_cast<std::size_t>(width) * height);
    const int left = session.origin_x - width / 2, top = session.origin_y - height / 2;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const int x = left + column, y = top + row;
            const bool inside = x >= 0 && y >= 0 && x < canvas.width && y < canvas.height;
            out.pixels.push_back(
                inside ? canvas.pixels[static_cast<std::size_t>(y) * canvas.width + x] : LEFT_OUT);
        }
    }
    return out;
}

} // namespace

int main(int argc, char **argv) {
    long events = 0, every = 0, width = 0, height = 0;
    const bool with_texts = argc == 8 && std::string(argv[7]) == "--with-texts";
    if ((argc != 7 && !with_texts) || !number_arg(argv[3], 1, 1000000, &events) ||
        !number_arg(argv[4], 1, 1000000, &every) || !number_arg(argv[5], 1, 4096, &width) ||
        !number_arg(argv[6], 1, 4096, &height)) {
        std::fprintf(stderr, "usage: parity_script_frames SCRIPT DIR EVENTS EVERY WIDTH HEIGHT "
                             "[--with-texts]\n"
                             "  EVENTS, EVERY: 1 to 1000000; WIDTH, HEIGHT: 1 to 4096\n");
        return 2;
    }
    const std::filesystem::path dir = argv[2];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    std::filesystem::copy_file(argv[1], dir / "QELMA.SCR",
                               std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        std::fprintf(stderr, "parity_script_frames: cannot copy %s into %s: %s\n", argv[1], argv[2],
                     error.message().c_str());
        return 1;
    }
    std::filesystem::current_path(dir, error);
    if (error) {
        std::fprintf(stderr, "parity_script_frames: cannot work in %s: %s\n", argv[2],
                     error.message().c_str());
        return 1;
    }

    GameState g;
    char command_line[] = "";
    game_start(g, nullptr, nullptr, command_line, SW_SHOWNORMAL);
    for (long n = 1; n <= events; ++n) {
        // What the event wait does for Play One: the script's next event,
        // read by the session's own reader, then the game's pass on it.
        session.pending_event = NO_EVENT;
        session.event_x = 0;
        session.event_y = 0;
        session.event_key = 0;
        if (read_script_event() != 1) {
            std::fprintf(stderr, "parity_script_frames: the script ends before event %ld\n", n);
            return 1;
        }
        const GameState before = g;
        const int kind = session.pending_event, x = session.event_x, y = session.event_y;
        const char key = static_cast<char>(session.event_key);
        if (!game_pass_with_event(g, kind, x, y, key)) {
            std::fprintf(stderr, "parity_script_frames: the game quit at event %ld\n", n);
            return 1;
        }
        if (n % every == 0 || n == events) {
            // The same pass again from the same state, its texts left out:
            // the game draws the whole picture on every pass and depends on
            // nothing but its state and the event.
            const Frame with = read_canvas();
            Frame frame = with;
            if (!with_texts) {
                GameState again = before;
                texts_off = true;
                game_pass_with_event(again, kind, x, y, key);
                texts_off = false;
                frame = without_texts(with, read_canvas());
            }
            std::string why;
            const std::string name = "frame_" + std::to_string(n) + ".ppm";
            if (!write_ppm(name,
                           drawing_area(frame, static_cast<int>(width), static_cast<int>(height)),
                           &why)) {
                std::fprintf(stderr, "parity_script_frames: %s\n", why.c_str());
                return 1;
            }
        }
    }
    qelma_end();
    std::printf("parity_script_frames: %ld events played, frames in %s\n", events, argv[2]);
    return 0;
}
