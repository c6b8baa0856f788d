// The drawing half of a road click, kept apart from controls.cpp so that the
// rest of the controls stay pure and testable without a window.
#include <cstdint>

#include "game/controls.h"
#include "game/picture.h"
#include "qelma/qelma.h"

void place_extra_car(std::int32_t x, std::int32_t y, GameState &g) {
    const std::int32_t n = add_extra_car(x, y, g);
    if (n == 0) {
        qelma_log_printf("place_extra_car: no car placed at (%d,%d) with %d cars on the road\n",
                         static_cast<int>(x), static_cast<int>(y), static_cast<int>(g.extra_count));
        return;
    }
    // The stored y is already snapped; the car shows before the next redraw.
    snap_and_draw_car(g.extra_x[n], g.extra_y[n], QELMA_BLUE, g.points);
}
