// The drawing calls: corrections, warning lines, description lines, results.
#include <climits>
#include <string>
#include <vector>

#include "support/qelma_test.h"

using qt_test::log_lines_of;
using Lines = std::vector<std::string>;

class DrawCalls : public ::testing::Test {
  protected:
    void SetUp() override { qt_test::open_session(); }
};

TEST_F(DrawCalls, PaletteNamesAndColourCheck) {
    EXPECT_STREQ(palette_names[22], "50% gray");
    EXPECT_STREQ(palette_names[9], "navy blue");
    EXPECT_EQ(palette_rgb[8], 0x9900CCu);
    EXPECT_EQ(palette_rgb[23], 0xCCCCCCu);

    EXPECT_EQ(log_lines_of([] { EXPECT_EQ(validate_color(23), 23); }), Lines{});
    EXPECT_EQ(log_lines_of([] { EXPECT_EQ(validate_color(24), 2); }),
              Lines{"Illegal color 24; using RED.\n"});
    EXPECT_EQ(log_lines_of([] { EXPECT_EQ(validate_color(-1), 2); }),
              Lines{"Illegal color -1; using RED.\n"});
}

TEST_F(DrawCalls, WarningsComeWhateverTheLoggingSwitch) {
    qelma_set_logging(0);
    EXPECT_EQ(log_lines_of([] { qelma_draw_circle(3, 0, 0, 4); }), Lines{});
    EXPECT_EQ(log_lines_of([] { qelma_draw_circle(99, 0, 0, -7); }),
              (Lines{"Illegal color 99; using RED.\n",
                     "Radius of -7 not possible, using radius 7\n"}));
    EXPECT_EQ(log_lines_of([] { qelma_clear_canvas(); }), Lines{});
    EXPECT_EQ(qt_test::canvas_rgb(0, 0), 0xFFFFFFu) << "the clear still happens";
}

TEST_F(DrawCalls, OvalChecksWidthBeforeColourRectangleTheOtherWay) {
    EXPECT_EQ(log_lines_of([] { qelma_draw_oval(30, 0, 0, 10, 10, -2); }),
              (Lines{"Width of -2 not possible, using width 2\n", "Illegal color 30; using RED.\n",
                     "red oval with bounding box (0,10) to (10,0), line width 2\n"}));
    EXPECT_EQ(log_lines_of([] { qelma_draw_rectangle(30, 0, 0, 10, 10, -2); }),
              (Lines{"Illegal color 30; using RED.\n", "Width of -2 not possible, using width 2\n",
                     "red rectangle with bounding box (0,10) to (10,0) with line width 2\n"}));
}

TEST_F(DrawCalls, DescriptionLinesAreExact) {
    Lines lines = log_lines_of([] {
        EXPECT_EQ(qelma_draw_circle(5, 10, -20, 3), 1);
        EXPECT_EQ(qelma_draw_triangle(19, 1, 2, 3, 4, 5, 6, 0), 1);
        qelma_draw_triangle(19, 1, 2, 3, 4, 5, 6, 3);
        EXPECT_EQ(qelma_draw_rectangle(22, 10, -5, -10, 5, 0), 1);
        EXPECT_EQ(qelma_draw_oval(11, -3, -4, 3, 4, 0), 1);
        EXPECT_EQ(qelma_draw_text(1, -285, -75, 22, "two\nlines"), 1);
        EXPECT_EQ(qelma_clear_canvas(), 1);
    });
    EXPECT_EQ(lines, (Lines{
                         "yellow circle at (10,-20), radius 3\n",
                         "forest green triangle at (1,2), (3,4), (5,6)\n",
                         "forest green triangle at (1,2), (3,4), (5,6)\n",
                         "50% gray rectangle with bounding box (-10,5) to (10,-5), filled\n",
                         "ice blue oval with bounding box (-3,4) to (3,-4), filled\n",
                         "white text at (-285,-75), \"two\nlines\"\n",
                         "Clearing the graphics window\n",
                     }));
}

