// The platform seam: the few window-system and graphics operations that QELMA
// needs, in the vocabulary of USER and GDI. Everything above this header is the
// same code on every platform; each backend (win32/, or a toolkit under the
// layer in winlayer/) implements every function declared here, and the few
// that only tests use to look inside (platform_inspect.h).
//
// The names follow the Windows calls they stand for (plat_peek_message for
// PeekMessageA, plat_rectangle for Rectangle, ...), the constants carry the
// Windows names and numbers, and handles are opaque pointers. A backend that
// includes <windows.h> first keeps the system's definitions of the constants.
//
// Rules every backend keeps:
//  - Sent messages run the window procedure at once: WM_CREATE (inside
//    plat_create_window), WM_SIZE (whenever the client size changes, also while
//    a window is created, given a menu and shown), WM_PAINT (when the toolkit
//    repaints the window or after plat_invalidate), WM_CLOSE and WM_DESTROY,
//    WM_ENDSESSION (wparam 1) when the program may be ended without
//    running again: the user logs off, or a web page is hidden or left, and
//    WM_KILLFOCUS when the window loses the keyboard.
//  - Everything else is queued in one FIFO per thread and leaves it through
//    plat_peek_message: clicks, key-downs and key-ups, characters, menu
//    commands (WM_COMMAND with the item id in wparam), timer ticks, posted
//    messages and WM_QUIT. A WM_CHAR made by plat_translate_message goes to the
//    front of the queue. At most one WM_TIMER per (window, timer id) waits.
//  - WM_LBUTTONDOWN packs the client position as lparam = x | (y << 16).
//    WM_KEYDOWN / WM_KEYUP carry the virtual-key code in wparam (letters and
//    digits are their capitals / digits, VK_CONTROL = 17, VK_NUMPAD0..9 for the
//    keypad) and the Windows bit layout in lparam; a key-down posted on to
//    another window must still translate into the character that was typed,
//    and still tell whether Ctrl was held (plat_key_ctrl_state).
//  - Every operation accepts a null or destroyed handle and then does nothing:
//    it returns 0, a null handle, -1 where 0 is a valid answer (menu states),
//    or PLAT_INVALID_COLOR for a colour, and fills any rectangle or size it
//    was given with zeros.
//  - Arguments stay within the PLAT_ limits below. QELMA keeps to them above
//    the seam (qelma/draw), so every backend draws the same pixels for the
//    same extreme call; a backend called with more only has to stay safe.
#ifndef QELMA_PLATFORM_PLATFORM_H
#define QELMA_PLATFORM_PLATFORM_H

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- handles
typedef struct PlatWindowImpl *PlatWindow; // HWND
typedef struct PlatMenuImpl *PlatMenu;     // HMENU
typedef struct PlatDCImpl *PlatDC;         // HDC
typedef struct PlatObjectImpl *PlatObject; // HGDIOBJ: pen, brush, font, bitmap
typedef struct PlatMemImpl *PlatMem;       // HGLOBAL

typedef std::uintptr_t PlatWParam;
typedef std::intptr_t PlatLParam;
typedef std::intptr_t PlatResult;
typedef PlatResult (*PlatWndProc)(PlatWindow window, unsigned message, PlatWParam wparam,
                                  PlatLParam lparam);

struct PlatMsg {
    PlatWindow window;
    unsigned message;
    PlatWParam wparam;
    PlatLParam lparam;
};

struct PlatPoint {
    int x, y;
};

struct PlatRect {
    int left, top, right, bottom;
};

// A colour as GDI packs it: 0x00BBGGRR.
typedef std::uint32_t PlatColor;
inline constexpr PlatColor plat_rgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}
inline constexpr unsigned plat_red(PlatColor c) { return c & 0xFF; }
inline constexpr unsigned plat_green(PlatColor c) { return (c >> 8) & 0xFF; }
inline constexpr unsigned plat_blue(PlatColor c) { return (c >> 16) & 0xFF; }

