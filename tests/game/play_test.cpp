// The whole game played like a user plays it: the real start-up, the real
// 100 ms timer, and mouse clicks and key presses on the drawing window.
// Each pass blocks until its event comes; the test waits on states, never on
// time. On Qt the input comes from QTest's mouse and key events on the
// widget; on Windows and in the browser the drawing window gets the
// messages the system posts for a click and a key press (button down and
// up, key down and up, with the key's scan code), and the real
// TranslateMessage makes the character.
#include <gtest/gtest.h>

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include <QPoint>
#include <QTest>
#include <QWidget>
#endif

#include "game/game_loop.h"
#include "game/game_state.h"
#include "qelma/platform/platform.h"
#include "qelma/platform/platform_inspect.h"
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include "qelma/platform/qt/qt_platform.h"
#endif
#include "qelma/qelma.h"
#include "qelma/session/session.h"

namespace {

// Enough passes for a queued click or key to come out, ticks included.
constexpr int PASSES_FOR_INPUT = 30;

std::uint32_t canvas_color(int x, int y) {
    return plat_get_pixel(session.canvas_dc, session.origin_x + x, session.origin_y - y);
}

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
QWidget *drawing_area() {
    return plat_qt_client_widget(session.graphics_window);
}

void click_at(int x, int y) {
    QTest::mouseClick(drawing_area(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(session.origin_x + x, session.origin_y - y));
}

void press_digit_2() {
    QTest::keyClick(drawing_area(), Qt::Key_2);
}
#else
PlatWindow drawing_area() {
    return session.graphics_window;
}

void click_at(int x, int y) {
    const auto column = static_cast<unsigned>(session.origin_x + x) & 0xFFFF;
    const auto row = static_cast<unsigned>(session.origin_y - y) & 0xFFFF;
    const auto at = static_cast<PlatLParam>(column | (row << 16));
    plat_post_message(session.graphics_window, WM_LBUTTONDOWN, 1 /* MK_LBUTTON */, at);
    plat_post_message(session.graphics_window, WM_LBUTTONUP, 0, at);
}

void press_digit_2() {
    // Repeat count 1 and the scan code of the 2 key; a key-up also has the
    // previous-state and transition bits.
    const PlatLParam down = 1 | (0x03 << 16);
    const PlatLParam up = down | (PlatLParam{3} << 30);
    plat_post_message(session.graphics_window, WM_KEYDOWN, '2', down);
    plat_post_message(session.graphics_window, WM_KEYUP, '2', up);
}
#endif

// Runs passes until done(g) holds; false when it never did in max_passes or
// the game quit.
template <typename Done> bool passes_until(GameState &g, int max_passes, Done done) {
    for (int i = 0; i < max_passes; ++i) {
        if (!game_pass(g)) {
            return false;
        }
        if (done(g)) {
            return true;
        }
    }
    return false;
}

TEST(Play, GoDriveChangeLaneCrashGoRestart) {
    GameState g;
    char command_line[] = "";
    game_start(g, nullptr, nullptr, command_line, SW_SHOWNORMAL);
    ASSERT_NE(drawing_area(), nullptr);
    EXPECT_FALSE(session.logging_on) << "the game switches logging off";
    EXPECT_TRUE(session.animating) << "ticks flow from the start";
    EXPECT_EQ(canvas_color(-200, 240), plat_rgb(153, 255, 255)) << "first picture: day sky";
    EXPECT_EQ(canvas_color(17, -85), plat_rgb(255, 0, 0)) << "first picture: the red car";
    EXPECT_EQ(canvas_color(0, -98), plat_rgb(0, 0, 255)) << "first picture: the computer car";

    // Before "Go" the sun drifts but the cars stand.
    const std::int32_t sun_start = g.sun_x;
    ASSERT_TRUE(
        passes_until(g, PASSES_FOR_INPUT, [&](const GameState &s) { return s.sun_x < sun_start; }));
    EXPECT_EQ(g.player_x, 0);

    click_at(-250, 232); // "Go"
    ASSERT_TRUE(passes_until(g, PASSES_FOR_INPUT, [](const GameState &s) { return s.running; }));

    const std::int32_t x_at_go = g.player_x;
    ASSERT_TRUE(passes_until(g, PASSES_FOR_INPUT,
                             [&](const GameState &s) { return s.player_x != x_at_go; }));
    EXPECT_GT(g.player_x, x_at_go) << "the red car drives right";
    EXPECT_EQ(canvas_color(g.player_x, -88), plat_rgb(255, 0, 0)) << "drawn where it is";

    press_digit_2(); // down into the lower lane
    ASSERT_TRUE(passes_until(g, PASSES_FOR_INPUT,
                             [](const GameState &s) { return s.player_y == LANE_LOWER; }));

    // A car placed in the lower lane ahead of the red car, driving towards it.
    // (The computer car in the same lane may well get there first.)
    if (g.crash_phase == 0) {
        const int ahead = g.player_x < 200 ? g.player_x + 90 : -250;
        click_at(ahead, -105);
    }
    ASSERT_TRUE(passes_until(g, 200, [](const GameState &s) { return s.crash_phase != 0; }));
    EXPECT_EQ(g.running, 0);
    EXPECT_EQ(g.reset_stage, 1) << "the first blast frame was drawn";
    const std::uint32_t ring = canvas_color(g.player_x - 30, g.player_y - 30);
    EXPECT_TRUE(ring == plat_rgb(255, 255, 0) || ring == plat_rgb(255, 102, 0))
        << "the blast around the red car";
    const std::int32_t points_at_crash = g.points;
    const std::int32_t x_at_crash = g.player_x;

    click_at(-250, 232); // "Go" clears the crash and asks for the restart
    ASSERT_TRUE(
        passes_until(g, PASSES_FOR_INPUT, [](const GameState &s) { return s.reset_stage == 2; }));
    EXPECT_EQ(g.crash_phase, 0);
    EXPECT_EQ(g.extra_count, 0);
    EXPECT_EQ(g.running, 0);
    EXPECT_EQ(g.player_x, x_at_crash);
    EXPECT_EQ(g.points, points_at_crash);

    ASSERT_TRUE(
        passes_until(g, PASSES_FOR_INPUT, [](const GameState &s) { return s.reset_stage == 0; }));
    EXPECT_EQ(g.player_x, 0);
    EXPECT_EQ(g.player_y, LANE_UPPER);
    EXPECT_EQ(g.rival_x, 0);
    EXPECT_EQ(g.points, 0);
    EXPECT_EQ(g.running, 0);
    EXPECT_EQ(canvas_color(17, -85), plat_rgb(255, 0, 0)) << "back at the start";

    click_at(-250, 232); // a further "Go" starts the next game
    ASSERT_TRUE(passes_until(g, PASSES_FOR_INPUT, [](const GameState &s) { return s.running; }));

    qelma_set_animation(QELMA_ANIMATE_QUIT);
    EXPECT_FALSE(game_pass(g));
    EXPECT_EQ(g.quit, 1);
    EXPECT_EQ(qelma_end(), 1);
}

} // namespace
