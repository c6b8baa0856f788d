// Recording events into "QELMA.SCR" and playing them back, through the real
// queue and menu commands, each test in a directory of its own.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/qelma_test.h"

using qt_test::next_event;
using qt_test::post_click;
using qt_test::post_tick;
namespace fs = std::filesystem;

// Read in text mode, as the script is written: on Windows each line of the
// file ends with "\r\n", which text mode gives back as "\n".
static std::string read_file(const char *name) {
    std::ifstream in(name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

static void write_file(const char *name, const std::string &text) {
    std::ofstream out(name, std::ios::binary);
    out << text;
}

class Scripts : public qt_test::ScriptDirTest {
  protected:
    // Plays back until playback switches itself off; returns the events.
    static std::vector<qt_test::Event> play_all() {
        std::vector<qt_test::Event> events;
        run_menu_command(CMD_PLAYBACK);
        while (session.playing_back && events.size() < 100) {
            // A tick lets the pass read the script; the click is what the
            // wait returns once playback has ended.
            post_tick();
            post_click(99, 99);
            events.push_back(next_event());
            PlatMsg m{};
            while (plat_peek_message(&m)) {
            }
        }
        return events;
    }
};

TEST_F(Scripts, RecordsPeriodicRunsAndEventsLineByLine) {
    run_menu_command(CMD_RECORD);
    EXPECT_FALSE(fs::exists("QELMA.SCR")) << "the file is opened by the first event, not the switch";
    qelma_set_animation(QELMA_ANIMATE_RUN);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(qt_test::tick_event().kind, QELMA_PERIODIC);
    }
    post_click(10, 20);
    EXPECT_EQ(next_event().kind, QELMA_MOUSE);
    qt_test::post_char('a');
    EXPECT_EQ(next_event().kind, QELMA_KBD);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(qt_test::tick_event().kind, QELMA_PERIODIC);
    }
    run_menu_command(CMD_RECORD);
    EXPECT_EQ(read_file("QELMA.SCR"),
              "QELMA_PERIODIC(3);\nQELMA_MOUSE(10, 20);\nQELMA_KBD(97);\nQELMA_PERIODIC(2);\n");
    EXPECT_EQ(session.periodic_run, 0);
}

TEST_F(Scripts, SwitchingRecordingOnAndOffAloneCreatesNoFile) {
    run_menu_command(CMD_RECORD);
    run_menu_command(CMD_RECORD);
    EXPECT_FALSE(fs::exists("QELMA.SCR"));
}

TEST_F(Scripts, QuitIsNotWrittenButFlushesThePendingRun) {
    run_menu_command(CMD_RECORD);
    qelma_set_animation(QELMA_ANIMATE_RUN);
    qt_test::tick_event();
    plat_post_quit_message(0);
    EXPECT_EQ(next_event().kind, QELMA_QUIT);
    // Switching recording off would write a pending run too: what the quit
    // did is seen before that.
    EXPECT_EQ(session.periodic_run, 0) << "the quit's recording step wrote the run";
    EXPECT_TRUE(fs::exists("QELMA.SCR")) << "the quit's recording step opened the file";
    run_menu_command(CMD_RECORD);
    EXPECT_EQ(read_file("QELMA.SCR"), "QELMA_PERIODIC(1);\n");
}

TEST_F(Scripts, PlaysBackEventByEventThenStopsAtTheEnd) {
    write_file("QELMA.SCR",
               "QELMA_PERIODIC(3);\nQELMA_MOUSE(10, 20);\nQELMA_KBD(97);\nQELMA_PERIODIC(2);\n");
    std::vector<qt_test::Event> events;
    auto lines = qt_test::log_lines_of([&] { events = play_all(); });
    ASSERT_EQ(events.size(), 8u);
    for (int i : {0, 1, 2, 5, 6}) {
        EXPECT_EQ(events[i].kind, QELMA_PERIODIC) << i;
    }
    EXPECT_EQ(events[3].kind, QELMA_MOUSE);
    EXPECT_EQ(events[3].x, 10);
    EXPECT_EQ(events[3].y, 20);
    EXPECT_EQ(events[4].kind, QELMA_KBD);
    EXPECT_EQ(events[4].key, 97);
    EXPECT_EQ(events[4].x, 0);
    EXPECT_EQ(events[7].kind, QELMA_MOUSE) << "after the end the wait returns ordinary events";
    EXPECT_EQ(events[7].x, 99);
    EXPECT_EQ(lines, std::vector<std::string>{"EOF encountered in script file QELMA.SCR\n"})
        << "the end is logged once, and nothing else";
    EXPECT_FALSE(session.playing_back);
}

