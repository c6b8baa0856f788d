// The car game's controls: the button column, the keypad keys and clicks on
// the road. Everything but place_extra_car is pure and draws nothing.
#ifndef CARGAME_CONTROLS_H
#define CARGAME_CONTROLS_H

#include <cstdint>

#include "game/game_state.h"

// What a click hit.
inline constexpr int CLICK_ELSEWHERE = 0;
inline constexpr int CLICK_PANEL = 1;
inline constexpr int CLICK_ROAD = 2;

// Button indices, top to bottom.
enum Button {
    BUTTON_GO = 0,
    BUTTON_PAUSE = 1,
    BUTTON_FASTER = 2,
    BUTTON_SLOWER = 3,
    BUTTON_NEW_CAR = 4,
    BUTTON_REVERSE = 5,
    BUTTON_UP = 6,
    BUTTON_DOWN = 7,
};

// CLICK_PANEL inside the button column (-295 < x < -220, 45 < y < 245),
// otherwise CLICK_ROAD inside the road band (-110 < y < -90, any x),
// otherwise CLICK_ELSEWHERE.
int classify_click(std::int32_t x, std::int32_t y);

// The index of the button a panel click hit: (245 - y) / 25, or -1 when the
// click is not a panel click.
int button_at(std::int32_t x, std::int32_t y);

// Applies the button that a panel click hit. A click outside the panel
// changes nothing.
void press_button(std::int32_t x, std::int32_t y, GameState &g);

// Applies the keypad keys "2", "4", "6" and "8" (low 8 bits of the
// character); any other character changes nothing.
void apply_key(char key, GameState &g);

// The state change of a road click: a new placed car at the click's x, in the
// lane its y snaps to, heading left below y = -100 and right otherwise.
// Returns the new car's number, or 0 when nothing was added (ten cars
// already placed, or the click is not in the road band).
std::int32_t add_extra_car(std::int32_t x, std::int32_t y, GameState &g);

// A road click: add_extra_car, and the new car drawn at once in blue. A
// refused click is reported in the message log.
void place_extra_car(std::int32_t x, std::int32_t y, GameState &g);

#endif // CARGAME_CONTROLS_H
