// examples/shapes.c: every palette colour as a swatch labelled with its
// palette name, each shape kind filled and outlined, several line widths,
// everything inside the visible window and drawn without a correction.
//
// The drawing calls the example makes are seen through the linker's --wrap:
// each call is noted here and then goes on to the real library, so the
// canvas shows what the example drew.
#include <cstdarg>
#include <cstdio>
#include <set>

#include "examples/example_driver.h"

namespace {

enum CallKind { CIRCLE, TRIANGLE, RECTANGLE, OVAL, TEXT };

// One drawing call of the example, with its arguments as given.
struct Call {
    CallKind kind;
    int color;
    int x1, y1, x2, y2, x3, y3; // circle: centre in x1, y1 and radius in x2
    int width;                  // text: the point size
    std::string text;
};

// Every drawing call the example made, in order.
std::vector<Call> calls;

} // namespace

extern "C" {
int __real_qelma_draw_circle(int color, int x, int y, int radius);
int __real_qelma_draw_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3,
                               int width);
int __real_qelma_draw_rectangle(int color, int x1, int y1, int x2, int y2, int width);
int __real_qelma_draw_oval(int color, int x1, int y1, int x2, int y2, int width);
int __real_qelma_draw_text(int color, int x, int y, int point_size, const char *text);
int __real_qelma_draw_textf(int color, int x, int y, int point_size, const char *format, ...)
    QELMA_PRINTF_LIKE(5, 6);

int __wrap_qelma_draw_circle(int color, int x, int y, int radius) {
    calls.push_back({CIRCLE, color, x, y, radius, 0, 0, 0, 0, ""});
    return __real_qelma_draw_circle(color, x, y, radius);
}
int __wrap_qelma_draw_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3,
                               int width) {
    calls.push_back({TRIANGLE, color, x1, y1, x2, y2, x3, y3, width, ""});
    return __real_qelma_draw_triangle(color, x1, y1, x2, y2, x3, y3, width);
}
int __wrap_qelma_draw_rectangle(int color, int x1, int y1, int x2, int y2, int width) {
    calls.push_back({RECTANGLE, color, x1, y1, x2, y2, 0, 0, width, ""});
    return __real_qelma_draw_rectangle(color, x1, y1, x2, y2, width);
}
int __wrap_qelma_draw_oval(int color, int x1, int y1, int x2, int y2, int width) {
    calls.push_back({OVAL, color, x1, y1, x2, y2, 0, 0, width, ""});
    return __real_qelma_draw_oval(color, x1, y1, x2, y2, width);
}
int __wrap_qelma_draw_text(int color, int x, int y, int point_size, const char *text) {
    calls.push_back({TEXT, color, x, y, 0, 0, 0, 0, point_size, text != nullptr ? text : ""});
    return __real_qelma_draw_text(color, x, y, point_size, text);
}
// The formatted text is made here and handed on unchanged through "%s".
int __wrap_qelma_draw_textf(int color, int x, int y, int point_size, const char *format, ...)
    QELMA_PRINTF_LIKE(5, 6);
int __wrap_qelma_draw_textf(int color, int x, int y, int point_size, const char *format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    calls.push_back({TEXT, color, x, y, 0, 0, 0, 0, point_size, buffer});
    return __real_qelma_draw_textf(color, x, y, point_size, "%s", buffer);
}
}

namespace {

using qt_test::rgb_of;

bool visible(int x, int y) {
    return example_test::in_client_area(session.origin_x + x, session.origin_y - y);
}

// The picture as it was while the example waited, taken before it quits.
std::vector<std::uint32_t> picture;
std::uint32_t pixel(int x, int y) {
    int column = session.origin_x + x;
    int row = session.origin_y - y;
    if (column < 0 || row < 0 || column >= QELMA_CANVAS_WIDTH || row >= QELMA_CANVAS_HEIGHT) {
        return 0xFFFFFFFF;
    }
    return picture[static_cast<std::size_t>(row * QELMA_CANVAS_WIDTH + column)];
}

class ShapesExample : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::vector<example_test::Stage> stages = {
            {"look", 1, [](int) {
                 for (int row = 0; row < QELMA_CANVAS_HEIGHT; ++row) {
                     for (int column = 0; column < QELMA_CANVAS_WIDTH; ++column) {
                         picture.push_back(qt_test::canvas_rgb_at_pixel(column, row));
                     }
                 }
                 // Input is ignored: the program goes on waiting.
                 qt_test::post_click(0, 0);
                 qt_test::post_char('x');
                 return true;
             }},
        };
        result = example_test::run_example(stages);
    }
    static example_test::RunResult result;
};
example_test::RunResult ShapesExample::result;

TEST_F(ShapesExample, EndsWithStatusZeroOnQuit) {
    EXPECT_EQ(result.failed_stage, "");
    EXPECT_EQ(result.exit_status, 0);
    ASSERT_FALSE(picture.empty());
}

