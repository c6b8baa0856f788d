// Helpers for tests that run QELMA on the offscreen platform: one session per
// test process, messages put into the real queue, canvas pixels read back.
#ifndef QELMA_TESTS_SUPPORT_QELMA_TEST_H
#define QELMA_TESTS_SUPPORT_QELMA_TEST_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <random>
#include <vector>

#include "qelma/draw/draw.h"
#include "qelma/log/log.h"
#include "qelma/platform/platform.h"
#include "qelma/platform/platform_inspect.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"

namespace qt_test {

// The Run menu's items as the drawing window built them, taken right after
// the session was opened and before any test changed a switch or a mark:
// the state bits (MF_CHECKED, MF_GRAYED, MF_SEPARATOR) of each item in order.
inline std::vector<int> &menu_states_as_built() {
    static std::vector<int> states;
    return states;
}

// Opens the session once per process and puts the switches back to their
// starting values. The real timer is stopped, so that ticks come only when a
// test posts them.
inline void open_session() {
    static bool opened = false;
    if (!opened) {
        char command_line[] = "";
        qelma_begin(nullptr, nullptr, command_line, SW_SHOWNORMAL);
        opened = true;
        for (int pos = 0; pos < plat_get_menu_item_count(session.run_menu); ++pos) {
            menu_states_as_built().push_back(plat_get_menu_state(session.run_menu, pos));
        }
    }
    plat_kill_timer(session.graphics_window, QELMA_TIMER_ID);
    PlatMsg msg{};
    while (plat_peek_message(&msg)) {
    }
    session.animating = false;
    session.single_step = false;
    session.quit_requested = false;
    session.tick_pending = 0;
    session.ctrl_down = 0;
    session.recording = false;
    session.playing_back = false;
    session.play_one_pending = false;
    session.periodic_run = 0;
    session.playback_run = 0;
    close_script_file();
    qelma_set_logging(1);
    // The marks follow the switches set above: an earlier test in the same
    // process (one process per executable under Wine) may have left them.
    plat_check_menu_item(session.run_menu, CMD_RECORD, MF_UNCHECKED);
    plat_check_menu_item(session.run_menu, CMD_PLAYBACK, MF_UNCHECKED);
    plat_check_menu_item(session.run_menu, CMD_LOGGING, MF_CHECKED);
}

inline void post_tick() {
    plat_post_message(session.graphics_window, WM_TIMER, QELMA_TIMER_ID, 0);
}

// A left click at canvas point (x, y).
inline void post_click(int x, int y) {
    unsigned column = static_cast<unsigned>(session.origin_x + x) & 0xFFFF;
    unsigned row = static_cast<unsigned>(session.origin_y - y) & 0xFFFF;
    plat_post_message(session.graphics_window, WM_LBUTTONDOWN, 0,
                      static_cast<PlatLParam>(column | (row << 16)));
}

inline void post_char(unsigned char c) {
    plat_post_message(session.graphics_window, WM_CHAR, c, 0);
}

inline void post_key(unsigned message, unsigned vk) {
    plat_post_message(session.graphics_window, message, vk, 0);
}

inline void post_command(unsigned id) {
    plat_post_message(session.graphics_window, WM_COMMAND, id, 0);
}

struct Event {
    int kind;
    int x, y;
    int key;
};

inline Event next_event() {
    Event e{};
    char key = 0;
    e.kind = qelma_next_event(&e.x, &e.y, &key);
    e.key = static_cast<unsigned char>(key);
    return e;
}

// One periodic event while animation runs. The wait drops a tick that was
// queued before it armed the event, so it takes two.
inline Event tick_event() {
    post_tick();
    post_tick();
    return next_event();
}

// Colour of canvas point (x, y) as 0xRRGGBB.
inline std::uint32_t canvas_rgb_at_pixel(int column, int row) {
    PlatColor c = plat_get_pixel(session.canvas_dc, column, row);
    return (plat_red(c) << 16) | (plat_green(c) << 8) | plat_blue(c);
}
inline std::uint32_t canvas_rgb(int x, int y) {
    return canvas_rgb_at_pixel(session.origin_x + x, session.origin_y - y);
}
inline std::uint32_t rgb_of(int color_index) { return palette_rgb[color_index]; }

inline std::string last_log_line() {
    int n = qelma_log_count();
    const char *line = n > 0 ? qelma_log_line(n - 1) : nullptr;
    return line != nullptr ? line : "";
}

// Runs `action` and returns the log lines it wrote (at most 25).
template <typename F> std::vector<std::string> log_lines_of(F action) {
    qelma_log_printf("-- mark --\n");
    action();
    std::vector<std::string> lines;
    int n = qelma_log_count();
    int mark = -1;
    for (int i = n - 1; i >= 0; --i) {
        if (std::string(qelma_log_line(i)) == "-- mark --\n") {
            mark = i;
            break;
        }
    }
    for (int i = mark + 1; i < n; ++i) {
        lines.emplace_back(qelma_log_line(i));
    }
    return lines;
}

// Fills the canvas white without writing a log line.
inline void clear_quietly() {
    bool was = session.logging_on;
    session.logging_on = false;
    qelma_clear_canvas();
    session.logging_on = was;
}

// Makes a fresh empty directory the current one for the test's lifetime.
struct TempDir {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::path path;
    TempDir() {
        std::random_device random;
        do {
            path = std::filesystem::temp_directory_path() /
                   ("qelma-test-" + std::to_string(random()) + std::to_string(random()));
        } while (!std::filesystem::create_directory(path));
        std::filesystem::current_path(path);
    }
    ~TempDir() {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
};

// FNV-1a over every canvas pixel: two equal sums are (almost surely) two
// equal pictures.
inline std::uint64_t canvas_checksum() {
    std::uint64_t h = 1469598103934665603ull;
    for (int r = 0; r < QELMA_CANVAS_HEIGHT; ++r) {
        for (int c = 0; c < QELMA_CANVAS_WIDTH; ++c) {
            h = (h ^ plat_get_pixel(session.canvas_dc, c, r)) * 1099511628211ull;
        }
    }
    return h;
}

// A fixture for the script tests: an open session with logging off, in a
// directory of the test's own, and no script file left open after it.
class ScriptDirTest : public ::testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        open_session();
        qelma_set_logging(0);
    }
    void TearDown() override { close_script_file(); }
};

} // namespace qt_test

#endif
