// Scripts with extreme contents played back through the game loop: a huge
// negative speed, cars at the ends of the 32-bit range, endless crossings.
// Every value the game computes must stay defined; the sanitizer build runs
// this with undefined-behaviour checks that abort on the first fault.
#include <climits>
#include <cstdint>
#include <fstream>
#include <string>

#include "game/game_loop.h"
#include "game/game_state.h"
#include "support/qelma_test.h"

namespace {

using qt_test::canvas_rgb;
using qt_test::rgb_of;

// The character that marks the end of a script in these tests; the game
// ignores it.
constexpr char END_MARK = 'x';

class ExtremeScripts : public ::testing::Test {
  protected:
    qt_test::TempDir dir;
    GameState g{};

    void SetUp() override {
        qt_test::open_session();
        game_set_up(g);
    }
    void TearDown() override {
        if (session.playing_back) {
            run_menu_command(CMD_PLAYBACK);
        }
        close_script_file();
        qelma_set_animation(QELMA_ANIMATE_HALT);
    }

    // Writes the script, ended by the end mark, and plays it back through
    // the game's passes (the wait, then the pass's work) up to that mark.
    void play(const std::string &script) {
        std::ofstream("QELMA.SCR") << script << "QELMA_KBD(" << int{END_MARK} << ");\n";
        run_menu_command(CMD_PLAYBACK);
        for (;;) {
            int x = 0;
            int y = 0;
            char key = 0;
            const int kind = qelma_next_event(&x, &y, &key);
            game_pass_with_event(g, kind, x, y, key);
            if (kind == QELMA_KBD && key == END_MARK) {
                break;
            }
            ASSERT_TRUE(session.playing_back) << "playback ended before the end mark";
        }
        run_menu_command(CMD_PLAYBACK);
    }

    static std::string lines(const std::string &line, long n) {
        std::string s;
        while (n-- > 0) {
            s += line;
        }
        return s;
    }
};

// "4" while heading left lowers the speed without a floor, and the car,
// heading left at a negative speed, drives off to the right and never wraps.
TEST_F(ExtremeScripts, HugeNegativeSpeedDrivesTheCarOffToTheRight) {
    constexpr long KEYS = 2000;
    play("QELMA_MOUSE(-250, 232);\n" // "Go"
         "QELMA_KBD(52);\n" +        // turn left
         lines("QELMA_KBD(52);\n", KEYS) + "QELMA_PERIODIC(100);\n");
    EXPECT_EQ(g.speed, 5 - KEYS);
    EXPECT_EQ(g.player_dir, -1);
    EXPECT_EQ(g.player_x, 100 * (KEYS - 5)) << "no wrap at the right end while heading left";
    EXPECT_EQ(g.points, 0) << "driving off that way scores nothing";
    EXPECT_EQ(g.extra_count, 0);

    // A million keys more take the speed to about -1000000, and those steps
    // soon reach the end of the range. Played from the speed they reach (a
    // million passes would take minutes): the car stops at the edge.
    g.speed = -1000000;
    play("QELMA_PERIODIC(2200);\n");
    EXPECT_EQ(g.player_x, INT32_MAX);
    // Further down the speed stops at its own edge too.
    g.speed = INT32_MIN + 2;
    play(lines("QELMA_KBD(52);\n", 4) + "QELMA_PERIODIC(2);\n");
    EXPECT_EQ(g.speed, INT32_MIN);
    EXPECT_EQ(g.player_x, INT32_MAX);
    EXPECT_EQ(g.crash_phase, 0);

    // "6" turns it right with the speed still negative. The first step
    // takes it from the top of the range to -1; from then on each step counts
    // as a crossing of the right end, puts the car at -300 and scores.
    play("QELMA_KBD(54);\nQELMA_PERIODIC(3);\n");
    EXPECT_EQ(g.player_x, -300);
    EXPECT_EQ(g.points, 20);
    EXPECT_EQ(g.extra_count, 2);
    EXPECT_EQ(g.speed, 6) << "from 20 points on the floor lifts the speed";
}

// A road click can place a car at any x a script names, the ends of the
// range included; the car and its headlights are drawn from that x at once.
TEST_F(ExtremeScripts, CarsPlacedAtTheEndsOfTheRangeAreDrawnAndMoved) {
    g.points = 40; // night: the headlights reach 22 units from the middle
    play("QELMA_MOUSE(2147483647, -100);\n"
         "QELMA_MOUSE(-2147483648, -105);\n"
         "QELMA_MOUSE(2147483647, -105);\n"
         "QELMA_MOUSE(-2147483648, -95);\n");
    ASSERT_EQ(g.extra_count, 4);
    EXPECT_EQ(g.extra_x[1], INT32_MAX);
    EXPECT_EQ(g.extra_x[2], INT32_MIN);
    // A car's outline kept inside the canvas would show near its edges.
    for (int x : {-290, 290}) {
        EXPECT_EQ(canvas_rgb(x, -93), rgb_of(QELMA_BLACK)) << x << ": only the night road shows";
    }

    play("QELMA_MOUSE(-250, 232);\nQELMA_PERIODIC(2);\n");
    EXPECT_EQ(g.extra_x[1], -300 + 7) << "heading right past the end: wrapped, then moved";
    EXPECT_EQ(g.extra_x[2], 300 - 5) << "heading left past the end: wrapped, then moved";
    EXPECT_EQ(g.extra_x[3], INT32_MAX - 10) << "heading left from the far right: drives in";
    EXPECT_EQ(g.extra_x[4], -300 + 5) << "heading right from the far left: a crossing";
}

// Points that keep changing reach an end of their range and stay there; the
// score text and the day or night picture still come from them.
TEST_F(ExtremeScripts, EndlessCrossingsKeepThePointsAndTheMoonInRange) {
    g.points = INT32_MAX - 25;
    g.speed = -400; // with "6" below: a right-end crossing on every step
    play("QELMA_MOUSE(-250, 232);\nQELMA_KBD(54);\nQELMA_PERIODIC(5);\n");
    EXPECT_EQ(g.points, INT32_MAX);
    EXPECT_EQ(g.player_x, -300);
    EXPECT_EQ(g.extra_count, 5);

    g.points = INT32_MIN + 25;
    g.speed = 700;
    g.extra_count = 0; // no placed car near the right end, where the car comes in
    play("QELMA_KBD(52);\nQELMA_PERIODIC(7);\n"); // left crossings: -10 each
    EXPECT_EQ(g.points, INT32_MIN);
    EXPECT_EQ(g.player_x, 300);
    EXPECT_EQ(canvas_rgb(-150, -93), rgb_of(QELMA_GRAY_50)) << "negative points: the day road";

    // The moon sinks one unit per pass over the sky, and stops at the bottom.
    g.points = 40;
    g.sun_x = -330;
    g.sun_y = INT32_MIN;
    play("QELMA_PERIODIC(1);\n");
    EXPECT_EQ(g.sun_x, 331);
    EXPECT_EQ(g.sun_y, INT32_MIN);
}

} // namespace
