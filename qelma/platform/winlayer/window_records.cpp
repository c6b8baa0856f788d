// Window classes and windows as USER keeps them, for every backend but Win32
// (see window_records.h); the toolkit makes and shows the real windows (toolkit.h).
#include "qelma/platform/winlayer/window_records.h"

#include "qelma/platform/platform_inspect.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/menu_model.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <algorithm>
#include <strings.h>
#include <vector>

namespace winlayer {
namespace {

// Registered classes and every window ever made, never freed (see
// PlatWindowImpl); never destroyed either, so no static destructor runs
// before the leak checker.
std::vector<WindowClass *> &classes = *new std::vector<WindowClass *>;
std::vector<PlatWindowImpl *> &windows = *new std::vector<PlatWindowImpl *>;

const WindowClass *find_class(const char *name) {
    for (const WindowClass *c : classes)
        if (strcasecmp(c->name.c_str(), name) == 0)
            return c;
    return nullptr;
}

void destroy_window(PlatWindow w) {
    if (!window_ok(w) || w->destroying)
        return;
    w->destroying = true;
    send(w, WM_DESTROY, 0, 0);
    kill_window_timers(w, tk().timer_stop);
    if (w->paint_dc) {
        plat_release_dc(w, w->paint_dc);
        w->paint_dc = nullptr;
    }
    w->alive = false;
    winlayer::tk().window_destroyed(w);
    w->surface = raster::Surface();
}

} // namespace

PlatResult send(PlatWindow w, unsigned message, PlatWParam wparam, PlatLParam lparam) {
    if (!window_ok(w) || !w->cls->proc)
        return 0;
    return w->cls->proc(w, message, wparam, lparam);
}

PlatLParam pack_point(int x, int y) {
    return static_cast<PlatLParam>((static_cast<unsigned>(x) & 0xFFFFu) |
                                   ((static_cast<unsigned>(y) & 0xFFFFu) << 16));
}

void client_size(PlatWindow w, int width, int height) {
    if (!window_ok(w))
        return;
    width = std::clamp(width, 0, MAX_WINDOW_SIDE);
    height = std::clamp(height, 0, MAX_WINDOW_SIDE);
    raster::Surface &s = w->surface;
    if (s.width != width || s.height != height) {
        // What stays inside is kept, the rest takes the class background.
        if (!s.resize(width, height, w->cls->background)) {
            warn("window: no memory for a client area of %d x %d", width, height);
            s = raster::Surface();
        }
        surface_drawn(w, 0, s.height);
    }
    if (w->creating || (s.width == w->sent_w && s.height == w->sent_h))
        return;
    width = s.width;
    height = s.height;
    w->sent_w = width;
    w->sent_h = height;
    send(w, WM_SIZE, 0, pack_point(width, height));
}

void close_requested(PlatWindow w) {
    send(w, WM_CLOSE, 0, 0);
}

void focus_lost(PlatWindow w) {
    send(w, WM_KILLFOCUS, 0, 0);
}

void repaint(PlatWindow w, bool toolkit_asked) {
    if (!window_ok(w) || !(w->paint_pending || toolkit_asked))
        return;
    w->paint_pending = false;
    w->painting = true;
    raster::fill_rect(w->surface, 0, 0, w->surface.width, w->surface.height, w->cls->background);
    send(w, WM_PAINT, 0, 0);
    w->painting = false;
    forget_unshown(w); // the toolkit shows the whole client area next
}

} // namespace winlayer

using namespace winlayer;

int plat_register_class(const char *class_name, PlatWndProc proc, unsigned class_style,
                        PlatObject background_brush) {
    if (!class_name || !*class_name || !proc) {
        warn("register_class: a class needs a name and a procedure");
        return 0;
    }
    if (find_class(class_name)) {
        warn("register_class: class \"%s\" already exists", class_name);
        return 0;
    }
    // The colour is read now, so deleting the brush later changes nothing.
    classes.push_back(new WindowClass{class_name, proc, class_style,
                                      brush_color(background_brush, plat_rgb(255, 255, 255)),
                                      background_brush});
    return static_cast<int>(classes.size());
}

