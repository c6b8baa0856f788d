// qelma-replay: the options, the outputs and the exit code around one run
// of the program.
#include "replay/replay_command.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "qelma/session/replay_stream.h"
#include "replay/child_process.h"
#include "replay/gif_writer.h"
#include "replay/records.h"

namespace fs = std::filesystem;

namespace {

// Every picture lasts one periodic event: 100 ms.
constexpr int PICTURE_CENTISECONDS = 10;

void say(const std::string &message) { std::fprintf(stderr, "qelma-replay: %s\n", message.c_str()); }

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

// The directory a file would be made in can take it.
bool can_write_beside(const std::string &path, std::string *error) {
    fs::path dir = fs::path(path).parent_path();
    if (dir.empty())
        dir = ".";
    if (access(dir.c_str(), W_OK) != 0) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Takes the pictures as they arrive: the GIF's frames and the numbered PNGs.
class Outputs : public PictureSink {
  public:
    explicit Outputs(const ReplayOptions &options) : options_(options) {}

    bool open(std::string *error) {
        if (!options_.gif.empty() && !gif_.open(options_.gif, error))
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
        if (!options_.png.empty() && !can_write_beside(options_.png, error))
            return false;
        if (!options_.log.empty()) {
            log_.reset(std::fopen(options_.log.c_str(), "w"));
            if (!log_) {
                *error = "cannot write " + options_.log + ": " + std::strerror(errno);
                return false;
            }
        }
        return true;
    }

    bool picture(const ReplayReport &report, std::string *error) override {
        if (!palette_set_) {
            gif_.set_palette(report.palette);
            palette_set_ = true;
        }
        // The last picture told again unchanged, at the script's end, is the
        // one already shown.
        const bool again = seen_ && report.picture_number == last_number_;
        if (again && report.picture_repeated)
            return true;
        seen_ = true;
        last_number_ = report.picture_number;
        ++pictures_;
        if (!gif_.add(report.picture, PICTURE_CENTISECONDS, error)) {
            output_failed_ = true;
            return false;
        }
        if (!options_.frames.empty() && !again && report.picture_number % options_.every == 0) {
            char name[32];
            std::snprintf(name, sizeof name, "frame-%05u.png", report.picture_number);
            if (!write_png((fs::path(options_.frames) / name).string(), report.picture, error)) {
                output_failed_ = true;
                return false;
            }
        }
        return true;
    }

    bool finish(const ReplayReport &report, std::string *error) {
        if (log_) {
            for (const std::string &line : report.log) {
                std::fputs(line.c_str(), log_.get());
                if (line.empty() || line.back() != '\n')
                    std::fputc('\n', log_.get());
            }
            if (std::fclose(log_.release()) != 0) {
                *error = "cannot write " + options_.log + ": " + std::strerror(errno);
                return false;
            }
        }
        if (!options_.gif.empty() && pictures_ == 0) {
            gif_.close(error);
            std::remove(options_.gif.c_str());
            *error = "no picture was drawn: " + options_.gif + " is not written";
            return false;
        }
        if (!gif_.close(error))
            return false;
        if (!options_.png.empty() && report.has_picture && !write_png(options_.png, report.picture, error))
            return false;
        return true;
    }

    bool output_failed() const { return output_failed_; }

  private:
    struct FileCloser {
        void operator()(std::FILE *f) const { std::fclose(f); }
    };
    const ReplayOptions &options_;
    GifWriter gif_;
    std::unique_ptr<std::FILE, FileCloser> log_;
    bool palette_set_ = false, seen_ = false, output_failed_ = false;
    std::uint32_t last_number_ = 0;
    std::size_t pictures_ = 0;
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
    std::string diff = options.diff;
    if (diff.empty())
        diff = fs::path(options.expect).stem().string() + "-diff.png";
    char figures[160];
    std::snprintf(figures, sizeof figures, "%zu of %zu pixels (%.3f %%, more than %g %%)",
                  difference.differing, difference.total, difference.percent(), options.tolerance);
    std::string message = "the last picture differs from " + options.expect + " in " + figures;
    if (report.picture.width != expected.width || report.picture.height != expected.height)
        message += "; the sizes differ (" + std::to_string(report.picture.width) + " x " +
                   std::to_string(report.picture.height) + " against " +
                   std::to_string(expected.width) + " x " + std::to_string(expected.height) + ")";
    if (write_png(diff, difference.marked, &error))
        message += "; differences marked in red in " + diff;
    else
        message += "; the difference picture cannot be written: " + error;
    say(message);
    return EXIT_NOT_AS_EXPECTED;
}

std::string last_log_line(const ReplayReport &report) {
    if (report.log.empty())
        return "it cannot be played";
    std::string line = report.log.back();
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

} // namespace

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
    std::string error;
    if (!options.expect.empty() && !read_png(options.expect, &expected, &error)) {
        say("cannot read the expected picture " + error);
        return EXIT_BAD_INPUT;
    }
    Outputs outputs(options);
    if (!outputs.open(&error)) {
        say(error);
        return EXIT_BAD_INPUT;
    }
    RecordReader reader(&outputs);
    std::string stream_error;
    const std::vector<std::pair<std::string, std::string>> variables = {
        {REPLAY_SCRIPT_VARIABLE, fs::absolute(options.script).string()},
        // No display is used or needed.
        {"QT_QPA_PLATFORM", "offscreen"},
        {"DISPLAY", ""},
        {"WAYLAND_DISPLAY", ""}};
    const ChildOutcome outcome =
        run_child(options.program, variables, REPLAY_STREAM_VARIABLE, options.timeout,
                  [&](const void *bytes, std::size_t size) {
                      return reader.take(bytes, size, &stream_error);
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
            strsignal(outcome.code) + ") after " + std::to_string(report.waits) +
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
