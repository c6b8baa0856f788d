// The Win32 backend through the seam alone: GDI's pixel rules on a memory
// context, the message queue, timers, menus, and what a window with a menu
// receives while it is created. Runs under Wine with a display (Xvfb).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <windows.h>

#include "qelma/platform/platform.h"
#include "qelma/platform/platform_inspect.h"
#include "platform_test.h"

namespace {

constexpr PlatColor BLACK = plat_rgb(0, 0, 0);
constexpr PlatColor WHITE = plat_rgb(255, 255, 255);
constexpr PlatColor RED = plat_rgb(255, 0, 0);
constexpr PlatColor BLUE = plat_rgb(0, 0, 255);

using plat_test::recorder;

// The messages of interest the test windows heard, in order.
std::vector<plat_test::Sent> heard() {
    std::vector<plat_test::Sent> of_interest;
    for (const plat_test::Sent &s : recorder.sent) {
        const unsigned m = s.message;
        if (m == WM_CREATE || m == WM_SIZE || m == WM_DESTROY || m == WM_CHAR || m == WM_TIMER ||
            m == WM_KILLFOCUS || m >= WM_USER)
            of_interest.push_back(s);
    }
    return of_interest;
}

PlatResult other_proc(PlatWindow, unsigned, PlatWParam, PlatLParam) {
    return 0;
}

void drain() {
    plat_test::dispatch_queue();
}

// A window of the game's size, with or without a menu bar, its record fresh.
PlatWindow make_window(bool with_menu) {
    recorder = plat_test::Recorder{};
    recorder.attach_menu = with_menu;
    return plat_test::make_window(WS_CAPTION | WS_SYSMENU, 601, 540);
}

using plat_test::close_window;

// A window, its context, and a memory context with a w x h bitmap in it.
struct Surface {
    PlatWindow window;
    PlatDC window_dc;
    PlatDC dc;
    PlatObject bitmap;
    PlatObject old_bitmap;
};

Surface make_surface(int w, int h) {
    Surface s{};
    s.window = make_window(false);
    s.window_dc = plat_get_dc(s.window);
    s.dc = plat_create_compatible_dc(s.window_dc);
    s.bitmap = plat_create_compatible_bitmap(s.window_dc, w, h);
    s.old_bitmap = plat_select_object(s.dc, s.bitmap);
    return s;
}

void free_surface(Surface &s) {
    plat_select_object(s.dc, s.old_bitmap);
    plat_delete_object(s.bitmap);
    plat_delete_dc(s.dc);
    plat_release_dc(s.window, s.window_dc);
    close_window(s.window);
}

// The smallest box holding every pixel that is not black.
PlatRect lit_box(PlatDC dc, int w, int h) {
    PlatRect box{w, h, -1, -1};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (plat_get_pixel(dc, x, y) != BLACK) {
                box.left = x < box.left ? x : box.left;
                box.top = y < box.top ? y : box.top;
                box.right = x > box.right ? x : box.right;
                box.bottom = y > box.bottom ? y : box.bottom;
            }
        }
    }
    return box;
}

// Selects a one-pixel pen and a solid brush of colour c; returns the previous
// pen and brush through old_pen and old_brush.
void select_solid(PlatDC dc, PlatColor c, PlatObject *pen, PlatObject *brush, PlatObject *old_pen,
                  PlatObject *old_brush) {
    *pen = plat_create_pen(PS_SOLID, 0, c);
    *brush = plat_create_solid_brush(c);
    *old_pen = plat_select_object(dc, *pen);
    *old_brush = plat_select_object(dc, *brush);
}

void unselect(PlatDC dc, PlatObject pen, PlatObject brush, PlatObject old_pen,
              PlatObject old_brush) {
    plat_select_object(dc, old_pen);
    plat_select_object(dc, old_brush);
    plat_delete_object(pen);
    plat_delete_object(brush);
}

// ------------------------------------------------------------------ GDI

