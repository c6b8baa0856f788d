// Pixel surfaces and shapes drawn on them by GDI's rules, in plain C++: the
// one place where shapes become pixels for every backend under the layer, so
// that each draws the same picture; a toolkit only shows the pixels.
//
// A pixel is 0xFFRRGGBB, the order of a Windows 32-bit DIB: bytes B, G, R, X
// in memory, which is also Qt's Format_RGB32.
//
// Rules: a rectangle or ellipse box leaves out its right column and bottom
// row; a one-pixel pen outlines the pixels just inside the box; a null pen
// leaves a rectangle's fill one column and one row smaller, an ellipse's only
// when the box is under three pixels thick. An ellipse's outline is the
// integer midpoint ellipse through the box's inner pixels. Lines take, at
// each step along their longer axis, the pixel nearest the true line, a tie
// going to the smaller coordinate. Polygons fill by the even-odd rule: a
// pixel is filled when its own point lies inside, the left edges counting as
// inside and the right edges not; their outline covers the edges. A wide pen
// draws the same outline path (a rectangle's through its corner pixels) as a
// band of its width across each segment and a round nib, the filled ellipse
// of a width-square box, on each point, even widths leaning up and left.
// Every coordinate is clipped to the surface, so far-off shapes cost what
// their visible part costs.
#ifndef QELMA_PLATFORM_WINLAYER_RASTER_H
#define QELMA_PLATFORM_WINLAYER_RASTER_H

#include "qelma/platform/platform.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace raster {

// The seam's range of coordinates. Callers above the seam keep within it;
// farther points (only from direct callers) are pulled in here.
inline bool within_coord_limit(int v) { return v >= -PLAT_COORD_LIMIT && v <= PLAT_COORD_LIMIT; }
inline int clamp_coord(int v) { return std::clamp(v, -PLAT_COORD_LIMIT, PLAT_COORD_LIMIT); }
// Surfaces and bitmaps larger than this are refused.
constexpr long long MAX_SURFACE_PIXELS = 64LL * 1024 * 1024;

struct Surface {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // row by row, width * height

    // Keeps the pixels that stay inside, the new ones in fill; false (the
    // surface unchanged) when too large.
    bool resize(int w, int h, PlatColor fill);
    std::uint32_t *row(int y) { return pixels.data() + static_cast<std::size_t>(y) * width; }
};

inline std::uint32_t pixel_of(PlatColor c) {
    return 0xFF000000u | plat_red(c) << 16 | plat_green(c) << 8 | plat_blue(c);
}
inline PlatColor color_of(std::uint32_t p) { return plat_rgb(p >> 16, p >> 8, p); }

// What a context draws shapes with: pen (hollow: none) and brush.
struct Paint {
    bool pen_hollow;
    PlatColor pen_color;
    int pen_width; // 0 or 1: one pixel
    bool brush_hollow;
    PlatColor brush_color;
};

void fill_rect(Surface &s, long long left, long long top, long long right, long long bottom,
               PlatColor color); // right and bottom excluded
void rectangle(Surface &s, int left, int top, int right, int bottom, const Paint &paint);
// How a wide pen's ellipse outline is laid: a row of the surface at a time
// (what every backend draws), or one piece at a time, the plain rule that
// the rows must match.
enum class WidePen { rows, pieces };
void ellipse(Surface &s, int left, int top, int right, int bottom, const Paint &paint,
             WidePen how = WidePen::rows);
void polygon(Surface &s, const PlatPoint *points, int count, const Paint &paint);
// A band of rows, top..bottom-1; empty when top == bottom.
struct Rows {
    int top = 0, bottom = 0;
};
// Copies a w x h block from (sx, sy) of src to (dx, dy) of dst, clipped to
// both; src may be dst, with overlapping blocks. Returns the rows of dst
// that changed (between two surfaces; within one, the rows written).
Rows copy(Surface &dst, int dx, int dy, const Surface &src, int sx, int sy, int w, int h);
// Blends a text colour over the surface by coverage (0..255), a w x h block
// placed at (x, y).
void blend_coverage(Surface &s, int x, int y, const std::uint8_t *coverage, int w, int h,
                    PlatColor color);

} // namespace raster

#endif // QELMA_PLATFORM_WINLAYER_RASTER_H
