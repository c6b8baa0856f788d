// The car game's picture, painted with the QELMA drawing calls: landscape,
// score and instructions, the button column, the cars, the explosion and the
// verdicts. Nothing is kept between passes; the loop repaints it all.
#ifndef CARGAME_PICTURE_H
#define CARGAME_PICTURE_H

#include <cstdint>

#include "game/game_state.h"

// Sky, sun (or moon), ground, road, lane dashes, the instructions while not
// running, the score and the hills; by night also the street lamps.
void draw_scene(std::int32_t sun_x, std::int32_t sun_y, std::int32_t points, std::int32_t running);

// The six street lamps, x = -275 to 225.
void draw_street_lamps();

// The eight button boxes and their labels; "Slower" is red once slowed is 1.
void draw_panel(std::int32_t slowed);

// One car whose underside's middle is at (x, y); headlights by night.
void draw_car(std::int32_t x, std::int32_t y, std::int32_t color, std::int32_t points);

// Snaps y to a lane, writes it back and draws the car there.
void snap_and_draw_car(std::int32_t x, std::int32_t &y, std::int32_t color, std::int32_t points);

// Placed cars 1 to count (at most MAX_EXTRA_CARS), their y used as stored.
void draw_extra_cars(const std::int32_t extra_x[MAX_EXTRA_CARS + 1],
                     const std::int32_t extra_y[MAX_EXTRA_CARS + 1], std::int32_t color,
                     std::int32_t count, std::int32_t points);

// The explosion's first frame; it marks the crash as shown (reset_stage = 1).
void draw_blast_frame_a(std::int32_t x, std::int32_t y, std::int32_t &reset_stage);

// The explosion's second frame.
void draw_blast_frame_b(std::int32_t x, std::int32_t y);

void draw_win_verdict();
void draw_top_verdict();
void draw_lose_verdict();

#endif // CARGAME_PICTURE_H
