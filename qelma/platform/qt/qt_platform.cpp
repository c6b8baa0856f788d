// Qt backend, application and windows: the translation table between the
// Windows layer (winlayer/) and QApplication, QWidget and QTimer.
//
// Implements: the application set-up (plat_init), top-level windows of a
// fixed or sizable outer size with an optional menu bar above the client
// area, show/hide, client and outer rectangles, the screen size, repaints,
// close requests, timers and the blocking wait; input comes from
// qt_input.cpp, menus from qt_menu.cpp, drawing from qt_surface.cpp and
// qt_text.cpp.
// Leaves out: child windows, window moves and sizes after creation, minimise
// and maximise, non-client messages, the system menu.
// Departs from Windows: a window's client area keeps its own backing image
// (what its window contexts draw on), so a window covered by another keeps
// its pixels; what is drawn reaches the screen at most once per screen
// refresh (plat_qt_window_drawn). Where the window manager adds a frame, the
// widget is shrunk once so that the outer size is the one asked for.
//
// The one state record of this backend is QtWindow, one per window (below);
// everything else lives in the layer's records.
#include "qelma/platform/qt/qt_platform.h"
#include "qelma/platform/qt/qt_environment.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/menu_model.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/toolkit.h"
#include "qelma/platform/winlayer/windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr unsigned WS_THICKFRAME_BIT = 0x00040000u; // a sizing border: resizable

class ClientWidget;
class FrameWidget;

// What Qt keeps for one window (PlatWindowImpl::toolkit). Kept after the
// window is destroyed, with its widgets hidden, like the layer's record.
struct QtWindow {
    FrameWidget *frame;   // top-level widget
    QVBoxLayout *layout;  // menu bar on top, client below
    ClientWidget *client; // the client area: receives mouse and keyboard input
    QImage backing;       // client-area pixels, Format_RGB32, client size
    bool fixed;           // fixed outer size (no sizing border)
    int outer_w, outer_h; // the outer size asked for
    bool decor_fitted;    // frame decorations have been measured and allowed for
    bool own_update;      // the repaint asked for was caused by our own drawing
    bool in_paint;        // inside the client widget's paintEvent
    QTimer *show_timer;   // shows what was drawn once the current frame period is over
    qint64 shown_at_ms;   // when drawing was last handed to the window system
};

QtWindow *qt_of(PlatWindow w) {
    return static_cast<QtWindow *>(w->toolkit);
}

void sync_client_size(PlatWindow w, bool relayout);
void fit_decorations(PlatWindow w);

// ------------------------------------------------------------- widgets

class ClientWidget : public QWidget {
  public:
    explicit ClientWidget(PlatWindow owner) : owner_(owner) {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_NoSystemBackground);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setMinimumSize(0, 0);
    }

  protected:
    void paintEvent(QPaintEvent *) override {
        PlatWindow w = owner_;
        if (!winlayer::window_ok(w))
            return;
        QtWindow *q = qt_of(w);
        q->in_paint = true;
        winlayer::repaint(w, !q->own_update);
        q->in_paint = false;
        if (!winlayer::window_ok(w))
            return;
        q->own_update = false;
        QPainter p(this);
        p.drawImage(0, 0, q->backing);
    }
    void resizeEvent(QResizeEvent *) override { sync_client_size(owner_, false); }
    void mousePressEvent(QMouseEvent *e) override { mouse(e, true); }
    // A second press within the double-click time is still a press.
    void mouseDoubleClickEvent(QMouseEvent *e) override { mouse(e, true); }
    void mouseReleaseEvent(QMouseEvent *e) override { mouse(e, false); }
    void keyPressEvent(QKeyEvent *e) override { key(e, true); }
    void keyReleaseEvent(QKeyEvent *e) override { key(e, false); }
    // Tab is a key like any other here, not focus traversal.
    bool focusNextPrevChild(bool) override { return false; }

  private:
    void mouse(QMouseEvent *e, bool down) {
        if (winlayer::window_ok(owner_))
            plat_qt_mouse(owner_, e, down);
    }
    void key(QKeyEvent *e, bool down) {
        if (winlayer::window_ok(owner_))
            plat_qt_key(owner_, e, down);
    }
    PlatWindow owner_;
};

class FrameWidget : public QWidget {
  public:
    explicit FrameWidget(PlatWindow owner) : owner_(owner) {}

  protected:
    // Closing asks the procedure; its default handling destroys the window.
    void closeEvent(QCloseEvent *e) override {
        e->ignore();
        winlayer::close_requested(owner_);
    }
    void moveEvent(QMoveEvent *) override { fit_decorations(owner_); }
    void resizeEvent(QResizeEvent *e) override {
        QWidget::resizeEvent(e);
        fit_decorations(owner_);
    }

