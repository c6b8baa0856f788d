// The web backend's scan conversion, checked natively against GDI's pixel
// rules: which pixels a box covers, closed outlines, even-odd fills, copies
// that overlap or reach off the surface, and far-off coordinates.
#include "qelma/platform/winlayer/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

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

// A run of painted pixels: columns [left, right] of row y.
struct PaintedRun {
    int y, left, right;
};

// Every painted pixel of the surface (any that is not white) lies in one of
// the runs, and every pixel of the runs is painted.
void expect_runs(raster::Surface &s, const std::vector<PaintedRun> &runs) {
    std::vector<std::string> want(static_cast<std::size_t>(s.height),
                                  std::string(static_cast<std::size_t>(s.width), '.'));
    for (const PaintedRun &r : runs)
        for (int x = r.left; x <= r.right; x++)
            want[static_cast<std::size_t>(r.y)][static_cast<std::size_t>(x)] = '#';
    for (int y = 0; y < s.height; y++) {
        std::string got(static_cast<std::size_t>(s.width), '.');
        for (int x = 0; x < s.width; x++)
            if (at(s, x, y) != WHITE)
                got[static_cast<std::size_t>(x)] = '#';
        EXPECT_EQ(got, want[static_cast<std::size_t>(y)]) << "row " << y;
    }
}

