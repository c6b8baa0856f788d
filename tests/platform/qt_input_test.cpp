// The Qt backend driven through its widgets: real mouse and key events on the
// client widget become queued messages, menu items chosen become WM_COMMAND,
// closing the frame goes through WM_CLOSE, repaints send WM_PAINT only when
// the toolkit (not our own drawing) asks, and the real timer queues at most
// one tick per timer.
#include "platform_test.h"

#include "qelma/platform/qt/qt_platform.h"
#include "support/qelma_test.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>

using namespace plat_test;

namespace {

constexpr unsigned long DRAWING_STYLE = WS_CAPTION | WS_SYSMENU;

std::vector<PlatMsg> take_all() {
    std::vector<PlatMsg> all;
    PlatMsg msg{};
    while (plat_peek_message(&msg))
        all.push_back(msg);
    return all;
}

unsigned char_of(const PlatMsg &m) {
    return (static_cast<unsigned>(m.lparam) >> 16) & 0xFF;
}

void send_key(QWidget *w, QEvent::Type type, int key, Qt::KeyboardModifiers mods,
              const QString &text, bool autorepeat = false) {
    QKeyEvent e(type, key, mods, text, autorepeat);
    QCoreApplication::sendEvent(w, &e);
}

// A key-down taken from the queue, translated: the character message that
// translate put in front, or 0 when there is none.
unsigned translated_char(const PlatMsg &down) {
    plat_translate_message(&down);
    PlatMsg ch{};
    if (plat_peek_message(&ch) && ch.message == WM_CHAR) {
        EXPECT_EQ(ch.window, down.window);
        return static_cast<unsigned>(ch.wparam);
    }
    return 0;
}

struct Shown {
    PlatWindow window;
    QWidget *client;
};

Shown shown_window(unsigned long style = DRAWING_STYLE, int w = 200, int h = 150) {
    reset();
    PlatWindow win = make_window(style, w, h);
    plat_show_window(win, SW_SHOW);
    QWidget *client = plat_qt_client_widget(win);
    EXPECT_NE(client, nullptr);
    drain_queue();
    recorder.sent.clear();
    return Shown{win, client};
}

TEST(QtMouse, ButtonsBecomeQueuedMessagesWithTheClientPosition) {
    Shown s = shown_window();
    QTest::mousePress(s.client, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
    QTest::mouseRelease(s.client, Qt::LeftButton, Qt::NoModifier, QPoint(31, 41));
    QTest::mouseClick(s.client, Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
    QTest::mouseClick(s.client, Qt::MiddleButton, Qt::NoModifier, QPoint(5, 6));
    std::vector<PlatMsg> all = take_all();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].message, static_cast<unsigned>(WM_LBUTTONDOWN));
    EXPECT_EQ(all[0].window, s.window);
    EXPECT_EQ(all[0].wparam, 0u);
    EXPECT_EQ(all[0].lparam, static_cast<PlatLParam>(30 | (40 << 16)));
    EXPECT_EQ(all[1].message, static_cast<unsigned>(WM_LBUTTONUP));
    EXPECT_EQ(all[1].lparam, static_cast<PlatLParam>(31 | (41 << 16)));
    EXPECT_EQ(all[2].message, static_cast<unsigned>(WM_RBUTTONDOWN));
    EXPECT_EQ(all[2].lparam, static_cast<PlatLParam>(5 | (6 << 16)));
    EXPECT_EQ(all[3].message, static_cast<unsigned>(WM_RBUTTONUP));
    // Input is queued, never sent.
    EXPECT_EQ(count_sent(WM_LBUTTONDOWN), 0);
}

TEST(QtMouse, ADoubleClickGivesTwoButtonDowns) {
    Shown s = shown_window();
    // What the toolkit delivers for a double-click: press, release,
    // double-click, release.
    const QPointF at(10, 12);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        Qt::MouseButtons held =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
        QMouseEvent e(type, at, at, Qt::LeftButton, held, Qt::NoModifier);
        QCoreApplication::sendEvent(s.client, &e);
    }
    int downs = 0, ups = 0;
    for (const PlatMsg &m : take_all()) {
        EXPECT_NE(m.message, 0x0203u); // never WM_LBUTTONDBLCLK
        ups += m.message == WM_LBUTTONUP;
        if (m.message == WM_LBUTTONDOWN) {
            downs++;
            EXPECT_EQ(m.lparam, static_cast<PlatLParam>(10 | (12 << 16)));
        }
    }
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(ups, 2);
    // The double-click event on its own is one more press.
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(3, 4), QPointF(3, 4), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(s.client, &dbl);
    std::vector<PlatMsg> all = take_all();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].message, static_cast<unsigned>(WM_LBUTTONDOWN));
}

