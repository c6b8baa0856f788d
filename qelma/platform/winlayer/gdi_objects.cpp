// GDI's objects, stock objects and device-context state for every backend but
// Win32 (see gdi_objects.h). After warm-up, creating and deleting the pens and
// brushes of a drawing operation allocates nothing.
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/glyphs.h"

#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/toolkit.h"
#include "qelma/platform/winlayer/window_records.h"

#include <algorithm>
#include <vector>

namespace winlayer {
namespace {

// Stock objects reachable by plat_get_stock_object, plus the 1 x 1 bitmap of
// a new memory context, which GDI has no public number for.
enum {
    STOCK_WHITE_BRUSH = 0,
    STOCK_LTGRAY_BRUSH = 1,
    STOCK_GRAY_BRUSH = 2,
    STOCK_DKGRAY_BRUSH = 3,
    STOCK_BLACK_BRUSH = 4,
    STOCK_NULL_BRUSH = 5,
    STOCK_WHITE_PEN = 6,
    STOCK_BLACK_PEN = 7,
    STOCK_NULL_PEN = 8,
    STOCK_OEM_FIXED_FONT = 10,
    STOCK_ANSI_FIXED_FONT = 11,
    STOCK_ANSI_VAR_FONT = 12,
    STOCK_SYSTEM_FONT = 13,
    STOCK_DEVICE_DEFAULT_FONT = 14,
    STOCK_SYSTEM_FIXED_FONT = 16,
    STOCK_DEFAULT_GUI_FONT = 17,
    STOCK_DEFAULT_BITMAP = 20,
    STOCK_COUNT = 21,
};

// The free lists, never destroyed: a static destructor running before the
// leak checker would make every pooled record look lost.
std::vector<PlatObjectImpl *> &free_objects = *new std::vector<PlatObjectImpl *>;
std::vector<PlatDCImpl *> &free_dcs = *new std::vector<PlatDCImpl *>;
PlatObjectImpl *stock_objects[STOCK_COUNT];

PlatObjectImpl *new_object(int kind) {
    PlatObjectImpl *o;
    if (!free_objects.empty()) {
        o = free_objects.back();
        free_objects.pop_back();
    } else {
        o = new PlatObjectImpl();
    }
    o->live = true;
    o->stock = false;
    o->kind = kind;
    o->selections = 0;
    o->color = 0;
    o->hollow = false;
    o->pen_width = 0;
    o->font = FontRequest{};
    o->font_ascent = o->font_height = o->font_leading = 0;
    o->width = o->height = 0;
    o->pixels = nullptr;
    o->glyph_font.reset();
    return o;
}

void free_object(PlatObjectImpl *o) {
    delete o->pixels;
    o->pixels = nullptr;
    o->glyph_font.reset();
    o->live = false;
    free_objects.push_back(o);
}

// A font object for the request with the layer's glyphs; null when they
// cannot be had.
PlatObjectImpl *new_font(const FontRequest &request) {
    std::shared_ptr<glyphs::Font> font = glyphs::font_for(request);
    if (!font)
        return nullptr;
    PlatObjectImpl *o = new_object(KIND_FONT);
    o->font = request;
    const glyphs::Metrics &m = glyphs::metrics_of(*font);
    o->font_ascent = m.ascent;
    o->font_height = m.ascent + m.descent;
    o->font_leading = m.leading;
    o->glyph_font = std::move(font);
    return o;
}

PlatObjectImpl *new_bitmap(int w, int h) {
    auto *pixels = new raster::Surface();
    if (!pixels->resize(w, h, plat_rgb(0, 0, 0))) { // black until drawn on
        delete pixels;
        return nullptr;
    }
    PlatObjectImpl *o = new_object(KIND_BITMAP);
    o->width = w;
    o->height = h;
    o->pixels = pixels;
    return o;
}

PlatObjectImpl *make_stock(int which) {
    switch (which) {
    case STOCK_WHITE_BRUSH:
    case STOCK_LTGRAY_BRUSH:
    case STOCK_GRAY_BRUSH:
    case STOCK_DKGRAY_BRUSH:
    case STOCK_BLACK_BRUSH: {
        static const unsigned levels[] = {255, 192, 128, 64, 0};
        PlatObjectImpl *o = new_object(KIND_BRUSH);
        const unsigned v = levels[which - STOCK_WHITE_BRUSH];
        o->color = plat_rgb(v, v, v);
        return o;
    }
    case STOCK_NULL_BRUSH:
    case STOCK_NULL_PEN: {
        PlatObjectImpl *o = new_object(which == STOCK_NULL_PEN ? KIND_PEN : KIND_BRUSH);
        o->hollow = true;
        return o;
    }
    case STOCK_WHITE_PEN:
    case STOCK_BLACK_PEN: {
        PlatObjectImpl *o = new_object(KIND_PEN);
        o->color = which == STOCK_WHITE_PEN ? plat_rgb(255, 255, 255) : 0;
        return o;
    }
    case STOCK_OEM_FIXED_FONT:
    case STOCK_ANSI_FIXED_FONT:
    case STOCK_SYSTEM_FIXED_FONT:
    case STOCK_ANSI_VAR_FONT:
    case STOCK_SYSTEM_FONT:
    case STOCK_DEVICE_DEFAULT_FONT:
    case STOCK_DEFAULT_GUI_FONT: {
        const bool fixed = which == STOCK_OEM_FIXED_FONT || which == STOCK_ANSI_FIXED_FONT ||
                           which == STOCK_SYSTEM_FIXED_FONT;
        return new_font(
            FontRequest{fixed ? FIXED_FONT_PIXELS : DEFAULT_FONT_PIXELS, 0, fixed, false, false,
                        false, std::string()});
    }
    case STOCK_DEFAULT_BITMAP:
        return new_bitmap(1, 1);
    default:
        return nullptr;
    }
}

PlatObjectImpl *stock(int which) {
    if (which < 0 || which >= STOCK_COUNT)
        return nullptr;
    if (!stock_objects[which]) {
        PlatObjectImpl *o = make_stock(which);
        if (!o)
            return nullptr;
        o->stock = true;
        stock_objects[which] = o;
    }
    return stock_objects[which];
}

void select_into(PlatObject *slot, PlatObject o) {
    if (*slot)
        (*slot)->selections--;
    *slot = o;
    o->selections++;
}

// A new context holds the black one-pixel pen, a white brush, the system
// font, black text on an opaque white background, and (a memory context) the
// 1 x 1 default bitmap.
PlatDC new_dc(PlatWindow window) {
    PlatObject pen = stock(STOCK_BLACK_PEN);
    PlatObject brush = stock(STOCK_WHITE_BRUSH);
    PlatObject font = stock(STOCK_SYSTEM_FONT);
    PlatObject bitmap = window ? nullptr : stock(STOCK_DEFAULT_BITMAP);
    if (!pen || !brush || !font || (!window && !bitmap))
        return nullptr;
    PlatDCImpl *dc;
    if (!free_dcs.empty()) {
        dc = free_dcs.back();
        free_dcs.pop_back();
    } else {
        dc = new PlatDCImpl();
    }
    dc->live = true;
    dc->window = window;
    dc->bitmap = dc->pen = dc->brush = dc->font = nullptr;
    select_into(&dc->pen, pen);
    select_into(&dc->brush, brush);
    select_into(&dc->font, font);
    if (bitmap)
        select_into(&dc->bitmap, bitmap);
    dc->text_color = 0;
    dc->bk_color = plat_rgb(255, 255, 255);
    dc->bk_mode = OPAQUE;
    return dc;
}

void free_dc(PlatDC dc) {
    dc->pen->selections--;
    dc->brush->selections--;
    dc->font->selections--;
    if (dc->bitmap)
        dc->bitmap->selections--;
    dc->live = false;
    dc->window = nullptr;
    dc->bitmap = dc->pen = dc->brush = dc->font = nullptr;
    free_dcs.push_back(dc);
}

} // namespace

PlatColor brush_color(PlatObject brush, PlatColor fallback) {
    if (!object_ok(brush) || brush->kind != KIND_BRUSH || brush->hollow)
        return fallback;
    return brush->color;
}

} // namespace winlayer

