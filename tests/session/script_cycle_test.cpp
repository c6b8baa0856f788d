// Record, play back, record again, as often as the user repeats it: the Run
// menu's commands and Ctrl shortcuts go through the real queue, the events
// come out of the real wait, and the script file is checked at every step.
#include <csignal>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/qelma_test.h"

namespace {

using qt_test::Event;
using qt_test::log_lines_of;
using qt_test::next_event;
using qt_test::post_click;
using Lines = std::vector<std::string>;

const std::string EOF_LINE = "EOF encountered in script file QELMA.SCR\n";
const std::string REFUSED_LINE = "Cannot record into script file QELMA.SCR while playing it back\n";

std::string read_file(const char *name) {
    std::ifstream in(name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const char *name, const std::string &text) { std::ofstream(name) << text; }

// A Ctrl+letter shortcut as the keyboard sends it. Ctrl stays held (its
// key-up never comes), so characters a real TranslateMessage makes from the
// letter are ignored.
void shortcut(char letter) {
    qt_test::post_key(WM_KEYDOWN, VK_CONTROL);
    qt_test::post_key(WM_KEYDOWN, static_cast<unsigned>(letter));
}

void choose(unsigned id) { qt_test::post_command(id); } // as the menu sends it

// A periodic event: the wait arms it after its first message step, so a
// message of no meaning goes first and the tick lets the armed event out.
Event tick() {
    plat_post_message(session.graphics_window, WM_USER, 0, 0);
    qt_test::post_tick();
    return next_event();
}

Event click(int x, int y) {
    post_click(x, y);
    return next_event();
}

// A click that waits behind a message of no meaning, so that the wait's
// first pass still plays from the script (and meets its end) before it.
Event click_after_a_pass(int x, int y) {
    plat_post_message(session.graphics_window, WM_USER, 0, 0);
    return click(x, y);
}

// Runs the commands queued so far in one wait, ended by a click at a place
// used for nothing else; the click must be the event that wait returns.
void run_queued() {
    Event e = click(-7, -7);
    EXPECT_EQ(e.kind, QELMA_MOUSE);
    EXPECT_EQ(e.x, -7);
}

// Plays until the script's end: `expected` events, each checked by kind and
// position, then the wait that meets the end, which logs and switches
// playback off and returns the user's click instead.
void expect_playback(const std::vector<Event> &expected) {
    for (std::size_t i = 0; i < expected.size(); ++i) {
        Event e = next_event();
        EXPECT_EQ(e.kind, expected[i].kind) << "event " << i;
        EXPECT_EQ(e.x, expected[i].x) << "event " << i;
        EXPECT_EQ(e.y, expected[i].y) << "event " << i;
        ASSERT_TRUE(session.playing_back) << "the script ended before event " << i;
    }
    Lines lines = log_lines_of([] {
        Event e = click_after_a_pass(99, 99);
        EXPECT_EQ(e.kind, QELMA_MOUSE);
        EXPECT_EQ(e.x, 99);
    });
    EXPECT_EQ(lines, Lines{EOF_LINE});
    EXPECT_FALSE(session.playing_back);
}

Event periodic() { return Event{QELMA_PERIODIC, 0, 0, 0}; }
Event mouse(int x, int y) { return Event{QELMA_MOUSE, x, y, 0}; }

class ScriptCycle : public qt_test::ScriptDirTest {
  protected:
    void TearDown() override {
        session.recording = false;
        session.playing_back = false;
        close_script_file();
    }
};

TEST_F(ScriptCycle, RecordPlayTwicePlayAfterRewindRecordAgainPlayThat) {
    // 1. Record a short game: ticks, two clicks, ticks.
    const std::string first =
        "QELMA_PERIODIC(3);\nQELMA_MOUSE(10, 20);\nQELMA_MOUSE(-250, 232);\nQELMA_PERIODIC(2);\n";
    Lines lines = log_lines_of([] {
        shortcut('R');
        shortcut('A');
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(tick().kind, QELMA_PERIODIC);
        }
        EXPECT_EQ(click(10, 20).x, 10);
        EXPECT_EQ(click(-250, 232).y, 232);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(tick().kind, QELMA_PERIODIC);
        }
        shortcut('R');
        shortcut('H');
        run_queued();
    });
    EXPECT_EQ(lines, Lines{});
    EXPECT_EQ(read_file("QELMA.SCR"), first);
    const std::vector<Event> first_events = {periodic(),         periodic(), periodic(),
                                             mouse(10, 20),      mouse(-250, 232),
                                             periodic(),         periodic()};

