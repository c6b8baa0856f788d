// The replayed program as a child process (Windows): CreateProcess in a job
// object, so that whatever it starts ends with it, and an anonymous pipe
// whose write handle alone it inherits ("handle:N" in the stream variable),
// read by a thread of its own while this one keeps the limit.
#include "replay/child_process.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// One argument as the C runtime of the child reads it back.
std::string quoted(const std::string &arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

// The environment block: this process's, with the variables set or removed.
std::string child_environment(const std::vector<std::pair<std::string, std::string>> &variables) {
    std::string block;
    char *all = GetEnvironmentStringsA();
    for (const char *entry = all; entry && *entry; entry += std::strlen(entry) + 1) {
        const std::string text = entry;
        bool replaced = false;
        for (const auto &[name, value] : variables)
            replaced = replaced || _strnicmp(text.c_str(), (name + "=").c_str(), name.size() + 1) == 0;
        if (!replaced)
            block.append(text).push_back('\0');
    }
    FreeEnvironmentStringsA(all);
    for (const auto &[name, value] : variables)
        if (!value.empty())
            block.append(name + "=" + value).push_back('\0');
    block.push_back('\0');
    return block;
}

// An exception that ended the program, as the signal that ends a POSIX
// program for the same fault; 0 for an ordinary exit code.
int signal_of(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_IN_PAGE_ERROR:
        return 11; // SIGSEGV
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
        return 4; // SIGILL
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
        return 8; // SIGFPE
    case 0xC0000409u: // a fast fail: abort() and the stack check
        return 6; // SIGABRT
    default:
        return 0;
    }
}

// What the reading thread and this one share.
struct Reading {
    std::mutex lock;
    std::condition_variable moved;
    bool open = true;     // the pipe has not ended
    bool refused = false; // take refused the records
    std::uint64_t signs = 0;
};

} // namespace

ChildOutcome run_child(const std::vector<std::string> &argv,
                       const std::vector<std::pair<std::string, std::string>> &variables,
                       const std::string &stream_variable, const std::string &pipe_variable,
                       double timeout_seconds,
                       const std::function<bool(const void *, std::size_t)> &take,
                       const std::function<std::uint64_t()> &progress) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE reader = nullptr, writer = nullptr;
    if (!CreatePipe(&reader, &writer, &inherit, 1 << 20))
        return ChildOutcome{ChildOutcome::NOT_STARTED, EPIPE};
    SetHandleInformation(reader, HANDLE_FLAG_INHERIT, 0);
    const std::string handle = std::to_string(reinterpret_cast<std::uintptr_t>(writer));
    auto all = variables;
    all.emplace_back(stream_variable, "handle:" + handle);
    all.emplace_back(pipe_variable, handle);
    std::string environment = child_environment(all);
    std::string command_line;
    for (const std::string &arg : argv)
        command_line += (command_line.empty() ? "" : " ") + quoted(arg);

    // The job ends every process of the program when it is closed, and a
    // program that crashes ends at once, with no error box that waits for
    // someone to click it (the error mode is inherited, too).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (job)
        SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE,
                                        CREATE_SUSPENDED, environment.data(), nullptr, &startup,
                                        &process);
    const DWORD start_error = GetLastError();
    CloseHandle(writer);
    if (!started) {
        CloseHandle(reader);
        if (job)
            CloseHandle(job);
        const bool missing = start_error == ERROR_FILE_NOT_FOUND || start_error == ERROR_PATH_NOT_FOUND;
        return ChildOutcome{ChildOutcome::NOT_STARTED, missing ? ENOENT : EACCES};
    }
    if (job)
        AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);

    Reading shared;
    std::thread reading([&] {
        std::vector<char> chunk(1 << 20);
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(reader, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr) ||
                got == 0)
                break;
            std::lock_guard<std::mutex> hold(shared.lock);
            if (!take(chunk.data(), got)) {
                shared.refused = true;
                break;
            }
            shared.signs = progress();
            shared.moved.notify_one();
        }
        std::lock_guard<std::mutex> hold(shared.lock);
        shared.open = false;
        shared.moved.notify_one();
    });

    const auto limit = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(timeout_seconds));
    auto deadline = Clock::now() + limit;
    std::uint64_t seen = 0;
    bool was_open = true;
    ChildOutcome outcome{ChildOutcome::EXITED, 0};
    for (;;) {
        std::unique_lock<std::mutex> hold(shared.lock);
        // Short waits, so that the program's end is seen even while the
        // pipe stays open or silent.
        shared.moved.wait_for(hold, std::chrono::milliseconds(20));
        if (shared.refused) {
            outcome.kind = ChildOutcome::STOPPED;
            break;
        }
        // Only a sign of life moves the limit; the pipe's end gives the
        // program the limit to end in.
        if (shared.signs != seen || (was_open && !shared.open)) {
            seen = shared.signs;
            deadline = Clock::now() + limit;
        }
        was_open = shared.open;
        hold.unlock();
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0)
            break;
        if (Clock::now() >= deadline) {
            outcome.kind = ChildOutcome::TIMED_OUT;
            break;
        }
    }
    // What the program left behind ends with it: the pipe then closes, and
    // the reader has what was written before.
    if (job)
        TerminateJobObject(job, 1);
    if (outcome.kind != ChildOutcome::EXITED)
        TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
    reading.join();
    CloseHandle(reader);
    if (outcome.kind == ChildOutcome::EXITED && shared.refused)
        outcome.kind = ChildOutcome::STOPPED;
    if (outcome.kind == ChildOutcome::EXITED) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        if (const int signal_number = signal_of(code))
            outcome = ChildOutcome{ChildOutcome::SIGNALLED, signal_number};
        else
            outcome.code = static_cast<int>(code);
    }
    CloseHandle(process.hProcess);
    if (job)
        CloseHandle(job);
    return outcome;
}
