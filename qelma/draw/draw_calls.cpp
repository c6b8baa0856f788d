// The public drawing calls: each corrects its arguments with a warning line,
// describes itself in the log while logging is on, and hands one record to
// the renderer.
#include <climits>
#include <cstdarg>
#include <cstring>

#include "qelma/draw/draw.h"
#include "qelma/log/log.h"
#include "qelma/session/services.h"

// The largest point size the renderer accepts.
static constexpr int MAX_POINT_SIZE = 127;
static_assert(MAX_POINT_SIZE <= PLAT_MAX_FONT_PIXELS, "every point size is a font the platforms make");

// The negation used for a bad size. INT_MIN has no positive counterpart in
// 32 bits; it becomes INT_MAX, the nearest value that has one.
static int negated(int v) { return v == INT_MIN ? INT_MAX : -v; }

// Corrects a negative pen width with its warning line.
static int checked_width(int width) {
    if (width < 0) {
        int corrected = negated(width);
        qelma_log_printf("Width of %d not possible, using width %d\n", width, corrected);
        return corrected;
    }
    return width;
}

// Puts the corners in order: (x1, y1) upper left, (x2, y2) lower right.
static void normalise_box(int &x1, int &y1, int &x2, int &y2) {
    if (x1 > x2) {
        int t = x1;
        x1 = x2;
        x2 = t;
    }
    if (y1 < y2) {
        int t = y1;
        y1 = y2;
        y2 = t;
    }
}

static DrawRecord box_record(int kind, int color, int width, int x1, int y1, int x2, int y2) {
    DrawRecord r{};
    r.kind = kind;
    r.color = color;
    r.width = width;
    r.x1 = x1;
    r.y1 = y1;
    r.x2 = x2;
    r.y2 = y2;
    return r;
}

extern "C" int qelma_draw_circle(int color, int x, int y, int radius) {
    color = validate_color(color);
    if (radius < 0) {
        int corrected = negated(radius);
        qelma_log_printf("Radius of %d not possible, using radius %d\n", radius, corrected);
        radius = corrected;
    }
    if (session_logging()) {
        qelma_log_printf("%s circle at (%d,%d), radius %d\n", palette_names[color], x, y, radius);
    }
    // The box is computed in 64 bits so that a huge radius cannot wrap round.
    auto clamp = [](long long v) {
        return static_cast<int>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
    };
    DrawRecord r = box_record(DRAW_OVAL, color, 0, clamp(static_cast<long long>(x) - radius),
                              clamp(static_cast<long long>(y) + radius),
                              clamp(static_cast<long long>(x) + radius),
                              clamp(static_cast<long long>(y) - radius));
    render_record(&r);
    return 1;
}

extern "C" int qelma_draw_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3,
                                   int width) {
    color = validate_color(color);
    width = checked_width(width);
    if (session_logging()) {
        qelma_log_printf("%s triangle at (%d,%d), (%d,%d), (%d,%d)\n", palette_names[color], x1, y1,
                         x2, y2, x3, y3);
    }
    DrawRecord r = box_record(DRAW_TRIANGLE, color, width, x1, y1, x2, y2);
    r.x3 = x3;
    r.y3 = y3;
    render_record(&r);
    return 1;
}

extern "C" int qelma_draw_rectangle(int color, int x1, int y1, int x2, int y2, int width) {
    normalise_box(x1, y1, x2, y2);
    color = validate_color(color);
    width = checked_width(width);
    if (session_logging()) {
        if (width == 0) {
            qelma_log_printf("%s rectangle with bounding box (%d,%d) to (%d,%d), filled\n",
                             palette_names[color], x1, y1, x2, y2);
        } else {
            qelma_log_printf(
                "%s rectangle with bounding box (%d,%d) to (%d,%d) with line width %d\n",
                palette_names[color], x1, y1, x2, y2, width);
        }
    }
    DrawRecord r = box_record(DRAW_RECTANGLE, color, width, x1, y1, x2, y2);
    render_record(&r);
    return 1;
}

extern "C" int qelma_draw_oval(int color, int x1, int y1, int x2, int y2, int width) {
    normalise_box(x1, y1, x2, y2);
    width = checked_width(width);
    color = validate_color(color);
    if (session_logging()) {
        if (width == 0) {
            qelma_log_printf("%s oval with bounding box (%d,%d) to (%d,%d), filled\n",
                             palette_names[color], x1, y1, x2, y2);
        } else {
            qelma_log_printf("%s oval with bounding box (%d,%d) to (%d,%d), line width %d\n",
                             palette_names[color], x1, y1, x2, y2, width);
        }
    }
    DrawRecord r = box_record(DRAW_OVAL, color, width, x1, y1, x2, y2);
    render_record(&r);
    return 1;
}

extern "C" int qelma_draw_text(int color, int x, int y, int point_size, const char *text) {
    if (point_size < 0) {
        int corrected = negated(point_size);
        qelma_log_printf("ptsize of %d not possible, using ptsize %d\n", point_size, corrected);
        point_size = corrected;
    }
    if (point_size > MAX_POINT_SIZE) {
        qelma_log_printf("ptsize of %d not possible, using ptsize %d\n", point_size,
                         MAX_POINT_SIZE);
        point_size = MAX_POINT_SIZE;
    }
    color = validate_color(color);
    if (text == nullptr) {
        text = ""; // a missing text draws nothing rather than crashing
    }
    if (session_logging()) {
        qelma_log_printf("%s text at (%d,%d), \"%s\"\n", palette_names[color], x, y, text);
    }

    std::size_t length = std::strlen(text);
    PlatMem block = plat_global_alloc(length + 1);
    char *copy = plat_global_lock(block);
    if (copy != nullptr) {
        std::memcpy(copy, text, length + 1);
        DrawRecord r{};
        r.kind = DRAW_TEXT;
        r.color = color;
        r.x1 = x;
        r.y1 = y;
        r.point_size = point_size;
        r.text = copy;
        render_record(&r);
    }
    plat_global_unlock(block);
    plat_global_free(block);
    return 1;
}

extern "C" int qelma_draw_textf(int color, int x, int y, int point_size, const char *format, ...) {
    char buffer[1024];
    char *text = nullptr;
    va_list args;
    va_start(args, format);
    int produced = format_text(buffer, sizeof buffer, &text, format, args);
    va_end(args);
    qelma_draw_text(color, x, y, point_size, text);
    release_formatted(buffer, text);
    return produced;
}

extern "C" int qelma_clear_canvas(void) {
    if (session_logging()) {
        qelma_log_printf("Clearing the graphics window\n");
    }
    fill_canvas_background();
    return 1;
}
