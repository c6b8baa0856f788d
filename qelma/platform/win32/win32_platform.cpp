// The Win32 backend of the platform seam: each plat_ function is the USER,
// GDI or kernel call it is named after, with the opaque Plat* handles cast to
// and from HWND, HMENU, HDC, HGDIOBJ and HGLOBAL. It does not use the Windows
// layer (winlayer/): Windows itself is that layer.
//
// Implements: every function of platform.h and platform_inspect.h.
// Leaves out: nothing the seam names; timers have no callback procedure.
// Departs from Windows (where the seam's shape differs):
//  - a translated character comes before everything queued (below);
//  - a WM_PAINT taken and not dispatched is dropped (below);
//  - boxes are cut to PLAT_COORD_LIMIT and font heights to
//    PLAT_MAX_FONT_PIXELS, for direct callers only (QELMA keeps to them).
//
// Four things need a little state here, because the seam's shape differs
// from the Windows one:
//  - a window procedure of the seam (PlatWndProc) is not a WNDPROC, so every
//    class is registered with one trampoline that finds the class's
//    PlatWndProc by the class atom;
//  - plat_begin_paint / plat_end_paint pass only the window, so the
//    PAINTSTRUCT of each window being painted is kept here;
//  - TranslateMessage posts its WM_CHAR behind messages already posted, while
//    the seam puts the character at the front of the queue; the characters it
//    makes are taken out of the system queue at once and handed out first;
//  - Windows hands out WM_PAINT again and again until the window is painted,
//    while a message taken through the seam has left the queue: a WM_PAINT
//    taken and not dispatched is dropped (the window validated) at the next
//    peek, so a loop that takes messages without dispatching them ends.
//
// <windows.h> comes before platform.h so that the constants are the system's.
#include <windows.h>

#include "qelma/platform/platform_inspect.h"

#include <vector>

static_assert(sizeof(PlatWParam) == sizeof(WPARAM), "wparam widths differ");
static_assert(sizeof(PlatLParam) == sizeof(LPARAM), "lparam widths differ");
static_assert(sizeof(PlatResult) == sizeof(LRESULT), "result widths differ");

// ------------------------------------------------------------ backend state

// One registered class: the atom RegisterClassA returned and the seam
// procedure its windows use.
struct ClassEntry {
    ATOM atom;
    PlatWndProc proc;
};

// One window between plat_begin_paint and plat_end_paint.
struct PaintEntry {
    HWND window;
    PAINTSTRUCT paint;
};

// Characters made by plat_translate_message that have not been peeked yet,
// oldest first. When the ring is full, further characters stay in the system
// queue, so none is lost.
constexpr int FRONT_CAPACITY = 16;

struct Win32State {
    std::vector<ClassEntry> classes; // every class registered through the seam
    std::vector<PaintEntry> paints;  // windows being painted now
    MSG front[FRONT_CAPACITY];       // translated characters, handed out first
    int front_first;                 // index of the oldest character in front
    int front_count;                 // number of characters in front
    HWND paint_taken;                // window of a WM_PAINT taken and not yet dispatched
    bool size_sent;                  // a WM_SIZE reached a seam procedure (creation check)
};

static Win32State win32;

// ------------------------------------------------------------ handle casts

static HWND hwnd_of(PlatWindow w) {
    return reinterpret_cast<HWND>(w);
}
static PlatWindow window_of(HWND h) {
    return reinterpret_cast<PlatWindow>(h);
}
static HMENU hmenu_of(PlatMenu m) {
    return reinterpret_cast<HMENU>(m);
}
static PlatMenu menu_of(HMENU h) {
    return reinterpret_cast<PlatMenu>(h);
}
static HDC hdc_of(PlatDC d) {
    return reinterpret_cast<HDC>(d);
}
static PlatDC dc_of(HDC h) {
    return reinterpret_cast<PlatDC>(h);
}
static HGDIOBJ gdi_of(PlatObject o) {
    return reinterpret_cast<HGDIOBJ>(o);
}
static PlatObject object_of(HGDIOBJ h) {
    return reinterpret_cast<PlatObject>(h);
}
static HGLOBAL hglobal_of(PlatMem m) {
    return reinterpret_cast<HGLOBAL>(m);
}
static PlatMem mem_of(HGLOBAL h) {
    return reinterpret_cast<PlatMem>(h);
}

