// The headless toolkit: a real platform with no window system, and the
// smallest complete toolkit under the Windows layer (winlayer/toolkit.h), the
// worked example for a new backend. Every replayed program runs on it, and
// so does any program started with QELMA_PLATFORM=headless.
//
// Implements: windows as records of their outer size and visibility, the
// client area below a menu bar of MENU_BAR_HEIGHT, repaints (WM_PAINT when
// one is owed, on the program's next look at its messages), timers on the
// steady clock, delayed shows, and a wait that sleeps until the next timer
// or show is due. Menus work from the layer's model alone.
// Leaves out: the screen (pixels stay in the layer's surfaces; the rows it
// was asked to show are only noted) and input: nothing but the program's own
// messages and its script's events ever comes.
// Departs from Windows: a timer that falls behind (the program was busy)
// ticks once and keeps its period from then on, as a coalesced WM_TIMER does.
#include "qelma/platform/headless/headless.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/menu_model.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/window_records.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

namespace headless {

Record &record() {
    static Record &r = *new Record;
    return r;
}

namespace {

using Clock = std::chrono::steady_clock;

// What the toolkit keeps for one window (PlatWindowImpl::toolkit).
struct Window {
    int outer_w = 0, outer_h = 0;
    bool visible = false;
    bool update_asked = false; // a repaint is owed at the next look
};

// A running timer and when it next runs out.
struct Running {
    winlayer::Timer *timer;
    Clock::time_point due;
};

// A show asked for with tk_show_later.
struct Show {
    PlatWindow window;
    Clock::time_point due;
};

struct State {
    std::vector<PlatWindow> windows; // every window made, for repaints
    std::vector<Running> timers;
    std::vector<Show> shows;
};
State &state = *new State;

Window &window_of(PlatWindow w) { return *static_cast<Window *>(w->toolkit); }

// The client area is the outer size less the menu bar, reported to the layer.
void report_size(PlatWindow w) {
    const Window &k = window_of(w);
    winlayer::client_size(w, k.outer_w, std::max(0, k.outer_h - (w->menu ? MENU_BAR_HEIGHT : 0)));
}

void trace(std::string call) { record().calls.push_back(std::move(call)); }

// The earliest moment something is due that would end the wait, or none.
// While the program waits for input only, a tick would not: the timers are
// then run out when the wait ends.
bool next_due(Clock::time_point *at) {
    bool any = false;
    if (winlayer::ticks_end_wait()) {
        for (const Running &r : state.timers) {
            *at = any ? std::min(*at, r.due) : r.due;
            any = true;
        }
    }
    for (const Show &s : state.shows) {
        *at = any ? std::min(*at, s.due) : s.due;
        any = true;
    }
    return any;
}

// Runs out what is due: timers tick (once, however late), shows are made,
// owed repaints are painted.
void run_due() {
    const Clock::time_point now = Clock::now();
    for (std::size_t i = 0; i < state.timers.size(); ++i) {
        Running &r = state.timers[i];
        if (r.due > now)
            continue;
        const auto period = std::chrono::milliseconds(r.timer->period_ms);
        r.due += period;
        if (r.due <= now)
            r.due = now + period;
        winlayer::timer_expired(r.timer); // only queues a tick
    }
    // show_due may ask for another show: the due ones are taken out first.
    std::vector<PlatWindow> due;
    state.shows.erase(std::remove_if(state.shows.begin(), state.shows.end(),
                                     [&](const Show &s) {
                                         if (s.due > now)
                                             return false;
                                         due.push_back(s.window);
                                         return true;
                                     }),
                      state.shows.end());
    for (PlatWindow w : due)
        winlayer::show_due(w);
    for (PlatWindow w : state.windows) {
        if (winlayer::window_ok(w) && window_of(w).update_asked) {
            window_of(w).update_asked = false;
            winlayer::repaint(w, false);
        }
    }
}

// ------------------------------------------------------------ the toolkit

void tk_init() {}
bool tk_ready() { return true; }

// A wait with nothing due sleeps in long steps: the layer asks again until
// a message ends its wait, and nothing but a due timer or show can bring one.
void tk_process_events(bool wait) {
    if (wait) {
        Clock::time_point at;
        const Clock::time_point longest = Clock::now() + std::chrono::seconds(60);
        std::this_thread::sleep_until(next_due(&at) ? std::min(at, longest) : longest);
    }
    run_due();
}

// ---------------------------------------------------------------- windows

void tk_window_create(PlatWindow w, const char *, int, int, int width, int height) {
    w->toolkit = new Window{width, height, false, false};
    state.windows.push_back(w);
    trace("create");
    report_size(w);
}
void tk_window_relayout(PlatWindow w) { report_size(w); }
void tk_window_destroyed(PlatWindow w) {
    window_of(w).visible = false;
    state.shows.erase(std::remove_if(state.shows.begin(), state.shows.end(),
                                     [w](const Show &s) { return s.window == w; }),
                      state.shows.end());
    trace("destroyed");
}
bool tk_window_visible(PlatWindow w) { return window_of(w).visible; }
void tk_window_show(PlatWindow w, bool show) {
    Window &k = window_of(w);
    k.update_asked = k.update_asked || (show && !k.visible);
    k.visible = show;
    report_size(w);
}
void tk_window_outer_rect(PlatWindow w, PlatRect *rect) {
    *rect = PlatRect{0, 0, window_of(w).outer_w, window_of(w).outer_h};
}
void tk_screen_size(int *width, int *height) {
    *width = 1024;
    *height = 768;
}
void tk_window_update(PlatWindow w) {
    window_of(w).update_asked = true;
    trace("update");
}
void tk_window_menu_bar(PlatWindow w, PlatMenu) { report_size(w); }
void tk_menu_bar_update(PlatMenu) {}

// ---------------------------------------------------- showing the pixels

void tk_window_show_rows(PlatWindow, int top, int bottom) {
    trace("shown " + std::to_string(top) + "-" + std::to_string(bottom));
}
void tk_show_later(PlatWindow w, int ms) {
    state.shows.push_back(Show{w, Clock::now() + std::chrono::milliseconds(ms)});
    record().show_due = w;
    trace("later");
}
int tk_refresh_ms(PlatWindow) { return record().refresh_ms; }

// ----------------------------------------------------------------- timers

void tk_timer_start(winlayer::Timer *t) {
    t->toolkit_timer = t;
    const Clock::time_point due = Clock::now() + std::chrono::milliseconds(t->period_ms);
    for (Running &r : state.timers) {
        if (r.timer == t) {
            r.due = due; // set again: the period starts afresh, as SetTimer's does
            return;
        }
    }
    state.timers.push_back(Running{t, due});
    ++record().timers_running;
}
void tk_timer_stop(winlayer::Timer *t) {
    const auto before = state.timers.size();
    state.timers.erase(std::remove_if(state.timers.begin(), state.timers.end(),
                                      [t](const Running &r) { return r.timer == t; }),
                       state.timers.end());
    record().timers_running -= static_cast<int>(before - state.timers.size());
}

// ------------------------------------------------------------------ menus

bool tk_menu_created(PlatMenu) { return true; }
void tk_menu_item_added(PlatMenu, std::size_t) {}
void tk_menu_item_checked(PlatMenu menu, std::size_t index) {
    trace("checked " + menu->items[index].text);
}

} // namespace
} // namespace headless

const Toolkit HEADLESS_TOOLKIT = {
    "headless",
    headless::tk_init, headless::tk_ready, headless::tk_process_events,
    headless::tk_window_create, headless::tk_window_relayout, headless::tk_window_destroyed,
    headless::tk_window_visible, headless::tk_window_show, headless::tk_window_outer_rect,
    headless::tk_screen_size, headless::tk_window_update, headless::tk_window_menu_bar,
    headless::tk_menu_bar_update,
    headless::tk_window_show_rows, headless::tk_show_later, headless::tk_refresh_ms,
    headless::tk_timer_start, headless::tk_timer_stop,
    headless::tk_menu_created, headless::tk_menu_item_added, headless::tk_menu_item_checked,
};