TEST(QtKeys, LettersAreCapitalsWhateverShiftAndCarryTheTypedCharacter) {
    Shown s = shown_window();
    send_key(s.client, QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
    send_key(s.client, QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a");
    send_key(s.client, QEvent::KeyPress, Qt::Key_A, Qt::ShiftModifier, "A");
    std::vector<PlatMsg> all = take_all();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].message, static_cast<unsigned>(WM_KEYDOWN));
    EXPECT_EQ(all[0].wparam, static_cast<PlatWParam>('A'));
    EXPECT_EQ(char_of(all[0]), 97u);
    EXPECT_EQ(all[0].lparam & (1 << 30), 0);
    EXPECT_EQ(all[1].message, static_cast<unsigned>(WM_KEYUP));
    EXPECT_EQ(all[1].wparam, static_cast<PlatWParam>('A'));
    EXPECT_NE(all[1].lparam & (1 << 30), 0);
    EXPECT_EQ(all[2].wparam, static_cast<PlatWParam>('A'));
    EXPECT_EQ(translated_char(all[2]), 65u);
    EXPECT_EQ(translated_char(all[0]), 97u);
}

TEST(QtKeys, CtrlAGivesVirtualKeyAAndCharacterOne) {
    Shown s = shown_window();
    // As QTest types it (text "a") ...
    QTest::keyClick(s.client, Qt::Key_A, Qt::ControlModifier);
    // ... and as a keyboard driver does (text "\x01"), with Shift too.
    send_key(s.client, QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier,
             QString(QChar(1)));
    std::vector<PlatMsg> downs;
    bool saw_ctrl = false;
    for (const PlatMsg &m : take_all()) {
        if (m.message == WM_KEYDOWN && m.wparam == VK_CONTROL)
            saw_ctrl = true;
        else if (m.message == WM_KEYDOWN)
            downs.push_back(m);
    }
    EXPECT_TRUE(saw_ctrl);
    ASSERT_EQ(downs.size(), 2u);
    for (const PlatMsg &m : downs) {
        EXPECT_EQ(m.wparam, static_cast<PlatWParam>('A'));
        EXPECT_EQ(translated_char(m), 1u);
    }
}

