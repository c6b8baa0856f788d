// The contract between the Windows layer (winlayer/) and a toolkit backend
// (qt/, and the next one): the few things only a toolkit can do, which the
// layer calls. Everything else a toolkit backend does is to implement the
// seam's window, paint and drawing functions as a translation table:
//  - create and show windows, give their client size, deliver mouse, key and
//    close input (winlayer::input, key_lparam) and timer expiries
//    (winlayer::timer_expired) into the layer, and wait until one arrives;
//  - draw on a surface: a closed polygon, a rectangle and an ellipse over a
//    box that leaves out its right column and bottom row, each with a solid
//    pen of a width centred on the outline and a solid or hollow fill; text at
//    a cell's top-left corner at a pixel height over a transparent background,
//    and its extent; scroll; an unscaled copy between surfaces;
//  - show a menu bar from the model (menu_model.h).
// Null and stale handles are answered by the layer and by each seam function
// as platform.h states; the toolkit functions below are only ever called with
// live records.
#ifndef QELMA_PLATFORM_WINLAYER_TOOLKIT_H
#define QELMA_PLATFORM_WINLAYER_TOOLKIT_H

#include "qelma/platform/platform.h"
#include "qelma/platform/winlayer/queue.h"

#include <cstddef>

// True when the toolkit can make windows and menus (its application is set
// up); false, with a diagnostic, when it cannot.
bool tk_ready();
// Runs the toolkit's pending events (input, expiries, repaints); with wait,
// first blocks until at least one arrives.
void tk_process_events(bool wait);

// Windows (windows.h). Make the real window of a new record, of outer size
// w x h at (x, y), hidden, reporting its client size (winlayer::client_size);
// lay it out again and report the size; let go of it once destroyed.
void tk_window_create(PlatWindow window, const char *title, int x, int y, int w, int h);
void tk_window_relayout(PlatWindow window);
void tk_window_destroyed(PlatWindow window);
bool tk_window_visible(PlatWindow window);
// Shows (raised, with the keyboard focus) or hides; reports the client size.
void tk_window_show(PlatWindow window, bool show);
void tk_window_client_size(PlatWindow window, int *width, int *height);
// The outer rectangle in screen coordinates, frame included.
void tk_window_outer_rect(PlatWindow window, PlatRect *rect);
// Left as 0 x 0 when there is no screen.
void tk_screen_size(int *width, int *height);
// Repaint soon: the toolkit's repaint calls winlayer::repaint.
void tk_window_update(PlatWindow window);
// Fills the whole client area with one colour (erasing before WM_PAINT).
void tk_window_erase(PlatWindow window, PlatColor color);
// Puts the menu bar (or none) above the client area; reports the client size.
void tk_window_menu_bar(PlatWindow window, PlatMenu menu);
void tk_menu_bar_update(PlatMenu menu);

// Timers: start the toolkit's timer of the record at its period (making it the
// first time), or stop it. Each expiry calls winlayer::timer_expired.
void tk_timer_start(winlayer::Timer *timer);
void tk_timer_stop(winlayer::Timer *timer);

// Menus: make the toolkit's bar or menu for a new menu record; show a new
// item (the last one of menu->items); show an item's changed check mark.
bool tk_menu_created(PlatMenu menu);
void tk_menu_item_added(PlatMenu menu, std::size_t index);
void tk_menu_item_checked(PlatMenu menu, std::size_t index);

// GDI objects (gdi_objects.h). A window context can be had while the window
// has a client surface to draw on. The toolkit matches a font record's
// request and sets its metrics, and makes a bitmap record's pixels (black);
// false when it cannot. Freed objects and closing contexts (released, deleted,
// or about to draw on another bitmap) let go of what the toolkit kept.
bool tk_window_has_surface(PlatWindow window);
bool tk_font_made(PlatObject font);
bool tk_bitmap_made(PlatObject bitmap);
void tk_object_freed(PlatObject object);
void tk_dc_closing(PlatDC dc);

#endif // QELMA_PLATFORM_WINLAYER_TOOLKIT_H
