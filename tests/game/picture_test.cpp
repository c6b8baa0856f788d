// The car game's picture on a real canvas: pixels read back, and the drawing
// calls read back from the message log where the exact order and texts count.
#include <string>
#include <vector>

#include "game/controls.h"
#include "game/game_state.h"
#include "game/picture.h"
#include "support/qelma_test.h"

namespace {

using qt_test::canvas_rgb;
using qt_test::rgb_of;

// Number of canvas points of colour index `color` in the box x0..x1, y0..y1.
int count_in(int color, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            n += canvas_rgb(x, y) == rgb_of(color) ? 1 : 0;
        }
    }
    return n;
}

// Pixels of text in `color` on white: smoothed glyphs blend into the white,
// so a pixel counts when it lies nearer to the colour than to the white.
int count_ink(int color, int x0, int y0, int x1, int y1) {
    const auto distance = [](unsigned a, unsigned b) {
        int d = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const int c = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
            d += c * c;
        }
        return d;
    };
    const auto ink = static_cast<unsigned>(rgb_of(color));
    const auto white = static_cast<unsigned>(rgb_of(QELMA_WHITE));
    int n = 0;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const auto p = static_cast<unsigned>(canvas_rgb(x, y));
            n += distance(p, ink) < distance(p, white) ? 1 : 0;
        }
    }
    return n;
}

// The last n lines of the message log, oldest first.
std::vector<std::string> last_log_lines(int n) {
    std::vector<std::string> lines;
    const int count = qelma_log_count();
    for (int i = count - n; i < count; ++i) {
        const char *line = i >= 0 ? qelma_log_line(i) : nullptr;
        lines.emplace_back(line != nullptr ? line : "");
    }
    return lines;
}

class Picture : public ::testing::Test {
  protected:
    void SetUp() override {
        qt_test::open_session();
        qelma_set_logging(0);
        qt_test::clear_quietly();
    }
};

TEST_F(Picture, DayAtThirtyPointsNightAtForty) {
    for (int points : {30, -20, 0}) {
        draw_scene(250, 215, points, 1);
        EXPECT_EQ(canvas_rgb(-200, 240), rgb_of(QELMA_ICE_BLUE)) << points;
        EXPECT_EQ(canvas_rgb(0, -105), rgb_of(QELMA_GRAY_50)) << points;
        EXPECT_EQ(canvas_rgb(250, 215), rgb_of(QELMA_YELLOW)) << "the sun, " << points;
        EXPECT_EQ(canvas_rgb(-100, -200), rgb_of(QELMA_BROWN)) << points;
        EXPECT_EQ(count_in(QELMA_BLACK, -300, -85, 300, -76), 0) << "no lamps by day";
    }
    draw_scene(250, 215, 40, 1);
    EXPECT_EQ(canvas_rgb(-200, 240), rgb_of(QELMA_BLACK));
    EXPECT_EQ(canvas_rgb(0, -105), rgb_of(QELMA_BLACK)) << "night road";
    EXPECT_EQ(canvas_rgb(250, 215), rgb_of(QELMA_BLACK)) << "the shadow disc";
    EXPECT_EQ(canvas_rgb(268, 215), rgb_of(QELMA_YELLOW)) << "the crescent";
    EXPECT_EQ(canvas_rgb(-100, -200), rgb_of(QELMA_BROWN));
    // Dashes on the centre line in both pictures: x = 0..5 yellow, 6..9 not.
    EXPECT_EQ(canvas_rgb(3, -100), rgb_of(QELMA_YELLOW));
    EXPECT_EQ(canvas_rgb(8, -100), rgb_of(QELMA_BLACK));
}