static MSG msg_of(const PlatMsg *m) {
    MSG out{};
    out.hwnd = hwnd_of(m->window);
    out.message = m->message;
    out.wParam = m->wparam;
    out.lParam = m->lparam;
    out.time = static_cast<DWORD>(GetMessageTime());
    DWORD pos = GetMessagePos();
    out.pt.x = static_cast<short>(LOWORD(pos));
    out.pt.y = static_cast<short>(HIWORD(pos));
    return out;
}

// ------------------------------------------------------------ set-up

void plat_init() {
    // Pixels are pixels: the 601 x 540 window and its canvas must not be
    // scaled by the system on a high-DPI screen. Harmless when called again.
    SetProcessDPIAware();
}

// ------------------------------------------------------------ classes, windows

static PlatWndProc proc_of_window(HWND hwnd) {
    auto atom = static_cast<ATOM>(GetClassLongPtrA(hwnd, GCW_ATOM));
    for (const ClassEntry &entry : win32.classes) {
        if (entry.atom == atom) {
            return entry.proc;
        }
    }
    return nullptr;
}

// The messages a seam procedure hears: those platform.h names, and the
// application's own from WM_USER on. The rest of what Windows sends (non-client
// painting, activation, cursor shape, ...) gets the default handling directly,
// which is all a seam procedure could do with it.
static bool seam_message(UINT message) {
    switch (message) {
    case WM_CREATE:
    case WM_DESTROY:
    case WM_SIZE:
    case WM_PAINT:
    case WM_CLOSE:
    case WM_ENDSESSION:
    case WM_KILLFOCUS:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_COMMAND:
    case WM_TIMER:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return true;
    default:
        return message >= WM_USER;
    }
}

// The one WNDPROC of every class registered through the seam.
static LRESULT CALLBACK trampoline(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    PlatWndProc proc = seam_message(message) ? proc_of_window(hwnd) : nullptr;
    if (message == WM_SIZE) {
        win32.size_sent = true;
    }
    if (proc == nullptr) {
        return DefWindowProcA(hwnd, message, wparam, lparam);
    }
    return proc(window_of(hwnd), message, wparam, lparam);
}

int plat_register_class(const char *class_name, PlatWndProc proc, unsigned class_style,
                        PlatObject background_brush) {
    if (class_name == nullptr || proc == nullptr) {
        return 0;
    }
    WNDCLASSA wc{};
    wc.style = class_style;
    wc.lpfnWndProc = trampoline;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(gdi_of(background_brush));
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = class_name;
    ATOM atom = RegisterClassA(&wc);
    if (atom == 0) {
        return 0; // already registered, or refused: the old procedure stays
    }
    win32.classes.push_back(ClassEntry{atom, proc});
    return 1;
}

