// Qt backend, window half: the application, window classes, windows, the
// message queue with translate and dispatch, the blocking wait, timers, menus
// and the paint plumbing, over QApplication, QWidget, QMenuBar and QTimer.
//
// A window is a top-level frame widget whose layout holds the optional menu
// bar and, below it, the client widget. The client widget owns no pixels of
// its own: the window keeps a backing image of the client size, window
// contexts (qt_gdi.cpp) draw into it, and paintEvent copies it to the screen.
// Input events on the client widget become queued messages; WM_CREATE,
// WM_SIZE, WM_PAINT, WM_CLOSE and WM_DESTROY are sent to the procedure at once.
#include "qelma/platform/qt/qt_platform.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/menu_model.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <strings.h>
#include <vector>

namespace {

constexpr int MAX_WINDOW_SIDE = 8192;     // larger window sizes are clamped
constexpr unsigned WS_THICKFRAME_BIT = 0x00040000u; // a sizing border: resizable

struct WindowClass {
    std::string name;     // compared without regard to case, as on Windows
    PlatWndProc proc;     // receives every message of the class's windows
    unsigned style;       // CS_ bits, kept for inspection
    PlatColor background; // fills new client areas (white without a solid brush)
    PlatObject brush;     // the brush given at registration: the class owns it, as on Windows
};

class ClientWidget;
class FrameWidget;

} // namespace

struct PlatWindowImpl {
    bool alive;             // false once destroyed; the record itself is never freed
    bool creating;          // inside plat_create_window: WM_SIZE waits for WM_CREATE
    bool destroying;        // WM_DESTROY is being sent
    const WindowClass *cls; // the class the window was made from
    bool fixed;             // fixed outer size (no sizing border)
    int outer_w, outer_h;   // the outer size asked for
    bool decor_fitted;      // frame decorations have been measured and allowed for
    FrameWidget *frame;     // top-level widget; kept (hidden) after destruction
    QVBoxLayout *layout;    // menu bar on top, client below
    ClientWidget *client;   // the client area
    PlatMenu menu;          // attached menu bar, or null
    QImage backing;         // client-area pixels, Format_RGB32, client size
    int sent_w, sent_h;     // client size of the last WM_SIZE; -1 before the first
    bool paint_pending;     // WM_PAINT is owed at the next repaint
    bool own_update;        // the repaint asked for was caused by our own drawing
    bool in_paint;          // inside the client widget's paintEvent
    PlatDC paint_dc;        // the context of plat_begin_paint until plat_end_paint
    QTimer *show_timer;     // shows what was drawn once the current frame period is over
    qint64 shown_at_ms;     // when drawing was last handed to the window system
};

namespace {

// The backend's state. Window, menu and timer records are never freed, so a
// stale handle stays readable memory and is recognised by its alive flag.
struct QtState {
    std::vector<WindowClass *> classes;    // registered window classes
    std::vector<PlatWindowImpl *> windows; // every window ever created
};
// Never destroyed, for the same reason as its records: a static destructor
// running before the leak checker would make every record look lost.
QtState &qt = *new QtState;

bool window_ok(PlatWindow w) {
    return w && w->alive;
}

PlatResult send(PlatWindow w, unsigned message, PlatWParam wparam, PlatLParam lparam) {
    if (!window_ok(w) || !w->cls->proc)
        return 0;
    return w->cls->proc(w, message, wparam, lparam);
}

PlatLParam pack_point(int x, int y) {
    return static_cast<PlatLParam>((static_cast<unsigned>(x) & 0xFFFFu) |
                                   ((static_cast<unsigned>(y) & 0xFFFFu) << 16));
}

// ---------------------------------------------------------------- keys

unsigned virtual_key(const QKeyEvent *e) {
    const int k = e->key();
    if ((e->modifiers() & Qt::KeypadModifier) && k >= Qt::Key_0 && k <= Qt::Key_9)
        return VK_NUMPAD0 + static_cast<unsigned>(k - Qt::Key_0);
    if (k >= Qt::Key_A && k <= Qt::Key_Z)
        return 'A' + static_cast<unsigned>(k - Qt::Key_A);
    if (k >= Qt::Key_0 && k <= Qt::Key_9)
        return '0' + static_cast<unsigned>(k - Qt::Key_0);
    switch (k) {
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    default:
        return 0;
    }
}

// The character the key typed, as one Latin-1 byte, or 0. Ctrl with a letter
// gives the control code (Ctrl+A is 1) whether or not the toolkit filled in
// the text, as keyboard translation does on Windows.
unsigned typed_char(const QKeyEvent *e) {
    const Qt::KeyboardModifiers mods = e->modifiers();
    const int k = e->key();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && k >= Qt::Key_A &&
        k <= Qt::Key_Z)
        return static_cast<unsigned>(k - Qt::Key_A) + 1;
    const QString text = e->text();
    if (text.size() == 1 && text[0].unicode() <= 0xFF)
        return text[0].unicode();
    return 0;
}

