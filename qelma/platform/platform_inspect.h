// What only tests call to look inside the platform: the outer rectangle of a
// window, the items of a menu by position, and one pixel of a surface. QELMA
// itself never calls these; every backend implements them.
#ifndef QELMA_PLATFORM_PLATFORM_INSPECT_H
#define QELMA_PLATFORM_PLATFORM_INSPECT_H

#include "qelma/platform/platform.h"

// The outer (frame) rectangle in screen coordinates; zeros for a null or
// destroyed window.
void plat_get_window_rect(PlatWindow window, PlatRect *rect);

// As GetMenuItemCount / GetMenuState / GetMenuStringA / GetSubMenu by
// position. For a null or destroyed menu or a position without an item:
// -1 items, state -1, id 0xFFFFFFFF, an empty string (0), no sub-menu.
int plat_get_menu_item_count(PlatMenu menu);
// MF_CHECKED | MF_GRAYED | MF_SEPARATOR | MF_POPUP bits of the item at pos.
int plat_get_menu_state(PlatMenu menu, int pos);
// The command id, or 0xFFFFFFFF for a pop-up.
unsigned plat_get_menu_item_id(PlatMenu menu, int pos);
int plat_get_menu_string(PlatMenu menu, int pos, char *buffer, int size);
PlatMenu plat_get_sub_menu(PlatMenu menu, int pos);

// The colour of one pixel, or PLAT_INVALID_COLOR outside the surface or for
// a null or stale context.
PlatColor plat_get_pixel(PlatDC dc, int x, int y);

#endif // QELMA_PLATFORM_PLATFORM_INSPECT_H
