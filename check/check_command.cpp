// qelma-check: builds each submission, replays each script of the task into
// it with qelma-replay --expect, and says what came of it, learner by
// learner, on the terminal and in sheets.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "check/check.h"
#include "check/object_cache.h"
#include "check/report.h"
#include "check/sandbox.h"

namespace fs = std::filesystem;

namespace {

constexpr int EXIT_USAGE = 2;
constexpr int EXIT_INTERRUPTED = 130;
constexpr uid_t NOBODY = 65534;

std::atomic<bool> interrupted{false};

void say(const std::string &message) { std::fprintf(stderr, "qelma-check: %s\n", message.c_str()); }

const char *const USAGE =
    "usage: qelma-check [options] TASK SUBMISSION...\n"
    "       qelma-check --make TASK -- PROGRAM\n"
    "Checks each submission (a program, a C or C++ source file, or a folder of\n"
    "sources named by its learner) against every TASK/NAME.SCR: the program must\n"
    "end on TASK/NAME.png. Each build and each run is in a sandbox of its own.\n"
    "  -j N              N checks at a time (default: the number of cores)\n"
    "  --junit FILE      JUnit XML: a suite per learner, a case per script\n"
    "  --csv FILE        a grade sheet: a row per learner, a column per script\n"
    "  --report DIR      a page, DIR/index.html, with every picture\n"
    "  --shard K/N       only the K-th of N equal slices of the class\n"
    "  --time S          seconds a program may go without asking for an event (10)\n"
    "  --memory MB       its memory (512)     --processes N  its processes (64)\n"
    "  --written MB      what it may write (100)\n"
    "  --tolerance P     percent of the pixels that may differ (0)\n"
    "  --no-sandbox      run without bubblewrap: only for programs you trust\n"
    "  --make            make TASK's pictures with PROGRAM, the teacher's own\n"
    "Settings in TASK/check.conf (\"time = 20\") come before the options.\n"
    "Exit: 0 every check passed, 1 some did not, 2 a usage or task error.\n";

struct Options {
    bool make = false;
    int jobs = 0;
    std::string junit, csv, report;
    int shard = 1, shards = 1;
    bool sandbox = true;
    std::vector<std::pair<std::string, std::string>> limits; // name, value, over the task's
    std::string task;
    std::vector<std::string> submissions; // or the program and its arguments
};

bool parse(int argc, char **argv, Options *o, std::string *error) {
    int i = 1;
    auto value = [&](const std::string &name, std::string *out) {
        if (i + 1 >= argc) {
            *error = name + " needs a value";
            return false;
        }
        *out = argv[++i];
        return true;
    };
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string v;
        if (arg == "--") {
            ++i;
            break;
        } else if (arg == "--make") {
            o->make = true;
        } else if (arg == "--no-sandbox") {
            o->sandbox = false;
        } else if (arg == "-j" || arg == "--jobs") {
            if (!value(arg, &v))
                return false;
            char *end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (*end != '\0' || n < 1 || n > 256) {
                *error = "-j takes a number from 1 to 256, not \"" + v + "\"";
                return false;
            }
            o->jobs = static_cast<int>(n);
        } else if (arg == "--junit" || arg == "--csv" || arg == "--report") {
            if (!value(arg, &v))
                return false;
            (arg == "--junit" ? o->junit : arg == "--csv" ? o->csv : o->report) = v;
        } else if (arg == "--shard") {
            if (!value(arg, &v))
                return false;
            int k = 0, n = 0;
            char tail = 0;
            if (std::sscanf(v.c_str(), "%d/%d%c", &k, &n, &tail) != 2 || n < 1 || k < 1 || k > n) {
                *error = "--shard takes K/N, 1 <= K <= N, not \"" + v + "\"";
                return false;
            }
            o->shard = k;
            o->shards = n;
        } else if (arg == "--time" || arg == "--memory" || arg == "--processes" || arg == "--written" ||
                   arg == "--tolerance") {
            if (!value(arg, &v))
                return false;
            o->limits.emplace_back(arg.substr(2), v);
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option " + arg;
            return false;
        } else if (o->task.empty()) {
            o->task = arg;
        } else {
            o->submissions.push_back(arg);
        }
    }
    for (; i < argc; ++i) {
        if (o->task.empty())
            o->task = argv[i];
        else
            o->submissions.push_back(argv[i]);
    }
    if (o->task.empty() || o->submissions.empty()) {
        *error = o->make ? "--make needs TASK -- PROGRAM" : "needs TASK and at least one SUBMISSION";
        return false;
    }
    return true;
}

