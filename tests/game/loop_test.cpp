// The game loop on a real session: events go through the real queue and the
// real wait (ticks are posted, the timer is stopped), and each pass's picture
// is read back from the canvas.
#include <string>
#include <vector>

#include "game/game_loop.h"
#include "game/game_state.h"
#include "support/qelma_test.h"

namespace {

using qt_test::canvas_rgb;
using qt_test::rgb_of;

class Loop : public ::testing::Test {
  protected:
    GameState g{};

    void SetUp() override {
        qt_test::open_session();
        qelma_set_logging(0);
        qt_test::clear_quietly();
        init_game_state(g);
        qelma_set_animation(QELMA_ANIMATE_RUN);
    }
    void TearDown() override { qelma_set_animation(QELMA_ANIMATE_HALT); }

    // The wait arms its periodic event after its first message step and
    // drops ticks that came before; a message of no meaning first makes the
    // posted tick the one that lets the armed event out.
    static void post_tick_for_wait() {
        plat_post_message(session.graphics_window, WM_USER, 0, 0);
        qt_test::post_tick();
    }
    bool tick() {
        post_tick_for_wait();
        return game_pass(g);
    }
    bool click(int x, int y) {
        qt_test::post_click(x, y);
        return game_pass(g);
    }
    bool key(unsigned char c) {
        qt_test::post_char(c);
        return game_pass(g);
    }
    bool press_go() { return click(-250, 232); }

    // 42 units from the player's car, in the blast's outer ring: yellow in
    // frame a, orange in frame b, ground when there is no blast.
    std::uint32_t outer_ring() const { return canvas_rgb(g.player_x - 30, g.player_y - 30); }
    // Just below the car's middle: red in frame a, yellow in frame b.
    std::uint32_t blast_centre() const { return canvas_rgb(g.player_x, g.player_y - 3); }