using namespace winlayer;

// -------------------------------------------------------------- contexts

PlatDC plat_get_dc(PlatWindow window) {
    if (!winlayer::window_ok(window))
        return nullptr;
    return new_dc(window);
}

void plat_release_dc(PlatWindow window, PlatDC dc) {
    if (!dc_ok(dc))
        return;
    if (!dc->window || (window && dc->window != window)) {
        warn("release_dc: the context does not belong to that window; kept");
        return;
    }
    free_dc(dc);
}

PlatDC plat_create_compatible_dc(PlatDC dc) {
    // A null context asks for one compatible with the screen, as on Windows.
    if (dc && !dc->live)
        return nullptr;
    return new_dc(nullptr);
}

void plat_delete_dc(PlatDC dc) {
    if (!dc_ok(dc))
        return;
    if (dc->window) {
        warn("delete_dc: a window context is given back with release_dc");
        return;
    }
    free_dc(dc);
}

PlatObject plat_create_compatible_bitmap(PlatDC dc, int w, int h) {
    if (!dc_ok(dc))
        return nullptr;
    if (w <= 0 || h <= 0 || static_cast<long long>(w) * h > raster::MAX_SURFACE_PIXELS) {
        warn("create_compatible_bitmap: bad size %d x %d", w, h);
        return nullptr;
    }
    PlatObject o = new_bitmap(w, h);
    if (!o)
        warn("create_compatible_bitmap: out of memory for %d x %d", w, h);
    return o;
}

