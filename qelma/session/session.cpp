// The session record, and opening and closing the session: window classes,
// the two windows, the canvas and the 100 ms timer.
#include "qelma/session/session.h"

#include <cstdlib>

#include "qelma/draw/draw.h"
#include "qelma/qelma.h"

Session session;

static const char *const DRAW_CLASS = "DrawWndClass";
static const char *const TEXT_CLASS = "TextWndClass";

PlatDC session_canvas_dc() { return session.canvas_dc; }
void session_canvas_changed() { session.canvas_dirty = 1; }
int session_origin_x() { return session.origin_x; }
int session_origin_y() { return session.origin_y; }
bool session_logging() { return session.logging_on; }
PlatWindow session_graphics_window() { return session.graphics_window; }
PlatWindow session_text_window() { return session.text_window; }
SessionObserver *session_observer() { return session.observer; }
LogRing session_log_ring() { return LogRing{session.log_first, session.log_next, session.log_lines}; }

void session_set_logging(bool on) {
    session.logging_on = on;
    plat_check_menu_item(session.run_menu, CMD_LOGGING, on ? MF_CHECKED : MF_UNCHECKED);
}

WindowPlace text_window_place(int screen_w, int screen_h) {
    return WindowPlace{0, (2 * screen_h) / 3 + 1, screen_w, screen_h / 3};
}

// The process may end without qelma_end: a toolkit that loses its display
// calls exit() (Qt's xcb does), and so may the program. The recording so far
// then reaches the file, its last run of ticks included. A message about it
// goes to the log ring only: the toolkit may be on its way out.
static void write_out_at_exit() {
    session.text_window = nullptr;
    write_out_recording();
}

extern "C" int qelma_begin(void *instance, void *previous_instance, char *command_line,
                           int show_command) {
    (void)instance;
    (void)command_line;
    plat_init();

    if (previous_instance == nullptr) {
        PlatObject background = plat_create_solid_brush(palette_color(BACKGROUND_COLOR));
        plat_register_class(DRAW_CLASS, draw_window_proc, CS_HREDRAW | CS_VREDRAW, background);
        plat_register_class(TEXT_CLASS, text_window_proc, CS_HREDRAW | CS_VREDRAW, background);
    }

    int screen_w = 0;
    int screen_h = 0;
    plat_screen_size(&screen_w, &screen_h);

    session.animating = false;
    session.single_step = false;

    session.graphics_window = plat_create_window(DRAW_CLASS, "QELMA Graphics", WS_CAPTION | WS_SYSMENU,
                                                 0, 0, QELMA_CANVAS_WIDTH, QELMA_CANVAS_HEIGHT);
    WindowPlace place = text_window_place(screen_w, screen_h);
    session.text_window = plat_create_window(TEXT_CLASS, "QELMA Text", WS_OVERLAPPEDWINDOW,
                                             place.left, place.top, place.width, place.height);

    session.window_dc = plat_get_dc(session.graphics_window);
    session.canvas_bitmap =
        plat_create_compatible_bitmap(session.window_dc, QELMA_CANVAS_WIDTH, QELMA_CANVAS_HEIGHT);
    session.canvas_dc = plat_create_compatible_dc(session.window_dc);
    plat_select_object(session.canvas_dc, session.canvas_bitmap);

    plat_show_window(session.text_window, show_command);
    plat_show_window(session.graphics_window, show_command);

    plat_set_timer(session.graphics_window, QELMA_TIMER_ID, QELMA_TIMER_PERIOD_MS);
    replay_begin();
    static const bool exit_hook = std::atexit(write_out_at_exit) == 0;
    (void)exit_hook;
    return 1;
}

extern "C" int qelma_end(void) {
    plat_release_dc(session.graphics_window, session.window_dc);
    session.window_dc = nullptr;
    // Periodic events counted since the last written line are written too,
    // so that a recording keeps every event the program received.
    if (session.recording) {
        write_periodic_run();
    }
    close_script_file();
    if (session.observer != nullptr) {
        session.observer->session_ends();
    }
    return 1;
}
