// Scan conversion by GDI's pixel rules on plain pixel arrays. See raster.h.
#include "qelma/platform/winlayer/raster.h"
#include "qelma/platform/winlayer/gdi_objects.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace raster {

namespace {

long long clamp_ll(long long v, long long lo, long long hi) {
    return std::min(std::max(v, lo), hi);
}

void put(Surface &s, long long x, long long y, std::uint32_t p) {
    if (x >= 0 && y >= 0 && x < s.width && y < s.height)
        s.row(static_cast<int>(y))[x] = p;
}

// Pixels a fill stores one by one; the rest are copies of them, doubling.
// Block copies are the fast way under the address checks of the sanitizer
// builds, which check each pixel a loop stores; short runs are faster
// stored.
constexpr std::size_t STORED_RUN = 64;

// On x86-64 a long fill is one string store (rep stosd), which streams whole
// cache lines as memset does, without reading them first: half the memory
// traffic of stores or copies. Not under the sanitizers, whose checks see
// only library calls such as memcpy.
#if defined(__SANITIZE_ADDRESS__)
#define QELMA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define QELMA_SANITIZED 1
#endif
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(QELMA_SANITIZED)
constexpr std::size_t STRING_STORE_RUN = 2048; // below it the store's start costs more
inline void string_store(std::uint32_t *to, std::size_t n, std::uint32_t p) {
    asm volatile("rep stosl" : "+D"(to), "+c"(n) : "a"(p) : "memory");
}
#else
constexpr std::size_t STRING_STORE_RUN = 0; // none
inline void string_store(std::uint32_t *, std::size_t, std::uint32_t) {}
#endif

// A fill of nearly whole rows is one pass over them when this many pixels or
// fewer lie between its rows, and it is this large.
constexpr std::size_t WIDEST_KEPT_GAP = 64;
constexpr std::size_t ONE_FILL_PIXELS = 4096;

// Sets n pixels from to on to p. A pixel of four like bytes (white) is a
// memset.
void fill_pixels(std::uint32_t *to, std::size_t n, std::uint32_t p) {
    if ((p & 0xFFu) * 0x01010101u == p) {
        std::memset(to, static_cast<int>(p & 0xFFu), n * sizeof *to);
        return;
    }
    if (STRING_STORE_RUN && n >= STRING_STORE_RUN) {
        string_store(to, n, p);
        return;
    }
#if defined(__SSE2__) && !defined(QELMA_SANITIZED)
    // Shorter runs: four 16-byte stores at a time, then the rest.
    const __m128i four = _mm_set1_epi32(static_cast<int>(p));
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i), four);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i + 4), four);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i + 8), four);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i + 12), four);
    }
    for (; i < n; i++)
        to[i] = p;
    return;
#endif
    std::size_t done = std::min(n, STORED_RUN);
    std::fill(to, to + done, p);
    while (done < n) {
        const std::size_t more = std::min(done, n - done);
        std::memcpy(to + done, to, more * sizeof *to);
        done += more;
    }
}

// A span of pixels [x0, x1] of one row, clipped.
void span(Surface &s, long long y, long long x0, long long x1, std::uint32_t p) {
    if (y < 0 || y >= s.height)
        return;
    x0 = std::max(x0, 0LL);
    x1 = std::min(x1, static_cast<long long>(s.width) - 1);
    if (x0 > x1)
        return;
    fill_pixels(s.row(static_cast<int>(y)) + x0, static_cast<std::size_t>(x1 - x0 + 1), p);
}

// Visits the outline of the ellipse whose pixel box is [x0, x1] x [y0, y1],
// all inclusive, by an integer midpoint algorithm (A. Zingl's): from the
// middle rows out to the top and bottom, each step gives a left and a right
// column and an upper and a lower row, four outline pixels. The error terms
// are whole numbers, so the outline is symmetric and repeatable; boxes up to
// twice the coordinate limit keep them well inside 64 bits.
//
// A caller that needs only the rows [row_first, row_last] is spared the
// rest: the walk stops once its upper row is above row_first and its lower
// one below row_last. One that also needs only the first and last points of
// each row (sparse) is spared more: the walk passes over steps whose rows
// both lie beyond one end, and over the middle of a run of steps along the
// rows. k steps of a run add k d + s k (k + 1) / 2
// to the error term (d the current step term, s its growth), one sign all
// the way while d keeps its sign, so where a run ends is found by halving.
template <class Visit>
void ellipse_outline(long long x0, long long y0, long long x1, long long y1, Visit visit,
                     bool sparse = false, long long row_first = LLONG_MIN,
                     long long row_last = LLONG_MAX) {
    const long long a = x1 - x0, b = y1 - y0, b1 = b & 1;
    long long dx = 4 * (1 - a) * b * b, dy = 4 * (b1 + 1) * a * a;
    long long err = dx + dy + b1 * a * a;
    long long lower = y0 + (b + 1) / 2, upper = lower - b1;
    const long long step_a = 8 * a * a, step_b = 8 * b * b;
    // The first k in [1, k_max] with done(k), else k_max; done is false up to
    // some k and true after. Sought by doubling, then halving, so a short run
    // costs few tries.
    auto first_done = [](long long k_max, auto done) {
        long long lo = 1, hi = 1;
        while (hi < k_max && !done(hi)) {
            lo = hi + 1;
            hi = std::min(2 * hi, k_max);
        }
        while (lo < hi) {
            const long long mid = lo + (hi - lo) / 2;
            if (done(mid))
                hi = mid;
            else
                lo = mid + 1;
        }
        return hi;
    };
    do {
        visit(x0, x1, upper, lower);
        const long long e2 = 2 * err;
        // (A run is sought only where its next two steps are along the rows.)
        if (sparse && e2 > dy && dx < 0 && err + 2 * dx + 3 * step_b > dy / 2) {
            // Steps along the rows (e2 > dy >= 0 > dx) until 2 err <= dy;
            // err falls while dx stays below 0. k is kept where its sums fit
            // in 62 bits and the columns have not met.
            const long long k_max =
                std::min({(-dx - 1) / step_b, (1LL << 61) / -dx, (x1 - x0) / 2});
            if (k_max >= 2) {
                auto err_after = [&](long long k) {
                    return err + k * dx + step_b * (k * (k + 1) / 2);
                };
                const long long k =
                    first_done(k_max, [&](long long n) { return err_after(n) <= dy / 2; });
                err = err_after(k);
                dx += k * step_b;
                x0 += k;
                x1 -= k;
                continue;
            }
        }
        if (sparse && e2 < dx && dx <= 0 && step_a > 0 && (upper > row_last || lower < row_first)) {
            // Steps along the columns (e2 < dx <= 0 <= dy) until 2 err >= dx,
            // err rising, over rows that are all beyond one end.
            const long long beyond =
                upper > row_last ? upper - row_last - 1 : row_first - lower - 1;
            const double fit =
                std::sqrt(static_cast<double>(1LL << 61) / static_cast<double>(step_a));
            const long long k_max = std::min(
                {beyond, (1LL << 61) / std::max(dy, 1LL), static_cast<long long>(fit) - 1});
            if (k_max >= 2) {
                auto err_after = [&](long long k) {
                    return err + k * dy + step_a * (k * (k + 1) / 2);
                };
                const long long half_dx = -(-dx / 2); // 2 e >= dx exactly when e >= half_dx
                const long long k =
                    first_done(k_max, [&](long long n) { return err_after(n) >= half_dx; });
                err = err_after(k);
                dy += k * step_a;
                upper -= k;
                lower += k;
                continue;
            }
        }
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
        if (upper < row_first && lower > row_last)
            return;
    } while (x0 <= x1);
    // A box one or two columns wide runs out of columns before its rows: its
    // tips go on straight up and down. (Wider boxes stop where the columns
    // meet, as GDI's do.)
    while (a <= 1 && lower - upper <= b && !(upper < row_first && lower > row_last)) {
        visit(x0 - 1, x1 + 1, upper, lower);
        lower++;
        upper--;
    }
}