// The command beside this one, else the one on PATH.
std::string beside_me(const std::string &name) {
    std::error_code failed;
    const fs::path me = fs::read_symlink("/proc/self/exe", failed);
    if (!failed && access((me.parent_path() / name).c_str(), X_OK) == 0)
        return (me.parent_path() / name).string();
    return name;
}

// Words of a command's output, run outside the sandbox (pkg-config).
bool output_of(const std::string &command, std::string *out) {
    std::FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return false;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out->append(buffer, got);
    return pclose(pipe) == 0;
}

std::vector<std::string> words(const std::string &text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string w; in >> w;)
        out.push_back(w);
    return out;
}

// A folder of the run's own, given to the unprivileged user where there is one.
bool make_folder(const fs::path &path, bool as_nobody, std::string *error) {
    std::error_code failed;
    fs::create_directories(path, failed);
    if (failed || (as_nobody && chown(path.c_str(), NOBODY, NOBODY) != 0)) {
        *error = "cannot make " + path.string() + ": " + (failed ? failed.message() : std::strerror(errno));
        return false;
    }
    return true;
}

// Copies a submission's files, links as links (never what they lead to).
bool copy_tree(const fs::path &from, const fs::path &to, bool as_nobody, std::string *error) {
    std::error_code failed;
    if (fs::is_directory(from, failed)) {
        fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, failed);
    } else {
        fs::create_directories(to, failed);
        if (!failed)
            fs::copy(from, to / from.filename(), fs::copy_options::copy_symlinks, failed);
    }
    if (failed) {
        *error = "cannot copy " + from.string() + ": " + failed.message();
        return false;
    }
    if (as_nobody) {
        for (fs::recursive_directory_iterator it(to, failed), end; !failed && it != end; it.increment(failed))
            lchown(it->path().c_str(), NOBODY, NOBODY);
        lchown(to.c_str(), NOBODY, NOBODY);
    }
    return true;
}

std::string last_lines(const fs::path &file, int lines) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return "";
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff from = std::max<std::streamoff>(0, size - 4096);
    in.seekg(from);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t at = text.size();
    for (int n = 0; n <= lines && at != std::string::npos && at > 0; ++n)
        at = text.rfind('\n', at - 1);
    return at == std::string::npos || at == 0 ? text : text.substr(at + 1);
}

// A build's messages without the launcher's own line.
std::string without_launcher(std::string output) {
    const auto at = output.rfind("\nqelma-check: peak memory ");
    if (at != std::string::npos)
        output.erase(at, output.find('\n', at + 1) - at);
    return output;
}

// The compiler's first error, else its last line.
std::string first_error(const std::string &messages) {
    std::istringstream in(messages);
    std::string last;
    for (std::string line; std::getline(in, line);) {
        if (line.find("error") != std::string::npos)
            return line;
        if (!line.empty())
            last = line;
    }
    return last;
}

// qelma-replay's own message: its last line that names it.
std::string replay_message(const std::string &output) {
    std::string found;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("qelma-replay: ", 0) == 0)
            found = line.substr(14);
    return found;
}

