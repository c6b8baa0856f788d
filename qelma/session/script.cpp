// Recording events into "QELMA.SCR" and playing them back.
//
// The file is opened lazily by whichever side needs it first. One stream is
// never used in both directions: while a recording writes the file playback
// refuses it, and while a playback reads it the recorder refuses it, each
// with a message of its own in the log. Once a playback has finished with
// the file (its end, a line it cannot use) and no playback switch is on, the
// next line recorded closes the reader's stream and starts the file afresh.
// Recording and playback keep separate periodic counts, and events played
// from the file are not recorded (they are lines of that file already).
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "qelma/qelma.h"
#include "qelma/replay_stream.h"
#include "qelma/session/session.h"

// A line is read in pieces of at most 511 characters, its line end included.
static constexpr int SCRIPT_LINE_BUFFER = 512;

// The file played: "QELMA.SCR", or the script that qelma-replay names.
static const char *script_name() {
    return session.replayed_script != nullptr ? session.replayed_script : SCRIPT_FILE_NAME;
}

static void report_write_error() {
    qelma_log_printf("Error writing script file %s\n", SCRIPT_FILE_NAME);
}

void close_script_file() {
    if (session.script_file == nullptr) {
        return;
    }
    bool failed = std::ferror(session.script_file) != 0;
    failed = std::fclose(session.script_file) != 0 || failed;
    if (failed && session.script_for_writing) {
        report_write_error(); // e.g. a full disk: the lines did not all arrive
    }
    session.script_file = nullptr;
    session.script_for_writing = false;
    session.script_finished = false;
    // A count left from a "QELMA_PERIODIC" line belongs to the position in
    // the closed stream; the next playback starts at the first line.
    session.playback_run = 0;
}

void close_script_file_on_switch_off() {
    if (session.recording && session.script_for_writing) {
        return; // the recording still writes here; its lines would be lost
    }
    if ((session.playing_back || session.play_one_pending) && !session.script_for_writing) {
        return; // a playback switched on reads here; closing would rewind it
    }
    close_script_file();
}

void write_periodic_run() {
    if (session.periodic_run > 0) {
        record_script_event(QELMA_PERIODIC, 0, 0, 0);
        session.periodic_run = 0;
    }
}

void write_out_recording() {
    if (session.recording && !script_held_by_playback()) {
        write_periodic_run();
    }
    if (session.script_file != nullptr && session.script_for_writing &&
        std::fflush(session.script_file) != 0) {
        report_write_error();
    }
}

bool script_held_by_playback() {
    return session.script_file != nullptr && !session.script_for_writing &&
           (session.playing_back || session.play_one_pending || !session.script_finished);
}

void refuse_recording_during_playback() {
    qelma_log_printf("Cannot record into script file %s while playing it back\n", SCRIPT_FILE_NAME);
}

void record_script_event(int kind, int x, int y, signed char key) {
    if (session.replayed_script != nullptr) {
        return; // a replay leaves the user's own QELMA.SCR as it is
    }
    if (script_held_by_playback()) {
        // Playback is reading the file; writing would destroy what it reads.
        refuse_recording_during_playback();
        return;
    }
    if (session.script_file != nullptr && !session.script_for_writing) {
        close_script_file(); // the stream a finished playback left behind
    }
    if (session.script_file == nullptr) {
        session.script_file = std::fopen(SCRIPT_FILE_NAME, "wt");
        if (session.script_file == nullptr) {
            qelma_log_printf("Cannot open script file %s for writing\n", SCRIPT_FILE_NAME);
            return;
        }
        session.script_for_writing = true;
        session.script_finished = false;
    }
    int written = 0;
    switch (kind) {
    case QELMA_MOUSE:
        written = std::fprintf(session.script_file, "QELMA_MOUSE(%d, %d);\n", x, y);
        break;
    case QELMA_KBD:
        written = std::fprintf(session.script_file, "QELMA_KBD(%d);\n", static_cast<int>(key));
        break;
    case QELMA_PERIODIC:
        written = std::fprintf(session.script_file, "QELMA_PERIODIC(%d);\n", session.periodic_run);
        break;
    default:
        break;
    }
    if (written < 0) {
        report_write_error();
    }
}

