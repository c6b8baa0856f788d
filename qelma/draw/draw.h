// The palette, the canvas mapping, the drawing record and the renderer.
#ifndef QELMA_DRAW_DRAW_H
#define QELMA_DRAW_DRAW_H

#include <cstdint>

#include "qelma/platform/platform.h"
#include "qelma/qelma.h"

inline constexpr int PALETTE_SIZE = QELMA_COLOR_COUNT;
inline constexpr int BACKGROUND_COLOR = QELMA_WHITE;
inline constexpr int SUBSTITUTE_COLOR = QELMA_RED;

// Colours packed as 0x00RRGGBB, indexed by colour index.
extern const std::uint32_t palette_rgb[PALETTE_SIZE];
extern const char *const palette_names[PALETTE_SIZE];

// A palette colour as GDI packs it.
PlatColor palette_color(int index);

// Returns index when it is a palette index; otherwise warns and returns red.
int validate_color(int index);

enum DrawKind { DRAW_TRIANGLE = 0, DRAW_RECTANGLE = 1, DRAW_OVAL = 2, DRAW_TEXT = 5 };

// One drawing request from a drawing call to the renderer. Boxes are
// normalised: (x1, y1) upper left, (x2, y2) lower right, both inside the box.
struct DrawRecord {
    std::int32_t kind;
    std::int32_t color;      // validated palette index
    std::int32_t width;      // pen width, never negative; 0 = filled
    std::int32_t x1, y1;     // first point; anchor of a text
    std::int32_t x2, y2;     // second point
    std::int32_t x3, y3;     // third point of a triangle
    std::int32_t point_size; // text only, 0 to 127
    const char *text;        // text only, NUL-terminated, owned by the drawing call
};

// Canvas coordinates <-> canvas pixels, about the current origin.
int canvas_column(int x);
int canvas_row(int y);
int canvas_x_of_column(int column);
int canvas_y_of_row(int row);

void render_record(const DrawRecord *record);
void fill_canvas_background();

#endif // QELMA_DRAW_DRAW_H
