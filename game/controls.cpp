// Button column, keypad keys and road clicks (the state changes only).
#include "game/controls.h"

#include <cstdint>
#include <limits>

namespace {

constexpr std::int32_t PANEL_LEFT = -295;  // outer border lines of the column; the
constexpr std::int32_t PANEL_RIGHT = -220; // borders themselves are not part of it
constexpr std::int32_t PANEL_TOP = 245;
constexpr std::int32_t PANEL_BOTTOM = 45;
constexpr std::int32_t BUTTON_HEIGHT = 25;
constexpr std::int32_t ROAD_LOW = -110; // road edges; the band is strictly between
constexpr std::int32_t ROAD_HIGH = -90;

// Speed changes saturate instead of overflowing; nothing else bounds them.
void speed_up(std::int32_t &speed) {
    if (speed < std::numeric_limits<std::int32_t>::max()) {
        ++speed;
    }
}

void slow_down(std::int32_t &speed) {
    if (speed > std::numeric_limits<std::int32_t>::min()) {
        --speed;
    }
}

void lane_up(std::int32_t &y) {
    if (y == LANE_LOWER) {
        y = LANE_UPPER;
    }
}

void lane_down(std::int32_t &y) {
    if (y == LANE_UPPER) {
        y = LANE_LOWER;
    }
}

} // namespace

int classify_click(std::int32_t x, std::int32_t y) {
    if (x > PANEL_LEFT && x < PANEL_RIGHT && y > PANEL_BOTTOM && y < PANEL_TOP) {
        return CLICK_PANEL;
    }
    if (y > ROAD_LOW && y < ROAD_HIGH) {
        return CLICK_ROAD;
    }
    return CLICK_ELSEWHERE;
}

int button_at(std::int32_t x, std::int32_t y) {
    if (classify_click(x, y) != CLICK_PANEL) {
        return -1;
    }
    // The line between two boxes counts for the lower one.
    return (PANEL_TOP - y) / BUTTON_HEIGHT;
}

void press_button(std::int32_t x, std::int32_t y, GameState &g) {
    switch (button_at(x, y)) {
    case BUTTON_GO:
        // Starts the cars in play; after a crash has been shown it clears the
        // crash and asks for a restart at the next tick instead.
        if (g.crash_phase == 0) {
            g.running = 1;
        }
        if (g.reset_stage == 1) {
            g.extra_count = 0;
            g.crash_phase = 0;
            g.flash_count = 0;
            g.running = 0;
            g.reset_stage = 2;
        }
        break;
    case BUTTON_PAUSE:
        g.running = 0;
        break;
    case BUTTON_FASTER:
        speed_up(g.speed);
        break;
    case BUTTON_SLOWER:
        g.slowed = 1;
        slow_down(g.speed);
        if (g.speed < 0) {
            g.speed = 0;
        }
        break;
    case BUTTON_NEW_CAR:
        // Cycles through all 24 palette entries.
        g.player_color = (g.player_color + 1) % 24;
        if (g.player_color < 0) {
            g.player_color += 24;
        }
        break;
    case BUTTON_REVERSE:
        g.player_dir = -g.player_dir;
        break;
    case BUTTON_UP:
        lane_up(g.player_y);
        break;
    case BUTTON_DOWN:
        lane_down(g.player_y);
        break;
    default:
        break;
    }
}

void apply_key(char key, GameState &g) {
    switch (static_cast<unsigned char>(key)) {
    case '6':
        if (g.player_dir == +1) {
            speed_up(g.speed);
        }
        g.player_dir = +1;
        break;
    case '4':
        // Unlike "Slower" this has no floor: the speed can go below 0.
        if (g.player_dir == -1) {
            slow_down(g.speed);
        }
        g.player_dir = -1;
        break;
    case '8':
        lane_up(g.player_y);
        break;
    case '2':
        lane_down(g.player_y);
        break;
    default:
        break;
    }
}

std::int32_t add_extra_car(std::int32_t x, std::int32_t y, GameState &g) {
    if (classify_click(x, y) != CLICK_ROAD || g.extra_count < 0 ||
        g.extra_count >= MAX_EXTRA_CARS) {
        return 0;
    }
    // The direction comes from the click's own y, before snapping.
    const std::int32_t dir = y < LANE_UPPER ? -1 : +1;
    const std::int32_t n = ++g.extra_count;
    g.extra_x[n] = x;
    g.extra_y[n] = snap_lane(y);
    g.extra_dir[n] = dir;
    return n;
}