PlatWindow plat_create_window(const char *class_name, const char *title, unsigned long style, int x,
                              int y, int w, int h) {
    if (class_name == nullptr) {
        return nullptr;
    }
    // The window starts hidden whatever the style asks; CreateWindowExA takes
    // the outer size, which is what the seam passes.
    DWORD hidden_style = static_cast<DWORD>(style) & ~static_cast<DWORD>(WS_VISIBLE);
    // A negative size is taken as empty rather than passed on.
    w = w < 0 ? 0 : w;
    h = h < 0 ? 0 : h;
    bool outer_size_sent = win32.size_sent; // creation may nest
    win32.size_sent = false;
    HWND hwnd = CreateWindowExA(0, class_name, title != nullptr ? title : "", hidden_style, x, y, w,
                                h, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    // Windows sends a hidden top-level window its first WM_SIZE when it is
    // shown; the seam promises it before the window is returned.
    if (hwnd != nullptr && !win32.size_sent) {
        RECT client{};
        GetClientRect(hwnd, &client);
        SendMessageA(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    }
    win32.size_sent = outer_size_sent;
    return window_of(hwnd);
}

int plat_show_window(PlatWindow window, int show_command) {
    if (window == nullptr) {
        return 0;
    }
    return ShowWindow(hwnd_of(window), show_command) ? 1 : 0;
}

int plat_is_window_visible(PlatWindow window) {
    if (window == nullptr) {
        return 0;
    }
    return IsWindowVisible(hwnd_of(window)) ? 1 : 0;
}

static void copy_rect(const RECT &from, PlatRect *to) {
    to->left = from.left;
    to->top = from.top;
    to->right = from.right;
    to->bottom = from.bottom;
}

void plat_get_client_rect(PlatWindow window, PlatRect *rect) {
    if (rect == nullptr) {
        return;
    }
    RECT r{};
    if (window == nullptr || !GetClientRect(hwnd_of(window), &r)) {
        r = RECT{0, 0, 0, 0};
    }
    copy_rect(r, rect);
}

void plat_get_window_rect(PlatWindow window, PlatRect *rect) {
    if (rect == nullptr) {
        return;
    }
    RECT r{};
    if (window == nullptr || !GetWindowRect(hwnd_of(window), &r)) {
        r = RECT{0, 0, 0, 0};
    }
    copy_rect(r, rect);
}

void plat_screen_size(int *width, int *height) {
    if (width != nullptr) {
        *width = GetSystemMetrics(SM_CXSCREEN);
    }
    if (height != nullptr) {
        *height = GetSystemMetrics(SM_CYSCREEN);
    }
}

void plat_invalidate(PlatWindow window) {
    if (window == nullptr) {
        return;
    }
    InvalidateRect(hwnd_of(window), nullptr, TRUE);
}

PlatResult plat_def_window_proc(PlatWindow window, unsigned message, PlatWParam wparam,
                                PlatLParam lparam) {
    if (window == nullptr) {
        return 0;
    }
    return DefWindowProcA(hwnd_of(window), message, wparam, lparam);
}

// ------------------------------------------------------------ message queue

// Takes the first character message queued for hwnd, if any.
static bool take_character(HWND hwnd, UINT remove, MSG *out) {
    return PeekMessageA(out, hwnd, WM_CHAR, WM_DEADCHAR, remove) ||
           PeekMessageA(out, hwnd, WM_SYSCHAR, WM_SYSDEADCHAR, remove);
}

int plat_peek_message(PlatMsg *msg) {
    if (msg == nullptr) {
        return 0;
    }
    if (win32.paint_taken != nullptr) {
        ValidateRect(win32.paint_taken, nullptr);
        win32.paint_taken = nullptr;
    }
    MSG m{};
    if (win32.front_count > 0) {
        m = win32.front[win32.front_first];
        win32.front_first = (win32.front_first + 1) % FRONT_CAPACITY;
        --win32.front_count;
    } else if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        return 0;
    }
    if (m.message == WM_PAINT) {
        win32.paint_taken = m.hwnd;
    }
    msg->window = window_of(m.hwnd);
    msg->message = m.message;
    msg->wparam = m.wParam;
    msg->lparam = m.lParam;
    return 1;
}

void plat_translate_message(const PlatMsg *msg) {
    if (msg == nullptr) {
        return;
    }
    MSG m = msg_of(msg);
    bool key_down = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
    // A character already waiting for this window was queued by someone
    // else; with one there, the new one cannot be told apart, so both keep
    // the system's order.
    MSG probe{};
    bool character_waiting = key_down && take_character(m.hwnd, PM_NOREMOVE, &probe);
    TranslateMessage(&m);
    if (!key_down || character_waiting) {
        return;
    }
    MSG made{};
    while (win32.front_count < FRONT_CAPACITY && take_character(m.hwnd, PM_REMOVE, &made)) {
        int slot = (win32.front_first + win32.front_count) % FRONT_CAPACITY;
        win32.front[slot] = made;
        ++win32.front_count;
    }
}

PlatResult plat_dispatch_message(const PlatMsg *msg) {
    if (msg == nullptr) {
        return 0;
    }
    MSG m = msg_of(msg);
    if (m.message == WM_PAINT && m.hwnd == win32.paint_taken) {
        win32.paint_taken = nullptr; // the procedure paints it now
    }
    // The seam's timers have no callback: a WM_TIMER never carries a
    // procedure address for DispatchMessageA to call.
    if (m.message == WM_TIMER) {
        m.lParam = 0;
    }
    return DispatchMessageA(&m);
}

void plat_wait_message() {
    if (win32.paint_taken != nullptr) {
        ValidateRect(win32.paint_taken, nullptr); // taken and dropped, as at the next peek
        win32.paint_taken = nullptr;
    }
    if (win32.front_count > 0) {
        return; // a translated character is waiting here, not in the system queue
    }
    WaitMessage();
}

// WaitMessage has no way to leave timers out; a tick that ends the wait is
// taken and handled as at any wait, which costs a native program nothing.
void plat_wait_input() {
    plat_wait_message();
}

int plat_post_message(PlatWindow window, unsigned message, PlatWParam wparam, PlatLParam lparam) {
    if (window == nullptr) {
        return 0;
    }
    return PostMessageA(hwnd_of(window), message, wparam, lparam) ? 1 : 0;
}

void plat_post_quit_message(int exit_code) {
    PostQuitMessage(exit_code);
}

// Keys posted by another program (a test driver, an automation tool) look
// like the keyboard's own and leave GetKeyState as it was, so Ctrl is told
// by the key messages themselves, and WM_KILLFOCUS lets it go.
int plat_key_ctrl_state(PlatLParam) {
    return -1;
}

// ------------------------------------------------------------ timers

void plat_set_timer(PlatWindow window, unsigned id, unsigned period_ms) {
    if (window == nullptr) {
        return;
    }
    SetTimer(hwnd_of(window), id, period_ms, nullptr);
}

void plat_kill_timer(PlatWindow window, unsigned id) {
    if (window == nullptr) {
        return;
    }
    KillTimer(hwnd_of(window), id);
}

// ------------------------------------------------------------ menus

PlatMenu plat_create_menu() {
    return menu_of(CreateMenu());
}

PlatMenu plat_create_popup_menu() {
    return menu_of(CreatePopupMenu());
}

int plat_append_menu(PlatMenu menu, unsigned flags, std::uintptr_t id_or_popup, const char *text) {
    if (menu == nullptr) {
        return 0;
    }
    if (text == nullptr && (flags & MF_SEPARATOR) == 0) {
        text = ""; // a string item without text stays a string item
    }
    return AppendMenuA(hmenu_of(menu), flags, id_or_popup, text) ? 1 : 0;
}

void plat_set_menu(PlatWindow window, PlatMenu menu) {
    if (window == nullptr) {
        return;
    }
    SetMenu(hwnd_of(window), hmenu_of(menu));
}

PlatMenu plat_get_menu(PlatWindow window) {
    if (window == nullptr) {
        return nullptr;
    }
    return menu_of(GetMenu(hwnd_of(window)));
}

void plat_draw_menu_bar(PlatWindow window) {
    if (window == nullptr) {
        return;
    }
    DrawMenuBar(hwnd_of(window));
}

int plat_check_menu_item(PlatMenu menu, unsigned id, unsigned flags) {
    if (menu == nullptr) {
        return -1;
    }
    DWORD previous = CheckMenuItem(hmenu_of(menu), id, flags & (MF_CHECKED | MF_BYPOSITION));
    return previous == static_cast<DWORD>(-1) ? -1 : static_cast<int>(previous & MF_CHECKED);
}

int plat_get_menu_item_count(PlatMenu menu) {
    if (menu == nullptr) {
        return -1;
    }
    return GetMenuItemCount(hmenu_of(menu)); // -1 for a menu that is gone
}

int plat_get_menu_state(PlatMenu menu, int pos) {
    if (menu == nullptr || pos < 0) {
        return -1;
    }
    UINT state = GetMenuState(hmenu_of(menu), static_cast<UINT>(pos), MF_BYPOSITION);
    if (state == static_cast<UINT>(-1)) {
        return -1;
    }
    // A pop-up's state carries its item count in the high byte: keep the
    // flag bits only. A separator is reported as MF_SEPARATOR alone (some
    // systems also mark it grayed, which says nothing for an item that can
    // never be chosen).
    if ((state & MF_SEPARATOR) != 0) {
        return MF_SEPARATOR;
    }
    return static_cast<int>(state & (MF_CHECKED | MF_GRAYED | MF_POPUP));
}

unsigned plat_get_menu_item_id(PlatMenu menu, int pos) {
    if (menu == nullptr || pos < 0) {
        return static_cast<unsigned>(-1);
    }
    return GetMenuItemID(hmenu_of(menu), pos);
}

int plat_get_menu_string(PlatMenu menu, int pos, char *buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        // No room: the length the text needs, as GetMenuStringA tells it.
        if (menu == nullptr || pos < 0) {
            return 0;
        }
        return GetMenuStringA(hmenu_of(menu), static_cast<UINT>(pos), nullptr, 0, MF_BYPOSITION);
    }
    buffer[0] = '\0';
    if (menu == nullptr || pos < 0) {
        return 0;
    }
    // Some systems fill a short buffer to its end without the NUL: cut the
    // text one character short and terminate it here.
    int copied =
        GetMenuStringA(hmenu_of(menu), static_cast<UINT>(pos), buffer, size, MF_BYPOSITION);
    if (copied < 0) {
        copied = 0;
    }
    if (copied > size - 1) {
        copied = size - 1;
    }
    buffer[copied] = '\0';
    return copied;
}

