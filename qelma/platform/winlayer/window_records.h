// Window classes and windows as USER keeps them, for every backend but Win32:
// the class registry (names without regard to case), the window procedure
// and which messages are sent to it at once (WM_CREATE, WM_SIZE, WM_PAINT,
// WM_CLOSE, WM_DESTROY, WM_KILLFOCUS), default handling, the attached menu bar, the paint
// bookkeeping and the client area's pixels. The toolkit makes the real window
// (toolkit.h) and reports its client size, close requests and repaints here.
#ifndef QELMA_PLATFORM_WINLAYER_WINDOW_RECORDS_H
#define QELMA_PLATFORM_WINLAYER_WINDOW_RECORDS_H

#include "qelma/platform/platform.h"
#include "qelma/platform/winlayer/raster.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <string>

namespace winlayer {

struct WindowClass {
    std::string name;     // compared without regard to case, as on Windows
    PlatWndProc proc;     // receives every message of the class's windows
    unsigned style;       // CS_ bits, kept for inspection
    PlatColor background; // erases client areas (white without a solid brush)
    PlatObject brush;     // the brush given at registration: the class owns it, as on Windows
};

// Larger window sizes are clamped to this.
constexpr int MAX_WINDOW_SIDE = 8192;

} // namespace winlayer

// A window record is never freed, so a stale handle stays readable memory and
// is recognised by its alive flag.
struct PlatWindowImpl {
    bool alive;                       // false once destroyed
    bool creating;                    // inside plat_create_window: WM_SIZE waits for WM_CREATE
    bool destroying;                  // WM_DESTROY is being sent
    const winlayer::WindowClass *cls; // the class the window was made from
    unsigned long style;              // WS_ bits as created
    PlatMenu menu;                    // attached menu bar, or null
    int sent_w, sent_h;               // client size of the last WM_SIZE; -1 before the first
    bool paint_pending;               // WM_PAINT is owed at the next repaint
    PlatDC paint_dc;                  // the context of plat_begin_paint until plat_end_paint
    raster::Surface surface;          // the client area's pixels, client size
    int unshown_top, unshown_bottom;  // rows drawn since last shown (empty when equal)
    bool show_asked;                  // the toolkit will call show_due
    bool painting;                    // inside repaint: what is drawn is shown by that paint
    double shown_at_ms;               // when rows were last handed to the toolkit
    void *toolkit;                    // the toolkit's window
};

namespace winlayer {

inline bool window_ok(PlatWindow w) { return w && w->alive; }

// When pixels are shown (presentation.cpp): rows top..bottom-1 of the
// window's surface changed. The toolkit is asked to show them at most once
// per screen refresh: the first picture at once, and the last always, at the
// end of the refresh it fell in or when the program waits, if that is sooner.
void surface_drawn(PlatWindow w, int top, int bottom);
// The program is about to wait for input: what it drew is shown now.
void show_before_waiting();
// Rows have been drawn that the toolkit has not been asked to show yet.
inline bool has_unshown(PlatWindow w) { return w->unshown_top != w->unshown_bottom; }
// The toolkit shows the whole client area by itself (a window appears, a
// repaint): nothing drawn before is owed any more.
inline void forget_unshown(PlatWindow w) { w->unshown_top = w->unshown_bottom = 0; }

} // namespace winlayer

#endif // QELMA_PLATFORM_WINLAYER_WINDOW_RECORDS_H
