// Scan conversion by GDI's pixel rules on plain pixel arrays. See raster.h.
#include "qelma/platform/web/raster.h"
#include "qelma/platform/winlayer/gdi_objects.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

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

// Visits the outline of the ellipse whose pixel box is [x0, x1] x [y0, y1],
// all inclusive, by an integer midpoint algorithm (A. Zingl's): from the
// middle rows out to the top and bottom, each step gives a left and a right
// column and an upper and a lower row, four outline pixels. The error terms
// are whole numbers, so the outline is symmetric and repeatable; boxes up to
// twice the coordinate limit keep them well inside 64 bits.
template <class Visit>
void ellipse_outline(long long x0, long long y0, long long x1, long long y1, Visit visit) {
    const long long a = x1 - x0, b = y1 - y0, b1 = b & 1;
    long long dx = 4 * (1 - a) * b * b, dy = 4 * (b1 + 1) * a * a;
    long long err = dx + dy + b1 * a * a;
    long long lower = y0 + (b + 1) / 2, upper = lower - b1;
    const long long step_a = 8 * a * a, step_b = 8 * b * b;
    do {
        visit(x0, x1, upper, lower);
        const long long e2 = 2 * err;
        if (e2 <= dy) {
            lower++;
            upper--;
            dy += step_a;
            err += dy;
        }
        if (e2 >= dx) {
            x0++;
            x1--;
            dx += step_b;
            err += dx;
        }
    } while (x0 <= x1);
    // A box one or two columns wide runs out of columns before its rows: its
    // tips go on straight up and down. (Wider boxes stop where the columns
    // meet, as GDI's do.)
    while (a <= 1 && lower - upper <= b) {
        visit(x0 - 1, x1 + 1, upper, lower);
        lower++;
        upper--;
    }
}

// One row's share of an ellipse outline: its outer and inner columns on the
// left (the run of outline pixels there) and on the right.
struct EllipseRow {
    long long outer_l = 0, inner_l = 0, inner_r = 0, outer_r = 0;
    bool seen = false;

    void add(long long xl, long long xr) {
        if (!seen) {
            outer_l = inner_l = xl;
            inner_r = outer_r = xr;
            seen = true;
            return;
        }
        outer_l = std::min(outer_l, xl);
        inner_l = std::max(inner_l, xl);
        inner_r = std::min(inner_r, xr);
        outer_r = std::max(outer_r, xr);
    }
};

// The outline's runs on the rows of the surface (rows off it are dropped).
std::vector<EllipseRow> ellipse_rows(const Surface &s, long long l, long long t, long long r,
                                     long long b) {
    std::vector<EllipseRow> rows(static_cast<std::size_t>(s.height));
    ellipse_outline(l, t, r, b, [&](long long xl, long long xr, long long up, long long down) {
        if (up >= 0 && up < s.height)
            rows[static_cast<std::size_t>(up)].add(xl, xr);
        if (down != up && down >= 0 && down < s.height)
            rows[static_cast<std::size_t>(down)].add(xl, xr);
    });
    return rows;
}

// A wide pen's round nib: the filled ellipse of a width x width box, laid
// with its middle pixel (for even widths the upper left of the middle four)
// on the point drawn. rows[i] holds the column offsets of row offset
// first + i.
struct Nib {
    int width;
    int first;
    std::vector<std::pair<long long, long long>> rows;

    explicit Nib(int w) : width(w), first(-(w - 1) / 2), rows(static_cast<std::size_t>(w)) {
        for (auto &row : rows)
            row = {w, -w};
        auto add = [this](long long xl, long long xr, long long y) {
            auto &row = rows[static_cast<std::size_t>(y - first)];
            row = {std::min(row.first, xl), std::max(row.second, xr)};
        };
        ellipse_outline(first, first, first + w - 1, first + w - 1,
                        [&](long long xl, long long xr, long long up, long long down) {
                            add(xl, xr, up);
                            add(xl, xr, down);
                        });
    }
};

