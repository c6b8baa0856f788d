// The event wait fed through the real message queue, and the windows.
#include "support/qelma_test.h"

using qt_test::next_event;
using qt_test::post_click;
using qt_test::post_tick;

TEST(Windows, TextWindowPlace) {
    WindowPlace a = text_window_place(800, 600);
    EXPECT_EQ(a.left, 0);
    EXPECT_EQ(a.top, 401);
    EXPECT_EQ(a.width, 800);
    EXPECT_EQ(a.height, 200);
    WindowPlace b = text_window_place(640, 700);
    EXPECT_EQ(b.top, 467);
    EXPECT_EQ(b.width, 640);
    EXPECT_EQ(b.height, 233);
}

TEST(Windows, AnimationRefusedBeforeTheSession) {
    ASSERT_EQ(session.graphics_window, nullptr);
    EXPECT_EQ(qelma_set_animation(QELMA_ANIMATE_RUN), 0);
    EXPECT_FALSE(session.animating);
}

class EventWait : public ::testing::Test {
  protected:
    void SetUp() override { qt_test::open_session(); }
};

TEST_F(EventWait, SessionOpensBothWindowsWithTheirGeometry) {
    ASSERT_NE(session.graphics_window, nullptr);
    EXPECT_TRUE(plat_is_window_visible(session.graphics_window));
    EXPECT_TRUE(plat_is_window_visible(session.text_window));
    PlatRect outer{};
    plat_get_window_rect(session.graphics_window, &outer);
    EXPECT_EQ(outer.right - outer.left, 601);
    EXPECT_EQ(outer.bottom - outer.top, 540);

    int w = 0, h = 0;
    plat_screen_size(&w, &h);
    WindowPlace place = text_window_place(w, h);
    PlatRect text{};
    plat_get_window_rect(session.text_window, &text);
    EXPECT_EQ(text.left, place.left);
    EXPECT_EQ(text.top, place.top);
    EXPECT_EQ(text.right - text.left, place.width);
    EXPECT_EQ(text.bottom - text.top, place.height);

    PlatRect client{};
    plat_get_client_rect(session.graphics_window, &client);
    EXPECT_LT(client.bottom, 540) << "the menu bar takes its share";
    EXPECT_EQ(session.origin_x, client.right / 2);
    EXPECT_EQ(session.origin_y, client.bottom / 2);
    EXPECT_NE(session.canvas_dc, nullptr);
}

TEST_F(EventWait, ClickInCanvasCoordinates) {
    post_click(10, 20);
    auto e = next_event();
    EXPECT_EQ(e.kind, QELMA_MOUSE);
    EXPECT_EQ(e.x, 10);
    EXPECT_EQ(e.y, 20);
    EXPECT_EQ(e.key, 0);

    // The mapping is taken from the client rectangle on each size message.
    session.origin_x = 297;
    session.origin_y = 250;
    plat_post_message(session.graphics_window, WM_LBUTTONDOWN, 0, 307 | (230 << 16));
    e = next_event();
    EXPECT_EQ(e.x, 10);
    EXPECT_EQ(e.y, 20);
    PlatMsg size{session.graphics_window, WM_SIZE, 0, 0};
    plat_dispatch_message(&size);
    PlatRect client{};
    plat_get_client_rect(session.graphics_window, &client);
    EXPECT_EQ(session.origin_x, client.right / 2);
}

TEST_F(EventWait, CharactersButNotWhileCtrlIsHeld) {
    qt_test::post_char('a');
    auto e = next_event();
    EXPECT_EQ(e.kind, QELMA_KBD);
    EXPECT_EQ(e.key, 97);
    EXPECT_EQ(e.x, 0);

    qt_test::post_key(WM_KEYDOWN, VK_CONTROL);
    qt_test::post_char(1);
    qt_test::post_key(WM_KEYUP, VK_CONTROL);
    qt_test::post_char(0xE9);
    e = next_event();
    EXPECT_EQ(e.kind, QELMA_KBD);
    EXPECT_EQ(e.key, 0xE9) << "the Ctrl character was ignored";
}

TEST_F(EventWait, PeriodicEventsComeAtTheNextTick) {
    qelma_set_animation(QELMA_ANIMATE_RUN);
    // The first tick was queued before the wait armed its periodic event: it
    // fell between two waits and is dropped. The second one delivers.
    post_tick();
    post_tick();
    EXPECT_EQ(next_event().kind, QELMA_PERIODIC);
    post_tick();
    post_click(0, 0);
    EXPECT_EQ(next_event().kind, QELMA_MOUSE) << "a tick queued before the wait armed is dropped";
    EXPECT_EQ(session.tick_pending, 0);
}

