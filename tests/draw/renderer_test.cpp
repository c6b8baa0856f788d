// The renderer's pixel rules, read back from the canvas.
#include <algorithm>

#include "support/qelma_test.h"

using qt_test::canvas_rgb;
using qt_test::canvas_rgb_at_pixel;

static constexpr std::uint32_t WHITE = 0xFFFFFF;

class Renderer : public ::testing::Test {
  protected:
    void SetUp() override {
        qt_test::open_session();
        qelma_set_logging(0);
        qt_test::clear_quietly();
    }
    // Number of canvas pixels of colour rgb in the box of pixel columns
    // [c0, c1] and rows [r0, r1].
    static int count(std::uint32_t rgb, int c0, int r0, int c1, int r1) {
        int n = 0;
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c) {
                n += canvas_rgb_at_pixel(c, r) == rgb ? 1 : 0;
            }
        }
        return n;
    }
    // The smallest box holding every non-white pixel of the canvas.
    static PlatRect ink_box() {
        PlatRect box{10000, 10000, -1, -1};
        for (int r = 1; r < QELMA_CANVAS_HEIGHT - 1; ++r) {
            for (int c = 1; c < QELMA_CANVAS_WIDTH - 1; ++c) {
                if (canvas_rgb_at_pixel(c, r) != WHITE) {
                    box.left = std::min(box.left, c);
                    box.top = std::min(box.top, r);
                    box.right = std::max(box.right, c);
                    box.bottom = std::max(box.bottom, r);
                }
            }
        }
        return box;
    }
};

TEST_F(Renderer, BackgroundIsWhiteInsideABlackFrame) {
    qelma_draw_rectangle(4, -300, 300, 300, -300, 0);
    qt_test::clear_quietly();
    EXPECT_EQ(count(0x000000, 0, 0, 600, 0), 601);
    EXPECT_EQ(count(0x000000, 0, 539, 600, 539), 601);
    EXPECT_EQ(count(0x000000, 0, 0, 0, 539), 540);
    EXPECT_EQ(count(0x000000, 600, 0, 600, 539), 540);
    EXPECT_EQ(count(WHITE, 1, 1, 599, 538), 599 * 538);
    EXPECT_EQ(session.canvas_dirty, 1);
}

TEST_F(Renderer, OnePixelRectangle) {
    qelma_draw_rectangle(2, 0, 0, 0, 0, 0);
    PlatRect box = ink_box();
    EXPECT_EQ(box.left, session.origin_x);
    EXPECT_EQ(box.right, session.origin_x);
    EXPECT_EQ(box.top, session.origin_y);
    EXPECT_EQ(box.bottom, session.origin_y);
    EXPECT_EQ(canvas_rgb(0, 0), 0xFF0000u);
}

TEST_F(Renderer, OutlinedSquareIncludesItsLowerRightCorner) {
    qelma_draw_rectangle(0, 0, 10, 10, 0, 1);
    PlatRect box = ink_box();
    EXPECT_EQ(box.left, session.origin_x);
    EXPECT_EQ(box.top, session.origin_y - 10);
    EXPECT_EQ(box.right, session.origin_x + 10);
    EXPECT_EQ(box.bottom, session.origin_y);
    EXPECT_EQ(count(0x000000, box.left, box.top, box.right, box.bottom), 40);
    EXPECT_EQ(canvas_rgb(5, 5), WHITE) << "a hollow outline leaves the inside alone";
}

TEST_F(Renderer, CircleFillsItsSquareBox) {
    qelma_draw_circle(4, 0, 0, 5);
    PlatRect box = ink_box();
    EXPECT_EQ(box.left, session.origin_x - 5);
    EXPECT_EQ(box.right, session.origin_x + 5);
    EXPECT_EQ(box.top, session.origin_y - 5);
    EXPECT_EQ(box.bottom, session.origin_y + 5);
    EXPECT_EQ(canvas_rgb(0, 0), 0x0000FFu);
    EXPECT_EQ(canvas_rgb(5, 5), WHITE) << "the box's corner is outside the circle";
}

TEST_F(Renderer, FilledAndOutlinedTriangles) {
    qelma_draw_triangle(19, -50, -50, 50, -50, 0, 50, 0);
    EXPECT_EQ(canvas_rgb(0, 0), 0x006633u);
    qt_test::clear_quietly();
    qelma_draw_triangle(19, -50, -50, 50, -50, 0, 50, 3);
    EXPECT_EQ(canvas_rgb(0, 0), WHITE);
    EXPECT_EQ(canvas_rgb(0, -50), 0x006633u);
}

TEST_F(Renderer, TextHangsBelowItsAnchorLineByLine) {
    qelma_draw_text(0, 0, 0, 20, "HHHH");
    PlatRect one = ink_box();
    ASSERT_GE(one.right, one.left) << "the text drew something";
    EXPECT_LT(one.bottom, session.origin_y) << "one line ends above the anchor row";
    EXPECT_GE(one.top, session.origin_y - 40);
    EXPECT_GE(one.left, session.origin_x);

    qt_test::clear_quietly();
    qelma_draw_text(0, 0, 0, 20, "HHHH\nHHHH");
    PlatRect two = ink_box();
    EXPECT_EQ(two.top, one.top);
    EXPECT_GT(two.bottom, session.origin_y) << "the second line starts at the anchor row";
    int h = two.bottom - one.bottom;
    EXPECT_GE(h, 20);
    EXPECT_LE(h, 30);
    EXPECT_EQ(plat_get_bk_mode(session.canvas_dc), OPAQUE) << "background mode is put back";
}

TEST_F(Renderer, EmptyLinesAndEmptyTextDrawNothing) {
    qelma_draw_text(0, 0, 0, 20, "");
    qelma_draw_text(0, 0, 0, 20, "\n\n");
    PlatRect box = ink_box();
    EXPECT_EQ(box.right, -1);
}

TEST_F(Renderer, MappingFollowsTheOrigin) {
    int saved_x = session.origin_x, saved_y = session.origin_y;
    session.origin_x = 100;
    session.origin_y = 200;
    qelma_draw_rectangle(2, 10, 20, 10, 20, 0);
    qelma_draw_rectangle(4, -10, -20, -10, -20, 0);
    session.origin_x = saved_x;
    session.origin_y = saved_y;
    EXPECT_EQ(canvas_rgb_at_pixel(110, 180), 0xFF0000u);
    EXPECT_EQ(canvas_rgb_at_pixel(90, 220), 0x0000FFu);
}
