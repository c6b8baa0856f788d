// Pixel rules of the drawing half of the seam, on memory contexts: what GDI
// does for Rectangle, Ellipse, Polygon, TextOut, ScrollDC, BitBlt and
// GetPixel, and the life of contexts, objects and memory blocks.
#include "platform_test.h"

#include <cstring>

namespace {

constexpr PlatColor WHITE = plat_rgb(255, 255, 255);
constexpr PlatColor BLACK = plat_rgb(0, 0, 0);
constexpr PlatColor RED = plat_rgb(255, 0, 0);
constexpr PlatColor BLUE = plat_rgb(0, 0, 255);
constexpr PlatColor GREEN = plat_rgb(0, 160, 0);

// A memory context on a w x h bitmap, cleared to one colour.
struct Surface {
    PlatDC dc = nullptr;
    PlatObject bitmap = nullptr;
    PlatObject old_bitmap = nullptr;
    int w = 0, h = 0;

    Surface(int width, int height, PlatColor background = WHITE) : w(width), h(height) {
        plat_init();
        dc = plat_create_compatible_dc(nullptr);
        bitmap = plat_create_compatible_bitmap(dc, w, h);
        old_bitmap = plat_select_object(dc, bitmap);
        fill(background);
    }
    ~Surface() {
        plat_select_object(dc, old_bitmap);
        plat_delete_object(bitmap);
        plat_delete_dc(dc);
    }
    void fill(PlatColor c) {
        PlatObject brush = plat_create_solid_brush(c);
        PlatObject old_brush = plat_select_object(dc, brush);
        PlatObject old_pen = plat_select_object(dc, plat_get_stock_object(NULL_PEN));
        plat_rectangle(dc, 0, 0, w + 1, h + 1);
        plat_select_object(dc, old_pen);
        plat_select_object(dc, old_brush);
        plat_delete_object(brush);
    }
    PlatColor at(int x, int y) const { return plat_get_pixel(dc, x, y); }
    // Bounding box of the pixels that are not `background`; false if none.
    bool ink_box(PlatColor background, PlatRect *box) const {
        bool any = false;
        *box = PlatRect{w, h, -1, -1};
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (at(x, y) != background) {
                    any = true;
                    box->left = std::min(box->left, x);
                    box->top = std::min(box->top, y);
                    box->right = std::max(box->right, x);
                    box->bottom = std::max(box->bottom, y);
                }
        return any;
    }
    int count(PlatColor c) const {
        return count_if([c](int, int, PlatColor p) { return p == c; });
    }
    template <class Test> int count_if(Test test) const {
        int n = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                n += test(x, y, at(x, y)) ? 1 : 0;
        return n;
    }
};

// Selects a pen and a brush for the life of the object, as the renderer does.
struct Tools {
    PlatDC dc;
    PlatObject pen, brush, old_pen, old_brush;
    bool own_pen, own_brush;
    Tools(PlatDC d, PlatObject p, bool own_p, PlatObject b, bool own_b)
        : dc(d), pen(p), brush(b), own_pen(own_p), own_brush(own_b) {
        old_pen = plat_select_object(dc, pen);
        old_brush = plat_select_object(dc, brush);
    }
    ~Tools() {
        plat_select_object(dc, old_pen);
        plat_select_object(dc, old_brush);
        if (own_pen)
            plat_delete_object(pen);
        if (own_brush)
            plat_delete_object(brush);
    }
};

Tools solid(PlatDC dc, int width, PlatColor pen_color, PlatColor brush_color) {
    return Tools(dc, plat_create_pen(PS_SOLID, width, pen_color), true,
                 plat_create_solid_brush(brush_color), true);
}

TEST(GdiContext, NewBitmapIsBlackAndANewContextHasTheDefaults) {
    plat_init();
    PlatDC dc = plat_create_compatible_dc(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(plat_get_bk_mode(dc), OPAQUE);
    EXPECT_EQ(plat_get_bk_color(dc), WHITE);
    // The default bitmap is one black pixel.
    EXPECT_EQ(plat_get_pixel(dc, 0, 0), BLACK);
    EXPECT_EQ(plat_get_pixel(dc, 1, 0), 0xFFFFFFFFu);
    PlatObject bitmap = plat_create_compatible_bitmap(dc, 7, 5);
    ASSERT_NE(bitmap, nullptr);
    plat_select_object(dc, bitmap);
    EXPECT_EQ(plat_get_pixel(dc, 6, 4), BLACK);
    EXPECT_EQ(plat_get_pixel(dc, 7, 4), 0xFFFFFFFFu);
    EXPECT_EQ(plat_get_pixel(dc, 6, 5), 0xFFFFFFFFu);
    EXPECT_EQ(plat_get_pixel(dc, -1, 0), 0xFFFFFFFFu);
    // The default pen is the stock black pen: selecting another returns it.
    PlatObject pen = plat_create_pen(PS_SOLID, 0, RED);
    EXPECT_EQ(plat_select_object(dc, pen), plat_get_stock_object(BLACK_PEN));
    EXPECT_EQ(plat_select_object(dc, plat_get_stock_object(BLACK_PEN)), pen);
    EXPECT_EQ(plat_set_bk_mode(dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(plat_get_bk_mode(dc), TRANSPARENT);
    EXPECT_EQ(plat_set_text_color(dc, RED), BLACK);
    EXPECT_EQ(plat_delete_object(pen), 1);
    plat_delete_dc(dc);
    EXPECT_EQ(plat_delete_object(bitmap), 1);
}

TEST(GdiRectangle, OnePixelBoxSetsExactlyOnePixel) {
    Surface s(12, 12);
    Tools t = solid(s.dc, 0, RED, BLUE);
    EXPECT_EQ(plat_rectangle(s.dc, 5, 6, 6, 7), 1);
    EXPECT_EQ(s.at(5, 6), RED);
    EXPECT_EQ(s.count(WHITE), 12 * 12 - 1);
}

TEST(GdiRectangle, OnePixelPenOutlinesTheBoxLessItsRightColumnAndBottomRow) {
    Surface s(30, 30);
    Tools t = solid(s.dc, 1, BLACK, GREEN);
    plat_rectangle(s.dc, 10, 10, 21, 21); // an 11 x 11 square
    PlatRect box;
    ASSERT_TRUE(s.ink_box(WHITE, &box));
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.right, 20);
    EXPECT_EQ(box.bottom, 20);
    for (int i = 10; i <= 20; i++) {
        EXPECT_EQ(s.at(i, 10), BLACK) << i;
        EXPECT_EQ(s.at(i, 20), BLACK) << i;
        EXPECT_EQ(s.at(10, i), BLACK) << i;
        EXPECT_EQ(s.at(20, i), BLACK) << i;
    }
    EXPECT_EQ(s.count(GREEN), 9 * 9);
    EXPECT_EQ(s.at(11, 11), GREEN);
    EXPECT_EQ(s.at(19, 19), GREEN);
}

TEST(GdiRectangle, NullPenFillsOneColumnAndRowLess) {
    Surface s(20, 20);
    Tools t(s.dc, plat_get_stock_object(NULL_PEN), false, plat_create_solid_brush(RED), true);
    plat_rectangle(s.dc, 2, 3, 8, 9);
    PlatRect box;
    ASSERT_TRUE(s.ink_box(WHITE, &box));
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.top, 3);
    EXPECT_EQ(box.right, 6);
    EXPECT_EQ(box.bottom, 7);
    EXPECT_EQ(s.count(RED), 5 * 5);
}

TEST(GdiRectangle, NullBrushLeavesTheInsideAlone) {
    Surface s(20, 20, GREEN);
    Tools t(s.dc, plat_create_pen(PS_SOLID, 0, BLACK), true, plat_get_stock_object(NULL_BRUSH),
            false);
    plat_rectangle(s.dc, 2, 2, 12, 12);
    EXPECT_EQ(s.count(BLACK), 4 * 9);
    EXPECT_EQ(s.at(6, 6), GREEN);
}

TEST(GdiRectangle, WidePenIsCentredOnTheOnePixelOutline) {
    Surface s(40, 40);
    Tools t(s.dc, plat_create_pen(PS_SOLID, 3, BLACK), true, plat_get_stock_object(NULL_BRUSH),
            false);
    plat_rectangle(s.dc, 10, 10, 31, 31); // one-pixel outline on columns and rows 10 and 30
    const int mid = 20;
    EXPECT_EQ(s.at(8, mid), WHITE);
    EXPECT_EQ(s.at(9, mid), BLACK);
    EXPECT_EQ(s.at(10, mid), BLACK);
    EXPECT_EQ(s.at(11, mid), BLACK);
    EXPECT_EQ(s.at(12, mid), WHITE);
    EXPECT_EQ(s.at(28, mid), WHITE);
    EXPECT_EQ(s.at(29, mid), BLACK);
    EXPECT_EQ(s.at(31, mid), BLACK);
    EXPECT_EQ(s.at(32, mid), WHITE);
    EXPECT_EQ(s.at(mid, 9), BLACK);
    EXPECT_EQ(s.at(mid, 31), BLACK);
    EXPECT_EQ(s.at(mid, 32), WHITE);
}

TEST(GdiEllipse, InscribedInTheBoxLessItsRightColumnAndBottomRow) {
    Surface s(30, 30);
    Tools t = solid(s.dc, 0, BLACK, RED);
    plat_ellipse(s.dc, 5, 5, 16, 16); // a circle of radius 5 around (10, 10)
    PlatRect box;
    ASSERT_TRUE(s.ink_box(WHITE, &box));
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.top, 5);
    EXPECT_EQ(box.right, 15);
    EXPECT_EQ(box.bottom, 15);
    EXPECT_EQ(s.at(10, 10), RED);
    EXPECT_EQ(s.at(10, 5), BLACK);
    EXPECT_EQ(s.at(15, 10), BLACK);
    EXPECT_EQ(s.at(5, 5), WHITE); // corners of the box stay outside
    EXPECT_EQ(s.at(15, 15), WHITE);
}

TEST(GdiEllipse, SmallAndReversedBoxesKeepTheirBounds) {
    for (int size = 1; size <= 6; size++) {
        Surface s(12, 12);
        Tools t = solid(s.dc, 0, BLACK, RED);
        plat_ellipse(s.dc, 3 + size, 2 + size, 3, 2); // given right to left, bottom to top
        PlatRect box;
        ASSERT_TRUE(s.ink_box(WHITE, &box)) << size;
        EXPECT_EQ(box.left, 3) << size;
        EXPECT_EQ(box.top, 2) << size;
        EXPECT_EQ(box.right, 3 + size - 1) << size;
        EXPECT_EQ(box.bottom, 2 + size - 1) << size;
    }
    // A box one pixel high is a line.
    Surface s(12, 12);
    Tools t = solid(s.dc, 0, BLACK, RED);
    plat_ellipse(s.dc, 2, 5, 9, 6);
    EXPECT_EQ(s.count(BLACK), 7);
}

TEST(GdiEllipse, NullPenFillsOneColumnAndRowLess) {
    Surface s(30, 30);
    Tools t(s.dc, plat_get_stock_object(NULL_PEN), false, plat_create_solid_brush(RED), true);
    plat_ellipse(s.dc, 5, 5, 16, 16);
    PlatRect box;
    ASSERT_TRUE(s.ink_box(WHITE, &box));
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.top, 5);
    // The Qt backend fills up to column and row 14 for this box, GDI under
    // Wine up to 15: the last pixel of a null-pen ellipse is the system's
    // rounding.
    EXPECT_GE(box.right, 14);
    EXPECT_LE(box.right, 15);
    EXPECT_GE(box.bottom, 14);
    EXPECT_LE(box.bottom, 15);
}