void key_message(PlatWindow w, QKeyEvent *e, bool down) {
    if (!down && e->isAutoRepeat())
        return; // Windows sends repeated key-downs only
    const unsigned ch = typed_char(e);
    unsigned vk = virtual_key(e);
    if (vk == 0) {
        if (ch == 0)
            return; // a key QELMA has no code for, typing nothing
        vk = 0xFF;  // no virtual key, but the character must still arrive
    }
    winlayer::input(w, down ? WM_KEYDOWN : WM_KEYUP, vk,
                    winlayer::key_lparam(ch, down, e->isAutoRepeat()));
}

void sync_client_size(PlatWindow w, bool relayout);
void fit_decorations(PlatWindow w);
void destroy_window(PlatWindow w);

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
        if (!window_ok(w))
            return;
        if (w->paint_pending || !w->own_update) {
            // As Windows does before WM_PAINT, the class brush erases the
            // client area first.
            w->paint_pending = false;
            w->backing.fill(plat_qt_rgb_to_qrgb(w->cls->background));
            w->in_paint = true;
            send(w, WM_PAINT, 0, 0);
            w->in_paint = false;
            if (!window_ok(w))
                return;
        }
        w->own_update = false;
        QPainter p(this);
        p.drawImage(0, 0, w->backing);
    }
    void resizeEvent(QResizeEvent *) override { sync_client_size(owner_, false); }
    void mousePressEvent(QMouseEvent *e) override { mouse(e, true); }
    // A second press within the double-click time is still a press.
    void mouseDoubleClickEvent(QMouseEvent *e) override { mouse(e, true); }
    void mouseReleaseEvent(QMouseEvent *e) override { mouse(e, false); }
    void keyPressEvent(QKeyEvent *e) override {
        if (window_ok(owner_))
            key_message(owner_, e, true);
    }
    void keyReleaseEvent(QKeyEvent *e) override {
        if (window_ok(owner_))
            key_message(owner_, e, false);
    }
    // Tab is a key like any other here, not focus traversal.
    bool focusNextPrevChild(bool) override { return false; }

  private:
    void mouse(QMouseEvent *e, bool down) {
        if (!window_ok(owner_))
            return;
        unsigned message;
        if (e->button() == Qt::LeftButton)
            message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        else if (e->button() == Qt::RightButton)
            message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        else
            return;
        const QPoint pos = e->position().toPoint();
        winlayer::input(owner_, message, 0, pack_point(pos.x(), pos.y()));
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
        send(owner_, WM_CLOSE, 0, 0);
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
    if (w->backing.width() == width && w->backing.height() == height)
        return;
    QImage fresh(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
    fresh.fill(plat_qt_rgb_to_qrgb(w->cls->background));
    if (!w->backing.isNull())
        plat_qt_copy_pixels(fresh, 0, 0, w->backing, 0, 0, w->backing.width(), w->backing.height());
    w->backing = fresh;
}

// Brings the backing image to the client size and sends WM_SIZE when that size
// differs from the last one sent. relayout first makes the layout place the
// menu bar and the client now (the widgets may be hidden).
void sync_client_size(PlatWindow w, bool relayout) {
    if (!window_ok(w))
        return;
    if (relayout) {
        w->layout->invalidate();
        w->layout->activate();
    }
    const int width = w->client->width(), height = w->client->height();
    resize_backing(w, width, height);
    if (w->creating || (width == w->sent_w && height == w->sent_h))
        return;
    w->sent_w = width;
    w->sent_h = height;
    send(w, WM_SIZE, 0, pack_point(width, height));
}

// The frame geometry including what a window manager adds around the widget.
// The offscreen platform reports made-up margins of its own, with nothing
// drawn in them: there the widget is the whole window, at the position the
// window was moved to.
QRect outer_geometry(PlatWindow w) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return QRect(w->frame->pos(), w->frame->size());
    return w->frame->frameGeometry();
}

// Where a window manager adds a title bar and borders, shrinks the widget once
// so that the outer frame keeps the size asked for.
void fit_decorations(PlatWindow w) {
    if (!window_ok(w) || w->decor_fitted || !w->frame->isVisible())
        return;
    const QRect outer = outer_geometry(w), inner = w->frame->geometry();
    const int dw = outer.width() - inner.width(), dh = outer.height() - inner.height();
    if (dw <= 0 && dh <= 0)
        return;
    w->decor_fitted = true;
    const QSize size(std::max(1, w->outer_w - dw), std::max(1, w->outer_h - dh));
    if (w->fixed)
        w->frame->setFixedSize(size);
    else
        w->frame->resize(size);
}

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

