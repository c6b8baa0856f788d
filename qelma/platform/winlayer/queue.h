// The thread's message queue as Windows keeps it, for every backend but
// Win32: posted messages, input, timer ticks and the quit flag, each in its
// own list, handed out in Windows' order. Also the keyboard translation rules
// (key-down to WM_CHAR) and the bookkeeping of timers. Plain C++: a toolkit
// backend only feeds input and timer expiries in and waits for them.
#ifndef QELMA_PLATFORM_WINLAYER_QUEUE_H
#define QELMA_PLATFORM_WINLAYER_QUEUE_H

#include "qelma/platform/platform.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <cstddef>

namespace winlayer {

// Posted and input messages waiting together, as many as Windows allows.
constexpr std::size_t MAX_QUEUED = 10000;
// Shorter timer periods are raised to this, as SetTimer does.
constexpr unsigned MIN_TIMER_MS = 10;
constexpr unsigned MAX_TIMER_MS = 0x7FFFFFFFu;

// Appends a posted message (plat_post_message, menu commands). False, with a
// diagnostic, when the queue is full.
bool post(PlatWindow window, unsigned message, PlatWParam wparam, PlatLParam lparam);
// Sets the quit flag: WM_QUIT leaves the queue once nothing else waits. A
// full queue never loses it.
void post_quit(int exit_code);
// Takes the next message in Windows' order: posted, input, timer ticks (in
// the order they came due), then WM_QUIT. False when none waits.
bool take(PlatMsg *msg);
bool empty();
// While false, a timer's tick alone does not end a wait (plat_wait_input).
void set_ticks_end_wait(bool end_it);
// Messages waiting, and those for (window, message, wparam), without taking any.
std::size_t length();
int count(PlatWindow window, unsigned message, PlatWParam wparam);

// ---- keys
// plat_key_ctrl_state: bit 26 of a toolkit's key message; -1 for one that a
// program made up (no mark), whose lparam says nothing of the keyboard.
int key_ctrl_state(PlatLParam lparam);
// The character TranslateMessage makes of a key-down: the marked character,
// or for a key-down without the mark but with a scan code, what its virtual
// key types without modifiers; 0 for none.
unsigned char_of_key_down(PlatWParam vk, PlatLParam lparam);
// plat_translate_message: a WM_CHAR for a key-down goes before everything queued.
void translate(const PlatMsg *msg);

// ---- timers
// One timer per (window, id). toolkit_timer is the backend's own timer object,
// made once and kept (stopped) after a kill for a later set.
struct Timer {
    PlatWindow window;
    unsigned id;
    unsigned period_ms; // as running, after the limits
    bool running;
    void *toolkit_timer;
};
// Records a set_timer call for a live window and returns the timer to
// (re)start at its period, raised or lowered into the limits.
Timer *set_timer(PlatWindow window, unsigned id, unsigned period_ms);
// The running timer of (window, id), or null.
Timer *find_timer(PlatWindow window, unsigned id);
// Marks the timer stopped; returns it (or null) for the backend to stop.
Timer *kill_timer(PlatWindow window, unsigned id);
// Kills every running timer of a window being destroyed, calling stop on each.
void kill_window_timers(PlatWindow window, void (*stop)(Timer *));


} // namespace winlayer

#endif // QELMA_PLATFORM_WINLAYER_QUEUE_H
