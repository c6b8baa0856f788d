// The car game's rules without any window: traffic, sun, speed floor,
// restart, lane snapping, buttons, keys and road clicks.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

#include "game/controls.h"
#include "game/game_state.h"

namespace {

constexpr std::int32_t INT_MAX32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t INT_MIN32 = std::numeric_limits<std::int32_t>::min();

GameState fresh() {
    GameState g;
    init_game_state(g);
    return g;
}

// Cars running, the computer car parked far off in its own lane.
GameState quiet_road() {
    GameState g = fresh();
    g.running = 1;
    g.rival_x = -200;
    return g;
}

void add_car(GameState &g, std::int32_t x, std::int32_t y, std::int32_t dir) {
    const std::int32_t n = ++g.extra_count;
    g.extra_x[n] = x;
    g.extra_y[n] = y;
    g.extra_dir[n] = dir;
}

bool same(const GameState &a, const GameState &b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A click in the middle of button index i.
void click_button(GameState &g, int index) {
    press_button(-250, 232 - 25 * index, g);
}

// ------------------------------------------------------------ state and lanes

TEST(GameStateTest, RestartChangesExactlyItsTenFields) {
    GameState g = quiet_road();
    g.player_x = 123;
    g.player_y = LANE_LOWER;
    g.player_dir = -1;
    g.speed = -3;
    g.player_color = 17;
    g.rival_x = 77;
    g.points = 250;
    g.reset_stage = 2;
    add_car(g, 10, LANE_UPPER, 1);
    g.flash_count = 4;
    g.slowed = 1;
    g.sun_x = -12;
    g.sun_y = 201;
    // Expected: the ten fields as at program start, everything else kept.
    GameState expected = g;
    const GameState start = fresh();
    expected.player_x = start.player_x;
    expected.player_y = start.player_y;
    expected.player_dir = start.player_dir;
    expected.speed = start.speed;
    expected.player_color = start.player_color;
    expected.rival_x = start.rival_x;
    expected.rival_y = start.rival_y;
    expected.rival_dir = start.rival_dir;
    expected.points = start.points;
    expected.reset_stage = 0;
    restart_game(g);
    EXPECT_TRUE(same(g, expected));
    EXPECT_EQ(g.player_y, LANE_UPPER);
    EXPECT_EQ(g.speed, 5);
    EXPECT_EQ(g.player_color, 2);
}

TEST(LaneTest, SnapRanges) {
    const std::int32_t in[] = {-111, -110, -105, -101, -100, -99, -95, -90, -89, -50};
    const std::int32_t out[] = {-111, -110, -110, -110, -100, -100, -100, -100, -89, -50};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(snap_lane(in[i]), out[i]) << in[i];
    }
}

// ------------------------------------------------------------ player's car

TEST(TrafficTest, RightCrossingWrapsScoresAndAddsACarThatMovesAtOnce) {
    GameState g = quiet_road();
    g.player_x = 296;
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, -300);
    EXPECT_EQ(g.points, 10);
    ASSERT_EQ(g.extra_count, 1);
    EXPECT_EQ(g.extra_y[1], LANE_UPPER);
    EXPECT_EQ(g.extra_dir[1], 1);
    EXPECT_EQ(g.extra_x[1], 207); // added at 200; car 1 runs 2 units further

    // With two cars placed the new one is car 3 and moves 5.
    GameState h = quiet_road();
    add_car(h, -250, LANE_LOWER, -1);
    add_car(h, -250, LANE_LOWER, -1);
    h.player_x = 296;
    advance_traffic(h, TRAFFIC_SPEED);
    ASSERT_EQ(h.extra_count, 3);
    EXPECT_EQ(h.extra_x[3], 205);
}

TEST(TrafficTest, BothEndsAreStillOnTheRoad) {
    GameState g = quiet_road();
    g.speed = 0;
    g.player_x = 300;
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, 300);
    g.speed = 1;
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, -300) << "301 wraps";
    EXPECT_EQ(g.points, 10);

    g.player_dir = -1;
    g.player_x = -299;
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, -300);
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, 300) << "-301 wraps";
    EXPECT_EQ(g.points, 0);
    g.speed = 601; // one left crossing per step
    advance_traffic(g, TRAFFIC_SPEED);
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.points, -20) << "points go negative";
}