TEST_F(ShapesExample, ShowsEveryColourAsASwatchWithItsPaletteName) {
    ASSERT_FALSE(picture.empty());
    for (int colour = 0; colour < QELMA_COLOR_COUNT; ++colour) {
        SCOPED_TRACE(palette_names[colour]);
        const Call *swatch = nullptr;
        for (const Call &c : calls) {
            if (c.kind == RECTANGLE && c.width == 0 && c.color == colour) {
                swatch = &c;
                break;
            }
        }
        ASSERT_NE(swatch, nullptr) << "no filled box in this colour";
        int left = std::min(swatch->x1, swatch->x2), right = std::max(swatch->x1, swatch->x2);
        int bottom = std::min(swatch->y1, swatch->y2), top = std::max(swatch->y1, swatch->y2);
        EXPECT_GE(right - left, 10);
        EXPECT_GE(top - bottom, 10);
        // Still showing the colour at the end: nothing was drawn over it.
        EXPECT_EQ(pixel((left + right) / 2, (top + bottom) / 2), rgb_of(colour));
        EXPECT_TRUE(visible(left, top) && visible(right, bottom));

        // Its label: the palette's name, drawn once, beside the swatch.
        int labels = 0;
        for (const Call &c : calls) {
            if (c.kind == TEXT && c.text == palette_names[colour]) {
                ++labels;
                EXPECT_GT(c.x1, right);
                EXPECT_LT(c.x1, right + 30);
                EXPECT_GE(c.y1, bottom - 5);
                EXPECT_LE(c.y1, top + 5);
                EXPECT_GT(c.width, 0);
            }
        }
        EXPECT_EQ(labels, 1);
    }
}

// A filled shape shows its colour in its middle; an outline leaves its middle
// white and shows its colour on its edge.
TEST_F(ShapesExample, DrawsEachShapeKindFilledAndOutlined) {
    ASSERT_FALSE(picture.empty());
    std::set<std::pair<int, bool>> kinds; // (kind, filled)
    for (const Call &c : calls) {
        if (c.kind == TEXT) {
            continue;
        }
        bool filled = c.kind == CIRCLE || c.width == 0;
        kinds.insert({c.kind, filled});
        int cx = 0, cy = 0;
        if (c.kind == CIRCLE) {
            cx = c.x1;
            cy = c.y1;
        } else if (c.kind == TRIANGLE) {
            cx = (c.x1 + c.x2 + c.x3) / 3;
            cy = (c.y1 + c.y2 + c.y3) / 3;
        } else {
            cx = (c.x1 + c.x2) / 2;
            cy = (c.y1 + c.y2) / 2;
        }
        // Swatches and their frames are checked above; here the shapes.
        if (c.kind == RECTANGLE && std::abs(c.x2 - c.x1) < 40) {
            continue;
        }
        SCOPED_TRACE("shape of kind " + std::to_string(c.kind) + " at (" + std::to_string(cx) +
                     "," + std::to_string(cy) + ")");
        if (filled) {
            EXPECT_EQ(pixel(cx, cy), rgb_of(c.color));
        } else {
            EXPECT_EQ(pixel(cx, cy), rgb_of(QELMA_WHITE));
            if (c.kind != TRIANGLE) {
                int top = std::max(c.y1, c.y2);
                EXPECT_EQ(pixel(cx, top), rgb_of(c.color)) << "top edge";
            }
        }
    }
    for (CallKind kind : {RECTANGLE, OVAL, TRIANGLE}) {
        EXPECT_EQ(kinds.count({kind, true}), 1u) << "filled kind " << kind;
        EXPECT_EQ(kinds.count({kind, false}), 1u) << "outlined kind " << kind;
    }
    EXPECT_EQ(kinds.count({CIRCLE, true}), 1u);
}

TEST_F(ShapesExample, ShowsSeveralLineWidths) {
    std::set<int> widths;
    for (const Call &c : calls) {
        if (c.kind != TEXT && c.kind != CIRCLE && c.width > 0) {
            widths.insert(c.width);
        }
    }
    EXPECT_GE(widths.size(), 4u);
    // Each width is labelled with its number.
    for (int w : widths) {
        if (w == 3) {
            continue; // the outlined row says its width in its heading
        }
        bool labelled = false;
        for (const Call &c : calls) {
            labelled = labelled || (c.kind == TEXT && c.text == "width " + std::to_string(w));
        }
        EXPECT_TRUE(labelled) << "width " << w;
    }
}

// No call needs a correction, and everything starts inside the window.
TEST_F(ShapesExample, DrawsOnlyValidCallsInsideTheWindow) {
    ASSERT_FALSE(calls.empty());
    for (const Call &c : calls) {
        EXPECT_GE(c.color, 0);
        EXPECT_LT(c.color, QELMA_COLOR_COUNT);
        EXPECT_GE(c.width, 0);
        if (c.kind == TEXT) {
            EXPECT_GT(c.width, 0);
            EXPECT_LE(c.width, 127);
            EXPECT_TRUE(visible(c.x1, c.y1)) << c.text;
        } else if (c.kind == CIRCLE) {
            EXPECT_GE(c.x2, 0);
            EXPECT_TRUE(visible(c.x1 - c.x2, c.y1 + c.x2) && visible(c.x1 + c.x2, c.y1 - c.x2));
        } else {
            EXPECT_TRUE(visible(c.x1, c.y1) && visible(c.x2, c.y2));
            if (c.kind == TRIANGLE) {
                EXPECT_TRUE(visible(c.x3, c.y3));
            }
        }
    }
    for (const std::string &line : example_test::log_lines()) {
        EXPECT_EQ(line.find("not possible"), std::string::npos) << line;
        EXPECT_EQ(line.find("Illegal color"), std::string::npos) << line;
    }
}

} // namespace