const WindowClass *find_class(const char *name) {
    for (const WindowClass *c : qt.classes)
        if (strcasecmp(c->name.c_str(), name) == 0)
            return c;
    return nullptr;
}

// ---------------------------------------------------------------- timers

void stop_timer(winlayer::Timer *t) {
    tk_timer_stop(t);
}

// ----------------------------------------------------------------- menus

void detach_menu(PlatWindow w) {
    PlatMenu old = w->menu;
    if (!old)
        return;
    w->layout->setMenuBar(nullptr);
    QMenuBar *bar = plat_qt_bar_of(old);
    bar->hide();
    bar->setParent(nullptr);
    winlayer::set_menu_window(old, nullptr);
    w->menu = nullptr;
}

void destroy_window(PlatWindow w) {
    if (!window_ok(w) || w->destroying)
        return;
    w->destroying = true;
    send(w, WM_DESTROY, 0, 0);
    winlayer::kill_window_timers(w, stop_timer);
    w->show_timer->stop();
    w->frame->hide();
    if (w->paint_dc) {
        plat_release_dc(w, w->paint_dc);
        w->paint_dc = nullptr;
    }
    w->alive = false;
    w->backing = QImage();
}

} // namespace

// ------------------------------------------------------ shared and hooks

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

QWidget *plat_qt_client_widget(PlatWindow window) {
    return window_ok(window) ? window->client : nullptr;
}

QWidget *plat_qt_frame_widget(PlatWindow window) {
    return window_ok(window) ? window->frame : nullptr;
}

