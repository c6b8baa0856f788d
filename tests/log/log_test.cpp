// The message log ring, the logging switch and the text window.
#include <string>

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

TEST_F(TextWindow, LoggingSwitchSetsMarkAndShowsTheWindow) {
    qelma_show_log_window(0);
    EXPECT_FALSE(plat_is_window_visible(session.text_window));
    EXPECT_EQ(qelma_set_logging(0), 1);
    EXPECT_FALSE(session.logging_on);
    EXPECT_FALSE(plat_is_window_visible(session.text_window)) << "off neither shows nor hides";
    EXPECT_EQ(qelma_set_logging(5), 1);
    EXPECT_TRUE(session.logging_on);
    EXPECT_TRUE(plat_is_window_visible(session.text_window));
    EXPECT_NE(qelma_show_log_window(1), 0) << "it was visible";
}

// The text window's bottom rows, read back.
static std::string window_rows(PlatWindow w, int rows) {
    PlatRect r{};
    plat_get_client_rect(w, &r);
    PlatDC dc = plat_get_dc(w);
    std::string pixels;
    for (int y = r.bottom - rows; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right && x < 400; ++x) {
            PlatColor c = plat_get_pixel(dc, x, y);
            pixels.push_back(c == plat_rgb(255, 255, 255) ? '.' : '#');
        }
    }
    plat_release_dc(w, dc);
    return pixels;
}

TEST_F(TextWindow, RepaintReplaysTheRingOldestFirst) {
    for (int i = 1; i <= 26; ++i) {
        qelma_log_printf("line number %d of the ring\n", i);
    }
    PlatDC dc = plat_get_dc(session.text_window);
    plat_select_object(dc, plat_get_stock_object(ANSI_FIXED_FONT));
    int h = 0, leading = 0;
    plat_get_text_metrics(dc, &h, &leading);
    plat_release_dc(session.text_window, dc);
    h += leading;
    ASSERT_GT(h, 0);

    std::string before = window_rows(session.text_window, 3 * h);
    EXPECT_NE(before.find('#'), std::string::npos) << "the lines were drawn";
    qelma_log_printf("something else\n");
    EXPECT_NE(window_rows(session.text_window, 3 * h), before);

    // After the repaint the window shows lines 3..27 again, the newest at the
    // bottom, exactly as if they had just been written.
    plat_invalidate(session.text_window);
    qt_test::post_click(0, 0);
    qt_test::next_event();
    std::string replayed = window_rows(session.text_window, 3 * h);
    std::string last[3] = {qelma_log_line(22), qelma_log_line(23), qelma_log_line(24)};
    for (const std::string &line : last) {
        qelma_log_printf("%s", line.c_str());
    }
    std::string fresh = window_rows(session.text_window, 3 * h);
    EXPECT_EQ(replayed, fresh);
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
