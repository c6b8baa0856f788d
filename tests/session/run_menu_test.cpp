// The Run menu: its items, its commands and the Ctrl shortcuts.
#include <string>
#include <vector>

#include "support/qelma_test.h"

using qt_test::next_event;
using qt_test::post_click;
using qt_test::post_command;
using qt_test::post_key;

class RunMenu : public ::testing::Test {
  protected:
    void SetUp() override { qt_test::open_session(); }
    // Runs the waits over the messages queued so far, up to the click that
    // ends them. A posted key-down may still be translated into a character
    // (a real TranslateMessage reads the keyboard, not the posted messages);
    // such characters come out as key events before the click.
    static void run_queued() {
        post_click(0, 0);
        qt_test::Event e = next_event();
        for (int i = 0; i < 8 && e.kind == QELMA_KBD; ++i) {
            e = next_event();
        }
        EXPECT_EQ(e.kind, QELMA_MOUSE);
    }
    static bool checked(unsigned id) {
        for (int pos = 0; pos < plat_get_menu_item_count(session.run_menu); ++pos) {
            if (plat_get_menu_item_id(session.run_menu, pos) == id) {
                return (plat_get_menu_state(session.run_menu, pos) & MF_CHECKED) != 0;
            }
        }
        ADD_FAILURE() << "no item " << id;
        return false;
    }
};

TEST_F(RunMenu, ItemsInOrderWithMarksSeparatorsAndCredits) {
    PlatMenu bar = plat_get_menu(session.graphics_window);
    ASSERT_EQ(plat_get_menu_item_count(bar), 1);
    char text[128];
    plat_get_menu_string(bar, 0, text, sizeof text);
    EXPECT_STREQ(text, "&Run");
    EXPECT_EQ(plat_get_sub_menu(bar, 0), session.run_menu);

    const unsigned ids[] = {1, 2, 3, 0, 4, 0, 5, 6, 7, 0, 8, 0};
    const char *expected[] = {"&Animate\tCtrl+A", "&Halt animation\tCtrl+H",
                              "Advance one &frame\tCtrl+F", nullptr, "&Logging\tCtrl+L", nullptr,
                              "&Record Script\tCtrl+R", "&Playback Script\tCtrl+P",
                              "Play &One Script\tCtrl+O", nullptr, "&Quit\tCtrl+Q", nullptr};
    ASSERT_EQ(plat_get_menu_item_count(session.run_menu), 15);
    for (int pos = 0; pos < 12; ++pos) {
        int state = plat_get_menu_state(session.run_menu, pos);
        if (expected[pos] == nullptr) {
            EXPECT_NE(state & MF_SEPARATOR, 0) << pos;
            continue;
        }
        plat_get_menu_string(session.run_menu, pos, text, sizeof text);
        EXPECT_STREQ(text, expected[pos]);
        EXPECT_EQ(plat_get_menu_item_id(session.run_menu, pos), ids[pos]);
    }
    for (int pos = 12; pos < 15; ++pos) {
        EXPECT_NE(plat_get_menu_state(session.run_menu, pos) & MF_GRAYED, 0);
        EXPECT_EQ(plat_get_menu_item_id(session.run_menu, pos), static_cast<unsigned>(CMD_INFO));
    }
    // The marks as the window's creation left them, before any test set one.
    const std::vector<int> &built = qt_test::menu_states_as_built();
    ASSERT_EQ(built.size(), 15u);
    EXPECT_NE(built[4] & MF_CHECKED, 0) << "Logging starts checked";
    EXPECT_EQ(built[6] & MF_CHECKED, 0) << "Record Script starts unchecked";
    EXPECT_EQ(built[7] & MF_CHECKED, 0) << "Playback Script starts unchecked";
}

TEST_F(RunMenu, AnimationCommands) {
    post_command(CMD_ANIMATE);
    run_queued();
    EXPECT_TRUE(session.animating);
    post_command(CMD_HALT);
    run_queued();
    EXPECT_FALSE(session.animating);
    // One frame halts; the wait that takes it arms its single periodic
    // event, which the next tick lets out; after it only input comes.
    session.animating = true;
    post_command(CMD_ONE_FRAME);
    qt_test::post_tick();
    EXPECT_EQ(next_event().kind, QELMA_PERIODIC);
    EXPECT_FALSE(session.animating);
    EXPECT_FALSE(session.single_step);
    qt_test::post_tick();
    post_click(1, 1);
    EXPECT_EQ(next_event().kind, QELMA_MOUSE);
}

// Every switch and mark that a command can change, to compare before and after.
static std::vector<int> switches_and_marks() {
    std::vector<int> all = {session.animating,       session.single_step, session.logging_on,
                            session.recording,       session.playing_back,
                            session.play_one_pending, session.quit_requested};
    for (int pos = 0; pos < plat_get_menu_item_count(session.run_menu); ++pos) {
        all.push_back(plat_get_menu_state(session.run_menu, pos));
    }
    return all;
}