TEST(Win32Gdi, NewBitmapIsBlackAndContextHasDefaults) {
    Surface s = make_surface(40, 30);
    ASSERT_NE(s.dc, nullptr);
    ASSERT_NE(s.bitmap, nullptr);
    EXPECT_EQ(lit_box(s.dc, 40, 30).right, -1) << "a new bitmap has a lit pixel";
    EXPECT_EQ(plat_get_bk_mode(s.dc), OPAQUE);
    EXPECT_EQ(plat_get_bk_color(s.dc), WHITE);
    EXPECT_EQ(plat_set_text_color(s.dc, RED), BLACK);
    EXPECT_EQ(plat_get_pixel(s.dc, 40, 0), 0xFFFFFFFFu);
    EXPECT_EQ(plat_get_pixel(s.dc, -1, 5), 0xFFFFFFFFu);
    free_surface(s);
}

TEST(Win32Gdi, UnitRectangleSetsOnePixel) {
    Surface s = make_surface(20, 20);
    PlatObject pen, brush, old_pen, old_brush;
    select_solid(s.dc, RED, &pen, &brush, &old_pen, &old_brush);
    EXPECT_EQ(plat_rectangle(s.dc, 5, 7, 6, 8), 1);
    unselect(s.dc, pen, brush, old_pen, old_brush);
    PlatRect box = lit_box(s.dc, 20, 20);
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.top, 7);
    EXPECT_EQ(box.right, 5);
    EXPECT_EQ(box.bottom, 7);
    EXPECT_EQ(plat_get_pixel(s.dc, 5, 7), RED);

    // The same for an ellipse, and for a box given right to left.
    plat_select_object(s.dc, plat_get_stock_object(BLACK_PEN));
    plat_ellipse(s.dc, 12, 3, 13, 4);
    plat_rectangle(s.dc, 5, 7, 6, 8);
    EXPECT_EQ(plat_get_pixel(s.dc, 12, 3), BLACK) << "the black pen drew in another colour";
    select_solid(s.dc, BLUE, &pen, &brush, &old_pen, &old_brush);
    plat_ellipse(s.dc, 13, 4, 12, 3);
    unselect(s.dc, pen, brush, old_pen, old_brush);
    EXPECT_EQ(plat_get_pixel(s.dc, 12, 3), BLUE);
    box = lit_box(s.dc, 20, 20);
    EXPECT_EQ(box.left, 12);
    EXPECT_EQ(box.top, 3);
    EXPECT_EQ(box.right, 12);
    EXPECT_EQ(box.bottom, 3);
    free_surface(s);
}

TEST(Win32Gdi, OutlineLeavesOutRightColumnAndBottomRow) {
    Surface s = make_surface(30, 30);
    // A one-pixel outline with a hollow inside: the box 3..13 x 4..14 shows
    // its outline on columns 3 and 13, rows 4 and 14.
    PlatObject pen = plat_create_pen(PS_SOLID, 0, BLUE);
    PlatObject old_pen = plat_select_object(s.dc, pen);
    PlatObject old_brush = plat_select_object(s.dc, plat_get_stock_object(NULL_BRUSH));
    plat_rectangle(s.dc, 3, 4, 14, 15);
    plat_select_object(s.dc, old_pen);
    plat_select_object(s.dc, old_brush);
    plat_delete_object(pen);
    PlatRect box = lit_box(s.dc, 30, 30);
    EXPECT_EQ(box.left, 3);
    EXPECT_EQ(box.top, 4);
    EXPECT_EQ(box.right, 13);
    EXPECT_EQ(box.bottom, 14);
    EXPECT_EQ(plat_get_pixel(s.dc, 8, 9), BLACK) << "the hollow brush filled the inside";
    EXPECT_EQ(plat_get_pixel(s.dc, 13, 14), BLUE);
    free_surface(s);
}

