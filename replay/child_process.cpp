// The replayed program as a child process (POSIX): posix_spawnp, a pipe on
// descriptor 3 that the library opens as /dev/fd/3, and poll for the limit.
#include "replay/child_process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int STREAM_FD = 3;

std::vector<std::string> child_environment(
    const std::vector<std::pair<std::string, std::string>> &variables) {
    std::vector<std::string> result;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto &[name, value] : variables)
            replaced = replaced || text.compare(0, name.size() + 1, name + "=") == 0;
        if (!replaced)
            result.push_back(text);
    }
    for (const auto &[name, value] : variables)
        if (!value.empty())
            result.push_back(name + "=" + value);
    return result;
}

ChildOutcome finish(pid_t pid, bool stop, ChildOutcome::Kind stopped_kind) {
    if (stop)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (stop)
        return ChildOutcome{stopped_kind, 0};
    if (WIFSIGNALED(status))
        return ChildOutcome{ChildOutcome::SIGNALLED, WTERMSIG(status)};
    return ChildOutcome{ChildOutcome::EXITED, WEXITSTATUS(status)};
}

// Waits for the end of a program that has closed its stream, as long as the
// limit allows.
bool ended_within(pid_t pid, double timeout_seconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_seconds);
    for (;;) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == pid)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        poll(nullptr, 0, 5);
    }
}

} // namespace

ChildOutcome run_child(const std::vector<std::string> &argv,
                       const std::vector<std::pair<std::string, std::string>> &variables,
                       const std::string &stream_variable, double timeout_seconds,
                       const std::function<bool(const void *, std::size_t)> &take) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return ChildOutcome{ChildOutcome::NOT_STARTED, errno};
    // Above the descriptor it becomes in the child, so that dup2 clears its
    // close-on-exec flag there.
    const int writer = fcntl(fds[1], F_DUPFD_CLOEXEC, 10);
    close(fds[1]);
    const int reader = fds[0];
    // Pictures are large: a roomy pipe spares both sides many switches.
    fcntl(reader, F_SETPIPE_SZ, 1 << 20);

    auto all = variables;
    all.emplace_back(stream_variable, "/dev/fd/" + std::to_string(STREAM_FD));
    std::vector<std::string> environment = child_environment(all);
    std::vector<char *> envp, args;
    for (auto &entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv_copy = argv;
    for (auto &arg : argv_copy)
        args.push_back(arg.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writer, STREAM_FD);
    pid_t pid = 0;
    const int started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(writer);
    if (started != 0) {
        close(reader);
        return ChildOutcome{ChildOutcome::NOT_STARTED, started};
    }

    std::vector<char> chunk(1 << 20);
    const int limit_ms = static_cast<int>(timeout_seconds * 1000);
    for (;;) {
        pollfd ready{reader, POLLIN, 0};
        const int polled = poll(&ready, 1, limit_ms);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled == 0) {
            close(reader);
            return finish(pid, true, ChildOutcome::TIMED_OUT);
        }
        const ssize_t got = read(reader, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break; // the program closed its stream: it ended, or ends now
        if (!take(chunk.data(), static_cast<std::size_t>(got))) {
            close(reader);
            return finish(pid, true, ChildOutcome::STOPPED);
        }
    }
    close(reader);
    if (!ended_within(pid, timeout_seconds))
        return finish(pid, true, ChildOutcome::TIMED_OUT);
    return finish(pid, false, ChildOutcome::EXITED);
}
