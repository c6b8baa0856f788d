// Where qelma-check's builds and runs happen: bubblewrap's sandbox (no
// network, the system read-only, only a private temporary folder writable,
// a process namespace of its own), within limits, each ended with all it
// started.
#ifndef QELMA_CHECK_SANDBOX_H
#define QELMA_CHECK_SANDBOX_H

#include <string>
#include <utility>
#include <vector>

#include "check/check.h"

struct Sandbox {
    bool on = true;
    std::string bwrap = "bwrap";
    std::string launcher; // this command, which runs a command within the limits (run_limited)
    // Run by root: builds and runs go as this unprivileged user, whose
    // process limit the kernel then holds (it holds none for root).
    bool as_nobody = false;
    // Folders shown read-only: a host folder, and where it is inside.
    std::vector<std::pair<std::string, std::string>> shown;
};

// A folder of the host shown inside at `inside`.
struct Bind {
    std::string host, inside;
    bool writable = false;
};

// The command line that runs `command` under the limits: in the sandbox
// with the binds (working in `chdir`), or, with the sandbox off, as it is.
std::vector<std::string> sandboxed(const Sandbox &sandbox, const Limits &limits, const std::vector<Bind> &binds,
                                   const std::string &chdir, const std::vector<std::string> &command);

// What a process told and how it ended.
struct Ran {
    int code = -1;         // its exit code, 128 + n for signal n
    bool killed = false;   // ended by the deadline
    std::string output;    // standard output and error: their start and end
};

// Runs argv with the environment, in a process group of its own (as the
// unprivileged user where the sandbox says so); past `seconds`, or when the
// command is interrupted, the group is killed. Keeps at most 64 KB of what
// it writes.
Ran run_bounded(const Sandbox &sandbox, const std::vector<std::string> &argv, const std::vector<std::string> &env,
                double seconds);

// qelma-check --limited NPROC AS FSIZE CPU -- COMMAND... [--then|--and
// COMMAND...]...: runs each COMMAND under those limits (one after --and only
// when all before succeeded), tells the peak memory on standard error
// ("qelma-check: peak memory N KB") and ends as the first that failed.
int run_limited(int argc, char **argv);
// The peak memory run_limited told last in the output, or -1.
long peak_memory_kb(const std::string &output);

// Kills every group run_bounded has running (the command is interrupted).
void kill_running();

// Whether the sandbox starts here; else why not.
bool sandbox_works(const Sandbox &sandbox, std::string *why);

#endif // QELMA_CHECK_SANDBOX_H