// What qelma-replay's exit code says of the program (its table), and the
// limits' own traces.
void judge(const Ran &ran, const Limits &limits, CheckResult *r) {
    const std::string message = replay_message(ran.output);
    const long peak = peak_memory_kb(ran.output);
    const bool out_of_memory = peak >= limits.memory_mb * 1024 / 2 ||
                               ran.output.find("bad_alloc") != std::string::npos ||
                               ran.output.find("Cannot allocate memory") != std::string::npos;
    const int code = ran.code;
    if (ran.killed) {
        r->verdict = Verdict::TIMEOUT;
        r->reason = "still running after the time limit";
    } else if (code == 0) {
        r->verdict = Verdict::PASSED;
        r->reason = "passed";
    } else if (code == 1) {
        // "the last picture differs from REF in N of M pixels (P %, ...": the
        // count, without the run's own file names.
        r->verdict = Verdict::DIFFERS;
        r->reason = "the picture differs";
        const auto in = message.find(" in ", message.find("differs from "));
        const auto percent = message.find(" %", in);
        if (in != std::string::npos && percent != std::string::npos)
            r->reason += message.substr(in, percent + 2 - in) + ")";
    } else if (code == 124 || code == 128 + SIGXCPU) {
        r->verdict = Verdict::TIMEOUT;
        r->reason = code == 124 ? "still running after the time limit: it asked for no event for " +
                                      std::to_string(limits.seconds).substr(0, 4) + " s"
                                : "used more than its processor time";
    } else if (code == 125 && message.find("no picture was drawn") != std::string::npos) {
        r->verdict = Verdict::ENDED_EARLY;
        r->reason = "ended before its first picture";
    } else if (code == 125 || code == 126 || code == 127) {
        // qelma-replay names the sandbox as the program: what it says after
        // that is the learner's.
        const std::string named = " is not a QELMA program: ";
        const auto at = message.find(named);
        r->verdict = Verdict::NOT_QELMA;
        r->reason = "not a QELMA program" +
                    (at != std::string::npos ? ": " + message.substr(at + named.size()) : message.empty() ? "" : ": " + message);
    } else if (code == 2) {
        r->verdict = Verdict::NOT_PLAYED;
        r->reason = "the script was not played: " + message;
    } else if (out_of_memory) {
        r->verdict = Verdict::MEMORY;
        r->reason = "used more than the memory limit (" + std::to_string(limits.memory_mb) + " MB)";
    } else if (code > 128) {
        r->verdict = Verdict::CRASHED;
        const int signal_number = code - 128;
        const char *name = strsignal(signal_number);
        r->reason = "crashed: " + std::string(name ? name : "a signal") + " (signal " + std::to_string(signal_number) +
                    (signal_number == SIGXFSZ ? ", wrote more than " + std::to_string(limits.written_mb) + " MB" : "") +
                    ")";
    } else {
        r->verdict = Verdict::ENDED_EARLY;
        r->reason = "ended before its script, with code " + std::to_string(code);
    }
}

// The run's temporary folder and all it holds, and what it needs to know.
struct Run {
    Options options;
    Task task;
    Sandbox sandbox;
    fs::path root;          // the temporary folder
    fs::path task_copy;     // the task's scripts and pictures, readable inside
    std::string replay;     // qelma-replay
    std::vector<std::string> cflags, libs; // pkg-config's flags for the kit: to compile, to link
    std::unique_ptr<ObjectCache> objects; // of units compiled in this run
    std::vector<std::string> fixed_folders; // the system's and the kit's: the same for every build
    std::vector<std::string> env; // the clean environment of every run
};

// Whether the unprivileged user can reach the path: every folder on the
// way open to others.
bool reachable(const fs::path &path) {
    fs::path at;
    for (const fs::path &part : fs::absolute(path)) {
        at /= part;
        struct stat st {};
        if (stat(at.c_str(), &st) != 0 || (S_ISDIR(st.st_mode) && !(st.st_mode & S_IXOTH)) || !(st.st_mode & S_IROTH))
            return false;
    }
    return true;
}

