// The 24-colour palette, the colour check and the canvas coordinate mapping.
#include "qelma/draw/draw.h"
#include "qelma/session/services.h"

const std::uint32_t palette_rgb[PALETTE_SIZE] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x9900CC, 0x003399, 0x996699, 0x99FFFF, 0x99FFCC, 0xFF6600, 0x996633, 0xFF99CC,
    0xFFFF99, 0xCC9933, 0xFF9966, 0x006633, 0x33CC99, 0x999933, 0x808080, 0xCCCCCC,
};

const char *const palette_names[PALETTE_SIZE] = {
    "black",  "white",        "red",       "green",     "blue",   "yellow",
    "magenta", "cyan",        "purple",    "navy blue", "dusty plum", "ice blue",
    "turquoise", "orange",    "brown",     "pink",      "chalk",  "gold",
    "peach",  "forest green", "sea green", "olive",     "50% gray", "20% gray",
};

PlatColor palette_color(int index) {
    const std::uint32_t rgb = palette_rgb[index];
    return plat_rgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int validate_color(int index) {
    if (index >= 0 && index < PALETTE_SIZE) {
        return index;
    }
    qelma_log_printf("Illegal color %d; using RED.\n", index);
    return SUBSTITUTE_COLOR;
}

// The sums are taken in 64 bits and clamped so that coordinates far off the
// canvas (up to the int range) stay far off it instead of wrapping around;
// the limit is the platforms' own (PLAT_COORD_LIMIT), so that every backend
// is given the same box for the same far-off shape.
static int clamp_pixel(long long v) {
    constexpr long long limit = PLAT_COORD_LIMIT - 1; // leaves room for the +1 of a box
    return static_cast<int>(v < -limit ? -limit : v > limit ? limit : v);
}

int canvas_column(int x) { return clamp_pixel(static_cast<long long>(session_origin_x()) + x); }
int canvas_row(int y) { return clamp_pixel(static_cast<long long>(session_origin_y()) - y); }
int canvas_x_of_column(int column) { return column - session_origin_x(); }
int canvas_y_of_row(int row) { return session_origin_y() - row; }
