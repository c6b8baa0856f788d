// qelma-check: a class of submissions checked against a task's reference
// pictures, each build and run in a sandbox of its own.
#ifndef QELMA_CHECK_CHECK_H
#define QELMA_CHECK_CHECK_H

#include <cstddef>
#include <string>
#include <vector>

// What one build or run may use.
struct Limits {
    double seconds = 10;       // without asking for an event (and 6 times that in all)
    long memory_mb = 512;      // address space of the program
    long processes = 64;       // processes and threads of the sandbox
    long written_mb = 100;     // its private temporary folder, and any one file
    double tolerance = 0;      // percent of the pixels that may differ
};

// A task: scripts, each with the picture the program must end on.
struct Script {
    std::string name; // "day" for day.SCR
    std::string script_path;
    std::string picture_path;
};
struct Task {
    std::string folder;
    std::vector<Script> scripts;
    Limits limits;
};

// Reads TASK/*.SCR, each NAME.png beside it and TASK/check.conf, over the
// given limits. False, with the reason, when it is no task; `making` asks
// for the scripts alone (their pictures are to be made).
bool load_task(const std::string &folder, bool making, Task *task, std::string *error);
// One "name = value" line of check.conf or an option's value, into limits.
bool set_limit(const std::string &name, const std::string &value, Limits *limits, std::string *error);

// A learner's submission: a program, one source file, or a folder of sources.
struct Submission {
    std::string learner; // the folder's name, or the file's without its suffix
    std::string path;
    bool program = false;             // a program file, run as it is
    std::vector<std::string> sources; // else the sources to build
    std::string problem;              // set when it cannot be taken
};
// The submissions of the paths, sorted by learner. False, with the reason,
// when two have one name.
bool find_submissions(const std::vector<std::string> &paths, std::vector<Submission> *submissions,
                      std::string *error);

// The result of one check.
enum class Verdict { PASSED, DIFFERS, BUILD_FAILED, CRASHED, TIMEOUT, MEMORY, NOT_QELMA, ENDED_EARLY, NOT_PLAYED };
const char *verdict_word(Verdict verdict); // "passed", "differs", ... for sheets
struct CheckResult {
    std::string script;
    Verdict verdict = Verdict::PASSED;
    std::string reason;      // in words, for people
    std::string picture;     // the last picture, the difference picture (paths; may be empty)
    std::string difference;
    std::string log_tail;    // the log's last lines
};
struct LearnerResult {
    std::string learner;
    std::string build_messages;
    std::vector<CheckResult> checks;
    std::size_t passed() const;
};

// The command: qelma-check [options] TASK SUBMISSION...
int run_check(int argc, char **argv);

#endif // QELMA_CHECK_CHECK_H
