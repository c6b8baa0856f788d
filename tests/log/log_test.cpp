// The message log ring, the logging switch and the text window.
#include <algorithm>
#include <string>
#include <vector>

#include "support/qelma_test.h"

// The ring tests run before any session exists: the ring works on its own.
TEST(LogRing, KeepsTheLast25Lines) {
    ASSERT_EQ(session.graphics_window, nullptr);
    EXPECT_EQ(session.log_first, -1);
    EXPECT_EQ(qelma_log_count(), 0);
    for (int i = 1; i <= 25; ++i) {
        EXPECT_EQ(qelma_log_printf("line %d\n", i), i < 10 ? 7 : 8);
    }
    EXPECT_EQ(session.log_first, 0);
    EXPECT_EQ(session.log_next, 0);
    EXPECT_EQ(qelma_log_count(), 25);
    EXPECT_STREQ(qelma_log_line(0), "line 1\n");

    qelma_log_printf("line %d\n", 26);
    EXPECT_EQ(session.log_first, 1);
    EXPECT_EQ(session.log_next, 1);
    EXPECT_STREQ(qelma_log_line(0), "line 2\n");
    EXPECT_STREQ(qelma_log_line(24), "line 26\n");

    for (int i = 27; i <= 80; ++i) {
        qelma_log_printf("line %d\n", i);
    }
    EXPECT_EQ(qelma_log_count(), 25);
    EXPECT_STREQ(qelma_log_line(0), "line 56\n");
    EXPECT_STREQ(qelma_log_line(24), "line 80\n");
    EXPECT_EQ(qelma_log_line(25), nullptr);
}

TEST(LogRing, EmptyAndLongLines) {
    EXPECT_EQ(qelma_log_printf("%s", ""), 0);
    EXPECT_STREQ(qelma_log_line(qelma_log_count() - 1), "");

    std::string big(5000, 'q');
    EXPECT_EQ(qelma_log_printf("<%s>\n", big.c_str()), 5003);
    EXPECT_EQ(qt_test::last_log_line(), "<" + big + ">\n") << "longer text grows, not cut";

    // Beyond the limit a line is cut, and the result still says how long
    // the whole text would have been.
    std::string huge(LOG_LINE_LIMIT + 100, 'z');
    EXPECT_EQ(qelma_log_printf("%s", huge.c_str()), static_cast<int>(huge.size()));
    EXPECT_EQ(qt_test::last_log_line(), huge.substr(0, LOG_LINE_LIMIT));
}

TEST(LogSwitch, RefusedWithoutASession) {
    ASSERT_EQ(session.graphics_window, nullptr);
    session.logging_on = false;
    EXPECT_EQ(qelma_set_logging(1), 0);
    EXPECT_FALSE(session.logging_on);
    session.logging_on = true;
}

class TextWindow : public ::testing::Test {
  protected:
    void SetUp() override { qt_test::open_session(); }
};

static bool logging_marked() {
    for (int pos = 0; pos < plat_get_menu_item_count(session.run_menu); ++pos) {
        if (plat_get_menu_item_id(session.run_menu, pos) == CMD_LOGGING) {
            return (plat_get_menu_state(session.run_menu, pos) & MF_CHECKED) != 0;
        }
    }
    ADD_FAILURE() << "the Run menu has no Logging item";
    return false;
}

TEST_F(TextWindow, LoggingSwitchSetsMarkAndShowsTheWindow) {
    qelma_show_log_window(0);
    EXPECT_FALSE(plat_is_window_visible(session.text_window));
    ASSERT_TRUE(logging_marked());
    EXPECT_EQ(qelma_set_logging(0), 1);
    EXPECT_FALSE(session.logging_on);
    EXPECT_FALSE(logging_marked());
    EXPECT_FALSE(plat_is_window_visible(session.text_window)) << "off neither shows nor hides";
    EXPECT_EQ(qelma_set_logging(5), 1);
    EXPECT_TRUE(session.logging_on);
    EXPECT_TRUE(logging_marked());
    EXPECT_TRUE(plat_is_window_visible(session.text_window));
    EXPECT_NE(qelma_show_log_window(1), 0) << "it was visible";
}

// The text window's client area and line height: the stock fixed-pitch
// font's height plus its external leading.
struct TextGeometry {
    PlatRect client;
    int h;
};

static TextGeometry text_geometry() {
    TextGeometry g{};
    plat_get_client_rect(session.text_window, &g.client);
    PlatDC dc = plat_get_dc(session.text_window);
    PlatObject old = plat_select_object(dc, plat_get_stock_object(ANSI_FIXED_FONT));
    int height = 0, leading = 0;
    plat_get_text_metrics(dc, &height, &leading);
    plat_select_object(dc, old);
    plat_release_dc(session.text_window, dc);
    g.h = height + leading;
    return g;
}

