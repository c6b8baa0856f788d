// The car game's drawing. The order of the calls is part of the picture:
// later calls paint over earlier ones.
#include "game/picture.h"

#include <cstdint>

#include "qelma/qelma.h"

namespace {

bool is_night(std::int32_t points) {
    return points > NIGHT_AFTER_POINTS;
}

// Lines of the instructions shown while the cars stand, drawn top to bottom
// at x = -285 in white.
void draw_instructions() {
    qelma_draw_textf(QELMA_WHITE, -285, -160, 15,
                     "Press GO to start then click a button (UP,DOWN,REVERSE) to control the "
                     "red car");
    qelma_draw_textf(QELMA_WHITE, -285, -175, 15,
                     "or use numbers 2,4,6,8 and their coresponding arrows on the right hand "
                     "side of the keyboard");
    qelma_draw_textf(QELMA_WHITE, -285, -190, 15, "warning: make sure \"number lock\" is on!");
    qelma_draw_textf(QELMA_WHITE, -285, -205, 15, "object is to gain points.");
    qelma_draw_textf(QELMA_WHITE, -285, -220, 15,
                     "10 points are awarded every time the screen is crossed to the right");
    qelma_draw_textf(QELMA_WHITE, -285, -235, 12,
                     "QELMA car game - a demo of the QELMA graphics and events library");
}

} // namespace

void draw_scene(std::int32_t sun_x, std::int32_t sun_y, std::int32_t points, std::int32_t running) {
    const bool night = is_night(points);
    // The day sky and sun are always painted; by night they are covered.
    qelma_draw_rectangle(QELMA_ICE_BLUE, -300, -250, 300, 250, 0);
    qelma_draw_circle(QELMA_YELLOW, sun_x, sun_y, 20);
    if (night) {
        qelma_draw_rectangle(QELMA_BLACK, -300, -250, 300, 250, 0);
        qelma_draw_circle(QELMA_YELLOW, sun_x, sun_y, 20);
        qelma_draw_circle(QELMA_BLACK, add_saturated(sun_x, -7), add_saturated(sun_y, 2),
                          20); // leaves a crescent
    }
    qelma_draw_rectangle(QELMA_BROWN, -300, -250, 300, -50, 0);
    qelma_draw_rectangle(night ? QELMA_BLACK : QELMA_GRAY_50, -300, -110, 300, -90, 0);
    // Dashed centre line: zero-height boxes, one pixel row of six pixels each.
    for (int x = -300; x <= 290; x += 10) {
        qelma_draw_rectangle(QELMA_YELLOW, x, -100, x + 5, -100, 0);
    }
    if (running == 0) {
        draw_instructions();
    }
    qelma_draw_textf(QELMA_BLACK, -285, -75, 22, "Points= %d", static_cast<int>(points));
    qelma_draw_triangle(QELMA_GRAY_50, -300, -50, 300, -50, 0, 200, 0);
    qelma_draw_triangle(QELMA_OLIVE, -375, -50, 100, -50, -225, 166, 0);
    qelma_draw_triangle(QELMA_FOREST_GREEN, -100, -50, 300, -50, 300, 166, 0);
    if (night) {
        draw_street_lamps();
    }
}

void draw_street_lamps() {
    for (int x = -275; x + 275 < 600; x += 100) {
        qelma_draw_rectangle(QELMA_BLACK, x, -85, x + 2, -65, 0);
        qelma_draw_circle(QELMA_YELLOW, x + 1, -65, 3);
    }
}

void draw_panel(std::int32_t slowed) {
    for (int top = 245; top >= 70; top -= 25) {
        qelma_draw_rectangle(QELMA_BROWN, -295, top, -220, top - 25, 1);
    }
    qelma_draw_textf(QELMA_FOREST_GREEN, -285, 227, 12, "Go");
    qelma_draw_textf(QELMA_RED, -285, 202, 12, "Pause");
    qelma_draw_textf(QELMA_BROWN, -285, 177, 12, "Faster");
    qelma_draw_textf(slowed == 1 ? QELMA_RED : QELMA_BROWN, -285, 152, 12, "Slower");
    qelma_draw_textf(QELMA_BROWN, -285, 127, 12, "New Car");
    qelma_draw_textf(QELMA_BROWN, -285, 102, 12, "Reverse");
    qelma_draw_textf(QELMA_BROWN, -285, 77, 12, "UP");
    qelma_draw_textf(QELMA_BROWN, -285, 52, 12, "Down");
}

// A car's x comes from a script's click or from any number of moves, so it
// may lie at either end of the 32-bit range: its outline is computed with
// the sums stopped at the range's edge. Such a car is far off the canvas and
// clipped away whole.
void draw_car(std::int32_t x, std::int32_t y, std::int32_t color, std::int32_t points) {
    auto px = [x](std::int32_t d) { return add_saturated(x, d); };
    auto py = [y](std::int32_t d) { return add_saturated(y, d); };
    qelma_draw_rectangle(color, px(-20), py(6), px(20), py(18), 0); // body
    qelma_draw_rectangle(color, px(-6), py(18), px(6), py(24), 0);  // cabin
    qelma_draw_circle(QELMA_BLACK, px(-10), py(6), 6);
    qelma_draw_circle(QELMA_BLACK, px(10), py(6), 6);
    if (is_night(points)) {
        qelma_draw_oval(QELMA_YELLOW, px(20), py(12), px(22), py(12), 3);
        qelma_draw_oval(QELMA_YELLOW, px(-20), py(12), px(-22), py(12), 3);
    }
}

void snap_and_draw_car(std::int32_t x, std::int32_t &y, std::int32_t color, std::int32_t points) {
    y = snap_lane(y);
    draw_car(x, y, color, points);
}

void draw_extra_cars(const std::int32_t extra_x[MAX_EXTRA_CARS + 1],
                     const std::int32_t extra_y[MAX_EXTRA_CARS + 1], std::int32_t color,
                     std::int32_t count, std::int32_t points) {
    if (count > MAX_EXTRA_CARS) {
        qelma_log_printf("draw_extra_cars: count %d is more than %d; drawing %d\n",
                         static_cast<int>(count), MAX_EXTRA_CARS, MAX_EXTRA_CARS);
        count = MAX_EXTRA_CARS;
    }
    for (std::int32_t n = 1; n <= count; ++n) {
        draw_car(extra_x[n], extra_y[n], color, points);
    }
}

void draw_blast_frame_a(std::int32_t x, std::int32_t y, std::int32_t &reset_stage) {
    qelma_draw_circle(QELMA_YELLOW, x, y, 50);
    qelma_draw_circle(QELMA_ORANGE, x, y, 25);
    qelma_draw_circle(QELMA_RED, x, y, 5);
    reset_stage = 1;
}

void draw_blast_frame_b(std::int32_t x, std::int32_t y) {
    qelma_draw_circle(QELMA_ORANGE, x, y, 50);
    qelma_draw_circle(QELMA_RED, x, y, 25);
    qelma_draw_circle(QELMA_YELLOW, x, y, 5);
}

void draw_win_verdict() {
    qelma_draw_textf(QELMA_ICE_BLUE, -50, -50, 28, "YOU WIN!!!");
}

void draw_top_verdict() {
    qelma_draw_textf(QELMA_ICE_BLUE, -285, -50, 18,
                     "YOU ARE A NERD IF YOU SPEND THE TIME TO GET THIS GOOD");
}

void draw_lose_verdict() {
    qelma_draw_textf(QELMA_ICE_BLUE, -50, -50, 28, "YOU LOSE!!!");
}