TEST(TrafficTest, CrossingCarsFollowTheParityTable) {
    struct Row {
        std::int32_t dir, count_before, x, y, car_dir;
    };
    const Row rows[] = {
        {+1, 0, 200, LANE_UPPER, +1},  {+1, 1, 100, LANE_LOWER, -1},  {+1, 4, 200, LANE_UPPER, +1},
        {+1, 9, 100, LANE_LOWER, -1},  {-1, 0, -100, LANE_UPPER, +1}, {-1, 3, 500, LANE_LOWER, -1},
        {-1, 8, -100, LANE_UPPER, +1}, {-1, 7, 500, LANE_LOWER, -1},
    };
    for (const Row &row : rows) {
        GameState g = quiet_road();
        for (int i = 0; i < row.count_before; ++i) {
            add_car(g, row.dir > 0 ? 150 : -150, LANE_LOWER, -1);
        }
        g.player_dir = row.dir;
        g.player_x = row.dir > 0 ? 298 : -298;
        advance_traffic(g, 0); // other traffic standing: a new car stays where it was put
        const std::int32_t n = row.count_before + 1;
        ASSERT_EQ(g.extra_count, n);
        EXPECT_EQ(g.extra_x[n], row.x + (n == 1 ? 2 : 0)) << row.dir << " " << row.count_before;
        EXPECT_EQ(g.extra_y[n], row.y);
        EXPECT_EQ(g.extra_dir[n], row.car_dir);
        EXPECT_EQ(g.points, row.dir > 0 ? 10 : -10);
    }
    // With ten placed cars a crossing adds none but still scores.
    GameState g = quiet_road();
    for (int i = 0; i < MAX_EXTRA_CARS; ++i) {
        add_car(g, 150, LANE_LOWER, -1);
    }
    g.player_x = 298;
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.extra_count, 10);
    EXPECT_EQ(g.player_x, -300);
    EXPECT_EQ(g.points, 10);
}

TEST(TrafficTest, ComputerAndPlacedCarsWrapWithoutScoring) {
    GameState g = quiet_road();
    g.speed = 0;
    g.rival_x = -298;
    add_car(g, -298, LANE_UPPER, -1); // car 1 moves 3 to the left
    add_car(g, -298, LANE_UPPER, -1); // car 2 moves 5
    add_car(g, 297, LANE_LOWER, +1);
    add_car(g, 500, LANE_LOWER, -1); // beyond the right end, driving into view
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.rival_x, 300);
    EXPECT_EQ(g.extra_x[1], 300); // -301 wraps
    EXPECT_EQ(g.extra_x[2], 300); // -303 wraps
    EXPECT_EQ(g.extra_x[3], -300);
    EXPECT_EQ(g.extra_x[4], 495);
    EXPECT_EQ(g.points, 0);
    EXPECT_EQ(g.extra_count, 4);
    for (int i = 0; i < 39; ++i) {
        advance_traffic(g, TRAFFIC_SPEED);
    }
    EXPECT_EQ(g.extra_x[4], 300) << "the car from 500 enters the road after 40 steps";

    GameState h = quiet_road();
    h.speed = 0;
    add_car(h, 295, LANE_LOWER, +1); // car 1 heading right: 302 wraps
    advance_traffic(h, TRAFFIC_SPEED);
    EXPECT_EQ(h.extra_x[1], -300);
}

// ------------------------------------------------------------ collisions

TEST(CollisionTest, FortyCollidesFortyOneDoesNot) {
    for (std::int32_t gap : {40, 41, -40, -41}) {
        GameState g = fresh();
        g.running = 1;
        g.speed = 0;
        g.player_y = LANE_LOWER;
        g.rival_x = gap + 5; // the computer car moves 5 to the left first
        advance_traffic(g, TRAFFIC_SPEED);
        const bool crash = gap == 40 || gap == -40;
        EXPECT_EQ(g.crash_phase, crash ? 1 : 0) << gap;
        EXPECT_EQ(g.running, crash ? 0 : 1) << gap;
    }
    for (std::int32_t gap : {40, 41}) {
        GameState g = quiet_road();
        g.speed = 0;
        add_car(g, -250, LANE_LOWER, -1);
        add_car(g, gap - 5, LANE_UPPER, +1); // car 2 moves 5 to the right
        advance_traffic(g, TRAFFIC_SPEED);
        EXPECT_EQ(g.crash_phase, gap == 40 ? 1 : 0) << "placed car, " << gap;
    }
}

TEST(CollisionTest, OtherLaneNeverCollides) {
    GameState g = fresh();
    g.running = 1;
    g.speed = 0;
    g.rival_x = 5; // onto the player's x, one lane down
    add_car(g, -7, LANE_LOWER, +1);
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.rival_x, 0);
    EXPECT_EQ(g.extra_x[1], 0);
    EXPECT_EQ(g.crash_phase, 0);
}