// The pixels of the bottom `rows` rows of the client area, row by row. The
// last column is left out: the strip is cleared with a rectangle drawn
// without a pen, which leaves its right column alone, as GDI's does.
static std::vector<PlatColor> bottom_rows(PlatDC dc, const PlatRect &r, int rows) {
    std::vector<PlatColor> pixels;
    for (int y = r.bottom - rows; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right - 1; ++x) {
            pixels.push_back(plat_get_pixel(dc, x, y));
        }
    }
    return pixels;
}

static std::vector<PlatColor> window_bottom_rows(int rows) {
    PlatRect r{};
    plat_get_client_rect(session.text_window, &r);
    PlatDC dc = plat_get_dc(session.text_window);
    std::vector<PlatColor> pixels = bottom_rows(dc, r, rows);
    plat_release_dc(session.text_window, dc);
    return pixels;
}

// Fills the bottom `rows` rows of the text window with black, so that what a
// line does not paint over stays visible.
static void blacken_bottom(int rows) {
    PlatRect r{};
    plat_get_client_rect(session.text_window, &r);
    PlatDC dc = plat_get_dc(session.text_window);
    PlatObject brush = plat_create_solid_brush(plat_rgb(0, 0, 0));
    PlatObject old_brush = plat_select_object(dc, brush);
    plat_rectangle(dc, r.left, r.bottom - rows, r.right + 1, r.bottom + 1);
    plat_select_object(dc, old_brush);
    plat_delete_object(brush);
    plat_release_dc(session.text_window, dc);
}

