// Web backend, page and windows: the translation table between the Windows
// layer (winlayer/) and a web page, compiled with Emscripten.
//
// Each window is a panel of the page (title, menu bar drawn as HTML from the
// menu model, a canvas of the client size); the page script (qelma_web.js)
// makes the elements and feeds clicks, keys, menu choices and timer expiries
// back through the exported qelma_web_* functions. The client area's pixels
// live in the layer; the rows it says to show reach the canvas.
//
// Waiting hands the thread back to the browser (ASYNCIFY): the program sleeps
// on a promise that the next input or timer expiry resolves, so a waiting
// program costs the page nothing; a program that never waits still gives the
// browser a turn now and then.
// Leaves out: child windows, moving and sizing windows, minimise, maximise.
// Departs from Windows: a panel has no frame, so the client area is the outer
// size asked for less the menu bar's height (WEB_MENU_BAR_HEIGHT); output
// streams are flushed whenever the program waits with nothing to do; and
// WM_ENDSESSION comes whenever the page may not run again (hidden, frozen,
// left) or saves the program's script for the user.
#include "qelma/platform/winlayer/menu_model.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/toolkit.h"
#include "qelma/platform/winlayer/window_records.h"

#include <emscripten.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// What the page keeps for one window (PlatWindowImpl::toolkit).
struct WebWindow {
    int id = 0;               // the panel's number on the page
    int x = 0, y = 0;         // the outer rectangle asked for
    int outer_w = 0, outer_h = 0;
    bool visible = false;
    bool update_asked = false; // a repaint is owed
    bool close_asked = false;  // the page asked to close it
};

// Height of a panel's menu bar (the page draws it at exactly this height),
// taken from the client area as a menu bar takes it on Windows.
inline constexpr int WEB_MENU_BAR_HEIGHT = 20;

static void tk_window_show_rows(PlatWindow w, int top, int bottom);

namespace {

std::vector<PlatWindow> &windows = *new std::vector<PlatWindow>;

WebWindow *web_of(PlatWindow w) {
    return static_cast<WebWindow *>(w->toolkit);
}

double last_yield_ms = 0;

// clang-format off
EM_JS(void, js_window_create, (int id, const char *title, int w, int h), {
    Module.qelmaPage.windowCreate(id, UTF8ToString(title), w, h);
});
EM_JS(void, js_window_show, (int id, int show), { Module.qelmaPage.windowShow(id, !!show); });
EM_JS(void, js_window_gone, (int id), { Module.qelmaPage.windowShow(id, false); });
EM_JS(void, js_present, (int id, const void *rgba, int w, int h, int top, int rows), {
    Module.qelmaPage.present(id, HEAPU8.subarray(rgba, rgba + w * rows * 4), w, h, top, rows);
});
EM_JS(void, js_show_later, (int id, int ms), { Module.qelmaPage.showLater(id, ms); });
EM_JS(void, js_menu, (int id, const char *model), {
    Module.qelmaPage.menu(id, model ? JSON.parse(UTF8ToString(model)) : null);
});
EM_JS(void, js_timer_start, (void *timer, int ms), { Module.qelmaPage.timerStart(timer, ms); });
EM_JS(void, js_timer_stop, (void *timer), { Module.qelmaPage.timerStop(timer); });
EM_JS(int, js_screen_width, (), { return Module.qelmaPage.screenWidth(); });
EM_JS(int, js_screen_height, (), { return screen.height | 0; });
EM_ASYNC_JS(void, js_wait, (int ticks_wake), { await Module.qelmaPage.nextWake(ticks_wake); });
// clang-format on

std::string quoted(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// The menu model as JSON for the page: items with their text (mnemonic '&'
// and tab-separated shortcut label kept), flags, and the menu and index to
// report when chosen.
std::string menu_json(PlatMenu menu) {
    std::string out = "[";
    for (std::size_t i = 0; i < menu->items.size(); i++) {
        const winlayer::MenuItem &item = menu->items[i];
        if (i)
            out += ",";
        out += "{\"text\":" + quoted(item.text) + ",\"menu\":" +
               std::to_string(reinterpret_cast<std::uintptr_t>(menu)) + ",\"index\":" +
               std::to_string(i) + ",\"separator\":" + ((item.flags & MF_SEPARATOR) ? "true" : "false") +
               ",\"checked\":" + ((item.flags & MF_CHECKED) ? "true" : "false") +
               ",\"grayed\":" + ((item.flags & MF_GRAYED) ? "true" : "false");
        if ((item.flags & MF_POPUP) && item.popup)
            out += ",\"items\":" + menu_json(item.popup);
        out += "}";
    }
    return out + "]";
}

// The bar a menu belongs to, through its parents.
PlatMenu top_of(PlatMenu menu) {
    while (menu && menu->parent)
        menu = menu->parent;
    return menu;
}

void show_menu_of(PlatWindow w) {
    if (!winlayer::window_ok(w))
        return;
    if (w->menu)
        js_menu(web_of(w)->id, menu_json(w->menu).c_str());
    else
        js_menu(web_of(w)->id, nullptr);
}

void menu_changed(PlatMenu menu) {
    PlatMenu bar = top_of(menu);
    if (bar && winlayer::window_ok(bar->window))
        show_menu_of(bar->window);
}

void repaint_pending() {
    for (PlatWindow w : windows) {
        WebWindow *q = web_of(w);
        if (q->update_asked && winlayer::window_ok(w)) {
            q->update_asked = false;
            winlayer::repaint(w, false);
            tk_window_show_rows(w, 0, w->surface.height);
        }
    }
}

// Tells the layer the client size: the outer size less the menu bar.
void sync_client_size(PlatWindow w) {
    WebWindow *q = web_of(w);
    const int bar = w->menu ? WEB_MENU_BAR_HEIGHT : 0;
    winlayer::client_size(w, std::max(q->outer_w, 0), std::max(q->outer_h - bar, 0));
}

PlatWindow window_by_id(int id) {
    if (id < 0 || static_cast<std::size_t>(id) >= windows.size())
        return nullptr;
    PlatWindow w = windows[static_cast<std::size_t>(id)];
    return winlayer::window_ok(w) ? w : nullptr;
}

} // namespace

// ------------------------------------------------------ showing the pixels

// The canvas takes bytes R, G, B, A; the layer's pixels are 0xFFRRGGBB.
static void tk_window_show_rows(PlatWindow w, int top, int bottom) {
    static std::vector<std::uint32_t> &rgba = *new std::vector<std::uint32_t>;
    const raster::Surface &s = w->surface;
    rgba.resize(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(bottom - top));
    std::uint32_t *out = rgba.data();
    for (int y = top; y < bottom; ++y) {
        const std::uint32_t *row = s.pixels.data() + static_cast<std::size_t>(y) * s.width;
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t p = row[x];
            *out++ = (p & 0xFF00FF00u) | (p >> 16 & 0xFFu) | (p & 0xFFu) << 16;
        }
    }
    js_present(web_of(w)->id, rgba.data(), s.width, s.height, top, bottom - top);
}