// A box whose width and height add up to more than this is walked sparse;
// a shorter walk is quicker without the looking ahead.
constexpr long long SPARSE_WALK = 2048;

// One row's share of an ellipse outline: its outer and inner columns on the
// left (the run of outline pixels there) and on the right. The walk visits a
// row with its left column rising and its right one falling, so the first
// visit gives the outer columns and the last the inner ones.
struct EllipseRow {
    long long outer_l = 0, inner_l = 0, inner_r = 0, outer_r = 0;
    bool seen = false;

    void add(long long xl, long long xr) {
        if (!seen) {
            outer_l = xl;
            outer_r = xr;
            seen = true;
        }
        inner_l = xl;
        inner_r = xr;
    }
};

// The outline's runs on the rows of the surface and margin rows beyond its
// top and bottom, from row first on (rows further off are dropped).
struct EllipseRows {
    long long first = 0, last = 0;
    std::vector<EllipseRow> rows;

    EllipseRows(const Surface &s, long long l, long long t, long long r, long long b,
                long long margin)
        : first(std::max(t, -margin)), last(std::min(b, s.height - 1LL + margin)) {
        rows.resize(last >= first ? static_cast<std::size_t>(last - first + 1) : 0);
        auto row_at = [this](long long y) {
            return y >= first && y <= last ? &rows[static_cast<std::size_t>(y - first)] : nullptr;
        };
        // The upper and lower rows move together, so they are found once a
        // move (a flat stretch visits the same rows many times).
        long long at = LLONG_MIN;
        EllipseRow *up_row = nullptr, *down_row = nullptr;
        ellipse_outline(
            l, t, r, b,
            [&](long long xl, long long xr, long long up, long long down) {
                if (up != at) {
                    at = up;
                    up_row = row_at(up);
                    down_row = down != up ? row_at(down) : nullptr;
                }
                if (up_row)
                    up_row->add(xl, xr);
                if (down_row)
                    down_row->add(xl, xr);
            },
            r - l + b - t > SPARSE_WALK, first, last);
    }

    const EllipseRow *at(long long y) const {
        return y >= first && y <= last && rows[static_cast<std::size_t>(y - first)].seen
                   ? &rows[static_cast<std::size_t>(y - first)]
                   : nullptr;
    }
};

// A point in 64 bits, for sums of far-off coordinates.
struct Pt {
    long long x, y;
};

// The spans of a polygon's fill on rows [y_first, y_last], by the even-odd
// rule: a pixel is filled when its own point lies inside, an edge's left
// side counting as inside and its right side not. Calls fill(y, x0, x1) for
// each span, x1 included.
template <class Fill>
void polygon_spans(const std::vector<Pt> &pts, long long y_first, long long y_last, Fill fill) {
    // An edge from p to q crosses row y, for min(p.y, q.y) <= y < max(p.y, q.y),
    // at x = p.x + ceil((y - p.y) * k / d) with d = |q.y - p.y| and k the
    // run signed by the edge's direction: exactly, rounded up to a whole
    // column (the order of the rounded crossings is the order of the true
    // ones). The quotient is found by one division on the edge's first row
    // and carried from row to row, its remainder kept in (-d, 0].
    struct Edge {
        long long top, end, px, py, k, d, step, step_rest, at = 0, rest = 0;
        bool started = false;
    };
    std::vector<Edge> edges;
    long long min_y = pts[0].y, max_y = pts[0].y;
    const std::size_t n = pts.size();
    for (std::size_t i = 0; i < n; i++) {
        const Pt &p = pts[i], &q = pts[(i + 1) % n];
        min_y = std::min(min_y, p.y);
        max_y = std::max(max_y, p.y);
        if (p.y == q.y)
            continue;
        const long long d = q.y > p.y ? q.y - p.y : p.y - q.y;
        const long long k = q.y > p.y ? q.x - p.x : p.x - q.x;
        long long step = k / d, step_rest = k % d;
        if (step_rest < 0) {
            step--;
            step_rest += d;
        }
        edges.push_back(
            Edge{std::min(p.y, q.y), std::max(p.y, q.y), p.x, p.y, k, d, step, step_rest});
    }
    std::vector<long long> crossings;
    for (long long y = std::max(min_y, y_first); y <= std::min(max_y, y_last); y++) {
        crossings.clear();
        for (Edge &e : edges) {
            if (y < e.top || y >= e.end)
                continue;
            if (!e.started) {
                const long long num = (y - e.py) * e.k;
                e.at = num / e.d + (num % e.d > 0 ? 1 : 0);
                e.rest = num - e.at * e.d;
                e.started = true;
            } else {
                e.at += e.step;
                e.rest += e.step_rest;
                if (e.rest > 0) {
                    e.at++;
                    e.rest -= e.d;
                }
            }
            crossings.push_back(e.px + e.at);
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t i = 0; i + 1 < crossings.size(); i += 2)
            if (crossings[i] < crossings[i + 1])
                fill(y, crossings[i], crossings[i + 1] - 1);
    }
}