PlatMenu plat_get_sub_menu(PlatMenu menu, int pos) {
    if (menu == nullptr || pos < 0) {
        return nullptr;
    }
    return menu_of(GetSubMenu(hmenu_of(menu), pos));
}

// ------------------------------------------------------------ device contexts

PlatDC plat_get_dc(PlatWindow window) {
    if (window == nullptr) {
        return nullptr; // GetDC(NULL) would hand out the whole screen
    }
    return dc_of(GetDC(hwnd_of(window)));
}

void plat_release_dc(PlatWindow window, PlatDC dc) {
    if (window == nullptr || dc == nullptr) {
        return;
    }
    ReleaseDC(hwnd_of(window), hdc_of(dc));
}

PlatDC plat_begin_paint(PlatWindow window) {
    if (window == nullptr) {
        return nullptr;
    }
    HWND hwnd = hwnd_of(window);
    for (const PaintEntry &entry : win32.paints) {
        if (entry.window == hwnd) {
            return dc_of(entry.paint.hdc); // already painting: the same context
        }
    }
    PaintEntry entry{};
    entry.window = hwnd;
    HDC dc = BeginPaint(hwnd, &entry.paint);
    if (dc == nullptr) {
        return nullptr;
    }
    win32.paints.push_back(entry);
    return dc_of(dc);
}