TEST(GdiPolygon, ClosedOutlineAroundAnAlternateFill) {
    Surface s(40, 40);
    Tools t = solid(s.dc, 0, RED, BLUE);
    const PlatPoint triangle[] = {{2, 2}, {30, 2}, {2, 30}};
    EXPECT_EQ(plat_polygon(s.dc, triangle, 3), 1);
    EXPECT_EQ(s.at(2, 2), RED);
    EXPECT_EQ(s.at(30, 2), RED);
    EXPECT_EQ(s.at(2, 30), RED);
    EXPECT_EQ(s.at(16, 16), RED); // on the edge from (30, 2) to (2, 30)
    EXPECT_EQ(s.at(8, 8), BLUE);
    EXPECT_EQ(s.at(25, 25), WHITE);

    // A five-pointed star drawn in one go: alternate filling leaves its centre
    // empty and fills the points.
    Surface star(60, 60);
    Tools ts = solid(star.dc, 0, BLUE, BLUE);
    const PlatPoint points[] = {{30, 2}, {47, 56}, {2, 22}, {58, 22}, {13, 56}};
    plat_polygon(star.dc, points, 5);
    EXPECT_EQ(star.at(30, 33), WHITE);
    EXPECT_EQ(star.at(30, 10), BLUE);
}

