// The parity frames. The game's picture functions draw them; the text calls
// they make are cut out at link time (--wrap, see CMakeLists.txt), so the
// game code stays as it is and the shapes come in the game's own order.
#include "parity/parity_frames.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "game/game_loop.h"
#include "game/picture.h"
#include "qelma/platform/platform.h"
#include "qelma/qelma.h"
#include "qelma/session/services.h"
#include "qelma/session/session.h"

// Text calls of the picture: drawn by neither backend in the game's frames
// (GDI's letters are not the layer's); the texts frame calls the real one.
extern "C" int __real_qelma_draw_text(int, int, int, int, const char *);
extern "C" int __wrap_qelma_draw_text(int, int, int, int, const char *) {
    return 0;
}
extern "C" int __wrap_qelma_draw_textf(int, int, int, int, const char *, ...) {
    return 0;
}

namespace {
// Where the log lines of the frame being drawn go, or nullptr.
std::vector<std::string> *captured_lines = nullptr;
} // namespace

// Every log line on its way into the log (--wrap, see CMakeLists.txt): noted
// while a frame is drawn, then written as usual.
extern "C" int __real_qelma_log_printf(const char *format, ...);
extern "C" int __wrap_qelma_log_printf(const char *format, ...) QELMA_PRINTF_LIKE(1, 2);
extern "C" int __wrap_qelma_log_printf(const char *format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (captured_lines != nullptr) {
        captured_lines->emplace_back(buffer);
    }
    return __real_qelma_log_printf("%s", buffer);
}

namespace {

void open_session_once() {
    static bool opened = false;
    if (!opened) {
        char command_line[] = "";
        qelma_begin(nullptr, nullptr, command_line, SW_SHOWNORMAL);
        qelma_set_logging(0);
        opened = true;
    }
}

// Ten placed cars spread over both lanes and the whole road, some of them
// half off either end, the player's car in the middle of a crash.
void place_traffic(GameState &g) {
    static const std::int32_t xs[MAX_EXTRA_CARS] = {-310, -240, -170, -95, -30,
                                                    45,   110,  175,  240, 295};
    g.extra_count = MAX_EXTRA_CARS;
    for (int n = 1; n <= MAX_EXTRA_CARS; ++n) {
        g.extra_x[n] = xs[n - 1];
        g.extra_y[n] = n % 2 == 0 ? LANE_UPPER : LANE_LOWER;
        g.extra_dir[n] = n % 2 == 0 ? +1 : -1;
    }
    g.player_x = -60;
    g.player_y = LANE_UPPER;
    g.rival_x = -75;
    g.running = 1;
}

// The same numbers on every platform: a 32-bit linear congruential generator.
struct Dice {
    std::uint32_t state;
    int roll(int low, int high) { // low..high
        state = state * 1664525u + 1013904223u;
        return low + static_cast<int>((state >> 8) % static_cast<std::uint32_t>(high - low + 1));
    }
};

// Shapes of every kind at random, small enough that most of each stays in
// sight, some reaching past the canvas's edges, then the edge cases: boxes
// one pixel thin or empty, corners given in either order, pens wider than
// the shape, and shapes far off the canvas.
void draw_shapes() {
    Dice d{20261209u};
    for (int i = 0; i < 3000; ++i) {
        const int color = d.roll(0, 23);
        const int x = d.roll(-320, 320), y = d.roll(-290, 290);
        const int w = d.roll(-60, 60), h = d.roll(-60, 60);
        const int width = d.roll(0, 3) == 0 ? d.roll(0, 12) : d.roll(0, 1);
        switch (d.roll(0, 4)) {
        case 0:
            qelma_draw_rectangle(color, x, y, x + w, y + h, width);
            break;
        case 1:
            qelma_draw_oval(color, x, y, x + w, y + h, width);
            break;
        case 2: {
            // Rolled one at a time: the order of a call's arguments is the
            // compiler's, and every compiler must draw the same frame.
            const int dy = d.roll(-60, 60);
            const int dx = d.roll(-60, 60);
            qelma_draw_triangle(color, x, y, x + w, y + dy, x + dx, y + h, width);
            break;
        }
        case 3:
            qelma_draw_circle(color, x, y, d.roll(0, 30));
            break;
        default:
            qelma_draw_triangle(color, x, y, x + w, y + h, x + w / 2, y + h / 2, width); // flat
            break;
        }
    }
    const int edges[][4] = {{-300, 270, -300, 270}, {-290, 260, -289, 200}, {-280, 260, -200, 259},
                            {310, 0, 280, 40},      {-330, -280, -290, -250}, {0, 0, 3, 3},
                            {100, 100, 102, 101},   {-5000, -5000, 5000, -260}};
    int color = 0;
    for (const auto &e : edges) {
        for (int width : {0, 1, 2, 5, 40}) {
            color = (color + 5) % 24;
            qelma_draw_rectangle(color, e[0], e[1], e[2], e[3], width);
            qelma_draw_oval(color, e[0] + 7, e[1] - 9, e[2] + 7, e[3] - 9, width);
            qelma_draw_triangle(color, e[0], e[1], e[2], e[3], e[0], e[3], width);
        }
    }
}

// Texts of every size the library allows and more, transparent and opaque,
// in each style, clipped at every edge of the canvas, a line longer than
// any kept one, and every byte of the code page (those the faces lack draw
// as their missing glyph).
void draw_texts() {
    const int sizes[] = {0, 1, 8, 12, 15, 16, 22, 28, 40, 127};
    int y = 270;
    for (int size : sizes) {
        __real_qelma_draw_text(size % 24, -310, y, size, "Points= 1234 Wolf & fiji, YOU WIN!!!");
        y -= size > 20 ? size : 16;
    }
    PlatDC dc = session_canvas_dc();
    char all[224];
    for (int i = 0; i < 224; ++i)
        all[i] = static_cast<char>(32 + i);
    std::string long_line;
    while (long_line.size() < 600)
        long_line += "The quick brown fox jumps over the lazy dog. ";
    struct Style {
        int pixels, weight;
        unsigned italic, underline, strike_out, pitch;
    };
    const Style styles[] = {{16, 400, 0, 0, 0, 0}, {15, 700, 0, 0, 0, 0}, {15, 400, 1, 0, 0, 0},
                            {15, 400, 0, 1, 1, 0}, {13, 400, 0, 0, 0, 1}, {40, 800, 1, 1, 0, 0}};
    y = 250;
    for (const Style &st : styles) {
        PlatObject font = plat_create_font(-st.pixels, 0, 0, 0, st.weight, st.italic, st.underline,
                                           st.strike_out, 0, 0, 0, 0, st.pitch, PLAT_TEXT_FACE);
        PlatObject old = plat_select_object(dc, font);
        plat_set_text_color(dc, plat_rgb(40, 20, 160));
        plat_set_bk_mode(dc, y % 2 == 0 ? OPAQUE : TRANSPARENT);
        plat_text_out(dc, 0, y, all, 112);
        plat_text_out(dc, 0, y + st.pixels, all + 112, 112);
        y += 2 * st.pixels + 3;
        plat_select_object(dc, old);
        plat_delete_object(font);
    }
    plat_set_bk_mode(dc, OPAQUE);
    const int w = QELMA_CANVAS_WIDTH, h = QELMA_CANVAS_HEIGHT;
    const int edges[][2] = {{-20, 300}, {w - 30, 320}, {200, -9}, {300, h - 7}, {-9, -9}, {w - 9, h - 9}};
    for (const auto &e : edges)
        plat_text_out(dc, e[0], e[1], "Edge gjQ", 8);
    plat_text_out(dc, -1000, h - 40, long_line.c_str(), static_cast<int>(long_line.size()));
    plat_set_bk_mode(dc, TRANSPARENT);
}

} // namespace

