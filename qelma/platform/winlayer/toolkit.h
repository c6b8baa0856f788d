// The contract between the Windows layer (winlayer/) and a toolkit backend,
// both ways: the table of what a toolkit gives the layer (Toolkit, below),
// and the calls the layer gives a toolkit (further down). The layer
// implements the whole seam of platform.h on top of the table: window
// records, the message queue, menus, GDI objects and contexts, and every
// pixel: shapes, copies, scrolling and text, with the layer's own letters
// (glyphs.h), are drawn by the layer (raster.h) on surfaces it owns, by
// Windows' rules, so every toolkit shows the same picture.
//
// A library holds its native toolkit (Qt on Linux, the page in a browser)
// and the headless one; which one runs is chosen once, as the program
// starts (choose_toolkit): headless when the program is being replayed
// (outside the page, which replays in a hidden frame of its own) or
// QELMA_PLATFORM says "headless", the native one otherwise.
//
// A toolkit's part:
//  - make, show and lay out real windows, report their client size
//    (client_size) and deliver input into the layer: mouse and keys (input,
//    key_lparam with the key's own Ctrl state), the loss of the keyboard
//    (focus_lost), close requests (close_requested), repaints it needs
//    (repaint) and timer expiries (timer_expired); wait until one arrives;
//  - show rows of a window's client pixels (PlatWindowImpl::surface,
//    0xFFRRGGBB, row by row), when the layer says so, and call show_due
//    when a show it was asked to delay is due;
//  - show a menu bar from the model (menu_model.h) and report a choice
//    (menu_chosen).
// headless/headless_toolkit.cpp is the smallest complete toolkit: start there.
//
// Null and stale handles are answered by the layer; these functions are only
// ever called with live records. Sizes are never negative.
#ifndef QELMA_PLATFORM_WINLAYER_TOOLKIT_H
#define QELMA_PLATFORM_WINLAYER_TOOLKIT_H

#include "qelma/platform/platform.h"

#include <cstddef>

namespace winlayer {
struct Timer;
}

// ------------------------------------------- what a toolkit gives the layer

struct Toolkit {
    const char *name; // "qt", "web", "headless": what QELMA_PLATFORM may name

    // Prepares the toolkit (plat_init): safe to call more than once.
    void (*init)();
    // True when the toolkit can make windows and menus (its application is
    // set up); false, with a diagnostic, when it cannot.
    bool (*ready)();
    // Runs the toolkit's pending events (input, expiries, repaints); with
    // wait, first blocks until at least one arrives.
    void (*process_events)(bool wait);

    // Windows (window_records.h). Make the real window of a new record, of
    // outer size w x h at (x, y), hidden, and report its client size; lay it
    // out again and report the size; let go of it once destroyed.
    void (*window_create)(PlatWindow window, const char *title, int x, int y, int w, int h);
    void (*window_relayout)(PlatWindow window);
    void (*window_destroyed)(PlatWindow window);
    bool (*window_visible)(PlatWindow window);
    // Shows (raised, with the keyboard focus, the whole client area shown)
    // or hides; reports the client size.
    void (*window_show)(PlatWindow window, bool show);
    // The outer rectangle in screen coordinates, frame included.
    void (*window_outer_rect)(PlatWindow window, PlatRect *rect);
    // Left as 0 x 0 when there is no screen.
    void (*screen_size)(int *width, int *height);
    // Repaint soon: the toolkit's repaint calls repaint, then shows the
    // whole client area.
    void (*window_update)(PlatWindow window);
    // Puts the menu bar (or none) above the client area; reports the client size.
    void (*window_menu_bar)(PlatWindow window, PlatMenu menu);
    void (*menu_bar_update)(PlatMenu menu);

    // Showing the pixels (presentation.cpp). Show rows top..bottom-1 of the
    // window's surface now; call show_due(window) once, in about ms
    // milliseconds; one refresh of the screen the window is on, in ms.
    void (*window_show_rows)(PlatWindow window, int top, int bottom);
    void (*show_later)(PlatWindow window, int ms);
    int (*refresh_ms)(PlatWindow window);