TEST_F(Scripts, OddButReadableLines) {
    write_file("QELMA.SCR", "QELMA_MOUSE(-5, -7);\n\n\nQELMA_PERIODIC(0);\nxxxxxxK..321..\n"
                            "QELMA_MOUSE(1-2, --3);\nQELMA_KBD(-23);\nQELMA_X(1);\nQELMA_KBD(1);\n");
    std::vector<qt_test::Event> events;
    auto lines = qt_test::log_lines_of([&] { events = play_all(); });
    ASSERT_EQ(events.size(), 6u);
    EXPECT_EQ(events[0].x, -5);
    EXPECT_EQ(events[0].y, -7);
    EXPECT_EQ(events[1].kind, QELMA_PERIODIC) << "count 0 delivers one periodic event";
    EXPECT_EQ(events[2].kind, QELMA_KBD);
    EXPECT_EQ(events[2].key, 65) << "321 keeps its low eight bits";
    EXPECT_EQ(events[3].x, 1) << "the run 1-2 reads as 1";
    EXPECT_EQ(events[3].y, 0) << "a run without a digit in place reads as 0";
    EXPECT_EQ(events[4].kind, QELMA_KBD);
    EXPECT_EQ(events[4].key, 233) << "a character above 127 plays back as recorded";
    EXPECT_EQ(events[5].x, 99) << "X at index 6 ended playback";
    EXPECT_EQ(lines, std::vector<std::string>{
                         "Unknown event in script file QELMA.SCR; playback stopped\n"})
        << "an unknown keyword stops playback and says why";
}

TEST_F(Scripts, CharactersAbove127RoundTrip) {
    run_menu_command(CMD_RECORD);
    qt_test::post_char(0xE9);
    EXPECT_EQ(next_event().key, 0xE9);
    run_menu_command(CMD_RECORD);
    EXPECT_EQ(read_file("QELMA.SCR"), "QELMA_KBD(-23);\n");
    auto events = play_all();
    ASSERT_GE(events.size(), 1u);
    EXPECT_EQ(events[0].key, 0xE9);
}

TEST_F(Scripts, OnlyEmptyLinesMeetTheEndAtOnce) {
    write_file("QELMA.SCR", "\n\n\r\n\n");
    auto events = play_all();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].x, 99);
    EXPECT_EQ(qt_test::last_log_line(), "EOF encountered in script file QELMA.SCR\n");
}

TEST_F(Scripts, LastLineWithoutLineEndIsPlayed) {
    write_file("QELMA.SCR", "QELMA_KBD(50);\nQELMA_KBD(51);");
    auto events = play_all();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].key, 50);
    EXPECT_EQ(events[1].key, 51);
    EXPECT_EQ(events[2].x, 99);
    EXPECT_EQ(qt_test::last_log_line(), "EOF encountered in script file QELMA.SCR\n");
}

TEST_F(Scripts, MalformedLinesStopPlaybackWithAMessage) {
    const char *cases[][2] = {
        {"QELMA\n", "Line too short in script file QELMA.SCR; playback stopped\n"},
        {"This is not a script\n", "Unknown event in script file QELMA.SCR; playback stopped\n"},
        {"QELMA_KBD();\n", "Missing number in script file QELMA.SCR; playback stopped\n"},
        {"QELMA_MOUSE(5);\n", "Missing number in script file QELMA.SCR; playback stopped\n"},
        {"QELMA_MOUSE(99999999999, 1);\n",
         "Number out of range in script file QELMA.SCR; playback stopped\n"},
        {"QELMA_PERIODIC(2147483648);\n",
         "Number out of range in script file QELMA.SCR; playback stopped\n"},
    };
    for (auto &c : cases) {
        write_file("QELMA.SCR", c[0]);
        auto events = play_all();
        ASSERT_EQ(events.size(), 1u) << c[0];
        EXPECT_EQ(events[0].x, 99) << c[0];
        EXPECT_EQ(qt_test::last_log_line(), c[1]);
        close_script_file();
    }
    write_file("QELMA.SCR", "QELMA_MOUSE(-2147483648, 2147483647);\n");
    auto events = play_all();
    EXPECT_EQ(events[0].x, -2147483647 - 1) << "the int range itself is fine";
    EXPECT_EQ(events[0].y, 2147483647);
}

TEST_F(Scripts, LongLinesAreReadInPieces) {
    std::string line = "QELMA_KBD(66);" + std::string(600, ' ') + "\n";
    write_file("QELMA.SCR", line + "QELMA_KBD(67);\n");
    auto events = play_all();
    // The first piece plays; the rest of the line is a piece of its own
    // whose seventh character (a blank) ends playback.
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].key, 66);
    EXPECT_EQ(session.script_lines_read, 1) << "the refused piece is part of line 1";
}

TEST_F(Scripts, PlayOneWalksThroughAPeriodicCount) {
    write_file("QELMA.SCR", "QELMA_PERIODIC(5);\nQELMA_KBD(98);\n");
    for (int i = 0; i < 5; ++i) {
        run_menu_command(CMD_PLAY_ONE);
        EXPECT_EQ(next_event().kind, QELMA_PERIODIC) << i;
    }
    EXPECT_EQ(session.playback_run, 0);
    run_menu_command(CMD_PLAY_ONE);
    EXPECT_EQ(next_event().key, 98);
    // Playback continues where Play One stopped.
    post_tick();
    post_click(99, 99);
    run_menu_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().x, 99);
    EXPECT_EQ(qt_test::last_log_line(), "EOF encountered in script file QELMA.SCR\n");
}