Frame draw_parity_frame(const std::string &name, std::vector<std::string> *log_lines) {
    open_session_once();
    GameState g;
    init_game_state(g);
    place_traffic(g);
    if (name == "day") {
        g.points = 20;
        g.sun_x = 130;
        g.sun_y = 190;
    } else if (name == "night") {
        g.points = 40; // above NIGHT_AFTER_POINTS: moon, street lamps, headlights
        g.sun_x = -140;
        g.sun_y = 170;
    } else if (name != "shapes" && name != "texts") {
        return Frame{0, 0, {}};
    }
    // The origin is the centre of the client area, whose height depends on
    // the caption and menu bar each system draws: the frames put it at the
    // centre of the canvas instead, so that only the drawing is compared.
    const int origin_x = session.origin_x;
    const int origin_y = session.origin_y;
    session.origin_x = QELMA_CANVAS_WIDTH / 2;
    session.origin_y = QELMA_CANVAS_HEIGHT / 2;
    qelma_clear_canvas();
    // Logging is on while the frame is drawn, so that every drawing call
    // describes itself.
    captured_lines = log_lines;
    qelma_set_logging(1);
    if (name == "shapes") {
        draw_shapes();
    } else if (name == "texts") {
        draw_texts();
    } else {
        redraw(g);
        g.crash_phase = 1;
        crash_step(g); // the blast's first frame (and the verdict, a text)
    }
    qelma_set_logging(0);
    captured_lines = nullptr;
    session.origin_x = origin_x;
    session.origin_y = origin_y;
    return read_canvas();
}

bool write_log_lines(const std::string &path, const std::vector<std::string> &lines,
                     std::string *error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "wb"),
                                                          &std::fclose);
    if (!file) {
        *error = "cannot open " + path + " for writing";
        return false;
    }
    for (const std::string &line : lines) {
        if (std::fputs(line.c_str(), file.get()) < 0) {
            *error = "short write to " + path;
            return false;
        }
    }
    if (std::fclose(file.release()) != 0) {
        *error = "cannot finish writing " + path;
        return false;
    }
    return true;
}

bool read_log_lines(const std::string &path, std::vector<std::string> *lines, std::string *error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"),
                                                          &std::fclose);
    if (!file) {
        *error = "cannot open " + path;
        return false;
    }
    lines->clear();
    std::string line;
    for (int c = std::fgetc(file.get()); c != EOF; c = std::fgetc(file.get())) {
        line.push_back(static_cast<char>(c));
        if (c == '\n') {
            lines->push_back(line);
            line.clear();
        }
    }
    if (!line.empty()) {
        lines->push_back(line); // a last line without its end, kept as it is
    }
    return true;
}
