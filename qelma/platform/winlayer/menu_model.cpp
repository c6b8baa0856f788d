// The menu model as USER keeps it, for every backend but Win32 (see
// menu_model.h); the toolkit shows it through toolkit.h.
#include "qelma/platform/winlayer/menu_model.h"

#include "qelma/platform/platform_inspect.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/toolkit.h"
#include "qelma/platform/winlayer/window_records.h"

#include <algorithm>
#include <cstring>

namespace winlayer {
namespace {

// Every menu ever made, never freed (see menu_known). Never destroyed either,
// so no static destructor runs before the leak checker.
std::vector<PlatMenuImpl *> &menus = *new std::vector<PlatMenuImpl *>;

PlatMenu new_menu(bool bar) {
    if (!winlayer::tk().ready())
        return nullptr;
    PlatMenuImpl *m = new PlatMenuImpl();
    m->bar = bar;
    if (!winlayer::tk().menu_created(m)) {
        delete m;
        return nullptr;
    }
    menus.push_back(m);
    return m;
}

// The item with the command id, searched through pop-ups, or null.
MenuItem *find_item(PlatMenu m, unsigned id) {
    for (MenuItem &item : m->items) {
        if (item.flags & MF_POPUP) {
            if (MenuItem *inner = find_item(item.popup, id))
                return inner;
        } else if (!(item.flags & MF_SEPARATOR) && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

// Where an item lives, for telling the toolkit about it.
bool locate(PlatMenu m, const MenuItem *item, PlatMenu *owner, std::size_t *index) {
    for (std::size_t i = 0; i < m->items.size(); ++i) {
        if (&m->items[i] == item) {
            *owner = m;
            *index = i;
            return true;
        }
        if ((m->items[i].flags & MF_POPUP) && locate(m->items[i].popup, item, owner, index))
            return true;
    }
    return false;
}

const MenuItem *item_at(PlatMenu menu, int pos) {
    if (!menu_known(menu) || pos < 0 || pos >= static_cast<int>(menu->items.size()))
        return nullptr;
    return &menu->items[static_cast<std::size_t>(pos)];
}

} // namespace

bool menu_known(PlatMenu menu) {
    return menu && std::find(menus.begin(), menus.end(), menu) != menus.end();
}

const char *attach_refusal(PlatMenu menu, PlatWindow window) {
    if (!menu)
        return nullptr;
    if (!menu_known(menu) || !menu->bar)
        return "only a menu bar can be attached to a window";
    if (menu->window && menu->window != window)
        return "the menu bar already belongs to another window";
    return nullptr;
}

void set_menu_window(PlatMenu menu, PlatWindow window) {
    if (menu_known(menu))
        menu->window = window;
}

void menu_chosen(PlatMenu menu, std::size_t index) {
    if (!menu_known(menu) || index >= menu->items.size())
        return;
    const MenuItem &item = menu->items[index];
    if (item.flags & (MF_SEPARATOR | MF_POPUP | MF_GRAYED))
        return;
    PlatMenu top = menu;
    while (top->parent)
        top = top->parent;
    if (top->bar && top->window && winlayer::window_ok(top->window))
        post(top->window, WM_COMMAND, item.id, 0);
}

} // namespace winlayer

using winlayer::MenuItem;
using winlayer::menu_known;

PlatMenu plat_create_menu() {
    return winlayer::new_menu(true);
}

PlatMenu plat_create_popup_menu() {
    return winlayer::new_menu(false);
}

int plat_append_menu(PlatMenu menu, unsigned flags, std::uintptr_t id_or_popup, const char *text) {
    if (!menu_known(menu))
        return 0;
    MenuItem item{};
    if (flags & MF_SEPARATOR) {
        item.flags = MF_SEPARATOR;
    } else if (flags & MF_POPUP) {
        item.text = text ? text : "";
        PlatMenu popup = reinterpret_cast<PlatMenu>(id_or_popup);
        if (!menu_known(popup) || popup->bar) {
            winlayer::warn("append_menu: \"%s\" needs a pop-up menu", item.text.c_str());
            return 0;
        }
        bool cycle = false;
        for (PlatMenu m = menu; m; m = m->parent)
            cycle = cycle || m == popup;
        if (popup->parent || cycle) {
            winlayer::warn("append_menu: the pop-up \"%s\" is already in a menu",
                           item.text.c_str());
            return 0;
        }
        popup->parent = menu;
        item.flags = MF_POPUP;
        item.popup = popup;
    } else {
        item.text = text ? text : "";
        item.flags = flags & (MF_CHECKED | MF_GRAYED);
        item.id = static_cast<unsigned>(id_or_popup);
    }
    menu->items.push_back(item);
    winlayer::tk().menu_item_added(menu, menu->items.size() - 1);
    return 1;
}

int plat_check_menu_item(PlatMenu menu, unsigned id, unsigned flags) {
    if (!menu_known(menu))
        return -1;
    MenuItem *item = nullptr;
    if (flags & MF_BYPOSITION) {
        if (id < menu->items.size() && !(menu->items[id].flags & (MF_SEPARATOR | MF_POPUP)))
            item = &menu->items[id];
    } else {
        item = winlayer::find_item(menu, id);
    }
    if (!item)
        return -1;
    const int previous = (item->flags & MF_CHECKED) ? MF_CHECKED : MF_UNCHECKED;
    if (flags & MF_CHECKED)
        item->flags |= MF_CHECKED;
    else
        item->flags &= ~static_cast<unsigned>(MF_CHECKED);
    PlatMenu owner = nullptr;
    std::size_t index = 0;
    if (winlayer::locate(menu, item, &owner, &index))
        winlayer::tk().menu_item_checked(owner, index);
    return previous;
}

int plat_get_menu_item_count(PlatMenu menu) {
    return menu_known(menu) ? static_cast<int>(menu->items.size()) : -1;
}

int plat_get_menu_state(PlatMenu menu, int pos) {
    const MenuItem *item = winlayer::item_at(menu, pos);
    return item ? static_cast<int>(item->flags) : -1;
}

unsigned plat_get_menu_item_id(PlatMenu menu, int pos) {
    const MenuItem *item = winlayer::item_at(menu, pos);
    return item && !(item->flags & MF_POPUP) ? item->id : 0xFFFFFFFFu;
}

int plat_get_menu_string(PlatMenu menu, int pos, char *buffer, int size) {
    const MenuItem *item = winlayer::item_at(menu, pos);
    if (!item) {
        if (buffer && size > 0)
            buffer[0] = '\0';
        return 0;
    }
    if (!buffer || size <= 0)
        return static_cast<int>(item->text.size());
    const std::size_t n = std::min(item->text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, item->text.data(), n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

PlatMenu plat_get_sub_menu(PlatMenu menu, int pos) {
    const MenuItem *item = winlayer::item_at(menu, pos);
    return item ? item->popup : nullptr;
}
