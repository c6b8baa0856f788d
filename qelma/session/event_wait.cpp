// The event wait, the drawing window's input messages, the presentation of
// the canvas and animation control.
#include "qelma/draw/draw.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"

void present_canvas() {
    plat_bit_blt(session.window_dc, 0, 0, QELMA_CANVAS_WIDTH, QELMA_CANVAS_HEIGHT,
                 session.canvas_dc, 0, 0, SRCCOPY);
    session.canvas_dirty = 0;
}

// Returns 1 when a message was taken from the queue.
static int pump_message() {
    PlatMsg msg{};
    int taken = plat_peek_message(&msg);
    if (taken && msg.message == WM_QUIT) {
        session.pending_event = QELMA_QUIT;
        return 1;
    }
    if (taken) {
        plat_translate_message(&msg);
        plat_dispatch_message(&msg);
    }
    if (session.canvas_dirty != 0) {
        present_canvas();
    }
    return taken;
}

void pump_one_message() { pump_message(); }

// True while the wait has not got the event it returns.
static bool still_waiting() {
    return session.pending_event == NO_EVENT ||
           (session.pending_event == QELMA_PERIODIC && session.tick_pending == 0);
}

// Records the event the wait returns. An event played from the script is a
// line of the file being played: it is not recorded, nor counted into a run
// of periodic events, and each line played this way logs that once. The
// user's own events meanwhile are refused too, but a pending periodic run
// is kept for when the file is free again.
static void record_event(int kind, bool played, bool played_new_line) {
    if (played) {
        if (played_new_line) {
            refuse_recording_during_playback();
        }
        return;
    }
    if (kind == QELMA_PERIODIC) {
        ++session.periodic_run;
        return;
    }
    if (script_held_by_playback()) {
        refuse_recording_during_playback();
        return;
    }
    write_periodic_run();
    record_script_event(kind, session.event_x, session.event_y, session.event_key);
}

extern "C" int qelma_next_event(int *x, int *y, char *key) {
    if (session.observer != nullptr) {
        session.observer->wait_begins();
    }
    session.pending_event = NO_EVENT;
    session.event_x = 0;
    session.event_y = 0;
    session.event_key = 0;

    bool played = false;          // the event comes from the script
    bool played_new_line = false; // ... from a line read in this wait
    while (still_waiting()) {
        int taken = pump_message();
        // A click, character or quit taken in this pass is delivered; the
        // script's next event waits for the next wait instead of replacing it.
        bool input_taken =
            session.pending_event != NO_EVENT && session.pending_event != QELMA_PERIODIC;
        if ((session.play_one_pending || session.playing_back) && !input_taken) {
            session.play_one_pending = false;
            const bool reads_line = session.playback_run <= 0;
            if (read_script_event() == 1) {
                played = true;
                played_new_line = reads_line;
                break;
            }
            session.playing_back = false;
            if (session.quit_at_script_end) {
                session.pending_event = QELMA_QUIT; // the replayed script is over
                break;
            }
        }
        if ((session.single_step || session.animating) && session.pending_event == NO_EVENT) {
            session.tick_pending = 0;
            session.pending_event = QELMA_PERIODIC;
            session.single_step = false;
        }
        // Nothing came and nothing else needs another pass at once: sleep in
        // the platform until the next message. A tick is one only when a
        // periodic event waits for it; otherwise it waits, unwoken, in the
        // queue for the next input.
        if (!taken && still_waiting() && !session.playing_back &&
            !session.play_one_pending) {
            if (session.pending_event == QELMA_PERIODIC) {
                plat_wait_message();
            } else {
                plat_wait_input();
            }
        }
    }

    if (session.recording) {
        record_event(session.pending_event, played, played_new_line);
    }
    if (x != nullptr) {
        *x = session.event_x;
    }
    if (y != nullptr) {
        *y = session.event_y;
    }
    if (key != nullptr) {
        *key = static_cast<char>(session.event_key);
    }
    if (session.observer != nullptr) {
        session.observer->event_returned(session.pending_event);
    }
    return session.quit_requested ? QELMA_QUIT : session.pending_event;
}

extern "C" int qelma_set_animation(int mode) {
    if (session.graphics_window == nullptr) {
        return 0;
    }
    switch (mode) {
    case QELMA_ANIMATE_HALT:
        session.single_step = false;
        session.animating = false;
        break;
    case QELMA_ANIMATE_ONE_FRAME:
        session.single_step = true;
        break;
    case QELMA_ANIMATE_RUN:
        session.animating = true;
        break;
    case QELMA_ANIMATE_QUIT:
        session.quit_requested = true;
        break;
    default:
        break;
    }
    return 1;
}

// Whether Ctrl was held for the key message with this lparam: what the
// keyboard said as the key was pressed, or, for a message made up by a
// program, what the Ctrl key's own messages said.
static int ctrl_held(PlatLParam lparam) {
    const int state = plat_key_ctrl_state(lparam);
    return state >= 0 ? state : session.ctrl_down;
}

static void take_client_centre(PlatWindow window) {
    PlatRect r{};
    plat_get_client_rect(window, &r);
    session.origin_x = r.left + (r.right - r.left) / 2;
    session.origin_y = r.top + (r.bottom - r.top) / 2;
}

PlatResult draw_window_proc(PlatWindow window, unsigned message, PlatWParam wparam,
                            PlatLParam lparam) {
    switch (message) {
    case WM_CREATE:
        build_run_menu(window);
        return 0;
    case WM_SIZE:
        take_client_centre(window);
        return 0;
    case WM_LBUTTONDOWN: {
        auto packed = static_cast<std::uint32_t>(lparam);
        session.pending_event = QELMA_MOUSE;
        session.event_x = canvas_x_of_column(static_cast<int>(packed & 0xFFFF));
        session.event_y = canvas_y_of_row(static_cast<int>((packed >> 16) & 0xFFFF));
        return 0;
    }
    case WM_CHAR:
        if (ctrl_held(lparam) != 1) {
            session.pending_event = QELMA_KBD;
            session.event_key = static_cast<signed char>(wparam & 0xFF);
        }
        return 0;
    case WM_TIMER:
        session.tick_pending = 1;
        return 0;
    case WM_PAINT:
        plat_begin_paint(window);
        present_canvas();
        plat_end_paint(window);
        return 0;
    case WM_DESTROY:
        plat_kill_timer(window, QELMA_TIMER_ID);
        plat_post_quit_message(0);
        return 0;
    case WM_ENDSESSION:
        // The program may be ended without running again: the recording so
        // far is written out, as a program that ends writes it.
        if (wparam != 0) {
            write_out_recording();
        }
        return 0;
    case WM_COMMAND:
        run_menu_command(static_cast<unsigned>(wparam));
        return 0;
    case WM_KEYDOWN:
        // Any other key tells the Ctrl key's state as it was pressed, which
        // mends a record left held by a Ctrl released in another program.
        session.ctrl_down = wparam == VK_CONTROL ? 1 : ctrl_held(lparam);
        if (wparam != VK_CONTROL && session.ctrl_down == 1) {
            run_menu_shortcut(static_cast<unsigned>(wparam));
        }
        return 0;
    case WM_KEYUP:
        if (wparam == VK_CONTROL) {
            session.ctrl_down = 0;
        }
        return 0;
    case WM_KILLFOCUS:
        // Keys released from now on reach another window.
        session.ctrl_down = 0;
        return 0;
    default:
        return plat_def_window_proc(window, message, wparam, lparam);
    }
}
