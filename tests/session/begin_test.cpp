// Opening the session as a program's entry point does it. Each test opens
// the session itself and so needs a process of its own (ALONE in
// CMakeLists.txt; on Linux every test has one).
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <QWidget>

#include "qelma/platform/qt/qt_platform.h"
#endif

#include "platform/platform_test.h"
#include "support/qelma_test.h"

namespace {

std::string window_title(PlatWindow window) {
#ifdef _WIN32
    char text[128] = "";
    GetWindowTextA(reinterpret_cast<HWND>(window), text, sizeof text);
    return text;
#else
    QWidget *frame = plat_qt_frame_widget(window);
    return frame != nullptr ? frame->windowTitle().toStdString() : "";
#endif
}

} // namespace

TEST(Begin, WindowsTitledAndTimerTwoTicking) {
    char command_line[] = "";
    ASSERT_EQ(qelma_begin(nullptr, nullptr, command_line, SW_SHOWNORMAL), 1);
    EXPECT_EQ(window_title(session.graphics_window), "QELMA Graphics");
    EXPECT_EQ(window_title(session.text_window), "QELMA Text");
    EXPECT_FALSE(session.animating);
    EXPECT_TRUE(session.logging_on);
#ifndef _WIN32
    EXPECT_EQ(plat_qt_timer_interval(session.graphics_window, 2), 100);
#endif
    // The timer's own ticks reach the drawing window as WM_TIMER with id 2:
    // block for the next message until one has come.
    PlatMsg msg{};
    int taken = 0;
    bool ticked = false;
    while (!ticked && taken < 1000) {
        plat_wait_message();
        while (plat_peek_message(&msg)) {
            ++taken;
            ticked = ticked || (msg.message == WM_TIMER && msg.window == session.graphics_window &&
                                msg.wparam == 2);
        }
    }
    EXPECT_TRUE(ticked) << "no tick of timer 2 among " << taken << " messages";
}

TEST(Begin, PreviousInstanceGivenRegistersNoClass) {
    char command_line[] = "";
    int previous = 0; // stands for the handle of an instance already running
    ASSERT_EQ(session.graphics_window, nullptr);
    // No class of those names exists yet, and none is registered: no window.
    EXPECT_EQ(qelma_begin(nullptr, &previous, command_line, SW_SHOWNORMAL), 1);
    EXPECT_EQ(session.graphics_window, nullptr) << "the drawing window's class was registered";
    EXPECT_EQ(session.text_window, nullptr) << "the text window's class was registered";

    // No program opens the session twice: the canvas of this first opening
    // is given back before the second.
    plat_delete_dc(session.canvas_dc);
    plat_delete_object(session.canvas_bitmap);

    // Classes of those names that "the previous instance" registered: the
    // windows are made from them, with their procedures.
    plat_test::reset();
    PlatObject brush = plat_create_solid_brush(plat_rgb(255, 255, 255));
    ASSERT_NE(plat_register_class("DrawWndClass", plat_test::recording_proc,
                                  CS_HREDRAW | CS_VREDRAW, brush),
              0);
    ASSERT_NE(plat_register_class("TextWndClass", plat_test::recording_proc,
                                  CS_HREDRAW | CS_VREDRAW, brush),
              0);
    EXPECT_EQ(qelma_begin(nullptr, &previous, command_line, SW_SHOWNORMAL), 1);
    ASSERT_NE(session.graphics_window, nullptr);
    ASSERT_NE(session.text_window, nullptr);
    EXPECT_EQ(window_title(session.graphics_window), "QELMA Graphics");
    int creates = 0;
    for (const plat_test::Sent &s : plat_test::recorder.sent) {
        creates += s.message == WM_CREATE ? 1 : 0;
    }
    EXPECT_EQ(creates, 2) << "both windows came from the classes already present";
    EXPECT_EQ(session.run_menu, nullptr) << "QELMA's own procedure never ran";
}
