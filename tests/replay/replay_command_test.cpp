// qelma-replay as a user runs it: real programs (the car game and a probe
// that misbehaves on request), real scripts, exit codes, messages and files.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "game/game_loop.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"
#include "replay/pictures.h"

namespace fs = std::filesystem;

namespace {

struct Ran {
    int code;
    std::string messages;
};

std::string quoted(const std::string &word) {
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs qelma-replay with the words given, in dir, with the environment
// prefix env ("VAR=value ..."), and collects what it says.
Ran replay(const fs::path &dir, const std::vector<std::string> &words, const std::string &env = "") {
    std::string command = "cd " + quoted(dir.string()) + " && " + env + " " + quoted(QELMA_REPLAY_BIN);
    for (const std::string &word : words)
        command += " " + quoted(word);
    command += " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    std::string said;
    char buffer[4096];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        said += buffer;
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    return Ran{WIFEXITED(status) ? WEXITSTATUS(status) : -1, said};
}

std::string file_bytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

class Replay : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qelma-replay-test-" + std::to_string(getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path script(const std::string &lines, const std::string &name = "run.SCR") {
        std::ofstream(dir_ / name) << lines;
        return dir_ / name;
    }

    fs::path dir_;
};

struct OutcomeCase {
    const char *name;
    const char *script; // null: no script file at all
    std::vector<std::string> options;
    std::vector<std::string> program;
    int code;
    const char *message; // said on standard error; empty: nothing
};

void PrintTo(const OutcomeCase &c, std::ostream *os) { *os << c.name; }

class ReplayOutcome : public Replay, public ::testing::WithParamInterface<OutcomeCase> {};

const std::string PROBE = QELMA_REPLAY_PROBE;

TEST_P(ReplayOutcome, EndsWithItsCodeAndSaysWhy) {
    const OutcomeCase &c = GetParam();
    std::vector<std::string> words = c.options;
    words.push_back(c.script != nullptr ? script(c.script).string() : (dir_ / "none.SCR").string());
    words.push_back("--");
    words.insert(words.end(), c.program.begin(), c.program.end());
    const Ran ran = replay(dir_, words);
    EXPECT_EQ(ran.code, c.code) << ran.messages;
    if (c.message[0] == '\0')
        EXPECT_EQ(ran.messages, "");
    else
        EXPECT_NE(ran.messages.find(c.message), std::string::npos) << ran.messages;
    EXPECT_FALSE(fs::exists(dir_ / "QELMA.SCR")); // the user's own script is not made
}

const char TICKS[] = "QELMA_PERIODIC(5);\nQELMA_MOUSE(3, -4);\nQELMA_KBD(97);\nQELMA_PERIODIC(2);\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplayOutcome,
    ::testing::Values(
        OutcomeCase{"played", TICKS, {}, {PROBE, "draw", "4"}, 0, ""},
        OutcomeCase{"ignoresQuit", TICKS, {}, {PROBE, "ignore-quit"}, 0, ""},
        OutcomeCase{"endsFirst", TICKS, {}, {PROBE, "exit", "3"}, 3, "ended before its script did"},
        OutcomeCase{"crashes", TICKS, {}, {PROBE, "crash"}, 128 + 6, "crashed (signal 6"},
        OutcomeCase{"neverWaits", TICKS, {"--timeout", "0.5"}, {PROBE, "spin"}, 124,
                    "did not ask for its next event within 0.5 s"},
        OutcomeCase{"badLine", "QELMA_PERIODIC(2);\n\nQELMA_XYZ(1);\n", {}, {PROBE}, 2,
                    "run.SCR:3: Unknown event in script file"},
        OutcomeCase{"noScript", nullptr, {}, {PROBE}, 2, "cannot read the script"},
        OutcomeCase{"notFound", TICKS, {}, {"/nonexistent/program"}, 127, "cannot run"},
        OutcomeCase{"notQelma", TICKS, {}, {"true"}, 125, "true is not a QELMA program"},
        OutcomeCase{"unwritable", TICKS, {"--gif", "/nonexistent/dir/a.gif"}, {PROBE}, 2,
                    "cannot write /nonexistent/dir/a.gif"},
        OutcomeCase{"badEvery", TICKS, {"--frames", "f", "--every", "0"}, {PROBE}, 2,
                    "--every 0: a whole number"},
        OutcomeCase{"everyAlone", TICKS, {"--every", "2"}, {PROBE}, 2, "--every goes with --frames"}),
    [](const auto &param_info) { return std::string(param_info.param.name); });

