// The message log ring, the text window that shows it and the logging switch.
#include "qelma/log/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "qelma/qelma.h"
#include "qelma/session/observer.h"
#include "qelma/session/services.h"

static int advance(int index) { return index == LOG_RING_SIZE - 1 ? 0 : index + 1; }

// Formats into a 1024-byte buffer; text that does not fit is formatted again
// into a block of its own size, up to LOG_LINE_LIMIT characters. Returns the
// formatting's result; *text points at the formatted characters and must be
// released with release_formatted when it is not `buffer`.
__attribute__((format(printf, 4, 0))) int format_text(char *buffer, std::size_t size, char **text,
                                                     const char *format, va_list args) {
    if (format == nullptr) {
        format = ""; // a missing format formats nothing
    }
    va_list again;
    va_copy(again, args);
    int produced = std::vsnprintf(buffer, size, format, args);
    *text = buffer;
    if (produced < 0) {
        buffer[0] = '\0';
    } else if (static_cast<std::size_t>(produced) >= size) {
        std::size_t length = static_cast<std::size_t>(produced);
        if (length > LOG_LINE_LIMIT) {
            length = LOG_LINE_LIMIT;
        }
        char *grown = static_cast<char *>(std::malloc(length + 1));
        if (grown != nullptr) {
            std::vsnprintf(grown, length + 1, format, again);
            *text = grown;
        }
    }
    va_end(again);
    return produced;
}

void release_formatted(char *buffer, char *text) {
    if (text != buffer) {
        std::free(text);
    }
}

static void store_line(const char *text) {
    std::size_t n = std::strlen(text);
    // The new block is taken before the oldest line is dropped, so a failed
    // allocation loses nothing that was stored.
    PlatMem block = plat_global_alloc(n + 1);
    char *copy = plat_global_lock(block);
    if (copy == nullptr) {
        plat_global_free(block);
        return;
    }
    std::memcpy(copy, text, n + 1);
    plat_global_unlock(block);

    LogRing ring = session_log_ring();
    if (ring.first == ring.next) {
        plat_global_free(ring.lines[ring.first]);
        ring.lines[ring.first] = nullptr;
        ring.first = advance(ring.first);
    }
    ring.lines[ring.next] = block;
    if (ring.first == -1) {
        ring.first = ring.next;
    }
    ring.next = advance(ring.next);
}

extern "C" int qelma_log_printf(const char *format, ...) {
    char buffer[1024];
    char *text = nullptr;
    va_list args;
    va_start(args, format);
    int produced = format_text(buffer, sizeof buffer, &text, format, args);
    va_end(args);

    store_line(text);
    show_log_line(text);
    if (SessionObserver *watching = session_observer()) {
        watching->line_logged(text);
    }
    release_formatted(buffer, text);
    return produced;
}

void show_log_line(const char *text) {
    if (session_text_window() == nullptr) {
        return; // no window yet: the ring alone keeps the line
    }
    PlatDC dc = plat_get_dc(session_text_window());
    if (dc == nullptr) {
        return;
    }
    PlatObject old_font = plat_select_object(dc, plat_get_stock_object(ANSI_FIXED_FONT));
    int height = 0;
    int leading = 0;
    plat_get_text_metrics(dc, &height, &leading);
    int h = height + leading;

    plat_scroll_dc(dc, 0, -h);
    PlatRect client{};
    plat_get_client_rect(session_text_window(), &client);

    PlatObject brush = plat_create_solid_brush(plat_get_bk_color(dc));
    PlatObject old_brush = plat_select_object(dc, brush);
    PlatObject old_pen = plat_select_object(dc, plat_get_stock_object(NULL_PEN));
    plat_rectangle(dc, client.left, client.bottom - h, client.right, client.bottom + 1);
    plat_select_object(dc, old_pen);
    plat_select_object(dc, old_brush);
    plat_delete_object(brush);

    int length = static_cast<int>(std::strlen(text));
    if (length > 0 && text[length - 1] == '\n') {
        --length; // the line's own end is not drawn
    }
    plat_text_out(dc, client.left + 5, client.bottom - h, text, length);
    plat_select_object(dc, old_font);
    plat_release_dc(session_text_window(), dc);
}

PlatResult text_window_proc(PlatWindow window, unsigned message, PlatWParam wparam,
                            PlatLParam lparam) {
    switch (message) {
    case WM_PAINT: {
        plat_begin_paint(window);
        LogRing ring = session_log_ring();
        if (ring.first != -1) {
            int i = ring.first;
            do {
                char *line = plat_global_lock(ring.lines[i]);
                if (line != nullptr) {
                    show_log_line(line);
                }
                plat_global_unlock(ring.lines[i]);
                i = advance(i);
            } while (i != ring.next);
        }
        plat_end_paint(window);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_KILLFOCUS: // a Ctrl held here is not held once the keys go elsewhere
        plat_post_message(session_graphics_window(), message, wparam, lparam);
        return 0;
    default:
        return plat_def_window_proc(window, message, wparam, lparam);
    }
}

extern "C" int qelma_set_logging(int flag) {
    if (session_graphics_window() == nullptr) {
        return 0;
    }
    session_set_logging(flag != 0);
    if (flag != 0) {
        qelma_show_log_window(1);
    }
    return 1;
}

extern "C" int qelma_show_log_window(int flag) {
    return plat_show_window(session_text_window(), flag != 0 ? SW_SHOW : SW_HIDE);
}

int qelma_log_count() {
    LogRing ring = session_log_ring();
    if (ring.first == -1) {
        return 0;
    }
    int n = ring.next - ring.first;
    return n <= 0 ? n + LOG_RING_SIZE : n;
}

const char *qelma_log_line(int i) {
    if (i < 0 || i >= qelma_log_count()) {
        return nullptr;
    }
    LogRing ring = session_log_ring();
    PlatMem block = ring.lines[(ring.first + i) % LOG_RING_SIZE];
    const char *text = plat_global_lock(block);
    plat_global_unlock(block); // blocks never move on our platforms while the ring holds them
    return text;
}