  private:
    PlatWindow owner_;
};

// ------------------------------------------------------- window geometry

void resize_backing(PlatWindow w, int width, int height) {
    QImage &backing = qt_of(w)->backing;
    if (backing.width() == width && backing.height() == height)
        return;
    QImage fresh(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    fresh.fill(plat_qt_rgb_to_qrgb(w->cls->background));
    if (!backing.isNull())
        plat_qt_copy_pixels(fresh, 0, 0, backing, 0, 0, backing.width(), backing.height());
    backing = fresh;
}

// Brings the backing image to the client size and tells the layer that size.
// relayout first makes the layout place the menu bar and the client now (the
// widgets may be hidden).
void sync_client_size(PlatWindow w, bool relayout) {
    if (!winlayer::window_ok(w))
        return;
    QtWindow *q = qt_of(w);
    if (relayout) {
        q->layout->invalidate();
        q->layout->activate();
    }
    const int width = q->client->width(), height = q->client->height();
    resize_backing(w, width, height);
    winlayer::client_size(w, width, height);
}

// The frame geometry including what a window manager adds around the widget.
// The offscreen platform reports made-up margins of its own, with nothing
// drawn in them: there the widget is the whole window, at the position the
// window was moved to.
QRect outer_geometry(PlatWindow w) {
    QtWindow *q = qt_of(w);
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return QRect(q->frame->pos(), q->frame->size());
    return q->frame->frameGeometry();
}

// Where a window manager adds a title bar and borders, shrinks the widget once
// so that the outer frame keeps the size asked for.
void fit_decorations(PlatWindow w) {
    if (!winlayer::window_ok(w))
        return;
    QtWindow *q = qt_of(w);
    if (q->decor_fitted || !q->frame->isVisible())
        return;
    const QRect outer = outer_geometry(w), inner = q->frame->geometry();
    const int dw = outer.width() - inner.width(), dh = outer.height() - inner.height();
    if (dw <= 0 && dh <= 0)
        return;
    q->decor_fitted = true;
    const QSize size(std::max(1, q->outer_w - dw), std::max(1, q->outer_h - dh));
    if (q->fixed)
        q->frame->setFixedSize(size);
    else
        q->frame->resize(size);
}

// ------------------------------------------------------ showing drawing

qint64 clock_ms() {
    static QElapsedTimer &clock = *new QElapsedTimer;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

// One refresh of the primary screen, within 60..250 Hz when it reports none
// or an odd rate.
int frame_period_ms() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double hz = screen ? screen->refreshRate() : 0.0;
    if (!(hz >= 60.0))
        return 16;
    return std::max(4, static_cast<int>(1000.0 / std::min(hz, 250.0)));
}

void show_now(PlatWindow w) {
    QtWindow *q = qt_of(w);
    q->shown_at_ms = clock_ms();
    q->client->update();
}

} // namespace

// Drawing lands in the backing image at once, but the window system is handed
// at most one picture per screen refresh: a program that draws after every
// message would otherwise send the whole client area to the display server
// far more often than any screen shows it. The last picture is always shown,
// at the end of the frame period it fell in.
void plat_qt_window_drawn(PlatWindow window) {
    if (!winlayer::window_ok(window))
        return;
    QtWindow *q = qt_of(window);
    if (q->in_paint || !q->client->isVisible())
        return;
    q->own_update = true;
    if (q->show_timer->isActive())
        return; // already due at the end of this frame period
    const qint64 wait = q->shown_at_ms + frame_period_ms() - clock_ms();
    if (wait <= 0)
        show_now(window);
    else
        q->show_timer->start(static_cast<int>(wait));
}

QImage *plat_qt_window_image(PlatWindow window) {
    return winlayer::window_ok(window) ? &qt_of(window)->backing : nullptr;
}

// ---------------------------------------------------------- application

void plat_init() {
    plat_qt_prepare_environment();
    if (QCoreApplication::instance())
        return;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY")) {
        winlayer::warn("no display found; using the offscreen platform");
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // QApplication keeps references to these for its whole life.
    static int argc = 1;
    static char name[] = "qelma";
    static char *argv[] = {name, nullptr};
    QApplication *app = new QApplication(argc, argv);
    app->setQuitOnLastWindowClosed(false);
}

bool plat_qt_ensure_app() {
    plat_init();
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        static bool told = false;
        if (!told)
            winlayer::warn("the running Qt application is not a QApplication; no windows");
        told = true;
        return false;
    }
    return true;
}

// ------------------------------------------------------- toolkit contract

bool tk_ready() {
    return plat_qt_ensure_app();
}

void tk_process_events(bool wait) {
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::processEvents(wait ? QEventLoop::WaitForMoreEvents
                                         : QEventLoop::AllEvents);
}

