// The whole program as a user runs it, and the log of one whole game pass.
//
// The calls between the game and QELMA are seen on their way through the
// linker's --wrap (CMakeLists.txt): the session's opening, each wait and the
// closing; every log line; every drawing record handed to the renderer. Each
// goes on to the real library unchanged.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "game/game_loop.h"
#include "game/game_state.h"
#include "support/qelma_test.h"

namespace {

// What the wrappers saw.
struct Seen {
    int begins = 0;
    int waits = 0;
    int ends = 0;
    int waits_before_end = -1;
    int last_kind = 0;
    bool capturing = false;           // log lines and records are noted
    std::vector<std::string> lines;   // log lines while capturing
    std::vector<DrawRecord> records;  // drawing records while capturing (text pointers dropped)
    std::vector<std::string> texts;   // the texts of the text records, in order
    // The program run: what the first wait found, and the keys it queued.
    bool program = false;
    int log_count_at_first_wait = -1;
    bool logging_at_first_wait = true;
    bool animating_at_first_wait = false;
    int dirty_at_first_wait = 0;
    std::uint64_t first_picture = 0;
};

Seen seen;

using qt_test::canvas_checksum;

// Ctrl+letter pressed and released in the drawing window.
void press_ctrl(unsigned letter) {
    plat_post_message(session.graphics_window, WM_KEYDOWN, VK_CONTROL, 1);
    plat_post_message(session.graphics_window, WM_KEYDOWN, letter, 1);
    plat_post_message(session.graphics_window, WM_KEYUP, letter, 1 | (PlatLParam{3} << 30));
    plat_post_message(session.graphics_window, WM_KEYUP, VK_CONTROL, 1 | (PlatLParam{3} << 30));
}

bool logging_marked() {
    for (int pos = 0; pos < plat_get_menu_item_count(session.run_menu); ++pos) {
        if (plat_get_menu_item_id(session.run_menu, pos) == CMD_LOGGING) {
            return (plat_get_menu_state(session.run_menu, pos) & MF_CHECKED) != 0;
        }
    }
    return false;
}

// A program that never quits is ended after this many waits, with a failure.
constexpr int MOST_WAITS = 200;

} // namespace

extern "C" {
int __real_qelma_begin(void *instance, void *previous_instance, char *command_line,
                       int show_command);
int __real_qelma_next_event(int *x, int *y, char *key);
int __real_qelma_end(void);
int __real_qelma_log_printf(const char *format, ...);
void __real__Z13render_recordPK10DrawRecord(const DrawRecord *record);

int __wrap_qelma_begin(void *instance, void *previous_instance, char *command_line,
                       int show_command) {
    ++seen.begins;
    return __real_qelma_begin(instance, previous_instance, command_line, show_command);
}

int __wrap_qelma_next_event(int *x, int *y, char *key) {
    ++seen.waits;
    if (seen.program && seen.waits == 1) {
        // Start-up is over: what it left, then the user presses Ctrl+Q.
        seen.log_count_at_first_wait = qelma_log_count();
        seen.logging_at_first_wait = session.logging_on;
        seen.animating_at_first_wait = session.animating;
        seen.dirty_at_first_wait = session.canvas_dirty;
        seen.first_picture = canvas_checksum();
        press_ctrl('Q');
    }
    if (seen.program && seen.waits == MOST_WAITS) {
        ADD_FAILURE() << "Ctrl+Q did not end the program";
        qelma_set_animation(QELMA_ANIMATE_QUIT);
        plat_post_quit_message(0);
    }
    seen.last_kind = __real_qelma_next_event(x, y, key);
    return seen.last_kind;
}

int __wrap_qelma_end(void) {
    ++seen.ends;
    seen.waits_before_end = seen.waits;
    return __real_qelma_end();
}

int __wrap_qelma_log_printf(const char *format, ...) QELMA_PRINTF_LIKE(1, 2);
int __wrap_qelma_log_printf(const char *format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (seen.capturing) {
        seen.lines.emplace_back(buffer);
    }
    return __real_qelma_log_printf("%s", buffer);
}

void __wrap__Z13render_recordPK10DrawRecord(const DrawRecord *record) {
    if (seen.capturing) {
        DrawRecord copy = *record;
        if (copy.kind == DRAW_TEXT) {
            seen.texts.emplace_back(copy.text != nullptr ? copy.text : "");
        }
        copy.text = nullptr;
        seen.records.push_back(copy);
    }
    __real__Z13render_recordPK10DrawRecord(record);
}
}

