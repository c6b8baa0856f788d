// Internals of the Qt backend, shared by its files (qt_platform.cpp:
// application, windows and showing their pixels; qt_input.cpp: keys and
// mouse; qt_menu.cpp: menu bars), and
// the hooks that tests use to reach the real widgets behind a handle.
//
// Nothing above the platform seam includes this header.
#ifndef QELMA_PLATFORM_QT_QT_PLATFORM_H
#define QELMA_PLATFORM_QT_QT_PLATFORM_H

#include "qelma/platform/platform_inspect.h"

#include <cstddef>

class QKeyEvent;
class QMouseEvent;
class QMenuBar;
class QWidget;

// ------------------------------------------------------------ test hooks
// The widgets behind a window: the top-level frame, the client area below the
// menu bar (it receives mouse and keyboard input) and the attached menu bar.
// Each returns nullptr for a null or destroyed window (the menu bar also when
// no menu is attached).
QWidget *plat_qt_client_widget(PlatWindow window);
QWidget *plat_qt_frame_widget(PlatWindow window);
QMenuBar *plat_qt_menu_bar(PlatWindow window);
// The period a running timer really uses, or -1 when (window, id) has no
// running timer.
int plat_qt_timer_interval(PlatWindow window, unsigned id);
// Number of messages waiting in the queue, and of those for (window,
// message, wparam), without taking any.
int plat_qt_queue_length();
int plat_qt_count_queued(PlatWindow window, unsigned message, PlatWParam wparam);

// ------------------------------------------------ between the backend files
// The toolkit's bar of a menu bar record.
QMenuBar *plat_qt_bar_of(PlatMenu menu);
// Input events of a client widget, into the layer's queue (qt_input.cpp).
void plat_qt_key(PlatWindow window, QKeyEvent *event, bool down);
void plat_qt_mouse(PlatWindow window, QMouseEvent *event, bool down);
// The menu part of the toolkit table (qt_menu.cpp).
bool plat_qt_menu_created(PlatMenu menu);
void plat_qt_menu_item_added(PlatMenu menu, std::size_t index);
void plat_qt_menu_item_checked(PlatMenu menu, std::size_t index);
// Creates the QApplication when none exists yet; false when no usable
// QApplication can be had (a message has been written).
bool plat_qt_ensure_app();

#endif // QELMA_PLATFORM_QT_QT_PLATFORM_H
