// Qt backend, application and windows: the translation table between the
// Windows layer (winlayer/) and QApplication, QWidget and QTimer.
//
// Implements: the application set-up (tk_init), top-level windows of a
// fixed or sizable outer size with an optional menu bar above the client
// area, show/hide, client and outer rectangles, the screen size, repaints,
// close requests, timers and the blocking wait; input comes from
// qt_input.cpp, menus from qt_menu.cpp. The layer owns the client pixels,
// the letters included, and says which rows to show; the client widget
// draws them through an image wrapped around the layer's pixels.
// Leaves out: child windows, window moves and sizes after creation, minimise
// and maximise, non-client messages, the system menu.
// Departs from Windows: a window's client area keeps its pixels in the layer,
// so a window covered by another keeps them. Where the window manager adds a
// frame, the widget is shrunk once so that the outer size is the one asked
// for.
//
// The one state record of this backend is QtWindow, one per window (below);
// everything else lives in the layer's records.
#include "qelma/platform/qt/qt_platform.h"
#include "qelma/platform/qt/qt_environment.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/menu_model.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/toolkit.h"
#include "qelma/platform/winlayer/window_records.h"

#include <QImage>

#include <QApplication>
#include <QCloseEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <vector>

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
    bool fixed;           // fixed outer size (no sizing border)
    int outer_w, outer_h; // the outer size asked for
    bool decor_fitted;    // frame decorations have been measured and allowed for
    bool own_update;      // the repaint asked for was caused by our own drawing
    QTimer *show_timer;   // the layer's delayed show (winlayer::show_due)
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
        // A paint that our own drawing brought needs no WM_PAINT.
        const bool ours = q->own_update || winlayer::has_unshown(w);
        q->own_update = false;
        winlayer::repaint(w, !ours);
        if (!winlayer::window_ok(w))
            return;
        // The layer's pixels are 0xFFRRGGBB, which is Format_RGB32: the
        // image only wraps them.
        const raster::Surface &s = w->surface;
        const QImage pixels(reinterpret_cast<const uchar *>(s.pixels.data()), s.width, s.height,
                            static_cast<qsizetype>(s.width) * 4, QImage::Format_RGB32);
        QPainter p(this);
        p.drawImage(0, 0, pixels);
    }
    void resizeEvent(QResizeEvent *) override { sync_client_size(owner_, false); }
    void mousePressEvent(QMouseEvent *e) override { mouse(e, true); }
    // A second press within the double-click time is still a press.
    void mouseDoubleClickEvent(QMouseEvent *e) override { mouse(e, true); }
    void mouseReleaseEvent(QMouseEvent *e) override { mouse(e, false); }
    void keyPressEvent(QKeyEvent *e) override { key(e, true); }
    void keyReleaseEvent(QKeyEvent *e) override { key(e, false); }
    // The window deactivated, or another widget took the keys. (No repaint:
    // nothing in the client area shows the focus.)
    void focusOutEvent(QFocusEvent *) override { winlayer::focus_lost(owner_); }
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

// Tells the layer the client size. relayout first makes the layout place the menu bar and the client now (the
// widgets may be hidden).
void sync_client_size(PlatWindow w, bool relayout) {
    if (!winlayer::window_ok(w))
        return;
    QtWindow *q = qt_of(w);
    if (relayout) {
        q->layout->invalidate();
        q->layout->activate();
    }
    winlayer::client_size(w, q->client->width(), q->client->height());
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

} // namespace

// ------------------------------------------------------ showing the pixels

static void tk_window_show_rows(PlatWindow w, int top, int bottom) {
    QtWindow *q = qt_of(w);
    q->own_update = true;
    q->client->update(0, top, q->client->width(), bottom - top);
}

static void tk_show_later(PlatWindow w, int ms) {
    qt_of(w)->show_timer->start(ms);
}

// One refresh of the primary screen, within 60..250 Hz when it reports none
// or an odd rate.
static int tk_refresh_ms(PlatWindow) {
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double hz = screen ? screen->refreshRate() : 0.0;
    if (!(hz >= 60.0))
        return 16;
    return std::max(4, static_cast<int>(1000.0 / std::min(hz, 250.0)));
}

// ---------------------------------------------------------- application