// The pixels a wide pen covers along one stroke, as one run per row of the
// surface: the stroke is gathered nib by nib, then painted a row at a time,
// so a wide pen costs its width per point rather than its area. Nibs that
// cannot reach the surface are left out.
class Stroke {
public:
    Stroke(const Surface &s, const Nib &nib)
        : nib_(nib), width_(s.width), runs_(static_cast<std::size_t>(s.height), {1, 0}) {}

    void add(long long x, long long y) {
        const long long h = static_cast<long long>(runs_.size());
        if (x < -nib_.width || y < -nib_.width || x >= width_ + nib_.width || y >= h + nib_.width)
            return;
        for (std::size_t i = 0; i < nib_.rows.size(); i++) {
            const long long row = y + nib_.first + static_cast<long long>(i);
            if (row < 0 || row >= h)
                continue;
            auto &run = runs_[static_cast<std::size_t>(row)];
            const long long lo = x + nib_.rows[i].first, hi = x + nib_.rows[i].second;
            run = run.first > run.second ? std::make_pair(lo, hi)
                                         : std::make_pair(std::min(run.first, lo),
                                                          std::max(run.second, hi));
        }
    }

    void paint(Surface &s, std::uint32_t p) const {
        for (std::size_t y = 0; y < runs_.size(); y++)
            span(s, static_cast<long long>(y), runs_[y].first, runs_[y].second, p);
    }

private:
    const Nib &nib_;
    long long width_;
    std::vector<std::pair<long long, long long>> runs_; // empty while first > second
};

// Visits the pixels of a line from (x0, y0) to (x1, y1), both ends included:
// along the longer axis one pixel a step, across it the pixel nearest the
// true line, a tie going to the smaller coordinate whichever way the line
// runs (so a line and its reverse cover the same pixels).
template <class Visit>
void line_points(long long x0, long long y0, long long x1, long long y1, Visit visit) {
    const long long adx = std::llabs(x1 - x0), ady = std::llabs(y1 - y0);
    const bool x_major = adx >= ady;
    const long long steps = x_major ? adx : ady, across = x_major ? ady : adx;
    const long long s_along = (x_major ? x0 < x1 : y0 < y1) ? 1 : -1;
    const long long s_across = (x_major ? y0 < y1 : x0 < x1) ? 1 : -1;
    for (long long i = 0; i <= steps; i++) {
        // i * across / steps, rounded; one half exactly goes down if the
        // line runs up the axis, so the smaller coordinate wins.
        long long off = 0;
        if (steps > 0) {
            const long long twice = 2 * i * across + steps, denom = 2 * steps;
            off = twice / denom - (twice % denom == 0 && s_across > 0 ? 1 : 0);
        }
        if (x_major)
            visit(x0 + s_along * i, y0 + s_across * off);
        else
            visit(x0 + s_across * off, y0 + s_along * i);
    }
}

