// The Run menu of the drawing window, its commands and their Ctrl shortcuts.
#include "qelma/qelma.h"
#include "qelma/session/session.h"

struct MenuItem {
    unsigned flags;
    unsigned id;
    const char *text;
};

static const MenuItem RUN_MENU_ITEMS[] = {
    {MF_STRING, CMD_ANIMATE, "&Animate\tCtrl+A"},
    {MF_STRING, CMD_HALT, "&Halt animation\tCtrl+H"},
    {MF_STRING, CMD_ONE_FRAME, "Advance one &frame\tCtrl+F"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_CHECKED, CMD_LOGGING, "&Logging\tCtrl+L"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING, CMD_RECORD, "&Record Script\tCtrl+R"},
    {MF_STRING, CMD_PLAYBACK, "&Playback Script\tCtrl+P"},
    {MF_STRING, CMD_PLAY_ONE, "Play &One Script\tCtrl+O"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_STRING, CMD_QUIT, "&Quit\tCtrl+Q"},
    {MF_SEPARATOR, 0, nullptr},
    {MF_GRAYED, CMD_INFO, "QELMA graphics and events library"},
    {MF_GRAYED, CMD_INFO, "Draws on a canvas, waits for events,"},
    {MF_GRAYED, CMD_INFO, "records and plays back scripts"},
};

void build_run_menu(PlatWindow window) {
    PlatMenu bar = plat_create_menu();
    session.run_menu = plat_create_popup_menu();
    for (const MenuItem &item : RUN_MENU_ITEMS) {
        plat_append_menu(session.run_menu, item.flags, item.id, item.text);
    }
    plat_append_menu(bar, MF_POPUP, reinterpret_cast<std::uintptr_t>(session.run_menu), "&Run");
    plat_set_menu(window, bar);
    plat_draw_menu_bar(window);
}

static void set_mark(unsigned id, bool on) {
    plat_check_menu_item(session.run_menu, id, on ? MF_CHECKED : MF_UNCHECKED);
}

void stop_playback() {
    session.playing_back = false;
    session.play_one_pending = false;
    set_mark(CMD_PLAYBACK, false);
}

void run_menu_command(unsigned id) {
    switch (id) {
    case CMD_ANIMATE:
        session.animating = true;
        break;
    case CMD_HALT:
        session.animating = false;
        break;
    case CMD_ONE_FRAME:
        session.animating = false;
        session.single_step = true;
        break;
    case CMD_LOGGING:
        session_set_logging(!session.logging_on);
        break;
    case CMD_RECORD:
        if (session.recording) {
            session.recording = false;
            set_mark(CMD_RECORD, false);
            write_periodic_run();
            close_script_file_on_switch_off();
        } else {
            session.recording = true;
            set_mark(CMD_RECORD, true);
        }
        break;
    case CMD_PLAYBACK:
        if (session.playing_back) {
            session.playing_back = false;
            set_mark(CMD_PLAYBACK, false);
            close_script_file_on_switch_off();
        } else {
            session.animating = false;
            session.single_step = false;
            session.playing_back = true;
            set_mark(CMD_PLAYBACK, true);
        }
        break;
    case CMD_PLAY_ONE:
        session.play_one_pending = true;
        session.animating = false;
        session.single_step = false;
        break;
    case CMD_QUIT:
        plat_post_quit_message(0);
        break;
    default:
        break;
    }
}

void run_menu_shortcut(unsigned vk) {
    static const struct {
        unsigned key;
        unsigned command;
    } shortcuts[] = {
        {'A', CMD_ANIMATE}, {'H', CMD_HALT},     {'F', CMD_ONE_FRAME}, {'L', CMD_LOGGING},
        {'R', CMD_RECORD},  {'P', CMD_PLAYBACK}, {'O', CMD_PLAY_ONE},  {'Q', CMD_QUIT},
    };
    for (const auto &s : shortcuts) {
        if (s.key == vk) {
            run_menu_command(s.command);
            return;
        }
    }
}