QMenuBar *plat_qt_menu_bar(PlatWindow window) {
    return window_ok(window) && window->menu ? plat_qt_bar_of(window->menu) : nullptr;
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

QImage *plat_qt_window_image(PlatWindow window) {
    return window_ok(window) ? &window->backing : nullptr;
}

// Drawing lands in the backing image at once, but the window system is handed
// at most one picture per screen refresh: a program that draws after every
// message would otherwise send the whole client area to the display server
// far more often than any screen shows it. The last picture is always shown,
// at the end of the frame period it fell in.
void plat_qt_window_drawn(PlatWindow window) {
    if (!window_ok(window) || window->in_paint || !window->client->isVisible())
        return;
    window->own_update = true;
    if (window->show_timer->isActive())
        return; // already due at the end of this frame period
    const qint64 now = clock_ms();
    const qint64 wait = window->shown_at_ms + frame_period_ms() - now;
    if (wait <= 0) {
        window->shown_at_ms = now;
        window->client->update();
    } else {
        window->show_timer->start(static_cast<int>(wait));
    }
}

// ---------------------------------------------------------- application

void plat_init() {
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

// ---------------------------------------------------- classes and windows

int plat_register_class(const char *class_name, PlatWndProc proc, unsigned class_style,
                        PlatObject background_brush) {
    if (!class_name || !*class_name || !proc) {
        winlayer::warn("register_class: a class needs a name and a procedure");
        return 0;
    }
    if (find_class(class_name)) {
        winlayer::warn("register_class: class \"%s\" already exists", class_name);
        return 0;
    }
    // The colour is read now, so deleting the brush later changes nothing.
    qt.classes.push_back(
        new WindowClass{class_name, proc, class_style,
                        winlayer::brush_color(background_brush, plat_rgb(255, 255, 255)),
                        background_brush});
    return static_cast<int>(qt.classes.size());
}

PlatWindow plat_create_window(const char *class_name, const char *title, unsigned long style, int x,
                              int y, int w, int h) {
    if (!plat_qt_ensure_app())
        return nullptr;
    const WindowClass *cls = class_name ? find_class(class_name) : nullptr;
    if (!cls) {
        winlayer::warn("create_window: no class \"%s\"", class_name ? class_name : "(null)");
        return nullptr;
    }
    if (w < 0 || h < 0 || w > MAX_WINDOW_SIDE || h > MAX_WINDOW_SIDE) {
        winlayer::warn("create_window: size %d x %d clamped to 0..%d", w, h, MAX_WINDOW_SIDE);
        w = std::clamp(w, 0, MAX_WINDOW_SIDE);
        h = std::clamp(h, 0, MAX_WINDOW_SIDE);
    }
    PlatWindowImpl *win = new PlatWindowImpl();
    qt.windows.push_back(win);
    win->alive = true;
    win->creating = true;
    win->cls = cls;
    win->fixed = (style & WS_THICKFRAME_BIT) == 0;
    win->outer_w = w;
    win->outer_h = h;
    win->sent_w = win->sent_h = -1;

    win->show_timer = new QTimer();
    win->show_timer->setSingleShot(true);
    win->show_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(win->show_timer, &QTimer::timeout, [win] {
        if (window_ok(win) && win->client->isVisible()) {
            win->shown_at_ms = clock_ms();
            win->client->update();
        }
    });
    win->frame = new FrameWidget(win);
    win->frame->setWindowTitle(QString::fromLatin1(title ? title : ""));
    win->layout = new QVBoxLayout(win->frame);
    win->layout->setContentsMargins(0, 0, 0, 0);
    win->layout->setSpacing(0);
    win->client = new ClientWidget(win);
    win->layout->addWidget(win->client);
    win->frame->setFocusProxy(win->client);
    win->frame->move(x, y);
    if (win->fixed)
        win->frame->setFixedSize(w, h);
    else
        win->frame->resize(w, h);
    sync_client_size(win, true);

    if (send(win, WM_CREATE, 0, 0) == -1) {
        // The procedure refused the window, as CreateWindow allows.
        win->creating = false;
        destroy_window(win);
        return nullptr;
    }
    if (!window_ok(win))
        return nullptr;
    win->creating = false;
    sync_client_size(win, true);
    return win;
}

int plat_show_window(PlatWindow window, int show_command) {
    if (!window_ok(window))
        return 0;
    const int was_visible = window->frame->isVisible() ? 1 : 0;
    if (show_command == SW_HIDE) {
        window->frame->hide();
        return was_visible;
    }
    if (!was_visible)
        window->paint_pending = true; // the first paint of a shown window is the toolkit's
    window->frame->show();
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        window->frame->raise(); // the offscreen platform has no stacking order
    window->frame->activateWindow();
    window->client->setFocus();
    fit_decorations(window);
    sync_client_size(window, true);
    return was_visible;
}

int plat_is_window_visible(PlatWindow window) {
    return window_ok(window) && window->frame->isVisible() ? 1 : 0;
}

void plat_get_client_rect(PlatWindow window, PlatRect *rect) {
    if (!rect)
        return;
    if (!window_ok(window)) {
        *rect = PlatRect{0, 0, 0, 0};
        return;
    }
    *rect = PlatRect{0, 0, window->client->width(), window->client->height()};
}

void plat_get_window_rect(PlatWindow window, PlatRect *rect) {
    if (!rect)
        return;
    if (!window_ok(window)) {
        *rect = PlatRect{0, 0, 0, 0};
        return;
    }
    const QRect r = outer_geometry(window);
    *rect = PlatRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void plat_screen_size(int *width, int *height) {
    int sw = 0, sh = 0;
    if (plat_qt_ensure_app()) {
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            sw = screen->geometry().width();
            sh = screen->geometry().height();
        } else {
            winlayer::warn("screen_size: no screen");
        }
    }
    if (width)
        *width = sw;
    if (height)
        *height = sh;
}

void plat_invalidate(PlatWindow window) {
    if (!window_ok(window))
        return;
    window->paint_pending = true;
    window->client->update();
}

PlatResult plat_def_window_proc(PlatWindow window, unsigned message, PlatWParam wparam,
                                PlatLParam lparam) {
    (void)wparam, (void)lparam;
    if (message == WM_CLOSE)
        destroy_window(window);
    return 0;
}

// ----------------------------------------------------------------- queue

PlatResult plat_dispatch_message(const PlatMsg *msg) {
    if (!msg || msg->message == WM_QUIT)
        return 0;
    return send(msg->window, msg->message, msg->wparam, msg->lparam);
}

// ------------------------------------------------------- toolkit contract

bool tk_ready() {
    return plat_qt_ensure_app();
}

bool tk_window_alive(PlatWindow window) {
    return window_ok(window);
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

// ----------------------------------------------------------------- menus

void plat_set_menu(PlatWindow window, PlatMenu menu) {
    if (!window_ok(window))
        return;
    if (const char *refusal = winlayer::attach_refusal(menu, window)) {
        winlayer::warn("set_menu: %s", refusal);
        return;
    }
    if (menu == window->menu)
        return;
    detach_menu(window);
    if (menu) {
        window->layout->setMenuBar(plat_qt_bar_of(menu));
        plat_qt_bar_of(menu)->show();
        winlayer::set_menu_window(menu, window);
        window->menu = menu;
    }
    sync_client_size(window, true);
}

PlatMenu plat_get_menu(PlatWindow window) {
    return window_ok(window) ? window->menu : nullptr;
}

void plat_draw_menu_bar(PlatWindow window) {
    if (window_ok(window) && window->menu)
        plat_qt_bar_of(window->menu)->update();
}

// ---------------------------------------------------------------- paint

PlatDC plat_begin_paint(PlatWindow window) {
    if (!window_ok(window))
        return nullptr;
    window->paint_pending = false;
    if (!window->paint_dc)
        window->paint_dc = plat_get_dc(window);
    return window->paint_dc;
}

void plat_end_paint(PlatWindow window) {
    if (!window_ok(window) || !window->paint_dc)
        return;
    plat_release_dc(window, window->paint_dc);
    window->paint_dc = nullptr;
}
