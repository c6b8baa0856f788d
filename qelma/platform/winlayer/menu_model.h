// The menu model for every backend but Win32: menu bars and pop-ups, items
// with command ids, check marks, grayed items, separators and pop-ups, found
// by position or (through pop-ups) by command id, as USER keeps them. The
// toolkit only shows the model (toolkit.h) and reports a chosen item.
#ifndef QELMA_PLATFORM_WINLAYER_MENU_MODEL_H
#define QELMA_PLATFORM_WINLAYER_MENU_MODEL_H

#include "qelma/platform/platform.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <cstddef>
#include <string>
#include <vector>

struct PlatMenuImpl;

namespace winlayer {

struct MenuItem {
    unsigned flags;     // MF_CHECKED | MF_GRAYED, or MF_SEPARATOR, or MF_POPUP
    unsigned id;        // command id; 0 for separators and pop-ups
    std::string text;   // as appended, with '&' and '\t'
    PlatMenu popup;     // the sub-menu of an MF_POPUP item
    void *toolkit_item; // the toolkit's item, made by tk_menu_item_added
};

// Why menu cannot be attached to window (plat_set_menu), or null when it can.
const char *attach_refusal(PlatMenu menu, PlatWindow window);
// Records which window a bar is attached to (null: detached).
void set_menu_window(PlatMenu menu, PlatWindow window);

} // namespace winlayer

struct PlatMenuImpl {
    bool bar;                              // a menu bar (plat_create_menu) or a pop-up
    std::vector<winlayer::MenuItem> items; // in order of appending
    PlatMenu parent;                       // the menu this pop-up was appended to
    PlatWindow window;                     // the window a bar is attached to
    void *toolkit_menu;                    // the toolkit's bar or menu
};

#endif // QELMA_PLATFORM_WINLAYER_MENU_MODEL_H
