// Qt backend: shows the layer's menu model (winlayer/menu_model.h) with
// QMenuBar, QMenu and QAction, and reports a chosen item back to it. Texts keep
// their '&' mnemonic; after a tab a text is only the label of the shortcut
// column, so no toolkit shortcut is made from it (the shortcuts are the
// program's own). Departs from Windows: none the program can see.
#include "qelma/platform/qt/qt_platform.h"
#include "qelma/platform/winlayer/menu_model.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <QAction>
#include <QMenu>
#include <QFont>
#include <QMenuBar>

namespace {

QMenu *qmenu_of(PlatMenu menu) {
    return static_cast<QMenu *>(menu->toolkit_menu);
}

QAction *action_of(const winlayer::MenuItem &item) {
    return static_cast<QAction *>(item.toolkit_item);
}

// The toolkit flips a checkable item itself when chosen; the mark belongs to
// the program, so the model's is put back.
void show_mark(QAction *action, const winlayer::MenuItem &item) {
    action->setCheckable(true);
    action->setChecked((item.flags & MF_CHECKED) != 0);
}

} // namespace

QMenuBar *plat_qt_bar_of(PlatMenu menu) {
    return static_cast<QMenuBar *>(menu->toolkit_menu);
}

bool plat_qt_menu_created(PlatMenu menu) {
    if (menu->bar) {
        QMenuBar *bar = new QMenuBar();
        bar->setNativeMenuBar(false);
        // As tall as a menu bar on Windows, whatever fonts the desktop has:
        // the client area, and so the canvas's origin, is the same on every
        // machine and the same as the page's and the headless toolkit's.
        QFont font = bar->font();
        font.setPixelSize(12);
        bar->setFont(font);
        bar->setFixedHeight(20);
        menu->toolkit_menu = bar;
    } else {
        menu->toolkit_menu = new QMenu();
    }
    return true;
}

void plat_qt_menu_item_added(PlatMenu menu, std::size_t index) {
    winlayer::MenuItem &item = menu->items[index];
    QMenuBar *bar = menu->bar ? plat_qt_bar_of(menu) : nullptr;
    QMenu *list = menu->bar ? nullptr : qmenu_of(menu);
    const QString label = QString::fromLatin1(item.text.c_str());
    QAction *action;
    if (item.flags & MF_SEPARATOR) {
        action = bar ? bar->addSeparator() : list->addSeparator();
    } else if (item.flags & MF_POPUP) {
        qmenu_of(item.popup)->setTitle(label);
        action = bar ? bar->addMenu(qmenu_of(item.popup)) : list->addMenu(qmenu_of(item.popup));
    } else {
        action = bar ? bar->addAction(label) : list->addAction(label);
        QObject::connect(action, &QAction::triggered, [menu, index, action] {
            if (action->isCheckable())
                show_mark(action, menu->items[index]);
            winlayer::menu_chosen(menu, index);
        });
        if (item.flags & MF_CHECKED)
            show_mark(action, item);
        if (item.flags & MF_GRAYED)
            action->setEnabled(false);
    }
    item.toolkit_item = action;
}

void plat_qt_menu_item_checked(PlatMenu menu, std::size_t index) {
    show_mark(action_of(menu->items[index]), menu->items[index]);
}
