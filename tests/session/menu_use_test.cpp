// The Run menu used as a user uses it: menu commands and Ctrl-key presses put
// into the real queue, in the drawing window or in the text window, and the
// events that come out of the wait; the check marks read back from the menu.
#include <fstream>
#include <string>
#include <vector>

#include "support/qelma_test.h"

namespace {

using qt_test::Event;
using qt_test::next_event;
using qt_test::post_click;
using qt_test::post_command;

bool marked(unsigned id) {
    for (int pos = 0; pos < plat_get_menu_item_count(session.run_menu); ++pos) {
        if (plat_get_menu_item_id(session.run_menu, pos) == id) {
            return (plat_get_menu_state(session.run_menu, pos) & MF_CHECKED) != 0;
        }
    }
    ADD_FAILURE() << "no item " << id;
    return false;
}

// Ctrl+letter pressed and released while `window` has the focus.
void press_ctrl(PlatWindow window, unsigned letter) {
    plat_post_message(window, WM_KEYDOWN, VK_CONTROL, 1);
    plat_post_message(window, WM_KEYDOWN, letter, 1);
    plat_post_message(window, WM_KEYUP, letter, 1 | (PlatLParam{3} << 30));
    plat_post_message(window, WM_KEYUP, VK_CONTROL, 1 | (PlatLParam{3} << 30));
}

// Runs waits until everything queued so far has been handled, including what
// the text window posts on to the drawing window while it is handled: a
// click behind the queue comes back, then a second one behind whatever the
// first round posted. Each click follows a credit-line command, which gives
// no event, so that a pass before the click plays from the script when
// playback is on. Returns the events that came before the clicks.
std::vector<Event> settle() {
    std::vector<Event> others;
    for (int round = 0; round < 2; ++round) {
        const int guard_x = 250 + round;
        post_command(CMD_INFO);
        post_click(guard_x, 240);
        for (int i = 0;; ++i) {
            if (i == 50) {
                ADD_FAILURE() << "the guard click never came back";
                return others;
            }
            Event e = next_event();
            if (e.kind == QELMA_MOUSE && e.x == guard_x && e.y == 240) {
                break;
            }
            others.push_back(e);
        }
    }
    return others;
}

void write_script(const std::string &text) {
    std::ofstream out("QELMA.SCR", std::ios::binary);
    out << text;
}

class MenuUse : public qt_test::ScriptDirTest {};

const char *const KEYS_ABC = "QELMA_KBD(97);\nQELMA_KBD(98);\nQELMA_KBD(99);\n";

} // namespace

TEST(MenuAsBuilt, FlagsOfEveryItem) {
    qt_test::open_session();
    const std::vector<int> &built = qt_test::menu_states_as_built();
    ASSERT_EQ(built.size(), 15u);
    for (int pos = 0; pos < 15; ++pos) {
        const bool separator = pos == 3 || pos == 5 || pos == 9 || pos == 11;
        const bool credit = pos >= 12;
        EXPECT_EQ((built[pos] & MF_SEPARATOR) != 0, separator) << "item " << pos;
        EXPECT_EQ((built[pos] & MF_GRAYED) != 0, credit) << "item " << pos;
        EXPECT_EQ((built[pos] & MF_CHECKED) != 0, pos == 4) << "item " << pos;
        if (credit) {
            char text[128] = "";
            plat_get_menu_string(session.run_menu, pos, text, sizeof text);
            EXPECT_GT(std::string(text).size(), 0u) << "credit line " << pos;
        }
    }
}

TEST_F(MenuUse, RecordMarkFollowsItsSwitchFromMenuAndBothWindows) {
    post_command(CMD_RECORD);
    settle();
    EXPECT_TRUE(session.recording);
    EXPECT_TRUE(marked(CMD_RECORD));
    press_ctrl(session.text_window, 'R');
    settle();
    EXPECT_FALSE(session.recording);
    EXPECT_FALSE(marked(CMD_RECORD));
    press_ctrl(session.graphics_window, 'R');
    settle();
    EXPECT_TRUE(session.recording);
    EXPECT_TRUE(marked(CMD_RECORD));
    post_command(CMD_RECORD);
    settle();
    EXPECT_FALSE(session.recording);
    EXPECT_FALSE(marked(CMD_RECORD));
    // The guard clicks taken while recording are in the script.
    std::ifstream in("QELMA.SCR");
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "QELMA_MOUSE(250, 240);");
}

TEST_F(MenuUse, PlaybackMarkOnAndOffFromTheMenu) {
    write_script(KEYS_ABC);
    session.animating = true;
    post_command(CMD_PLAYBACK);
    Event e = next_event();
    EXPECT_EQ(e.kind, QELMA_KBD) << "the wait that takes the command plays the first event";
    EXPECT_EQ(e.key, 'a');
    EXPECT_TRUE(marked(CMD_PLAYBACK));
    EXPECT_FALSE(session.animating) << "playback halts animation";
    post_command(CMD_PLAYBACK);
    post_click(1, 2);
    e = next_event();
    EXPECT_EQ(e.kind, QELMA_MOUSE) << "playback off plays nothing more";
    EXPECT_FALSE(session.playing_back);
    EXPECT_FALSE(marked(CMD_PLAYBACK));
    // Off closed the file: the next playback starts at the first line again.
    post_command(CMD_PLAYBACK);
    e = next_event();
    EXPECT_EQ(e.key, 'a');
    EXPECT_TRUE(marked(CMD_PLAYBACK));
}