// Started as the entry point starts it, ended by Ctrl+Q. Needs a process of
// its own (ALONE in CMakeLists.txt): it opens the session.
TEST(Program, RunsFromStartToCtrlQ) {
    qt_test::TempDir dir;
    seen.program = true;
    char command_line[] = "";
    const int code = cargame_main(nullptr, nullptr, command_line, SW_SHOWNORMAL);
    seen.program = false;

    EXPECT_EQ(code, 0);
    EXPECT_EQ(seen.begins, 1);
    EXPECT_EQ(seen.ends, 1) << "qelma_end was reached once";
    EXPECT_EQ(seen.waits_before_end, seen.waits) << "no wait after qelma_end";
    EXPECT_EQ(seen.last_kind, QELMA_QUIT) << "the loop ended on the quit event";
    EXPECT_LT(seen.waits, MOST_WAITS);

    // Start-up switched logging off before it cleared the canvas and drew:
    // not even "Clearing the graphics window" is in the log.
    EXPECT_EQ(seen.log_count_at_first_wait, 0);
    EXPECT_FALSE(seen.logging_at_first_wait);
    EXPECT_FALSE(logging_marked());
    EXPECT_TRUE(seen.animating_at_first_wait) << "start-up runs the animation";
    EXPECT_EQ(seen.dirty_at_first_wait, 1) << "the first picture waits for the first wait";
    // The first picture is the program-start state drawn once, and nothing
    // over it: no crash step.
    GameState fresh;
    init_game_state(fresh);
    qelma_clear_canvas();
    redraw(fresh);
    EXPECT_EQ(seen.first_picture, canvas_checksum());
    EXPECT_FALSE(std::filesystem::exists("QELMA.SCR")) << "the program touched no script file";
}

namespace {

// The log lines of the drawing calls, as the calls' descriptions read.
struct Expected {
    std::vector<std::string> lines;
    std::vector<int> point_sizes; // of the text calls, in order