TEST(Win32Gdi, NullPenFillLeavesRightColumnAndBottomRow) {
    Surface s = make_surface(20, 20);
    // The text window clears its bottom strip this way: the fill covers
    // columns left .. right - 2 and rows top .. bottom - 2.
    PlatObject brush = plat_create_solid_brush(WHITE);
    PlatObject old_brush = plat_select_object(s.dc, brush);
    PlatObject old_pen = plat_select_object(s.dc, plat_get_stock_object(NULL_PEN));
    plat_rectangle(s.dc, 2, 3, 10, 12);
    plat_select_object(s.dc, old_pen);
    plat_select_object(s.dc, old_brush);
    plat_delete_object(brush);
    PlatRect box = lit_box(s.dc, 20, 20);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.top, 3);
    EXPECT_EQ(box.right, 8);
    EXPECT_EQ(box.bottom, 10);
    free_surface(s);
}

TEST(Win32Gdi, EllipseAndPolygonStayInTheirBoxes) {
    Surface s = make_surface(40, 40);
    PlatObject pen, brush, old_pen, old_brush;
    select_solid(s.dc, RED, &pen, &brush, &old_pen, &old_brush);
    // A circle of radius 5 about (15, 15), as the renderer asks for it.
    plat_ellipse(s.dc, 10, 10, 21, 21);
    PlatRect box = lit_box(s.dc, 40, 40);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.right, 20);
    EXPECT_EQ(box.bottom, 20);
    EXPECT_EQ(plat_get_pixel(s.dc, 15, 15), RED);
    EXPECT_EQ(plat_get_pixel(s.dc, 10, 10), BLACK) << "a corner of the box is outside the circle";

    PlatPoint triangle[3] = {{25, 30}, {35, 30}, {30, 25}};
    plat_rectangle(s.dc, 0, 0, 0, 0);
    EXPECT_EQ(plat_polygon(s.dc, triangle, 3), 1);
    for (const PlatPoint &p : triangle) {
        EXPECT_EQ(plat_get_pixel(s.dc, p.x, p.y), RED) << "corner " << p.x << "," << p.y;
    }
    EXPECT_EQ(plat_get_pixel(s.dc, 30, 31), BLACK);
    EXPECT_EQ(plat_polygon(s.dc, nullptr, 3), 0);
    EXPECT_EQ(plat_polygon(s.dc, triangle, 1), 0);
    unselect(s.dc, pen, brush, old_pen, old_brush);
    free_surface(s);
}

TEST(Win32Gdi, HugeBoxesDrawAtOnce) {
    Surface s = make_surface(40, 40);
    PlatObject pen, brush, old_pen, old_brush;
    select_solid(s.dc, RED, &pen, &brush, &old_pen, &old_brush);
    // Millions of pixels high: still drawn, without taking minutes.
    EXPECT_EQ(plat_ellipse(s.dc, 20 - (1 << 24), 20 - (1 << 24), 20 + (1 << 24), 20 + (1 << 24)),
              1);
    EXPECT_EQ(plat_get_pixel(s.dc, 20, 20), RED);
    EXPECT_EQ(plat_get_pixel(s.dc, 0, 39), RED);
    unselect(s.dc, pen, brush, old_pen, old_brush);
    select_solid(s.dc, BLUE, &pen, &brush, &old_pen, &old_brush);
    EXPECT_EQ(plat_rectangle(s.dc, -2000000000, 10, 2000000000, 2000000000), 1);
    unselect(s.dc, pen, brush, old_pen, old_brush);
    EXPECT_EQ(plat_get_pixel(s.dc, 0, 9), RED);
    EXPECT_EQ(plat_get_pixel(s.dc, 0, 10), BLUE) << "the huge box lost its top edge";
    EXPECT_EQ(plat_get_pixel(s.dc, 39, 39), BLUE);
    free_surface(s);
}

