// qelma-replay as a user runs it: real programs (the car game and a probe
// that misbehaves on request), real scripts, exit codes, messages and files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

#include "game/game_loop.h"
#include "replay/pictures.h"
#include "replay/replay_command.h"
#include "support/qelma_test.h"

namespace fs = std::filesystem;

namespace {

struct Ran {
    int code;
    std::string messages;
};

// Runs the command as main does, in the test's directory, and collects what
// it says (its own messages and those of the program it runs).
Ran replay(const std::vector<std::string> &words) {
    ReplayOptions options;
    std::string error;
    ::testing::internal::CaptureStderr();
    const int code = parse_replay_options(words, &options, &error) ? run_replay(options) : EXIT_BAD_INPUT;
    return Ran{code, ::testing::internal::GetCapturedStderr() + error};
}

std::string file_bytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

class Replay : public ::testing::Test {
  protected:
    fs::path script(const std::string &lines) {
        std::ofstream(dir_.path / "run.SCR") << lines;
        return dir_.path / "run.SCR";
    }

    qt_test::TempDir dir_; // also the current directory
};

struct OutcomeCase {
    const char *name;
    const char *script; // null: no script file at all
    std::vector<std::string> options;
    std::vector<std::string> program;
    int code;
    const char *message; // said on standard error; empty: nothing
    const char *file = nullptr;  // afterwards this file ...
    const char *holds = nullptr; // ... holds this text; null: it is not there
};

void PrintTo(const OutcomeCase &c, std::ostream *os) { *os << c.name; }

class ReplayOutcome : public Replay, public ::testing::WithParamInterface<OutcomeCase> {};

const std::string PROBE = QELMA_REPLAY_PROBE;

TEST_P(ReplayOutcome, EndsWithItsCodeAndSaysWhy) {
    const OutcomeCase &c = GetParam();
    std::vector<std::string> words = c.options;
    words.push_back(c.script != nullptr ? script(c.script).string() : "none.SCR");
    words.push_back("--");
    words.insert(words.end(), c.program.begin(), c.program.end());
    const Ran ran = replay(words);
    EXPECT_EQ(ran.code, c.code) << ran.messages;
    if (c.message[0] == '\0')
        EXPECT_EQ(ran.messages, "");
    else
        EXPECT_NE(ran.messages.find(c.message), std::string::npos) << ran.messages;
    EXPECT_FALSE(fs::exists("QELMA.SCR")); // the user's own script is not made
    if (c.file != nullptr) {
        EXPECT_EQ(fs::exists(c.file), c.holds != nullptr) << c.file;
        if (c.holds != nullptr) {
            EXPECT_NE(file_bytes(c.file).find(c.holds), std::string::npos) << c.file;
        }
    }
    for (const auto &entry : fs::recursive_directory_iterator("."))
        EXPECT_EQ(entry.path().string().find(".qelma-replay-"), std::string::npos) << entry.path();
}

const char TICKS[] = "QELMA_PERIODIC(5);\nQELMA_MOUSE(3, -4);\nQELMA_KBD(97);\nQELMA_PERIODIC(2);\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplayOutcome,
    ::testing::Values(
        OutcomeCase{"played", TICKS, {}, {PROBE, "draw", "4"}, 0, ""},
        OutcomeCase{"ignoresQuit", TICKS, {}, {PROBE, "ignore-quit"}, 0, ""},
        OutcomeCase{"endsFirst", TICKS, {}, {PROBE, "exit", "3"}, 3, "ended before its script did"},
        OutcomeCase{"crashes", TICKS, {}, {PROBE, "crash"}, 128 + 6, "crashed (signal 6"},
        OutcomeCase{"faults", TICKS, {}, {PROBE, "fault"}, 128 + 11, "crashed (signal 11"},
        OutcomeCase{"plainProgram", TICKS, {}, {PROBE, "plain"}, 125, "is not a QELMA program"},
        OutcomeCase{"neverWaits", TICKS, {"--timeout", "0.5"}, {PROBE, "spin"}, 124,
                    "did not ask for its next event within 0.5 s"},
        OutcomeCase{"badLine", "QELMA_PERIODIC(2);\n\nQELMA_XYZ(1);\n", {}, {PROBE}, 2,
                    "run.SCR:3: Unknown event in script file"},
        OutcomeCase{"noScript", nullptr, {}, {PROBE}, 2, "cannot read the script"},
        OutcomeCase{"expectNotAPicture", TICKS, {"--expect", "run.SCR"}, {PROBE}, 2, "run.SCR: not a PNG file"},
        OutcomeCase{"notFound", TICKS, {}, {"/nonexistent/program"}, 127, "cannot run"},
        OutcomeCase{"notQelma", TICKS, {}, {"true"}, 125, "true is not a QELMA program"},
        OutcomeCase{"unwritable", TICKS, {"--gif", "/nonexistent/dir/a.gif"}, {PROBE}, 2,
                    "cannot write /nonexistent/dir/a.gif"},
        OutcomeCase{"badEvery", TICKS, {"--frames", "f", "--every", "0"}, {PROBE}, 2,
                    "--every 0: a whole number"},
        OutcomeCase{"everyAlone", TICKS, {"--every", "2"}, {PROBE}, 2, "--every goes with --frames"},
        // Outputs that are one file, the script or the reference are refused
        // before anything runs; a failed run leaves no output.
        OutcomeCase{"gifIsPng", TICKS, {"--gif", "x.img", "--png", "x.img"}, {PROBE}, 2,
                    "--gif x.img and --png x.img are one file"},
        OutcomeCase{"gifIsLog", TICKS, {"--gif", "x.img", "--log", "./x.img"}, {PROBE}, 2,
                    "--gif x.img and --log ./x.img are one file"},
        OutcomeCase{"logIsScript", TICKS, {"--log", "run.SCR"}, {PROBE}, 2,
                    "and --log run.SCR are one file", "run.SCR", TICKS},
        OutcomeCase{"pngIsDiff", TICKS, {"--expect", "run.SCR", "--png", "run-diff.png"}, {PROBE}, 2,
                    "--expect run-diff.png and --png run-diff.png are one file"},
        OutcomeCase{"pngIsAFrame", TICKS, {"--frames", ".", "--png", "frame-00003.png"}, {PROBE}, 2,
                    "--png frame-00003.png is a picture that --frames . writes"},
        OutcomeCase{"failedLeavesNoGif", TICKS, {"--gif", "a.gif"}, {"/nonexistent/program"}, 127,
                    "cannot run", "a.gif"},
        // The final picture, changed by a click after the last tick, is the last frame.
        OutcomeCase{"framesEndFinal", "QELMA_PERIODIC(1);\nQELMA_MOUSE(5, 5);\n", {"--frames", "f"},
                    {PROBE, "count"}, 0, "1 clicks", "f/frame-00002.png", ""},
        // Only waits count as signs of life: drawing and logging do not.
        OutcomeCase{"drawsForever", TICKS, {"--timeout", "1"}, {PROBE, "draw-forever"}, 124,
                    "did not ask for its next event within 1 s"},
        OutcomeCase{"leavesBackgroundProcess", TICKS, {"--timeout", "3"}, {PROBE, "background"}, 0, ""},
        OutcomeCase{"ownDescriptor3", TICKS, {}, {PROBE, "own-fd3"}, 125,
                    "is not qelma-replay's pipe any more", "own.txt", "mine"},
        OutcomeCase{"logBeforeSession", TICKS, {"--log", "run.log"}, {PROBE, "log-before"}, 0, "",
                    "run.log", "before the session"},
        // A last line without its line end is played.
        OutcomeCase{"unterminatedLastLine", "QELMA_MOUSE(100, 100);\nQELMA_MOUSE(-200, -100);", {},
                    {PROBE, "count"}, 0, "2 clicks"}),
    [](const auto &param_info) { return std::string(param_info.param.name); });