static void tk_show_later(PlatWindow w, int ms) {
    js_show_later(web_of(w)->id, ms);
}

static int tk_refresh_ms(PlatWindow) {
    return 16;
}

// ---------------------------------------------------- from the page script

extern "C" {

EMSCRIPTEN_KEEPALIVE void qelma_web_mouse(int id, unsigned message, int x, int y) {
    if (PlatWindow w = window_by_id(id))
        winlayer::input(w, message, 0, winlayer::pack_point(x, y));
}

// ctrl: the key event's ctrlKey, Ctrl as this key was pressed or released.
EMSCRIPTEN_KEEPALIVE void qelma_web_key(int id, unsigned vk, unsigned typed, int down, int repeat,
                                        int ctrl) {
    if (PlatWindow w = window_by_id(id))
        winlayer::input(w, down ? WM_KEYDOWN : WM_KEYUP, vk,
                        winlayer::key_lparam(typed & 0xFF, down != 0, repeat != 0, ctrl != 0));
}

EMSCRIPTEN_KEEPALIVE void qelma_web_menu(std::uintptr_t menu_address, int index) {
    // Only a menu the layer knows, and an item it has, is reported.
    PlatMenu menu = reinterpret_cast<PlatMenu>(menu_address);
    if (!winlayer::menu_known(menu) || index < 0 ||
        static_cast<std::size_t>(index) >= menu->items.size())
        return;
    winlayer::menu_chosen(menu, static_cast<std::size_t>(index));
}

EMSCRIPTEN_KEEPALIVE void qelma_web_close(int id) {
    if (PlatWindow w = window_by_id(id))
        web_of(w)->close_asked = true;
}

EMSCRIPTEN_KEEPALIVE void qelma_web_show_due(int id) {
    if (PlatWindow w = window_by_id(id))
        winlayer::show_due(w);
}

// Whether the tick ends the program's wait: the page wakes the program only then.
EMSCRIPTEN_KEEPALIVE int qelma_web_timer(void *timer) {
    winlayer::timer_expired(static_cast<winlayer::Timer *>(timer));
    return winlayer::wait_over() ? 1 : 0;
}

// The page is hidden, frozen or going away, and the program may never run
// again, or the page saves a file of the program's for the user: each
// window hears WM_ENDSESSION, as at the end of a Windows session (a
// recording writes its pending periodic run), and what the output streams
// hold reaches the files, as a program that ends writes it on a desktop.
EMSCRIPTEN_KEEPALIVE void qelma_web_flush() {
    for (PlatWindow w : windows) {
        if (winlayer::window_ok(w))
            winlayer::send(w, WM_ENDSESSION, 1, 0);
    }
    std::fflush(nullptr);
}

} // extern "C"

