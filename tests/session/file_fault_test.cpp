// Faults of the file system under "QELMA.SCR": a file that cannot be read, a
// place that cannot be written, a read that fails, a disk that is full. Each
// gives its message in the log and a defined state, and the wait goes on
// delivering ordinary events afterwards. Each test runs in a directory of
// its own.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/qelma_test.h"

using qt_test::next_event;
using qt_test::post_click;
using qt_test::post_tick;
namespace fs = std::filesystem;

static const char *const READ_FAILED = "Cannot open script file QELMA.SCR for reading\n";
static const char *const WRITE_FAILED = "Cannot open script file QELMA.SCR for writing\n";
static const char *const WRITE_ERROR = "Error writing script file QELMA.SCR\n";

static void write_file(const char *name, const std::string &text) {
    std::ofstream out(name, std::ios::binary);
    out << text;
}

// Permission bits do not stop root, so the tests that rely on them skip.
static bool running_as_root() {
    return geteuid() == 0;
}

class FileFaults : public qt_test::ScriptDirTest {
  protected:
    void TearDown() override {
        close_script_file();
        session.recording = false;
        stop_playback();
    }

    // Playback switched on, one wait: a tick lets the pass read the script,
    // the click is what the wait returns when the script gives nothing.
    static qt_test::Event play_once() {
        run_menu_command(CMD_PLAYBACK);
        post_tick();
        post_click(99, 99);
        qt_test::Event e = next_event();
        PlatMsg m{};
        while (plat_peek_message(&m)) {
        }
        return e;
    }

    // A refused playback: its message, the switches off, and the wait
    // returned the ordinary click instead.
    static void expect_playback_refused(const char *message) {
        qt_test::Event e{};
        auto lines = qt_test::log_lines_of([&] { e = play_once(); });
        EXPECT_EQ(lines, std::vector<std::string>{message});
        EXPECT_EQ(e.kind, QELMA_MOUSE);
        EXPECT_EQ(e.x, 99);
        EXPECT_FALSE(session.playing_back);
        EXPECT_FALSE(session.play_one_pending);
        qt_test::post_char('k');
        EXPECT_EQ(next_event().key, 'k') << "an ordinary event still arrives";
    }

    // Recording into a place that cannot take the file: each event logs the
    // message, recording stays on and the events still arrive.
    static void expect_recording_refused() {
        run_menu_command(CMD_RECORD);
        std::vector<qt_test::Event> events;
        auto lines = qt_test::log_lines_of([&] {
            post_click(3, 4);
            events.push_back(next_event());
            qt_test::post_char('w');
            events.push_back(next_event());
        });
        EXPECT_EQ(lines, std::vector<std::string>(2, WRITE_FAILED));
        EXPECT_TRUE(session.recording);
        EXPECT_EQ(session.script_file, nullptr);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].kind, QELMA_MOUSE);
        EXPECT_EQ(events[0].x, 3);
        EXPECT_EQ(events[1].key, 'w');
        lines = qt_test::log_lines_of([] { run_menu_command(CMD_RECORD); });
        EXPECT_EQ(lines, std::vector<std::string>{}) << "switching off with no file says nothing";
        EXPECT_FALSE(session.recording);
    }
};

TEST_F(FileFaults, UnreadableFileRefusesPlayback) {
    if (running_as_root()) {
        GTEST_SKIP() << "root reads a file of mode 000, so there is no fault to provoke";
    }
    write_file("QELMA.SCR", "QELMA_KBD(65);\n");
    fs::permissions("QELMA.SCR", fs::perms::none);
    expect_playback_refused(READ_FAILED);
}

TEST_F(FileFaults, DanglingLinkAndLinkThroughAFileRefusePlayback) {
    fs::create_symlink("nowhere/QELMA.SCR", "QELMA.SCR");
    expect_playback_refused(READ_FAILED);
    fs::remove("QELMA.SCR");
    write_file("plain", "x");
    fs::create_symlink("plain/QELMA.SCR", "QELMA.SCR"); // its parent is a regular file
    expect_playback_refused(READ_FAILED);
}