TEST_F(DrawCalls, PointSizeCorrections) {
    EXPECT_EQ(log_lines_of([] { qelma_draw_text(0, 0, 0, 128, "x"); }),
              (Lines{"ptsize of 128 not possible, using ptsize 127\n",
                     "black text at (0,0), \"x\"\n"}));
    EXPECT_EQ(log_lines_of([] { qelma_draw_text(0, 0, 0, 127, "x"); }),
              Lines{"black text at (0,0), \"x\"\n"});
    EXPECT_EQ(log_lines_of([] { qelma_draw_text(0, 0, 0, -200, "x"); }),
              (Lines{"ptsize of -200 not possible, using ptsize 200\n",
                     "ptsize of 200 not possible, using ptsize 127\n",
                     "black text at (0,0), \"x\"\n"}));
}

TEST_F(DrawCalls, TextfFormatsAndReturnsItsLength) {
    int produced = 0;
    Lines lines = log_lines_of([&] { produced = qelma_draw_textf(0, -285, -75, 22, "Points= %d", 40); });
    EXPECT_EQ(produced, 10);
    EXPECT_EQ(lines, Lines{"black text at (-285,-75), \"Points= 40\"\n"});
}

TEST_F(DrawCalls, LongFormattedTextIsKeptWhole) {
    std::string long_text(3000, 'x');
    int produced = 0;
    Lines lines = log_lines_of([&] { produced = qelma_draw_textf(0, 0, 0, 10, "%s!", long_text.c_str()); });
    EXPECT_EQ(produced, 3001);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "black text at (0,0), \"" + long_text + "!\"\n");
}

TEST_F(DrawCalls, MostNegativeSizesBecomeTheLargestInt) {
    EXPECT_EQ(log_lines_of([] { qelma_draw_circle(0, 0, 0, INT_MIN); }),
              (Lines{"Radius of -2147483648 not possible, using radius 2147483647\n",
                     "black circle at (0,0), radius 2147483647\n"}));
    EXPECT_EQ(log_lines_of([] { qelma_draw_rectangle(0, 0, 0, 1, 1, INT_MIN); }).front(),
              "Width of -2147483648 not possible, using width 2147483647\n");
    EXPECT_EQ(log_lines_of([] { qelma_draw_text(0, 0, 0, INT_MIN, "x"); }),
              (Lines{"ptsize of -2147483648 not possible, using ptsize 2147483647\n",
                     "ptsize of 2147483647 not possible, using ptsize 127\n",
                     "black text at (0,0), \"x\"\n"}));
}

TEST_F(DrawCalls, HugeAndFarShapesReturnAndLeaveTheCanvasSane) {
    qelma_set_logging(0);
    qt_test::clear_quietly();
    EXPECT_EQ(qelma_draw_circle(4, 0, 0, 2000000000), 1);
    EXPECT_EQ(qt_test::canvas_rgb(0, 0), qt_test::rgb_of(4)) << "the huge circle covers the canvas";
    qt_test::clear_quietly();
    EXPECT_EQ(qelma_draw_rectangle(4, 2000000000, 2000000000, 2000000001, 1999999999, 5), 1);
    EXPECT_EQ(qelma_draw_triangle(4, -2000000000, -2000000000, 2000000000, -2000000000, 0,
                                  -1999999000, 0),
              1);
    EXPECT_EQ(qelma_draw_oval(4, INT_MIN, INT_MAX, INT_MAX, INT_MIN, 3), 1);
    EXPECT_EQ(qelma_draw_text(4, 2000000000, -2000000000, 20, "far"), 1);
    EXPECT_EQ(qt_test::canvas_rgb(0, 0), 0xFFFFFFu) << "far shapes leave the middle alone";
}

TEST_F(DrawCalls, NullTextDrawsNothing) {
    EXPECT_EQ(log_lines_of([] { EXPECT_EQ(qelma_draw_text(0, 0, 0, 10, nullptr), 1); }),
              Lines{"black text at (0,0), \"\"\n"});
}