TEST_F(Replay, ExpectPassesForTheSameProgramAndMarksWhatAnotherDraws) {
    const fs::path run = script(TICKS);
    ASSERT_EQ(replay({"--png", "ref.png", run.string(), "--", PROBE, "draw", "2"}).code, 0);
    EXPECT_EQ(replay({"--expect", "ref.png", run.string(), "--", PROBE, "draw", "2"}).code, 0);
    EXPECT_FALSE(fs::exists("ref-diff.png"));

    // Blue instead of red: the rectangle's and the circles' pixels differ.
    const Ran changed = replay({"--expect", "ref.png", run.string(), "--", PROBE, "draw", "4"});
    EXPECT_EQ(changed.code, 1) << changed.messages;
    EXPECT_NE(changed.messages.find("differences marked in red in ref-diff.png"), std::string::npos);
    Picture reference, marked;
    std::string error;
    ASSERT_TRUE(read_png("ref.png", &reference, &error)) << error;
    ASSERT_TRUE(read_png("ref-diff.png", &marked, &error)) << error;
    ASSERT_EQ(marked.pixels.size(), reference.pixels.size());
    std::size_t red = 0, were_red = 0;
    for (std::size_t i = 0; i < marked.pixels.size(); ++i) {
        red += marked.pixels[i] == 0xFF0000u;
        were_red += reference.pixels[i] == 0xFF0000u;
    }
    EXPECT_EQ(red, were_red); // every red pixel of the reference, and nothing else
    EXPECT_GT(red, 2000u); // the rectangle's outline, 3 pixels wide
    // Within a tolerance above the share of changed pixels it passes.
    const Ran tolerated =
        replay({"--expect", "ref.png", "--tolerance", "20", run.string(), "--", PROBE, "draw", "4"});
    EXPECT_EQ(tolerated.code, 0);
}