    // Timers. Start the toolkit's timer of the record at its period (making
    // it the first time), or stop it. Each expiry calls timer_expired.
    void (*timer_start)(winlayer::Timer *timer);
    void (*timer_stop)(winlayer::Timer *timer);

    // Menus. Make the toolkit's bar or menu for a new menu record; show a new
    // item (the last one of menu->items); show an item's changed check mark.
    bool (*menu_created)(PlatMenu menu);
    void (*menu_item_added)(PlatMenu menu, std::size_t index);
    void (*menu_item_checked)(PlatMenu menu, std::size_t index);
};

// The tables of this build: the headless toolkit is in every library that
// holds the layer; the native one is the library's own toolkit (the headless
// one again where there is no other, as in the layer's own tests).
extern const Toolkit HEADLESS_TOOLKIT;
const Toolkit &native_toolkit();

namespace winlayer {

// The toolkit that runs, chosen at the first call (choose_toolkit).
extern const Toolkit *chosen_toolkit;
const Toolkit &choose_toolkit();
inline const Toolkit &tk() { return chosen_toolkit ? *chosen_toolkit : choose_toolkit(); }

// Which toolkit a program with these variables runs: the headless one when
// replay_script names a script (qelma-replay runs it) or platform is
// "headless"; the native one when platform is unset, empty, "native" or the
// native toolkit's own name; otherwise the native one, with *unknown set.
const Toolkit &toolkit_for(const char *replay_script, const char *platform, bool *unknown);

// ---------------------------------------- what the layer gives a toolkit

// Windows. Sends a message to the window's procedure at once; 0 for a dead
// window (window_ok in window_records.h tells a live one).
PlatResult send(PlatWindow w, unsigned message, PlatWParam wparam, PlatLParam lparam);
// The toolkit's client area is width x height: WM_SIZE when that differs
// from the last size sent (not before WM_CREATE has returned).
void client_size(PlatWindow w, int width, int height);
// The user asked to close the window: WM_CLOSE, whose default handling
// destroys it.
void close_requested(PlatWindow w);
// The window lost the keyboard (to another window or program): WM_KILLFOCUS.
void focus_lost(PlatWindow w);
// The toolkit repaints the client area. When WM_PAINT is owed (invalidated,
// newly shown) or the toolkit asked by itself, the class brush erases the
// client area and WM_PAINT is sent, as on Windows. What is drawn meanwhile
// is not handed to the toolkit: it shows the client area when this returns.
void repaint(PlatWindow w, bool toolkit_asked);
// The delayed show asked for with show_later is due.
void show_due(PlatWindow w);

// Input. Appends an input message (mouse buttons, keys) to the queue.
bool input(PlatWindow window, unsigned message, PlatWParam wparam, PlatLParam lparam);
// lparam of a mouse message or WM_SIZE: x | (y << 16).
PlatLParam pack_point(int x, int y);
// lparam of a key message made by a toolkit: repeat count 1, the typed
// character (or 0) in bits 16..23 marked by bit 25, bit 26 while Ctrl is
// held (the toolkit's modifiers for that key), bit 30 for a repeat or a
// key-up, bit 31 for a key-up.
PlatLParam key_lparam(unsigned typed, bool down, bool repeat, bool ctrl = false);
// A menu handle is never freed, so a stale one stays readable.
bool menu_known(PlatMenu menu);
// The user chose the item at index of menu: its command goes to the queue of
// the window the top bar is attached to, as a posted WM_COMMAND.
void menu_chosen(PlatMenu menu, std::size_t index);

// Waiting. Whether a queued message ends the wait under way: any message,
// or any but a timer's tick while the program waits for input only.
bool wait_over();
bool ticks_end_wait();
// The toolkit's timer ran out: a tick waits unless one of this timer waits
// already or the timer has been killed.
void timer_expired(Timer *timer);

// Diagnostics of the layer and the backends: "qelma platform: ..." on stderr.
void warn(const char *format, ...) __attribute__((format(printf, 1, 2)));

} // namespace winlayer

#endif // QELMA_PLATFORM_WINLAYER_TOOLKIT_H
