// Qt backend, input: key and mouse events of a client widget translated
// into the layer's input messages. Keys carry Windows' virtual-key codes for
// the keys QELMA knows (letters, digits, the keypad, Ctrl, Shift, Alt, Return,
// Escape, Space, Backspace, Tab, arrows) and the character the key typed (see
// winlayer::key_lparam) and whether Ctrl was held as it was pressed; a key
// with no code that types a character comes as virtual key 0xFF. Left and
// right buttons only; no mouse moves, no wheel.
#include "qelma/platform/qt/qt_platform.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/window_records.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace {

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

} // namespace

void plat_qt_key(PlatWindow w, QKeyEvent *e, bool down) {
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
                    winlayer::key_lparam(ch, down, e->isAutoRepeat(),
                                         (e->modifiers() & Qt::ControlModifier) != 0));
}


void plat_qt_mouse(PlatWindow w, QMouseEvent *e, bool down) {
    unsigned message;
    if (e->button() == Qt::LeftButton)
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    else if (e->button() == Qt::RightButton)
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    else
        return;
    const QPoint pos = e->position().toPoint();
    winlayer::input(w, message, 0, winlayer::pack_point(pos.x(), pos.y()));
}