TEST_F(Picture, ExactlySixStreetLampsByNight) {
    draw_scene(250, 215, 40, 1);
    // The posts are the only black on the ground at y = -80.
    std::vector<int> starts;
    std::vector<int> widths;
    for (int x = -300; x <= 300; ++x) {
        if (canvas_rgb(x, -80) == rgb_of(QELMA_BLACK)) {
            if (starts.empty() || x != starts.back() + widths.back()) {
                starts.push_back(x);
                widths.push_back(0);
            }
            ++widths.back();
        }
    }
    EXPECT_EQ(starts, (std::vector<int>{-275, -175, -75, 25, 125, 225}));
    EXPECT_EQ(widths, (std::vector<int>(6, 3)));
    for (int x : {-275, -175, -75, 25, 125, 225}) {
        EXPECT_EQ(canvas_rgb(x + 1, -65), rgb_of(QELMA_YELLOW)) << "light of the lamp at " << x;
    }
}

TEST_F(Picture, InstructionsAndCreditOnlyWhileNotRunning) {
    draw_scene(250, 215, 0, 0);
    EXPECT_GT(count_in(QELMA_WHITE, -290, -240, 295, -142), 500);
    EXPECT_GT(count_in(QELMA_WHITE, -290, -237, 295, -222), 50) << "the credit line";
    draw_scene(250, 215, 0, 1);
    EXPECT_EQ(count_in(QELMA_WHITE, -290, -240, 295, -142), 0);
    // The score is drawn in both states.
    EXPECT_GT(count_in(QELMA_BLACK, -285, -74, -150, -52), 20);
}

TEST_F(Picture, SlowerLabelTurnsRedOnceUsed) {
    // Inside the "Slower" box (y 145..170), away from its border lines.
    draw_panel(0);
    EXPECT_GT(count_ink(QELMA_BROWN, -293, 147, -222, 168), 10);
    EXPECT_EQ(count_in(QELMA_RED, -293, 147, -222, 168), 0);
    EXPECT_GT(count_ink(QELMA_RED, -293, 197, -222, 218), 10) << "\"Pause\" is always red";
    qt_test::clear_quietly();
    draw_panel(1);
    EXPECT_GT(count_ink(QELMA_RED, -293, 147, -222, 168), 10);
    EXPECT_EQ(count_in(QELMA_BROWN, -293, 147, -222, 168), 0);
    // The boxes are outlines: the inside stays what was behind them.
    EXPECT_EQ(canvas_rgb(-230, 160), rgb_of(QELMA_WHITE));
    EXPECT_EQ(canvas_rgb(-295, 160), rgb_of(QELMA_BROWN));
    EXPECT_EQ(canvas_rgb(-250, 170), rgb_of(QELMA_BROWN)) << "shared border line";
}

TEST_F(Picture, HeadlightsOnlyByNight) {
    draw_car(0, -100, QELMA_RED, 30);
    EXPECT_EQ(canvas_rgb(0, -88), rgb_of(QELMA_RED)) << "body";
    EXPECT_EQ(canvas_rgb(0, -78), rgb_of(QELMA_RED)) << "cabin";
    EXPECT_EQ(canvas_rgb(-10, -94), rgb_of(QELMA_BLACK)) << "left wheel";
    EXPECT_EQ(canvas_rgb(10, -94), rgb_of(QELMA_BLACK)) << "right wheel";
    EXPECT_EQ(count_in(QELMA_YELLOW, -25, -92, 25, -84), 0);
    qt_test::clear_quietly();
    draw_car(0, -100, QELMA_RED, 40);
    EXPECT_GT(count_in(QELMA_YELLOW, 19, -92, 25, -84), 0) << "right headlight";
    EXPECT_GT(count_in(QELMA_YELLOW, -25, -92, -19, -84), 0) << "left headlight";
}

