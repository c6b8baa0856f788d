// The sandbox's command line, and processes run with a deadline.
#include "check/sandbox.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <mutex>
#include <poll.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uid_t NOBODY = 65534;
constexpr std::size_t KEPT_OUTPUT = 32 * 1024; // of the start, and as much of the end

std::mutex running_lock;
std::set<pid_t> running; // process groups

// The system as the sandbox shows it: a merged /usr as links, else bound.
void add_system(std::vector<std::string> *args) {
    args->insert(args->end(), {"--ro-bind", "/usr", "/usr"});
    for (const char *top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
        std::error_code failed;
        const fs::file_status status = fs::symlink_status(top, failed);
        if (failed || !fs::exists(status))
            continue;
        if (fs::is_symlink(status))
            args->insert(args->end(), {"--symlink", fs::read_symlink(top, failed).string(), top});
        else
            args->insert(args->end(), {"--ro-bind", top, top});
    }
    // What a build or a program may look up in /etc: the linker's cache,
    // and the links by which Debian names the compilers (cc, c++).
    for (const char *kept : {"/etc/ld.so.cache", "/etc/alternatives"}) {
        if (fs::exists(kept))
            args->insert(args->end(), {"--ro-bind", kept, kept});
    }
}

} // namespace

std::vector<std::string> sandboxed(const Sandbox &sandbox, const Limits &limits, const std::vector<Bind> &binds,
                                   const std::string &chdir, const std::vector<std::string> &command) {
    const long long mb = 1024 * 1024;
    // Processor time: a program that never waits is stopped by qelma-replay
    // long before; this ends one that hides in a child.
    const long cpu = std::max(10L, static_cast<long>(6 * limits.seconds));
    std::vector<std::string> limited = {sandbox.launcher,
                                        "--limited",
                                        std::to_string(limits.processes),
                                        std::to_string(limits.memory_mb * mb),
                                        std::to_string(limits.written_mb * mb),
                                        std::to_string(cpu),
                                        "--"};
    if (!sandbox.on) {
        // Without the sandbox's --chdir, env goes there first.
        limited.insert(limited.begin(), {"/usr/bin/env", "--chdir=" + chdir});
        limited.insert(limited.end(), command.begin(), command.end());
        return limited;
    }
    limited.insert(limited.end(), command.begin(), command.end());
    // The launcher is the sandbox's first process: the kernel gives it no
    // signal from inside that it does not ask for, so a program cannot kill
    // the process that watches it.
    std::vector<std::string> args = {sandbox.bwrap, "--unshare-all", "--die-with-parent", "--new-session",
                                     "--as-pid-1", "--proc", "/proc", "--dev", "/dev"};
    add_system(&args);
    args.insert(args.end(), {"--size", std::to_string(limits.written_mb * mb), "--tmpfs", "/tmp"});
    for (const auto &[host, inside] : sandbox.shown)
        args.insert(args.end(), {"--ro-bind", host, inside});
    for (const Bind &b : binds)
        args.insert(args.end(), {b.writable ? "--bind" : "--ro-bind", b.host, b.inside});
    args.insert(args.end(), {"--setenv", "HOME", "/tmp", "--setenv", "TMPDIR", "/tmp", "--chdir", chdir, "--"});
    args.insert(args.end(), limited.begin(), limited.end());
    return args;
}

Ran run_bounded(const Sandbox &sandbox, const std::vector<std::string> &argv, const std::vector<std::string> &env,
                double seconds) {
    Ran ran;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        ran.output = std::string("cannot start: ") + std::strerror(errno);
        return ran;
    }
    std::vector<char *> args, envp;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    std::unique_lock<std::mutex> hold(running_lock);
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        const int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, 0);
        if (sandbox.as_nobody && (setgroups(0, nullptr) != 0 || setgid(NOBODY) != 0 || setuid(NOBODY) != 0)) {
            std::fprintf(stderr, "qelma-check: cannot become the unprivileged user: %s\n", std::strerror(errno));
            _exit(126);
        }
        execve(args[0], args.data(), envp.data());
        execvpe(args[0], args.data(), envp.data());
        std::fprintf(stderr, "qelma-check: cannot run %s: %s\n", args[0], std::strerror(errno));
        _exit(127);
    }
    close(out[1]);
    if (child < 0) {
        close(out[0]);
        ran.output = std::string("cannot start: ") + std::strerror(errno);
        return ran;
    }
    setpgid(child, child);
    running.insert(child);
    hold.unlock();

    std::string start, end;
    std::size_t dropped = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    char buffer[16384];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ran.killed = true;
            kill(-child, SIGKILL);
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        // The start is kept whole, then the latest of the rest.
        std::size_t used = 0;
        if (start.size() < KEPT_OUTPUT) {
            used = std::min<std::size_t>(static_cast<std::size_t>(got), KEPT_OUTPUT - start.size());
            start.append(buffer, used);
        }
        end.append(buffer + used, static_cast<std::size_t>(got) - used);
        if (end.size() > 2 * KEPT_OUTPUT) {
            dropped += end.size() - KEPT_OUTPUT;
            end.erase(0, end.size() - KEPT_OUTPUT);
        }
    }
    close(out[0]);
    int status = 0;
    // What the process left behind in its group goes with it.
    kill(-child, SIGKILL);
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    hold.lock();
    running.erase(child);
    hold.unlock();
    if (end.size() > KEPT_OUTPUT) {
        dropped += end.size() - KEPT_OUTPUT;
        end.erase(0, end.size() - KEPT_OUTPUT);
    }
    ran.output = start + (dropped ? "\n[... " + std::to_string(dropped) + " bytes left out ...]\n" : "") + end;
    ran.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return ran;
}