void plat_end_paint(PlatWindow window) {
    HWND hwnd = hwnd_of(window);
    for (std::size_t i = 0; i < win32.paints.size(); ++i) {
        if (win32.paints[i].window == hwnd) {
            EndPaint(hwnd, &win32.paints[i].paint);
            win32.paints.erase(win32.paints.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

// A null context means the screen, as for CreateCompatibleDC.
PlatDC plat_create_compatible_dc(PlatDC dc) {
    return dc_of(CreateCompatibleDC(hdc_of(dc)));
}

void plat_delete_dc(PlatDC dc) {
    if (dc == nullptr) {
        return;
    }
    DeleteDC(hdc_of(dc));
}

PlatObject plat_create_compatible_bitmap(PlatDC dc, int w, int h) {
    if (dc == nullptr || w <= 0 || h <= 0) {
        return nullptr;
    }
    // A new memory context holds a 1 x 1 monochrome bitmap, and a bitmap
    // made compatible with it would be monochrome too: such a context gets a
    // bitmap in the screen's format instead.
    HDC like = hdc_of(dc);
    HDC screen = nullptr;
    if (GetObjectType(like) == OBJ_MEMDC) {
        BITMAP current{};
        HGDIOBJ selected = GetCurrentObject(like, OBJ_BITMAP);
        if (GetObjectA(selected, sizeof current, &current) == 0 || current.bmBitsPixel == 1) {
            screen = GetDC(nullptr);
            like = screen;
        }
    }
    HBITMAP bitmap = CreateCompatibleBitmap(like, w, h);
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    if (bitmap == nullptr) {
        return nullptr;
    }
    // The system does not promise the contents of a new bitmap: make it black.
    HDC scratch = CreateCompatibleDC(nullptr);
    if (scratch != nullptr) {
        HGDIOBJ previous = SelectObject(scratch, bitmap);
        PatBlt(scratch, 0, 0, w, h, BLACKNESS);
        SelectObject(scratch, previous);
        DeleteDC(scratch);
    }
    return object_of(bitmap);
}

// ------------------------------------------------------------ drawing objects

PlatObject plat_create_pen(int style, int width, PlatColor color) {
    // A negative width is taken as the one-pixel pen (GDI would make it wide).
    return object_of(CreatePen(style, width < 0 ? 0 : width, color));
}

PlatObject plat_create_solid_brush(PlatColor color) {
    return object_of(CreateSolidBrush(color));
}

PlatObject plat_get_stock_object(int which) {
    return object_of(GetStockObject(which));
}

static int clamp_font_size(int size) {
    if (size > PLAT_MAX_FONT_PIXELS) {
        return PLAT_MAX_FONT_PIXELS;
    }
    if (size < -PLAT_MAX_FONT_PIXELS) {
        return -PLAT_MAX_FONT_PIXELS;
    }
    return size;
}

PlatObject plat_create_font(int height, int width, int escapement, int orientation, int weight,
                            unsigned italic, unsigned underline, unsigned strike_out,
                            unsigned char_set, unsigned out_precision, unsigned clip_precision,
                            unsigned quality, unsigned pitch_and_family, const char *face) {
    // Sizes beyond any screen are cut to PLAT_MAX_FONT_PIXELS, keeping the sign
    // (a negative height asks for the character height).
    height = clamp_font_size(height);
    width = clamp_font_size(width);
    // The quality goes through as asked: 0 lets the system smooth glyphs as
    // the desktop does.
    return object_of(CreateFontA(height, width, escapement, orientation, weight, italic, underline,
                                 strike_out, char_set, out_precision, clip_precision, quality,
                                 pitch_and_family, face));
}

PlatObject plat_select_object(PlatDC dc, PlatObject object) {
    if (dc == nullptr || object == nullptr) {
        return nullptr;
    }
    return object_of(SelectObject(hdc_of(dc), gdi_of(object)));
}

int plat_delete_object(PlatObject object) {
    if (object == nullptr) {
        return 0;
    }
    return DeleteObject(gdi_of(object)) ? 1 : 0;
}

// ------------------------------------------------------------ shapes

int plat_polygon(PlatDC dc, const PlatPoint *points, int count) {
    if (dc == nullptr || points == nullptr || count < 2) {
        return 0;
    }
    std::vector<POINT> corners(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        corners[static_cast<std::size_t>(i)] = POINT{points[i].x, points[i].y};
    }
    return Polygon(hdc_of(dc), corners.data(), count) ? 1 : 0;
}

// A box of one pixel is that pixel in the colour of a thin pen. Windows
// draws it so; Wine draws nothing for the empty outline. Setting the pixel
// again changes nothing where the system already drew it.
static void draw_unit_box(HDC dc, int left, int top, int right, int bottom) {
    if ((right - left != 1 && left - right != 1) || (bottom - top != 1 && top - bottom != 1)) {
        return;
    }
    LOGPEN pen{};
    HGDIOBJ current = GetCurrentObject(dc, OBJ_PEN);
    if (GetObjectA(current, sizeof pen, &pen) != sizeof pen || pen.lopnStyle == PS_NULL ||
        pen.lopnWidth.x > 1) {
        return;
    }
    SetPixel(dc, left < right ? left : right, top < bottom ? top : bottom, pen.lopnColor);
}

// Boxes from direct callers are cut to the seam's limit (QELMA keeps to it
// already): Windows refuses coordinates past 2^27, and Wine's ellipse takes
// minutes for a box millions of pixels high.
constexpr int MAX_BOX_COORD = PLAT_COORD_LIMIT;

static void clamp_box(int *left, int *top, int *right, int *bottom) {
    int *coords[4] = {left, top, right, bottom};
    for (int *c : coords) {
        *c = *c > MAX_BOX_COORD ? MAX_BOX_COORD : (*c < -MAX_BOX_COORD ? -MAX_BOX_COORD : *c);
    }
}

int plat_rectangle(PlatDC dc, int left, int top, int right, int bottom) {
    if (dc == nullptr) {
        return 0;
    }
    clamp_box(&left, &top, &right, &bottom);
    int ok = Rectangle(hdc_of(dc), left, top, right, bottom) ? 1 : 0;
    if (ok) {
        draw_unit_box(hdc_of(dc), left, top, right, bottom);
    }
    return ok;
}

int plat_ellipse(PlatDC dc, int left, int top, int right, int bottom) {
    if (dc == nullptr) {
        return 0;
    }
    clamp_box(&left, &top, &right, &bottom);
    int ok = Ellipse(hdc_of(dc), left, top, right, bottom) ? 1 : 0;
    if (ok) {
        draw_unit_box(hdc_of(dc), left, top, right, bottom);
    }
    return ok;
}

// ------------------------------------------------------------ text

PlatColor plat_set_text_color(PlatDC dc, PlatColor color) {
    if (dc == nullptr) {
        return PLAT_INVALID_COLOR;
    }
    return SetTextColor(hdc_of(dc), color);
}

int plat_get_bk_mode(PlatDC dc) {
    if (dc == nullptr) {
        return 0;
    }
    return GetBkMode(hdc_of(dc));
}

int plat_set_bk_mode(PlatDC dc, int mode) {
    if (dc == nullptr) {
        return 0;
    }
    return SetBkMode(hdc_of(dc), mode);
}

PlatColor plat_get_bk_color(PlatDC dc) {
    if (dc == nullptr) {
        return PLAT_INVALID_COLOR;
    }
    return GetBkColor(hdc_of(dc));
}

int plat_get_text_extent_point(PlatDC dc, const char *text, int length, int *cx, int *cy) {
    SIZE size{0, 0};
    int ok = 0;
    if (dc != nullptr && text != nullptr && length >= 0) {
        ok = GetTextExtentPoint32A(hdc_of(dc), text, length, &size) ? 1 : 0;
    }
    if (!ok) {
        size = SIZE{0, 0};
    } else if (length == 0) {
        // An empty text is one cell high, as Windows measures it (Wine says 0).
        TEXTMETRICA tm{};
        if (GetTextMetricsA(hdc_of(dc), &tm)) {
            size.cy = tm.tmHeight;
        }
    }
    if (cx != nullptr) {
        *cx = size.cx;
    }
    if (cy != nullptr) {
        *cy = size.cy;
    }
    return ok;
}

int plat_get_text_metrics(PlatDC dc, int *height, int *external_leading) {
    TEXTMETRICA tm{};
    int ok = dc != nullptr && GetTextMetricsA(hdc_of(dc), &tm) ? 1 : 0;
    if (height != nullptr) {
        *height = ok ? tm.tmHeight : 0;
    }
    if (external_leading != nullptr) {
        *external_leading = ok ? tm.tmExternalLeading : 0;
    }
    return ok;
}

int plat_text_out(PlatDC dc, int x, int y, const char *text, int length) {
    if (dc == nullptr || text == nullptr || length < 0) {
        return 0;
    }
    return TextOutA(hdc_of(dc), x, y, text, length) ? 1 : 0;
}

// ------------------------------------------------------------ copies and pixels

int plat_scroll_dc(PlatDC dc, int dx, int dy) {
    if (dc == nullptr) {
        return 0;
    }
    return ScrollDC(hdc_of(dc), dx, dy, nullptr, nullptr, nullptr, nullptr) ? 1 : 0;
}

int plat_bit_blt(PlatDC dest, int x, int y, int w, int h, PlatDC src, int src_x, int src_y,
                 unsigned long rop) {
    // The seam copies pixels as they are (SRCCOPY) and nothing else, as every
    // backend does; a negative size would mirror on some systems: nothing.
    if (dest == nullptr || src == nullptr || w <= 0 || h <= 0 || rop != SRCCOPY) {
        return 0;
    }
    return BitBlt(hdc_of(dest), x, y, w, h, hdc_of(src), src_x, src_y, static_cast<DWORD>(rop)) ? 1
                                                                                                : 0;
}

// Copied through a 32-bit top-down DIB section, which reads any context
// (GetDIBits wants the bitmap deselected).
int plat_read_pixels(PlatDC dc, int x, int y, int w, int h, std::uint32_t *rgb) {
    if (dc == nullptr || rgb == nullptr || w <= 0 || h <= 0 || x < 0 || y < 0) {
        return 0;
    }
    HDC source = hdc_of(dc);
    BITMAP current{};
    HGDIOBJ selected = GetCurrentObject(source, OBJ_BITMAP);
    if (GetObjectType(source) == OBJ_MEMDC &&
        (GetObjectA(selected, sizeof current, &current) == 0 || x > current.bmWidth - w ||
         y > current.bmHeight - h)) {
        return 0;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HDC copy = CreateCompatibleDC(source);
    HBITMAP dib = CreateDIBSection(copy, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    int done = 0;
    if (copy != nullptr && dib != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(copy, dib);
        if (BitBlt(copy, 0, 0, w, h, source, x, y, SRCCOPY)) {
            GdiFlush();
            const auto *pixels = static_cast<const std::uint32_t *>(bits);
            for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i) {
                rgb[i] = pixels[i] & 0xFFFFFFu; // BGRA in memory: 0xRRGGBB as a number
            }
            done = 1;
        }
        SelectObject(copy, old);
    }
    if (dib != nullptr) {
        DeleteObject(dib);
    }
    if (copy != nullptr) {
        DeleteDC(copy);
    }
    return done;
}

PlatColor plat_get_pixel(PlatDC dc, int x, int y) {
    if (dc == nullptr) {
        return CLR_INVALID;
    }
    return GetPixel(hdc_of(dc), x, y);
}

// ------------------------------------------------------------ memory blocks

// A movable block of 0 bytes would be born discarded (GlobalLock gives NULL):
// it gets one byte instead, so every block that was allocated can be locked.
PlatMem plat_global_alloc(std::size_t bytes) {
    return mem_of(GlobalAlloc(GMEM_MOVEABLE, bytes == 0 ? 1 : bytes));
}

char *plat_global_lock(PlatMem mem) {
    if (mem == nullptr) {
        return nullptr;
    }
    return static_cast<char *>(GlobalLock(hglobal_of(mem)));
}

void plat_global_unlock(PlatMem mem) {
    if (mem == nullptr) {
        return;
    }
    GlobalUnlock(hglobal_of(mem));
}

void plat_global_free(PlatMem mem) {
    if (mem == nullptr) {
        return;
    }
    GlobalFree(hglobal_of(mem));
}
