// Every call of the platform seam (platform.h and platform_inspect.h), once,
// as X(return type, name, (parameters), (arguments)). The Windows library
// holds two implementations of the seam, the Win32 backend and the layer
// under the headless toolkit, and builds its dispatch from this list
// (seam_choice.cpp); CMake reads the names from it to tell the two apart.
// A call added to the seam is added here too.
#ifndef QELMA_PLATFORM_SEAM_CALLS_H
#define QELMA_PLATFORM_SEAM_CALLS_H

#define QELMA_SEAM_CALLS(X) \
    X(void, plat_init, (), ()) \
    X(int, plat_register_class, (const char *class_name, PlatWndProc proc, unsigned class_style, PlatObject background_brush), (class_name, proc, class_style, background_brush)) \
    X(PlatWindow, plat_create_window, (const char *class_name, const char *title, unsigned long style, int x, int y, int w, int h), (class_name, title, style, x, y, w, h)) \
    X(int, plat_show_window, (PlatWindow window, int show_command), (window, show_command)) \
    X(void, plat_get_client_rect, (PlatWindow window, PlatRect *rect), (window, rect)) \
    X(void, plat_screen_size, (int *width, int *height), (width, height)) \
    X(PlatResult, plat_def_window_proc, (PlatWindow window, unsigned message, PlatWParam wparam, PlatLParam lparam), (window, message, wparam, lparam)) \
    X(int, plat_peek_message, (PlatMsg *msg), (msg)) \
    X(void, plat_translate_message, (const PlatMsg *msg), (msg)) \
    X(PlatResult, plat_dispatch_message, (const PlatMsg *msg), (msg)) \
    X(void, plat_wait_message, (), ()) \
    X(void, plat_wait_input, (), ()) \
    X(int, plat_post_message, (PlatWindow window, unsigned message, PlatWParam wparam, PlatLParam lparam), (window, message, wparam, lparam)) \
    X(void, plat_post_quit_message, (int exit_code), (exit_code)) \
    X(int, plat_key_ctrl_state, (PlatLParam lparam), (lparam)) \
    X(void, plat_set_timer, (PlatWindow window, unsigned id, unsigned period_ms), (window, id, period_ms)) \
    X(void, plat_kill_timer, (PlatWindow window, unsigned id), (window, id)) \
    X(PlatMenu, plat_create_menu, (), ()) \
    X(PlatMenu, plat_create_popup_menu, (), ()) \
    X(int, plat_append_menu, (PlatMenu menu, unsigned flags, std::uintptr_t id_or_popup, const char *text), (menu, flags, id_or_popup, text)) \
    X(void, plat_set_menu, (PlatWindow window, PlatMenu menu), (window, menu)) \
    X(void, plat_draw_menu_bar, (PlatWindow window), (window)) \
    X(int, plat_check_menu_item, (PlatMenu menu, unsigned id, unsigned flags), (menu, id, flags)) \
    X(PlatDC, plat_get_dc, (PlatWindow window), (window)) \
    X(void, plat_release_dc, (PlatWindow window, PlatDC dc), (window, dc)) \
    X(PlatDC, plat_begin_paint, (PlatWindow window), (window)) \
    X(void, plat_end_paint, (PlatWindow window), (window)) \
    X(PlatDC, plat_create_compatible_dc, (PlatDC dc), (dc)) \
    X(PlatObject, plat_create_compatible_bitmap, (PlatDC dc, int w, int h), (dc, w, h)) \
    X(PlatObject, plat_create_pen, (int style, int width, PlatColor color), (style, width, color)) \
    X(PlatObject, plat_create_solid_brush, (PlatColor color), (color)) \
    X(PlatObject, plat_get_stock_object, (int which), (which)) \
    X(PlatObject, plat_create_font, (int height, int width, int escapement, int orientation, int weight, unsigned italic, unsigned underline, unsigned strike_out, unsigned char_set, unsigned out_precision, unsigned clip_precision, unsigned quality, unsigned pitch_and_family, const char *face), (height, width, escapement, orientation, weight, italic, underline, strike_out, char_set, out_precision, clip_precision, quality, pitch_and_family, face)) \
    X(PlatObject, plat_select_object, (PlatDC dc, PlatObject object), (dc, object)) \
    X(int, plat_delete_object, (PlatObject object), (object)) \
    X(int, plat_polygon, (PlatDC dc, const PlatPoint *points, int count), (dc, points, count)) \
    X(int, plat_rectangle, (PlatDC dc, int left, int top, int right, int bottom), (dc, left, top, right, bottom)) \
    X(int, plat_ellipse, (PlatDC dc, int left, int top, int right, int bottom), (dc, left, top, right, bottom)) \
    X(PlatColor, plat_set_text_color, (PlatDC dc, PlatColor color), (dc, color)) \
    X(int, plat_get_bk_mode, (PlatDC dc), (dc)) \
    X(int, plat_set_bk_mode, (PlatDC dc, int mode), (dc, mode)) \
    X(PlatColor, plat_get_bk_color, (PlatDC dc), (dc)) \
    X(int, plat_get_text_extent_point, (PlatDC dc, const char *text, int length, int *cx, int *cy), (dc, text, length, cx, cy)) \
    X(int, plat_get_text_metrics, (PlatDC dc, int *height, int *external_leading), (dc, height, external_leading)) \
    X(int, plat_text_out, (PlatDC dc, int x, int y, const char *text, int length), (dc, x, y, text, length)) \
    X(int, plat_scroll_dc, (PlatDC dc, int dx, int dy), (dc, dx, dy)) \
    X(int, plat_bit_blt, (PlatDC dest, int x, int y, int w, int h, PlatDC src, int src_x, int src_y, unsigned long rop), (dest, x, y, w, h, src, src_x, src_y, rop)) \
    X(int, plat_read_pixels, (PlatDC dc, int x, int y, int w, int h, std::uint32_t *rgb), (dc, x, y, w, h, rgb)) \
    X(PlatMem, plat_global_alloc, (std::size_t bytes), (bytes)) \
    X(char *, plat_global_lock, (PlatMem mem), (mem)) \
    X(void, plat_global_unlock, (PlatMem mem), (mem)) \
    X(void, plat_global_free, (PlatMem mem), (mem)) \
    X(void, plat_get_window_rect, (PlatWindow window, PlatRect *rect), (window, rect)) \
    X(int, plat_is_window_visible, (PlatWindow window), (window)) \
    X(PlatMenu, plat_get_menu, (PlatWindow window), (window)) \
    X(void, plat_invalidate, (PlatWindow window), (window)) \
    X(void, plat_delete_dc, (PlatDC dc), (dc)) \
    X(int, plat_get_menu_item_count, (PlatMenu menu), (menu)) \
    X(int, plat_get_menu_state, (PlatMenu menu, int pos), (menu, pos)) \
    X(unsigned, plat_get_menu_item_id, (PlatMenu menu, int pos), (menu, pos)) \
    X(int, plat_get_menu_string, (PlatMenu menu, int pos, char *buffer, int size), (menu, pos, buffer, size)) \
    X(PlatMenu, plat_get_sub_menu, (PlatMenu menu, int pos), (menu, pos)) \
    X(PlatColor, plat_get_pixel, (PlatDC dc, int x, int y), (dc, x, y))

#endif // QELMA_PLATFORM_SEAM_CALLS_H