TEST(CollisionTest, ACollisionDoesNotCutTheStepShort) {
    GameState g = fresh();
    g.running = 1;
    g.speed = 0;
    g.player_y = LANE_LOWER;
    g.rival_x = 20;
    add_car(g, 30, LANE_LOWER, -1);  // a second collision
    add_car(g, 250, LANE_UPPER, -1); // far away, must still move
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.crash_phase, 1);
    EXPECT_EQ(g.running, 0);
    EXPECT_EQ(g.rival_x, 15);
    EXPECT_EQ(g.extra_x[1], 27);
    EXPECT_EQ(g.extra_x[2], 245);
}

// ------------------------------------------------------------ negative speeds

// Heading left with a negative speed the car moves right and never wraps:
// past 300 it drives on off the road, scoring nothing.
TEST(NegativeSpeedTest, HeadingLeftButDrivingRightLeavesTheRoad) {
    GameState g = quiet_road();
    g.player_dir = -1;
    g.speed = -5;
    g.player_x = 295;
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, 300);
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, 305);
    EXPECT_EQ(g.points, 0);
    EXPECT_EQ(g.extra_count, 0);

    g.player_x = INT_MAX32 - 3; // x stops at the edge of its range
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, INT_MAX32);
}

// Heading right with a negative speed the car moves left, and below -300 the
// step counts as a crossing of the right end, again on every step.
TEST(NegativeSpeedTest, HeadingRightButDrivingLeftScoresOnEveryStep) {
    GameState g = quiet_road();
    g.speed = -5;
    g.player_x = -298;
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, -300);
    EXPECT_EQ(g.points, 10);
    EXPECT_EQ(g.extra_x[1], 207) << "a right-end car, moved 7";
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, -300);
    EXPECT_EQ(g.points, 20);
    EXPECT_EQ(g.extra_count, 2);

    g.speed = INT_MIN32; // no overflow at the extremes
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, -300);
    g.speed = INT_MAX32;
    g.player_dir = -1;
    advance_traffic(g, TRAFFIC_SPEED);
    EXPECT_EQ(g.player_x, 300);
}

// ------------------------------------------------------------ sun and speed floor

TEST(SunTest, WrapsAfter580TicksAndSinks) {
    GameState g = fresh();
    for (int i = 0; i < 580; ++i) {
        drift_sun(g.sun_x, g.sun_y);
    }
    EXPECT_EQ(g.sun_x, -330);
    EXPECT_EQ(g.sun_y, 215);
    drift_sun(g.sun_x, g.sun_y);
    EXPECT_EQ(g.sun_x, 331);
    EXPECT_EQ(g.sun_y, 214);
    for (int i = 0; i < 662; ++i) {
        drift_sun(g.sun_x, g.sun_y);
    }
    EXPECT_EQ(g.sun_x, 331) << "one pass is 662 ticks";
    EXPECT_EQ(g.sun_y, 213);
}

TEST(SpeedFloorTest, EveryBandBoundary) {
    struct Band {
        std::int32_t from, to, floor;
    };
    const Band bands[] = {
        {20, 39, 6},    {40, 59, 7},    {60, 79, 8},    {80, 99, 9},    {100, 119, 0},
        {120, 139, 10}, {140, 159, 11}, {160, 179, 12}, {180, 199, 13}, {200, 219, 14},
        {220, 239, 16}, {240, 259, 18}, {260, 279, 20}, {280, 299, 22}, {300, 319, 24},
        {320, 339, 26}, {340, 359, 28},
    };
    for (const Band &band : bands) {
        EXPECT_EQ(speed_floor_for_points(band.from), band.floor) << band.from;
        EXPECT_EQ(speed_floor_for_points(band.to), band.floor) << band.to;
    }
    for (std::int32_t none : {INT_MIN32, -10, 0, 19, 360, INT_MAX32}) {
        EXPECT_EQ(speed_floor_for_points(none), 0) << none;
    }
}

TEST(SpeedFloorTest, RaisesButNeverLowers) {
    struct Case {
        std::int32_t points, speed, after;
    };
    const Case cases[] = {{19, 5, 5},  {20, 5, 6},   {110, 9, 9}, {120, 9, 10}, {359, 3, 28},
                          {360, 3, 3}, {45, 12, 12}, {45, -4, 7}, {-50, -4, -4}};
    for (const Case &c : cases) {
        std::int32_t speed = c.speed;
        raise_speed_for_points(c.points, speed);
        EXPECT_EQ(speed, c.after) << c.points << " " << c.speed;
    }
}

