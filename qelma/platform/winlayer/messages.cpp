// The seam's queue and timer functions for every backend but Win32: the
// layer's queue (queue.h) in front, the toolkit (toolkit.h) behind it for
// delivering input and expiries and for waiting.
#include "qelma/platform/platform.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/toolkit.h"
#include "qelma/platform/winlayer/window_records.h"

void plat_init() {
    winlayer::tk().init();
}

int plat_peek_message(PlatMsg *msg) {
    if (!msg)
        return 0;
    winlayer::tk().process_events(false);
    return winlayer::take(msg) ? 1 : 0;
}

void plat_translate_message(const PlatMsg *msg) {
    winlayer::translate(msg);
}

void plat_wait_message() {
    winlayer::show_before_waiting();
    while (!winlayer::wait_over() && winlayer::tk().ready())
        winlayer::tk().process_events(true);
}

void plat_wait_input() {
    winlayer::set_ticks_end_wait(false);
    plat_wait_message();
    winlayer::set_ticks_end_wait(true);
}

int plat_post_message(PlatWindow window, unsigned message, PlatWParam wparam, PlatLParam lparam) {
    if (!winlayer::window_ok(window)) {
        winlayer::warn("post_message: no such window; message 0x%x dropped", message);
        return 0;
    }
    return winlayer::post(window, message, wparam, lparam) ? 1 : 0;
}

void plat_post_quit_message(int exit_code) {
    winlayer::post_quit(exit_code);
}

int plat_key_ctrl_state(PlatLParam lparam) {
    return winlayer::key_ctrl_state(lparam);
}

void plat_set_timer(PlatWindow window, unsigned id, unsigned period_ms) {
    if (!winlayer::window_ok(window)) {
        winlayer::warn("set_timer: no such window");
        return;
    }
    winlayer::tk().timer_start(winlayer::set_timer(window, id, period_ms));
}

void plat_kill_timer(PlatWindow window, unsigned id) {
    if (winlayer::Timer *t = winlayer::kill_timer(window, id))
        winlayer::tk().timer_stop(t);
}
