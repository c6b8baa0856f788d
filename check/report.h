// What qelma-check says of a class: a line per learner on the terminal, and
// the sheets and page of --junit, --csv and --report.
#ifndef QELMA_CHECK_REPORT_H
#define QELMA_CHECK_REPORT_H

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "check/check.h"

struct ClassReport {
    const Task &task;
    const std::vector<LearnerResult> &learners;
    bool unsandboxed;
    bool interrupted;
};

// Each outputs complete or not at all (written under a temporary name).
bool write_junit(const ClassReport &report, const std::string &path, std::string *error);
bool write_csv(const ClassReport &report, const std::string &path, std::string *error);
// DIR/index.html and DIR/pictures/: opens from the disk in any browser.
bool write_report_page(const ClassReport &report, const std::string &dir, std::string *error);

// The terminal: a line per learner as each is done, and while the class
// runs a progress bar below them (only where standard error is a terminal).
class ClassTerminal {
  public:
    ClassTerminal(std::size_t learners, std::size_t scripts, bool unsandboxed);
    void done(const LearnerResult &result);
    void finish();

  private:
    void bar();
    std::mutex lock_;
    std::size_t learners_, scripts_, done_ = 0, checks_passed_ = 0;
    bool unsandboxed_, tty_;
};

#endif // QELMA_CHECK_REPORT_H