TEST(QtKeys, KeypadDigitsAndNamedKeysMapToVirtualKeys) {
    Shown s = shown_window();
    struct Case {
        int key;
        Qt::KeyboardModifiers mods;
        const char *text;
        unsigned vk;
        unsigned ch;
    };
    const Case cases[] = {
        {Qt::Key_4, Qt::KeypadModifier, "4", VK_NUMPAD0 + 4, '4'},
        {Qt::Key_8, Qt::KeypadModifier, "8", VK_NUMPAD0 + 8, '8'},
        {Qt::Key_4, Qt::NoModifier, "4", '4', '4'},
        {Qt::Key_Control, Qt::ControlModifier, "", VK_CONTROL, 0},
        {Qt::Key_Shift, Qt::ShiftModifier, "", VK_SHIFT, 0},
        {Qt::Key_Alt, Qt::AltModifier, "", VK_MENU, 0},
        {Qt::Key_Return, Qt::NoModifier, "\r", VK_RETURN, 13},
        {Qt::Key_Escape, Qt::NoModifier, "\x1b", VK_ESCAPE, 27},
        {Qt::Key_Space, Qt::NoModifier, " ", VK_SPACE, ' '},
        {Qt::Key_Backspace, Qt::NoModifier, "\b", VK_BACK, 8},
        {Qt::Key_Tab, Qt::NoModifier, "\t", VK_TAB, 9},
        {Qt::Key_Left, Qt::NoModifier, "", VK_LEFT, 0},
        {Qt::Key_Up, Qt::NoModifier, "", VK_UP, 0},
        {Qt::Key_Right, Qt::NoModifier, "", VK_RIGHT, 0},
        {Qt::Key_Down, Qt::NoModifier, "", VK_DOWN, 0},
        {Qt::Key_Comma, Qt::NoModifier, ",", 0xFF, ','}, // no code, but a character
    };
    for (const Case &c : cases) {
        send_key(s.client, QEvent::KeyPress, c.key, c.mods, QString::fromLatin1(c.text));
        std::vector<PlatMsg> all = take_all();
        ASSERT_EQ(all.size(), 1u) << c.vk;
        EXPECT_EQ(all[0].message, static_cast<unsigned>(WM_KEYDOWN));
        EXPECT_EQ(all[0].wparam, c.vk);
        EXPECT_EQ(char_of(all[0]), c.ch) << c.vk;
    }
    // A key with no code that types nothing is dropped.
    send_key(s.client, QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier, "");
    EXPECT_TRUE(take_all().empty());
}

TEST(QtKeys, AutoRepeatGivesMoreKeyDownsWithBit30AndNoKeyUps) {
    Shown s = shown_window();
    send_key(s.client, QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b");
    send_key(s.client, QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, "b", true);
    send_key(s.client, QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b", true);
    send_key(s.client, QEvent::KeyRelease, Qt::Key_B, Qt::NoModifier, "b");
    std::vector<PlatMsg> all = take_all();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].message, static_cast<unsigned>(WM_KEYDOWN));
    EXPECT_EQ(all[0].lparam & (1 << 30), 0);
    EXPECT_EQ(all[1].message, static_cast<unsigned>(WM_KEYDOWN));
    EXPECT_NE(all[1].lparam & (1 << 30), 0);
    EXPECT_EQ(char_of(all[1]), static_cast<unsigned>('b'));
    EXPECT_EQ(all[2].message, static_cast<unsigned>(WM_KEYUP));
}

TEST(QtKeys, AKeyDownPostedOnToAnotherWindowTranslatesToTheSameCharacter) {
    reset();
    PlatWindow drawing = make_window(DRAWING_STYLE, 200, 150);
    PlatWindow text = make_window(WS_OVERLAPPEDWINDOW, 300, 100);
    plat_show_window(drawing, SW_SHOW);
    plat_show_window(text, SW_SHOW);
    drain_queue();
    recorder.forward_keys_to = drawing;
    QWidget *text_client = plat_qt_client_widget(text);
    EXPECT_EQ(text_client->focusPolicy(), Qt::StrongFocus);
    send_key(text_client, QEvent::KeyPress, Qt::Key_Q, Qt::ShiftModifier, "Q");
    PlatMsg msg{};
    ASSERT_EQ(plat_peek_message(&msg), 1);
    ASSERT_EQ(msg.window, text);
    ASSERT_EQ(msg.message, static_cast<unsigned>(WM_KEYDOWN));
    // The text window's procedure posts it on, unchanged.
    plat_translate_message(&msg);
    PlatMsg own_char{};
    ASSERT_EQ(plat_peek_message(&own_char), 1); // the text window's own character ...
    EXPECT_EQ(own_char.message, static_cast<unsigned>(WM_CHAR));
    plat_dispatch_message(&msg);
    PlatMsg forwarded{};
    ASSERT_EQ(plat_peek_message(&forwarded), 1); // ... and the forwarded key-down
    EXPECT_EQ(forwarded.window, drawing);
    EXPECT_EQ(forwarded.message, static_cast<unsigned>(WM_KEYDOWN));
    EXPECT_EQ(forwarded.wparam, static_cast<PlatWParam>('Q'));
    EXPECT_EQ(translated_char(forwarded), static_cast<unsigned>('Q'));
    // The drawing window takes keys of its own too.
    send_key(plat_qt_client_widget(drawing), QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, "z");
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.window, drawing);
    EXPECT_EQ(translated_char(msg), static_cast<unsigned>('z'));
}