// --------------------------------------------------------------- objects

PlatObject plat_create_pen(int style, int width, PlatColor color) {
    if (style != PS_SOLID)
        warn("create_pen: style %d is drawn solid", style);
    if (width < 0 || width > PLAT_MAX_PEN_WIDTH) {
        warn("create_pen: width %d out of range; using %d", width,
             width < 0 ? 0 : PLAT_MAX_PEN_WIDTH);
        width = width < 0 ? 0 : PLAT_MAX_PEN_WIDTH;
    }
    PlatObjectImpl *o = new_object(KIND_PEN);
    o->pen_width = width;
    o->color = color & 0xFFFFFF;
    return o;
}

PlatObject plat_create_solid_brush(PlatColor color) {
    PlatObjectImpl *o = new_object(KIND_BRUSH);
    o->color = color & 0xFFFFFF;
    return o;
}

PlatObject plat_get_stock_object(int which) {
    PlatObject o = which == STOCK_DEFAULT_BITMAP ? nullptr : stock(which);
    if (!o)
        warn("get_stock_object: no stock object %d", which);
    return o;
}

PlatObject plat_create_font(int height, int width, int escapement, int orientation, int weight,
                            unsigned italic, unsigned underline, unsigned strike_out,
                            unsigned char_set, unsigned out_precision, unsigned clip_precision,
                            unsigned quality, unsigned pitch_and_family, const char *face) {
    // Every quality is the layer's smoothing (glyphs.cpp);
    // widths, angles, character sets and precisions are not kept.
    (void)width, (void)escapement, (void)orientation, (void)char_set, (void)out_precision;
    (void)clip_precision, (void)quality;
    long long pixels = height < 0 ? -static_cast<long long>(height) : height;
    if (pixels == 0)
        pixels = DEFAULT_FONT_PIXELS;
    if (pixels > PLAT_MAX_FONT_PIXELS) {
        warn("create_font: height %d too large; using %d", height, PLAT_MAX_FONT_PIXELS);
        pixels = PLAT_MAX_FONT_PIXELS;
    }
    return new_font(FontRequest{static_cast<int>(pixels),
                                weight > 0 ? std::clamp(weight, 100, 900) : 0,
                                (pitch_and_family & 3) == 1, // FIXED_PITCH
                                italic != 0, underline != 0, strike_out != 0,
                                face ? std::string(face) : std::string()});
}

