// The replayed program as a child process (POSIX): posix_spawnp, a pipe on
// descriptor 3 that the library writes to once it has checked the pipe's
// identity, and poll for the limit.
#include "replay/child_process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
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

// The program has ended (and is left to be reaped by finish).
bool has_ended(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

using Clock = std::chrono::steady_clock;

} // namespace

ChildOutcome run_child(const std::vector<std::string> &argv,
                       const std::vector<std::pair<std::string, std::string>> &variables,
                       const std::string &stream_variable, const std::string &pipe_variable,
                       double timeout_seconds,
                       const std::function<bool(const void *, std::size_t)> &take,
                       const std::function<std::uint64_t()> &progress) {
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
    // The pipe's identity, by which the library tells it from a file that
    // the program itself may have opened on the same descriptor.
    struct stat pipe_info {};
    fstat(writer, &pipe_info);
    all.emplace_back(pipe_variable, std::to_string(pipe_info.st_dev) + ":" +
                                        std::to_string(pipe_info.st_ino));
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
    const auto limit = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(timeout_seconds));
    std::uint64_t moved = progress();
    auto deadline = Clock::now() + limit;
    bool open = true;
    // Reads what has come; false when the reader refused it.
    auto read_some = [&]() -> bool {
        const ssize_t got = read(reader, chunk.data(), chunk.size());
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            return true;
        if (got <= 0) {
            // Every writer has closed the stream: the program ends now, and
            // has the limit for it.
            open = false;
            deadline = Clock::now() + limit;
            return true;
        }
        return take(chunk.data(), static_cast<std::size_t>(got));
    };
    for (;;) {
        if (has_ended(pid)) {
            // What it wrote before its end is in the pipe, at most the
            // pipe's size: read that without waiting for a process the
            // program started, which may hold the pipe open.
            fcntl(reader, F_SETFL, fcntl(reader, F_GETFL) | O_NONBLOCK);
            const int pipe_size = fcntl(reader, F_GETPIPE_SZ);
            const std::size_t most = pipe_size > 0 ? static_cast<std::size_t>(pipe_size) : chunk.size();
            std::size_t drained = 0;
            while (open && drained <= most) {
                pollfd ready{reader, POLLIN, 0};
                if (poll(&ready, 1, 0) <= 0)
                    break;
                if (!read_some()) {
                    close(reader);
                    return finish(pid, true, ChildOutcome::STOPPED);
                }
                drained += chunk.size();
            }
            close(reader);
            return finish(pid, false, ChildOutcome::EXITED);
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            close(reader);
            return finish(pid, true, ChildOutcome::TIMED_OUT);
        }
        // Short waits, so that the program's end is seen even while the
        // pipe stays open or silent.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        const int wait_ms = static_cast<int>(std::min<long long>(left.count() + 1, 20));
        if (!open) {
            poll(nullptr, 0, wait_ms);
            continue;
        }
        pollfd ready{reader, POLLIN, 0};
        const int polled = poll(&ready, 1, wait_ms);
        if (polled <= 0)
            continue;
        if (!read_some()) {
            close(reader);
            return finish(pid, true, ChildOutcome::STOPPED);
        }
        // Only a sign of life moves the limit: pictures and log lines do not.
        const std::uint64_t now_moved = progress();
        if (now_moved != moved) {
            moved = now_moved;
            deadline = Clock::now() + limit;
        }
    }
}