// Each case's keys: [ and ] press and release Ctrl, ^ lets it go unseen, -
// takes the keyboard away, T gives it to the text window, ! is a character a
// program posts, a letter is typed. Out come the characters, # for a quit,
// * when animation runs.
TEST(QtKeys, CtrlIsHeldAsTheKeyboardHeldItForEachKey) {
    for (auto [keys, out] : {std::pair{"ab[-^xyzq", "abxyzq"}, {"[^q", "q"}, {"[aq", "#*"},
                             {"[a]h", "h*"}, {"[-!", "!"}, {"T[-!", "!"}, {"[-Ta", "*"}}) {
        qt_test::open_session();
        QWidget *at = plat_qt_client_widget(session.graphics_window);
        QFocusEvent lost(QEvent::FocusOut);
        std::string got;
        bool held = false;
        for (const char *k = keys; *k != '\0'; ++k) {
            held = *k == '[' || (held && *k != ']' && *k != '^');
            if (*k == '[' || *k == ']')
                send_key(at, held ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_Control, {}, "");
            else if (*k == '-')
                QCoreApplication::sendEvent(at, &lost);
            else if (*k == 'T')
                at = plat_qt_client_widget(session.text_window);
            else if (*k == '!')
                qt_test::post_char('!');
            else if (*k != '^')
                QTest::keyClick(at, *k, held ? Qt::ControlModifier : Qt::NoModifier);
            for (; plat_qt_queue_length() > 0; session.pending_event = NO_EVENT) {
                pump_one_message();
                got += session.pending_event == QELMA_QUIT ? "#"
                       : session.pending_event == QELMA_KBD ? std::string(1, session.event_key) : "";
            }
        }
        EXPECT_EQ(got + (session.animating ? "*" : ""), out) << keys;
    }
}

TEST(QtMenu, ChoosingAnItemQueuesItsCommandAndLeavesTheMarkToTheProgram) {
    reset();
    recorder.attach_menu = true;
    PlatWindow w = make_window(DRAWING_STYLE, 300, 200);
    QMenuBar *bar = plat_qt_menu_bar(w);
    ASSERT_NE(bar, nullptr);
    PlatMenu run = plat_get_sub_menu(plat_get_menu(w), 0);
    plat_append_menu(run, MF_CHECKED, 4, "&Logging\tCtrl+L");
    plat_append_menu(run, MF_GRAYED, 9, "Credits");
    ASSERT_EQ(bar->actions().size(), 1);
    QAction *run_action = bar->actions()[0];
    EXPECT_EQ(run_action->text(), QString("&Run"));
    QMenu *menu = run_action->menu();
    ASSERT_NE(menu, nullptr);
    QList<QAction *> items = menu->actions();
    ASSERT_EQ(items.size(), 3);
    // The label after the tab is only shown: no toolkit shortcut exists.
    EXPECT_EQ(items[0]->text(), QString("&Animate\tCtrl+A"));
    EXPECT_TRUE(items[0]->shortcut().isEmpty());
    EXPECT_TRUE(items[1]->isChecked());
    EXPECT_FALSE(items[2]->isEnabled());
    drain_queue();
    items[0]->trigger();
    items[1]->trigger();
    items[2]->trigger(); // grayed: nothing
    std::vector<PlatMsg> all = take_all();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].message, static_cast<unsigned>(WM_COMMAND));
    EXPECT_EQ(all[0].window, w);
    EXPECT_EQ(all[0].wparam, 1u);
    EXPECT_EQ(all[1].wparam, 4u);
    EXPECT_TRUE(items[1]->isChecked()); // the toolkit did not flip it
    EXPECT_EQ(plat_get_menu_state(run, 1), MF_CHECKED);
    plat_check_menu_item(run, 4, MF_UNCHECKED);
    EXPECT_FALSE(items[1]->isChecked());
}

