// A real game recorded into "QELMA.SCR" (clicks and keys on the drawing
// window, ticks from the real timer) and played back into a fresh game: the
// replay passes through the same pictures, frame for frame.
#include <gtest/gtest.h>

#include <QPoint>
#include <QTest>
#include <QWidget>

#include <fstream>
#include <sstream>
#include <vector>

#include "game/game_loop.h"
#include "game/game_state.h"
#include "qelma/platform/qt/qt_platform.h"
#include "qelma/qelma.h"
#include "qelma/session/session.h"
#include "support/qelma_test.h"

namespace {

using qt_test::canvas_checksum;

QWidget *drawing_area() { return plat_qt_client_widget(session.graphics_window); }

void click_at(int x, int y) {
    QTest::mouseClick(drawing_area(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(session.origin_x + x, session.origin_y - y));
}

struct Frame {
    int points;
    int player_x;
    std::uint64_t checksum;
};

Frame frame_of(const GameState &g) { return Frame{g.points, g.player_x, canvas_checksum()}; }

} // namespace

TEST(RecordPlayback, ReplayPassesThroughTheSameFrames) {
    qt_test::TempDir dir;
    GameState g;
    char command_line[] = "";
    game_start(g, nullptr, nullptr, command_line, SW_SHOWNORMAL);
    ASSERT_NE(drawing_area(), nullptr);

    std::vector<Frame> recorded;
    run_menu_command(CMD_RECORD);
    auto pass = [&] {
        ASSERT_TRUE(game_pass(g));
        recorded.push_back(frame_of(g));
    };
    for (int i = 0; i < 3; ++i) {
        pass(); // ticks before "Go": the sun drifts
    }
    click_at(-250, 232); // "Go"
    // The click is queued already: the next pass takes it. A few more are
    // allowed for ticks; a game that never starts fails here.
    for (int i = 0; g.running == 0; ++i) {
        ASSERT_LT(i, 20) << "the click on Go did not start the game";
        pass();
    }
    for (int i = 0; i < 8; ++i) {
        pass();
    }
    QTest::keyClick(drawing_area(), Qt::Key_2); // lower lane, towards the computer car
    while (g.crash_phase == 0 && recorded.size() < 400) {
        pass();
    }
    ASSERT_NE(g.crash_phase, 0) << "the red car met the computer car";
    click_at(-230, 130); // "New Car": a colour change during the crash
    for (int i = 0; i < 5; ++i) {
        pass();
    }
    run_menu_command(CMD_RECORD);

    std::ifstream script("QELMA.SCR");
    std::stringstream text;
    text << script.rdbuf();
    EXPECT_NE(text.str().find("QELMA_MOUSE(-250, 232);\n"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("QELMA_KBD(50);\n"), std::string::npos);
    EXPECT_NE(text.str().find("QELMA_PERIODIC("), std::string::npos);

    // A fresh game, fed from the script.
    GameState replay;
    game_set_up(replay);
    run_menu_command(CMD_PLAYBACK);
    EXPECT_FALSE(session.animating) << "playback halts animation";
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        ASSERT_TRUE(game_pass(replay));
        Frame f = frame_of(replay);
        ASSERT_EQ(f.points, recorded[i].points) << "frame " << i;
        ASSERT_EQ(f.player_x, recorded[i].player_x) << "frame " << i;
        ASSERT_EQ(f.checksum, recorded[i].checksum) << "frame " << i;
    }
    EXPECT_TRUE(session.playing_back) << "the script is not over before its last event";
    EXPECT_EQ(read_script_event(), 0);
    EXPECT_EQ(qt_test::last_log_line(), "EOF encountered in script file QELMA.SCR\n");
    EXPECT_FALSE(session.playing_back);
    run_menu_command(CMD_QUIT);
    EXPECT_FALSE(game_pass(replay)) << "Quit ends the game";
    qelma_end();
}