    // White pixels where the instructions are drawn.
    static int instruction_ink() {
        int n = 0;
        for (int y = -240; y <= -142; y += 2) {
            for (int x = -290; x <= 295; ++x) {
                n += canvas_rgb(x, y) == rgb_of(QELMA_WHITE) ? 1 : 0;
            }
        }
        return n;
    }
};

TEST_F(Loop, QuitStillGetsAFullRedrawAndACrashStep) {
    g.crash_phase = 1;
    qelma_set_animation(QELMA_ANIMATE_QUIT);
    post_tick_for_wait(); // the quit comes out at the next tick
    EXPECT_FALSE(game_pass(g));
    EXPECT_EQ(g.quit, 1);
    EXPECT_EQ(canvas_rgb(-200, 240), rgb_of(QELMA_ICE_BLUE)) << "the scene was drawn";
    EXPECT_EQ(canvas_rgb(-250, 245), rgb_of(QELMA_BROWN)) << "the panel was drawn";
    EXPECT_EQ(outer_ring(), rgb_of(QELMA_YELLOW)) << "the crash step drew frame a";
    EXPECT_EQ(g.crash_phase, 2);
    EXPECT_EQ(g.reset_stage, 1);
}

TEST_F(Loop, ThirtyTwoFlashingRedrawsOnAnyEventThenTheFinalPicture) {
    g.crash_phase = 1; // as a collision leaves it
    for (int redraw = 1; redraw <= 40; ++redraw) {
        // Ticks, ignored keys and clicks on nothing all advance the flashing.
        switch (redraw % 3) {
        case 0:
            ASSERT_TRUE(key('x'));
            break;
        case 1:
            ASSERT_TRUE(tick());
            break;
        default:
            ASSERT_TRUE(click(100, 100));
            break;
        }
        const bool frame_a = redraw % 2 == 1 || redraw > 32;
        EXPECT_EQ(outer_ring(), rgb_of(frame_a ? QELMA_YELLOW : QELMA_ORANGE)) << redraw;
        EXPECT_EQ(blast_centre(), rgb_of(frame_a ? QELMA_RED : QELMA_YELLOW)) << redraw;
        if (redraw < 32) {
            EXPECT_EQ(g.crash_phase, redraw % 2 == 1 ? 2 : 1) << redraw;
            EXPECT_EQ(g.flash_count, redraw / 2) << redraw;
        } else {
            EXPECT_EQ(g.crash_phase, 3) << redraw;
            EXPECT_EQ(g.flash_count, 16) << redraw;
        }
        EXPECT_EQ(g.reset_stage, 1);
    }
}

TEST_F(Loop, VerdictsAtTheScoreBoundaries) {
    struct Case {
        int points;
        const char *flashing;
        const char *final_verdict;
    };
    const char *lose = "ice blue text at (-50,-50), \"YOU LOSE!!!\"\n";
    const char *win = "ice blue text at (-50,-50), \"YOU WIN!!!\"\n";
    const char *top =
        "ice blue text at (-285,-50), \"YOU ARE A NERD IF YOU SPEND THE TIME TO GET THIS GOOD\"\n";
    const Case cases[] = {{60, lose, lose}, {61, win, win},    {89, win, win},
                          {90, win, top},   {-20, lose, lose}, {500, win, top}};
    qelma_set_logging(1);
    for (const Case &c : cases) {
        g.points = c.points;
        g.crash_phase = 1;
        crash_step(g);
        EXPECT_EQ(qt_test::last_log_line(), c.flashing) << c.points;
        g.crash_phase = 2;
        crash_step(g);
        EXPECT_EQ(qt_test::last_log_line(), "yellow circle at (0,-100), radius 5\n")
            << "frame b has no verdict";
        g.crash_phase = 3;
        crash_step(g);
        EXPECT_EQ(qt_test::last_log_line(), c.final_verdict) << c.points;
        EXPECT_EQ(g.crash_phase, 3);
    }
    qelma_set_logging(0);
}

TEST_F(Loop, CollisionOnATickShowsTheFirstFrameInTheSameRedraw) {
    g.running = 1;
    g.player_y = LANE_LOWER;
    g.rival_x = 45; // moves to 40: a collision
    ASSERT_TRUE(tick());
    EXPECT_EQ(g.running, 0);
    EXPECT_EQ(g.crash_phase, 2);
    EXPECT_EQ(g.reset_stage, 1);
    EXPECT_EQ(outer_ring(), rgb_of(QELMA_YELLOW));
}

TEST_F(Loop, GoDuringTheFlashingClearsItAtOnceAndTheNextTickRestarts) {
    ASSERT_TRUE(click(150, -95)); // a placed car in the upper lane
    ASSERT_EQ(g.extra_count, 1);
    EXPECT_EQ(canvas_rgb(150, -88), rgb_of(QELMA_BLUE));
    g.points = 30; // still day, so the road behind the blast is gray
    g.player_x = 100;
    g.speed = 9;
    g.crash_phase = 1;
    ASSERT_TRUE(tick());
    ASSERT_EQ(g.reset_stage, 1);

    ASSERT_TRUE(press_go());
    EXPECT_EQ(g.crash_phase, 0);
    EXPECT_EQ(g.flash_count, 0);
    EXPECT_EQ(g.extra_count, 0);
    EXPECT_EQ(g.running, 0);
    EXPECT_EQ(g.reset_stage, 2);
    // Same redraw: no blast, no placed car, the instructions back; the
    // player's car and the score still as they were.
    EXPECT_EQ(outer_ring(), rgb_of(QELMA_BROWN));
    EXPECT_EQ(blast_centre(), rgb_of(QELMA_GRAY_50));
    EXPECT_NE(canvas_rgb(150, -88), rgb_of(QELMA_BLUE));
    EXPECT_EQ(canvas_rgb(100, -88), rgb_of(QELMA_RED));
    EXPECT_GT(instruction_ink(), 100);
    EXPECT_EQ(g.points, 30);

    const std::int32_t sun_before = g.sun_x;
    ASSERT_TRUE(tick());
    EXPECT_EQ(g.reset_stage, 0);
    EXPECT_EQ(g.points, 0);
    EXPECT_EQ(g.player_x, 0);
    EXPECT_EQ(g.speed, 5);
    EXPECT_EQ(g.running, 0);
    EXPECT_EQ(g.sun_x, sun_before - 1) << "the sun still drifts on the restart tick";
    EXPECT_EQ(canvas_rgb(17, -85), rgb_of(QELMA_RED));

    ASSERT_TRUE(press_go());
    EXPECT_EQ(g.running, 1);
    ASSERT_TRUE(tick());
    EXPECT_EQ(g.player_x, 5);
}

TEST_F(Loop, GoTwiceAfterACrashMovesTheNewGameOnTheRestartTick) {
    g.points = 20;
    g.player_x = 100;
    g.crash_phase = 1;
    ASSERT_TRUE(tick());
    ASSERT_TRUE(press_go());
    ASSERT_TRUE(press_go());
    EXPECT_EQ(g.running, 1);
    EXPECT_EQ(g.reset_stage, 2);
    EXPECT_EQ(g.player_x, 100) << "nothing moves before the tick";
    ASSERT_TRUE(tick());
    EXPECT_EQ(g.reset_stage, 0);
    EXPECT_EQ(g.points, 0);
    EXPECT_EQ(g.player_x, 5) << "reset first, then one traffic step";
    EXPECT_EQ(g.rival_x, -5);
}

TEST_F(Loop, WithAnimationHaltedARequestedRestartWaitsForATick) {
    g.crash_phase = 1;
    ASSERT_TRUE(tick());
    ASSERT_TRUE(press_go());
    ASSERT_EQ(g.reset_stage, 2);
    qelma_set_animation(QELMA_ANIMATE_HALT);
    g.points = 30;
    const std::int32_t sun_before = g.sun_x;
    post_tick_for_wait();
    ASSERT_TRUE(click(100, 100));
    EXPECT_EQ(g.reset_stage, 2);
    EXPECT_EQ(g.points, 30);
    EXPECT_EQ(g.sun_x, sun_before);
}

TEST_F(Loop, SpeedFloorAppliesAfterEveryEvent) {
    g.points = 45;
    ASSERT_TRUE(click(100, 100)); // a click on nothing
    EXPECT_EQ(g.speed, 7);
    ASSERT_TRUE(click(-250, 157)); // "Slower": 6, lifted back to 7 at once
    EXPECT_EQ(g.speed, 7);
    EXPECT_EQ(g.slowed, 1);
}

TEST_F(Loop, KeysAndLaneChangesDuringTheCrashMoveTheBlast) {
    g.crash_phase = 1;
    ASSERT_TRUE(key('2'));
    EXPECT_EQ(g.player_y, LANE_LOWER);
    EXPECT_EQ(outer_ring(), rgb_of(QELMA_YELLOW)) << "frame a around the lower lane";
    EXPECT_EQ(g.crash_phase, 2);
}

TEST_F(Loop, CarsArePaintedPlayerRivalPlacedThenTheBlast) {
    ASSERT_TRUE(click(100, 100));
    EXPECT_EQ(canvas_rgb(0, -88), rgb_of(QELMA_BLUE))
        << "the computer car's cabin over the red car";
    EXPECT_EQ(canvas_rgb(17, -85), rgb_of(QELMA_RED));
    ASSERT_TRUE(click(0, -95));   // a placed car on top of the red car
    ASSERT_TRUE(click(10, -105)); // one whose left wheel covers the computer car's body
    ASSERT_TRUE(click(100, 100));
    EXPECT_EQ(canvas_rgb(17, -85), rgb_of(QELMA_BLUE)) << "placed cars come after the player's";
    EXPECT_EQ(canvas_rgb(0, -101), rgb_of(QELMA_BLACK)) << "and after the computer car";
    g.crash_phase = 1;
    ASSERT_TRUE(click(100, 100));
    EXPECT_EQ(blast_centre(), rgb_of(QELMA_RED)) << "the blast over every car";
}

TEST_F(Loop, RoadClicksStopAtTenCars) {
    for (int i = 0; i < 12; ++i) {
        ASSERT_TRUE(click(-250 + 50 * i, -105));
    }
    EXPECT_EQ(g.extra_count, 10);
    EXPECT_EQ(g.extra_x[10], 200);
    EXPECT_EQ(qt_test::last_log_line().find("place_extra_car"), std::string::npos)
        << "the loop does not even try an eleventh car";
}

} // namespace