TEST(QtClose, ClosingTheFrameSendsCloseThenDestroyAndStopsTimers) {
    Shown s = shown_window();
    plat_set_timer(s.window, 5, 100);
    ASSERT_EQ(plat_qt_timer_interval(s.window, 5), 100);
    QWidget *frame = plat_qt_frame_widget(s.window);
    frame->close();
    ASSERT_GE(recorder.sent.size(), 2u);
    EXPECT_EQ(recorder.sent[0].message, static_cast<unsigned>(WM_CLOSE));
    EXPECT_EQ(recorder.sent[1].message, static_cast<unsigned>(WM_DESTROY));
    EXPECT_FALSE(frame->isVisible());
    EXPECT_EQ(plat_qt_timer_interval(s.window, 5), -1);
    EXPECT_EQ(plat_qt_client_widget(s.window), nullptr);
}

PlatResult ignore_close_proc(PlatWindow, unsigned, PlatWParam, PlatLParam) {
    return 0;
}

TEST(QtClose, AProcedureThatIgnoresCloseKeepsTheWindow) {
    reset();
    plat_register_class("KeepOpen", ignore_close_proc, 0, nullptr);
    PlatWindow w = plat_create_window("KeepOpen", "keep", DRAWING_STYLE, 0, 0, 50, 50);
    plat_show_window(w, SW_SHOW);
    plat_qt_frame_widget(w)->close();
    EXPECT_EQ(plat_is_window_visible(w), 1);
}

// A procedure that draws a red square at every WM_PAINT, as a window that
// repaints from its own state does.
int paints = 0;
PlatResult painting_proc(PlatWindow w, unsigned message, PlatWParam wp, PlatLParam lp) {
    if (message != WM_PAINT)
        return plat_def_window_proc(w, message, wp, lp);
    paints++;
    PlatDC dc = plat_begin_paint(w);
    PlatObject brush = plat_create_solid_brush(plat_rgb(255, 0, 0));
    PlatObject old = plat_select_object(dc, brush);
    plat_rectangle(dc, 0, 0, 10, 10);
    plat_select_object(dc, old);
    plat_delete_object(brush);
    plat_end_paint(w);
    return 0;
}

// The window's client pixel at (x, y) as 0xRRGGBB.
unsigned client_rgb(PlatWindow w, int x, int y) {
    PlatDC dc = plat_get_dc(w);
    const PlatColor c = plat_get_pixel(dc, x, y);
    plat_release_dc(w, dc);
    return plat_red(c) << 16 | plat_green(c) << 8 | plat_blue(c);
}