// The tools the sandbox runs and the kit's folders, where the unprivileged
// user could not reach them, copied into the run's folder: the kit's are
// shown inside at their own paths.
bool share_tools(Run *run, const std::vector<std::string> &kit_folders, std::string *error) {
    std::error_code failed;
    const fs::path tools = run->root / "tools";
    fs::create_directories(tools, failed);
    chmod(tools.c_str(), 0755);
    for (std::string *tool : {&run->replay, &run->sandbox.launcher}) {
        if (!run->sandbox.as_nobody || reachable(*tool))
            continue;
        const fs::path copy = tools / fs::path(*tool).filename();
        fs::copy_file(*tool, copy, fs::copy_options::overwrite_existing, failed);
        chmod(copy.c_str(), 0755);
        *tool = copy.string();
        if (failed)
            break;
    }
    if (run->sandbox.on && fs::path(run->sandbox.launcher).parent_path().string().rfind("/usr/", 0) != 0)
        run->sandbox.shown.push_back({fs::path(run->sandbox.launcher).parent_path().string(),
                                      fs::path(run->sandbox.launcher).parent_path().string()});
    for (std::size_t i = 0; !failed && i < kit_folders.size(); ++i) {
        std::string host = kit_folders[i];
        if (run->sandbox.as_nobody && !reachable(host)) {
            const fs::path copy = run->root / ("kit-" + std::to_string(i));
            fs::copy(host, copy, fs::copy_options::recursive, failed);
            for (fs::recursive_directory_iterator it(copy, failed), end; !failed && it != end; it.increment(failed))
                chmod(it->path().c_str(), it->is_directory() ? 0755 : 0644);
            chmod(copy.c_str(), 0755);
            host = copy.string();
        }
        run->sandbox.shown.push_back({host, kit_folders[i]});
    }
    if (failed)
        *error = "cannot share the kit with the sandbox: " + failed.message();
    return !failed;
}

// The replay of one script into a program, as qelma-replay is told it.
std::vector<std::string> replay_command(const Run &run, const Script &s, const fs::path &program_dir,
                                        const fs::path &out, bool make) {
    std::vector<std::string> argv = {run.replay, "--timeout", std::to_string(run.task.limits.seconds)};
    if (make) {
        argv.insert(argv.end(), {"--png", (out / "last.png").string()});
    } else {
        argv.insert(argv.end(), {"--expect", (run.task_copy / (s.name + ".png")).string(), "--tolerance",
                                 std::to_string(run.task.limits.tolerance), "--png", (out / "last.png").string(),
                                 "--diff", (out / "diff.png").string(), "--log", (out / "log.txt").string()});
    }
    argv.push_back((run.task_copy / (s.name + ".SCR")).string());
    argv.push_back("--");
    const std::vector<Bind> binds = {{program_dir.string(), "/learner", false},
                                     {run.task_copy.string(), run.task_copy.string(), false}};
    const std::vector<std::string> inside =
        sandboxed(run.sandbox, run.task.limits, binds, run.sandbox.on ? "/tmp" : out.string(),
                  {run.sandbox.on ? "/learner/program" : (program_dir / "program").string()});
    argv.insert(argv.end(), inside.begin(), inside.end());
    return argv;
}

// Seconds a whole replay may take: the program's own limit, several times.
double replay_deadline(const Limits &limits) { return std::max(60.0, 6 * limits.seconds) + 10; }