    void add(const char *format, ...) QELMA_PRINTF_LIKE(2, 3) {
        char buffer[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
        lines.emplace_back(buffer);
    }
    // Boxes are described upper left corner first.
    void rectangle(int c, int x1, int y1, int x2, int y2, int width) {
        box("rectangle", c, x1, y1, x2, y2, width);
    }
    void oval(int c, int x1, int y1, int x2, int y2, int width) {
        box("oval", c, x1, y1, x2, y2, width);
    }
    void box(const std::string &what, int c, int x1, int y1, int x2, int y2, int width) {
        char tail[64];
        if (width == 0) {
            std::snprintf(tail, sizeof tail, ", filled\n");
        } else if (what == "rectangle") {
            std::snprintf(tail, sizeof tail, " with line width %d\n", width);
        } else {
            std::snprintf(tail, sizeof tail, ", line width %d\n", width);
        }
        add("%s %s with bounding box (%d,%d) to (%d,%d)%s", palette_names[c], what.c_str(),
            std::min(x1, x2), std::max(y1, y2), std::max(x1, x2), std::min(y1, y2), tail);
    }
    void circle(int c, int x, int y, int r) {
        add("%s circle at (%d,%d), radius %d\n", palette_names[c], x, y, r);
    }
    void triangle(int c, int x1, int y1, int x2, int y2, int x3, int y3) {
        add("%s triangle at (%d,%d), (%d,%d), (%d,%d)\n", palette_names[c], x1, y1, x2, y2, x3,
            y3);
    }
    void text(int c, int x, int y, int size, const std::string &t) {
        add("%s text at (%d,%d), \"%s\"\n", palette_names[c], x, y, t.c_str());
        point_sizes.push_back(size);
    }
    void car(int x, int y, int c, bool night) {
        rectangle(c, x - 20, y + 6, x + 20, y + 18, 0);
        rectangle(c, x - 6, y + 18, x + 6, y + 24, 0);
        circle(QELMA_BLACK, x - 10, y + 6, 6);
        circle(QELMA_BLACK, x + 10, y + 6, 6);
        if (night) {
            oval(QELMA_YELLOW, x + 20, y + 12, x + 22, y + 12, 3);
            oval(QELMA_YELLOW, x - 20, y + 12, x - 22, y + 12, 3);
        }
    }
};

} // namespace

// One pass of a night game that is not running, with two placed cars, in
// the first phase of a crash, after the user switched logging on with
// Ctrl+L: every drawing call in the game's order, from the sky to the
// verdict.
TEST(WholePass, LogsEveryDrawingCallInOrder) {
    qt_test::open_session();
    GameState g;
    game_set_up(g);
    g.points = 40;
    g.running = 0;
    g.extra_count = 2;
    g.extra_x[1] = -150;
    g.extra_y[1] = LANE_UPPER;
    g.extra_x[2] = 150;
    g.extra_y[2] = LANE_LOWER;
    g.crash_phase = 1;
    press_ctrl('L');
    qt_test::post_tick();
    seen.capturing = true;
    ASSERT_TRUE(game_pass(g));
    seen.capturing = false;
    ASSERT_TRUE(session.logging_on) << "Ctrl+L switched logging on";
    ASSERT_EQ(session.pending_event, QELMA_PERIODIC);

    // The sun has drifted and the cars stood still: the pass drew from the
    // state as it is now.
    Expected e;
    e.rectangle(QELMA_ICE_BLUE, -300, -250, 300, 250, 0);
    e.circle(QELMA_YELLOW, g.sun_x, g.sun_y, 20);
    e.rectangle(QELMA_BLACK, -300, -250, 300, 250, 0);
    e.circle(QELMA_YELLOW, g.sun_x, g.sun_y, 20);
    e.circle(QELMA_BLACK, g.sun_x - 7, g.sun_y + 2, 20);
    e.rectangle(QELMA_BROWN, -300, -250, 300, -50, 0);
    e.rectangle(QELMA_BLACK, -300, -110, 300, -90, 0);
    for (int x = -300; x <= 290; x += 10) {
        e.rectangle(QELMA_YELLOW, x, -100, x + 5, -100, 0);
    }
    e.text(QELMA_WHITE, -285, -160, 15,
           "Press GO to start then click a button (UP,DOWN,REVERSE) to control the red car");
    e.text(QELMA_WHITE, -285, -175, 15,
           "or use numbers 2,4,6,8 and their coresponding arrows on the right hand side of the "
           "keyboard");
    e.text(QELMA_WHITE, -285, -190, 15, "warning: make sure \"number lock\" is on!");
    e.text(QELMA_WHITE, -285, -205, 15, "object is to gain points.");
    e.text(QELMA_WHITE, -285, -220, 15,
           "10 points are awarded every time the screen is crossed to the right");
    const std::size_t credit = e.lines.size();
    e.text(QELMA_WHITE, -285, -235, 12, "(the credit line)");
    e.text(QELMA_BLACK, -285, -75, 22, "Points= 40");
    e.triangle(QELMA_GRAY_50, -300, -50, 300, -50, 0, 200);
    e.triangle(QELMA_OLIVE, -375, -50, 100, -50, -225, 166);
    e.triangle(QELMA_FOREST_GREEN, -100, -50, 300, -50, 300, 166);
    for (int x = -275; x <= 225; x += 100) {
        e.rectangle(QELMA_BLACK, x, -85, x + 2, -65, 0);
        e.circle(QELMA_YELLOW, x + 1, -65, 3);
    }
    for (int top = 245; top >= 70; top -= 25) {
        e.rectangle(QELMA_BROWN, -295, top, -220, top - 25, 1);
    }
    const struct {
        const char *label;
        int color;
    } labels[] = {{"Go", QELMA_FOREST_GREEN}, {"Pause", QELMA_RED},   {"Faster", QELMA_BROWN},
                  {"Slower", QELMA_BROWN},    {"New Car", QELMA_BROWN}, {"Reverse", QELMA_BROWN},
                  {"UP", QELMA_BROWN},        {"Down", QELMA_BROWN}};
    for (int i = 0; i < 8; ++i) {
        e.text(labels[i].color, -285, 227 - 25 * i, 12, labels[i].label);
    }
    e.car(g.player_x, LANE_UPPER, QELMA_RED, true);
    e.car(g.rival_x, LANE_LOWER, QELMA_BLUE, true);
    e.car(-150, LANE_UPPER, QELMA_BLUE, true);
    e.car(150, LANE_LOWER, QELMA_BLUE, true);
    e.circle(QELMA_YELLOW, g.player_x, LANE_UPPER, 50);
    e.circle(QELMA_ORANGE, g.player_x, LANE_UPPER, 25);
    e.circle(QELMA_RED, g.player_x, LANE_UPPER, 5);
    e.text(QELMA_ICE_BLUE, -50, -50, 28, "YOU LOSE!!!");

    // The credit's wording is free: one line of white text in its place.
    ASSERT_GT(seen.lines.size(), credit);
    const std::string credit_start = "white text at (-285,-235), \"";
    EXPECT_EQ(seen.lines[credit].compare(0, credit_start.size(), credit_start), 0)
        << seen.lines[credit];
    EXPECT_GT(seen.lines[credit].size(), credit_start.size() + 3);
    e.lines[credit] = seen.lines[credit];

    ASSERT_EQ(seen.lines.size(), e.lines.size());
    for (std::size_t i = 0; i < e.lines.size(); ++i) {
        EXPECT_EQ(seen.lines[i], e.lines[i]) << "line " << i + 1;
    }
    // One drawing record per call; the texts' point sizes are only there.
    ASSERT_EQ(seen.records.size(), e.lines.size());
    std::vector<int> sizes;
    for (const DrawRecord &r : seen.records) {
        if (r.kind == DRAW_TEXT) {
            sizes.push_back(r.point_size);
        }
    }
    EXPECT_EQ(sizes, e.point_sizes);
    EXPECT_EQ(seen.texts.back(), "YOU LOSE!!!");
    EXPECT_EQ(g.crash_phase, 2) << "the crash went on to its second phase";
}
