// qelma-replay: runs a QELMA program with its events taken from a script,
// without a screen, and makes pictures of what it draws.
//
//   qelma-replay [options] SCRIPT -- PROGRAM [ARGS...]
//
// Exit codes: 0 the script was played to its end (and the picture is as
// expected); 1 --expect found the last picture different; 2 a usage error,
// a script that cannot be read or holds a line that cannot be played, an
// output that cannot be written, or outputs that are one file (or the script,
// or the reference); the program's own code when it ended before its script
// did; 124 the program asked for no event for longer than --timeout; 125 it
// is not a QELMA program; 126 it cannot be run; 127 it is not found; 128 + n
// it crashed with signal n.
#ifndef QELMA_REPLAY_REPLAY_COMMAND_H
#define QELMA_REPLAY_REPLAY_COMMAND_H

#include <string>
#include <vector>

enum ReplayExit {
    EXIT_PLAYED = 0,
    EXIT_NOT_AS_EXPECTED = 1,
    EXIT_BAD_INPUT = 2,
    EXIT_TIMED_OUT = 124,
    EXIT_NOT_QELMA = 125,
    EXIT_CANNOT_RUN = 126,
    EXIT_NOT_FOUND = 127,
    EXIT_SIGNAL_BASE = 128
};

struct ReplayOptions {
    std::string script;
    std::vector<std::string> program; // the program and its arguments
    std::string gif, png, frames, expect, diff, log;
    int every = 1;
    double tolerance = 0.0; // percent of pixels
    double timeout = 10.0;  // seconds without a wait
    bool help = false;
};

// False, with the reason in *error, for a command line that is not a replay.
// The whole text as a finite number from low to high; false when it is not.
bool number_of(const std::string &text, double low, double high, double *value);
bool parse_replay_options(const std::vector<std::string> &args, ReplayOptions *options,
                          std::string *error);
// Runs the whole command; messages go to standard error. Returns the exit code.
int run_replay(const ReplayOptions &options);

#endif // QELMA_REPLAY_REPLAY_COMMAND_H