    // 2. Play it back from the menu, to its end.
    choose(CMD_PLAYBACK);
    expect_playback(first_events);

    // 3. Playing again without closing meets the end at once.
    shortcut('P');
    expect_playback({});

    // 4. Recording on and off closes the file: the next playback starts at
    // the first line, and the file is untouched.
    shortcut('R');
    shortcut('R');
    shortcut('P');
    expect_playback(first_events);
    EXPECT_EQ(read_file("QELMA.SCR"), first);

    // 5. Record again after that finished playback: the new recording
    // replaces the file, whole, and nothing claims it cannot be opened.
    lines = log_lines_of([] {
        shortcut('R');
        EXPECT_EQ(click(1, 2).x, 1);
        EXPECT_EQ(click(3, 4).x, 3);
        choose(CMD_RECORD);
        run_queued();
    });
    EXPECT_EQ(lines, Lines{});
    EXPECT_EQ(read_file("QELMA.SCR"), "QELMA_MOUSE(1, 2);\nQELMA_MOUSE(3, 4);\n");

    // 6. Play that back, twice, closing the file between with Ctrl+R twice.
    shortcut('P');
    expect_playback({mouse(1, 2), mouse(3, 4)});
    shortcut('R');
    shortcut('R');
    choose(CMD_PLAYBACK);
    expect_playback({mouse(1, 2), mouse(3, 4)});
    EXPECT_EQ(read_file("QELMA.SCR"), "QELMA_MOUSE(1, 2);\nQELMA_MOUSE(3, 4);\n");
}

// The recording stays switched on while a script plays: the played events
// are refused in words of their own, one line per script line, and do not
// leak into the file; once the playback has ended, the next event recorded
// takes the file over.
TEST_F(ScriptCycle, RecordingThroughAPlaybackRefusesThenTakesTheFileOver) {
    write_file("QELMA.SCR", "QELMA_PERIODIC(3);\nQELMA_MOUSE(5, 6);\nQELMA_PERIODIC(2);\n");
    shortcut('R');
    Lines lines = log_lines_of([] {
        shortcut('P');
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(next_event().kind, QELMA_PERIODIC);
        }
        EXPECT_EQ(next_event().x, 5);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(next_event().kind, QELMA_PERIODIC);
        }
    });
    EXPECT_EQ(lines, Lines(3, REFUSED_LINE));
    EXPECT_EQ(read_file("QELMA.SCR"),
              "QELMA_PERIODIC(3);\nQELMA_MOUSE(5, 6);\nQELMA_PERIODIC(2);\n");

    // The wait that meets the end returns the user's click, recorded by
    // itself: the played periodic events before it are not counted.
    lines = log_lines_of([] { EXPECT_EQ(click_after_a_pass(8, 9).x, 8); });
    EXPECT_EQ(lines, Lines{EOF_LINE});
    EXPECT_TRUE(session.recording);
    shortcut('A');
    EXPECT_EQ(tick().kind, QELMA_PERIODIC);
    EXPECT_EQ(click(10, 11).x, 10);
    shortcut('R');
    run_queued();
    EXPECT_EQ(read_file("QELMA.SCR"),
              "QELMA_MOUSE(8, 9);\nQELMA_PERIODIC(1);\nQELMA_MOUSE(10, 11);\n");
}