TEST(QtPaint, OnlyToolkitRepaintsAndInvalidateSendPaint) {
    reset();
    plat_register_class("Painting", painting_proc, 0, plat_create_solid_brush(plat_rgb(0, 0, 255)));
    PlatWindow w = plat_create_window("Painting", "paint", DRAWING_STYLE, 0, 0, 120, 80);
    QWidget *client = plat_qt_client_widget(w);
    paints = 0;
    plat_show_window(w, SW_SHOW);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(plat_qt_frame_widget(w)));
    QCoreApplication::processEvents();
    EXPECT_EQ(paints, 1); // the first paint of a shown window
    // Our own drawing repaints without WM_PAINT.
    PlatDC dc = plat_get_dc(w);
    PlatObject brush = plat_create_solid_brush(plat_rgb(0, 255, 0));
    PlatObject old = plat_select_object(dc, brush);
    plat_rectangle(dc, 40, 40, 60, 60);
    plat_select_object(dc, old);
    plat_delete_object(brush);
    client->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(client_rgb(w, 50, 50), 0x00FF00u);
    // An invalidated window gets WM_PAINT again.
    plat_invalidate(w);
    client->repaint();
    EXPECT_EQ(paints, 2);
    // And so does a repaint that the toolkit asks for by itself.
    client->repaint();
    EXPECT_EQ(paints, 3);
    // The widget shows the backing image. Our green square is gone: as on
    // Windows, the class brush erases the client area before each WM_PAINT,
    // and the procedure paints only its red square.
    const int before = paints;
    QImage shot = client->grab().toImage();
    EXPECT_EQ(paints, before + 1);
    EXPECT_EQ(shot.pixel(5, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(shot.pixel(50, 50) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(shot.pixel(100, 70) & 0xFFFFFF, 0x0000FFu);
    plat_release_dc(w, dc);
}

// Counts the repaints of a widget that reach the window system.
// The window's pixel at (10, 10) as each repaint shows it.
struct PaintCounter : QObject {
    PlatWindow window = nullptr;
    int paints = 0;
    unsigned shown = 0;
    bool eventFilter(QObject *, QEvent *e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            shown = client_rgb(window, 10, 10);
        }
        return false;
    }
};

TEST(QtPaint, DrawingReachesTheScreenAtMostOncePerRefreshAndTheLastPictureAlways) {
    Shown s = shown_window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(plat_qt_frame_widget(s.window)));
    QCoreApplication::processEvents();
    PaintCounter counter;
    counter.window = s.window;
    s.client->installEventFilter(&counter);
    recorder.sent.clear();
    PlatDC dc = plat_get_dc(s.window);
    // 200 message steps, each drawing: the backing image takes every one.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 200; ++i) {
        PlatObject brush = plat_create_solid_brush(plat_rgb(i, 0, 255 - i));
        PlatObject old = plat_select_object(dc, brush);
        plat_rectangle(dc, 0, 0, 50, 50);
        plat_select_object(dc, old);
        plat_delete_object(brush);
        QCoreApplication::processEvents();
        ASSERT_EQ(client_rgb(s.window, 10, 10),
                  static_cast<unsigned>((i << 16) | (255 - i)));
        if (i == 0) {
            EXPECT_EQ(counter.paints, 1) << "the first picture is shown at once";
        }
    }
    const qint64 drawing_ms = clock.elapsed();
    const int during = counter.paints;
    // At most one picture per refresh (60 Hz or more) of the time it took.
    EXPECT_LE(during, drawing_ms / 4 + 2);
    // The last picture still reaches the screen, within a bounded wait.
    QElapsedTimer wait;
    wait.start();
    while (counter.paints == during && wait.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_GT(counter.paints, during) << "the last picture was never shown";
    EXPECT_EQ(counter.shown, static_cast<unsigned>((199 << 16) | 56));
    EXPECT_EQ(count_sent(WM_PAINT), 0) << "our own drawing sends no WM_PAINT";
    s.client->removeEventFilter(&counter);
    plat_release_dc(s.window, dc);
}

TEST(QtPaint, ResizingKeepsTheContentAndFillsNewAreaWithTheBackground) {
    Shown s = shown_window(WS_OVERLAPPEDWINDOW, 100, 60);
    PlatDC dc = plat_get_dc(s.window);
    PlatObject pen = plat_create_pen(PS_SOLID, 0, plat_rgb(200, 0, 0));
    PlatObject old = plat_select_object(dc, pen);
    plat_rectangle(dc, 3, 3, 4, 4);
    plat_select_object(dc, old);
    plat_delete_object(pen);
    recorder.sent.clear();
    plat_qt_frame_widget(s.window)->resize(180, 90);
    QCoreApplication::processEvents();
    ASSERT_EQ(count_sent(WM_SIZE), 1);
    PlatRect r;
    plat_get_client_rect(s.window, &r);
    EXPECT_EQ(r.right, 180);
    EXPECT_EQ(r.bottom, 90);
    EXPECT_EQ(plat_get_pixel(dc, 3, 3), plat_rgb(200, 0, 0));
    EXPECT_EQ(plat_get_pixel(dc, 170, 80), plat_rgb(10, 200, 30)); // the class background
    EXPECT_EQ(plat_get_pixel(dc, 180, 80), 0xFFFFFFFFu);
    plat_release_dc(s.window, dc);
}