// When the file's status last changed, to the nanosecond: every write and
// every setting of its times changes it, so a file copied over the script
// with its size and modification time kept (cp -p) still shows. Windows'
// C runtime has no such time (its st_ctime is the creation time).
static long long change_time_ns(const struct stat &named) {
#if defined(_WIN32)
    (void)named;
    return 0;
#elif defined(__APPLE__)
    return static_cast<long long>(named.st_ctimespec.tv_sec) * 1000000000LL +
           named.st_ctimespec.tv_nsec;
#else
    return static_cast<long long>(named.st_ctim.tv_sec) * 1000000000LL + named.st_ctim.tv_nsec;
#endif
}

// What the name "QELMA.SCR" leads to now: false (and an empty stamp) when
// nothing. Taken from the name both times, never from the open stream,
// since some systems (Windows' C runtime) describe an open descriptor with
// other numbers.
static bool stamp_of_script(ScriptStamp *stamp) {
    struct stat named {};
    if (stat(script_name(), &named) != 0) {
        *stamp = ScriptStamp{};
        return false;
    }
    *stamp = ScriptStamp{static_cast<long long>(named.st_dev), static_cast<long long>(named.st_ino),
                         static_cast<long long>(named.st_size),
                         static_cast<long long>(named.st_mtime), change_time_ns(named)};
    return true;
}

// True when the name "QELMA.SCR" no longer leads to what the open stream
// reads: another file was put in its place, or it was written since the
// stream was opened.
static bool script_file_replaced() {
    ScriptStamp now{};
    if (!stamp_of_script(&now)) {
        return false; // nothing new to play there
    }
    const ScriptStamp &then = session.script_opened;
    return now.device != then.device || now.inode != then.inode || now.size != then.size ||
           now.mtime != then.mtime || now.change_ns != then.change_ns;
}

// Opens the file for reading; false (after the message) when it cannot be.
static bool open_for_reading() {
    if (session.script_file != nullptr && !session.script_for_writing &&
        session.script_finished && script_file_replaced()) {
        // A playback that ended left its stream at the old file's end; the
        // script now in its place plays from its first line.
        close_script_file();
    }
    if (session.script_file != nullptr) {
        if (!session.script_for_writing) {
            return true;
        }
        // Recording holds the file: reading it now would read a half-written
        // stream the wrong way.
        qelma_log_printf("Cannot play back script file %s while recording into it\n",
                         script_name());
        return false;
    }
    std::FILE *f = std::fopen(script_name(), "rt");
    struct stat info {};
    if (f != nullptr && (fstat(fileno(f), &info) != 0 || S_ISDIR(info.st_mode))) {
        std::fclose(f); // a directory opens on some systems but holds no lines
        f = nullptr;
    }
    if (f == nullptr) {
        qelma_log_printf("Cannot open script file %s for reading\n", script_name());
        return false;
    }
    session.script_file = f;
    session.script_lines_read = 0;
    session.script_line_open = false;
    session.script_for_writing = false;
    session.script_finished = false;
    stamp_of_script(&session.script_opened);
    return true;
}

static bool is_empty_line(const char *line) {
    // "\r\n" counts as empty too, so that files written with Windows line ends
    // play the same everywhere.
    return std::strcmp(line, "\n") == 0 || std::strcmp(line, "\r\n") == 0;
}

// Reads one number starting at s: an optional '-' and decimal digits. *ok is
// false when there is no digit or the value leaves the 32-bit range.
static int run_value(const char *s, const char **after, bool *ok) {
    bool negative = *s == '-';
    const char *p = negative ? s + 1 : s;
    long long value = 0;
    bool digits = false;
    *ok = true;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        digits = true;
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            *ok = false;
            value = static_cast<long long>(INT_MAX) + 1;
        }
        ++p;
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX || value < INT_MIN) {
        *ok = false;
    }
    // The rest of the run (further digits and '-') is passed over.
    while (std::isdigit(static_cast<unsigned char>(*p)) || *p == '-') {
        ++p;
    }
    *after = p;
    if (!digits) {
        return 0; // a run with no digit in place has the value 0
    }
    return *ok ? static_cast<int>(value) : 0;
}

// Finds the next number at or after s. With signed_runs the run may start
// with '-' (mouse coordinates); otherwise it starts at a digit, and a '-'
// right before that digit still makes it negative, so that characters of
// code 128 and above, written as negative numbers, read back as written.
static const char *find_run(const char *s, bool signed_runs, const char *line_start) {
    for (const char *p = s; *p != '\0'; ++p) {
        if (std::isdigit(static_cast<unsigned char>(*p))) {
            if (!signed_runs && p > line_start + 6 && p[-1] == '-') {
                return p - 1;
            }
            return p;
        }
        if (signed_runs && *p == '-') {
            return p;
        }
    }
    return nullptr;
}