// A line drawn with a pen of the given width (1: the line's own pixels).
void line(Surface &s, long long x0, long long y0, long long x1, long long y1, int width,
          std::uint32_t p) {
    if (width <= 1) {
        line_points(x0, y0, x1, y1, [&](long long x, long long y) { put(s, x, y, p); });
        return;
    }
    const Nib nib(width);
    Stroke stroke(s, nib);
    line_points(x0, y0, x1, y1, [&](long long x, long long y) { stroke.add(x, y); });
    stroke.paint(s, p);
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
    // Clamped like every coordinate, which also keeps the outline's error
    // terms inside 64 bits.
    const auto lim = [](int v) {
        return static_cast<long long>(std::clamp(v, -PLAT_COORD_LIMIT, PLAT_COORD_LIMIT));
    };
    long long l = std::min(lim(left_in), lim(right_in)), r = std::max(lim(left_in), lim(right_in));
    long long t = std::min(lim(top_in), lim(bottom_in)), b = std::max(lim(top_in), lim(bottom_in));
    // As GDI: a one-pixel box with a pen draws nothing; without a pen the
    // fill takes the outline's shape, for a box under three pixels wide or
    // high that of the box one column and one row smaller.
    if (!paint.pen_hollow && r - l == 1 && b - t == 1)
        return;
    if (paint.pen_hollow && (r - l < 3 || b - t < 3)) {
        r -= 1;
        b -= 1;
    }
    if (r - l <= 0 || b - t <= 0 || (paint.pen_hollow && paint.brush_hollow))
        return;
    // The outline runs through the pixels just inside the box.
    const std::vector<EllipseRow> rows = ellipse_rows(s, l, t, r - 1, b - 1);
    const std::uint32_t pen = pixel_of(paint.pen_color), brush = pixel_of(paint.brush_color);
    const int pw = std::clamp(paint.pen_width, 1, PLAT_MAX_PEN_WIDTH);
    for (long long y = 0; y < s.height; y++) {
        const EllipseRow &row = rows[static_cast<std::size_t>(y)];
        if (!row.seen)
            continue;
        if (paint.pen_hollow) {
            span(s, y, row.outer_l, row.outer_r, brush);
            continue;
        }
        if (!paint.brush_hollow)
            span(s, y, row.inner_l + 1, row.inner_r - 1, brush);
        if (pw == 1) {
            span(s, y, row.outer_l, row.inner_l, pen);
            span(s, y, row.inner_r, row.outer_r, pen);
        }
    }
    if (paint.pen_hollow || pw == 1)
        return;
    // A wide pen is its round nib laid on every outline pixel, the left and
    // the right side each a stroke of its own so that the inside stays open.
    const Nib nib(pw);
    Stroke left_side(s, nib), right_side(s, nib);
    auto lay = [&](long long xl, long long xr, long long up, long long down) {
        left_side.add(xl, up);
        left_side.add(xl, down);
        right_side.add(xr, up);
        right_side.add(xr, down);
    };
    ellipse_outline(l, t, r - 1, b - 1, lay);
    left_side.paint(s, pen);
    right_side.paint(s, pen);
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
        // Each edge's crossing of a row, rounded up to a whole column; the
        // order of the rounded crossings is the order of the true ones.
        std::vector<long long> crossings;
        const long long y0 = std::max(min_y, 0LL);
        const long long y1 = std::min(max_y, static_cast<long long>(s.height) - 1);
        for (long long y = y0; y <= y1; y++) {
            // A pixel is filled when its own point lies inside, an edge's
            // left side counting as inside and its right side not; the
            // outline, drawn through the same points, covers the edges.
            crossings.clear();
            for (int i = 0; i < count; i++) {
                const PlatPoint &p = pts[static_cast<std::size_t>(i)];
                const PlatPoint &q = pts[static_cast<std::size_t>((i + 1) % count)];
                if ((p.y <= y) == (q.y <= y))
                    continue;
                // x = p.x + (y - p.y) * (q.x - p.x) / (q.y - p.y), exactly.
                long long num = (y - p.y) * static_cast<long long>(q.x - p.x);
                long long den = static_cast<long long>(q.y) - p.y;
                if (den < 0) {
                    num = -num;
                    den = -den;
                }
                const long long up = num / den + (num % den > 0 ? 1 : 0);
                crossings.push_back(p.x + up);
            }
            std::sort(crossings.begin(), crossings.end());
            for (std::size_t i = 0; i + 1 < crossings.size(); i += 2)
                span(s, y, crossings[i], crossings[i + 1] - 1, brush);
        }
    }
    if (!paint.pen_hollow) {
        const std::uint32_t pen = pixel_of(paint.pen_color);
        const int pw = std::clamp(paint.pen_width, 1, PLAT_MAX_PEN_WIDTH);
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
