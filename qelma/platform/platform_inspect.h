// What only tests call: to look inside the platform (visibility and outer
// rectangle of a window, its menu bar, the items of a menu by position, one
// pixel of a surface) and to do what QELMA itself never asks for (repaint a
// window, delete a memory context). Every backend implements these.
#ifndef QELMA_PLATFORM_PLATFORM_INSPECT_H
#define QELMA_PLATFORM_PLATFORM_INSPECT_H

#include "qelma/platform/platform.h"

// The outer (frame) rectangle in screen coordinates; zeros for a null or
// destroyed window.
void plat_get_window_rect(PlatWindow window, PlatRect *rect);
int plat_is_window_visible(PlatWindow window);
// The attached menu bar, or null.
PlatMenu plat_get_menu(PlatWindow window);
// Marks the whole client area for repainting: a WM_PAINT follows.
void plat_invalidate(PlatWindow window);
// Deletes a memory context (a window's is given back with plat_release_dc).
void plat_delete_dc(PlatDC dc);

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