int run_limited(int argc, char **argv) {
    if (argc < 8 || std::strcmp(argv[6], "--") != 0) {
        std::fprintf(stderr, "qelma-check --limited NPROC AS FSIZE CPU -- COMMAND...\n");
        return 2;
    }
    const int resources[] = {RLIMIT_NPROC, RLIMIT_AS, RLIMIT_FSIZE, RLIMIT_CPU};
    for (int i = 0; i < 4; ++i) {
        const rlim_t value = std::strtoull(argv[2 + i], nullptr, 10);
        const rlimit limit{value, value};
        if (setrlimit(resources[i], &limit) != 0) {
            std::fprintf(stderr, "qelma-check: cannot set a limit: %s\n", std::strerror(errno));
            return 126;
        }
    }
    const rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);
    // The commands in order: one after "--then" runs whatever came before,
    // one after "--and" only when every one before succeeded. The status
    // kept is the first failure's (a failure's status is never 0).
    int status = 0;
    long peak_kb = 0;
    bool always = true; // what the separator before this command says
    for (int at = 7; at < argc;) {
        const int command = at;
        while (at < argc && std::strcmp(argv[at], "--then") != 0 && std::strcmp(argv[at], "--and") != 0)
            ++at;
        const bool runs = command < at && (always || status == 0);
        always = at < argc && std::strcmp(argv[at], "--then") == 0;
        argv[at++] = nullptr;
        if (!runs)
            continue;
        const pid_t child = fork();
        if (child == 0) {
            execvp(argv[command], argv + command);
            std::fprintf(stderr, "qelma-check: cannot run %s: %s\n", argv[command], std::strerror(errno));
            _exit(errno == ENOENT ? 127 : 126);
        }
        if (child < 0) {
            std::fprintf(stderr, "qelma-check: cannot start %s: %s\n", argv[command], std::strerror(errno));
            return 126;
        }
        // As the sandbox's first process it takes every orphan's end too.
        int ended_as = 0;
        rusage usage{};
        for (;;) {
            const pid_t ended = wait4(-1, &ended_as, 0, &usage);
            if (ended == child || (ended < 0 && errno != EINTR))
                break;
        }
        peak_kb = std::max(peak_kb, static_cast<long>(usage.ru_maxrss));
        if (status == 0)
            status = ended_as;
    }
    std::fprintf(stderr, "\nqelma-check: peak memory %ld KB\n", peak_kb);
    std::fflush(stderr);
    if (WIFSIGNALED(status)) {
        // Ended as the program was: by the same signal.
        std::signal(WTERMSIG(status), SIG_DFL);
        raise(WTERMSIG(status));
        return 128 + WTERMSIG(status);
    }
    return WEXITSTATUS(status);
}

long peak_memory_kb(const std::string &output) {
    const std::string told = "qelma-check: peak memory ";
    const auto at = output.rfind(told);
    return at == std::string::npos ? -1 : std::strtol(output.c_str() + at + told.size(), nullptr, 10);
}

void kill_running() {
    std::lock_guard<std::mutex> hold(running_lock);
    for (pid_t group : running)
        kill(-group, SIGKILL);
}

bool sandbox_works(const Sandbox &sandbox, std::string *why) {
    Limits limits;
    const Ran ran = run_bounded(sandbox, sandboxed(sandbox, limits, {}, "/", {"/bin/true"}),
                                {"PATH=/usr/bin:/bin"}, 30);
    if (ran.code == 0)
        return true;
    *why = ran.output.empty() ? "exit code " + std::to_string(ran.code) : ran.output;
    while (!why->empty() && (why->back() == '\n' || why->back() == ' '))
        why->pop_back();
    return false;
}