void tk_timer_start(winlayer::Timer *t) {
    if (!t->toolkit_timer) {
        QTimer *timer = new QTimer();
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, [t] { winlayer::timer_expired(t); });
        t->toolkit_timer = timer;
    }
    static_cast<QTimer *>(t->toolkit_timer)->start(static_cast<int>(t->period_ms));
}

void tk_timer_stop(winlayer::Timer *t) {
    if (t->toolkit_timer)
        static_cast<QTimer *>(t->toolkit_timer)->stop();
}

void tk_window_create(PlatWindow win, const char *title, int x, int y, int w, int h) {
    QtWindow *q = new QtWindow();
    win->toolkit = q;
    q->fixed = (win->style & WS_THICKFRAME_BIT) == 0;
    q->outer_w = w;
    q->outer_h = h;
    q->shown_at_ms = -1000000; // the first picture is shown at once
    q->show_timer = new QTimer();
    q->show_timer->setSingleShot(true);
    q->show_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(q->show_timer, &QTimer::timeout, [win] {
        if (winlayer::window_ok(win) && qt_of(win)->client->isVisible())
            show_now(win);
    });
    q->frame = new FrameWidget(win);
    q->frame->setWindowTitle(QString::fromLatin1(title));
    q->layout = new QVBoxLayout(q->frame);
    q->layout->setContentsMargins(0, 0, 0, 0);
    q->layout->setSpacing(0);
    q->client = new ClientWidget(win);
    q->layout->addWidget(q->client);
    q->frame->setFocusProxy(q->client);
    q->frame->move(x, y);
    if (q->fixed)
        q->frame->setFixedSize(w, h);
    else
        q->frame->resize(w, h);
    sync_client_size(win, true);
}

void tk_window_relayout(PlatWindow w) {
    sync_client_size(w, true);
}

void tk_window_destroyed(PlatWindow w) {
    QtWindow *q = qt_of(w);
    q->show_timer->stop();
    q->frame->hide();
    q->backing = QImage();
}

bool tk_window_visible(PlatWindow w) {
    return qt_of(w)->frame->isVisible();
}

void tk_window_show(PlatWindow w, bool show) {
    QtWindow *q = qt_of(w);
    if (!show) {
        q->frame->hide();
        return;
    }
    q->frame->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        q->frame->raise(); // the offscreen platform has no stacking order
    q->frame->activateWindow();
    q->client->setFocus();
    fit_decorations(w);
    sync_client_size(w, true);
}

void tk_window_client_size(PlatWindow w, int *width, int *height) {
    *width = qt_of(w)->client->width();
    *height = qt_of(w)->client->height();
}

void tk_window_outer_rect(PlatWindow w, PlatRect *rect) {
    const QRect r = outer_geometry(w);
    *rect = PlatRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void tk_screen_size(int *width, int *height) {
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        *width = screen->geometry().width();
        *height = screen->geometry().height();
    } else {
        winlayer::warn("screen_size: no screen");
    }
}

void tk_window_update(PlatWindow w) {
    qt_of(w)->client->update();
}

void tk_window_erase(PlatWindow w, PlatColor color) {
    qt_of(w)->backing.fill(plat_qt_rgb_to_qrgb(color));
}

void tk_window_menu_bar(PlatWindow w, PlatMenu menu) {
    QtWindow *q = qt_of(w);
    if (QWidget *old = q->layout->menuBar()) {
        q->layout->setMenuBar(nullptr);
        old->hide();
        old->setParent(nullptr);
    }
    if (menu) {
        q->layout->setMenuBar(plat_qt_bar_of(menu));
        plat_qt_bar_of(menu)->show();
    }
    sync_client_size(w, true);
}

void tk_menu_bar_update(PlatMenu menu) {
    plat_qt_bar_of(menu)->update();
}

// ------------------------------------------------------------ test hooks

QWidget *plat_qt_client_widget(PlatWindow window) {
    return winlayer::window_ok(window) ? qt_of(window)->client : nullptr;
}

QWidget *plat_qt_frame_widget(PlatWindow window) {
    return winlayer::window_ok(window) ? qt_of(window)->frame : nullptr;
}

QMenuBar *plat_qt_menu_bar(PlatWindow window) {
    return winlayer::window_ok(window) && window->menu ? plat_qt_bar_of(window->menu) : nullptr;
}

int plat_qt_timer_interval(PlatWindow window, unsigned id) {
    winlayer::Timer *t = winlayer::find_timer(window, id);
    return t ? static_cast<QTimer *>(t->toolkit_timer)->interval() : -1;
}

int plat_qt_queue_length() {
    return static_cast<int>(winlayer::length());
}

int plat_qt_count_queued(PlatWindow window, unsigned message, PlatWParam wparam) {
    return winlayer::count(window, message, wparam);
}
