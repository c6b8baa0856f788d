// Scan conversion by GDI's pixel rules on plain pixel arrays. See raster.h.
#include "qelma/platform/web/raster.h"
#include "qelma/platform/winlayer/gdi_objects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace raster {

namespace {

constexpr long long MAX_SURFACE_PIXELS = 64LL * 1024 * 1024;

long long clamp_ll(long long v, long long lo, long long hi) {
    return std::min(std::max(v, lo), hi);
}

void put(Surface &s, long long x, long long y, std::uint32_t p) {
    if (x >= 0 && y >= 0 && x < s.width && y < s.height)
        s.row(static_cast<int>(y))[x] = p;
}

// A span of pixels [x0, x1] of one row, clipped.
void span(Surface &s, long long y, long long x0, long long x1, std::uint32_t p) {
    if (y < 0 || y >= s.height)
        return;
    x0 = std::max(x0, 0LL);
    x1 = std::min(x1, static_cast<long long>(s.width) - 1);
    if (x0 > x1)
        return;
    std::fill(s.row(static_cast<int>(y)) + x0, s.row(static_cast<int>(y)) + x1 + 1, p);
}

// The pixel columns of one row of a filled ellipse centred at (cx, cy) with
// radii (a, b) in pixel-corner coordinates: those whose centres lie inside.
// False when the row has none.
bool ellipse_row(double cx, double cy, double a, double b, long long y, long long *x0,
                 long long *x1) {
    if (a <= 0 || b <= 0)
        return false;
    const double dy = (static_cast<double>(y) + 0.5 - cy) / b;
    if (dy * dy > 1.0)
        return false;
    const double half = a * std::sqrt(1.0 - dy * dy);
    *x0 = static_cast<long long>(std::ceil(cx - half - 0.5));
    *x1 = static_cast<long long>(std::floor(cx + half - 0.5));
    return *x0 <= *x1;
}

// Pixels of a line from (x0, y0) to (x1, y1), both ends included, with a
// square nib of side width centred on each (1: the line itself).
void line(Surface &s, long long x0, long long y0, long long x1, long long y1, int width,
          std::uint32_t p) {
    const long long dx = std::llabs(x1 - x0), dy = -std::llabs(y1 - y0);
    const long long sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    const int lo = -(width - 1) / 2, hi = width / 2;
    long long err = dx + dy;
    for (;;) {
        if (width <= 1) {
            put(s, x0, y0, p);
        } else {
            // A round nib: the pixels whose centres lie within width / 2.
            const double r = width / 2.0;
            for (int j = lo; j <= hi; j++)
                for (int i = lo; i <= hi; i++)
                    if (i * i + j * j <= r * r)
                        put(s, x0 + i, y0 + j, p);
        }
        if (x0 == x1 && y0 == y1)
            break;
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

} // namespace

bool Surface::resize(int w, int h, PlatColor fill) {
    if (w < 0 || h < 0 || static_cast<long long>(w) * h > MAX_SURFACE_PIXELS)
        return false;
    std::vector<std::uint32_t> fresh(static_cast<std::size_t>(w) * static_cast<std::size_t>(h),
                                     pixel_of(fill));
    const int keep_w = std::min(w, width), keep_h = std::min(h, height);
    for (int y = 0; y < keep_h; y++)
        std::memcpy(fresh.data() + static_cast<std::size_t>(y) * w, row(y),
                    static_cast<std::size_t>(keep_w) * 4);
    pixels.swap(fresh);
    width = w;
    height = h;
    return true;
}

void fill_rect(Surface &s, long long left, long long top, long long right, long long bottom,
               PlatColor color) {
    left = clamp_ll(left, 0, s.width);
    right = clamp_ll(right, 0, s.width);
    top = clamp_ll(top, 0, s.height);
    bottom = clamp_ll(bottom, 0, s.height);
    const std::uint32_t p = pixel_of(color);
    for (long long y = top; y < bottom; y++)
        std::fill(s.row(static_cast<int>(y)) + left, s.row(static_cast<int>(y)) + right, p);
}

void rectangle(Surface &s, int left_in, int top_in, int right_in, int bottom_in,
               const Paint &paint) {
    long long l = std::min(left_in, right_in), r = std::max(left_in, right_in);
    long long t = std::min(top_in, bottom_in), b = std::max(top_in, bottom_in);
    const long long w = r - l, h = b - t;
    if (paint.pen_hollow) {
        if (!paint.brush_hollow && w > 1 && h > 1)
            fill_rect(s, l, t, r - 1, b - 1, paint.brush_color);
        return;
    }
    if (w <= 0 || h <= 0)
        return;
    if (!paint.brush_hollow && w > 2 && h > 2)
        fill_rect(s, l + 1, t + 1, r - 1, b - 1, paint.brush_color);
    // The outline's pixels, widened about themselves for a wide pen.
    const int pw = std::max(1, paint.pen_width);
    const long long lo = (pw - 1) / 2, hi = pw / 2;
    const PlatColor c = paint.pen_color;
    fill_rect(s, l - lo, t - lo, r + hi, t + hi + 1, c);
    fill_rect(s, l - lo, b - 1 - lo, r + hi, b + hi, c);
    fill_rect(s, l - lo, t - lo, l + hi + 1, b + hi, c);
    fill_rect(s, r - 1 - lo, t - lo, r + hi, b + hi, c);
}

void ellipse(Surface &s, int left_in, int top_in, int right_in, int bottom_in,
             const Paint &paint) {
    long long l = std::min(left_in, right_in), r = std::max(left_in, right_in);
    long long t = std::min(top_in, bottom_in), b = std::max(top_in, bottom_in);
    const int pw = std::max(1, paint.pen_width);
    if (paint.pen_hollow) {
        r -= 1; // the fill alone is one column and one row smaller
        b -= 1;
    }
    const long long w = r - l, h = b - t;
    if (w <= 0 || h <= 0)
        return;
    const PlatColor fill_colour = paint.pen_hollow ? paint.brush_color : paint.pen_color;
    // A box one pixel thin is a line of its colour.
    if (w == 1 || h == 1) {
        if (!paint.pen_hollow || !paint.brush_hollow)
            fill_rect(s, l, t, r, b, fill_colour);
        return;
    }
    const double cx = (l + r) / 2.0, cy = (t + b) / 2.0;
    const long long y_first = std::max(t - pw, 0LL);
    const long long y_last = std::min(b + pw, static_cast<long long>(s.height) - 1);
    const std::uint32_t pen = pixel_of(paint.pen_color), brush = pixel_of(paint.brush_color);
    if (paint.pen_hollow) {
        if (paint.brush_hollow)
            return;
        for (long long y = y_first; y <= y_last; y++) {
            long long x0, x1;
            if (ellipse_row(cx, cy, w / 2.0, h / 2.0, y, &x0, &x1))
                span(s, y, x0, x1, brush);
        }
        return;
    }
    if (pw <= 1) {
        // The outline is every pixel of the filled shape with a neighbour
        // above, below, left or right outside it.
        const double a = w / 2.0, bb = h / 2.0;
        for (long long y = y_first; y <= y_last; y++) {
            long long x0, x1, u0 = 0, u1 = -1, d0 = 0, d1 = -1;
            if (!ellipse_row(cx, cy, a, bb, y, &x0, &x1))
                continue;
            const bool up = ellipse_row(cx, cy, a, bb, y - 1, &u0, &u1);
            const bool down = ellipse_row(cx, cy, a, bb, y + 1, &d0, &d1);
            // Inner pixels: inside the spans of both neighbouring rows.
            const long long i0 = std::max({x0 + 1, up ? u0 : x1 + 1, down ? d0 : x1 + 1});
            const long long i1 = std::min({x1 - 1, up ? u1 : x0 - 1, down ? d1 : x0 - 1});
            if (i0 > i1) {
                span(s, y, x0, x1, pen);
                continue;
            }
            span(s, y, x0, i0 - 1, pen);
            span(s, y, i1 + 1, x1, pen);
            if (!paint.brush_hollow)
                span(s, y, i0, i1, brush);
        }
        return;
    }
    // A wide pen is centred on the path through the outline's pixel centres.
    const double a = (w - 1) / 2.0, bb = (h - 1) / 2.0, half = pw / 2.0;
    for (long long y = y_first; y <= y_last; y++) {
        long long o0, o1, n0, n1;
        if (!ellipse_row(cx, cy, a + half, bb + half, y, &o0, &o1))
            continue;
        if (!ellipse_row(cx, cy, a - half, bb - half, y, &n0, &n1)) {
            span(s, y, o0, o1, pen);
            continue;
        }
        span(s, y, o0, n0 - 1, pen);
        span(s, y, n1 + 1, o1, pen);
        if (!paint.brush_hollow)
            span(s, y, n0, n1, brush);
    }
}

void polygon(Surface &s, const PlatPoint *points, int count, const Paint &paint) {
    if (!points || count < 2)
        return;
    std::vector<PlatPoint> pts(points, points + count);
    long long min_y = PLAT_COORD_LIMIT, max_y = -PLAT_COORD_LIMIT;
    for (PlatPoint &p : pts) {
        p.x = std::clamp(p.x, -PLAT_COORD_LIMIT, PLAT_COORD_LIMIT);
        p.y = std::clamp(p.y, -PLAT_COORD_LIMIT, PLAT_COORD_LIMIT);
        min_y = std::min<long long>(min_y, p.y);
        max_y = std::max<long long>(max_y, p.y);
    }
    if (!paint.brush_hollow) {
        const std::uint32_t brush = pixel_of(paint.brush_color);
        std::vector<double> crossings;
        const long long y0 = std::max(min_y, 0LL);
        const long long y1 = std::min(max_y, static_cast<long long>(s.height) - 1);
        for (long long y = y0; y <= y1; y++) {
            const double yc = static_cast<double>(y) + 0.5;
            crossings.clear();
            for (int i = 0; i < count; i++) {
                const PlatPoint &p = pts[static_cast<std::size_t>(i)];
                const PlatPoint &q = pts[static_cast<std::size_t>((i + 1) % count)];
                if ((p.y <= yc) == (q.y <= yc))
                    continue;
                crossings.push_back(p.x + (yc - p.y) * (q.x - p.x) / static_cast<double>(q.y - p.y));
            }
            std::sort(crossings.begin(), crossings.end());
            for (std::size_t i = 0; i + 1 < crossings.size(); i += 2) {
                // Pixels whose centres lie in [xa, xb).
                const long long xa = static_cast<long long>(std::ceil(crossings[i] - 0.5));
                const long long xb = static_cast<long long>(std::ceil(crossings[i + 1] - 0.5)) - 1;
                span(s, y, xa, xb, brush);
            }
        }
    }
    if (!paint.pen_hollow) {
        const std::uint32_t pen = pixel_of(paint.pen_color);
        const int pw = std::max(1, paint.pen_width);
        // Edges wholly off the surface by more than the pen are skipped.
        for (int i = 0; i < count; i++) {
            const PlatPoint &p = pts[static_cast<std::size_t>(i)];
            const PlatPoint &q = pts[static_cast<std::size_t>((i + 1) % count)];
            if ((p.x < -pw && q.x < -pw) || (p.y < -pw && q.y < -pw) ||
                (p.x > s.width + pw && q.x > s.width + pw) ||
                (p.y > s.height + pw && q.y > s.height + pw))
                continue;
            line(s, p.x, p.y, q.x, q.y, pw, pen);
        }
    }
}

void copy(Surface &dst, int dx_in, int dy_in, const Surface &src, int sx_in, int sy_in, int w_in,
          int h_in) {
    winlayer::CopyBlock b;
    if (!winlayer::clip_copy(dst.width, dst.height, src.width, src.height, dx_in, dy_in, sx_in,
                             sy_in, w_in, h_in, b))
        return;
    const long long dx = b.dx, dy = b.dy, sx = b.sx, sy = b.sy, w = b.w, h = b.h;
    const bool same = &dst == &src;
    const bool bottom_up = same && dy > sy;
    for (long long i = 0; i < h; i++) {
        const long long r = bottom_up ? h - 1 - i : i;
        std::memmove(dst.pixels.data() + (dy + r) * dst.width + dx,
                     src.pixels.data() + (sy + r) * src.width + sx, static_cast<std::size_t>(w) * 4);
    }
}

void blend_coverage(Surface &s, int x, int y, const std::uint8_t *coverage, int w, int h,
                    PlatColor color) {
    const unsigned cr = plat_red(color), cg = plat_green(color), cb = plat_blue(color);
    for (int j = 0; j < h; j++) {
        const long long ty = static_cast<long long>(y) + j;
        if (ty < 0 || ty >= s.height)
            continue;
        std::uint32_t *row = s.row(static_cast<int>(ty));
        for (int i = 0; i < w; i++) {
            const long long tx = static_cast<long long>(x) + i;
            const unsigned a = coverage[static_cast<std::size_t>(j) * w + i];
            if (a == 0 || tx < 0 || tx >= s.width)
                continue;
            const std::uint32_t old = row[tx];
            auto mix = [a](unsigned fg, unsigned bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
            row[tx] = pixel_of(plat_rgb(mix(cr, old & 0xFF), mix(cg, (old >> 8) & 0xFF),
                                        mix(cb, (old >> 16) & 0xFF)));
        }
    }
}

} // namespace raster