// ---------------------------------------------------------- application

// The program's first 50 ms without a wait count from its start, not from
// the page's: a program that peeks before it first waits is not sent to
// sleep at once (which, under a page clock that stands still, as in tests
// that let ticks through one by one, would be for ever).
static void tk_init() {
    last_yield_ms = emscripten_get_now();
}

static bool tk_ready() {
    return true;
}

// Close requests run the window procedure, so they are handled on the
// program's own turn, not inside the page's event handler.
static void page_requests() {
    for (PlatWindow w : windows) {
        if (winlayer::window_ok(w) && web_of(w)->close_asked) {
            web_of(w)->close_asked = false;
            winlayer::close_requested(w);
        }
    }
}

static void tk_process_events(bool wait) {
    page_requests();
    repaint_pending();
    const double now = emscripten_get_now();
    if (wait && !winlayer::wait_over()) {
        // A page can go away without a word (a crash, a browser that does
        // not report leaving): lines written before the program sleeps
        // reach the folder, which saves them.
        std::fflush(nullptr);
        js_wait(winlayer::ticks_end_wait() ? 1 : 0);
        last_yield_ms = emscripten_get_now();
    } else if (now - last_yield_ms > 50) {
        // A program that only peeks still lets the page draw and take input.
        emscripten_sleep(0);
        last_yield_ms = emscripten_get_now();
    }
    page_requests();
    repaint_pending();
}

static void tk_timer_start(winlayer::Timer *t) {
    t->toolkit_timer = t;
    js_timer_start(t, static_cast<int>(t->period_ms));
}

static void tk_timer_stop(winlayer::Timer *t) {
    js_timer_stop(t);
}

// ------------------------------------------------------------- windows

static void tk_window_create(PlatWindow win, const char *title, int x, int y, int w, int h) {
    WebWindow *q = new WebWindow();
    q->id = static_cast<int>(windows.size());
    win->toolkit = q;
    windows.push_back(win);
    q->x = x;
    q->y = y;
    q->outer_w = std::max(w, 0);
    q->outer_h = std::max(h, 0);
    js_window_create(q->id, title, q->outer_w, q->outer_h);
    sync_client_size(win);
}

static void tk_window_relayout(PlatWindow w) {
    sync_client_size(w);
}

static void tk_window_destroyed(PlatWindow w) {
    WebWindow *q = web_of(w);
    q->visible = false;
    js_window_gone(q->id);
}

static bool tk_window_visible(PlatWindow w) {
    return web_of(w)->visible;
}

static void tk_window_show(PlatWindow w, bool show) {
    WebWindow *q = web_of(w);
    q->visible = show;
    js_window_show(q->id, show ? 1 : 0);
    sync_client_size(w);
    if (show)
        tk_window_show_rows(w, 0, w->surface.height);
}

static void tk_window_outer_rect(PlatWindow w, PlatRect *rect) {
    const WebWindow *q = web_of(w);
    *rect = PlatRect{q->x, q->y, q->x + q->outer_w, q->y + q->outer_h};
}

static void tk_screen_size(int *width, int *height) {
    *width = js_screen_width();
    *height = js_screen_height();
}

static void tk_window_update(PlatWindow w) {
    web_of(w)->update_asked = true;
}

static void tk_window_menu_bar(PlatWindow w, PlatMenu) {
    show_menu_of(w);
    tk_window_relayout(w);
}

static void tk_menu_bar_update(PlatMenu menu) {
    menu_changed(menu);
}

// --------------------------------------------------------------- menus

static bool tk_menu_created(PlatMenu) {
    return true;
}

static void tk_menu_item_added(PlatMenu menu, std::size_t) {
    menu_changed(menu);
}

static void tk_menu_item_checked(PlatMenu menu, std::size_t) {
    menu_changed(menu);
}

// ------------------------------------------------------------ the table

static const Toolkit WEB_TOOLKIT = {
    "web", tk_init, tk_ready, tk_process_events,
    tk_window_create, tk_window_relayout, tk_window_destroyed, tk_window_visible,
    tk_window_show, tk_window_outer_rect, tk_screen_size, tk_window_update,
    tk_window_menu_bar, tk_menu_bar_update,
    tk_window_show_rows, tk_show_later, tk_refresh_ms,
    tk_timer_start, tk_timer_stop,
    tk_menu_created, tk_menu_item_added, tk_menu_item_checked,
};

const Toolkit &native_toolkit() { return WEB_TOOLKIT; }