TEST_F(MenuUse, PlaybackMarkClearedAtTheEndOfTheScript) {
    write_script(KEYS_ABC);
    press_ctrl(session.graphics_window, 'P');
    std::vector<Event> played;
    auto lines = qt_test::log_lines_of([&] { played = settle(); });
    ASSERT_EQ(played.size(), 3u) << "each script event once, then the clicks";
    EXPECT_EQ(played[0].key, 'a');
    EXPECT_EQ(played[2].key, 'c');
    EXPECT_FALSE(session.playing_back);
    EXPECT_FALSE(marked(CMD_PLAYBACK)) << "the end of the script clears the mark";
    EXPECT_EQ(lines, std::vector<std::string>{"EOF encountered in script file QELMA.SCR\n"});
}

TEST_F(MenuUse, PlayOneDuringPlaybackOnlyHaltsAnimation) {
    write_script(KEYS_ABC);
    post_command(CMD_PLAYBACK);
    EXPECT_EQ(next_event().key, 'a');
    post_command(CMD_ANIMATE);
    EXPECT_EQ(next_event().key, 'b') << "animation on does not stop playback";
    EXPECT_TRUE(session.animating);
    post_command(CMD_PLAY_ONE);
    Event e = next_event();
    EXPECT_EQ(e.key, 'c') << "Play One neither skips nor repeats a script event";
    EXPECT_FALSE(session.animating);
    EXPECT_TRUE(session.playing_back);
    EXPECT_TRUE(marked(CMD_PLAYBACK));
    std::vector<Event> after = settle();
    EXPECT_TRUE(after.empty()) << "the script had no fourth event";
    EXPECT_FALSE(marked(CMD_PLAYBACK));
}

TEST_F(MenuUse, PlayOneFromEitherWindowPlaysOneEvent) {
    write_script(KEYS_ABC);
    for (PlatWindow window : {session.graphics_window, session.text_window}) {
        session.animating = true;
        press_ctrl(window, 'O');
        std::vector<Event> played = settle();
        ASSERT_EQ(played.size(), 1u);
        EXPECT_EQ(played[0].kind, QELMA_KBD);
        EXPECT_EQ(played[0].key, window == session.graphics_window ? 'a' : 'b')
            << "Play One goes on where the last one stopped";
        EXPECT_FALSE(session.animating) << "Play One halts animation";
        EXPECT_FALSE(session.playing_back);
        EXPECT_FALSE(session.play_one_pending);
    }
}

TEST_F(MenuUse, PlaybackFromTheTextWindow) {
    write_script(KEYS_ABC);
    press_ctrl(session.text_window, 'P');
    std::vector<Event> played = settle();
    ASSERT_EQ(played.size(), 3u);
    EXPECT_EQ(played[1].key, 'b');
}

TEST_F(MenuUse, AdvanceOneFrameFromEitherWindow) {
    for (PlatWindow window : {session.graphics_window, session.text_window}) {
        // A click would take the place of the frame's periodic event, so the
        // ticks must queue up behind the Ctrl and F key-downs themselves:
        // two message steps take those from the window that has the focus
        // (the text window posts them on to the drawing window).
        press_ctrl(window, 'F');
        pump_one_message();
        pump_one_message();
        qt_test::post_tick();
        EXPECT_EQ(next_event().kind, QELMA_PERIODIC) << "the frame asked for";
        EXPECT_FALSE(session.animating);
        EXPECT_FALSE(session.single_step);
        qt_test::post_tick();
        qt_test::post_tick();
        post_click(3, 3);
        EXPECT_EQ(next_event().kind, QELMA_MOUSE) << "one frame gives one periodic event";
        settle();
    }
}

// Advance one frame chosen while the running animation has armed its
// periodic event: that one still comes at the next tick, the next wait
// gives one more, and then animation stays halted.
TEST_F(MenuUse, AdvanceOneFrameWhileAPeriodicEventIsArmed) {
    session.animating = true;
    post_command(CMD_INFO); // the first pass takes this and arms the periodic event
    post_command(CMD_ONE_FRAME);
    qt_test::post_tick();
    EXPECT_EQ(next_event().kind, QELMA_PERIODIC);
    EXPECT_FALSE(session.animating);
    qt_test::post_tick();
    qt_test::post_tick();
    EXPECT_EQ(next_event().kind, QELMA_PERIODIC) << "the frame asked for";
    qt_test::post_tick();
    qt_test::post_tick();
    post_click(5, 5);
    EXPECT_EQ(next_event().kind, QELMA_MOUSE) << "then halted";
}

TEST_F(MenuUse, LoggingMarkFromMenuCtrlLAndTheCall) {
    qelma_show_log_window(0);
    post_command(CMD_LOGGING);
    settle();
    EXPECT_TRUE(session.logging_on);
    EXPECT_TRUE(marked(CMD_LOGGING));
    press_ctrl(session.text_window, 'L');
    settle();
    EXPECT_FALSE(session.logging_on);
    EXPECT_FALSE(marked(CMD_LOGGING));
    press_ctrl(session.graphics_window, 'L');
    settle();
    EXPECT_TRUE(session.logging_on);
    EXPECT_TRUE(marked(CMD_LOGGING));
    EXPECT_FALSE(plat_is_window_visible(session.text_window))
        << "neither the menu nor Ctrl+L shows the text window";
    qelma_set_logging(0);
    EXPECT_FALSE(marked(CMD_LOGGING));
    qelma_set_logging(1);
    EXPECT_TRUE(marked(CMD_LOGGING));
    EXPECT_TRUE(plat_is_window_visible(session.text_window));
}
