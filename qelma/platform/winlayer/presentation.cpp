// When a window's pixels reach the screen, for every toolkit: drawing lands in
// the surface at once, but the toolkit is handed at most one picture per
// screen refresh, since a program that draws after every message would
// otherwise send the client area to the display far more often than any
// screen shows it. The first picture goes at once; the last is always shown,
// at the end of the refresh it fell in or as soon as the program waits for
// input, whichever comes first. Only the band of rows that changed since the
// last picture is handed over.
#include "qelma/platform/winlayer/toolkit.h"
#include "qelma/platform/winlayer/window_records.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace winlayer {
namespace {

double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// Windows whose rows wait for the end of a refresh.
std::vector<PlatWindow> &delayed = *new std::vector<PlatWindow>;

void show_now(PlatWindow w) {
    const int top = w->unshown_top, bottom = w->unshown_bottom;
    w->unshown_top = w->unshown_bottom = 0;
    w->shown_at_ms = now_ms();
    winlayer::tk().window_show_rows(w, top, bottom);
}

} // namespace

void surface_drawn(PlatWindow w, int top, int bottom) {
    if (!window_ok(w) || w->painting)
        return;
    top = std::max(top, 0);
    bottom = std::min(bottom, w->surface.height);
    if (top >= bottom)
        return;
    if (!has_unshown(w)) {
        w->unshown_top = top;
        w->unshown_bottom = bottom;
    } else {
        w->unshown_top = std::min(w->unshown_top, top);
        w->unshown_bottom = std::max(w->unshown_bottom, bottom);
    }
    // A hidden window is shown whole by the toolkit when it appears.
    if (w->show_asked || !winlayer::tk().window_visible(w))
        return;
    const double wait = w->shown_at_ms + winlayer::tk().refresh_ms(w) - now_ms();
    if (wait <= 0) {
        show_now(w);
    } else {
        w->show_asked = true;
        delayed.push_back(w);
        winlayer::tk().show_later(w, static_cast<int>(wait) + 1);
    }
}

void show_due(PlatWindow w) {
    if (!window_ok(w))
        return;
    w->show_asked = false;
    if (has_unshown(w) && winlayer::tk().window_visible(w))
        show_now(w);
}

void show_before_waiting() {
    for (PlatWindow w : delayed) {
        if (!window_ok(w))
            continue;
        // The show asked for may still come; it finds nothing then, and
        // what is drawn from now on is judged afresh.
        w->show_asked = false;
        if (has_unshown(w) && winlayer::tk().window_visible(w))
            show_now(w);
    }
    delayed.clear();
}

} // namespace winlayer