// ------------------------------------------------------------------ limits
// Coordinates: far beyond any surface, and within what every rasterizer in
// use takes exactly and at once (Wine's ellipse slows down past it).
inline constexpr int PLAT_COORD_LIMIT = 1 << 16;
// Pen widths: a wider pen covers a 601 x 540 canvas wherever it crosses it.
inline constexpr int PLAT_MAX_PEN_WIDTH = 1000;
// Font heights in pixels.
inline constexpr int PLAT_MAX_FONT_PIXELS = 1000;
// What colour queries return for a null or stale context or outside a surface.
inline constexpr PlatColor PLAT_INVALID_COLOR = 0xFFFFFFFFu;
// The face QELMA's texts ask for. No system has it by that name: each
// backend's font matching gives it a face with Arial's widths.
inline constexpr const char *PLAT_TEXT_FACE = "QELMA-font";

// --------------------------------------------------------------- constants
#ifndef WM_CREATE
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_KILLFOCUS 0x0008
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ENDSESSION 0x0016
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_USER 0x0400

#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_NUMPAD0 0x60

#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002

#define WS_SYSMENU 0x00080000L
#define WS_CAPTION 0x00C00000L
#define WS_OVERLAPPEDWINDOW 0x00CF0000L

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

#define MF_STRING 0x0000
#define MF_UNCHECKED 0x0000
#define MF_BYCOMMAND 0x0000
#define MF_GRAYED 0x0001
#define MF_CHECKED 0x0008
#define MF_POPUP 0x0010
#define MF_BYPOSITION 0x0400
#define MF_SEPARATOR 0x0800

#define PS_SOLID 0
#define NULL_BRUSH 5
#define BLACK_PEN 7
#define NULL_PEN 8
#define ANSI_FIXED_FONT 11

#define TRANSPARENT 1
#define OPAQUE 2

#define SRCCOPY 0x00CC0020
#endif

// --------------------------------------------------------------- the seam

// Prepares the toolkit (a no-op where the system needs nothing). Safe to call
// more than once.
void plat_init();

// Window classes and windows.
int plat_register_class(const char *class_name, PlatWndProc proc, unsigned class_style,
                        PlatObject background_brush);
// Creates a top-level window of outer size w x h at (x, y). WM_CREATE (and
// WM_SIZE) reach the class's procedure before this returns. The window starts
// hidden.
PlatWindow plat_create_window(const char *class_name, const char *title, unsigned long style,
                              int x, int y, int w, int h);
// Returns nonzero when the window was visible before.
int plat_show_window(PlatWindow window, int show_command);
void plat_get_client_rect(PlatWindow window, PlatRect *rect);
void plat_screen_size(int *width, int *height);
PlatResult plat_def_window_proc(PlatWindow window, unsigned message, PlatWParam wparam,
                                PlatLParam lparam);

// The message queue.
// Takes the next message of the thread without waiting; 0 when there is none.
int plat_peek_message(PlatMsg *msg);
void plat_translate_message(const PlatMsg *msg);
PlatResult plat_dispatch_message(const PlatMsg *msg);
// Blocks until a message is in the queue (returns at once when one is).
void plat_wait_message();
// The same for a program that has no use for timer ticks until something
// else comes: a tick alone does not end the wait, it stays queued and is
// taken after what ends it. A backend may end the wait on a tick anyway
// (Win32 does); on the page it spares the program a turn at every tick.
void plat_wait_input();
int plat_post_message(PlatWindow window, unsigned message, PlatWParam wparam, PlatLParam lparam);
void plat_post_quit_message(int exit_code);
// Whether Ctrl was held when the keyboard made the key message (key-down,
// key-up or its character) with this lparam that is being handled: 1 or 0;
// -1 when the lparam says nothing of the keyboard (a program made the
// message up), so that only the Ctrl key's own messages can tell. Windows
// always answers -1: a message another program posts there carries a scan
// code like the keyboard's own, and the thread's key state does not follow
// it; there WM_KILLFOCUS alone lets a held Ctrl go.
int plat_key_ctrl_state(PlatLParam lparam);

// Timers: every expiry queues WM_TIMER (wparam = id) for the window.
void plat_set_timer(PlatWindow window, unsigned id, unsigned period_ms);
void plat_kill_timer(PlatWindow window, unsigned id);

