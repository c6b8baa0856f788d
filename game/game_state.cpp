// Traffic, sun, speed floor and restart of the car game.
#include "game/game_state.h"

#include <cstdint>

namespace {

enum Crossing { NO_CROSSING, CROSSED_RIGHT_END, CROSSED_LEFT_END };

// Moves a car by step units. A car heading right (dir +1) has crossed the
// right end once its new x lies more than 300 from the middle, on either side;
// a car heading left has crossed the left end once its new x is below -300.
// So a car driven backwards by a negative speed never wraps while heading
// left, and counts a right-end crossing on every step below -300 while
// heading right. Wide arithmetic keeps a huge speed from overflowing: an x
// that would leave the 32-bit range stops at its edge.
Crossing move_on_road(std::int32_t &x, std::int64_t step, std::int32_t dir) {
    const std::int64_t new_x = static_cast<std::int64_t>(x) + step;
    if ((new_x > ROAD_END || new_x < -ROAD_END) && dir == +1) {
        x = -ROAD_END;
        return CROSSED_RIGHT_END;
    }
    if (new_x < -ROAD_END && dir == -1) {
        x = ROAD_END;
        return CROSSED_LEFT_END;
    }
    x = add_saturated(x, step);
    return NO_CROSSING;
}

// A new placed car for a crossing of the player's car, chosen by the end
// that was crossed and by the parity of the count before the increment.
void add_crossing_car(GameState &g, Crossing crossing) {
    if (g.extra_count < 0 || g.extra_count >= MAX_EXTRA_CARS) {
        return;
    }
    const bool even = g.extra_count % 2 == 0;
    const std::int32_t n = ++g.extra_count;
    if (crossing == CROSSED_RIGHT_END) {
        g.extra_x[n] = even ? 200 : 100;
    } else {
        g.extra_x[n] = even ? -100 : 500;
    }
    g.extra_y[n] = even ? LANE_UPPER : LANE_LOWER;
    g.extra_dir[n] = even ? +1 : -1;
}

// Same lane and at most COLLISION_DISTANCE apart: the cars stop and the crash
// sequence starts. Further collisions in the same step change nothing more.
void check_collision(GameState &g, std::int32_t other_x, std::int32_t other_y) {
    if (other_y != g.player_y) {
        return;
    }
    std::int64_t distance = static_cast<std::int64_t>(other_x) - g.player_x;
    if (distance < 0) {
        distance = -distance;
    }
    if (distance <= COLLISION_DISTANCE) {
        g.running = 0;
        g.crash_phase = 1;
    }
}

} // namespace

void init_game_state(GameState &g) {
    g = GameState{};
    g.player_x = 0;
    g.player_y = LANE_UPPER;
    g.player_dir = +1;
    g.speed = 5;
    g.player_color = 2; // red
    g.rival_x = 0;
    g.rival_y = LANE_LOWER;
    g.rival_dir = -1;
    g.extra_count = 0;
    g.points = 0;
    g.running = 0;
    g.crash_phase = 0;
    g.flash_count = 0;
    g.reset_stage = 0;
    g.slowed = 0;
    g.quit = 0;
    g.sun_x = 250;
    g.sun_y = 215;
}

void restart_game(GameState &g) {
    g.player_x = 0;
    g.player_y = LANE_UPPER;
    g.player_dir = +1;
    g.speed = 5;
    g.player_color = 2;
    g.rival_x = 0;
    g.rival_y = LANE_LOWER;
    g.rival_dir = -1;
    g.points = 0;
    g.reset_stage = 0;
}

std::int32_t snap_lane(std::int32_t y) {
    if (y >= -110 && y <= -101) {
        return LANE_LOWER;
    }
    if (y >= -100 && y <= -90) {
        return LANE_UPPER;
    }
    return y;
}

void advance_traffic(GameState &g, std::int32_t traffic_speed) {
    // 1. The player's car; a crossing adds a car first, then scores.
    const std::int64_t player_step = static_cast<std::int64_t>(g.speed) * g.player_dir;
    const Crossing crossing = move_on_road(g.player_x, player_step, g.player_dir);
    if (crossing != NO_CROSSING) {
        add_crossing_car(g, crossing);
        g.points = add_saturated(g.points, crossing == CROSSED_RIGHT_END ? 10 : -10);
    }

    // 2. and 3. The computer car: it wraps without scoring.
    move_on_road(g.rival_x, static_cast<std::int64_t>(traffic_speed) * g.rival_dir, g.rival_dir);
    check_collision(g, g.rival_x, g.rival_y);

    // 4. The placed cars, a car added above included. Car 1 runs 2 units
    // further to the right on every step than the others.
    std::int32_t count = g.extra_count;
    if (count > MAX_EXTRA_CARS) {
        count = MAX_EXTRA_CARS;
    }
    for (std::int32_t n = 1; n <= count; ++n) {
        std::int64_t step = static_cast<std::int64_t>(traffic_speed) * g.extra_dir[n];
        if (n == 1) {
            step += 2;
        }
        move_on_road(g.extra_x[n], step, g.extra_dir[n]);
        check_collision(g, g.extra_x[n], g.extra_y[n]);
    }
}

void drift_sun(std::int32_t &sun_x, std::int32_t &sun_y) {
    sun_x -= 1;
    if (sun_x < -330) {
        sun_x = -sun_x;
        sun_y = add_saturated(sun_y, -1); // one unit per 662 ticks: the edge is far
    }
}

std::int32_t speed_floor_for_points(std::int32_t points) {
    // Lower bound of each 20-point band and its floor; 0 marks "no floor".
    struct Band {
        std::int32_t from;
        std::int32_t floor;
    };
    static constexpr Band bands[] = {
        {20, 6},   {40, 7},   {60, 8},   {80, 9},   {100, 0},  {120, 10},
        {140, 11}, {160, 12}, {180, 13}, {200, 14}, {220, 16}, {240, 18},
        {260, 20}, {280, 22}, {300, 24}, {320, 26}, {340, 28}, {360, 0},
    };
    std::int32_t floor = 0;
    for (const Band &band : bands) {
        if (points >= band.from) {
            floor = band.floor;
        }
    }
    return floor;
}

void raise_speed_for_points(std::int32_t points, std::int32_t &speed) {
    const std::int32_t floor = speed_floor_for_points(points);
    if (floor != 0 && speed < floor) {
        speed = floor;
    }
}