TEST(Win32Gdi, TextCellStartsAtItsTopLeftCorner) {
    Surface s = make_surface(120, 80);
    PlatObject font = plat_create_font(-20, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "QELMA-font");
    ASSERT_NE(font, nullptr);
    PlatObject old_font = plat_select_object(s.dc, font);
    int height = 0;
    int leading = -1;
    EXPECT_EQ(plat_get_text_metrics(s.dc, &height, &leading), 1);
    EXPECT_GE(height, 20) << "a negative height asks for the character height";
    EXPECT_GE(leading, 0);
    int cx = 0;
    int cy = 0;
    EXPECT_EQ(plat_get_text_extent_point(s.dc, "HH", 2, &cx, &cy), 1);
    EXPECT_EQ(cy, height);
    EXPECT_GT(cx, 0);

    plat_set_text_color(s.dc, WHITE);
    int old_mode = plat_set_bk_mode(s.dc, TRANSPARENT);
    EXPECT_EQ(old_mode, OPAQUE);
    EXPECT_EQ(plat_text_out(s.dc, 10, 30, "HH", 2), 1);
    PlatRect box = lit_box(s.dc, 120, 80);
    ASSERT_NE(box.right, -1) << "the text drew nothing";
    EXPECT_GE(box.left, 10);
    EXPECT_GE(box.top, 30);
    EXPECT_LT(box.right, 10 + cx);
    EXPECT_LT(box.bottom, 30 + cy);
    EXPECT_EQ(plat_get_pixel(s.dc, 10, 30), BLACK) << "a transparent background was painted";

    // Opaque again: the whole cell takes the background colour.
    plat_set_bk_mode(s.dc, old_mode);
    plat_text_out(s.dc, 10, 0, "H", 1);
    EXPECT_EQ(plat_get_pixel(s.dc, 10, 0), WHITE);
    plat_select_object(s.dc, old_font);
    plat_delete_object(font);

    EXPECT_EQ(plat_text_out(s.dc, 0, 0, nullptr, 3), 0);
    EXPECT_EQ(plat_get_text_extent_point(s.dc, "x", -1, &cx, &cy), 0);
    EXPECT_EQ(cx, 0);
    EXPECT_EQ(cy, 0);
    free_surface(s);
}

TEST(Win32Gdi, ScrollAndCopyMoveWholePixels) {
    Surface s = make_surface(20, 20);
    PlatObject pen, brush, old_pen, old_brush;
    select_solid(s.dc, RED, &pen, &brush, &old_pen, &old_brush);
    plat_rectangle(s.dc, 5, 10, 6, 11);
    unselect(s.dc, pen, brush, old_pen, old_brush);
    EXPECT_EQ(plat_scroll_dc(s.dc, 0, -4), 1);
    EXPECT_EQ(plat_get_pixel(s.dc, 5, 6), RED);

    Surface copy = make_surface(20, 20);
    EXPECT_EQ(plat_bit_blt(copy.dc, 0, 0, 20, 20, s.dc, 0, 0, SRCCOPY), 1);
    EXPECT_EQ(plat_get_pixel(copy.dc, 5, 6), RED);
    PlatRect box = lit_box(copy.dc, 20, 20);
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.top, 6);
    EXPECT_EQ(box.right, 5);
    EXPECT_EQ(box.bottom, 6);
    free_surface(copy);
    free_surface(s);
}

// ------------------------------------------------------------------ queue

TEST(Win32Queue, PostedMessagesLeaveInOrder) {
    PlatWindow w = make_window(false);
    drain();
    for (unsigned i = 1; i <= 3; ++i) {
        EXPECT_EQ(plat_post_message(w, WM_USER + i, 10 * i, -static_cast<PlatLParam>(i)), 1);
    }
    PlatMsg msg{};
    for (unsigned i = 1; i <= 3; ++i) {
        ASSERT_EQ(plat_peek_message(&msg), 1);
        EXPECT_EQ(msg.window, w);
        EXPECT_EQ(msg.message, WM_USER + i);
        EXPECT_EQ(msg.wparam, 10 * i);
        EXPECT_EQ(msg.lparam, -static_cast<PlatLParam>(i));
    }
    EXPECT_EQ(plat_peek_message(&msg), 0);

    recorder.result = 1234;
    plat_post_message(w, WM_USER, 0, 0);
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(plat_dispatch_message(&msg), 1234) << "dispatch returns the procedure's result";
    close_window(w);
}