// A wide pen's round nib: the filled ellipse of a width x width box whose
// middle pixel (for even widths the lower right of the middle four) is the
// point drawn. rows[i] holds the column offsets of row offset first + i.
struct Nib {
    int width;
    int first;
    std::vector<std::pair<long long, long long>> rows;

    explicit Nib(int w) : width(w), first(-w / 2), rows(static_cast<std::size_t>(w)) {
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
        for (std::size_t i = 0; i < rows.size(); i++)
            if (rows[i].second - rows[i].first > rows[widest].second - rows[widest].first)
                widest = i;
    }

    // The row of the nib's widest run; the runs widen up to it and narrow
    // after it, each holding the nib's middle column.
    std::size_t widest = 0;
};

long long round_half_up(double v) { return static_cast<long long>(std::floor(v + 0.5)); }

// The corners of a wide pen's band across the segment from (x1, y1) to
// (x2, y2), which runs along neither axis: its half widths across are
// rounded to whole pixels, the larger half on one side as GDI's.
std::vector<Pt> band_corners(long long x1, long long y1, long long x2, long long y2, long long w) {
    const long long dx = x2 - x1, dy = y2 - y1;
    const double len = std::hypot(static_cast<double>(dx), static_cast<double>(dy));
    const double across_x = static_cast<double>(w * std::llabs(dy)) / len;
    const double across_y = static_cast<double>(w * std::llabs(dx)) / len;
    Pt narrow{round_half_up(across_x / 2), round_half_up(across_y / 2)};
    Pt wide{round_half_up((across_x + 1) / 2), round_half_up((across_y + 1) / 2)};
    if (dx < 0) {
        wide.y = -wide.y;
        narrow.y = -narrow.y;
    }
    if (dy < 0) {
        std::swap(narrow, wide);
        wide.x = -wide.x;
        narrow.x = -narrow.x;
    }
    return {{x1 - narrow.x, y1 + narrow.y},
            {x1 + wide.x, y1 - wide.y},
            {x2 + wide.x, y2 - wide.y},
            {x2 - narrow.x, y2 + narrow.y}};
}

// The pixels a wide pen covers along one stroke, kept as runs per row of the
// surface: the stroke is gathered piece by piece (a nib on each point, a
// band the pen's width across each segment between points), then painted a
// row at a time, so a wide pen costs its width per point rather than its
// area. The pieces are united exactly, gaps between them included, as GDI
// unites them. Pieces that cannot reach the surface are left out.
class Stroke {
public:
    // For points on rows [y_min, y_max]: only the surface's rows a nib's
    // width around them are kept.
    Stroke(const Surface &s, const Nib &nib, long long y_min, long long y_max)
        : nib_(nib), width_(s.width), height_(s.height), top_(std::max(y_min - nib.width, 0LL)),
          bottom_(std::min(y_max + nib.width, height_ - 1)),
          runs_(bottom_ >= top_ ? static_cast<std::size_t>(bottom_ - top_ + 1) : 0) {}

    // The nib on one point.
    void point(long long x, long long y) { row_sweep(y, x, x); }

    // What point() and segment() draw for every point of row y from column
    // xa to xb and the steps between them, in one run a nib row instead of
    // a nib a point: each nib row's run swept from xa to xb (the runs hold
    // the nib's middle column, so shifted by one they meet). The bands
    // between the points lie inside the sweep.
    void row_sweep(long long y, long long xa, long long xb) {
        if (far_off(xa, y, xb, y))
            return;
        for (std::size_t i = 0; i < nib_.rows.size(); i++)
            add_run(y + nib_.first + static_cast<long long>(i), xa + nib_.rows[i].first,
                    xb + nib_.rows[i].second);
    }

    // The same down column x from row ya to yb: a row gets the widest of the
    // nib runs that land on it (the runs are nested, widening up to the
    // widest), which also covers the bands between the points.
    void column_sweep(long long x, long long ya, long long yb) {
        if (far_off(x, ya, x, yb))
            return;
        const long long w = nib_.width, widest = static_cast<long long>(nib_.widest);
        const long long r_end = std::min(yb + nib_.first + w - 1, bottom_);
        for (long long r = std::max(ya + nib_.first, top_); r <= r_end; r++) {
            // Nib rows i with a point's row y in [ya, yb] and y + first + i = r.
            const long long lo = std::max(0LL, r - yb - nib_.first);
            const long long hi = std::min(w - 1, r - ya - nib_.first);
            const auto &run = nib_.rows[static_cast<std::size_t>(std::clamp(widest, lo, hi))];
            add_run(r, x + run.first, x + run.second);
        }
    }

