// GDI's objects and device contexts for every backend but Win32: handles of
// pens, brushes, fonts and bitmaps with the stock objects, what each context
// has selected, its text colour and background mode, and the rules for
// selecting and deleting (a selected object is kept; stock objects are never
// deleted). Bitmaps hold their pixels here (raster.h), fonts their glyphs
// (glyphs.h).
#ifndef QELMA_PLATFORM_WINLAYER_GDI_OBJECTS_H
#define QELMA_PLATFORM_WINLAYER_GDI_OBJECTS_H

#include <algorithm>

#include "qelma/platform/platform.h"
#include "qelma/platform/winlayer/raster.h"

#include <memory>
#include <string>

namespace glyphs {
class Font;
}

namespace winlayer {

enum ObjectKind { KIND_PEN, KIND_BRUSH, KIND_FONT, KIND_BITMAP };

// A font as asked for, after the limits: what the glyphs are made for.
struct FontRequest {
    int pixels;      // character height in pixels
    int weight;      // 100..900, or 0 for the default
    bool fixed;      // fixed pitch
    bool italic, underline, strike_out;
    std::string face; // empty: the default face of its pitch
};

inline bool operator==(const FontRequest &a, const FontRequest &b) {
    return a.pixels == b.pixels && a.weight == b.weight && a.fixed == b.fixed &&
           a.italic == b.italic && a.underline == b.underline && a.strike_out == b.strike_out &&
           a.face == b.face;
}

// Pixel height of a font asked for with height 0, and of the fixed stock fonts.
constexpr int DEFAULT_FONT_PIXELS = 16;
constexpr int FIXED_FONT_PIXELS = 13;

} // namespace winlayer

// Handles point at records that are never given back to the system: a deleted
// one waits in a free list with live false, so a stale handle is recognised
// (or names a newer object of the same kind, as handles do on Windows).
struct PlatObjectImpl {
    bool live;                  // false once deleted
    bool stock;                 // never deleted
    int kind;                   // winlayer::ObjectKind
    int selections;             // how many contexts have it selected
    PlatColor color;            // pen or solid brush colour
    bool hollow;                // null pen or null brush
    int pen_width;              // 0 or 1: one pixel
    winlayer::FontRequest font; // font objects
    int font_ascent;            // font metrics, from the glyphs when made
    int font_height;            // ascent + descent
    int font_leading;           // external leading, never negative
    int width, height;          // bitmap objects
    raster::Surface *pixels;    // a bitmap's pixels
    std::shared_ptr<glyphs::Font> glyph_font; // a font's face, size and glyphs
};

struct PlatDCImpl {
    bool live;         // false once released or deleted
    PlatWindow window; // window context: draws on that window's client area
    PlatObject bitmap; // memory context: the selected bitmap
    PlatObject pen;
    PlatObject brush;
    PlatObject font;
    PlatColor text_color;
    PlatColor bk_color;
    int bk_mode; // OPAQUE or TRANSPARENT
};

namespace winlayer {

inline bool object_ok(PlatObject o) { return o && o->live; }
inline bool dc_ok(PlatDC dc) { return dc && dc->live; }
// The colour of a solid brush; fallback for a null, hollow or unknown object.
PlatColor brush_color(PlatObject brush, PlatColor fallback);

using raster::clamp_coord;
using raster::within_coord_limit;
// Pulls a shape's box into that range, with a warning naming the operation.
void clamp_box(const char *operation, int &left, int &top, int &right, int &bottom);

// A block copy between two surfaces, clipped to both in 64 bits so that no sum
// of far-off coordinates overflows.
struct CopyBlock {
    long long dx, dy, sx, sy, w, h;
};
// Clips a w x h copy from (sx, sy) of a src_w x src_h surface to (dx, dy) of a
// dst_w x dst_h one; false when nothing is left to copy.
inline bool clip_copy(long long dst_w, long long dst_h, long long src_w, long long src_h, int dx_in,
                      int dy_in, int sx_in, int sy_in, int w_in, int h_in, CopyBlock &out) {
    long long dx = dx_in, dy = dy_in, sx = sx_in, sy = sy_in, w = w_in, h = h_in;
    if (sx < 0) {
        w += sx;
        dx -= sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        dy -= sy;
        sy = 0;
    }
    if (dx < 0) {
        w += dx;
        sx -= dx;
        dx = 0;
    }
    if (dy < 0) {
        h += dy;
        sy -= dy;
        dy = 0;
    }
    w = std::min({w, src_w - sx, dst_w - dx});
    h = std::min({h, src_h - sy, dst_h - dy});
    out = CopyBlock{dx, dy, sx, sy, w, h};
    return w > 0 && h > 0;
}
// What bit_blt accepts: SRCCOPY of a size that is not negative (warns otherwise).
bool bit_blt_allowed(unsigned long rop, int w, int h);
// Zeroes the outputs of get_text_extent_point; true when dc, text and length
// can be measured (warns about a bad text).
bool text_extent_arguments_ok(PlatDC dc, const char *text, int length, int *cx, int *cy);

} // namespace winlayer

#endif // QELMA_PLATFORM_WINLAYER_GDI_OBJECTS_H