// Runs mirrored about the middle row of rows [top, bottom).
std::vector<PaintedRun> mirrored(std::vector<PaintedRun> upper, int top, int bottom) {
    const std::size_t n = upper.size();
    for (std::size_t i = 0; i < n; i++) {
        PaintedRun r = upper[i];
        r.y = top + bottom - 1 - r.y;
        if (r.y != upper[i].y)
            upper.push_back(r);
    }
    return upper;
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

// Fills of every shape the fast paths take (whole rows, nearly whole rows
// filled in one pass, runs stored, copied or string-stored, white as a
// memset) set exactly their box, on a surface whose every pixel differs.
TEST(Raster, FillsSetTheirBoxAndNothingElse) {
    struct Case {
        long long left, top, right, bottom;
        PlatColor color;
    };
    const Case cases[] = {
        {0, 0, 300, 40, BRUSH},     {0, 5, 300, 6, WHITE},      {1, 1, 299, 39, BRUSH},
        {1, 1, 299, 39, WHITE},     {0, 0, 299, 40, BRUSH},     {1, 0, 300, 40, BRUSH},
        {64, 2, 300, 38, BRUSH},    {65, 2, 300, 38, BRUSH},    {10, 3, 73, 30, BRUSH},
        {10, 3, 74, 30, BRUSH},     {5, 3, 260, 33, PEN},       {5, 3, 261, 33, WHITE},
        {7, 0, 8, 40, PEN},         {-5, -5, 400, 50, PEN},     {299, 39, 300, 40, BRUSH},
    };
    for (const Case &c : cases) {
        raster::Surface s = blank(300, 40);
        for (std::size_t i = 0; i < s.pixels.size(); i++)
            s.pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
        std::vector<std::uint32_t> want = s.pixels;
        for (long long y = std::max(c.top, 0LL); y < std::min(c.bottom, 40LL); y++)
            for (long long x = std::max(c.left, 0LL); x < std::min(c.right, 300LL); x++)
                want[static_cast<std::size_t>(y * 300 + x)] = raster::pixel_of(c.color);
        raster::fill_rect(s, c.left, c.top, c.right, c.bottom, c.color);
        EXPECT_EQ(s.pixels, want) << "fill (" << c.left << ", " << c.top << ") - (" << c.right
                                  << ", " << c.bottom << ")";
    }
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
    raster::Surface s = blank();
    raster::ellipse(s, 4, 3, 25, 20, paint(false, 1, false));
    expect_box(s, 4, 3, 25, 20);
    for (int y = 3; y < 20; y++)
        for (int x = 4; x < 25; x++) {
            ASSERT_EQ(at(s, x, y), at(s, 4 + 24 - x, y)) << x << "," << y;
            ASSERT_EQ(at(s, x, y), at(s, x, 3 + 19 - y)) << x << "," << y;
        }
    // A wide pen reaches half its width beyond the outline's pixels.
    raster::Surface wide = blank();
    raster::ellipse(wide, 4, 3, 25, 20, paint(false, 3, false));
    expect_box(wide, 3, 2, 26, 21);
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
    raster::ellipse(s, 3, 2, 20, 12, paint(true, 1, false)); // no pen: the outline's shape
    expect_box(s, 3, 2, 20, 12);
    raster::Surface outlined = blank();
    raster::ellipse(outlined, 3, 2, 20, 12, paint(false, 1, false));
    for (std::size_t i = 0; i < s.pixels.size(); i++)
        EXPECT_EQ(s.pixels[i] == outlined.pixels[i], raster::color_of(outlined.pixels[i]) != PEN);

    // A box under three pixels thick, without a pen: one smaller (2 x 3: a
    // column of two). A one-pixel box with a pen: that pixel, or a wide
    // pen's nib.
    raster::Surface narrow = blank();
    raster::ellipse(narrow, 5, 5, 7, 8, paint(true, 1, false));
    expect_box(narrow, 5, 5, 6, 7);
    raster::Surface unit = blank();
    raster::ellipse(unit, 10, 10, 11, 11, paint(false, 1, false));
    expect_runs(unit, {{10, 10, 10}});
    raster::ellipse(unit, 20, 10, 21, 11, paint(false, 3, false));
    expect_runs(unit, {{9, 20, 20}, {10, 10, 10}, {10, 19, 21}, {11, 20, 20}});

    raster::Surface thin = blank();
    raster::ellipse(thin, 5, 2, 6, 12, paint(false, 1, false)); // one pixel wide: a line
    expect_box(thin, 5, 2, 6, 12);
    EXPECT_EQ(count_of(thin, PEN), 10);

    raster::Surface empty = blank();
    raster::ellipse(empty, 5, 5, 5, 20, paint(false, 1, false));
    raster::ellipse(empty, 5, 5, 6, 6, paint(true, 1, true));
    EXPECT_EQ(count_of(empty, WHITE), 40 * 30);
}

TEST(Raster, PolygonFillsByTheEvenOddRule) {
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
    // The widest pen on shapes whose outlines pass far off or across it.
    raster::Surface round = blank();
    raster::ellipse(round, INT_MIN, INT_MIN, INT_MAX, INT_MAX,
                    paint(false, PLAT_MAX_PEN_WIDTH, false));
    EXPECT_EQ(count_of(round, BRUSH), 40 * 30);
    raster::Surface crossed = blank();
    const PlatPoint across[] = {{-PLAT_COORD_LIMIT, 15}, {PLAT_COORD_LIMIT, 15}, {0, INT_MAX}};
    raster::polygon(crossed, across, 3, paint(false, PLAT_MAX_PEN_WIDTH, true));
    EXPECT_EQ(count_of(crossed, PEN), 40 * 30);
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

    // Every coverage over pixels of every kind, eight at a time and one at a
    // time (a row of 257 leaves one for the tail): each channel is
    // round-half-down of (colour * a + old * (255 - a)) / 255.
    raster::Surface many = blank(257, 3);
    std::vector<std::uint8_t> ramp(257 * 3);
    for (std::size_t i = 0; i < ramp.size(); i++) {
        ramp[i] = static_cast<std::uint8_t>(i * 7);
        many.pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    }
    const std::vector<std::uint32_t> before = many.pixels;
    const PlatColor colour = plat_rgb(250, 3, 128);
    raster::blend_coverage(many, 0, 0, ramp.data(), 257, 3, colour);
    const auto mixed = [](unsigned old, unsigned c, unsigned a) {
        return (c * a + old * (255 - a) + 127) / 255;
    };
    for (std::size_t i = 0; i < ramp.size(); i++) {
        const std::uint32_t old = before[i];
        const PlatColor want = plat_rgb(mixed(old >> 16 & 0xFF, 250, ramp[i]),
                                        mixed(old >> 8 & 0xFF, 3, ramp[i]), mixed(old & 0xFF, 128, ramp[i]));
        ASSERT_EQ(many.pixels[i], raster::pixel_of(want)) << "pixel " << i << ", coverage " << int(ramp[i]);
    }
}

// The cases below are cut from GDI's own pictures of the game's frames: the
// same shapes, moved to the corner, must cover the same pixels.

TEST(Raster, SlantedPolygonEdgesTakeTheNearestPixelTiesToTheSmallerRow) {
    // A mountain's peak: edges 6 across to 5 down, with exact ties on rows
    // 4 and 9 that go up on both sides. Drawn the other way round, the same.
    const std::vector<PaintedRun> peak = {{2, 12, 12}, {3, 11, 13}, {4, 9, 15}, {5, 8, 16},
                                   {6, 7, 17},  {7, 6, 18},  {8, 5, 19}, {9, 3, 21},
                                   {10, 2, 22}, {11, 1, 23}, {12, 0, 24}};
    const PlatPoint forward[] = {{0, 12}, {24, 12}, {12, 2}};
    const PlatPoint backward[] = {{12, 2}, {24, 12}, {0, 12}};
    for (const PlatPoint *points : {forward, backward}) {
        raster::Surface s = blank();
        raster::Paint same = paint(false, 1, false);
        same.brush_color = PEN; // the game's filled shapes
        raster::polygon(s, points, 3, same);
        expect_runs(s, peak);
    }
}

TEST(Raster, SteepPolygonEdgeTiesGoToTheSmallerColumn) {
    // 25 across to 36 down: row 18 lies exactly between columns 12 and 13.
    const int left_edge[] = {25, 24, 24, 23, 22, 22, 21, 20, 19, 19, 18,
                             17, 17, 16, 15, 15, 14, 13, 12, 12, 11};
    const PlatPoint down[] = {{25, 0}, {0, 36}, {39, 36}};
    const PlatPoint up[] = {{0, 36}, {25, 0}, {39, 36}};
    for (const PlatPoint *points : {down, up}) {
        raster::Surface s = blank(40, 40);
        raster::polygon(s, points, 3, paint(false, 1, true));
        for (int y = 0; y < 21; y++) {
            int first = 0;
            while (at(s, first, y) == WHITE)
                first++;
            EXPECT_EQ(first, left_edge[y]) << "row " << y;
        }
    }
}

TEST(Raster, PolygonFillTakesPixelsWhosePointIsInside) {
    // Without a pen: the left edge's points are in, the right edge's out.
    raster::Surface s = blank();
    const PlatPoint corner[] = {{0, 0}, {10, 0}, {0, 10}};
    raster::polygon(s, corner, 3, paint(true, 1, false));
    std::vector<PaintedRun> rows;
    for (int y = 0; y < 10; y++)
        rows.push_back({y, 0, 9 - y});
    expect_runs(s, rows);
}

TEST(Raster, SmallCirclesMatchGdi) {
    // A circle of radius 5: box 11 x 11.
    raster::Surface small = blank();
    raster::ellipse(small, 0, 0, 11, 11, paint(false, 1, false));
    expect_runs(small, mirrored({{0, 3, 7}, {1, 2, 8}, {2, 1, 9}, {3, 0, 10}, {4, 0, 10},
                                 {5, 0, 10}},
                                0, 11));
    EXPECT_EQ(at(small, 5, 5), BRUSH);
    EXPECT_EQ(at(small, 2, 1), PEN);
    EXPECT_EQ(at(small, 3, 1), BRUSH);

    // Radius 25: box 51 x 51, the upper half down to the middle row.
    raster::Surface big = blank(60, 60);
    raster::ellipse(big, 0, 0, 51, 51, paint(false, 1, false));
    const int left[] = {21, 17, 15, 13, 11, 10, 9, 8, 7, 6, 5, 4, 4,
                        3,  3,  2,  2,  1,  1,  1, 1, 0, 0, 0, 0, 0};
    std::vector<PaintedRun> upper;
    for (int y = 0; y < 26; y++)
        upper.push_back({y, left[y], 50 - left[y]});
    expect_runs(big, mirrored(upper, 0, 51));
}

TEST(Raster, WidePenOnAFlatEllipseLaysARoundNib) {
    // A lamp: a 3 x 1 box under a pen 3 wide.
    raster::Surface s = blank();
    raster::ellipse(s, 3, 1, 6, 2, paint(false, 3, true));
    expect_runs(s, {{0, 3, 5}, {1, 2, 6}, {2, 3, 5}});
    EXPECT_EQ(count_of(s, PEN), 11);
}

// Wide pens, cut from GDI's own drawings of the same calls.

TEST(Raster, WidePenNibIsRoundAndEvenWidthsLeanUpAndLeft) {
    const PlatPoint dot[] = {{5, 5}, {5, 5}};
    raster::Surface two = blank();
    raster::polygon(two, dot, 2, paint(false, 2, true));
    expect_runs(two, {{4, 4, 5}, {5, 4, 5}});
    raster::Surface four = blank();
    raster::polygon(four, dot, 2, paint(false, 4, true));
    expect_runs(four, {{3, 4, 5}, {4, 3, 6}, {5, 3, 6}, {6, 4, 5}});
}

TEST(Raster, WidePenLineIsABandWithRoundEnds) {
    const PlatPoint diagonal[] = {{2, 2}, {8, 8}};
    raster::Surface s = blank();
    raster::polygon(s, diagonal, 2, paint(false, 2, true));
    expect_runs(s, {{1, 1, 2}, {2, 1, 3}, {3, 1, 4}, {4, 2, 5}, {5, 3, 6}, {6, 4, 7}, {7, 5, 8},
                    {8, 6, 8}});
    const PlatPoint slope[] = {{2, 3}, {12, 7}};
    raster::Surface t = blank();
    raster::polygon(t, slope, 2, paint(false, 3, true));
    expect_runs(t, {{2, 2, 5}, {3, 1, 7}, {4, 1, 10}, {5, 4, 12}, {6, 6, 12}, {7, 9, 13},
                    {8, 12, 12}});
}

TEST(Raster, WidePenPiecesLeaveGdisGaps) {
    // The band of the last edge and the nib on its end leave one pixel open.
    raster::Surface s = blank(96, 96);
    const PlatPoint points[] = {{82, 23}, {89, 16}, {71, 34}};
    raster::polygon(s, points, 3, paint(false, 6, false));
    EXPECT_EQ(at(s, 72, 36), WHITE);
    EXPECT_EQ(at(s, 71, 36), PEN);
    EXPECT_EQ(at(s, 73, 36), PEN);
    EXPECT_EQ(at(s, 72, 35), PEN);
}

TEST(Raster, WidePenRectangleHasRoundCorners) {
    raster::Surface s = blank();
    raster::rectangle(s, 2, 2, 12, 9, paint(false, 3, true));
    expect_runs(s, {{1, 2, 11}, {2, 1, 12}, {3, 1, 12}, {4, 1, 3}, {4, 10, 12}, {5, 1, 3},
                    {5, 10, 12}, {6, 1, 3}, {6, 10, 12}, {7, 1, 12}, {8, 1, 12}, {9, 2, 11}});

    // An even width leans up and left; the brush fills inside the outline.
    raster::Surface even = blank();
    raster::rectangle(even, 2, 2, 12, 9, paint(false, 2, false));
    std::vector<PaintedRun> rows = {{1, 1, 11}, {2, 1, 11}, {7, 1, 11}, {8, 1, 11}};
    for (int y = 3; y <= 6; y++)
        rows.push_back({y, 1, 11});
    expect_runs(even, rows);
    EXPECT_EQ(count_of(even, BRUSH), 7 * 4);
    EXPECT_EQ(at(even, 3, 3), BRUSH);
    EXPECT_EQ(at(even, 2, 3), PEN);
}

TEST(Raster, WidePenEllipseFollowsTheOutlinePath) {
    raster::Surface s = blank();
    raster::ellipse(s, 2, 2, 18, 9, paint(false, 2, true));
    expect_runs(s, {{1, 5, 13}, {2, 3, 15}, {3, 1, 6}, {3, 12, 17}, {4, 1, 4}, {4, 14, 17},
                    {5, 1, 3}, {5, 15, 17}, {6, 1, 5}, {6, 13, 17}, {7, 2, 16}, {8, 4, 14}});
}

TEST(Raster, WidePenEllipseRowsMatchTheStrokeLaidPieceByPiece) {
    // Boxes on, across and off the surface's edges, degenerate ones, odd and
    // even pens up to wider than the surface.
    // clang-format off
    const PlatRect boxes[] = {{5, 5, 6, 6}, {5, 5, 6, 30}, {5, 5, 7, 30}, {5, 5, 40, 6},
        {5, 5, 40, 7}, {3, 4, 50, 41}, {-20, -15, 30, 25}, {30, 20, 95, 70}, {70, 5, 90, 30},
        {-60, -60, 120, 110}, {-30, -30, -5, -5}, {-700, -700, 701, 701}, {-65536, 10, 65536, 40},
        {12, -65536, 40, 65536}, {-100, 20, 160, 65536}, {-65536, -65536, 65536, 20}};
    // clang-format on
    for (const PlatRect &box : boxes)
        for (int pw : {2, 3, 4, 5, 8, 13, 30, 61, 100, 255, 1000}) {
            raster::Surface rows = blank(60, 45), pieces = blank(60, 45);
            raster::ellipse(rows, box.left, box.top, box.right, box.bottom, paint(false, pw, true));
            raster::ellipse(pieces, box.left, box.top, box.right, box.bottom,
                            paint(false, pw, true), raster::WidePen::pieces);
            ASSERT_EQ(rows.pixels, pieces.pixels) << box.left << "," << box.top << " " << box.right
                                                  << "," << box.bottom << " pen " << pw;
        }
}