TEST(Win32Queue, TranslatedCharacterComesFirst) {
    PlatWindow w = make_window(false);
    drain();
    const PlatLParam a_down = 1 | (0x1E << 16); // repeat 1, scan code of A
    plat_post_message(w, WM_KEYDOWN, 'A', a_down);
    plat_post_message(w, WM_USER + 7, 0, 0);
    PlatMsg msg{};
    ASSERT_EQ(plat_peek_message(&msg), 1);
    ASSERT_EQ(msg.message, static_cast<unsigned>(WM_KEYDOWN));
    plat_translate_message(&msg);
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.message, static_cast<unsigned>(WM_CHAR));
    EXPECT_EQ(msg.wparam, static_cast<PlatWParam>('a'));
    EXPECT_EQ(msg.window, w);
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.message, WM_USER + 7u);

    // A waiting character is taken at once: the wait does not block.
    plat_post_message(w, WM_KEYDOWN, '4', 1 | (0x05 << 16));
    ASSERT_EQ(plat_peek_message(&msg), 1);
    plat_translate_message(&msg);
    plat_wait_message();
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.message, static_cast<unsigned>(WM_CHAR));
    EXPECT_EQ(msg.wparam, static_cast<PlatWParam>('4'));
    plat_dispatch_message(&msg);
    ASSERT_FALSE(heard().empty());
    EXPECT_EQ(heard().back().message, static_cast<unsigned>(WM_CHAR));
    EXPECT_EQ(plat_peek_message(&msg), 0);
    close_window(w);
}

TEST(Win32Queue, QuitComesAfterWhatWasPostedBefore) {
    PlatWindow w = make_window(false);
    drain();
    plat_post_message(w, WM_USER + 1, 0, 0);
    plat_post_quit_message(7);
    PlatMsg msg{};
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.message, WM_USER + 1u);
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.message, static_cast<unsigned>(WM_QUIT));
    EXPECT_EQ(msg.wparam, 7u);
    EXPECT_EQ(msg.window, nullptr);
    EXPECT_EQ(plat_peek_message(&msg), 0);
    close_window(w);
}

