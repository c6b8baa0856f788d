// The web backend's scan conversion, checked natively against GDI's pixel
// rules: which pixels a box covers, closed outlines, even-odd fills, copies
// that overlap or reach off the surface, and far-off coordinates.
#include "qelma/platform/web/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace {

constexpr PlatColor WHITE = plat_rgb(255, 255, 255);
constexpr PlatColor PEN = plat_rgb(200, 0, 0);
constexpr PlatColor BRUSH = plat_rgb(0, 0, 200);

raster::Surface blank(int w = 40, int h = 30) {
    raster::Surface s;
    EXPECT_TRUE(s.resize(w, h, WHITE));
    return s;
}

PlatColor at(raster::Surface &s, int x, int y) {
    return raster::color_of(s.row(y)[x]);
}

raster::Paint paint(bool pen_hollow, int width, bool brush_hollow) {
    return raster::Paint{pen_hollow, PEN, width, brush_hollow, BRUSH};
}

// The smallest box holding every pixel that is not white.
PlatRect painted_box(raster::Surface &s) {
    PlatRect r{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < s.height; y++)
        for (int x = 0; x < s.width; x++)
            if (at(s, x, y) != WHITE) {
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

int count_of(raster::Surface &s, PlatColor c) {
    int n = 0;
    for (std::uint32_t p : s.pixels)
        n += raster::color_of(p) == c;
    return n;
}

void expect_box(raster::Surface &s, int l, int t, int r, int b) {
    const PlatRect box = painted_box(s);
    EXPECT_EQ(box.left, l);
    EXPECT_EQ(box.top, t);
    EXPECT_EQ(box.right, r);
    EXPECT_EQ(box.bottom, b);
}

} // namespace

TEST(Raster, RectangleLeavesOutRightColumnAndBottomRow) {
    raster::Surface s = blank();
    raster::rectangle(s, 2, 3, 10, 8, paint(false, 1, false));
    expect_box(s, 2, 3, 10, 8);
    EXPECT_EQ(at(s, 2, 3), PEN);
    EXPECT_EQ(at(s, 9, 7), PEN);
    EXPECT_EQ(at(s, 3, 4), BRUSH);
    EXPECT_EQ(count_of(s, BRUSH), 6 * 3);

    // Corners given the other way round draw the same box.
    raster::Surface swapped = blank();
    raster::rectangle(swapped, 10, 8, 2, 3, paint(false, 1, false));
    EXPECT_EQ(swapped.pixels, s.pixels);
}

TEST(Raster, RectangleWithoutPenOrBrush) {
    raster::Surface s = blank();
    raster::rectangle(s, 2, 3, 10, 8, paint(true, 1, false));
    expect_box(s, 2, 3, 9, 7); // one column and one row smaller
    EXPECT_EQ(count_of(s, PEN), 0);

    raster::Surface hollow = blank();
    raster::rectangle(hollow, 2, 3, 10, 8, paint(false, 1, true));
    EXPECT_EQ(at(hollow, 5, 5), WHITE);
    EXPECT_EQ(count_of(hollow, PEN), 2 * 8 + 2 * 3);
}

TEST(Raster, WidePenIsCentredOnTheOutline) {
    raster::Surface s = blank();
    raster::rectangle(s, 5, 5, 15, 15, paint(false, 3, false));
    expect_box(s, 4, 4, 16, 16);
    EXPECT_EQ(at(s, 6, 10), PEN);   // one inside the outline
    EXPECT_EQ(at(s, 7, 10), BRUSH); // two inside
}

TEST(Raster, EllipseStaysInItsBoxAndIsSymmetric) {
    for (const bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "wide pen" : "one-pixel pen");
        raster::Surface s = blank();
        raster::ellipse(s, 4, 3, 25, 20, paint(false, wide ? 3 : 1, false));
        const PlatRect box = painted_box(s);
        if (wide) {
            EXPECT_GE(box.left, 3);
            EXPECT_LE(box.right, 26);
        } else {
            expect_box(s, 4, 3, 25, 20);
        }
        const int mid_l = box.left, mid_r = box.right - 1;
        for (int y = box.top; y < box.bottom; y++)
            for (int x = mid_l; x <= mid_r; x++)
                ASSERT_EQ(at(s, x, y), at(s, mid_l + mid_r - x, y)) << x << "," << y;
        for (int y = box.top; y < box.bottom; y++)
            for (int x = mid_l; x <= mid_r; x++)
                ASSERT_EQ(at(s, x, y), at(s, x, box.top + box.bottom - 1 - y)) << x << "," << y;
    }
}

TEST(Raster, EllipseOutlineIsClosed) {
    raster::Surface s = blank();
    raster::ellipse(s, 3, 2, 37, 27, paint(false, 1, false));
    ASSERT_GT(count_of(s, BRUSH), 0);
    // No filled pixel touches the outside: the outline closes it off.
    for (int y = 1; y + 1 < s.height; y++)
        for (int x = 1; x + 1 < s.width; x++)
            if (at(s, x, y) == BRUSH) {
                EXPECT_NE(at(s, x - 1, y), WHITE);
                EXPECT_NE(at(s, x + 1, y), WHITE);
                EXPECT_NE(at(s, x, y - 1), WHITE);
                EXPECT_NE(at(s, x, y + 1), WHITE);
            }
}