TEST(GdiPolygon, TooFewPointsDrawNothing) {
    Surface s(10, 10);
    const PlatPoint one[] = {{2, 2}};
    EXPECT_EQ(plat_polygon(s.dc, one, 1), 0);
    EXPECT_EQ(plat_polygon(s.dc, nullptr, 3), 0);
    EXPECT_EQ(s.count(WHITE), 100);
}

PlatObject text_font(int pixels) {
    return plat_create_font(-pixels, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "QELMA-font");
}

TEST(GdiText, OpaqueTextFillsItsCellFromTheTopLeftCorner) {
    Surface s(120, 60, RED);
    PlatObject font = text_font(20);
    PlatObject old = plat_select_object(s.dc, font);
    int cx = 0, cy = 0;
    ASSERT_EQ(plat_get_text_extent_point(s.dc, "Hi", 2, &cx, &cy), 1);
    ASSERT_GT(cx, 0);
    ASSERT_GE(cy, 20);
    EXPECT_EQ(plat_text_out(s.dc, 10, 15, "Hi", 2), 1);
    // The cell is painted white from (10, 15) to (10 + cx - 1, 15 + cy - 1).
    EXPECT_EQ(s.at(10, 15), WHITE);
    EXPECT_EQ(s.at(9, 15), RED);
    EXPECT_EQ(s.at(10, 14), RED);
    EXPECT_EQ(s.at(10 + cx, 15 + cy / 2), RED);
    EXPECT_EQ(s.at(10 + cx / 2, 15 + cy), RED);
    EXPECT_EQ(s.at(10, 15 + cy - 1), WHITE);
    // Glyphs are black, smoothed (if at all) only into the white of the
    // cell: inside it grey levels, outside it the red untouched.
    const auto in_cell = [&](int x, int y) {
        return x >= 10 && x < 10 + cx && y >= 15 && y < 15 + cy;
    };
    EXPECT_GT(s.count_if([](int, int, PlatColor c) { return plat_red(c) < 64; }), 20);
    EXPECT_EQ(s.count_if([&](int x, int y, PlatColor c) {
        const bool grey = plat_red(c) == plat_green(c) && plat_green(c) == plat_blue(c);
        return in_cell(x, y) ? grey : c == RED;
    }),
              120 * 60);
    plat_select_object(s.dc, old);
    plat_delete_object(font);
}