TEST_F(RunMenu, CreditLinesAndUnknownIdsDoNothing) {
    // From two opposite settings, so that no command can pass by chance.
    for (bool on : {false, true}) {
        session.animating = on;
        session.single_step = on;
        qelma_set_logging(on ? 1 : 0);
        const std::vector<int> before = switches_and_marks();
        for (unsigned id : {static_cast<unsigned>(CMD_INFO), 0u, 10u, 77u, 0x10005u}) {
            // Run directly: a wait would arm (and clear) the one-frame request.
            PlatMsg command{session.graphics_window, WM_COMMAND, id, 0};
            plat_dispatch_message(&command);
            EXPECT_EQ(switches_and_marks(), before) << "command " << id << " from " << on;
        }
    }
}

TEST_F(RunMenu, LoggingTogglesWithoutShowingTheTextWindow) {
    qelma_show_log_window(0);
    post_command(CMD_LOGGING);
    run_queued();
    EXPECT_FALSE(session.logging_on);
    EXPECT_FALSE(checked(CMD_LOGGING));
    post_command(CMD_LOGGING);
    run_queued();
    EXPECT_TRUE(session.logging_on);
    EXPECT_TRUE(checked(CMD_LOGGING));
    EXPECT_FALSE(plat_is_window_visible(session.text_window));
}

TEST_F(RunMenu, PlaybackAndPlayOneHaltAnimation) {
    qt_test::TempDir dir;
    session.animating = true;
    post_command(CMD_PLAYBACK);
    // The wait plays at once; with no file it logs and switches itself off.
    post_click(0, 0);
    next_event();
    EXPECT_FALSE(session.animating);
    EXPECT_FALSE(session.playing_back);
    EXPECT_FALSE(checked(CMD_PLAYBACK));
    session.animating = true;
    session.single_step = true;
    run_menu_command(CMD_PLAY_ONE);
    EXPECT_TRUE(session.play_one_pending);
    EXPECT_FALSE(session.animating);
    EXPECT_FALSE(session.single_step);
    stop_playback();
    EXPECT_FALSE(session.play_one_pending);
}

TEST_F(RunMenu, QuitCommandEndsThroughTheQuitEvent) {
    post_command(CMD_QUIT);
    EXPECT_EQ(next_event().kind, QELMA_QUIT);
}

TEST_F(RunMenu, CtrlLettersAreShortcutsWhateverShift) {
    post_key(WM_KEYDOWN, VK_CONTROL);
    post_key(WM_KEYDOWN, VK_SHIFT);
    post_key(WM_KEYDOWN, 'A');
    run_queued();
    EXPECT_TRUE(session.animating);
    post_key(WM_KEYDOWN, VK_CONTROL); // key repeat
    post_key(WM_KEYDOWN, 'H');
    post_key(WM_KEYDOWN, 'Z');
    run_queued();
    EXPECT_FALSE(session.animating);
    post_key(WM_KEYDOWN, 'L');
    run_queued();
    EXPECT_FALSE(session.logging_on);
    post_key(WM_KEYUP, 'L');
    run_queued();
    EXPECT_EQ(session.ctrl_down, 1) << "the key-up of another key leaves Ctrl held";
    post_key(WM_KEYUP, VK_CONTROL);
    post_key(WM_KEYDOWN, 'A');
    run_queued();
    EXPECT_EQ(session.ctrl_down, 0);
    EXPECT_FALSE(session.animating) << "A without Ctrl is no shortcut";
    post_key(WM_KEYDOWN, VK_CONTROL);
    post_key(WM_KEYDOWN, 'Q');
    qt_test::Event e = next_event();
    for (int i = 0; i < 8 && e.kind == QELMA_KBD; ++i) {
        e = next_event(); // a character translated from the 'A' above
    }
    EXPECT_EQ(e.kind, QELMA_QUIT);
}

TEST_F(RunMenu, KeysMadeUpByAProgramGoByTheCtrlKeysOwnMessages) {
    post_key(WM_KEYDOWN, VK_CONTROL);
    run_queued();
    // No key-up arrives: characters stay ignored and a bare A animates. The
    // click is the first event: neither the typed x nor a character that
    // the A key-down may translate into comes out.
    qt_test::post_char('x');
    post_key(WM_KEYDOWN, 'A');
    post_click(7, 8);
    qt_test::Event e = next_event();
    EXPECT_EQ(e.kind, QELMA_MOUSE) << "a character came out while Ctrl was held: " << e.key;
    EXPECT_EQ(e.x, 7);
    EXPECT_TRUE(session.animating);
    // Ctrl pressed and released in a window ends it: characters come again.
    post_key(WM_KEYDOWN, VK_CONTROL);
    post_key(WM_KEYUP, VK_CONTROL);
    qt_test::post_char('x');
    e = next_event();
    EXPECT_EQ(e.kind, QELMA_KBD);
    EXPECT_EQ(e.key, 'x');
}
