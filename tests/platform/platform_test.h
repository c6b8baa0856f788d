// Helpers for the platform tests, on every backend and through the Win32
// one: a window procedure that records what it is sent, and a queue drained
// between tests.
#ifndef QELMA_TESTS_PLATFORM_PLATFORM_TEST_H
#define QELMA_TESTS_PLATFORM_PLATFORM_TEST_H

#include <gtest/gtest.h>

#include <vector>

#include "qelma/platform/platform.h"
#include "qelma/platform/platform_inspect.h"

namespace plat_test {

struct Sent {
    PlatWindow window;
    unsigned message;
    PlatWParam wparam;
    PlatLParam lparam;
    PlatRect client; // the client rectangle when the message arrived
};

// What the recording procedure saw, and how it behaves.
struct Recorder {
    std::vector<Sent> sent;               // every message, in order
    bool attach_menu = false;             // WM_CREATE builds and attaches a one-item menu bar
    PlatResult create_result = 0;         // returned for WM_CREATE
    PlatWindow forward_keys_to = nullptr; // WM_KEYDOWN / WM_KEYUP are posted on there
    PlatResult result = 0;                // returned for WM_USER
    PlatMenu menu_made = nullptr;         // the bar attach_menu attached last
    int paints = 0;                       // WM_PAINT handled with a context
    int foreign = 0;                      // messages platform.h does not name
};

// Whether platform.h names the message: a procedure behind the seam hears
// no other.
inline bool named_by_seam(unsigned message) {
    for (unsigned named : {WM_CREATE, WM_DESTROY, WM_SIZE, WM_PAINT, WM_CLOSE, WM_KEYDOWN, WM_KEYUP,
                           WM_CHAR, WM_COMMAND, WM_TIMER, WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP,
                           WM_RBUTTONDOWN, WM_RBUTTONUP, WM_KILLFOCUS}) {
        if (named == message)
            return true;
    }
    return message >= WM_USER;
}

inline Recorder recorder;

inline PlatResult recording_proc(PlatWindow window, unsigned message, PlatWParam wparam,
                                 PlatLParam lparam) {
    Sent s{window, message, wparam, lparam, {}};
    plat_get_client_rect(window, &s.client);
    recorder.sent.push_back(s);
    recorder.foreign += named_by_seam(message) ? 0 : 1;
    switch (message) {
    case WM_CREATE:
        if (recorder.attach_menu) {
            PlatMenu bar = plat_create_menu();
            PlatMenu run = plat_create_popup_menu();
            plat_append_menu(run, MF_STRING, 1, "&Animate\tCtrl+A");
            plat_append_menu(bar, MF_POPUP, reinterpret_cast<std::uintptr_t>(run), "&Run");
            plat_set_menu(window, bar);
            plat_draw_menu_bar(window);
            recorder.menu_made = bar;
        }
        return recorder.create_result;
    case WM_PAINT:
        if (plat_begin_paint(window) != nullptr)
            ++recorder.paints;
        plat_end_paint(window);
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (recorder.forward_keys_to) {
            plat_post_message(recorder.forward_keys_to, message, wparam, lparam);
            return 0;
        }
        return 0;
    case WM_USER:
        return recorder.result;
    default:
        return plat_def_window_proc(window, message, wparam, lparam);
    }
}

inline int count_sent(unsigned message) {
    int n = 0;
    for (const Sent &s : recorder.sent)
        n += s.message == message;
    return n;
}

inline void drain_queue() {
    PlatMsg msg{};
    while (plat_peek_message(&msg)) {
    }
}

// Takes every queued message, dispatching all but WM_QUIT.
inline void dispatch_queue() {
    PlatMsg msg{};
    while (plat_peek_message(&msg)) {
        if (msg.message != WM_QUIT) {
            plat_translate_message(&msg);
            plat_dispatch_message(&msg);
        }
    }
}

// The client rectangle the last WM_SIZE saw (empty when none came).
inline PlatRect last_size_client() {
    PlatRect client{};
    for (const Sent &s : recorder.sent)
        if (s.message == WM_SIZE)
            client = s.client;
    return client;
}

inline void close_window(PlatWindow window) {
    plat_post_message(window, WM_CLOSE, 0, 0);
    dispatch_queue();
}

// Registers the recording class once per process; every test starts with an
// empty record and an empty queue.
inline const char *recording_class() {
    static bool registered = false;
    if (!registered) {
        plat_init();
        registered = plat_register_class("PlatTestClass", recording_proc, CS_HREDRAW | CS_VREDRAW,
                                         plat_create_solid_brush(plat_rgb(10, 200, 30))) != 0;
    }
    return "PlatTestClass";
}

inline PlatWindow make_window(unsigned long style, int w, int h) {
    return plat_create_window(recording_class(), "test", style, 20, 30, w, h);
}

inline void reset() {
    plat_init();
    recording_class();
    drain_queue();
    recorder = Recorder{};
}

} // namespace plat_test

#endif // QELMA_TESTS_PLATFORM_PLATFORM_TEST_H