TEST_F(FileFaults, ReadErrorStopsPlaybackWithItsOwnMessage) {
    // Reading /proc/self/mem from offset 0 fails with EIO, for root as well.
    fs::create_symlink("/proc/self/mem", "QELMA.SCR");
    expect_playback_refused("Cannot read script file QELMA.SCR\n");
    EXPECT_NE(session.script_file, nullptr) << "the failed stream stays open until switched off";
    run_menu_command(CMD_PLAYBACK);
    run_menu_command(CMD_PLAYBACK);
    EXPECT_EQ(session.script_file, nullptr);
}

TEST_F(FileFaults, EndlessZeroBytesAreRefusedNotPlayed) {
    // /dev/full reads as an endless run of NUL bytes.
    fs::create_symlink("/dev/full", "QELMA.SCR");
    expect_playback_refused("Line too short in script file QELMA.SCR; playback stopped\n");
}

TEST_F(FileFaults, ReadOnlyDirectoryRefusesRecording) {
    if (running_as_root()) {
        GTEST_SKIP() << "root creates files in a directory of mode 555, so there is no fault";
    }
    fs::permissions(".", fs::perms::owner_read | fs::perms::owner_exec);
    expect_recording_refused();
    fs::permissions(".", fs::perms::owner_all);
}

TEST_F(FileFaults, ReadOnlyFileRefusesRecordingAndKeepsItsLines) {
    if (running_as_root()) {
        GTEST_SKIP() << "root opens a file of mode 444 for writing, so there is no fault";
    }
    write_file("QELMA.SCR", "QELMA_KBD(65);\n");
    fs::permissions("QELMA.SCR", fs::perms::owner_read);
    expect_recording_refused();
    fs::permissions("QELMA.SCR", fs::perms::owner_all);
    std::ifstream in("QELMA.SCR");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "QELMA_KBD(65);");
}

TEST_F(FileFaults, PathThroughARegularFileRefusesRecordingForRootToo) {
    write_file("plain", "x");
    fs::create_symlink("plain/QELMA.SCR", "QELMA.SCR");
    expect_recording_refused();
}

TEST_F(FileFaults, RemovedCurrentDirectoryRefusesBothSides) {
    // A directory removed while it is the current one takes no new file,
    // whoever asks.
    fs::remove(fs::current_path());
    expect_recording_refused();
    expect_playback_refused(READ_FAILED);
}

TEST_F(FileFaults, WriterRecoversOnceTheFaultIsGone) {
    fs::create_directory("QELMA.SCR");
    run_menu_command(CMD_RECORD);
    auto lines = qt_test::log_lines_of([] {
        post_click(1, 2);
        next_event();
    });
    EXPECT_EQ(lines, std::vector<std::string>{WRITE_FAILED});
    fs::remove("QELMA.SCR");
    lines = qt_test::log_lines_of([] {
        post_click(5, 6);
        next_event();
    });
    EXPECT_EQ(lines, std::vector<std::string>{}) << "the next line opens the file";
    run_menu_command(CMD_RECORD);
    std::ifstream in("QELMA.SCR");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "QELMA_MOUSE(5, 6);\n") << "only the lines after the fault are kept";
}

TEST_F(FileFaults, FullDiskDuringALongRecordingIsReportedAndRecordingGoesOn) {
    // More lines than the stream buffers, so that writes fail while recording
    // runs and not only when the file is closed.
    fs::create_symlink("/dev/full", "QELMA.SCR");
    run_menu_command(CMD_RECORD);
    int errors = 0;
    int arrived = 0;
    for (int i = 0; i < 400; ++i) {
        auto lines = qt_test::log_lines_of([&] {
            post_click(i, -i);
            qt_test::Event e = next_event();
            arrived += e.kind == QELMA_MOUSE && e.x == i && e.y == -i;
        });
        for (const auto &l : lines) {
            EXPECT_EQ(l, WRITE_ERROR);
            ++errors;
        }
    }
    EXPECT_EQ(arrived, 400) << "every click is delivered although none is stored";
    EXPECT_GE(errors, 1) << "a failed write during recording is reported";
    EXPECT_LE(errors, 400) << "at most one message per event";
    EXPECT_TRUE(session.recording);
    auto lines = qt_test::log_lines_of([] { run_menu_command(CMD_RECORD); });
    EXPECT_EQ(lines, std::vector<std::string>{WRITE_ERROR}) << "closing reports the loss once more";
    EXPECT_EQ(session.script_file, nullptr);
    post_click(7, 7);
    EXPECT_EQ(next_event().x, 7);
}
