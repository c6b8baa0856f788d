// The headless toolkit: the smallest complete toolkit under the Windows layer
// (winlayer/toolkit.h), and the worked example for a new backend. It has no
// screen and no input; everything else, the pixels and the letters included,
// is the layer's. A real toolkit does the same things with its windows and
// its event loop where this one keeps records.
#include "qelma/platform/headless/headless.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/menu_model.h"
#include "qelma/platform/winlayer/toolkit.h"
#include "qelma/platform/winlayer/window_records.h"

#include <algorithm>

namespace headless {

Record &record() {
    static Record &r = *new Record;
    return r;
}

namespace {

// What the toolkit keeps for one window (PlatWindowImpl::toolkit).
struct Window {
    int outer_w = 0, outer_h = 0;
    bool visible = false;
};

Window &window_of(PlatWindow w) { return *static_cast<Window *>(w->toolkit); }

// The client area is the outer size less the menu bar, reported to the layer.
void report_size(PlatWindow w) {
    const Window &k = window_of(w);
    winlayer::client_size(w, k.outer_w, std::max(0, k.outer_h - (w->menu ? MENU_BAR_HEIGHT : 0)));
}

void trace(std::string call) { record().calls.push_back(std::move(call)); }

} // namespace
} // namespace headless

using headless::record;
using headless::trace;
using headless::window_of;

// ------------------------------------------------------------ the toolkit

void tk_init() {}
bool tk_ready() { return true; }
// Input and expiries would arrive here; this toolkit has none of its own.
void tk_process_events(bool) {}

// ---------------------------------------------------------------- windows

void tk_window_create(PlatWindow w, const char *, int, int, int width, int height) {
    w->toolkit = new headless::Window{width, height, false};
    trace("create");
    headless::report_size(w);
}
void tk_window_relayout(PlatWindow w) { headless::report_size(w); }
void tk_window_destroyed(PlatWindow w) {
    window_of(w).visible = false;
    trace("destroyed");
}
bool tk_window_visible(PlatWindow w) { return window_of(w).visible; }
void tk_window_show(PlatWindow w, bool show) {
    window_of(w).visible = show;
    headless::report_size(w);
}
void tk_window_outer_rect(PlatWindow w, PlatRect *rect) {
    *rect = PlatRect{0, 0, window_of(w).outer_w, window_of(w).outer_h};
}
void tk_screen_size(int *width, int *height) {
    *width = 1024;
    *height = 768;
}
void tk_window_update(PlatWindow) { trace("update"); }
void tk_window_menu_bar(PlatWindow w, PlatMenu) { headless::report_size(w); }
void tk_menu_bar_update(PlatMenu) {}

// ---------------------------------------------------- showing the pixels

void tk_window_show_rows(PlatWindow, int top, int bottom) {
    trace("shown " + std::to_string(top) + "-" + std::to_string(bottom));
}
void tk_show_later(PlatWindow w, int) {
    record().show_due = w;
    trace("later");
}
int tk_refresh_ms(PlatWindow) { return record().refresh_ms; }

// ----------------------------------------------------------------- timers

void tk_timer_start(winlayer::Timer *) { ++record().timers_running; }
void tk_timer_stop(winlayer::Timer *) { --record().timers_running; }

// ------------------------------------------------------------------ menus

bool tk_menu_created(PlatMenu) { return true; }
void tk_menu_item_added(PlatMenu, std::size_t) {}
void tk_menu_item_checked(PlatMenu menu, std::size_t index) {
    trace("checked " + menu->items[index].text);
}