TEST_F(Picture, BlastFramesHaveThreeRings) {
    std::int32_t reset_stage = 0;
    draw_blast_frame_a(0, 0, reset_stage);
    EXPECT_EQ(reset_stage, 1);
    EXPECT_EQ(canvas_rgb(0, 0), rgb_of(QELMA_RED));
    EXPECT_EQ(canvas_rgb(15, 0), rgb_of(QELMA_ORANGE));
    EXPECT_EQ(canvas_rgb(0, 40), rgb_of(QELMA_YELLOW));
    EXPECT_EQ(canvas_rgb(0, 55), rgb_of(QELMA_WHITE));

    qt_test::clear_quietly();
    reset_stage = 2;
    draw_blast_frame_b(0, 0);
    EXPECT_EQ(canvas_rgb(0, 0), rgb_of(QELMA_YELLOW));
    EXPECT_EQ(canvas_rgb(15, 0), rgb_of(QELMA_RED));
    EXPECT_EQ(canvas_rgb(0, 40), rgb_of(QELMA_ORANGE));

    reset_stage = 2;
    draw_blast_frame_a(0, 0, reset_stage);
    EXPECT_EQ(reset_stage, 1) << "set whatever it was";
}

TEST_F(Picture, SnappedCarIsStoredAndDrawnInItsLane) {
    std::int32_t y = -95;
    snap_and_draw_car(100, y, QELMA_BLUE, 0);
    EXPECT_EQ(y, LANE_UPPER);
    EXPECT_EQ(canvas_rgb(100, -88), rgb_of(QELMA_BLUE));
    y = -50;
    snap_and_draw_car(-100, y, QELMA_GREEN, 0);
    EXPECT_EQ(y, -50);
    EXPECT_EQ(canvas_rgb(-100, -38), rgb_of(QELMA_GREEN));
}

TEST_F(Picture, RoadClickDrawsTheCarAtOnce) {
    GameState g;
    init_game_state(g);
    place_extra_car(150, -105, g);
    ASSERT_EQ(g.extra_count, 1);
    EXPECT_EQ(canvas_rgb(150, -98), rgb_of(QELMA_BLUE)) << "body in the lower lane";
}

TEST_F(Picture, RefusedRoadClickIsLogged) {
    GameState g;
    init_game_state(g);
    g.extra_count = MAX_EXTRA_CARS;
    const GameState before = g;
    place_extra_car(150, -105, g);
    EXPECT_EQ(g.extra_count, before.extra_count);
    EXPECT_NE(qt_test::last_log_line().find("place_extra_car"), std::string::npos);
    EXPECT_EQ(canvas_rgb(150, -98), rgb_of(QELMA_WHITE)) << "nothing drawn";
}

// ------------------------------------------------------ calls read from the log

TEST_F(Picture, PanelCallsInOrder) {
    qelma_set_logging(1);
    draw_panel(1);
    qelma_set_logging(0);
    const std::vector<std::string> expected = {
        "brown rectangle with bounding box (-295,245) to (-220,220) with line width 1\n",
        "brown rectangle with bounding box (-295,220) to (-220,195) with line width 1\n",
        "brown rectangle with bounding box (-295,195) to (-220,170) with line width 1\n",
        "brown rectangle with bounding box (-295,170) to (-220,145) with line width 1\n",
        "brown rectangle with bounding box (-295,145) to (-220,120) with line width 1\n",
        "brown rectangle with bounding box (-295,120) to (-220,95) with line width 1\n",
        "brown rectangle with bounding box (-295,95) to (-220,70) with line width 1\n",
        "brown rectangle with bounding box (-295,70) to (-220,45) with line width 1\n",
        "forest green text at (-285,227), \"Go\"\n",
        "red text at (-285,202), \"Pause\"\n",
        "brown text at (-285,177), \"Faster\"\n",
        "red text at (-285,152), \"Slower\"\n",
        "brown text at (-285,127), \"New Car\"\n",
        "brown text at (-285,102), \"Reverse\"\n",
        "brown text at (-285,77), \"UP\"\n",
        "brown text at (-285,52), \"Down\"\n",
    };
    EXPECT_EQ(last_log_lines(16), expected);
}