// ------------------------------------------------------------ clicks

TEST(ClickTest, PanelAndRoadBorders) {
    EXPECT_EQ(classify_click(-295, 150), CLICK_ELSEWHERE);
    EXPECT_EQ(classify_click(-220, 150), CLICK_ELSEWHERE);
    EXPECT_EQ(classify_click(-250, 245), CLICK_ELSEWHERE);
    EXPECT_EQ(classify_click(-250, 45), CLICK_ELSEWHERE);
    EXPECT_EQ(classify_click(-294, 244), CLICK_PANEL);
    EXPECT_EQ(classify_click(-221, 46), CLICK_PANEL);
    for (std::int32_t x : {-300, -250, 0, 300}) {
        EXPECT_EQ(classify_click(x, -109), CLICK_ROAD) << x;
        EXPECT_EQ(classify_click(x, -91), CLICK_ROAD) << x;
        EXPECT_EQ(classify_click(x, -110), CLICK_ELSEWHERE) << x;
        EXPECT_EQ(classify_click(x, -90), CLICK_ELSEWHERE) << x;
    }
}

TEST(ClickTest, ButtonIndicesAtTheLines) {
    const std::int32_t ys[] = {244, 221, 220, 195, 170, 145, 120, 95, 71, 70, 46, 250, 45};
    const int buttons[] = {BUTTON_GO,
                           BUTTON_GO,
                           BUTTON_PAUSE,
                           BUTTON_FASTER,
                           BUTTON_SLOWER,
                           BUTTON_NEW_CAR,
                           BUTTON_REVERSE,
                           BUTTON_UP,
                           BUTTON_UP,
                           BUTTON_DOWN,
                           BUTTON_DOWN,
                           -1,
                           -1};
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(button_at(-250, ys[i]), buttons[i]) << ys[i];
    }
}

TEST(ClickTest, PressesOutsideThePanelChangeNothing) {
    GameState g = fresh();
    g.reset_stage = 1;
    const GameState before = g;
    for (std::int32_t y : {245, 250, 260, 45, 0, -100}) {
        press_button(-250, y, g);
    }
    press_button(-295, 232, g);
    EXPECT_TRUE(same(g, before));
}

// ------------------------------------------------------------ buttons and keys

TEST(ButtonTest, SpeedButtons) {
    GameState g = fresh();
    g.speed = 0;
    click_button(g, BUTTON_SLOWER);
    EXPECT_EQ(g.speed, 0);
    EXPECT_EQ(g.slowed, 1);
    g.speed = -3; // reached with "4"
    click_button(g, BUTTON_SLOWER);
    EXPECT_EQ(g.speed, 0);
    click_button(g, BUTTON_FASTER);
    EXPECT_EQ(g.speed, 1);
    g.speed = INT_MAX32;
    click_button(g, BUTTON_FASTER);
    EXPECT_EQ(g.speed, INT_MAX32) << "no bound, but no overflow";
    restart_game(g);
    EXPECT_EQ(g.slowed, 1) << "never cleared";
}

TEST(ButtonTest, NewCarCyclesThroughThePaletteAndReverseTwiceRestores) {
    GameState g = fresh();
    for (int i = 1; i <= 24; ++i) {
        click_button(g, BUTTON_NEW_CAR);
        EXPECT_EQ(g.player_color, (2 + i) % 24);
    }
    EXPECT_EQ(g.player_color, 2);
    click_button(g, BUTTON_REVERSE);
    EXPECT_EQ(g.player_dir, -1);
    click_button(g, BUTTON_REVERSE);
    EXPECT_EQ(g.player_dir, 1);
    EXPECT_EQ(g.speed, 5);
}

TEST(ButtonTest, LaneButtonsAndKeysOnlyMoveBetweenTheLanes) {
    GameState g = fresh();
    click_button(g, BUTTON_UP);
    apply_key('8', g);
    EXPECT_EQ(g.player_y, LANE_UPPER);
    click_button(g, BUTTON_DOWN);
    EXPECT_EQ(g.player_y, LANE_LOWER);
    click_button(g, BUTTON_DOWN);
    apply_key('2', g);
    EXPECT_EQ(g.player_y, LANE_LOWER);
    apply_key('8', g);
    EXPECT_EQ(g.player_y, LANE_UPPER);
    apply_key('2', g);
    click_button(g, BUTTON_UP);
    EXPECT_EQ(g.player_y, LANE_UPPER);
    g.player_y = -50; // off a lane: left alone
    click_button(g, BUTTON_UP);
    click_button(g, BUTTON_DOWN);
    EXPECT_EQ(g.player_y, -50);
}