TEST(GdiText, TransparentTextChangesOnlyGlyphPixelsInsideTheCell) {
    Surface s(120, 60, GREEN);
    PlatObject font = text_font(24);
    PlatObject old = plat_select_object(s.dc, font);
    plat_set_bk_mode(s.dc, TRANSPARENT);
    plat_set_text_color(s.dc, BLUE);
    int cx = 0, cy = 0;
    plat_get_text_extent_point(s.dc, "Hg", 2, &cx, &cy);
    plat_text_out(s.dc, 30, 12, "Hg", 2);
    PlatRect box;
    ASSERT_TRUE(s.ink_box(GREEN, &box));
    // Nothing but glyph pixels: blue, or where smoothed, blue over green.
    EXPECT_EQ(s.count_if([](int, int, PlatColor c) { return plat_red(c) == 0; }), 120 * 60);
    EXPECT_GT(s.count(BLUE), 10);
    EXPECT_GE(box.left, 30);
    EXPECT_GE(box.top, 12);
    EXPECT_LT(box.right, 30 + cx + 1);
    EXPECT_LT(box.bottom, 12 + cy);
    // An upper-case H starts below the cell top (internal leading) and reaches
    // close to it: the cell top is at y, not the baseline.
    EXPECT_LT(box.top, 12 + cy / 2);
    plat_select_object(s.dc, old);
    plat_delete_object(font);
}

TEST(GdiText, ExtentCountsNewlinesAsCharactersOnOneLine) {
    Surface s(10, 10);
    PlatObject font = text_font(18);
    PlatObject old = plat_select_object(s.dc, font);
    int a = 0, ab = 0, anb = 0, h1 = 0, h2 = 0, h3 = 0;
    plat_get_text_extent_point(s.dc, "a", 1, &a, &h1);
    plat_get_text_extent_point(s.dc, "ab", 2, &ab, &h2);
    plat_get_text_extent_point(s.dc, "a\nb", 3, &anb, &h3);
    EXPECT_GT(ab, a);
    EXPECT_GE(anb, ab);
    EXPECT_EQ(h1, h2);
    EXPECT_EQ(h3, h1); // one cell height, not two lines
    int height = 0, leading = -1;
    ASSERT_EQ(plat_get_text_metrics(s.dc, &height, &leading), 1);
    EXPECT_EQ(height, h1);
    EXPECT_GE(leading, 0);
    plat_select_object(s.dc, old);
    plat_delete_object(font);
}