// Builds a learner's sources (or takes the program) into dir/program.
bool build(const Run &run, const Submission &sub, const fs::path &dir, LearnerResult *result) {
    std::string error;
    const fs::path src = dir / "src", bin = dir / "bin";
    if (!make_folder(bin, run.sandbox.as_nobody, &error) || !copy_tree(sub.path, src, run.sandbox.as_nobody, &error)) {
        result->build_messages = error;
        return false;
    }
    if (sub.program) {
        std::error_code failed;
        fs::copy_file(src / fs::path(sub.path).filename(), bin / "program", failed);
        chmod((bin / "program").c_str(), 0755);
        if (run.sandbox.as_nobody)
            chown((bin / "program").c_str(), NOBODY, NOBODY);
        return !failed;
    }
    // Each source is compiled, in its folder and named from there, unless a
    // unit of the same bytes and headers in a folder of the same file names
    // was compiled before in this run; then all are linked. Unit i's object
    // and dependency file are unit-i.o and unit-i.d in the bin folder.
    const bool folder = fs::is_directory(sub.path);
    const std::string inside_src = run.sandbox.on ? "/learner/src" : src.string();
    const std::string inside_bin = run.sandbox.on ? "/learner/bin" : bin.string();
    const std::vector<Bind> binds = {{src.string(), "/learner/src", false}, {bin.string(), "/learner/bin", true}};
    const auto unit = [](std::size_t i, const char *suffix) { return "unit-" + std::to_string(i) + suffix; };
    std::vector<std::string> relatives, keys;
    for (const std::string &source : sub.sources)
        relatives.push_back((folder ? fs::relative(source, sub.path) : fs::path(source).filename()).string());
    const std::string tree = tree_digest(src.string());
    std::vector<bool> compiled;
    std::vector<std::string> commands;
    bool cxx = false;
    for (std::size_t i = 0; i < relatives.size(); ++i) {
        // A .c file is C whatever else the submission holds.
        const bool c = fs::path(relatives[i]).extension() == ".c";
        cxx = cxx || !c;
        // Headers are found from the submission's own top folder too.
        std::vector<std::string> compile = {c ? "cc" : "c++", "-O2", "-I."};
        compile.insert(compile.end(), run.cflags.begin(), run.cflags.end());
        // Named from "./": a file called "-fplugin=..." or "@options" is
        // never read as the compiler's option.
        compile.insert(compile.end(), {"-c", "./" + relatives[i]});
        keys.push_back(ObjectCache::key(compile, tree, src.string(), relatives[i]));
        compiled.push_back(keys[i].empty() || !run.objects->take(keys[i], src.string(), (bin / unit(i, ".o")).string()));
        if (compiled[i]) {
            compile.insert(compile.end(), {"-o", inside_bin + "/" + unit(i, ".o"), "-MD", "-MF",
                                           inside_bin + "/" + unit(i, ".d")});
            commands.insert(commands.end(), compile.begin(), compile.end());
            commands.push_back("--then");
        }
    }
    if (!commands.empty())
        commands.back() = "--and";
    // gold links a program against the kit in a quarter of the default
    // linker's time; the kit's debugging sections are left out.
    commands.insert(commands.end(), {cxx ? "c++" : "cc", "-Wl,--strip-debug"});
    if (access("/usr/bin/ld.gold", X_OK) == 0)
        commands.push_back("-fuse-ld=gold");
    for (std::size_t i = 0; i < relatives.size(); ++i)
        commands.push_back(inside_bin + "/" + unit(i, ".o"));
    commands.insert(commands.end(), {"-o", inside_bin + "/program"});
    commands.insert(commands.end(), run.libs.begin(), run.libs.end());
    const Ran ran = run_bounded(run.sandbox, sandboxed(run.sandbox, run.task.limits, binds, inside_src, commands),
                                run.env, 120);
    result->build_messages = without_launcher(ran.output);
    if (ran.killed)
        result->build_messages += "\n(the build was stopped after 120 s)";
    const bool built = ran.code == 0 && !ran.killed;
    std::error_code ignored;
    for (std::size_t i = 0; i < relatives.size(); ++i) {
        const fs::path object = bin / unit(i, ".o"), depfile = bin / unit(i, ".d");
        Read read;
        if (built && compiled[i] && !keys[i].empty() &&
            ObjectCache::read_of(depfile.string(), src.string(), relatives[i], run.fixed_folders, &read))
            run.objects->keep(keys[i], read, object.string());
        fs::remove(object, ignored);
        fs::remove(depfile, ignored);
    }
    return built;
}