// Play One steps through a script without a switch staying on. Between two
// steps the script is not finished, so a recording does not take it over
// (the user's ticks meanwhile wait in their count); once the steps meet the
// end, the next event recorded does.
TEST_F(ScriptCycle, RecordingWaitsForAScriptSteppedWithPlayOne) {
    const std::string script = "QELMA_MOUSE(1, 1);\nQELMA_MOUSE(2, 2);\n";
    write_file("QELMA.SCR", script);
    shortcut('O');
    EXPECT_EQ(next_event().x, 1);
    Lines lines = log_lines_of([] {
        shortcut('R');
        shortcut('A');
        EXPECT_EQ(tick().kind, QELMA_PERIODIC);
        EXPECT_EQ(click(30, 30).x, 30);
        shortcut('H');
        shortcut('O');
        EXPECT_EQ(next_event().x, 2) << "the script goes on where it stopped";
    });
    EXPECT_EQ(lines, Lines(2, REFUSED_LINE)) << "the user's click and the played line";
    EXPECT_EQ(read_file("QELMA.SCR"), script);

    lines = log_lines_of([] {
        shortcut('O');
        EXPECT_EQ(click_after_a_pass(50, 50).x, 50);
    });
    EXPECT_EQ(lines, Lines{EOF_LINE});
    shortcut('R');
    run_queued();
    EXPECT_EQ(read_file("QELMA.SCR"), "QELMA_PERIODIC(1);\nQELMA_MOUSE(50, 50);\n");
}

// What is left of a periodic count belongs to the closed stream: after
// recording on and off the next playback starts afresh at the first line.
TEST_F(ScriptCycle, ClosingTheFileDropsTheRestOfAPeriodicCount) {
    write_file("QELMA.SCR", "QELMA_PERIODIC(5);\nQELMA_MOUSE(4, 4);\n");
    shortcut('O');
    EXPECT_EQ(next_event().kind, QELMA_PERIODIC);
    shortcut('R');
    shortcut('R');
    shortcut('P');
    expect_playback({periodic(), periodic(), periodic(), periodic(), periodic(), mouse(4, 4)});
}

// A recording that writes the file keeps its stream whatever playback's
// switch does: turning playback on and off before a wait reads loses none
// of the recorded lines.
TEST_F(ScriptCycle, PlaybackOffLeavesARecordingsStreamOpen) {
    shortcut('R');
    EXPECT_EQ(click(1, 1).x, 1);
    run_menu_command(CMD_PLAYBACK);
    run_menu_command(CMD_PLAYBACK);
    EXPECT_NE(session.script_file, nullptr);
    EXPECT_EQ(click(2, 2).x, 2);
    shortcut('R');
    run_queued();
    EXPECT_EQ(read_file("QELMA.SCR"), "QELMA_MOUSE(1, 1);\nQELMA_MOUSE(2, 2);\n");
}

// Record switched on and off while a playback runs leaves the playback's
// stream alone: the script goes on where it was, and no event comes twice.
TEST_F(ScriptCycle, RecordOnAndOffDuringAPlaybackDoesNotRewindIt) {
    write_file("QELMA.SCR", "QELMA_KBD(49);\nQELMA_KBD(50);\nQELMA_KBD(51);\nQELMA_KBD(52);\n");
    shortcut('P');
    std::string keys;
    for (int i = 0; i < 2; ++i) {
        keys += static_cast<char>(next_event().key);
    }
    run_menu_command(CMD_RECORD);
    run_menu_command(CMD_RECORD);
    EXPECT_NE(session.script_file, nullptr);
    for (int i = 0; i < 2; ++i) {
        keys += static_cast<char>(next_event().key);
    }
    EXPECT_EQ(keys, "1234");
    expect_playback({});
}

// A finished playback's stream stays at the old file's end, but a script
// put in the file's place since plays from its first line; the file itself
// unchanged still meets the end at once.
TEST_F(ScriptCycle, AScriptPutInPlaceAfterAPlaybackEndedPlaysFromItsStart) {
    write_file("QELMA.SCR", "QELMA_MOUSE(1, 1);\n");
    shortcut('P');
    expect_playback({mouse(1, 1)});
    shortcut('P');
    expect_playback({});
    write_file("QELMA.SCR", "QELMA_MOUSE(-250, 232);\nQELMA_MOUSE(2, 2);\n");
    shortcut('P');
    expect_playback({mouse(-250, 232), mouse(2, 2)});
#ifndef _WIN32
    // Copied over it keeping size and time (cp -p), at a later clock step.
    const auto kept = std::filesystem::last_write_time("QELMA.SCR");
    struct stat then {}, now {};
    stat("QELMA.SCR", &then);
    do
        write_file("probe", ""), stat("probe", &now);
    while (now.st_ctim.tv_sec == then.st_ctim.tv_sec && now.st_ctim.tv_nsec == then.st_ctim.tv_nsec);
    write_file("QELMA.SCR", "QELMA_MOUSE(-250, 232);\nQELMA_MOUSE(3, 3);\n");
    std::filesystem::last_write_time("QELMA.SCR", kept);
    shortcut('P');
    expect_playback({mouse(-250, 232), mouse(3, 3)});
#endif
}