// A wait for input sleeps through the ticks of a fast timer until a message
// is posted from the toolkit's loop; the tick that came meanwhile is kept.
TEST(QtTimer, AWaitForInputSleepsThroughTicksAndKeepsThem) {
    Shown s = shown_window();
    take_all();
    plat_set_timer(s.window, 1, 10);
    QTimer::singleShot(80, [&s] { plat_post_message(s.window, WM_USER, 9, 0); });
    plat_wait_input();
    EXPECT_EQ(plat_qt_count_queued(s.window, WM_USER, 9), 1) << "a tick ended the wait";
    EXPECT_EQ(plat_qt_count_queued(s.window, WM_TIMER, 1), 1);
    plat_kill_timer(s.window, 1);
    take_all();
}

// Runs the toolkit until a tick of (w, id) waits and at least min_ms have
// passed; false when that takes more than five seconds.
bool run_until_tick(PlatWindow w, unsigned id, int min_ms = 0) {
    QElapsedTimer clock;
    clock.start();
    while (plat_qt_count_queued(w, WM_TIMER, id) == 0 || clock.elapsed() < min_ms) {
        if (clock.elapsed() > 5000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

TEST(QtTimer, AtMostOneTickPerTimerWaits) {
    Shown s = shown_window();
    plat_set_timer(s.window, 1, 10);
    plat_wait_message(); // blocks in Qt until the first tick
    PlatMsg msg{};
    ASSERT_EQ(plat_peek_message(&msg), 1);
    EXPECT_EQ(msg.message, static_cast<unsigned>(WM_TIMER));
    EXPECT_EQ(msg.window, s.window);
    EXPECT_EQ(msg.wparam, 1u);
    // Six periods of timer 1 or more pass (by the clock), and the slower
    // timer 2 comes round, while nothing is taken from the queue: one tick
    // of each waits. (The rule itself is checked expiry by expiry in
    // winlayer_test.)
    plat_set_timer(s.window, 2, 60);
    ASSERT_TRUE(run_until_tick(s.window, 1, 60)) << "timer 1 stopped ticking";
    ASSERT_TRUE(run_until_tick(s.window, 2)) << "timer 2 never ticked";
    EXPECT_EQ(plat_qt_count_queued(s.window, WM_TIMER, 1), 1);
    int ones = 0, twos = 0;
    for (const PlatMsg &m : take_all()) {
        ones += m.message == WM_TIMER && m.wparam == 1;
        twos += m.message == WM_TIMER && m.wparam == 2;
    }
    EXPECT_EQ(ones, 1);
    EXPECT_EQ(twos, 1);
    // A killed timer queues nothing more; setting an id again restarts it
    // with the new period.
    plat_kill_timer(s.window, 1);
    EXPECT_EQ(plat_qt_timer_interval(s.window, 1), -1);
    ASSERT_TRUE(run_until_tick(s.window, 2, 30)) << "timer 2 stopped ticking";
    for (const PlatMsg &m : take_all())
        EXPECT_NE(m.wparam, 1u);
    plat_set_timer(s.window, 2, 25);
    EXPECT_EQ(plat_qt_timer_interval(s.window, 2), 25);
    // A zero period is raised to the shortest one instead of spinning.
    plat_set_timer(s.window, 3, 0);
    EXPECT_EQ(plat_qt_timer_interval(s.window, 3), 10);
    plat_kill_timer(s.window, 2);
    plat_kill_timer(s.window, 3);
}

} // namespace
