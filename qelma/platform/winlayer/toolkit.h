// The contract between the Windows layer (winlayer/) and a toolkit backend:
// everything a toolkit provides, and nothing else. The layer implements the
// whole seam of platform.h on top of these functions: window records, the
// message queue, menus, GDI objects and contexts, and every pixel: shapes,
// copies, scrolling and text, with the layer's own letters (glyphs.h), are
// drawn by the layer (raster.h) on surfaces it owns, by Windows' rules, so
// every toolkit shows the same picture.
//
// A toolkit's part:
//  - make, show and lay out real windows, report their client size
//    (winlayer::client_size) and deliver input into the layer: mouse and keys
//    (winlayer::input, key_lparam with the key's own Ctrl state), the loss of
//    the keyboard (winlayer::focus_lost), close requests (winlayer::close_requested),
//    repaints it needs (winlayer::repaint) and timer expiries
//    (winlayer::timer_expired); wait until one arrives;
//  - show rows of a window's client pixels (PlatWindowImpl::surface,
//    0xFFRRGGBB, row by row), when the layer says so, and call
//    winlayer::show_due when a show it was asked to delay is due;
//  - show a menu bar from the model (menu_model.h).
// headless/headless_toolkit.cpp is the smallest complete toolkit: start there.
//
// Null and stale handles are answered by the layer; these functions are only
// ever called with live records. Sizes are never negative.
#ifndef QELMA_PLATFORM_WINLAYER_TOOLKIT_H
#define QELMA_PLATFORM_WINLAYER_TOOLKIT_H

#include "qelma/platform/platform.h"
#include "qelma/platform/winlayer/queue.h"

#include <cstddef>

// ------------------------------------------------------------ the toolkit

// Prepares the toolkit (plat_init): safe to call more than once.
void tk_init();
// True when the toolkit can make windows and menus (its application is set
// up); false, with a diagnostic, when it cannot.
bool tk_ready();
// Runs the toolkit's pending events (input, expiries, repaints); with wait,
// first blocks until at least one arrives.
void tk_process_events(bool wait);

// ---------------------------------------------------------------- windows
// (window_records.h) Make the real window of a new record, of outer size
// w x h at (x, y), hidden, and report its client size; lay it out again and
// report the size; let go of it once destroyed.
void tk_window_create(PlatWindow window, const char *title, int x, int y, int w, int h);
void tk_window_relayout(PlatWindow window);
void tk_window_destroyed(PlatWindow window);
bool tk_window_visible(PlatWindow window);
// Shows (raised, with the keyboard focus, the whole client area shown) or
// hides; reports the client size.
void tk_window_show(PlatWindow window, bool show);
// The outer rectangle in screen coordinates, frame included.
void tk_window_outer_rect(PlatWindow window, PlatRect *rect);
// Left as 0 x 0 when there is no screen.
void tk_screen_size(int *width, int *height);
// Repaint soon: the toolkit's repaint calls winlayer::repaint, then shows
// the whole client area.
void tk_window_update(PlatWindow window);
// Puts the menu bar (or none) above the client area; reports the client size.
void tk_window_menu_bar(PlatWindow window, PlatMenu menu);
void tk_menu_bar_update(PlatMenu menu);

// ---------------------------------------------------- showing the pixels
// (presentation.cpp) Show rows top..bottom-1 of the window's surface now.
void tk_window_show_rows(PlatWindow window, int top, int bottom);
// Call winlayer::show_due(window) once, in about ms milliseconds.
void tk_show_later(PlatWindow window, int ms);
// One refresh of the screen the window is on, in milliseconds.
int tk_refresh_ms(PlatWindow window);

// ----------------------------------------------------------------- timers
// Start the toolkit's timer of the record at its period (making it the first
// time), or stop it. Each expiry calls winlayer::timer_expired.
void tk_timer_start(winlayer::Timer *timer);
void tk_timer_stop(winlayer::Timer *timer);

// ------------------------------------------------------------------ menus
// Make the toolkit's bar or menu for a new menu record; show a new item (the
// last one of menu->items); show an item's changed check mark.
bool tk_menu_created(PlatMenu menu);
void tk_menu_item_added(PlatMenu menu, std::size_t index);
void tk_menu_item_checked(PlatMenu menu, std::size_t index);

#endif // QELMA_PLATFORM_WINLAYER_TOOLKIT_H
