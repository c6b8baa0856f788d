// What the drawing calls (draw/) and the message log (log/) need of the
// session: a few calls, so that they depend on these and not on the whole
// session record, and nothing in them reaches back up into it.
#ifndef QELMA_SESSION_SERVICES_H
#define QELMA_SESSION_SERVICES_H

#include "qelma/platform/platform.h"

// The canvas's memory context, where all drawing goes (null before set-up),
// and the note that the canvas changed, so that the wait presents it.
PlatDC session_canvas_dc();
void session_canvas_changed();
// The client pixel of the canvas origin.
int session_origin_x();
int session_origin_y();

// Whether drawing calls describe themselves in the log; switching it also
// sets the Run menu's "Logging" mark.
bool session_logging();
void session_set_logging(bool on);

// The two windows, null before set-up.
PlatWindow session_graphics_window();
PlatWindow session_text_window();

// The log ring in the session record: LOG_RING_SIZE stored lines, the ring
// index of the oldest (-1 while empty) and of the next.
inline constexpr int LOG_RING_SIZE = 25;
struct LogRing {
    int &first;
    int &next;
    PlatMem *lines;
};
LogRing session_log_ring();

// Whoever watches the session (observer.h), or null: told every line
// written to the log.
class SessionObserver;
SessionObserver *session_observer();

#endif // QELMA_SESSION_SERVICES_H