LearnerResult check_learner(const Run &run, const Submission &sub, std::size_t index) {
    LearnerResult result;
    result.learner = sub.learner;
    const fs::path dir = run.root / ("learner-" + std::to_string(index));
    std::string error;
    const bool built = sub.problem.empty() && make_folder(dir, run.sandbox.as_nobody, &error) && build(run, sub, dir, &result);
    if (!sub.problem.empty())
        result.build_messages = sub.problem;
    else if (!error.empty())
        result.build_messages = error;
    for (std::size_t k = 0; k < run.task.scripts.size(); ++k) {
        const Script &s = run.task.scripts[k];
        CheckResult r;
        r.script = s.name;
        if (!built || interrupted) {
            r.verdict = interrupted ? Verdict::NOT_PLAYED : Verdict::BUILD_FAILED;
            r.reason = interrupted ? "not checked: interrupted" : "the build failed: " + first_error(result.build_messages);
            result.checks.push_back(r);
            continue;
        }
        const fs::path out = dir / ("run-" + std::to_string(k));
        if (!make_folder(out, run.sandbox.as_nobody, &error)) {
            r.verdict = Verdict::NOT_PLAYED;
            r.reason = error;
            result.checks.push_back(r);
            continue;
        }
        const Ran ran = run_bounded(run.sandbox, replay_command(run, s, dir / "bin", out, false), run.env,
                                    replay_deadline(run.task.limits));
        judge(ran, run.task.limits, &r);
        if (interrupted) {
            r.verdict = Verdict::NOT_PLAYED;
            r.reason = "not checked: interrupted";
        }
        r.log_tail = last_lines(out / "log.txt", 12);
        if (fs::exists(out / "last.png"))
            r.picture = (out / "last.png").string();
        if (fs::exists(out / "diff.png"))
            r.difference = (out / "diff.png").string();
        result.checks.push_back(r);
    }
    return result;
}

// Kills and reaps every process left to this command, until none is left.
void end_descendants() {
    const std::string me = std::to_string(getpid());
    for (int round = 0; round < 100; ++round) {
        bool any = false;
        std::error_code failed;
        for (fs::directory_iterator it("/proc", failed), end; !failed && it != end; it.increment(failed)) {
            const std::string pid = it->path().filename().string();
            if (pid.find_first_not_of("0123456789") != std::string::npos)
                continue;
            std::ifstream stat(it->path() / "stat");
            std::string line;
            std::getline(stat, line);
            // pid (name) state ppid ...: the name may hold spaces and parentheses.
            const auto close = line.rfind(')');
            std::istringstream rest(close == std::string::npos ? "" : line.substr(close + 1));
            std::string state, ppid;
            rest >> state >> ppid;
            if (ppid == me) {
                any = true;
                kill(static_cast<pid_t>(std::stol(pid)), SIGKILL);
            }
        }
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        if (!any)
            return;
        usleep(10000);
    }
}

// Interruptions are heard by one thread, which ends what runs.
void listen_for_interruptions() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        int got = 0;
        sigwait(&set, &got);
        interrupted = true;
        kill_running();
        // A second one is not waited for.
        sigwait(&set, &got);
        _exit(EXIT_INTERRUPTED);
    }).detach();
}

int make_pictures(Run &run) {
    const fs::path dir = run.root / "teacher";
    std::string error;
    Submission teacher;
    teacher.learner = "teacher";
    teacher.path = run.options.submissions[0];
    teacher.program = true;
    LearnerResult built;
    if (!make_folder(dir, run.sandbox.as_nobody, &error) || !build(run, teacher, dir, &built)) {
        say("cannot take the program " + teacher.path + ": " + (error.empty() ? built.build_messages : error));
        return EXIT_USAGE;
    }
    int status = 0;
    for (std::size_t k = 0; k < run.task.scripts.size() && !interrupted; ++k) {
        const Script &s = run.task.scripts[k];
        const fs::path out = dir / ("run-" + std::to_string(k));
        if (!make_folder(out, run.sandbox.as_nobody, &error)) {
            say(error);
            return EXIT_USAGE;
        }
        const Ran ran = run_bounded(run.sandbox, replay_command(run, s, dir / "bin", out, true), run.env,
                                    replay_deadline(run.task.limits));
        CheckResult r;
        judge(ran, run.task.limits, &r);
        std::error_code failed;
        if (r.verdict == Verdict::PASSED)
            fs::copy_file(out / "last.png", s.picture_path, fs::copy_options::overwrite_existing, failed);
        if (r.verdict != Verdict::PASSED || failed) {
            say(s.name + ": no picture made: " + (failed ? failed.message() : r.reason));
            status = 1;
            continue;
        }
        std::printf("%s: made %s\n", s.name.c_str(), s.picture_path.c_str());
    }
    return interrupted ? EXIT_INTERRUPTED : status;
}

} // namespace

