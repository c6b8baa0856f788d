// qelma-replay: the options, the outputs and the exit code around one run
// of the program.
#include "replay/replay_command.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include "qelma/replay_stream.h"
#include "replay/child_process.h"
#include "replay/file_flags.h"
#include "replay/replay_gif.h"
#include "replay/records.h"

namespace fs = std::filesystem;

namespace {

// Puts a finished file in place of another, which may exist (rename on
// Windows refuses to replace a file).
bool replace_file(const std::string &from, const std::string &to) {
#if defined(_WIN32)
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
        return true;
    errno = EACCES;
    return false;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// The name of a signal, in words.
std::string signal_name(int signal_number) {
#if defined(_WIN32)
    switch (signal_number) {
    case SIGSEGV: return "a memory fault";
    case SIGILL: return "an illegal instruction";
    case SIGFPE: return "an arithmetic fault";
    case SIGABRT: return "aborted";
    default: return "signal " + std::to_string(signal_number);
    }
#else
    return strsignal(signal_number);
#endif
}

void say(const std::string &message) { std::fprintf(stderr, "qelma-replay: %s\n", message.c_str()); }


// Temporary names, kept where a signal handler can remove them: an output
// appears only complete, even when the command is interrupted.
constexpr int TEMP_SLOTS = 16;
char temp_names[TEMP_SLOTS][4096];
volatile std::sig_atomic_t temp_used[TEMP_SLOTS];

extern "C" void remove_temps_and_die(int signal_number) {
    for (int i = 0; i < TEMP_SLOTS; ++i)
        if (temp_used[i])
            unlink(temp_names[i]);
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// Where a name leads, links followed; the name itself where that cannot be
// found out.
fs::path resolved(const fs::path &path) {
    std::error_code ignored;
    return fs::weakly_canonical(fs::absolute(path, ignored), ignored);
}

// An output file made under a temporary name in its own folder and put in
// place whole by commit; dropped (with its temporary) otherwise.
class PendingFile {
  public:
    PendingFile() = default;
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;
    ~PendingFile() { discard(); }

    // Makes the temporary file, empty. False, with the reason, when the
    // folder cannot take it.
    bool create(const std::string &path, std::string *error) {
        discard();
        path_ = path;
        // A link is followed: its file is replaced, not the link.
        target_ = resolved(path);
        if (target_.empty())
            target_ = path;
        static unsigned serial = 0;
        for (int attempt = 0;; ++attempt) {
            const fs::path temp = target_.parent_path() /
                                  ("." + target_.filename().string() + ".qelma-replay-" +
                                   std::to_string(getpid()) + "-" + std::to_string(serial++));
            const int fd = ::open(temp.string().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                ::close(fd);
                temp_ = temp.string();
                break;
            }
            if (errno != EEXIST || attempt > 100) {
                *error = "cannot write " + path + ": " + std::strerror(errno);
                return false;
            }
        }
        for (slot_ = 0; slot_ < TEMP_SLOTS && temp_used[slot_]; ++slot_) {
        }
        if (slot_ < TEMP_SLOTS && temp_.size() < sizeof temp_names[0]) {
            std::memcpy(temp_names[slot_], temp_.c_str(), temp_.size() + 1);
            temp_used[slot_] = 1;
        }
        return true;
    }
    const std::string &temp() const { return temp_; }
    // Puts the finished file in place of the one named.
    bool commit(std::string *error) {
        if (!replace_file(temp_, target_.string())) {
            *error = "cannot write " + path_ + ": " + std::strerror(errno);
            discard();
            return false;
        }
        forget();
        return true;
    }
    void discard() {
        if (!temp_.empty())
            unlink(temp_.c_str());
        forget();
    }

  private:
    void forget() {
        if (slot_ < TEMP_SLOTS)
            temp_used[slot_] = 0;
        slot_ = TEMP_SLOTS;
        temp_.clear();
    }
    std::string path_, temp_;
    fs::path target_;
    int slot_ = TEMP_SLOTS;
};

// A PNG put in place whole.
bool write_png_whole(const std::string &path, const Picture &picture, std::string *error) {
    PendingFile file;
    return file.create(path, error) && write_png(file.temp(), picture, error) && file.commit(error);
}

std::string diff_name(const ReplayOptions &options) {
    return !options.diff.empty() ? options.diff
                                 : fs::path(options.expect).stem().string() + "-diff.png";
}

// What a name leads to: the file itself where it exists, else its place.
struct Place {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    fs::path where;
};

Place place_of(const fs::path &path) {
    Place place;
    place.where = resolved(path);
#if defined(_WIN32)
    // Windows gives no file numbers here: names are told apart, without
    // regard to case, as its file systems do.
    std::string name = place.where.string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    place.where = name;
#else
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        place.exists = true;
        place.device = info.st_dev;
        place.inode = info.st_ino;
    }
#endif
    return place;
}

bool same_place(const Place &a, const Place &b) {
    if (a.exists && b.exists)
        return a.device == b.device && a.inode == b.inode;
    return a.exists == b.exists && !a.where.empty() && a.where == b.where;
}

// A name of the kind --frames writes: frame-NNNNN.png.
bool frame_like(const std::string &name) {
    if (name.rfind("frame-", 0) != 0 || name.size() < 6 + 5 + 4 ||
        name.compare(name.size() - 4, 4, ".png") != 0)
        return false;
    const std::string digits = name.substr(6, name.size() - 10);
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// True when every output has a file of its own, apart from the script, the
// reference and the frames; else false with the two that meet in *error.
bool outputs_apart(const ReplayOptions &options, std::string *error) {
    struct Named {
        std::string what, path;
        bool output;
        Place place;
    };
    std::vector<Named> names = {{"the script", options.script, false, {}}};
    if (!options.expect.empty()) {
        names.push_back({"--expect", options.expect, false, {}});
        names.push_back({options.diff.empty() ? "the difference picture of --expect" : "--diff",
                         diff_name(options), true, {}});
    }
    for (const auto &[what, path] : {std::pair<const char *, const std::string &>{"--gif", options.gif},
                                     {"--png", options.png},
                                     {"--log", options.log}})
        if (!path.empty())
            names.push_back({what, path, true, {}});
    for (Named &named : names)
        named.place = place_of(named.path);
    const std::string apart =
        ": each output needs a file of its own, apart from the script and the reference picture";
    auto meet = [&](const std::string &a, const std::string &b) {
        *error = a + " and " + b + " are one file" + apart;
        return false;
    };
    for (std::size_t i = 0; i < names.size(); ++i)
        for (std::size_t j = i + 1; j < names.size(); ++j)
            if ((names[i].output || names[j].output) && same_place(names[i].place, names[j].place))
                return meet(names[i].what + " " + names[i].path, names[j].what + " " + names[j].path);
    if (options.frames.empty())
        return true;
    const Place frames = place_of(options.frames);
    for (const Named &named : names) {
        if (same_place(named.place, frames))
            return meet(named.what + " " + named.path, "--frames " + options.frames);
        const fs::path path(named.path);
        fs::path folder = path.parent_path();
        if (folder.empty())
            folder = ".";
        if (frame_like(path.filename().string()) && same_place(place_of(folder), frames)) {
            *error = named.what + " " + named.path + " is a picture that --frames " + options.frames +
                     " writes" + apart;
            return false;
        }
    }
    return true;
}

// Takes the pictures and log lines as they arrive: the GIF's frames, the
// numbered PNGs and the log, each under a temporary name until it is whole.
class Outputs : public PictureSink {
  public:
    explicit Outputs(const ReplayOptions &options) : options_(options) {}

    bool open(std::string *error) {
        if (!options_.gif.empty() &&
            (!gif_file_.create(options_.gif, error) || !gif_.open(gif_file_.temp(), error)))
            return false;
        if (!options_.frames.empty()) {
            std::error_code made;
            fs::create_directories(options_.frames, made);
            if (made || access(options_.frames.c_str(), W_OK) != 0) {
                *error = "cannot write pictures into " + options_.frames + ": " +
                         (made ? made.message() : std::strerror(errno));
                return false;
            }
        }
        // Made now, so that a folder that cannot take it ends the run here.
        if (!options_.png.empty() && !png_file_.create(options_.png, error))
            return false;
        if (!options_.log.empty()) {
            if (!log_file_.create(options_.log, error))
                return false;
            log_.reset(std::fopen(log_file_.temp().c_str(), "w"));
            if (!log_) {
                *error = "cannot write " + options_.log + ": " + std::strerror(errno);
                return false;
            }
        }
        return true;
    }

    bool log_line(const std::string &line, std::string *) override {
        if (log_) {
            std::fputs(line.c_str(), log_.get());
            if (line.empty() || line.back() != '\n')
                std::fputc('\n', log_.get());
        }
        return true;
    }

    bool picture(const ReplayReport &report, std::string *error) override {
        if (!gif_.add(report, error)) {
            output_failed_ = true;
            return false;
        }
        const std::uint32_t number = report.picture_number;
        // A picture told again with the same number comes at the script's
        // end (see ReplayGif::add).
        const bool again = seen_ && number == last_number_;
        const bool frame_written = frames_written_ > 0 && last_frame_ == number;
        if (again && report.picture_repeated) {
            // The final picture is the last frame even where --every left
            // its number out.
            if (report.picture_final && !frame_written && !write_frame(number, report, error))
                return false;
            return true;
        }
        seen_ = true;
        last_number_ = number;
        const bool due = number % static_cast<std::uint32_t>(options_.every) == 0 || report.picture_final;
        if (due && !write_frame(frame_written ? number + 1 : number, report, error))
            return false;
        return true;
    }

    bool finish(const ReplayReport &report, std::string *error) {
        if (log_) {
            if (std::fclose(log_.release()) != 0) {
                *error = "cannot write " + options_.log + ": " + std::strerror(errno);
                return false;
            }
            if (!log_file_.commit(error))
                return false;
        }
        if (!options_.gif.empty() && gif_.pictures() == 0) {
            gif_.close(error);
            gif_file_.discard();
            *error = "no picture was drawn: " + options_.gif + " is not written";
            return false;
        }
        if (!gif_.close(error))
            return false;
        if (!options_.gif.empty() && !gif_file_.commit(error))
            return false;
        if (!options_.png.empty() && report.has_picture &&
            !(write_png(png_file_.temp(), report.picture, error) && png_file_.commit(error)))
            return false;
        return true;
    }

    bool output_failed() const { return output_failed_; }

  private:
    bool write_frame(std::uint32_t number, const ReplayReport &report, std::string *error) {
        if (options_.frames.empty())
            return true;
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05u.png", number);
        if (!write_png_whole((fs::path(options_.frames) / name).string(), report.picture, error)) {
            output_failed_ = true;
            return false;
        }
        last_frame_ = number;
        ++frames_written_;
        return true;
    }

    struct FileCloser {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    const ReplayOptions &options_;
    PendingFile gif_file_, png_file_, log_file_;
    ReplayGif gif_;
    std::unique_ptr<std::FILE, FileCloser> log_;
    bool seen_ = false, output_failed_ = false;
    std::uint32_t last_number_ = 0, last_frame_ = 0;
    std::size_t frames_written_ = 0;
};

// 0 when the last picture is as expected (or nothing is expected), else 1
// after its message.
int check_expected(const ReplayOptions &options, const Picture &expected, const ReplayReport &report) {
    if (options.expect.empty())
        return EXIT_PLAYED;
    std::string error;
    if (!report.has_picture) {
        say("no picture was drawn to compare with " + options.expect);
        return EXIT_NOT_AS_EXPECTED;
    }
    const Difference difference = compare_pictures(report.picture, expected);
    if (difference.percent() <= options.tolerance)
        return EXIT_PLAYED;
    const std::string diff = diff_name(options);
    char figures[160];
    std::snprintf(figures, sizeof figures, "%zu of %zu pixels (%.3f %%, more than %g %%)",
                  difference.differing, difference.total, difference.percent(), options.tolerance);
    std::string message = "the last picture differs from " + options.expect + " in " + figures;
    if (report.picture.width != expected.width || report.picture.height != expected.height)
        message += "; the sizes differ (" + std::to_string(report.picture.width) + " x " +
                   std::to_string(report.picture.height) + " against " +
                   std::to_string(expected.width) + " x " + std::to_string(expected.height) + ")";
    if (write_png_whole(diff, difference.marked, &error))
        message += "; differences marked in red in " + diff;
    else
        message += "; the difference picture cannot be written: " + error;
    say(message);
    return EXIT_NOT_AS_EXPECTED;
}

std::string last_log_line(const ReplayReport &report) {
    if (report.last_log.empty())
        return "it cannot be played";
    std::string line = report.last_log;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

} // namespace

bool number_of(const std::string &text, double low, double high, double *value) {
    char *end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(parsed) || parsed < low ||
        parsed > high)
        return false;
    *value = parsed;
    return true;
}

bool parse_replay_options(const std::vector<std::string> &args, ReplayOptions *options,
                          std::string *error) {
    std::vector<std::string> plain;
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h") {
            options->help = true;
            return true;
        }
        if (arg.rfind("--", 0) != 0 || arg == "-") {
            plain.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = arg + " needs a value";
            return false;
        }
        const std::string &value = args[++i];
        double number = 0;
        if (arg == "--gif")
            options->gif = value;
        else if (arg == "--png")
            options->png = value;
        else if (arg == "--frames")
            options->frames = value;
        else if (arg == "--expect")
            options->expect = value;
        else if (arg == "--diff")
            options->diff = value;
        else if (arg == "--log")
            options->log = value;
        else if (arg == "--every" && number_of(value, 1, 1e9, &number) && number == std::floor(number))
            options->every = static_cast<int>(number);
        else if (arg == "--tolerance" && number_of(value, 0, 100, &number))
            options->tolerance = number;
        else if (arg == "--timeout" && number_of(value, 0.1, 86400, &number))
            options->timeout = number;
        else if (arg == "--every" || arg == "--tolerance" || arg == "--timeout") {
            *error = arg + " " + value + ": " +
                     (arg == "--every"       ? "a whole number of 1 or more is needed"
                      : arg == "--tolerance" ? "a percentage from 0 to 100 is needed"
                                             : "seconds from 0.1 to 86400 are needed");
            return false;
        } else {
            *error = "unknown option " + arg;
            return false;
        }
    }
    if (plain.size() != 1) {
        *error = plain.empty() ? "no script named" : "one script only, then -- and the program";
        return false;
    }
    if (i >= args.size() || i + 1 >= args.size()) {
        *error = "no program named: put it after --";
        return false;
    }
    if (options->frames.empty() && options->every != 1) {
        *error = "--every goes with --frames";
        return false;
    }
    options->script = plain[0];
    options->program.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    return true;
}

int run_replay(const ReplayOptions &options) {
    std::string error;
    // Before anything is read or made: no output may overwrite another, the
    // script or the reference.
    if (!outputs_apart(options, &error)) {
        say(error);
        return EXIT_BAD_INPUT;
    }
    struct stat script_info {};
    std::FILE *script = std::fopen(options.script.c_str(), "r");
    if (script == nullptr || stat(options.script.c_str(), &script_info) != 0 ||
        S_ISDIR(script_info.st_mode)) {
        say("cannot read the script " + options.script + ": " +
            (script != nullptr ? "it is a directory" : std::strerror(errno)));
        if (script != nullptr)
            std::fclose(script);
        return EXIT_BAD_INPUT;
    }
    std::fclose(script);

    // The reference is read before anything runs: a bad one ends it here.
    Picture expected;
    if (!options.expect.empty() && !read_png(options.expect, &expected, &error)) {
        say("cannot read the expected picture " + error);
        return EXIT_BAD_INPUT;
    }
#if defined(SIGHUP)
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP})
#else
    for (int signal_number : {SIGINT, SIGTERM})