TEST_F(Scripts, PlaybackOffClosesSoTheNextStartsAtTheTop) {
    write_file("QELMA.SCR", "QELMA_KBD(1);\nQELMA_KBD(2);\n");
    run_menu_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().key, 1);
    run_menu_command(CMD_PLAYBACK);
    EXPECT_EQ(session.script_file, nullptr);
    run_menu_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().key, 1);
}

TEST_F(Scripts, MissingFileOrDirectoryIsReportedOnce) {
    auto events = play_all();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(qt_test::last_log_line(), "Cannot open script file QELMA.SCR for reading\n");
    EXPECT_FALSE(session.playing_back);

    fs::create_directory("QELMA.SCR");
    play_all();
    EXPECT_EQ(qt_test::last_log_line(), "Cannot open script file QELMA.SCR for reading\n");
}

TEST_F(Scripts, WriterThatCannotCreateTheFileKeepsTrying) {
    fs::create_directory("QELMA.SCR");
    run_menu_command(CMD_RECORD);
    qelma_set_animation(QELMA_ANIMATE_RUN);
    qt_test::tick_event();
    auto lines = qt_test::log_lines_of([] {
        post_click(1, 1);
        next_event();
        qt_test::post_char('z');
        next_event();
    });
    EXPECT_EQ(lines, (std::vector<std::string>(3, "Cannot open script file QELMA.SCR for writing\n")));
    EXPECT_TRUE(session.recording);
}

TEST_F(Scripts, FullDiskIsReported) {
#ifdef _WIN32
    GTEST_SKIP() << "no /dev/full on Windows";
#endif
    fs::create_symlink("/dev/full", "QELMA.SCR");
    run_menu_command(CMD_RECORD);
    post_click(1, 1);
    next_event();
    auto lines = qt_test::log_lines_of([] { run_menu_command(CMD_RECORD); });
    EXPECT_EQ(lines, std::vector<std::string>{"Error writing script file QELMA.SCR\n"});
}

TEST_F(Scripts, RecordingAndPlaybackNeverShareTheStream) {
    write_file("QELMA.SCR", "QELMA_PERIODIC(2);\nQELMA_KBD(120);\n");
    run_menu_command(CMD_RECORD);
    run_menu_command(CMD_PLAYBACK);
    // Playback reads; the recorder may not write over what is being read.
    EXPECT_EQ(next_event().kind, QELMA_PERIODIC);
    EXPECT_EQ(next_event().kind, QELMA_PERIODIC);
    auto lines = qt_test::log_lines_of([] { EXPECT_EQ(next_event().key, 120); });
    EXPECT_EQ(lines, std::vector<std::string>{
                         "Cannot record into script file QELMA.SCR while playing it back\n"})
        << "the played character is refused, in words of its own";
    run_menu_command(CMD_RECORD); // off: the playback switched on still reads the file
    EXPECT_NE(session.script_file, nullptr);
    EXPECT_EQ(read_file("QELMA.SCR"), "QELMA_PERIODIC(2);\nQELMA_KBD(120);\n");

    // The other way round: recording holds the file, playback is refused.
    close_script_file();
    run_menu_command(CMD_PLAYBACK); // off
    run_menu_command(CMD_RECORD);
    qt_test::post_char('q');
    next_event();
    run_menu_command(CMD_PLAYBACK);
    post_tick();
    post_click(99, 99);
    lines = qt_test::log_lines_of([] { EXPECT_EQ(next_event().x, 99); });
    EXPECT_EQ(lines, std::vector<std::string>{
                         "Cannot play back script file QELMA.SCR while recording into it\n"});
    run_menu_command(CMD_RECORD);
    EXPECT_EQ(read_file("QELMA.SCR"), "QELMA_KBD(113);\nQELMA_MOUSE(99, 99);\n");
}

TEST_F(Scripts, UserInputDuringPlaybackIsDeliveredNotLost) {
    write_file("QELMA.SCR", "QELMA_KBD(1);\nQELMA_KBD(2);\n");
    run_menu_command(CMD_PLAYBACK);
    post_click(7, 8);
    auto e = next_event();
    EXPECT_EQ(e.kind, QELMA_MOUSE);
    EXPECT_EQ(e.x, 7);
    EXPECT_EQ(next_event().key, 1);
    plat_post_quit_message(0);
    EXPECT_EQ(next_event().kind, QELMA_QUIT) << "a quit wins over the script";
    EXPECT_EQ(next_event().key, 2);
}

TEST_F(Scripts, TearDownWritesThePendingRun) {
    run_menu_command(CMD_RECORD);
    qelma_set_animation(QELMA_ANIMATE_RUN);
    qt_test::tick_event();
    qt_test::tick_event();
    qelma_end();
    EXPECT_EQ(read_file("QELMA.SCR"), "QELMA_PERIODIC(2);\n");
    session.window_dc = plat_get_dc(session.graphics_window);
    session.recording = false;
}
