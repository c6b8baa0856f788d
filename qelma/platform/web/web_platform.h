// Internals of the web backend shared by its files (web_platform.cpp: page,
// windows, menus, timers and the wait; web_surface.cpp: pixels, shapes and
// text). Nothing above the platform seam includes this header.
#ifndef QELMA_PLATFORM_WEB_WEB_PLATFORM_H
#define QELMA_PLATFORM_WEB_WEB_PLATFORM_H

#include "qelma/platform/platform.h"
#include "qelma/platform/web/raster.h"

// What the page keeps for one window (PlatWindowImpl::toolkit).
struct WebWindow {
    int id = 0;               // the panel's number on the page
    int x = 0, y = 0;         // the outer rectangle asked for
    int outer_w = 0, outer_h = 0;
    raster::Surface surface;  // client-area pixels
    bool visible = false;
    bool dirty = false;        // drawn since last shown on the canvas
    bool update_asked = false; // a repaint is owed
    bool close_asked = false;  // the page asked to close it
};

// Height of a panel's menu bar (the page draws it at exactly this height),
// taken from the client area as a menu bar takes it on Windows.
inline constexpr int WEB_MENU_BAR_HEIGHT = 20;

// The window's record, or null for a null or destroyed window.
WebWindow *plat_web_window(PlatWindow window);
// Called after drawing on a window's surface: the canvas shows it soon.
void plat_web_window_drawn(PlatWindow window);

#endif // QELMA_PLATFORM_WEB_WEB_PLATFORM_H