TEST_F(Replay, ExpectPassesForTheSameProgramAndMarksWhatAnotherDraws) {
    const fs::path run = script(TICKS);
    ASSERT_EQ(replay(dir_, {"--png", "ref.png", run.string(), "--", PROBE, "draw", "2"}).code, 0);
    EXPECT_EQ(replay(dir_, {"--expect", "ref.png", run.string(), "--", PROBE, "draw", "2"}).code, 0);
    EXPECT_FALSE(fs::exists(dir_ / "ref-diff.png"));

    // Blue instead of red: the rectangle's and the circles' pixels differ.
    const Ran changed = replay(dir_, {"--expect", "ref.png", run.string(), "--", PROBE, "draw", "4"});
    EXPECT_EQ(changed.code, 1) << changed.messages;
    EXPECT_NE(changed.messages.find("differences marked in red in ref-diff.png"), std::string::npos);
    Picture reference, marked;
    std::string error;
    ASSERT_TRUE(read_png((dir_ / "ref.png").string(), &reference, &error)) << error;
    ASSERT_TRUE(read_png((dir_ / "ref-diff.png").string(), &marked, &error)) << error;
    ASSERT_EQ(marked.pixels.size(), reference.pixels.size());
    std::size_t red = 0, were_red = 0;
    for (std::size_t i = 0; i < marked.pixels.size(); ++i) {
        red += marked.pixels[i] == 0xFF0000u;
        were_red += reference.pixels[i] == 0xFF0000u;
    }
    EXPECT_EQ(red, were_red); // every red pixel of the reference, and nothing else
    EXPECT_GT(red, 2000u); // the rectangle's outline, 3 pixels wide
    // Within a tolerance above the share of changed pixels it passes.
    EXPECT_EQ(replay(dir_, {"--expect", "ref.png", "--tolerance", "20", run.string(), "--", PROBE,
                            "draw", "4"})
                  .code,
              0);
}

const std::string GAME = CARGAME_BIN;
const std::string GAME_SCRIPT = QELMA_GAME_SCRIPT;

TEST_F(Replay, TwoRunsOfTheGameWriteTheSameGifWithoutAnyDisplay) {
    // A display that does not answer and a platform that needs one: the
    // replay uses neither.
    const std::string no_screen = "DISPLAY=:987 QT_QPA_PLATFORM=xcb";
    const Ran first = replay(dir_, {"--gif", "a.gif", "--log", "a.log", GAME_SCRIPT, "--", GAME}, no_screen);
    const Ran second = replay(dir_, {"--gif", "b.gif", GAME_SCRIPT, "--", GAME}, no_screen);
    ASSERT_EQ(first.code, 0) << first.messages;
    ASSERT_EQ(second.code, 0) << second.messages;
    const std::string a = file_bytes(dir_ / "a.gif");
    EXPECT_GT(a.size(), 10000u);
    EXPECT_EQ(a.substr(0, 6), "GIF89a");
    EXPECT_TRUE(a == file_bytes(dir_ / "b.gif"));
    EXPECT_NE(file_bytes(dir_ / "a.log").find("EOF encountered in script file " + GAME_SCRIPT),
              std::string::npos);
}

// The pictures qelma-replay writes are the game's own canvas after the same
// events, played here in this process as Play One plays them.
TEST_F(Replay, FramesAreTheGamesOwnCanvas) {
    const int every = 25;
    const Ran ran = replay(dir_, {"--frames", "frames", "--every", std::to_string(every), GAME_SCRIPT,
                                  "--", GAME});
    ASSERT_EQ(ran.code, 0) << ran.messages;

    fs::copy_file(GAME_SCRIPT, dir_ / "QELMA.SCR");
    fs::current_path(dir_);
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
        ASSERT_TRUE(read_png((dir_ / "frames" / name).string(), &written, &error)) << error;
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
    EXPECT_FALSE(fs::exists(dir_ / "frames" / ("frame-" + std::to_string(ticks + every) + ".png")));
}

} // namespace