// Menus. id_or_popup is the command id, or the pop-up menu for MF_POPUP.
PlatMenu plat_create_menu();
PlatMenu plat_create_popup_menu();
int plat_append_menu(PlatMenu menu, unsigned flags, std::uintptr_t id_or_popup, const char *text);
void plat_set_menu(PlatWindow window, PlatMenu menu);
void plat_draw_menu_bar(PlatWindow window);
// flags: MF_CHECKED or MF_UNCHECKED, by command id. Returns the previous
// state (MF_CHECKED or MF_UNCHECKED), or -1 when no item has the id.
int plat_check_menu_item(PlatMenu menu, unsigned id, unsigned flags);

// Device contexts. A window's context draws on its client area; a memory
// context draws on the bitmap selected into it. A new context holds the black
// one-pixel pen, a white brush, the system font, black text on an opaque white
// background.
PlatDC plat_get_dc(PlatWindow window);
void plat_release_dc(PlatWindow window, PlatDC dc);
PlatDC plat_begin_paint(PlatWindow window);
void plat_end_paint(PlatWindow window);
PlatDC plat_create_compatible_dc(PlatDC dc);
// A bitmap of w x h pixels, black until drawn on.
PlatObject plat_create_compatible_bitmap(PlatDC dc, int w, int h);

// Drawing objects. Selecting returns what was selected before.
PlatObject plat_create_pen(int style, int width, PlatColor color); // width 0: one pixel
PlatObject plat_create_solid_brush(PlatColor color);
PlatObject plat_get_stock_object(int which); // NULL_BRUSH, BLACK_PEN, NULL_PEN, ANSI_FIXED_FONT
// As CreateFontA. A negative height asks for that character height in pixels.
PlatObject plat_create_font(int height, int width, int escapement, int orientation, int weight,
                            unsigned italic, unsigned underline, unsigned strike_out,
                            unsigned char_set, unsigned out_precision, unsigned clip_precision,
                            unsigned quality, unsigned pitch_and_family, const char *face);
PlatObject plat_select_object(PlatDC dc, PlatObject object);
int plat_delete_object(PlatObject object);

// Shapes, in pixel coordinates of the context. Rectangle and ellipse leave out
// the right column and the bottom row of their box; the outline is drawn with
// the selected pen and the inside filled with the selected brush.
int plat_polygon(PlatDC dc, const PlatPoint *points, int count);
int plat_rectangle(PlatDC dc, int left, int top, int right, int bottom);
int plat_ellipse(PlatDC dc, int left, int top, int right, int bottom);

// Text: (x, y) is the top-left corner of the text's cell.
PlatColor plat_set_text_color(PlatDC dc, PlatColor color);
int plat_get_bk_mode(PlatDC dc);
int plat_set_bk_mode(PlatDC dc, int mode);
PlatColor plat_get_bk_color(PlatDC dc);
int plat_get_text_extent_point(PlatDC dc, const char *text, int length, int *cx, int *cy);
// tmHeight and tmExternalLeading of the selected font.
int plat_get_text_metrics(PlatDC dc, int *height, int *external_leading);
int plat_text_out(PlatDC dc, int x, int y, const char *text, int length);

// Moves the whole content of the context by (dx, dy) pixels.
int plat_scroll_dc(PlatDC dc, int dx, int dy);
int plat_bit_blt(PlatDC dest, int x, int y, int w, int h, PlatDC src, int src_x, int src_y,
                 unsigned long rop);
// As GetDIBits: the w x h pixels at (x, y) as 0xRRGGBB, top row first, into
// rgb (w * h entries). 0, with rgb untouched, for a null or stale context or
// a rectangle that is empty or not wholly inside the surface.
int plat_read_pixels(PlatDC dc, int x, int y, int w, int h, std::uint32_t *rgb);

// Movable memory blocks (GlobalAlloc with GMEM_MOVEABLE and friends).
PlatMem plat_global_alloc(std::size_t bytes);
char *plat_global_lock(PlatMem mem);
void plat_global_unlock(PlatMem mem);
void plat_global_free(PlatMem mem);

#endif // QELMA_PLATFORM_PLATFORM_H