    // The band across the segment from (x1, y1) to (x2, y2), its ends left
    // to the nibs. Along an axis it is a box the pen's width across, placed
    // as the nib is; otherwise a four-sided band (band_corners).
    void segment(long long x1, long long y1, long long x2, long long y2) {
        const long long dx = x2 - x1, dy = y2 - y1, w = nib_.width;
        if ((dx == 0 && dy == 0) || far_off(std::min(x1, x2), std::min(y1, y2),
                                            std::max(x1, x2), std::max(y1, y2)))
            return;
        if (dy == 0) {
            for (long long y = y1 - w / 2; y < y1 - w / 2 + w; y++)
                add_run(y, std::min(x1, x2), std::max(x1, x2) - 1);
            return;
        }
        if (dx == 0) {
            const long long y_end = std::min(std::max(y1, y2), bottom_ + 1);
            for (long long y = std::max(std::min(y1, y2), top_); y < y_end; y++)
                add_run(y, x1 - w / 2, x1 - w / 2 + w - 1);
            return;
        }
        polygon_spans(band_corners(x1, y1, x2, y2, w), top_, bottom_,
                      [this](long long y, long long a, long long b) { add_run(y, a, b); });
    }

    void paint(Surface &s, std::uint32_t p) const {
        for (std::size_t i = 0; i < runs_.size(); i++)
            for (const auto &run : runs_[i])
                span(s, top_ + static_cast<long long>(i), run.first, run.second, p);
    }

private:
    bool far_off(long long x0, long long y0, long long x1, long long y1) const {
        const long long m = nib_.width;
        return x1 < -m || y1 < -m || x0 >= width_ + m || y0 >= height_ + m;
    }

    // Adds [lo, hi] to row y's runs, merging it with those it overlaps or
    // touches; a row holds few runs, so a linear pass is enough. Runs are
    // clipped to a pen's width off the surface, which bounds their count.
    void add_run(long long y, long long lo, long long hi) {
        if (y < top_ || y > bottom_ || lo > hi)
            return;
        lo = std::max(lo, -1LL);
        hi = std::min(hi, width_);
        auto &row = runs_[static_cast<std::size_t>(y - top_)];
        std::size_t i = 0;
        while (i < row.size() && row[i].second + 1 < lo)
            i++;
        std::size_t j = i;
        while (j < row.size() && row[j].first <= hi + 1) {
            lo = std::min(lo, row[j].first);
            hi = std::max(hi, row[j].second);
            j++;
        }
        row.erase(row.begin() + static_cast<std::ptrdiff_t>(i),
                  row.begin() + static_cast<std::ptrdiff_t>(j));
        row.insert(row.begin() + static_cast<std::ptrdiff_t>(i), {lo, hi});
    }