TEST_F(Picture, NightSceneEndsWithTextsHillsAndLamps) {
    qelma_set_logging(1);
    draw_scene(250, 215, 40, 0);
    qelma_set_logging(0);
    std::vector<std::string> expected = {
        "white text at (-285,-160), \"Press GO to start then click a button (UP,DOWN,REVERSE) "
        "to control the red car\"\n",
        "white text at (-285,-175), \"or use numbers 2,4,6,8 and their coresponding arrows on "
        "the right hand side of the keyboard\"\n",
        "white text at (-285,-190), \"warning: make sure \"number lock\" is on!\"\n",
        "white text at (-285,-205), \"object is to gain points.\"\n",
        "white text at (-285,-220), \"10 points are awarded every time the screen is crossed "
        "to the right\"\n",
    };
    std::vector<std::string> lines = last_log_lines(22);
    ASSERT_EQ(lines.size(), 22u);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(lines[i], expected[i]);
    }
    EXPECT_EQ(lines[5].rfind("white text at (-285,-235), \"", 0), 0u) << lines[5];
    EXPECT_NE(lines[5].find("QELMA"), std::string::npos);
    EXPECT_EQ(lines[6], "black text at (-285,-75), \"Points= 40\"\n");
    EXPECT_EQ(lines[7], "50% gray triangle at (-300,-50), (300,-50), (0,200)\n");
    EXPECT_EQ(lines[8], "olive triangle at (-375,-50), (100,-50), (-225,166)\n");
    EXPECT_EQ(lines[9], "forest green triangle at (-100,-50), (300,-50), (300,166)\n");
    EXPECT_EQ(lines[10], "black rectangle with bounding box (-275,-65) to (-273,-85), filled\n");
    EXPECT_EQ(lines[11], "yellow circle at (-274,-65), radius 3\n");
    EXPECT_EQ(lines[20], "black rectangle with bounding box (225,-65) to (227,-85), filled\n");
    EXPECT_EQ(lines[21], "yellow circle at (226,-65), radius 3\n");
}

TEST_F(Picture, NegativeScoreIsPrintedWithItsSign) {
    qelma_set_logging(1);
    draw_scene(250, 215, -30, 1);
    qelma_set_logging(0);
    // Running, by day: the score, then the three hills.
    EXPECT_EQ(last_log_lines(4)[0], "black text at (-285,-75), \"Points= -30\"\n");
}

TEST_F(Picture, ExtraCarsDrawnInOrderAndCountBounded) {
    std::int32_t xs[MAX_EXTRA_CARS + 1] = {999, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    std::int32_t ys[MAX_EXTRA_CARS + 1] = {999};
    for (int n = 1; n <= MAX_EXTRA_CARS; ++n) {
        ys[n] = LANE_UPPER;
    }
    qelma_set_logging(1);
    qelma_log_printf("-- mark --\n");
    draw_extra_cars(xs, ys, QELMA_BLUE, 0, 0);
    EXPECT_EQ(qt_test::last_log_line(), "-- mark --\n") << "count 0 draws nothing";
    draw_extra_cars(xs, ys, QELMA_BLUE, 3, 0);
    std::vector<std::string> lines = last_log_lines(12);
    EXPECT_EQ(lines[0], "blue rectangle with bounding box (-10,-82) to (30,-94), filled\n");
    EXPECT_EQ(lines[4], "blue rectangle with bounding box (0,-82) to (40,-94), filled\n");
    EXPECT_EQ(lines[8], "blue rectangle with bounding box (10,-82) to (50,-94), filled\n");
    // A count beyond the arrays is cut to ten cars with a warning.
    qelma_set_logging(0);
    draw_extra_cars(xs, ys, QELMA_BLUE, 11, 0);
    EXPECT_NE(qt_test::last_log_line().find("draw_extra_cars"), std::string::npos);
}

} // namespace
