// The canvas renderer: paints one drawing record on the canvas through the
// platform's drawing context, creating and deleting its pen, brush and font
// for each record.
#include <cstring>

#include "qelma/draw/draw.h"
#include "qelma/session/services.h"


static void render_shape(const DrawRecord *r) {
    PlatDC dc = session_canvas_dc();
    PlatColor color = palette_color(r->color);
    // A pen wider than this covers the whole canvas wherever its outline
    // crosses it, so wider ones are drawn at this width.
    constexpr int widest_pen = PLAT_MAX_PEN_WIDTH;
    PlatObject pen = plat_create_pen(PS_SOLID, r->width < widest_pen ? r->width : widest_pen, color);
    PlatObject old_pen = plat_select_object(dc, pen);
    PlatObject brush = r->width == 0 ? plat_create_solid_brush(color) : nullptr;
    PlatObject old_brush =
        plat_select_object(dc, brush != nullptr ? brush : plat_get_stock_object(NULL_BRUSH));

    if (r->kind == DRAW_TRIANGLE) {
        PlatPoint points[3] = {{canvas_column(r->x1), canvas_row(r->y1)},
                               {canvas_column(r->x2), canvas_row(r->y2)},
                               {canvas_column(r->x3), canvas_row(r->y3)}};
        plat_polygon(dc, points, 3);
    } else {
        int left = canvas_column(r->x1);
        int top = canvas_row(r->y1);
        int right = canvas_column(r->x2) + 1;
        int bottom = canvas_row(r->y2) + 1;
        if (r->kind == DRAW_RECTANGLE) {
            plat_rectangle(dc, left, top, right, bottom);
        } else {
            plat_ellipse(dc, left, top, right, bottom);
        }
    }

    plat_select_object(dc, old_pen);
    plat_select_object(dc, old_brush);
    plat_delete_object(pen);
    if (brush != nullptr) {
        plat_delete_object(brush);
    }
}

static void render_text(const DrawRecord *r) {
    PlatDC dc = session_canvas_dc();
    plat_set_text_color(dc, palette_color(r->color));
    int old_mode = plat_get_bk_mode(dc);
    plat_set_bk_mode(dc, TRANSPARENT);
    PlatObject font =
        plat_create_font(-r->point_size, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, PLAT_TEXT_FACE);
    PlatObject old_font = plat_select_object(dc, font);

    const char *text = r->text;
    int whole = static_cast<int>(std::strlen(text));
    int cx = 0;
    int h = 0;
    plat_get_text_extent_point(dc, text, whole, &cx, &h);

    int column = canvas_column(r->x1);
    long long row = static_cast<long long>(canvas_row(r->y1)) - h;
    const char *line = text;
    for (;;) {
        const char *end = std::strchr(line, '\n');
        int length = static_cast<int>(end != nullptr ? end - line : text + whole - line);
        // Lines that fall wholly outside the canvas are not drawn at all.
        if (length > 0 && row > -h && row < QELMA_CANVAS_HEIGHT) {
            plat_text_out(dc, column, static_cast<int>(row), line, length);
        }
        if (end == nullptr) {
            break;
        }
        line = end + 1;
        row += h;
    }

    plat_set_bk_mode(dc, old_mode);
    plat_select_object(dc, old_font);
    plat_delete_object(font);
}

void render_record(const DrawRecord *record) {
    if (session_canvas_dc() == nullptr) {
        return; // no session: nothing to paint on
    }
    if (record->kind == DRAW_TEXT) {
        render_text(record);
    } else {
        render_shape(record);
    }
    session_canvas_changed();
}

void fill_canvas_background() {
    if (session_canvas_dc() == nullptr) {
        return;
    }
    PlatObject brush = plat_create_solid_brush(palette_color(BACKGROUND_COLOR));
    PlatObject old_brush = plat_select_object(session_canvas_dc(), brush);
    plat_rectangle(session_canvas_dc(), 0, 0, QELMA_CANVAS_WIDTH, QELMA_CANVAS_HEIGHT);
    plat_select_object(session_canvas_dc(), old_brush);
    plat_delete_object(brush);
    session_canvas_changed();
}