// Takes messages until a tick of timer id arrives, waiting in between, for
// at most about two seconds; false then.
bool next_tick_within(unsigned id, PlatMsg *msg) {
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
        while (plat_peek_message(msg)) {
            if (msg->message == WM_TIMER && msg->wparam == id) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

TEST(Win32Queue, TimerTicksDoNotPileUp) {
    PlatWindow w = make_window(false);
    drain();
    plat_set_timer(w, 2, 10);
    PlatMsg msg{};
    ASSERT_TRUE(next_tick_within(2, &msg)) << "the timer never ticked";
    EXPECT_EQ(msg.window, w);
    // Six periods or more pass, by the clock, while nothing is taken: at
    // most one tick waits, and the timer goes on ticking.
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(60)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    int ticks = 0;
    while (plat_peek_message(&msg)) {
        ticks += msg.message == WM_TIMER && msg.wparam == 2 ? 1 : 0;
    }
    EXPECT_LE(ticks, 1);
    if (ticks == 0) {
        EXPECT_TRUE(next_tick_within(2, &msg)) << "the timer stopped ticking";
    }
    plat_kill_timer(w, 2);
    close_window(w);
}

// ------------------------------------------------------------------ menus

TEST(Win32Menu, ChecksByCommandAndTextsByPosition) {
    PlatMenu bar = plat_create_menu();
    PlatMenu run = plat_create_popup_menu();
    ASSERT_NE(run, nullptr);
    EXPECT_EQ(plat_append_menu(run, MF_STRING, 1, "&Animate\tCtrl+A"), 1);
    EXPECT_EQ(plat_append_menu(run, MF_SEPARATOR, 0, nullptr), 1);
    EXPECT_EQ(plat_append_menu(run, MF_CHECKED, 4, "&Logging\tCtrl+L"), 1);
    EXPECT_EQ(plat_append_menu(run, MF_GRAYED, 9, "credits"), 1);
    EXPECT_EQ(plat_append_menu(bar, MF_POPUP, reinterpret_cast<std::uintptr_t>(run), "&Run"), 1);

    EXPECT_EQ(plat_get_menu_item_count(bar), 1);
    EXPECT_EQ(plat_get_menu_item_count(run), 4);
    EXPECT_EQ(plat_get_sub_menu(bar, 0), run);
    EXPECT_EQ(plat_get_menu_state(bar, 0), MF_POPUP) << "the pop-up's item count leaked in";
    EXPECT_EQ(plat_get_menu_state(run, 0), 0);
    EXPECT_EQ(plat_get_menu_state(run, 1), MF_SEPARATOR);
    EXPECT_EQ(plat_get_menu_state(run, 2), MF_CHECKED);
    EXPECT_EQ(plat_get_menu_state(run, 3), MF_GRAYED);
    EXPECT_EQ(plat_get_menu_state(run, 4), -1);
    EXPECT_EQ(plat_get_menu_item_id(run, 2), 4u);

    char text[64];
    EXPECT_EQ(plat_get_menu_string(run, 0, text, sizeof text), 15);
    EXPECT_STREQ(text, "&Animate\tCtrl+A");
    plat_get_menu_string(bar, 0, text, sizeof text);
    EXPECT_STREQ(text, "&Run");
    char small[4] = {'x', 'x', 'x', 'x'};
    plat_get_menu_string(run, 2, small, sizeof small);
    EXPECT_STREQ(small, "&Lo") << "a short buffer is cut and terminated";
    std::strcpy(text, "stale");
    EXPECT_EQ(plat_get_menu_string(run, 9, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(plat_get_menu_string(run, 0, nullptr, 0), 15) << "the length it needs";

    EXPECT_EQ(plat_check_menu_item(run, 4, MF_UNCHECKED), MF_CHECKED);
    EXPECT_EQ(plat_get_menu_state(run, 2), 0);
    EXPECT_EQ(plat_check_menu_item(run, 1, MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(plat_get_menu_state(run, 0), MF_CHECKED);
    EXPECT_EQ(plat_check_menu_item(run, 77, MF_CHECKED), -1);
}

// ------------------------------------------------------------------ windows

TEST(Win32Window, MenuWindowGetsCreateAndSizeWithClientBelowMenu) {
    PlatWindow plain = make_window(false);
    ASSERT_NE(plain, nullptr);
    ASSERT_EQ(heard().size(), 2u) << "a window without a menu missed WM_CREATE or WM_SIZE";
    EXPECT_EQ(heard()[1].message, static_cast<unsigned>(WM_SIZE));
    PlatRect plain_client{};
    plat_get_client_rect(plain, &plain_client);

    PlatWindow w = make_window(true);
    ASSERT_NE(w, nullptr);
    // Both came before plat_create_window returned.
    ASSERT_GE(heard().size(), 2u);
    EXPECT_EQ(heard()[0].message, static_cast<unsigned>(WM_CREATE));
    bool sized = false;
    for (const plat_test::Sent &m : heard()) {
        sized = sized || m.message == WM_SIZE;
    }
    EXPECT_TRUE(sized);
    EXPECT_EQ(plat_get_menu(w), recorder.menu_made);
    EXPECT_EQ(plat_is_window_visible(w), 0) << "the window must start hidden";

    PlatRect outer{};
    plat_get_window_rect(w, &outer);
    EXPECT_EQ(outer.right - outer.left, 601);
    EXPECT_EQ(outer.bottom - outer.top, 540);
    PlatRect client{};
    plat_get_client_rect(w, &client);
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, plat_test::last_size_client().right) << "the last WM_SIZE saw another size";
    EXPECT_EQ(client.bottom, plat_test::last_size_client().bottom) << "the last WM_SIZE saw another size";
    EXPECT_EQ(client.right, plain_client.right);
    EXPECT_LT(client.bottom, plain_client.bottom) << "the menu bar took no room";
    EXPECT_LT(client.right, 601);

    EXPECT_EQ(plat_show_window(w, SW_SHOW), 0);
    EXPECT_EQ(plat_is_window_visible(w), 1);
    EXPECT_NE(plat_show_window(w, SW_SHOW), 0);
    drain();
    plat_get_client_rect(w, &client);
    EXPECT_EQ(client.bottom, plat_test::last_size_client().bottom);
    plat_invalidate(w);
    drain();
    EXPECT_GE(recorder.paints, 1);
    EXPECT_EQ(recorder.foreign, 0) << "the procedure heard messages outside the seam";

    close_window(w);
    close_window(plain);
}

TEST(Win32Window, PaintTakenWithoutDispatchLeavesTheQueue) {
    PlatWindow w = make_window(false);
    plat_show_window(w, SW_SHOW);
    drain();
    recorder.paints = 0;
    plat_invalidate(w);
    // Windows would hand out the same WM_PAINT for ever; through the seam a
    // taken message is gone, so this loop ends.
    PlatMsg msg{};
    int paints = 0;
    int taken = 0;
    while (taken < 1000 && plat_peek_message(&msg)) {
        ++taken;
        paints += msg.message == WM_PAINT ? 1 : 0;
    }
    EXPECT_LT(taken, 1000) << "WM_PAINT never left the queue";
    EXPECT_GE(paints, 1);
    EXPECT_EQ(recorder.paints, 0);
    close_window(w);
}

// A key another program posts carries a scan code as the keyboard's own do
// and leaves the key state alone: Ctrl is then told by the key messages. A
// window that loses the keyboard hears so.
TEST(Win32Window, PostedKeysLeaveCtrlToTheKeyMessagesAndFocusLossIsHeard) {
    PlatWindow a = make_window(false), b = make_window(false);
    plat_show_window(b, SW_SHOW);
    plat_show_window(a, SW_SHOW);
    drain();
    EXPECT_EQ(plat_key_ctrl_state(0x00100001), -1); // Q, with its scan code
    recorder.sent.clear();
    SetFocus(reinterpret_cast<HWND>(b));
    EXPECT_EQ(heard().at(0).message, static_cast<unsigned>(WM_KILLFOCUS));
    close_window(a);
    close_window(b);
}

TEST(Win32Window, ClassRegistersOnceAndClosedWindowsAreInert) {
    EXPECT_EQ(plat_register_class(plat_test::recording_class(), other_proc, 0, nullptr), 0);
    EXPECT_EQ(plat_register_class(nullptr, other_proc, 0, nullptr), 0);
    EXPECT_EQ(plat_register_class("SeamNoProcedure", nullptr, 0, nullptr), 0);
    PlatWindow w = make_window(false);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(heard().at(0).message, static_cast<unsigned>(WM_CREATE))
        << "the first procedure was replaced";
    close_window(w);
    EXPECT_EQ(heard().back().message, static_cast<unsigned>(WM_DESTROY));

    // The handle is gone now: every call does nothing.
    PlatRect r{1, 2, 3, 4};
    plat_get_client_rect(w, &r);
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(r.bottom, 0);
    EXPECT_EQ(plat_post_message(w, WM_USER, 0, 0), 0);
    EXPECT_EQ(plat_is_window_visible(w), 0);
    EXPECT_EQ(plat_get_dc(w), nullptr);
    EXPECT_EQ(plat_create_window("NoSuchClass", "x", WS_CAPTION, 0, 0, 10, 10), nullptr);
}

} // namespace