TEST(ButtonTest, GoStartsAndAfterAShownCrashRequestsARestart) {
    GameState g = fresh();
    click_button(g, BUTTON_GO);
    click_button(g, BUTTON_GO);
    EXPECT_EQ(g.running, 1);
    EXPECT_EQ(g.reset_stage, 0);
    click_button(g, BUTTON_PAUSE);
    EXPECT_EQ(g.running, 0);

    g.crash_phase = 1; // a crash not shown yet: "Go" does nothing
    click_button(g, BUTTON_GO);
    EXPECT_EQ(g.running, 0);
    EXPECT_EQ(g.crash_phase, 1);

    g.crash_phase = 2;
    g.flash_count = 5;
    g.reset_stage = 1;
    g.extra_count = 4;
    click_button(g, BUTTON_GO); // clears the crash, asks for a restart
    EXPECT_EQ(g.running, 0);
    EXPECT_EQ(g.crash_phase, 0);
    EXPECT_EQ(g.flash_count, 0);
    EXPECT_EQ(g.extra_count, 0);
    EXPECT_EQ(g.reset_stage, 2);
    click_button(g, BUTTON_GO); // starts the cars of the new game
    EXPECT_EQ(g.running, 1);
    EXPECT_EQ(g.reset_stage, 2);
}

TEST(KeyTest, FourAndSixTurnFirstThenChangeSpeedWithoutFloor) {
    GameState g = fresh(); // heading right at 5
    const char keys[] = {'6', '4', '4', '6', '4', '4', '4', '4', '4', '4', '4'};
    const std::int32_t speeds[] = {6, 6, 5, 5, 5, 4, 3, 2, 1, 0, -1};
    const std::int32_t dirs[] = {1, -1, -1, 1, -1, -1, -1, -1, -1, -1, -1};
    for (int i = 0; i < 11; ++i) {
        apply_key(keys[i], g);
        EXPECT_EQ(g.speed, speeds[i]) << i;
        EXPECT_EQ(g.player_dir, dirs[i]) << i;
    }
    g.speed = INT_MIN32;
    apply_key('4', g);
    EXPECT_EQ(g.speed, INT_MIN32);
}

TEST(KeyTest, OtherCharactersAreIgnored) {
    GameState g = fresh();
    const GameState before = g;
    for (int c :
         {0, int{'0'}, int{'1'}, int{'3'}, int{'5'}, int{'9'}, int{'a'}, 0x80 | '6', 0xFF}) {
        apply_key(static_cast<char>(c), g);
    }
    EXPECT_TRUE(same(g, before));
}

// ------------------------------------------------------------ road clicks

TEST(RoadClickTest, LaneAndDirectionFromTheClicksY) {
    const std::int32_t ys[] = {-100, -101, -91, -109, -95, -105};
    for (std::int32_t y : ys) {
        GameState g = fresh();
        EXPECT_EQ(add_extra_car(-250, y, g), 1);
        EXPECT_EQ(g.extra_x[1], -250);
        EXPECT_EQ(g.extra_y[1], y < -100 ? LANE_LOWER : LANE_UPPER) << y;
        EXPECT_EQ(g.extra_dir[1], y < -100 ? -1 : 1) << y;
    }
}

TEST(RoadClickTest, TenCarsAtMostAndOnlyOnTheRoad) {
    GameState g = fresh();
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(add_extra_car(-300 + 60 * i, -105, g), i);
    }
    const GameState full = g;
    EXPECT_EQ(add_extra_car(0, -95, g), 0);
    EXPECT_TRUE(same(g, full));

    GameState h = fresh();
    for (std::int32_t y : {-110, -90, 100}) {
        EXPECT_EQ(add_extra_car(0, y, h), 0) << y;
    }
    EXPECT_EQ(h.extra_count, 0);
}

TEST(RoadClickTest, ClickedCarsTakePartInTheCrossingParity) {
    GameState g = quiet_road();
    add_extra_car(-150, -95, g);
    g.player_x = 298;
    advance_traffic(g, TRAFFIC_SPEED);
    ASSERT_EQ(g.extra_count, 2);
    EXPECT_EQ(g.extra_y[2], LANE_LOWER) << "odd count: the lower lane";
    EXPECT_EQ(g.extra_x[2], 95);
}

} // namespace