namespace {

// Every window made, for the end of the program.
std::vector<PlatWindow> &all_windows() {
    static std::vector<PlatWindow> &windows = *new std::vector<PlatWindow>;
    return windows;
}

// SIGTERM, SIGHUP or SIGINT came: whenever the loop runs next (the program
// looks at its messages or waits), each window hears WM_ENDSESSION, as when
// Windows ends the session (a recording writes out what it holds), and the
// program then ends as the signal ends it.
void watch_end_signals(QApplication *app) {
    const int fd = plat_qt_catch_end_signals();
    if (fd < 0)
        return;
    auto *watch = new QSocketNotifier(fd, QSocketNotifier::Read, app);
    QObject::connect(watch, &QSocketNotifier::activated, [] {
        const int signal_number = plat_qt_end_signal_caught();
        if (signal_number == 0)
            return;
        for (PlatWindow w : all_windows()) {
            if (winlayer::window_ok(w))
                winlayer::send(w, WM_ENDSESSION, 1, 0);
        }
        plat_qt_end_by_signal(signal_number);
    });
}

} // namespace

static void tk_init() {
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
    watch_end_signals(app);
}

bool plat_qt_ensure_app() {
    tk_init();
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

static bool tk_ready() {
    return plat_qt_ensure_app();
}

static void tk_process_events(bool wait) {
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::processEvents(wait ? QEventLoop::WaitForMoreEvents
                                         : QEventLoop::AllEvents);
}

static void tk_timer_start(winlayer::Timer *t) {
    if (!t->toolkit_timer) {
        QTimer *timer = new QTimer();
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, [t] { winlayer::timer_expired(t); });
        t->toolkit_timer = timer;
    }
    static_cast<QTimer *>(t->toolkit_timer)->start(static_cast<int>(t->period_ms));
}

static void tk_timer_stop(winlayer::Timer *t) {
    if (t->toolkit_timer)
        static_cast<QTimer *>(t->toolkit_timer)->stop();
}

static void tk_window_create(PlatWindow win, const char *title, int x, int y, int w, int h) {
    QtWindow *q = new QtWindow();
    win->toolkit = q;
    all_windows().push_back(win);
    q->fixed = (win->style & WS_THICKFRAME_BIT) == 0;
    q->outer_w = w;
    q->outer_h = h;
    q->show_timer = new QTimer();
    q->show_timer->setSingleShot(true);
    q->show_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(q->show_timer, &QTimer::timeout, [win] { winlayer::show_due(win); });
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

static void tk_window_relayout(PlatWindow w) {
    sync_client_size(w, true);
}

static void tk_window_destroyed(PlatWindow w) {
    QtWindow *q = qt_of(w);
    q->show_timer->stop();
    q->frame->hide();
}

static bool tk_window_visible(PlatWindow w) {
    return qt_of(w)->frame->isVisible();
}

static void tk_window_show(PlatWindow w, bool show) {
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

static void tk_window_outer_rect(PlatWindow w, PlatRect *rect) {
    const QRect r = outer_geometry(w);
    *rect = PlatRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

static void tk_screen_size(int *width, int *height) {
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        *width = screen->geometry().width();
        *height = screen->geometry().height();
    } else {
        winlayer::warn("screen_size: no screen");
    }
}

static void tk_window_update(PlatWindow w) {
    qt_of(w)->client->update();
}

static void tk_window_menu_bar(PlatWindow w, PlatMenu menu) {
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

static void tk_menu_bar_update(PlatMenu menu) {
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

// ------------------------------------------------------------ the table

static const Toolkit QT_TOOLKIT = {
    "qt", tk_init, tk_ready, tk_process_events,
    tk_window_create, tk_window_relayout, tk_window_destroyed, tk_window_visible,
    tk_window_show, tk_window_outer_rect, tk_screen_size, tk_window_update,
    tk_window_menu_bar, tk_menu_bar_update,
    tk_window_show_rows, tk_show_later, tk_refresh_ms,
    tk_timer_start, tk_timer_stop,
    plat_qt_menu_created, plat_qt_menu_item_added, plat_qt_menu_item_checked,
};

const Toolkit &native_toolkit() { return QT_TOOLKIT; }