TEST(Raster, EllipseEdgeCases) {
    raster::Surface s = blank();
    raster::ellipse(s, 3, 2, 20, 12, paint(true, 1, false)); // no pen: one smaller
    expect_box(s, 3, 2, 19, 11);

    raster::Surface thin = blank();
    raster::ellipse(thin, 5, 2, 6, 12, paint(false, 1, false)); // one pixel wide: a line
    expect_box(thin, 5, 2, 6, 12);
    EXPECT_EQ(count_of(thin, PEN), 10);

    raster::Surface empty = blank();
    raster::ellipse(empty, 5, 5, 5, 20, paint(false, 1, false));
    raster::ellipse(empty, 5, 5, 6, 6, paint(true, 1, true));
    EXPECT_EQ(count_of(empty, WHITE), 40 * 30);
}

TEST(Raster, PolygonFillsPixelCentresByTheEvenOddRule) {
    raster::Surface s = blank();
    const PlatPoint square[] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}};
    raster::polygon(s, square, 4, paint(true, 1, false));
    expect_box(s, 2, 2, 6, 6); // 4 x 4: right and bottom edges left out

    raster::Surface star = blank();
    const PlatPoint pentagram[] = {{20, 1}, {31, 28}, {3, 10}, {37, 10}, {9, 28}};
    raster::polygon(star, pentagram, 5, paint(true, 1, false));
    EXPECT_EQ(at(star, 20, 15), WHITE); // the centre is crossed twice
    EXPECT_EQ(at(star, 20, 6), BRUSH);  // a point is crossed once

    raster::Surface outlined = blank();
    raster::polygon(outlined, square, 4, paint(false, 1, true));
    EXPECT_EQ(at(outlined, 2, 2), PEN);
    EXPECT_EQ(at(outlined, 6, 6), PEN); // the outline reaches the points
    EXPECT_EQ(at(outlined, 4, 4), WHITE);
}

TEST(Raster, FarOffCoordinatesAreClipped) {
    raster::Surface s = blank();
    raster::rectangle(s, INT_MIN, INT_MIN, INT_MAX, INT_MAX, paint(false, 5, false));
    EXPECT_EQ(count_of(s, BRUSH), 40 * 30);
    raster::fill_rect(s, -1000000, 10, 1000000, 11, PEN);
    EXPECT_EQ(count_of(s, PEN), 40);
    const PlatPoint far[] = {{-PLAT_COORD_LIMIT, -PLAT_COORD_LIMIT},
                             {PLAT_COORD_LIMIT, 5},
                             {INT_MIN, INT_MAX}};
    raster::polygon(s, far, 3, paint(false, 3, false)); // clamped, and nothing outside written
    raster::polygon(s, far, 1, paint(false, 1, false)); // too few points: nothing
    raster::Surface huge;
    EXPECT_FALSE(huge.resize(1 << 15, 1 << 15, WHITE));
    EXPECT_FALSE(huge.resize(-1, 5, WHITE));
}

TEST(Raster, CopiesOverlapAndClip) {
    raster::Surface s = blank(8, 8);
    for (int y = 0; y < 8; y++)
        raster::fill_rect(s, 0, y, 8, y + 1, plat_rgb(y, 0, 0));
    // Scrolling down by two inside one surface keeps every row it moves.
    raster::copy(s, 0, 2, s, 0, 0, 8, 8);
    for (int y = 2; y < 8; y++)
        EXPECT_EQ(at(s, 3, y), plat_rgb(y - 2, 0, 0)) << y;
    EXPECT_EQ(at(s, 3, 0), plat_rgb(0, 0, 0));

    raster::Surface d = blank(8, 8);
    raster::copy(d, -3, -3, s, 0, 0, 8, 8); // only the part that lands is copied
    EXPECT_EQ(at(d, 0, 0), at(s, 3, 3));
    EXPECT_EQ(at(d, 5, 5), WHITE);
    raster::copy(d, 100, 100, s, 0, 0, 8, 8);
    raster::copy(d, 0, 0, s, INT_MAX, 0, INT_MAX, 8);
    EXPECT_EQ(at(d, 6, 6), WHITE);
}

TEST(Raster, TextCoverageBlendsTheColour) {
    raster::Surface s = blank(4, 1);
    const std::uint8_t coverage[] = {0, 255, 128, 255};
    raster::blend_coverage(s, -1, 0, coverage, 4, 1, plat_rgb(0, 0, 0)); // first byte off the left
    EXPECT_EQ(at(s, 0, 0), plat_rgb(0, 0, 0));
    EXPECT_EQ(at(s, 1, 0), plat_rgb(127, 127, 127));
    EXPECT_EQ(at(s, 2, 0), plat_rgb(0, 0, 0));
    EXPECT_EQ(at(s, 3, 0), WHITE);
}
