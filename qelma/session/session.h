// QELMA's one global state record and the internal calls between the
// session's parts (set-up, event wait, Run menu, scripts).
#ifndef QELMA_SESSION_SESSION_H
#define QELMA_SESSION_SESSION_H

#include <cstdint>
#include <cstdio>

#include "qelma/platform/platform.h"
#include "qelma/session/observer.h"
#include "qelma/session/services.h"

inline constexpr int NO_EVENT = -1;
inline constexpr unsigned QELMA_TIMER_ID = 2;
inline constexpr unsigned QELMA_TIMER_PERIOD_MS = 100;

// Run menu command identifiers.
enum {
    CMD_ANIMATE = 1,
    CMD_HALT = 2,
    CMD_ONE_FRAME = 3,
    CMD_LOGGING = 4,
    CMD_RECORD = 5,
    CMD_PLAYBACK = 6,
    CMD_PLAY_ONE = 7,
    CMD_QUIT = 8,
    CMD_INFO = 9,
};

// A file as its name shows it: identity, size, modification time (seconds)
// and status change time (nanoseconds; 0 where the system has none).
struct ScriptStamp {
    long long device = 0, inode = 0, size = 0, mtime = 0, change_ns = 0;
};

struct Session {
    PlatWindow graphics_window = nullptr; // none until set-up: calls that test it return 0
    PlatWindow text_window = nullptr;     // shows the message log
    PlatDC window_dc = nullptr;           // drawing window's client context, held until tear-down
    PlatObject canvas_bitmap = nullptr;   // the 601 x 540 canvas bitmap
    PlatDC canvas_dc = nullptr;           // memory context of the canvas: all drawing goes here
    int canvas_dirty = 1;                 // canvas changed since last copied to the window
    int origin_x = 0;                     // client pixel of the canvas origin
    int origin_y = 0;
    PlatMenu run_menu = nullptr;          // the Run pop-up, for its check marks
    bool logging_on = true;               // drawing calls describe themselves in the log
    int log_first = -1;                   // ring index of the oldest line, -1 while empty
    int log_next = 0;                     // ring index of the next line
    PlatMem log_lines[LOG_RING_SIZE] = {}; // stored lines, each exactly its length + 1
    bool animating = false;               // a periodic event at every tick
    bool single_step = false;             // one periodic event has been asked for
    bool quit_requested = false;          // quit mode set; never cleared
    int tick_pending = 0;                 // the timer fired since the periodic event was armed
    int pending_event = 0;                // kind of the event being delivered, NO_EVENT if none
    int event_x = 0;                      // canvas coordinates of a mouse event
    int event_y = 0;
    signed char event_key = 0;            // character of a keyboard event
    int ctrl_down = 0;                    // the Ctrl key is held, as the last key said
    bool recording = false;               // events are recorded into the script file
    bool playing_back = false;            // continuous playback of the script file
    bool play_one_pending = false;        // play one script event at the next wait
    std::FILE *script_file = nullptr;     // "QELMA.SCR" while open
    bool script_for_writing = false;      // script_file was opened by the writer
    bool script_finished = false;         // the reader met the end or a line it cannot use
    ScriptStamp script_opened;            // the file the reader opened, to see it replaced
    int periodic_run = 0;                 // recording: periodic events not yet written
    int playback_run = 0;                 // playback: periodic events left from the last line
    int script_lines_read = 0;            // playback: lines read since the file was opened
    bool script_line_open = false;        // playback: the last piece read did not end its line
    const char *replayed_script = nullptr; // played instead of QELMA.SCR, which stays untouched
    bool quit_at_script_end = false;      // the wait returns QELMA_QUIT once the script ends
    SessionObserver *observer = nullptr;  // told what the session does (observer.h)
};

extern Session session;

// Window procedures of the two classes.
PlatResult draw_window_proc(PlatWindow window, unsigned message, PlatWParam wparam,
                            PlatLParam lparam);
PlatResult text_window_proc(PlatWindow window, unsigned message, PlatWParam wparam,
                            PlatLParam lparam);

// Event wait.
void pump_one_message();
void present_canvas();

// Run menu.
void build_run_menu(PlatWindow window);
void run_menu_command(unsigned id);
// A key-down of virtual key vk while Ctrl is held.
void run_menu_shortcut(unsigned vk);
void stop_playback();

// Scripts.
inline constexpr const char *SCRIPT_FILE_NAME = "QELMA.SCR";
void record_script_event(int kind, int x, int y, signed char key);
int read_script_event();
// True while a playback reads the script file: playback is switched on, or
// it has not met the end of the script (Play One steps through it). The
// recorder does not write into such a file.
bool script_held_by_playback();
// Logs that an event is not recorded because the file is being played.
void refuse_recording_during_playback();
// Closes the script file and forgets it, and with it what is left of a
// periodic count being played.
void close_script_file();
// Closes the script file when a switch goes off, whichever side opened it,
// except a stream that a recording still switched on is writing into, or
// one that a playback still switched on is reading.
void close_script_file_on_switch_off();
// Writes a recording's pending run of periodic events as one line.
void write_periodic_run();
// The program may end without running again (the system session ends, the
// page goes away, a signal ends it, the process exits) or the file is wanted
// whole now: a recording's pending periodic run and its buffered lines reach
// the file. The stream stays open and the recording goes on. Calling it
// again writes nothing twice, also after qelma_end.
void write_out_recording();

// Replay by qelma-replay (qelma/replay_stream.h): in qelma_begin, once the
// canvas is there, a program whose environment names a script is set to
// play it from its first wait on (replayed_script, quit_at_script_end) and
// gets the observer that reports what it draws. Nothing else in the session
// knows of the replay.
void replay_begin();

// Text window geometry for a screen of w x h pixels.
struct WindowPlace {
    int left, top, width, height;
};
WindowPlace text_window_place(int screen_w, int screen_h);

#endif // QELMA_SESSION_SESSION_H