#endif
        std::signal(signal_number, remove_temps_and_die);
    Outputs outputs(options);
    if (!outputs.open(&error)) {
        say(error);
        return EXIT_BAD_INPUT;
    }
    RecordReader reader(&outputs);
    std::string stream_error;
    const std::vector<std::pair<std::string, std::string>> variables = {
        // The script names it, and makes the program run headless: no
        // display is opened or needed.
        {REPLAY_SCRIPT_VARIABLE, fs::absolute(options.script).string()},
        // Only the pictures an output takes are made: each for the GIF, the
        // frames' every N-th, else the final one (the PNG, --expect).
        {REPLAY_PICTURES_VARIABLE,
         std::to_string(!options.gif.empty() ? 1 : !options.frames.empty() ? options.every : 0)}};
    const ChildOutcome outcome =
        run_child(options.program, variables, REPLAY_STREAM_VARIABLE, REPLAY_PIPE_VARIABLE,
                  options.timeout,
                  [&](const void *bytes, std::size_t size) {
                      return reader.take(bytes, size, &stream_error);
                  },
                  // Its signs of life: the session's start, each wait, the script's end.
                  [&] {
                      const ReplayReport &r = reader.report();
                      return std::uint64_t{r.waits} + r.began + r.ended;
                  });
    const ReplayReport &report = reader.report();
    const std::string &program = options.program[0];

    int code = EXIT_PLAYED;
    switch (outcome.kind) {
    case ChildOutcome::NOT_STARTED:
        say("cannot run " + program + ": " + std::strerror(outcome.code));
        return outcome.code == ENOENT ? EXIT_NOT_FOUND : EXIT_CANNOT_RUN;
    case ChildOutcome::TIMED_OUT:
    {
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g s", options.timeout);
        say(program +
            (report.ended    ? " did not end after its script"
             : report.began ? " did not ask for its next event"
                            : " did not begin a QELMA session") +
            " within " + limit + " (" + std::to_string(report.waits) +
            " events asked for); stopped it");
    }
        code = EXIT_TIMED_OUT;
        break;
    case ChildOutcome::STOPPED:
        say(stream_error);
        code = outputs.output_failed() ? EXIT_BAD_INPUT : EXIT_NOT_QELMA;
        break;
    case ChildOutcome::SIGNALLED:
        say(program + " crashed (signal " + std::to_string(outcome.code) + ", " +
            signal_name(outcome.code) + ") after " + std::to_string(report.waits) +
            " events asked for");
        code = EXIT_SIGNAL_BASE + outcome.code;
        break;
    case ChildOutcome::EXITED:
        if (!report.began) {
            say(program + " is not a QELMA program: it ended (exit code " +
                std::to_string(outcome.code) + ") without beginning a QELMA session");
            return EXIT_NOT_QELMA;
        }
        if (!reader.complete()) {
            say("the replay stream of " + program + " ends in the middle of a record");
            code = EXIT_NOT_QELMA;
        } else if (!report.ended) {
            say(program + " ended before its script did, with exit code " +
                std::to_string(outcome.code));
            code = outcome.code;
        } else if (report.end_how == REPLAY_END_BAD_LINE) {
            say(options.script + ":" + std::to_string(report.end_line) + ": " + last_log_line(report));
            code = EXIT_BAD_INPUT;
        } else if (report.end_how == REPLAY_END_UNREADABLE) {
            say(options.script + ": " + last_log_line(report));
            code = EXIT_BAD_INPUT;
        }
        break;
    }
    if (!outputs.finish(report, &error)) {
        say(error);
        if (code == EXIT_PLAYED)
            code = EXIT_BAD_INPUT;
    }
    const int as_expected = check_expected(options, expected, report);
    return code == EXIT_PLAYED ? as_expected : code;
}