    const Nib &nib_;
    long long width_, height_;
    long long top_, bottom_; // the rows kept
    std::vector<std::vector<std::pair<long long, long long>>> runs_; // sorted, apart
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

// A line drawn with a pen of the given width (1: the line's own pixels; a
// wide pen: its band with a round nib at each end).
void line(Surface &s, long long x0, long long y0, long long x1, long long y1, int width,
          std::uint32_t p) {
    if (width <= 1) {
        line_points(x0, y0, x1, y1, [&](long long x, long long y) { put(s, x, y, p); });
        return;
    }
    const Nib nib(width);
    Stroke stroke(s, nib, std::min(y0, y1), std::max(y0, y1));
    stroke.point(x0, y0);
    stroke.point(x1, y1);
    stroke.segment(x0, y0, x1, y1);
    stroke.paint(s, p);
}

// A wide pen's stroke along the outline of the ellipse whose pixel box is
// [l, r] x [t, b], inclusive: the closed path through the outline's pixels,
// a nib on each, a band across each step between neighbours. Laid here
// piece by piece, as the rule states it.
void ellipse_stroke_by_pieces(Surface &s, const Nib &nib, long long l, long long t, long long r,
                              long long b, std::uint32_t pen) {
    Stroke stroke(s, nib, t, b);
    // The outline's four quarters, each a chain of neighbouring pixels. A
    // chain's straight stretches along a row or a column are drawn as one
    // sweep (a huge oval's flat top crosses the canvas in thousands of
    // steps), its steps across both as a nib and a band each.
    struct Chain {
        bool started = false;
        long long x0 = 0, y0 = 0, x = 0, y = 0; // the stretch from (x0, y0) to the last (x, y)
    };
    auto flush = [&](const Chain &c) {
        if (c.y0 == c.y)
            stroke.row_sweep(c.y, std::min(c.x0, c.x), std::max(c.x0, c.x));
        else
            stroke.column_sweep(c.x, std::min(c.y0, c.y), std::max(c.y0, c.y));
    };
    auto extend = [&](Chain &c, long long x, long long y) {
        if (!c.started) {
            c = {true, x, y, x, y};
            return;
        }
        if (x == c.x && y == c.y)
            return;
        const bool along_row = y == c.y, along_column = x == c.x;
        if ((along_row && c.y0 == c.y) || (along_column && c.x0 == c.x)) {
            c.x = x; // the stretch goes on
            c.y = y;
            return;
        }
        flush(c);
        if (along_row || along_column) {
            // A turn: the last point starts a stretch along the other axis.
            c = {true, c.x, c.y, x, y};
        } else {
            stroke.segment(c.x, c.y, x, y); // a step across both
            c = {true, x, y, x, y};
        }
    };
    Chain chains[4];
    ellipse_outline(l, t, r, b, [&](long long xl, long long xr, long long up, long long down) {
        extend(chains[0], xl, up);
        extend(chains[1], xl, down);
        extend(chains[2], xr, up);
        extend(chains[3], xr, down);
    });
    for (const Chain &c : chains)
        if (c.started)
            flush(c);
    stroke.paint(s, pen);
}

// How far a wide pen's nib (half its width) and its band across a step
// between neighbouring pixels (its half width across a diagonal, 0.36 of
// the width, rounded up) reach from their points, along either axis.
long long stroke_reach(long long w) {
    return w / 2 + 3;
}

// The same stroke found a row of the surface at a time from the outline's
// rows, each row's runs merged and painted once: its cost is the rows times
// the pen's width, not the outline's points times it (a pen of 1 000 round
// the canvas laid its nib and band across most rows at each of a thousand
// steps). Each quarter of the outline is a chain that moves one way along
// both axes, so on a row its nibs cover one run: every nib row holds the
// nib's middle column, and the chain's points on neighbouring rows touch. A
// band across a step adds a run of its own only where it reaches past
// those. No piece reaches further than stroke_reach(w) from its points,
// and the outline's rows must reach that far beyond the surface.
void ellipse_stroke_by_rows(Surface &s, const Nib &nib, const EllipseRows &outline, long long t,
                            long long b, std::uint32_t pen) {
    using Run = std::pair<long long, long long>;
    const long long w = nib.width, first = nib.first, reach = stroke_reach(w);
    // The surface's rows a piece can reach.
    const long long top = std::max(t - w, 0LL), bottom = std::min(b + w, s.height - 1LL);
    if (top > bottom)
        return;
    // The quarters run out from the middle rows, as the walk visits them;
    // a quarter's point is a pixel of its row's left or right run.
    const long long lower = t + (b - t + 1) / 2, upper = lower - ((b - t) & 1);
    struct Quarter {
        bool left;
        long long dir_y;       // the way it runs from the middle
        long long k_lo = 0;    // the row of cols[0]
        std::vector<Run> cols; // on each row, its points whose nibs reach the surface
    };
    Quarter quarters[4] = {
        {true, -1, 0, {}}, {true, 1, 0, {}}, {false, -1, 0, {}}, {false, 1, 0, {}}};
    struct Step {
        long long x, y; // where it starts
        int dir;        // bands[dir] is its band
    };
    std::vector<Step> steps;
    for (Quarter &q : quarters) {
        auto run_of = [&q](const EllipseRow &e) {
            return q.left ? Run{e.outer_l, e.inner_l} : Run{e.inner_r, e.outer_r};
        };
        // A quarter's points reach the surface on one stretch of its rows,
        // as it moves one way.
        long long k_near = 0;
        // From the middle, or the kept row nearest it.
        long long k = q.dir_y < 0 ? std::min(upper, outline.last) : std::max(lower, outline.first);
        for (;; k += q.dir_y) {
            const EllipseRow *e = outline.at(k);
            if (!e)
                break;
            const Run run = run_of(*e);
            if (k + first + w - 1 >= top && k + first <= bottom) {
                const Run seen{std::max(run.first, -reach), std::min(run.second, s.width + reach)};
                if (seen.first <= seen.second) {
                    q.cols.push_back(seen);
                    k_near = k;
                }
            }
            // The step to the next row out, from the last point on this row
            // to the first on that one.
            const EllipseRow *next = outline.at(k + q.dir_y);
            if (!next)
                break;
            const long long from = q.left ? run.second : run.first;
            const long long to = q.left ? next->outer_l : next->outer_r;
            if (from != to && from >= -reach && from <= s.width + reach)
                steps.push_back({from, k, (to > from ? 1 : 0) + (q.dir_y > 0 ? 2 : 0)});
        }
        // Rows upward were met last first.
        if (q.dir_y < 0)
            std::reverse(q.cols.begin(), q.cols.end());
        q.k_lo = q.dir_y < 0 ? k_near : k_near - static_cast<long long>(q.cols.size()) + 1;
    }
    // The run each quarter's nibs cover on each row: nib row i of a point on
    // row k lands on row k + first + i. The nib's rows widen up to its
    // widest row and narrow after it, and a quarter's columns move one way:
    // so of the points above the one whose widest nib row lands on the row,
    // the lowest reaches furthest one way, and of those below, the highest
    // reaches furthest the other way. Each end is sought on one side only,
    // from that point out, and only until it is off the surface.
    const std::size_t rows = static_cast<std::size_t>(bottom - top + 1);
    std::vector<Run> nib_runs(rows * 4, Run{0, -1});
    const long long widest = static_cast<long long>(nib.widest);
    for (std::size_t qi = 0; qi < 4; qi++) {
        const Quarter &q = quarters[qi];
        const long long k_hi = q.k_lo + static_cast<long long>(q.cols.size()) - 1;
        const bool rising = q.left == (q.dir_y > 0); // the columns grow with the row
        for (long long y = top; y <= bottom; y++) {
            const long long ka = std::max(q.k_lo, y - first - w + 1),
                            kb = std::min(k_hi, y - first);
            if (ka > kb)
                continue;
            const long long kc = std::clamp(y - first - widest, ka, kb);
            auto nib_run = [&](long long k) -> const Run & {
                return nib.rows[static_cast<std::size_t>(y - first - k)];
            };
            auto col = [&](long long k) -> const Run & {
                return q.cols[static_cast<std::size_t>(k - q.k_lo)];
            };
            // Nothing beyond the first point tried goes further than the last
            // one's columns with the widest nib row.
            const Run &widest_run = nib.rows[nib.widest];
            const long long lo_end = rising ? ka : kb, hi_end = rising ? kb : ka;
            long long lo = col(kc).first + nib_run(kc).first;
            if (lo > col(lo_end).first + widest_run.first)
                for (long long k = kc, step = rising ? -1 : 1; lo >= 0 && k != lo_end;) {
                    k += step;
                    lo = std::min(lo, col(k).first + nib_run(k).first);
                }
            long long hi = col(kc).second + nib_run(kc).second;
            if (hi < col(hi_end).second + widest_run.second)
                for (long long k = kc, step = rising ? 1 : -1; hi < s.width && k != hi_end;) {
                    k += step;
                    hi = std::max(hi, col(k).second + nib_run(k).second);
                }
            nib_runs[static_cast<std::size_t>(y - top) * 4 + qi] = {lo, hi};
        }
    }
    // The bands' runs past those, as (row, run). A band is the same shape
    // wherever it lies, one for each of the four ways a step goes; of its
    // runs, those inside the nibs on the step's own two ends are left out.
    auto inside_nib = [&nib](long long x, long long y, long long row, const Run &run) {
        const long long i = row - y - nib.first;
        return i >= 0 && i < nib.width &&
               x + nib.rows[static_cast<std::size_t>(i)].first <= run.first &&
               run.second <= x + nib.rows[static_cast<std::size_t>(i)].second;
    };
    std::vector<std::pair<long long, Run>> bands[4], extra;
    bool band_made[4] = {};
    for (const Step &st : steps) {
        auto &band = bands[st.dir];
        if (!band_made[st.dir]) {
            band_made[st.dir] = true;
            const long long to_x = st.dir & 1 ? 1 : -1, to_y = st.dir & 2 ? 1 : -1;
            polygon_spans(
                band_corners(0, 0, to_x, to_y, w), -2 * w, 2 * w,
                [&](long long y, long long lo, long long hi) {
                    if (!inside_nib(0, 0, y, {lo, hi}) && !inside_nib(to_x, to_y, y, {lo, hi}))
                        band.push_back({y, {lo, hi}});
                });
        }
        for (const auto &[dy, run] : band) {
            // Clipped as the nibs' runs may be: one column off the surface
            // stands for any further off.
            const long long y = st.y + dy, lo = std::max(st.x + run.first, -1LL),
                            hi = std::min(st.x + run.second, s.width + 0LL);
            if (y < top || y > bottom || hi < 0 || lo >= s.width)
                continue;
            const Run *inside = &nib_runs[static_cast<std::size_t>(y - top) * 4];
            bool covered = false;
            for (int qi = 0; qi < 4 && !covered; qi++)
                covered = inside[qi].first <= lo && hi <= inside[qi].second;
            if (!covered)
                extra.push_back({y, {lo, hi}});
        }
    }
    std::sort(extra.begin(), extra.end());
    std::size_t e = 0;
    std::vector<Run> runs;
    for (long long y = top; y <= bottom; y++) {
        runs.clear();
        for (std::size_t qi = 0; qi < 4; qi++) {
            const Run &n = nib_runs[static_cast<std::size_t>(y - top) * 4 + qi];
            if (n.first <= n.second)
                runs.push_back(n);
        }
        for (; e < extra.size() && extra[e].first == y; e++)
            runs.push_back(extra[e].second);
        std::sort(runs.begin(), runs.end());
        for (std::size_t i = 0; i < runs.size();) {
            long long lo = runs[i].first, hi = runs[i].second;
            for (i++; i < runs.size() && runs[i].first <= hi + 1; i++)
                hi = std::max(hi, runs[i].second);
            span(s, y, lo, hi, pen);
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
    if (left >= right || top >= bottom)
        return;
    const std::uint32_t p = pixel_of(color);
    if (left == 0 && right == s.width) { // whole rows lie end to end: one pass
        fill_pixels(s.row(static_cast<int>(top)),
                    static_cast<std::size_t>((bottom - top) * s.width), p);
        return;
    }
    const std::size_t n = static_cast<std::size_t>(right - left);
    const std::size_t gap = static_cast<std::size_t>(s.width) - n;
    const std::size_t rows = static_cast<std::size_t>(bottom - top);
    if (gap <= WIDEST_KEPT_GAP && n * rows >= ONE_FILL_PIXELS) {
        // Nearly whole rows (a canvas inside its outline): the rows and the
        // few pixels between them are filled in one pass, and those pixels
        // put back, which costs far less than a pass per row.
        static thread_local std::vector<std::uint32_t> kept;
        kept.resize(gap * (rows - 1));
        for (std::size_t y = 0; y + 1 < rows; y++) {
            const std::uint32_t *from = s.row(static_cast<int>(top + y)) + right;
            std::copy_n(from, gap, kept.data() + y * gap);
        }
        fill_pixels(s.row(static_cast<int>(top)) + left, (rows - 1) * s.width + n, p);
        for (std::size_t y = 0; y + 1 < rows; y++)
            std::copy_n(kept.data() + y * gap, gap, s.row(static_cast<int>(top + y)) + right);
        return;
    }
    // The first row, then copies of it (short rows are stored).
    const std::uint32_t *first = s.row(static_cast<int>(top)) + left;
    fill_pixels(s.row(static_cast<int>(top)) + left, n, p);
    for (long long y = top + 1; y < bottom; y++) {
        std::uint32_t *to = s.row(static_cast<int>(y)) + left;
        if (n < STORED_RUN)
            std::fill(to, to + n, p);
        else if (STRING_STORE_RUN && n >= STRING_STORE_RUN)
            string_store(to, n, p);
        else
            std::memcpy(to, first, n * sizeof *first);
    }
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
    const int pw = std::clamp(paint.pen_width, 1, PLAT_MAX_PEN_WIDTH);
    const PlatColor c = paint.pen_color;
    if (pw == 1) {
        fill_rect(s, l, t, r, t + 1, c);
        fill_rect(s, l, b - 1, r, b, c);
        fill_rect(s, l, t, l + 1, b, c);
        fill_rect(s, r - 1, t, r, b, c);
        return;
    }
    // A wide pen draws the closed path through the outline's corner pixels,
    // so its corners are round.
    const Nib nib(pw);
    Stroke stroke(s, nib, t, b - 1);
    const Pt corners[] = {{l, t}, {r - 1, t}, {r - 1, b - 1}, {l, b - 1}};
    for (int i = 0; i < 4; i++) {
        const Pt &p = corners[i], &q = corners[(i + 1) % 4];
        stroke.point(p.x, p.y);
        stroke.segment(p.x, p.y, q.x, q.y);
    }
    stroke.paint(s, pixel_of(c));
}

void ellipse(Surface &s, int left_in, int top_in, int right_in, int bottom_in, const Paint &paint,
             WidePen how) {
    // Clamped like every coordinate, which also keeps the outline's error
    // terms inside 64 bits.
    const auto lim = [](int v) { return static_cast<long long>(clamp_coord(v)); };
    long long l = std::min(lim(left_in), lim(right_in)), r = std::max(lim(left_in), lim(right_in));
    long long t = std::min(lim(top_in), lim(bottom_in)), b = std::max(lim(top_in), lim(bottom_in));
    // Without a pen the fill takes the outline's shape, for a box under
    // three pixels wide or high that of the box one column and one row
    // smaller, as GDI's. (A one-pixel box with a pen is that pixel, as
    // Windows draws it; Wine draws nothing.)
    if (paint.pen_hollow && (r - l < 3 || b - t < 3)) {
        r -= 1;
        b -= 1;
    }
    if (r - l <= 0 || b - t <= 0 || (paint.pen_hollow && paint.brush_hollow))
        return;
    // The outline runs through the pixels just inside the box; a wide pen
    // reaches the surface from rows beyond it.
    const std::uint32_t pen = pixel_of(paint.pen_color), brush = pixel_of(paint.brush_color);
    const int pw = std::clamp(paint.pen_width, 1, PLAT_MAX_PEN_WIDTH);
    const bool wide = !paint.pen_hollow && pw > 1 && how == WidePen::rows;
    const EllipseRows outline(s, l, t, r - 1, b - 1, wide ? stroke_reach(pw) : 0);
    for (long long y = std::max(outline.first, 0LL); y <= std::min(outline.last, s.height - 1LL);
         y++) {
        const EllipseRow &row = outline.rows[static_cast<std::size_t>(y - outline.first)];
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
    const Nib nib(pw);
    if (how == WidePen::pieces)
        ellipse_stroke_by_pieces(s, nib, l, t, r - 1, b - 1, pen);
    else
        ellipse_stroke_by_rows(s, nib, outline, t, b - 1, pen);
}

void polygon(Surface &s, const PlatPoint *points, int count, const Paint &paint) {
    if (!points || count < 2)
        return;
    std::vector<PlatPoint> pts(points, points + count);
    for (PlatPoint &p : pts) {
        p.x = clamp_coord(p.x);
        p.y = clamp_coord(p.y);
    }
    if (!paint.brush_hollow) {
        // The outline, drawn through the same points, covers the edges.
        const std::uint32_t brush = pixel_of(paint.brush_color);
        std::vector<Pt> corners;
        for (const PlatPoint &p : pts)
            corners.push_back({p.x, p.y});
        polygon_spans(corners, 0, s.height - 1,
                      [&](long long y, long long x0, long long x1) { span(s, y, x0, x1, brush); });
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

namespace {

// Whether n pixels are the same.
bool same_pixels(const std::uint32_t *a, const std::uint32_t *b, std::size_t n) {
#if defined(__wasm_simd128__)
    // The WebAssembly C library compares memory a byte at a time, and a
    // picture copied again is compared whole: sixteen pixels at a time here.
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        v128_t differ = wasm_v128_xor(wasm_v128_load(a + i), wasm_v128_load(b + i));
        for (std::size_t k = 4; k < 16; k += 4)
            differ = wasm_v128_or(differ,
                                  wasm_v128_xor(wasm_v128_load(a + i + k), wasm_v128_load(b + i + k)));
        if (wasm_v128_any_true(differ))
            return false;
    }
    for (; i < n; ++i)
        if (a[i] != b[i])
            return false;
    return true;
#else
    return std::memcmp(a, b, n * sizeof *a) == 0;
#endif
}

} // namespace

Rows copy(Surface &dst, int dx_in, int dy_in, const Surface &src, int sx_in, int sy_in, int w_in,
          int h_in) {
    winlayer::CopyBlock b;
    if (!winlayer::clip_copy(dst.width, dst.height, src.width, src.height, dx_in, dy_in, sx_in,
                             sy_in, w_in, h_in, b))
        return Rows{};
    const long long dx = b.dx, dy = b.dy, sx = b.sx, sy = b.sy, w = b.w, h = b.h;
    const std::size_t bytes = static_cast<std::size_t>(w) * 4;
    const bool same = &dst == &src;
    if (same) {
        // A row moved to another row is copied whole (the sanitizers' checked
        // memmove goes a byte at a time); only a row moved along itself
        // overlaps itself.
        const bool bottom_up = dy > sy;
        for (long long i = 0; i < h; i++) {
            const long long r = bottom_up ? h - 1 - i : i;
            std::uint32_t *to = dst.pixels.data() + (dy + r) * dst.width + dx;
            const std::uint32_t *from = src.pixels.data() + (sy + r) * src.width + sx;
            if (dy != sy)
                std::memcpy(to, from, bytes);
            else
                std::memmove(to, from, bytes);
        }
        return Rows{static_cast<int>(dy), static_cast<int>(dy + h)};
    }
    // Rows that already hold what is copied are left alone, so that a
    // picture copied again and again reports only what changed in it.
    Rows changed;
    for (long long r = 0; r < h; r++) {
        std::uint32_t *to = dst.pixels.data() + (dy + r) * dst.width + dx;
        const std::uint32_t *from = src.pixels.data() + (sy + r) * src.width + sx;
        if (same_pixels(to, from, static_cast<std::size_t>(w)))
            continue;
        std::memcpy(to, from, bytes);
        if (changed.top == changed.bottom)
            changed.top = static_cast<int>(dy + r);
        changed.bottom = static_cast<int>(dy + r + 1);
    }
    return changed;
}

#if defined(__SSE2__) || defined(__wasm_simd128__)
namespace {
// The blend below for four pixels at once, in 16-bit lanes (B, G, R, A of
// each), to the same bytes: every sum stays under 65536. The rule is written
// once on the compilers' vector types; only taking the pixels apart and
// putting them together is x86's SSE2 (every x86-64 has it) or WebAssembly's
// SIMD (the page is built with it).
typedef std::uint16_t Lanes __attribute__((vector_size(16)));
inline Lanes mixed(Lanes old, Lanes a, Lanes colour) {
    const Lanes v = old * (255 - a) + colour * a + 127;
    return (v + 1 + (v >> 8)) >> 8;
}
// Byte k of `four` is pixel k's coverage; `colour` holds B, G, R, 255 twice.
#if defined(__SSE2__)
inline void blend_four(std::uint32_t *pixels, std::uint32_t four, Lanes colour) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixels));
    __m128i a = _mm_cvtsi32_si128(static_cast<int>(four));
    a = _mm_unpacklo_epi8(a, a);
    a = _mm_unpacklo_epi16(a, a); // each pixel's coverage in its four bytes
    const Lanes low =
        mixed(Lanes(_mm_unpacklo_epi8(old, zero)), Lanes(_mm_unpacklo_epi8(a, zero)), colour);
    const Lanes high =
        mixed(Lanes(_mm_unpackhi_epi8(old, zero)), Lanes(_mm_unpackhi_epi8(a, zero)), colour);
    const __m128i out = _mm_or_si128(_mm_packus_epi16(__m128i(low), __m128i(high)),
                                     _mm_set1_epi32(static_cast<int>(0xFF000000u)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(pixels), out);
}
#else
inline void blend_four(std::uint32_t *pixels, std::uint32_t four, Lanes colour) {
    const v128_t old = wasm_v128_load(pixels);
    const v128_t a4 = wasm_i32x4_splat(static_cast<int>(four));
    const v128_t a = wasm_i8x16_shuffle(a4, a4, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3);
    const Lanes low = mixed(Lanes(wasm_u16x8_extend_low_u8x16(old)),
                            Lanes(wasm_u16x8_extend_low_u8x16(a)), colour);
    const Lanes high = mixed(Lanes(wasm_u16x8_extend_high_u8x16(old)),
                             Lanes(wasm_u16x8_extend_high_u8x16(a)), colour);
    wasm_v128_store(pixels, wasm_v128_or(wasm_u8x16_narrow_i16x8(v128_t(low), v128_t(high)),
                                         wasm_i32x4_splat(static_cast<int>(0xFF000000u))));
}
#endif
} // namespace
#define QELMA_BLEND_FOUR 1
#endif

void blend_coverage(Surface &s, int x, int y, const std::uint8_t *coverage, int w, int h,
                    PlatColor color) {
    // The part of the block on the surface, found once.
    const long long x0 = std::max<long long>(0, -static_cast<long long>(x));
    const long long x1 = std::min<long long>(w, static_cast<long long>(s.width) - x);
    const long long y0 = std::max<long long>(0, -static_cast<long long>(y));
    const long long y1 = std::min<long long>(h, static_cast<long long>(s.height) - y);
    if (x0 >= x1 || y0 >= y1)
        return;
    const unsigned cr = plat_red(color), cg = plat_green(color), cb = plat_blue(color);
    // Each channel becomes round-half-down of (colour * a + old * (255 - a)) / 255,
    // without branches; a = 0 keeps the old pixel and a = 255 gives the colour.
    auto blend = [cr, cg, cb](std::uint32_t old, unsigned a) {
        const unsigned na = 255 - a;
        unsigned r = ((old >> 16) & 0xFF) * na + cr * a + 127;
        unsigned g = ((old >> 8) & 0xFF) * na + cg * a + 127;
        unsigned b = (old & 0xFF) * na + cb * a + 127;
        r = (r + 1 + (r >> 8)) >> 8; // v / 255 for v < 65535
        g = (g + 1 + (g >> 8)) >> 8;
        b = (b + 1 + (b >> 8)) >> 8;
        return 0xFF000000u | r << 16 | g << 8 | b;
    };
    const std::uint32_t solid = pixel_of(color);
#if defined(QELMA_BLEND_FOUR)
    const Lanes lanes = {static_cast<std::uint16_t>(cb), static_cast<std::uint16_t>(cg),
                         static_cast<std::uint16_t>(cr), 255, static_cast<std::uint16_t>(cb),
                         static_cast<std::uint16_t>(cg), static_cast<std::uint16_t>(cr), 255};
#endif
    for (long long j = y0; j < y1; j++) {
        std::uint32_t *row = s.row(static_cast<int>(y + j)) + x;
        const std::uint8_t *cover = coverage + j * w;
        long long i = x0;
        // Eight pixels at a time, passed over at once where they are bare and
        // set at once where they are covered whole. Their coverage is read
        // once (byte k of it is pixel k: every target is little-endian), so
        // the stores to the row cannot change it under the blend.
        for (; i + 8 <= x1; i += 8) {
            std::uint64_t eight;
            std::memcpy(&eight, cover + i, sizeof eight);
            if (eight == 0)
                continue;
            if (eight == ~std::uint64_t{0}) {
                std::fill(row + i, row + i + 8, solid);
                continue;
            }
#if defined(QELMA_BLEND_FOUR)
            blend_four(row + i, static_cast<std::uint32_t>(eight), lanes);
            blend_four(row + i + 4, static_cast<std::uint32_t>(eight >> 32), lanes);
#else
            for (int k = 0; k < 8; k++)
                row[i + k] = blend(row[i + k], static_cast<unsigned>(eight >> (8 * k)) & 0xFF);
#endif
        }
        for (; i < x1; i++)
            row[i] = blend(row[i], cover[i]);
    }
}

} // namespace raster