// Extents and metrics as GDI gives them for "QELMA-font" (Arial on Windows,
// Liberation Sans, its metric twin, under Wine; measured there): the game's
// layout is the Windows layout on every backend.
TEST(GdiText, ExtentsAndMetricsAreGdisAtEverySize) {
    struct Case {
        int pixels, height, leading;
        int widths[3]; // "Points= 12345", "YOU WIN!!!", the longest text below
    };
    const char *const texts[] = {"Points= 12345", "YOU WIN!!!",
                                 "Filled (width 0) and outlined (width 3)"};
    const Case cases[] = {{1, 1, 0, {10, 5, 19}},        {8, 9, 0, {48, 41, 125}},
                          {12, 14, 0, {79, 61, 201}},    {15, 17, 0, {94, 78, 236}},
                          {16, 17, 1, {103, 82, 262}},   {22, 25, 1, {140, 115, 354}},
                          {28, 31, 1, {183, 147, 463}},  {40, 44, 1, {255, 209, 648}},
                          {127, 142, 4, {818, 663, 2077}}};
    Surface s(10, 10);
    for (const Case &c : cases) {
        PlatObject font = text_font(c.pixels);
        PlatObject old = plat_select_object(s.dc, font);
        int height = 0, leading = -1;
        ASSERT_EQ(plat_get_text_metrics(s.dc, &height, &leading), 1);
        EXPECT_EQ(height, c.height) << c.pixels << " pixels";
        EXPECT_EQ(leading, c.leading) << c.pixels << " pixels";
        for (int i = 0; i < 3; ++i) {
            int cx = 0, cy = 0;
            plat_get_text_extent_point(s.dc, texts[i], static_cast<int>(std::strlen(texts[i])), &cx, &cy);
            EXPECT_EQ(cx, c.widths[i]) << c.pixels << " pixels: " << texts[i];
            EXPECT_EQ(cy, c.height);
        }
        // Bytes the face lacks take its missing glyph's width, as GDI gives.
        int missing = 0, other = 0, h = 0;
        plat_get_text_extent_point(s.dc, "\x81", 1, &missing, &h);
        plat_get_text_extent_point(s.dc, "\x9D", 1, &other, &h);
        EXPECT_EQ(missing, other);
        EXPECT_GT(missing, 0);
        plat_select_object(s.dc, old);
        plat_delete_object(font);
    }
}

TEST(GdiText, FixedFontIsFixedPitchAtAboutThirteenPixels) {
    Surface s(10, 10);
    PlatObject old = plat_select_object(s.dc, plat_get_stock_object(ANSI_FIXED_FONT));
    int narrow = 0, wide = 0, h = 0;
    plat_get_text_extent_point(s.dc, "iiii", 4, &narrow, &h);
    plat_get_text_extent_point(s.dc, "WWWW", 4, &wide, &h);
    EXPECT_EQ(narrow, wide);
    EXPECT_GT(narrow, 0);
    int height = 0, leading = 0;
    plat_get_text_metrics(s.dc, &height, &leading);
    EXPECT_GE(height, 11); // Wine's fixed font is 11 pixels high, Qt's 13
    EXPECT_LE(height, 20);
    plat_select_object(s.dc, old);
}

TEST(GdiScroll, MovesTheWholeContentAndLeavesTheExposedPartAsItWas) {
    Surface s(10, 20);
    // Row y gets the colour plat_rgb(y, 0, 0).
    for (int y = 0; y < 20; y++) {
        PlatObject pen = plat_create_pen(PS_SOLID, 0, plat_rgb(static_cast<unsigned>(y), 0, 0));
        PlatObject old = plat_select_object(s.dc, pen);
        plat_rectangle(s.dc, 0, y, 10, y + 1);
        plat_select_object(s.dc, old);
        plat_delete_object(pen);
    }
    EXPECT_EQ(plat_scroll_dc(s.dc, 0, -6), 1);
    for (int y = 0; y < 14; y++)
        EXPECT_EQ(s.at(4, y), plat_rgb(static_cast<unsigned>(y + 6), 0, 0)) << y;
    for (int y = 14; y < 20; y++)
        EXPECT_EQ(s.at(4, y), plat_rgb(static_cast<unsigned>(y), 0, 0)) << y; // old pixels
    // Down and sideways by more than the surface: nothing moves.
    EXPECT_EQ(plat_scroll_dc(s.dc, 3, 25), 1);
    EXPECT_EQ(s.at(4, 0), plat_rgb(6, 0, 0));
    // Sideways: column x takes column x - 3.
    Surface t(10, 1);
    for (int x = 0; x < 10; x++) {
        PlatObject pen = plat_create_pen(PS_SOLID, 0, plat_rgb(0, static_cast<unsigned>(x), 0));
        PlatObject old = plat_select_object(t.dc, pen);
        plat_rectangle(t.dc, x, 0, x + 1, 1);
        plat_select_object(t.dc, old);
        plat_delete_object(pen);
    }
    plat_scroll_dc(t.dc, 3, 0);
    EXPECT_EQ(t.at(3, 0), plat_rgb(0, 0, 0));
    EXPECT_EQ(t.at(9, 0), plat_rgb(0, 6, 0));
    EXPECT_EQ(t.at(2, 0), plat_rgb(0, 2, 0));
}