// Told that the program may end without running again, a recording writes
// its pending run of ticks and its buffered lines, and goes on recording.
TEST_F(ScriptCycle, EndOfSessionWritesOutTheRecordingSoFar) {
    shortcut('R');
    shortcut('A');
    EXPECT_EQ(click(5, 5).x, 5);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tick().kind, QELMA_PERIODIC);
    }
    draw_window_proc(session.graphics_window, WM_ENDSESSION, 1, 0);
    EXPECT_EQ(read_file("QELMA.SCR"), "QELMA_MOUSE(5, 5);\nQELMA_PERIODIC(3);\n");
    EXPECT_TRUE(session.recording);
    EXPECT_EQ(tick().kind, QELMA_PERIODIC);
    shortcut('R');
    shortcut('H');
    run_queued();
    EXPECT_EQ(read_file("QELMA.SCR"),
              "QELMA_MOUSE(5, 5);\nQELMA_PERIODIC(3);\nQELMA_PERIODIC(1);\n");
}

#ifndef _WIN32
// Ended from outside (-1: exit(1), as Qt's at a lost display), a program run
// as this test again records, says so on descriptor 3, then waits, draws
// first or for ever: it keeps its recording so far, unless it never waits.
TEST_F(ScriptCycle, EndedFromOutsideTheRecordingSoFarReachesTheFile) {
    if (const char *how = std::getenv("QELMA_TEST_CHILD")) {
        std::filesystem::current_path(dir.previous);
        shortcut('R');
        EXPECT_EQ(click(5, 5).x, 5);
        qelma_set_animation(QELMA_ANIMATE_RUN);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(tick().kind, QELMA_PERIODIC);
        qelma_set_animation(*how == 'i' ? QELMA_ANIMATE_HALT : QELMA_ANIMATE_RUN);
        EXPECT_EQ(write(3, "recording\n", 10), 10);
        for (int i = 0; (*how == 'b' && i < 200) || *how == 's'; ++i)
            qelma_clear_canvas();
        if (*how == 'e')
            std::exit(1);
        for (;;)
            next_event();
    }
    const std::string kept = "QELMA_MOUSE(5, 5);\nQELMA_PERIODIC(3);\n";
    const struct { const char *how; int ended; std::string file; } cases[] = {
        {"input", SIGTERM, kept}, {"tick", SIGHUP, kept}, {"busy", SIGINT, kept},
        {"exit", -1, kept},       {"spin", SIGTERM, ""}};
    for (const auto &c : cases) {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        std::string filter = "--gtest_filter=ScriptCycle.EndedFromOutside*";
        std::string child = std::string("QELMA_TEST_CHILD=") + c.how;
        char *argv[] = {filter.data(), filter.data(), nullptr};
        char *envp[] = {child.data(), const_cast<char *>("QT_QPA_PLATFORM=offscreen"), nullptr};
        const pid_t pid = fork();
        if (pid == 0) { // a shell may have left SIGINT ignored
            signal(SIGINT, SIG_DFL);
            dup2(out[1], 3);
            dup2(open("/dev/null", O_WRONLY), 1);
            execve("/proc/self/exe", argv, envp);
            _exit(127);
        }
        close(out[1]);
        char said[10];
        EXPECT_EQ(read(out[0], said, 10), 10) << c.how;
        close(out[0]);
        if (c.ended > 0)
            kill(pid, c.ended);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_EQ(WIFSIGNALED(status) ? WTERMSIG(status) : -WEXITSTATUS(status), c.ended) << c.how;
        EXPECT_EQ(read_file("QELMA.SCR"), c.file) << c.how;
    }
}
#endif

} // namespace