PlatWindow plat_create_window(const char *class_name, const char *title, unsigned long style, int x,
                              int y, int w, int h) {
    if (!winlayer::tk().ready())
        return nullptr;
    const WindowClass *cls = class_name ? find_class(class_name) : nullptr;
    if (!cls) {
        warn("create_window: no class \"%s\"", class_name ? class_name : "(null)");
        return nullptr;
    }
    if (w < 0 || h < 0 || w > MAX_WINDOW_SIDE || h > MAX_WINDOW_SIDE) {
        warn("create_window: size %d x %d clamped to 0..%d", w, h, MAX_WINDOW_SIDE);
        w = std::clamp(w, 0, MAX_WINDOW_SIDE);
        h = std::clamp(h, 0, MAX_WINDOW_SIDE);
    }
    PlatWindowImpl *win = new PlatWindowImpl();
    windows.push_back(win);
    win->alive = true;
    win->creating = true;
    win->cls = cls;
    win->style = style;
    win->sent_w = win->sent_h = -1;
    win->shown_at_ms = -1e9; // the first picture is shown at once
    winlayer::tk().window_create(win, title ? title : "", x, y, w, h);
    if (send(win, WM_CREATE, 0, 0) == -1) {
        // The procedure refused the window, as CreateWindow allows.
        win->creating = false;
        destroy_window(win);
        return nullptr;
    }
    if (!window_ok(win))
        return nullptr;
    win->creating = false;
    winlayer::tk().window_relayout(win);
    return win;
}

int plat_show_window(PlatWindow window, int show_command) {
    if (!window_ok(window))
        return 0;
    const int was_visible = winlayer::tk().window_visible(window) ? 1 : 0;
    if (show_command != SW_HIDE && !was_visible)
        window->paint_pending = true; // the first paint of a shown window is the toolkit's
    winlayer::tk().window_show(window, show_command != SW_HIDE);
    if (show_command != SW_HIDE && !was_visible)
        forget_unshown(window); // the toolkit shows the whole client area as it appears
    return was_visible;
}

int plat_is_window_visible(PlatWindow window) {
    return window_ok(window) && winlayer::tk().window_visible(window) ? 1 : 0;
}

void plat_get_client_rect(PlatWindow window, PlatRect *rect) {
    if (!rect)
        return;
    *rect = PlatRect{0, 0, 0, 0};
    if (window_ok(window)) {
        rect->right = window->surface.width;
        rect->bottom = window->surface.height;
    }
}

void plat_get_window_rect(PlatWindow window, PlatRect *rect) {
    if (!rect)
        return;
    *rect = PlatRect{0, 0, 0, 0};
    if (window_ok(window))
        winlayer::tk().window_outer_rect(window, rect);
}

void plat_screen_size(int *width, int *height) {
    int sw = 0, sh = 0;
    if (winlayer::tk().ready())
        winlayer::tk().screen_size(&sw, &sh);
    if (width)
        *width = sw;
    if (height)
        *height = sh;
}

void plat_invalidate(PlatWindow window) {
    if (!window_ok(window))
        return;
    window->paint_pending = true;
    winlayer::tk().window_update(window);
}

PlatResult plat_def_window_proc(PlatWindow window, unsigned message, PlatWParam wparam,
                                PlatLParam lparam) {
    (void)wparam, (void)lparam;
    if (message == WM_CLOSE)
        destroy_window(window);
    return 0;
}

PlatResult plat_dispatch_message(const PlatMsg *msg) {
    if (!msg || msg->message == WM_QUIT)
        return 0;
    return send(msg->window, msg->message, msg->wparam, msg->lparam);
}

void plat_set_menu(PlatWindow window, PlatMenu menu) {
    if (!window_ok(window))
        return;
    if (const char *refusal = attach_refusal(menu, window)) {
        warn("set_menu: %s", refusal);
        return;
    }
    if (menu == window->menu)
        return;
    if (window->menu)
        set_menu_window(window->menu, nullptr);
    window->menu = menu;
    if (menu)
        set_menu_window(menu, window);
    winlayer::tk().window_menu_bar(window, menu);
}

PlatMenu plat_get_menu(PlatWindow window) {
    return window_ok(window) ? window->menu : nullptr;
}

void plat_draw_menu_bar(PlatWindow window) {
    if (window_ok(window) && window->menu)
        winlayer::tk().menu_bar_update(window->menu);
}

PlatDC plat_begin_paint(PlatWindow window) {
    if (!window_ok(window))
        return nullptr;
    window->paint_pending = false;
    if (!window->paint_dc)
        window->paint_dc = plat_get_dc(window);
    return window->paint_dc;
}

void plat_end_paint(PlatWindow window) {
    if (!window_ok(window) || !window->paint_dc)
        return;
    plat_release_dc(window, window->paint_dc);
    window->paint_dc = nullptr;
}