const std::string GAME = CARGAME_BIN;
const std::string GAME_SCRIPT = QELMA_GAME_SCRIPT;

TEST_F(Replay, TwoRunsOfTheGameWriteTheSameGifWithoutAnyDisplay) {
    // A display that does not answer and a platform that needs one: the
    // replay uses neither, and starts no Qt platform plugin at all (the
    // dynamic loader's own record of the libraries it starts says so).
    setenv("DISPLAY", ":987", 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("LD_DEBUG", "libs", 1);
    const Ran first = replay({"--gif", "a.gif", "--log", "a.log", GAME_SCRIPT, "--", GAME});
    unsetenv("LD_DEBUG");
    const Ran second = replay({"--gif", "b.gif", GAME_SCRIPT, "--", GAME});
    ASSERT_EQ(first.code, 0) << first.messages;
    EXPECT_NE(first.messages.find("calling init: "), std::string::npos); // the record is there
    EXPECT_EQ(first.messages.find("/plugins/platforms/"), std::string::npos);
    ASSERT_EQ(second.code, 0) << second.messages;
    const std::string a = file_bytes("a.gif");
    EXPECT_GT(a.size(), 10000u);
    EXPECT_EQ(a.substr(0, 6), "GIF89a");
    EXPECT_TRUE(a == file_bytes("b.gif"));
    EXPECT_NE(file_bytes("a.log").find("EOF encountered in script file " + GAME_SCRIPT),
              std::string::npos);
}

// The pictures qelma-replay writes are the game's own canvas after the same
// events, played here in this process as Play One plays them.
TEST_F(Replay, FramesAreTheGamesOwnCanvas) {
    const int every = 25;
    const Ran ran =
        replay({"--frames", "frames", "--every", std::to_string(every), GAME_SCRIPT, "--", GAME});
    ASSERT_EQ(ran.code, 0) << ran.messages;

    fs::copy_file(GAME_SCRIPT, "QELMA.SCR");
    GameState g;
    char command_line[] = "";
    game_start(g, nullptr, nullptr, command_line, SW_SHOWNORMAL);
    std::vector<std::uint32_t> canvas(static_cast<std::size_t>(QELMA_CANVAS_WIDTH) * QELMA_CANVAS_HEIGHT);
    int ticks = 0, compared = 0;
    auto compare = [&] {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%05d.png", ticks);
        Picture written;
        std::string error;
        ASSERT_TRUE(read_png(std::string("frames/") + name, &written, &error)) << error;
        ASSERT_EQ(plat_read_pixels(session.canvas_dc, 0, 0, QELMA_CANVAS_WIDTH, QELMA_CANVAS_HEIGHT,
                                   canvas.data()),
                  1);
        EXPECT_TRUE(written.pixels == canvas) << "picture " << ticks;
        ++compared;
    };
    compare(); // the start
    for (;;) {
        session.pending_event = NO_EVENT;
        if (read_script_event() != 1)
            break;
        const int kind = session.pending_event;
        ASSERT_TRUE(game_pass_with_event(g, kind, session.event_x, session.event_y,
                                         static_cast<char>(session.event_key)));
        if (kind == QELMA_PERIODIC && ++ticks % every == 0)
            compare();
    }
    qelma_end();
    EXPECT_GE(compared, 9);
    EXPECT_FALSE(fs::exists(fs::path("frames") / ("frame-" + std::to_string(ticks + every) + ".png")));
}

} // namespace
