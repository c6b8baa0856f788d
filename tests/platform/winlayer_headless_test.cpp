// The Windows layer under the headless toolkit (platform/headless): its
// windows, menus, GDI objects, text placement and the presentation rule,
// checked without any window system.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "qelma/platform/headless/headless.h"
#include "qelma/platform/platform_inspect.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/menu_model.h"
#include "qelma/platform/winlayer/window_records.h"

namespace {

using headless::MENU_BAR_HEIGHT;
headless::Record &tk = headless::record();

}  // namespace

namespace {

struct Seen {
    unsigned message;
    PlatLParam lparam;
};
std::vector<Seen> seen;
PlatMenu attach_in_create = nullptr;

PlatResult proc(PlatWindow w, unsigned message, PlatWParam wparam, PlatLParam lparam) {
    seen.push_back(Seen{message, lparam});
    if (message == WM_CREATE && attach_in_create)
        plat_set_menu(w, attach_in_create);
    if (message == WM_CREATE && wparam == 0 && lparam == 0 && w->style == 1)
        return -1; // style 1: this test's way of refusing creation
    return plat_def_window_proc(w, message, wparam, lparam);
}

const char *headless_class() {
    static const bool registered =
        plat_register_class("Headless", proc, 0, plat_create_solid_brush(plat_rgb(1, 2, 3))) != 0;
    EXPECT_TRUE(registered);
    return "Headless";
}

std::vector<unsigned> messages() {
    std::vector<unsigned> m;
    for (const Seen &s : seen)
        m.push_back(s.message);
    return m;
}

TEST(WinLayerWindows, CreateSizeAndDestroyInWindowsOrder) {
    seen.clear();
    PlatMenu bar = plat_create_menu();
    attach_in_create = bar;
    PlatWindow w = plat_create_window(headless_class(), "t", 0, 0, 0, 300, 200);
    attach_in_create = nullptr;
    ASSERT_NE(w, nullptr);
    // WM_SIZE waits until WM_CREATE has returned, then gives the client area
    // below the menu bar attached meanwhile.
    ASSERT_EQ(messages(), (std::vector<unsigned>{WM_CREATE, WM_SIZE}));
    EXPECT_EQ(seen[1].lparam, 300 | ((200 - MENU_BAR_HEIGHT) << 16));
    EXPECT_EQ(plat_get_menu(w), bar);
    EXPECT_STREQ(winlayer::attach_refusal(bar, nullptr), "the menu bar already belongs to another window");
    // Class names are found without regard to case; a class registers once.
    EXPECT_EQ(plat_register_class("HEADLESS", proc, 0, nullptr), 0);
    PlatWindow other = plat_create_window("headLESS", "u", 0, 0, 0, 10, 10);
    ASSERT_NE(other, nullptr);
    // Destroying stops the window's timers, releases its paint context and
    // leaves a handle that every call refuses.
    plat_set_timer(w, 1, 100);
    plat_set_timer(w, 2, 100);
    EXPECT_EQ(tk.timers_running, 2);
    ASSERT_NE(plat_begin_paint(w), nullptr);
    seen.clear();
    EXPECT_EQ(plat_def_window_proc(w, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(messages(), (std::vector<unsigned>{WM_DESTROY}));
    EXPECT_EQ(tk.timers_running, 0);
    EXPECT_EQ(plat_get_dc(w), nullptr);
    EXPECT_EQ(plat_post_message(w, WM_USER, 0, 0), 0);
    plat_def_window_proc(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(messages().size(), 1u) << "destroyed once";
    // A procedure that refuses creation gets no window and no WM_SIZE.
    seen.clear();
    EXPECT_EQ(plat_create_window("Headless", "v", 1, 0, 0, 10, 10), nullptr);
    EXPECT_EQ(messages(), (std::vector<unsigned>{WM_CREATE, WM_DESTROY}));
    plat_def_window_proc(other, WM_CLOSE, 0, 0);
}

PlatColor client_pixel(PlatWindow w, int x, int y) {
    PlatDC dc = plat_get_dc(w);
    const PlatColor c = plat_get_pixel(dc, x, y);
    plat_release_dc(w, dc);
    return c;
}

TEST(WinLayerWindows, RepaintErasesWithTheClassBrushBeforePaint) {
    PlatWindow w = plat_create_window(headless_class(), "t", 0, 0, 0, 50, 50);
    ASSERT_NE(w, nullptr);
    seen.clear();
    // Our own drawing shown again: nothing owed, nothing sent.
    winlayer::repaint(w, false);
    EXPECT_TRUE(seen.empty());
    // Showing a hidden window owes a paint: erase, then WM_PAINT, once.
    plat_show_window(w, SW_SHOW);
    PlatDC dc = plat_get_dc(w);
    plat_rectangle(dc, 0, 0, 50, 50);
    seen.clear();
    winlayer::repaint(w, false);
    EXPECT_EQ(client_pixel(w, 10, 10), plat_rgb(1, 2, 3));
    EXPECT_EQ(messages(), (std::vector<unsigned>{WM_PAINT}));
    winlayer::repaint(w, false);
    EXPECT_EQ(messages().size(), 1u);
    // Invalidating asks the toolkit for a repaint, which then erases and paints.
    plat_rectangle(dc, 0, 0, 50, 50);
    tk.calls.clear();
    plat_invalidate(w);
    winlayer::repaint(w, false);
    EXPECT_EQ(tk.calls.front(), "update");
    EXPECT_EQ(client_pixel(w, 10, 10), plat_rgb(1, 2, 3));
    EXPECT_EQ(messages().size(), 2u);
    plat_release_dc(w, dc);
    plat_def_window_proc(w, WM_CLOSE, 0, 0);
}

// Headless is a real platform: a timer runs out on the clock and the wait
// sleeps until it does; a program that falls behind gets one tick, not a
// burst; a repaint owed is painted at the program's next look.
TEST(HeadlessPlatform, TimersRunOnTheClockAndTheWaitSleepsUntilOneIsDue) {
    using Clock = std::chrono::steady_clock;
    PlatWindow w = plat_create_window(headless_class(), "t", 0, 0, 0, 50, 50);
    ASSERT_NE(w, nullptr);
    PlatMsg msg{};
    seen.clear();
    plat_show_window(w, SW_SHOW);
    EXPECT_EQ(plat_peek_message(&msg), 0);
    EXPECT_EQ(messages(), (std::vector<unsigned>{WM_PAINT}));

    plat_set_timer(w, 7, 30);
    const Clock::time_point set = Clock::now();
    plat_wait_message();
    EXPECT_GE(Clock::now() - set, std::chrono::milliseconds(30));
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.message, unsigned{WM_TIMER});
    EXPECT_EQ(msg.wparam, 7u);
    // Busy for three periods: one tick waits, and the next is a period away.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.message, unsigned{WM_TIMER});
    EXPECT_EQ(plat_peek_message(&msg), 0);
    plat_kill_timer(w, 7);
    EXPECT_EQ(tk.timers_running, 0);
    plat_def_window_proc(w, WM_CLOSE, 0, 0);
}

TEST(WinLayerMenus, ChosenItemsPostTheirCommandToTheBarsWindow) {
    PlatWindow w = plat_create_window(headless_class(), "t", 0, 0, 0, 50, 50);
    PlatMenu bar = plat_create_menu();
    PlatMenu run = plat_create_popup_menu();
    plat_append_menu(run, MF_STRING, 7, "&Go");
    plat_append_menu(run, MF_SEPARATOR, 0, nullptr);
    plat_append_menu(run, MF_GRAYED, 8, "credit");
    plat_append_menu(bar, MF_POPUP, reinterpret_cast<std::uintptr_t>(run), "&Run");
    PlatMsg msg{};
    while (plat_peek_message(&msg)) {
    }
    // Not attached yet: choosing goes nowhere.
    winlayer::menu_chosen(run, 0);
    EXPECT_EQ(plat_peek_message(&msg), 0);
    plat_set_menu(w, bar);
    winlayer::menu_chosen(run, 0);
    winlayer::menu_chosen(run, 1); // the separator
    winlayer::menu_chosen(run, 2); // grayed
    winlayer::menu_chosen(run, 9); // no such item
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.window, w);
    EXPECT_EQ(msg.message, static_cast<unsigned>(WM_COMMAND));
    EXPECT_EQ(msg.wparam, 7u);
    EXPECT_EQ(plat_peek_message(&msg), 0);
    // A mark set by id through the bar reaches the toolkit's item.
    tk.calls.clear();
    EXPECT_EQ(plat_check_menu_item(bar, 8, MF_CHECKED), MF_UNCHECKED);
    EXPECT_EQ(tk.calls, (std::vector<std::string>{"checked credit"}));
    EXPECT_EQ(plat_get_menu_state(run, 2), MF_CHECKED | MF_GRAYED);
    // Removing the bar frees it for another window; a destroyed window's
    // commands are not posted.
    plat_set_menu(w, nullptr);
    EXPECT_EQ(winlayer::attach_refusal(bar, nullptr), nullptr);
    plat_set_menu(w, bar);
    plat_def_window_proc(w, WM_CLOSE, 0, 0);
    winlayer::menu_chosen(run, 0);
    EXPECT_EQ(plat_peek_message(&msg), 0);
}

TEST(WinLayerGdi, ObjectsLimitsAndSelectionRules) {
    PlatDC dc = plat_create_compatible_dc(nullptr);
    ASSERT_NE(dc, nullptr);
    // A new context's defaults are stock objects, shared by every context.
    PlatDC dc2 = plat_create_compatible_dc(nullptr);
    EXPECT_EQ(dc->pen, dc2->pen);
    EXPECT_EQ(dc->pen, plat_get_stock_object(BLACK_PEN));
    EXPECT_EQ(dc->bk_mode, OPAQUE);
    EXPECT_EQ(dc->bk_color, plat_rgb(255, 255, 255));
    // Font heights within the limit, in pixels whatever the sign; 0 is the default.
    PlatObject huge = plat_create_font(-2000000000, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, "f");
    PlatObject small = plat_create_font(12, 0, 0, 0, 5000, 0, 0, 0, 0, 0, 0, 0, 1, nullptr);
    PlatObject dflt = plat_create_font(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "");
    EXPECT_EQ(huge->font.pixels, PLAT_MAX_FONT_PIXELS);
    EXPECT_EQ(small->font.pixels, 12);
    EXPECT_EQ(small->font.weight, 900);
    EXPECT_TRUE(small->font.fixed);
    EXPECT_EQ(dflt->font.pixels, winlayer::DEFAULT_FONT_PIXELS);
    EXPECT_NE(huge->glyph_font, nullptr);
    // Pen widths within the limit.
    PlatObject wide = plat_create_pen(PS_SOLID, 1 << 30, 0);
    EXPECT_EQ(wide->pen_width, PLAT_MAX_PEN_WIDTH);
    PlatObject thin = plat_create_pen(PS_SOLID, -5, 0);
    EXPECT_EQ(thin->pen_width, 0);
    // A selected object is kept; once deselected it goes, and lets go of
    // its glyphs.
    PlatObject old = plat_select_object(dc, huge);
    EXPECT_EQ(plat_delete_object(huge), 0);
    EXPECT_EQ(plat_select_object(dc, old), huge);
    EXPECT_EQ(plat_delete_object(huge), 1);
    EXPECT_EQ(huge->glyph_font, nullptr);
    // A bitmap goes into one context at a time; huge ones are refused.
    PlatObject bitmap = plat_create_compatible_bitmap(dc, 8, 8);
    EXPECT_EQ(plat_create_compatible_bitmap(dc, 1 << 16, 1 << 16), nullptr);
    EXPECT_NE(plat_select_object(dc, bitmap), nullptr);
    EXPECT_EQ(plat_select_object(dc2, bitmap), nullptr);
    plat_delete_dc(dc);
    EXPECT_EQ(plat_delete_object(bitmap), 1);
    for (PlatObject o : {small, dflt, wide, thin})
        EXPECT_EQ(plat_delete_object(o), 1);
    // Stock objects are never deleted.
    EXPECT_EQ(plat_delete_object(plat_get_stock_object(NULL_PEN)), 1);
    EXPECT_NE(plat_select_object(dc2, plat_get_stock_object(NULL_PEN)), nullptr);
    plat_delete_dc(dc2);
}

} // namespace
