// Internals of the Qt backend, shared by its files (qt_platform.cpp:
// application and windows; qt_input.cpp: keys and mouse; qt_menu.cpp: menu
// bars; qt_surface.cpp: pixels and shapes; qt_text.cpp: fonts and text), and
// the hooks that tests use to reach the real widgets behind a handle.
//
// Nothing above the platform seam includes this header.
#ifndef QELMA_PLATFORM_QT_QT_PLATFORM_H
#define QELMA_PLATFORM_QT_QT_PLATFORM_H

#include "qelma/platform/platform_inspect.h"

#include <QPainter>

class QColor;
class QKeyEvent;
class QMouseEvent;
class QImage;
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
// The backing image of a window's client area (what its window DC draws on),
// or nullptr for a null or destroyed window.
QImage *plat_qt_window_image(PlatWindow window);
// Called after drawing on a window's backing image: schedules a repaint of
// the client widget that does not send WM_PAINT.
void plat_qt_window_drawn(PlatWindow window);
// The image a context draws on, or nullptr (null, released or destroyed
// context, or a window without a client area).
QImage *plat_qt_target(PlatDC dc);
// Called after drawing through a context: a window context's window shows it.
void plat_qt_drawn(PlatDC dc);
QColor plat_qt_qcolor(PlatColor c);
// The painter an operation draws with on a context's image: the memory
// context's kept painter, or one opened for this operation on a window.
class PlatQtPainting {
  public:
    PlatQtPainting(PlatDC dc, QImage *img);
    ~PlatQtPainting();
    PlatQtPainting(const PlatQtPainting &) = delete;
    PlatQtPainting &operator=(const PlatQtPainting &) = delete;
    QPainter &get() { return *painter_; }

  private:
    QPainter local_;
    QPainter *painter_ = nullptr;
};
// Copies a w x h block from (sx, sy) of src to (dx, dy) of dst, clipped to
// both images (both Format_RGB32). src and dst may be the same image, with
// overlapping blocks.
void plat_qt_copy_pixels(QImage &dst, int dx, int dy, const QImage &src, int sx, int sy, int w,
                         int h);
// The toolkit's bar of a menu bar record.
QMenuBar *plat_qt_bar_of(PlatMenu menu);
// Input events of a client widget, into the layer's queue (qt_input.cpp).
void plat_qt_key(PlatWindow window, QKeyEvent *event, bool down);
void plat_qt_mouse(PlatWindow window, QMouseEvent *event, bool down);
// Creates the QApplication when none exists yet; false when no usable
// QApplication can be had (a message has been written).
bool plat_qt_ensure_app();

inline unsigned plat_qt_rgb_to_qrgb(PlatColor c) {
    return 0xFF000000u | (plat_red(c) << 16) | (plat_green(c) << 8) | plat_blue(c);
}
inline PlatColor plat_qt_qrgb_to_color(unsigned rgb) {
    return plat_rgb((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

#endif // QELMA_PLATFORM_QT_QT_PLATFORM_H
