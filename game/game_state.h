// The car game's state record and the rules that change it without a click
// or a key: the traffic step, the sun's drift, lane snapping, the speed floor
// and the restart. Pure code: nothing here draws or calls QELMA.
#ifndef CARGAME_GAME_STATE_H
#define CARGAME_GAME_STATE_H

#include <cstdint>

// Lanes are named by the y of the baseline their cars stand on.
inline constexpr std::int32_t LANE_UPPER = -100; // traffic placed here heads right
inline constexpr std::int32_t LANE_LOWER = -110; // traffic placed here heads left

inline constexpr std::int32_t ROAD_END = 300;          // the visible road runs from -300 to 300
inline constexpr std::int32_t MAX_EXTRA_CARS = 10;     // placed cars are numbered 1 to 10
inline constexpr std::int32_t COLLISION_DISTANCE = 40; // same lane and this close: a crash
inline constexpr std::int32_t TRAFFIC_SPEED = 5;       // what the loop passes to advance_traffic
inline constexpr std::int32_t NIGHT_AFTER_POINTS = 30; // more points than this: night picture

// a + b, stopped at the ends of the 32-bit range instead of overflowing. A
// script can drive a car's x, the points or the speed arbitrarily far; the
// values derived from them (a car's outline 22 units around its x, the
// score after one more crossing) stop at the edge of the range.
inline std::int32_t add_saturated(std::int32_t a, std::int64_t b) {
    const std::int64_t sum = static_cast<std::int64_t>(a) + b;
    return static_cast<std::int32_t>(sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : sum);
}

// Everything about the game in progress. The game loop holds the one instance.
struct GameState {
    std::int32_t player_x;     // x of the player's car
    std::int32_t player_y;     // lane of the player's car
    std::int32_t player_dir;   // +1 right, -1 left
    std::int32_t speed;        // player's speed in units per traffic step; may be negative
    std::int32_t player_color; // palette index 0..23
    std::int32_t rival_x;      // x of the computer car
    std::int32_t rival_y;      // lane of the computer car (always LANE_LOWER)
    std::int32_t rival_dir;    // direction of the computer car (always -1)
    std::int32_t extra_count;  // placed cars, 0..10
    std::int32_t extra_x[MAX_EXTRA_CARS + 1];   // x of placed car n (entry 0 unused)
    std::int32_t extra_y[MAX_EXTRA_CARS + 1];   // lane of placed car n
    std::int32_t extra_dir[MAX_EXTRA_CARS + 1]; // direction of placed car n
    std::int32_t points;                        // score; may be negative
    std::int32_t running;                       // 1 while the cars move
    std::int32_t crash_phase; // 0 none; 1 and 2 alternate while flashing; 3 final picture
    std::int32_t flash_count; // completed blast flashes
    std::int32_t reset_stage; // 0 nothing pending; 1 a crash was shown; 2 restart requested
    std::int32_t slowed;      // 1 once "Slower" has been used; never cleared
    std::int32_t quit;        // 1 once the quit event has come
    std::int32_t sun_x;       // position of the sun (the moon by night)
    std::int32_t sun_y;
};

// Program-start values. The placed-car arrays are zeroed so that nothing is
// ever read uninitialised.
void init_game_state(GameState &g);

// The restart requested by "Go" after a crash: the player's car, the computer
// car, the score and reset_stage go back to their starting values. Everything
// else (placed cars, sun, slowed, running, ...) is left as it is.
void restart_game(GameState &g);

// Lane snapping: -110..-101 becomes LANE_LOWER, -100..-90 becomes LANE_UPPER,
// any other y is returned unchanged.
std::int32_t snap_lane(std::int32_t y);

// One traffic step: the player's car, the computer car and the placed cars
// move, wrap at the ends of the road, score, add a car on each crossing and
// detect collisions. traffic_speed is the speed of every car but the
// player's (the loop passes TRAFFIC_SPEED).
void advance_traffic(GameState &g, std::int32_t traffic_speed);

// Moves the sun one unit left; past -330 it comes back at 331, one unit lower.
void drift_sun(std::int32_t &sun_x, std::int32_t &sun_y);

// The lowest speed allowed at these points, or 0 where the points select no band.
std::int32_t speed_floor_for_points(std::int32_t points);

// Raises speed to the floor of the band the points lie in; never lowers it.
void raise_speed_for_points(std::int32_t points, std::int32_t &speed);

#endif // CARGAME_GAME_STATE_H
