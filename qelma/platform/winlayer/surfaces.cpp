// The seam's shapes, copies, scrolling and pixel reads, once for every
// toolkit: a context draws on its window's client pixels or its bitmap's
// (raster.h), with the pen and brush it has selected; what lands on a window
// is shown by the presentation rule (presentation.cpp).
// Leaves out: pen styles other than solid, raster operations other than
// SRCCOPY, clipping regions.
#include "qelma/platform/platform_inspect.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/surfaces.h"
#include "qelma/platform/winlayer/window_records.h"

#include <algorithm>

namespace winlayer {

raster::Surface *surface_of(PlatDC dc) {
    if (!dc_ok(dc))
        return nullptr;
    raster::Surface *s = nullptr;
    if (dc->window)
        s = window_ok(dc->window) ? &dc->window->surface : nullptr;
    else if (object_ok(dc->bitmap))
        s = dc->bitmap->pixels;
    // An empty client area has nothing to draw on.
    return s && s->width > 0 && s->height > 0 ? s : nullptr;
}

void drawn(PlatDC dc, long long top, long long bottom) {
    if (dc->window)
        surface_drawn(dc->window, static_cast<int>(std::clamp<long long>(top, 0, 1 << 30)),
                      static_cast<int>(std::clamp<long long>(bottom, 0, 1 << 30)));
}

} // namespace winlayer

using namespace winlayer;

namespace {

raster::Paint paint_of(PlatDC dc) {
    return raster::Paint{dc->pen->hollow, dc->pen->color, dc->pen->pen_width, dc->brush->hollow,
                         dc->brush->color};
}

// The rows a shape over a box can touch: its pen reaches half its width out.
void box_drawn(PlatDC dc, int top, int bottom) {
    const long long reach = dc->pen->pen_width / 2 + 1;
    drawn(dc, std::min(top, bottom) - reach, std::max(top, bottom) + reach);
}

} // namespace

int plat_rectangle(PlatDC dc, int left, int top, int right, int bottom) {
    raster::Surface *s = surface_of(dc);
    if (!s)
        return 0;
    raster::rectangle(*s, left, top, right, bottom, paint_of(dc));
    box_drawn(dc, top, bottom);
    return 1;
}

int plat_ellipse(PlatDC dc, int left, int top, int right, int bottom) {
    raster::Surface *s = surface_of(dc);
    if (!s)
        return 0;
    clamp_box("ellipse", left, top, right, bottom);
    raster::ellipse(*s, left, top, right, bottom, paint_of(dc));
    box_drawn(dc, top, bottom);
    return 1;
}

int plat_polygon(PlatDC dc, const PlatPoint *points, int count) {
    raster::Surface *s = surface_of(dc);
    if (!s)
        return 0;
    if (!points || count < 2) {
        warn("polygon: needs at least 2 points, got %d", points ? count : 0);
        return 0;
    }
    int top = clamp_coord(points[0].y), bottom = top;
    bool far = false;
    for (int i = 0; i < count; i++) {
        far = far || !within_coord_limit(points[i].x) || !within_coord_limit(points[i].y);
        top = std::min(top, clamp_coord(points[i].y));
        bottom = std::max(bottom, clamp_coord(points[i].y));
    }
    if (far)
        warn("polygon: points clamped to +-%d", PLAT_COORD_LIMIT);
    raster::polygon(*s, points, count, paint_of(dc));
    box_drawn(dc, top, bottom + 1);
    return 1;
}

int plat_scroll_dc(PlatDC dc, int dx, int dy) {
    raster::Surface *s = surface_of(dc);
    if (!s)
        return 0;
    const raster::Rows rows = raster::copy(*s, dx, dy, *s, 0, 0, s->width, s->height);
    drawn(dc, rows.top, rows.bottom);
    return 1;
}

int plat_bit_blt(PlatDC dest, int x, int y, int w, int h, PlatDC src, int src_x, int src_y,
                 unsigned long rop) {
    raster::Surface *d = surface_of(dest);
    raster::Surface *s = surface_of(src);
    if (!d || !s)
        return 0;
    if (!bit_blt_allowed(rop, w, h))
        return 0;
    const raster::Rows rows = raster::copy(*d, x, y, *s, src_x, src_y, w, h);
    drawn(dest, rows.top, rows.bottom);
    return 1;
}

int plat_read_pixels(PlatDC dc, int x, int y, int w, int h, std::uint32_t *rgb) {
    raster::Surface *s = surface_of(dc);
    if (!s || !rgb || w <= 0 || h <= 0 || x < 0 || y < 0 || x > s->width - w || y > s->height - h)
        return 0;
    for (int row = 0; row < h; ++row) {
        const std::uint32_t *line = s->row(y + row) + x;
        for (int column = 0; column < w; ++column)
            *rgb++ = line[column] & 0xFFFFFFu; // 0xFFRRGGBB without the filler byte
    }
    return 1;
}

PlatColor plat_get_pixel(PlatDC dc, int x, int y) {
    raster::Surface *s = surface_of(dc);
    if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height)
        return PLAT_INVALID_COLOR;
    return raster::color_of(s->row(y)[x]);
}