TEST(GdiBlit, CopiesAreClippedToBothSurfaces) {
    Surface src(10, 10, RED);
    Surface dst(20, 20);
    // Hanging over the bottom-right edge of the destination.
    EXPECT_EQ(plat_bit_blt(dst.dc, 15, 15, 10, 10, src.dc, 0, 0, SRCCOPY), 1);
    EXPECT_EQ(dst.count(RED), 25);
    EXPECT_EQ(dst.at(19, 19), RED);
    EXPECT_EQ(dst.at(14, 15), WHITE);
    // Hanging over the top-left edge: source pixels (3..9) land on 0..6.
    dst.fill(WHITE);
    plat_bit_blt(dst.dc, -3, -3, 10, 10, src.dc, 0, 0, SRCCOPY);
    EXPECT_EQ(dst.count(RED), 49);
    // Asking for more than the source has copies only what it has.
    dst.fill(WHITE);
    plat_bit_blt(dst.dc, 2, 2, 18, 18, src.dc, 4, 4, SRCCOPY);
    EXPECT_EQ(dst.count(RED), 36);
    EXPECT_EQ(dst.at(2, 2), RED);
    EXPECT_EQ(dst.at(8, 8), WHITE);
    // Nothing for a negative size or another raster operation.
    dst.fill(WHITE);
    EXPECT_EQ(plat_bit_blt(dst.dc, 0, 0, -5, 5, src.dc, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(plat_bit_blt(dst.dc, 0, 0, 5, 5, src.dc, 0, 0, 0x00EE0086), 0);
    EXPECT_EQ(dst.count(WHITE), 400);
}

// A copy onto a picture that differs from it in one pixel changes that
// pixel, wherever it is in a row (rows that are already the same are
// compared, not copied, and compared in blocks).
TEST(GdiBlit, ACopyMendsAOnePixelDifferenceAnywhereInARow) {
    Surface src(37, 2, RED), dst(37, 2, RED), white(1, 1);
    for (int x = 0; x < 37; x++) {
        plat_bit_blt(dst.dc, x, 1, 1, 1, white.dc, 0, 0, SRCCOPY);
        ASSERT_EQ(dst.at(x, 1), WHITE);
        plat_bit_blt(dst.dc, 0, 0, 37, 2, src.dc, 0, 0, SRCCOPY);
        EXPECT_EQ(dst.at(x, 1), RED) << "column " << x;
    }
}

TEST(GdiBlit, OverlappingCopyWithinOneSurface) {
    Surface s(12, 1);
    for (int x = 0; x < 12; x++) {
        PlatObject pen = plat_create_pen(PS_SOLID, 0, plat_rgb(static_cast<unsigned>(x), 0, 0));
        PlatObject old = plat_select_object(s.dc, pen);
        plat_rectangle(s.dc, x, 0, x + 1, 1);
        plat_select_object(s.dc, old);
        plat_delete_object(pen);
    }
    plat_bit_blt(s.dc, 2, 0, 8, 1, s.dc, 0, 0, SRCCOPY);
    for (int x = 2; x < 10; x++)
        EXPECT_EQ(s.at(x, 0), plat_rgb(static_cast<unsigned>(x - 2), 0, 0)) << x;
}

TEST(GdiHandles, NullAndStaleHandlesDoNothing) {
    plat_init();
    const PlatPoint pts[] = {{0, 0}, {3, 0}, {0, 3}};
    EXPECT_EQ(plat_rectangle(nullptr, 0, 0, 5, 5), 0);
    EXPECT_EQ(plat_ellipse(nullptr, 0, 0, 5, 5), 0);
    EXPECT_EQ(plat_polygon(nullptr, pts, 3), 0);
    EXPECT_EQ(plat_text_out(nullptr, 0, 0, "a", 1), 0);
    EXPECT_EQ(plat_scroll_dc(nullptr, 0, 1), 0);
    EXPECT_EQ(plat_bit_blt(nullptr, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(plat_get_pixel(nullptr, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(plat_select_object(nullptr, plat_get_stock_object(BLACK_PEN)), nullptr);
    EXPECT_EQ(plat_get_text_metrics(nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(plat_get_dc(nullptr), nullptr);
    EXPECT_EQ(plat_delete_object(nullptr), 0);
    plat_delete_dc(nullptr);
    plat_release_dc(nullptr, nullptr);

    // A deleted context and a deleted object are refused, not used.
    PlatDC dc = plat_create_compatible_dc(nullptr);
    PlatObject pen = plat_create_pen(PS_SOLID, 0, RED);
    ASSERT_EQ(plat_delete_object(pen), 1);
    EXPECT_EQ(plat_select_object(dc, pen), nullptr);
    EXPECT_EQ(plat_delete_object(pen), 0);
    plat_delete_dc(dc);
    EXPECT_EQ(plat_rectangle(dc, 0, 0, 1, 1), 0);
    EXPECT_EQ(plat_get_bk_mode(dc), 0);

    // Every context operation answers a null or deleted context alike: 0,
    // no handle, PLAT_INVALID_COLOR for a colour, zeros in what it fills.
    for (PlatDC bad : {static_cast<PlatDC>(nullptr), dc}) {
        SCOPED_TRACE(bad ? "deleted context" : "null context");
        EXPECT_EQ(plat_ellipse(bad, 0, 0, 5, 5), 0);
        EXPECT_EQ(plat_polygon(bad, pts, 3), 0);
        EXPECT_EQ(plat_text_out(bad, 0, 0, "a", 1), 0);
        EXPECT_EQ(plat_scroll_dc(bad, 0, 1), 0);
        EXPECT_EQ(plat_get_pixel(bad, 0, 0), PLAT_INVALID_COLOR);
        EXPECT_EQ(plat_set_text_color(bad, RED), PLAT_INVALID_COLOR);
        EXPECT_EQ(plat_get_bk_color(bad), PLAT_INVALID_COLOR);
        EXPECT_EQ(plat_set_bk_mode(bad, TRANSPARENT), 0);
        EXPECT_EQ(plat_select_object(bad, plat_get_stock_object(NULL_BRUSH)), nullptr);
        EXPECT_EQ(plat_create_compatible_bitmap(bad, 4, 4), nullptr);
        int cx = 7, cy = 7, height = 7, leading = 7;
        EXPECT_EQ(plat_get_text_extent_point(bad, "ab", 2, &cx, &cy), 0);
        EXPECT_EQ(cx, 0);
        EXPECT_EQ(cy, 0);
        EXPECT_EQ(plat_get_text_metrics(bad, &height, &leading), 0);
        EXPECT_EQ(height, 0);
        EXPECT_EQ(leading, 0);
    }
    // A live context copying from a deleted one copies nothing. (A handle is
    // deleted after the surface is made: records are reused, as on Windows.)
    Surface s(4, 4);
    PlatDC gone = plat_create_compatible_dc(nullptr);
    plat_delete_dc(gone);
    EXPECT_EQ(plat_bit_blt(s.dc, 0, 0, 2, 2, gone, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(plat_bit_blt(gone, 0, 0, 2, 2, s.dc, 0, 0, SRCCOPY), 0);
    EXPECT_EQ(s.count(WHITE), 16);
    // Memory blocks: a null block locks to nothing.
    EXPECT_EQ(plat_global_lock(nullptr), nullptr);
    plat_global_unlock(nullptr);
    plat_global_free(nullptr);
}

TEST(GdiHandles, SelectedObjectsAndStockObjectsSurviveDeletion) {
    Surface s(4, 4);
    PlatObject brush = plat_create_solid_brush(RED);
    PlatObject old = plat_select_object(s.dc, brush);
    // Still selected: Qt keeps it; Windows deletes it and the context goes
    // on with it as it was.
#ifndef _WIN32
    EXPECT_EQ(plat_delete_object(brush), 0);
#endif
    plat_select_object(s.dc, plat_get_stock_object(NULL_PEN));
    plat_rectangle(s.dc, 0, 0, 5, 5);
    EXPECT_EQ(s.at(0, 0), RED);
    plat_select_object(s.dc, old);
#ifndef _WIN32
    EXPECT_EQ(plat_delete_object(brush), 1);
#endif
    // Stock objects are never deleted.
    PlatObject null_pen = plat_get_stock_object(NULL_PEN);
    plat_delete_object(null_pen);
    EXPECT_EQ(plat_get_stock_object(NULL_PEN), null_pen);
    EXPECT_NE(plat_select_object(s.dc, null_pen), nullptr);
    EXPECT_EQ(plat_get_stock_object(12345), nullptr);
    // A bitmap is in one context at a time.
    PlatDC other = plat_create_compatible_dc(nullptr);
    EXPECT_EQ(plat_select_object(other, s.bitmap), nullptr);
#ifndef _WIN32
    EXPECT_EQ(plat_delete_object(s.bitmap), 0); // still selected: kept on Qt
#endif
    plat_delete_dc(other);
}

TEST(GdiHandles, BadSizesAndArgumentsAreRefusedOrClamped) {
    plat_init();
    Surface s(30, 30);
    EXPECT_EQ(plat_create_compatible_bitmap(nullptr, 10, 10), nullptr);
    EXPECT_EQ(plat_create_compatible_bitmap(s.dc, 0, 10), nullptr);
    EXPECT_EQ(plat_create_compatible_bitmap(s.dc, -4, 10), nullptr);
    EXPECT_EQ(plat_create_compatible_bitmap(s.dc, 100000, 100000), nullptr);
    // A negative pen width is the one-pixel pen.
    Tools t = solid(s.dc, -7, BLACK, BLUE);
    plat_rectangle(s.dc, 2, 2, 12, 12);
    EXPECT_EQ(s.count(BLACK), 4 * 9);
    // A huge font is clamped, not allocated at its asked size.
    PlatObject big = plat_create_font(-2000000000, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "x");
    ASSERT_NE(big, nullptr);
    PlatObject old = plat_select_object(s.dc, big);
    int height = 0;
    plat_get_text_metrics(s.dc, &height, nullptr);
    EXPECT_GT(height, 100);
    EXPECT_LT(height, 2000);
    plat_select_object(s.dc, old);
    plat_delete_object(big);
    EXPECT_EQ(plat_set_bk_mode(s.dc, 7), 0);
    EXPECT_EQ(plat_get_bk_mode(s.dc), OPAQUE);
}

TEST(GdiHandles, FarOffCoordinatesDrawWhatIsOnTheSurface) {
    Surface s(40, 40);
    Tools t = solid(s.dc, 0, BLACK, BLUE);
    // A box whose width does not fit in an int: only its top edge and inside
    // fall on the surface.
    EXPECT_EQ(plat_rectangle(s.dc, -2000000000, 10, 2000000000, 2000000000), 1);
    EXPECT_EQ(s.at(0, 9), WHITE);
    EXPECT_EQ(s.at(0, 10), BLACK);
    EXPECT_EQ(s.at(39, 39), BLUE);
    // An ellipse far larger than the surface covers it.
    s.fill(WHITE);
    EXPECT_EQ(plat_ellipse(s.dc, 20 - (1 << 24), 20 - (1 << 24), 20 + (1 << 24), 20 + (1 << 24)),
              1);
    EXPECT_EQ(s.count(BLUE), 40 * 40);
    s.fill(WHITE);
    EXPECT_EQ(plat_ellipse(s.dc, -2000000000, -2000000000, 2000000000, 2000000000), 1);
    EXPECT_EQ(s.at(20, 20), BLUE);
    const PlatPoint far[] = {{-2000000000, -2000000000}, {2000000000, 0}, {0, 2000000000}};
    EXPECT_EQ(plat_polygon(s.dc, far, 3), 1);
    // Text and copies beyond the edges touch nothing.
    s.fill(WHITE);
    EXPECT_EQ(plat_text_out(s.dc, 2147483600, 2147483600, "far", 3), 1);
    EXPECT_EQ(plat_bit_blt(s.dc, 2147483600, -2147483600, 2147483647, 2147483647, s.dc, -2147483600,
                           0, SRCCOPY),
              1);
    EXPECT_EQ(plat_scroll_dc(s.dc, -2147483647, 2147483647), 1);
    EXPECT_EQ(s.count(WHITE), 40 * 40);
}

TEST(GdiHandles, AnEllipseAtTheCoordinateLimitIsStillExact) {
    // The right end of an ellipse as large as the seam allows crosses the
    // surface: over 40 rows of a radius of 65536 its outline is one column.
    Surface s(40, 40);
    Tools t = solid(s.dc, 0, BLACK, BLUE);
    constexpr int L = PLAT_COORD_LIMIT;
    EXPECT_EQ(plat_ellipse(s.dc, 20 - 2 * (L / 2), 20 - L / 2, 21, 20 + L / 2), 1);
    for (int y = 0; y < 40; y++) {
        EXPECT_EQ(s.at(10, y), BLUE) << y;
        EXPECT_EQ(s.at(20, y), BLACK) << y;
        EXPECT_EQ(s.at(21, y), WHITE) << y;
    }
}

TEST(GdiMemory, BlocksLockToTheirBytesUntilFreed) {
    PlatMem mem = plat_global_alloc(6);
    ASSERT_NE(mem, nullptr);
    char *p = plat_global_lock(mem);
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "hello", 6);
    plat_global_unlock(mem);
    EXPECT_STREQ(plat_global_lock(mem), "hello");
    plat_global_unlock(mem);
    plat_global_free(mem);
    EXPECT_EQ(plat_global_lock(mem), nullptr);
    plat_global_free(mem); // a second free is refused, not a double free
    EXPECT_EQ(plat_global_lock(nullptr), nullptr);
    plat_global_free(nullptr);
    PlatMem empty = plat_global_alloc(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_NE(plat_global_lock(empty), nullptr);
    plat_global_free(empty);
    EXPECT_EQ(plat_global_alloc(static_cast<std::size_t>(-1)), nullptr);
}

} // namespace
