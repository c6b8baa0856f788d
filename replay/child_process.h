// Running the replayed program: started with the replay variables in its
// environment and a pipe for its records, read with a limit on silence.
#ifndef QELMA_REPLAY_CHILD_PROCESS_H
#define QELMA_REPLAY_CHILD_PROCESS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ChildOutcome {
    enum Kind {
        EXITED,      // code holds its exit code
        SIGNALLED,   // code holds the signal
        TIMED_OUT,   // asked for no event for longer than the limit; stopped
        NOT_STARTED, // code holds errno of the start
        STOPPED      // the reader refused the records; stopped
    } kind = EXITED;
    int code = 0;
};

// Starts argv[0] (found on PATH as a shell would) with the variables set (or,
// with an empty value, removed), and hands every piece of its record stream
// to take, which returns false to stop it. progress counts the program's
// signs of life (its waits): the program is stopped when it has not moved
// on for timeout_seconds, whatever else it writes. The program's own exit
// ends the run, even while a process it started still holds the stream.
ChildOutcome run_child(const std::vector<std::string> &argv,
                       const std::vector<std::pair<std::string, std::string>> &variables,
                       const std::string &stream_variable, const std::string &pipe_variable,
                       double timeout_seconds,
                       const std::function<bool(const void *, std::size_t)> &take,
                       const std::function<std::uint64_t()> &progress);

#endif // QELMA_REPLAY_CHILD_PROCESS_H