// Ends playback at the end of the script or at a line it cannot use (each
// said in the log: a file that is not a script stops for a reason). The
// stream stays open where it stopped, so that playing again meets the same
// end, until a switch closes it or the next recorded line takes the file.
static void tell_script_ended(unsigned how) {
    if (session.observer != nullptr) {
        session.observer->script_ended(how);
    }
}

static int finish_playback(unsigned how) {
    tell_script_ended(how);
    session.script_finished = true;
    stop_playback();
    return 0;
}

static int refuse_line(const char *why) {
    qelma_log_printf("%s in script file %s; playback stopped\n", why, script_name());
    return finish_playback(REPLAY_END_BAD_LINE);
}

// One line, or a piece of a long one. Lines are counted for the messages
// of a replay: a piece that does not end in a line end leaves its line open,
// and the next piece belongs to the same line. The buffer is cleared first,
// so that a line end after a NUL byte is still found.
static bool read_line(char *line, int size) {
    std::memset(line, 0, static_cast<std::size_t>(size));
    if (std::fgets(line, size, session.script_file) == nullptr) {
        return false;
    }
    if (!session.script_line_open) {
        ++session.script_lines_read;
    }
    session.script_line_open = std::memchr(line, '\n', static_cast<std::size_t>(size)) == nullptr;
    return true;
}

int read_script_event() {
    if (!open_for_reading()) {
        tell_script_ended(REPLAY_END_UNREADABLE);
        stop_playback();
        return 0;
    }
    if (session.playback_run > 0) {
        --session.playback_run;
        session.pending_event = QELMA_PERIODIC;
        return 1;
    }

    char line[SCRIPT_LINE_BUFFER];
    bool got = read_line(line, sizeof line);
    while (got && is_empty_line(line)) {
        got = read_line(line, sizeof line);
    }
    if (!got && std::ferror(session.script_file)) {
        qelma_log_printf("Cannot read script file %s\n", script_name());
        return finish_playback(REPLAY_END_UNREADABLE);
    }
    // A last line without a line end (as many editors leave it) is played
    // like any other; the end is met by the read after it.
    if (!got) {
        qelma_log_printf("EOF encountered in script file %s\n", script_name());
        return finish_playback(REPLAY_END_OF_SCRIPT);
    }
    if (std::strlen(line) < 7 || line[6] == '\n' || line[6] == '\r') {
        return refuse_line("Line too short");
    }

    const char *after = nullptr;
    bool ok = true;
    switch (line[6]) {
    case 'K': {
        const char *run = find_run(line + 6, false, line);
        if (run == nullptr) {
            return refuse_line("Missing number");
        }
        int value = run_value(run, &after, &ok);
        if (!ok) {
            return refuse_line("Number out of range");
        }
        session.pending_event = QELMA_KBD;
        session.event_key = static_cast<signed char>(value & 0xFF);
        return 1;
    }
    case 'M': {
        const char *run = find_run(line + 6, true, line);
        int x = run != nullptr ? run_value(run, &after, &ok) : 0;
        const char *second = run != nullptr && ok ? find_run(after, true, line) : nullptr;
        int y = second != nullptr ? run_value(second, &after, &ok) : 0;
        if (run == nullptr || (ok && second == nullptr)) {
            return refuse_line("Missing number");
        }
        if (!ok) {
            return refuse_line("Number out of range");
        }
        session.pending_event = QELMA_MOUSE;
        session.event_x = x;
        session.event_y = y;
        return 1;
    }
    case 'P': {
        const char *run = find_run(line + 6, false, line);
        if (run != nullptr && *run == '-') {
            ++run; // a periodic count is read without its sign
        }
        if (run == nullptr) {
            return refuse_line("Missing number");
        }
        int value = run_value(run, &after, &ok);
        if (!ok) {
            return refuse_line("Number out of range");
        }
        session.pending_event = QELMA_PERIODIC;
        session.playback_run = value - 1;
        return 1;
    }
    default:
        // Another keyword letter: a file that is not a script, most likely.
        return refuse_line("Unknown event");
    }
}