// What the bottom `rows` rows must show after `lines` (oldest first), made
// from the rule on a surface of its own: the k-th line from the bottom has
// its cell's top-left corner at (left + 5, bottom - k h) on a cleared (white)
// strip, drawn without one trailing newline, in the fixed-pitch font's
// default black on white.
static std::vector<PlatColor> rule_bottom_rows(const std::vector<std::string> &lines, int rows) {
    TextGeometry g = text_geometry();
    const int width = g.client.right - g.client.left;
    const int height = g.client.bottom - g.client.top;
    PlatDC window_dc = plat_get_dc(session.text_window);
    PlatDC dc = plat_create_compatible_dc(window_dc);
    PlatObject bitmap = plat_create_compatible_bitmap(window_dc, width, height);
    plat_release_dc(session.text_window, window_dc);
    PlatObject old_bitmap = plat_select_object(dc, bitmap);
    PlatObject white = plat_create_solid_brush(plat_rgb(255, 255, 255));
    PlatObject old_brush = plat_select_object(dc, white);
    PlatObject old_pen = plat_select_object(dc, plat_get_stock_object(NULL_PEN));
    plat_rectangle(dc, 0, 0, width + 1, height + 1);
    PlatObject old_font = plat_select_object(dc, plat_get_stock_object(ANSI_FIXED_FONT));
    const int n = static_cast<int>(lines.size());
    for (int k = 1; k <= n; ++k) {
        std::string text = lines[static_cast<std::size_t>(n - k)];
        if (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        plat_text_out(dc, g.client.left + 5, g.client.bottom - k * g.h, text.c_str(),
                      static_cast<int>(text.size()));
    }
    std::vector<PlatColor> pixels = bottom_rows(dc, PlatRect{0, 0, width, height}, rows);
    plat_select_object(dc, old_font);
    plat_select_object(dc, old_pen);
    plat_select_object(dc, old_brush);
    plat_delete_object(white);
    plat_select_object(dc, old_bitmap);
    plat_delete_object(bitmap);
    plat_delete_dc(dc);
    return pixels;
}

// How many rows of the two pictures differ, for a readable failure.
static int differing_rows(const std::vector<PlatColor> &a, const std::vector<PlatColor> &b,
                          int width) {
    int rows = 0;
    for (std::size_t start = 0; start + width <= a.size() && start + width <= b.size();
         start += static_cast<std::size_t>(width)) {
        rows += std::equal(a.begin() + static_cast<long>(start),
                           a.begin() + static_cast<long>(start) + width,
                           b.begin() + static_cast<long>(start))
                    ? 0
                    : 1;
    }
    return rows;
}

TEST_F(TextWindow, EachLineScrollsOneLineAndDrawsAtTheBottom) {
    const TextGeometry g = text_geometry();
    ASSERT_GT(g.h, 0);
    const int width = g.client.right - g.client.left - 1;
    // Newlines: one trailing newline is dropped, a second one is drawn as a
    // character, an inner one starts no window line; an empty line scrolls.
    const std::vector<std::string> lines = {"first line of the test\n", "ends in two newlines\n\n",
                                            "",
                                            "inner\nnewline\n", "no newline at all",
                                            "WWWW 1234 last\n"};
    const int rows = static_cast<int>(lines.size()) * g.h;
    ASSERT_LE(rows, g.client.bottom - g.client.top);
    // Black under the first line's strip: the scroll moves it up line by line,
    // and each exposed strip must be cleared before its line is drawn.
    blacken_bottom(g.h);
    for (const std::string &line : lines) {
        qelma_log_printf("%s", line.c_str());
    }
    const std::vector<PlatColor> expected = rule_bottom_rows(lines, rows);
    const std::vector<PlatColor> shown = window_bottom_rows(rows);
    EXPECT_EQ(differing_rows(shown, expected, width), 0);
    // The black moved up by one line height per line and is still there.
    const std::vector<PlatColor> above = window_bottom_rows(rows + g.h);
    EXPECT_EQ(above[static_cast<std::size_t>(width) / 2], plat_rgb(0, 0, 0));

    // An empty line alone moves everything up by one line and draws nothing.
    qelma_log_printf("%s", "");
    std::vector<std::string> with_empty = lines;
    with_empty.push_back("");
    EXPECT_EQ(differing_rows(window_bottom_rows(rows + g.h), rule_bottom_rows(with_empty, rows + g.h),
                             width),
              0);
}

TEST_F(TextWindow, RepaintReplaysTheRingOldestFirst) {
    for (int i = 1; i <= 30; ++i) {
        qelma_log_printf("line number %d of the ring\n", i);
    }
    const TextGeometry g = text_geometry();
    ASSERT_GT(g.h, 0);
    const int width = g.client.right - g.client.left - 1;
    const int shown_lines = std::min(LOG_RING_SIZE, (g.client.bottom - g.client.top) / g.h);
    const int rows = shown_lines * g.h;
    std::vector<std::string> ring;
    for (int i = 0; i < qelma_log_count(); ++i) {
        ring.emplace_back(qelma_log_line(i));
    }
    ASSERT_EQ(ring.size(), 25u);
    EXPECT_EQ(ring.front(), "line number 6 of the ring\n");
    const std::vector<PlatColor> expected = rule_bottom_rows(ring, rows);

    // Black over everything: only the replay can bring the lines back.
    blacken_bottom(g.client.bottom - g.client.top);
    ASSERT_NE(window_bottom_rows(rows), expected);
    plat_invalidate(session.text_window);
    // The repaint comes when the queue is empty: one step on either backend,
    // a few more allowed for the system's own messages.
    for (int i = 0; i < 16 && window_bottom_rows(rows) != expected; ++i) {
        pump_one_message();
    }
    EXPECT_EQ(differing_rows(window_bottom_rows(rows), expected, width), 0)
        << "the replay shows the 25 stored lines, oldest first, the newest at the bottom";
}

TEST_F(TextWindow, KeyMessagesArePassedToTheDrawingWindow) {
    // A Ctrl key-down sent to the text window ends up setting the drawing
    // window's Ctrl record, so the shortcuts work from both windows.
    ASSERT_FALSE(session.animating);
    plat_post_message(session.text_window, WM_KEYDOWN, VK_CONTROL, 0);
    plat_post_message(session.text_window, WM_KEYDOWN, 'A', 0);
    plat_post_message(session.text_window, WM_KEYUP, VK_CONTROL, 0);
    // Each key message is posted on behind what is queued, and a real
    // TranslateMessage also makes a character of the 'A': take, translate
    // and dispatch until the queue is empty.
    PlatMsg m{};
    for (int i = 0; i < 1000 && plat_peek_message(&m); ++i) {
        plat_translate_message(&m);
        plat_dispatch_message(&m);
    }
    EXPECT_TRUE(session.animating) << "Ctrl+A from the text window started animation";
    EXPECT_EQ(session.ctrl_down, 0);
}

TEST_F(TextWindow, CharacterTypedThereComesOutAsAKeyboardEvent) {
    // The 2 key as the system posts it: repeat count 1 and the key's scan
    // code; a key-up also has the previous-state and transition bits.
    const PlatLParam down = 1 | (0x03 << 16);
    const PlatLParam up = down | (PlatLParam{3} << 30);
    plat_post_message(session.text_window, WM_KEYDOWN, '2', down);
    plat_post_message(session.text_window, WM_KEYUP, '2', up);
    qt_test::Event e = qt_test::next_event();
    EXPECT_EQ(e.kind, QELMA_KBD);
    EXPECT_EQ(e.key, '2');
    EXPECT_EQ(e.x, 0);
    EXPECT_EQ(e.y, 0);
    // Nothing else came of the key: the next event is the click behind it.
    qt_test::post_click(4, 5);
    e = qt_test::next_event();
    EXPECT_EQ(e.kind, QELMA_MOUSE);
    EXPECT_EQ(e.x, 4);
}