PlatObject plat_select_object(PlatDC dc, PlatObject object) {
    if (!dc_ok(dc) || !object_ok(object))
        return nullptr;
    PlatObject *slot = nullptr;
    switch (object->kind) {
    case KIND_PEN:
        slot = &dc->pen;
        break;
    case KIND_BRUSH:
        slot = &dc->brush;
        break;
    case KIND_FONT:
        slot = &dc->font;
        break;
    case KIND_BITMAP:
        if (dc->window) {
            warn("select_object: a bitmap goes only into a memory context");
            return nullptr;
        }
        if (object != dc->bitmap && object->selections > 0 && !object->stock) {
            warn("select_object: the bitmap is already selected into another context");
            return nullptr;
        }
        slot = &dc->bitmap;
        break;
    default:
        return nullptr;
    }
    PlatObject previous = *slot;
    select_into(slot, object);
    return previous;
}

int plat_delete_object(PlatObject object) {
    if (!object_ok(object))
        return 0;
    if (object->stock)
        return 1;
    if (object->selections > 0) {
        warn("delete_object: the object is still selected into a context; kept");
        return 0;
    }
    free_object(object);
    return 1;
}

// ------------------------------------------------------------ text state

PlatColor plat_set_text_color(PlatDC dc, PlatColor color) {
    if (!dc_ok(dc))
        return PLAT_INVALID_COLOR;
    const PlatColor previous = dc->text_color;
    dc->text_color = color & 0xFFFFFF;
    return previous;
}

int plat_get_bk_mode(PlatDC dc) {
    return dc_ok(dc) ? dc->bk_mode : 0;
}

int plat_set_bk_mode(PlatDC dc, int mode) {
    if (!dc_ok(dc))
        return 0;
    if (mode != OPAQUE && mode != TRANSPARENT) {
        warn("set_bk_mode: unknown mode %d; unchanged", mode);
        return 0;
    }
    const int previous = dc->bk_mode;
    dc->bk_mode = mode;
    return previous;
}

PlatColor plat_get_bk_color(PlatDC dc) {
    return dc_ok(dc) ? dc->bk_color : PLAT_INVALID_COLOR;
}

int plat_get_text_metrics(PlatDC dc, int *height, int *external_leading) {
    if (!dc_ok(dc)) {
        if (height)
            *height = 0;
        if (external_leading)
            *external_leading = 0;
        return 0;
    }
    if (height)
        *height = dc->font->font_height;
    if (external_leading)
        *external_leading = dc->font->font_leading;
    return 1;
}

namespace winlayer {

void clamp_box(const char *operation, int &left, int &top, int &right, int &bottom) {
    if (within_coord_limit(left) && within_coord_limit(top) && within_coord_limit(right) &&
        within_coord_limit(bottom))
        return;
    warn("%s: box (%d, %d, %d, %d) clamped to +-%d", operation, left, top, right, bottom,
         PLAT_COORD_LIMIT);
    left = clamp_coord(left);
    top = clamp_coord(top);
    right = clamp_coord(right);
    bottom = clamp_coord(bottom);
}

bool bit_blt_allowed(unsigned long rop, int w, int h) {
    if (rop != SRCCOPY) {
        warn("bit_blt: only SRCCOPY is supported (got 0x%lx)", rop);
        return false;
    }
    if (w < 0 || h < 0) {
        warn("bit_blt: negative size %d x %d", w, h);
        return false;
    }
    return true;
}

bool text_extent_arguments_ok(PlatDC dc, const char *text, int length, int *cx, int *cy) {
    if (cx)
        *cx = 0;
    if (cy)
        *cy = 0;
    if (!dc_ok(dc) || !cx || !cy)
        return false;
    if (length < 0 || (!text && length > 0)) {
        warn("get_text_extent_point: bad text (length %d)", length);
        return false;
    }
    return true;
}

} // namespace winlayer