const char *verdict_word(Verdict verdict) {
    switch (verdict) {
    case Verdict::PASSED: return "passed";
    case Verdict::DIFFERS: return "differs";
    case Verdict::BUILD_FAILED: return "build-failed";
    case Verdict::CRASHED: return "crashed";
    case Verdict::TIMEOUT: return "timeout";
    case Verdict::MEMORY: return "memory";
    case Verdict::NOT_QELMA: return "not-qelma";
    case Verdict::ENDED_EARLY: return "ended-early";
    case Verdict::NOT_PLAYED: return "not-played";
    }
    return "unknown";
}

std::size_t LearnerResult::passed() const {
    return static_cast<std::size_t>(
        std::count_if(checks.begin(), checks.end(), [](const CheckResult &c) { return c.verdict == Verdict::PASSED; }));
}

int run_check(int argc, char **argv) {
    Run run;
    std::string error;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (!parse(argc, argv, &run.options, &error)) {
        say(error);
        std::fputs(USAGE, stderr);
        return EXIT_USAGE;
    }
    Options &o = run.options;
    if (!load_task(o.task, o.make, &run.task, &error)) {
        say(error);
        return EXIT_USAGE;
    }
    for (const auto &[name, value] : o.limits) {
        if (!set_limit(name, value, &run.task.limits, &error)) {
            say("--" + error);
            return EXIT_USAGE;
        }
    }
    std::vector<Submission> submissions;
    if (!o.make) {
        if (!find_submissions(o.submissions, &submissions, &error)) {
            say(error);
            return EXIT_USAGE;
        }
        // The K-th slice: every N-th learner in the order of their names.
        std::vector<Submission> slice;
        for (std::size_t i = 0; i < submissions.size(); ++i)
            if (static_cast<int>(i % static_cast<std::size_t>(o.shards)) == o.shard - 1)
                slice.push_back(submissions[i]);
        submissions.swap(slice);
    }
    run.sandbox.on = o.sandbox;
    run.sandbox.as_nobody = geteuid() == 0 && o.sandbox;
    run.replay = beside_me("qelma-replay");
    run.sandbox.launcher = beside_me("qelma-check");
    // What the sandbox shows of this machine besides /usr: the kit's
    // folders, where they are elsewhere, and this command's tools.
    std::vector<std::string> kit_folders;
    auto show = [&](const fs::path &path) {
        std::error_code failed;
        const fs::path folder = fs::weakly_canonical(path, failed);
        if (failed || folder.empty() || folder.string().rfind("/usr/", 0) == 0 || !fs::exists(folder, failed))
            return;
        if (std::find(kit_folders.begin(), kit_folders.end(), folder.string()) == kit_folders.end())
            kit_folders.push_back(folder.string());
    };
    run.env = {"PATH=/usr/local/bin:/usr/bin:/bin", "LANG=C.UTF-8", "HOME=/tmp", "TMPDIR=/tmp"};
    const bool any_source = std::any_of(submissions.begin(), submissions.end(),
                                        [](const Submission &s) { return !s.program && s.problem.empty(); });
    if (any_source) {
        std::string cflags, libs;
        if (!output_of("pkg-config --cflags qelma 2>&1", &cflags) ||
            !output_of("pkg-config --libs qelma 2>&1", &libs)) {
            const std::string &told = libs.empty() ? cflags : libs;
            say("the QELMA kit is not found (pkg-config qelma: " + told.substr(0, told.find('\n')) +
                "): install libqelma-dev, or name the kit's folder in PKG_CONFIG_PATH");
            return EXIT_USAGE;
        }
        run.cflags = words(cflags);
        run.libs = words(libs);
    }

    // The run's own temporary folder: the unprivileged user may pass through
    // it to its own folders, and see nothing else.
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qelma-check-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        say("cannot make a temporary folder in " + std::string(tmp && *tmp ? tmp : "/tmp") + ": " + std::strerror(errno));
        return EXIT_USAGE;
    }
    run.root = pattern;
    run.objects = std::make_unique<ObjectCache>((run.root / "objects").string());
    chmod(run.root.c_str(), 0711);
    run.task_copy = run.root / "task";
    std::error_code failed;
    fs::create_directories(run.task_copy, failed);
    for (const Script &s : run.task.scripts) {
        fs::copy_file(s.script_path, run.task_copy / (s.name + ".SCR"), failed);
        if (!o.make && !failed)
            fs::copy_file(s.picture_path, run.task_copy / (s.name + ".png"), failed);
        if (failed)
            break;
    }
    chmod(run.task_copy.c_str(), 0755);
    for (fs::directory_iterator it(run.task_copy, failed), end; !failed && it != end; it.increment(failed))
        chmod(it->path().c_str(), 0644);
    const auto remove_root = [&] {
        std::error_code ignored;
        fs::remove_all(run.root, ignored);
    };
    if (failed) {
        say("cannot copy the task: " + failed.message());
        remove_root();
        return EXIT_USAGE;
    }
    std::vector<std::string> kit = run.cflags;
    kit.insert(kit.end(), run.libs.begin(), run.libs.end());
    for (const std::string &flag : kit) {
        if (flag.rfind("-I", 0) == 0 || flag.rfind("-L", 0) == 0)
            show(flag.substr(2));
        else if (flag[0] == '/')
            show(fs::path(flag).parent_path());
    }
    // What a build reads there is the same for every learner.
    run.fixed_folders = {"/usr/"};
    for (const std::string &flag : run.cflags)
        if (flag.rfind("-I/", 0) == 0)
            run.fixed_folders.push_back(flag.substr(2) + "/");
    for (const std::string &folder : kit_folders)
        run.fixed_folders.push_back(folder + "/");
    if (!share_tools(&run, kit_folders, &error)) {
        say(error);
        remove_root();
        return EXIT_USAGE;
    }
    if (run.sandbox.on) {
        if (!sandbox_works(run.sandbox, &error)) {
            say("the sandbox does not start here (" + error +
                "). Install bubblewrap (apt-get install bubblewrap) where user namespaces are allowed, or run "
                "with --no-sandbox, only for programs you trust.");
            remove_root();
            return EXIT_USAGE;
        }
    } else {
        say("running WITHOUT a sandbox (--no-sandbox): every program can do what you can");
    }
    // Whatever a run leaves behind (a sandbox whose qelma-replay was
    // killed) becomes this command's, and ends with it.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    listen_for_interruptions();
    if (o.make) {
        const int status = make_pictures(run);
        end_descendants();
        remove_root();
        return status;
    }

    // The class, a learner at a time on each of the jobs.
    const int jobs = o.jobs > 0 ? o.jobs : std::max(1u, std::thread::hardware_concurrency());
    std::vector<LearnerResult> results(submissions.size());
    std::atomic<std::size_t> next{0};
    ClassTerminal terminal(submissions.size(), run.task.scripts.size(), !run.sandbox.on);
    std::vector<std::thread> workers;
    for (int j = 0; j < jobs; ++j) {
        workers.emplace_back([&] {
            for (std::size_t i; !interrupted && (i = next++) < submissions.size();) {
                results[i] = check_learner(run, submissions[i], i);
                terminal.done(results[i]);
            }
        });
    }
    for (std::thread &w : workers)
        w.join();
    terminal.finish();
    int status = 0;
    for (const LearnerResult &r : results)
        if (r.passed() != run.task.scripts.size())
            status = 1;
    ClassReport report{run.task, results, !run.sandbox.on, interrupted};
    if (!interrupted) {
        if ((!o.junit.empty() && !write_junit(report, o.junit, &error)) ||
            (!o.csv.empty() && !write_csv(report, o.csv, &error)) ||
            (!o.report.empty() && !write_report_page(report, o.report, &error))) {
            say(error);
            status = EXIT_USAGE;
        }
    }
    end_descendants();
    remove_root();
    return interrupted ? EXIT_INTERRUPTED : status;
}
