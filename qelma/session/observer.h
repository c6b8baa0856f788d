// Whoever watches a session run is told what it needs through this one
// small interface, and the session holds at most one (Session::observer):
// qelma-replay's side in the program (replay.cpp) is the one there is.
#ifndef QELMA_SESSION_OBSERVER_H
#define QELMA_SESSION_OBSERVER_H

class SessionObserver {
  public:
    // qelma_next_event was called: a wait begins (after a periodic event,
    // with the picture that event left on the canvas).
    virtual void wait_begins() = 0;
    // The wait returns an event of this kind.
    virtual void event_returned(int kind) = 0;
    // A line was written to the message log.
    virtual void line_logged(const char *text) = 0;
    // The script stopped playing: a ReplayEnd (replay_stream.h).
    virtual void script_ended(unsigned how) = 0;
    // qelma_end: the session is over.
    virtual void session_ends() = 0;

  protected:
    ~SessionObserver() = default;
};

#endif // QELMA_SESSION_OBSERVER_H