TEST_F(EventWait, ClickReplacesAnArmedPeriodicEvent) {
    qelma_set_animation(QELMA_ANIMATE_RUN);
    post_click(3, 4);
    EXPECT_EQ(next_event().kind, QELMA_MOUSE);
    qelma_set_animation(QELMA_ANIMATE_HALT);
    post_tick();
    post_click(5, 6);
    auto e = next_event();
    EXPECT_EQ(e.kind, QELMA_MOUSE) << "the replaced periodic event is not delivered later";
    EXPECT_EQ(e.x, 5);
}

TEST_F(EventWait, OneFrameGivesExactlyOnePeriodicEvent) {
    EXPECT_EQ(qelma_set_animation(QELMA_ANIMATE_ONE_FRAME), 1);
    post_tick();
    post_tick();
    post_click(1, 1);
    EXPECT_EQ(next_event().kind, QELMA_PERIODIC);
    EXPECT_EQ(next_event().kind, QELMA_MOUSE);
    post_tick();
    post_click(2, 2);
    EXPECT_EQ(next_event().kind, QELMA_MOUSE);
    EXPECT_FALSE(session.single_step);
}

TEST_F(EventWait, OtherModesChangeNothing) {
    // From both settings of the switches: a mode taken for halt, run, one
    // frame or quit changes one of them.
    for (bool on : {false, true}) {
        for (int mode : {3, 4, 6, 99, -1, -7}) {
            session.animating = on;
            session.single_step = on;
            EXPECT_EQ(qelma_set_animation(mode), 1) << mode;
            EXPECT_EQ(session.animating, on) << mode;
            EXPECT_EQ(session.single_step, on) << mode;
            EXPECT_FALSE(session.quit_requested) << mode;
        }
    }
}

TEST_F(EventWait, QuitModeTurnsEveryLaterEventIntoQuit) {
    qelma_set_animation(QELMA_ANIMATE_RUN);
    qelma_set_animation(QELMA_ANIMATE_QUIT);
    post_tick();
    post_tick();
    EXPECT_EQ(next_event().kind, QELMA_QUIT);
    qelma_set_animation(QELMA_ANIMATE_HALT);
    post_click(0, 0);
    EXPECT_EQ(next_event().kind, QELMA_QUIT);
}

TEST_F(EventWait, QuitMessageEndsTheWaitWithoutPresenting) {
    plat_post_quit_message(0);
    session.canvas_dirty = 1;
    EXPECT_EQ(next_event().kind, QELMA_QUIT);
    EXPECT_EQ(session.canvas_dirty, 1);
}

TEST_F(EventWait, MessagesBehindTheEventWaitForTheNextWait) {
    post_click(1, 2);
    post_click(3, 4);
    EXPECT_EQ(next_event().x, 1);
    EXPECT_EQ(next_event().x, 3);
}

// Pixel (c, r) of the drawing window's client area.
static PlatColor window_pixel(int c, int r) { return plat_get_pixel(session.window_dc, c, r); }

TEST_F(EventWait, DirtyCanvasIsPresentedAndRepaintShowsTheCanvasAsItIs) {
    qelma_set_logging(0);
    qelma_draw_rectangle(4, -300, 200, 300, -200, 0);
    post_click(0, 0);
    next_event();
    EXPECT_EQ(session.canvas_dirty, 0);
    EXPECT_EQ(window_pixel(session.origin_x, session.origin_y), plat_rgb(0, 0, 255));

    // Paint on the canvas behind the flag's back: only a repaint shows it.
    PlatObject brush = plat_create_solid_brush(plat_rgb(255, 0, 0));
    PlatObject old = plat_select_object(session.canvas_dc, brush);
    plat_rectangle(session.canvas_dc, 0, 0, 601, 540);
    plat_select_object(session.canvas_dc, old);
    plat_delete_object(brush);
    post_click(0, 0);
    next_event();
    EXPECT_EQ(window_pixel(session.origin_x, session.origin_y), plat_rgb(0, 0, 255));
    plat_invalidate(session.graphics_window);
    // Windows hands out WM_PAINT only when nothing else is queued: pump the
    // empty queue until the repaint has come (one pump on either backend,
    // a few more allowed for the system's own messages).
    for (int i = 0; i < 16 && window_pixel(session.origin_x, session.origin_y) !=
                                  plat_rgb(255, 0, 0);
         ++i) {
        pump_one_message();
    }
    EXPECT_EQ(window_pixel(session.origin_x, session.origin_y), plat_rgb(255, 0, 0));
}
