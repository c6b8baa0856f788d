// Web backend, surfaces and text: bitmaps and client areas are pixel arrays
// drawn on by GDI's rules (raster.h); text is laid out and smoothed by the
// browser's fonts at the pixel height asked for, on a scratch canvas, and its
// coverage blended in the text colour.
// Leaves out: pen styles other than solid, raster operations other than
// SRCCOPY, clipping regions, widths, angles and character sets of fonts.
// Departs from Windows: the library's text face is Liberation Sans (Arial's
// widths) where the browser has it, and fixed-pitch text is DejaVu Sans Mono.
#include "qelma/platform/web/web_platform.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

struct WebFont {
    std::string css; // the canvas font shorthand
};

// clang-format off
EM_JS(void, js_font_metrics, (const char *css, int *ascent, int *descent), {
    const m = Module.qelmaPage.fontMetrics(UTF8ToString(css));
    HEAP32[ascent >> 2] = m.ascent;
    HEAP32[descent >> 2] = m.descent;
});
EM_JS(int, js_text_width, (const char *css, const char *text, int length), {
    return Module.qelmaPage.textWidth(UTF8ToString(css), Module.qelmaPage.latin1(text, length));
});
EM_JS(void, js_text_coverage, (const char *css, const char *text, int length, int x, int baseline,
                               int w, int h, unsigned char *out), {
    const a = Module.qelmaPage.textCoverage(UTF8ToString(css),
                                            Module.qelmaPage.latin1(text, length), x, baseline, w, h);
    HEAPU8.set(a, out);
});
// clang-format on

WebFont *font_of(PlatObject font) {
    return static_cast<WebFont *>(font->toolkit);
}

std::string css_of(const winlayer::FontRequest &r) {
    std::string css;
    if (r.italic)
        css += "italic ";
    css += std::to_string(r.weight > 0 ? r.weight : 400) + " ";
    css += std::to_string(r.pixels) + "px ";
    if (r.fixed) {
        css += "\"DejaVu Sans Mono\", monospace";
    } else {
        // Quotes and backslashes cannot end the name early.
        std::string face;
        for (char c : r.face)
            if (c != '"' && c != '\\' && c != ';')
                face += c;
        if (!face.empty())
            css += "\"" + face + "\", ";
        css += "\"Liberation Sans\", Arimo, Arial, sans-serif";
    }
    return css;
}

raster::Surface *surface_of(PlatDC dc) {
    if (!winlayer::dc_ok(dc))
        return nullptr;
    raster::Surface *s = nullptr;
    if (dc->window) {
        if (WebWindow *q = plat_web_window(dc->window))
            s = &q->surface;
    } else if (winlayer::object_ok(dc->bitmap)) {
        s = static_cast<raster::Surface *>(dc->bitmap->toolkit);
    }
    // An empty client area has nothing to draw on.
    return s && s->width > 0 && s->height > 0 ? s : nullptr;
}

void drawn(PlatDC dc) {
    if (dc->window)
        plat_web_window_drawn(dc->window);
}

raster::Paint paint_of(PlatDC dc) {
    return raster::Paint{dc->pen->hollow, dc->pen->color, dc->pen->pen_width, dc->brush->hollow,
                         dc->brush->color};
}

} // namespace

// ------------------------------------------------------- toolkit contract

bool tk_window_has_surface(PlatWindow window) {
    return plat_web_window(window) != nullptr;
}

bool tk_bitmap_made(PlatObject bitmap) {
    auto *s = new raster::Surface();
    if (!s->resize(bitmap->width, bitmap->height, plat_rgb(0, 0, 0))) {
        delete s;
        return false;
    }
    bitmap->toolkit = s;
    return true;
}

bool tk_font_made(PlatObject font) {
    auto *f = new WebFont{css_of(font->font)};
    int ascent = 0, descent = 0;
    js_font_metrics(f->css.c_str(), &ascent, &descent);
    font->toolkit = f;
    font->font_ascent = ascent;
    font->font_height = ascent + descent;
    font->font_leading = 0;
    return true;
}

void tk_object_freed(PlatObject object) {
    if (object->kind == winlayer::KIND_BITMAP)
        delete static_cast<raster::Surface *>(object->toolkit);
    else if (object->kind == winlayer::KIND_FONT)
        delete font_of(object);
    object->toolkit = nullptr;
}

void tk_dc_closing(PlatDC) {}

// ---------------------------------------------------------------- shapes

int plat_rectangle(PlatDC dc, int left, int top, int right, int bottom) {
    raster::Surface *s = surface_of(dc);
    if (!s)
        return 0;
    raster::rectangle(*s, left, top, right, bottom, paint_of(dc));
    drawn(dc);
    return 1;
}

int plat_ellipse(PlatDC dc, int left, int top, int right, int bottom) {
    raster::Surface *s = surface_of(dc);
    if (!s)
        return 0;
    winlayer::clamp_box("ellipse", left, top, right, bottom);
    raster::ellipse(*s, left, top, right, bottom, paint_of(dc));
    drawn(dc);
    return 1;
}

int plat_polygon(PlatDC dc, const PlatPoint *points, int count) {
    raster::Surface *s = surface_of(dc);
    if (!s)
        return 0;
    if (!points || count < 2) {
        winlayer::warn("polygon: needs at least 2 points, got %d", points ? count : 0);
        return 0;
    }
    for (int i = 0; i < count; i++) {
        if (!winlayer::within_coord_limit(points[i].x) ||
            !winlayer::within_coord_limit(points[i].y)) {
            winlayer::warn("polygon: points clamped to +-%d", PLAT_COORD_LIMIT);
            break;
        }
    }
    raster::polygon(*s, points, count, paint_of(dc));
    drawn(dc);
    return 1;
}

// ------------------------------------------------------ scroll, blit, pixel

int plat_scroll_dc(PlatDC dc, int dx, int dy) {
    raster::Surface *s = surface_of(dc);
    if (!s)
        return 0;
    raster::copy(*s, dx, dy, *s, 0, 0, s->width, s->height);
    drawn(dc);
    return 1;
}

int plat_bit_blt(PlatDC dest, int x, int y, int w, int h, PlatDC src, int src_x, int src_y,
                 unsigned long rop) {
    raster::Surface *d = surface_of(dest);
    raster::Surface *s = surface_of(src);
    if (!d || !s)
        return 0;
    if (!winlayer::bit_blt_allowed(rop, w, h))
        return 0;
    raster::copy(*d, x, y, *s, src_x, src_y, w, h);
    drawn(dest);
    return 1;
}

int plat_read_pixels(PlatDC dc, int x, int y, int w, int h, std::uint32_t *rgb) {
    raster::Surface *s = surface_of(dc);
    if (!s || !rgb || w <= 0 || h <= 0 || x < 0 || y < 0 || x > s->width - w || y > s->height - h)
        return 0;
    for (int row = 0; row < h; ++row) {
        const std::uint32_t *line = s->row(y + row) + x;
        for (int column = 0; column < w; ++column) {
            const PlatColor c = raster::color_of(line[column]);
            *rgb++ = plat_red(c) << 16 | plat_green(c) << 8 | plat_blue(c);
        }
    }
    return 1;
}

PlatColor plat_get_pixel(PlatDC dc, int x, int y) {
    raster::Surface *s = surface_of(dc);
    if (!s || x < 0 || y < 0 || x >= s->width || y >= s->height)
        return PLAT_INVALID_COLOR;
    return raster::color_of(s->row(y)[x]);
}

// ------------------------------------------------------------------ text

namespace {

// Measuring and rendering a text in the browser costs far more than blending
// it, and a program draws the same texts frame after frame: the last ones
// rendered are kept, by font and characters, with their width and coverage
// (which do not depend on colour or place).
struct RenderedText {
    std::string css, text;
    int width = 0;
    int pad = 0, box_w = 0, box_h = 0; // coverage box: pad columns either side
    std::vector<unsigned char> coverage;
    unsigned long long used = 0;
};
constexpr std::size_t RENDERED_TEXTS_KEPT = 64;
std::vector<RenderedText> &rendered = *new std::vector<RenderedText>;
unsigned long long text_clock = 0;

// Texts longer than this, or wider than WIDEST_KEPT_BOX, are measured every
// time and rendered only where they land on the surface.
constexpr int LONGEST_KEPT_TEXT = 512;
constexpr int WIDEST_KEPT_BOX = 4096;

// Renders, at (x, y), only the part of a text that lands on the surface.
void render_clipped(raster::Surface &s, PlatDC dc, int x, int y, const char *text, int length,
                    int width) {
    PlatObject font = dc->font;
    const int pad = font->font_height / 2 + 2;
    const long long left = std::max<long long>(static_cast<long long>(x) - pad, 0);
    const long long right = std::min<long long>(static_cast<long long>(x) + width + pad, s.width);
    const long long top = std::max<long long>(y, 0);
    const long long bottom =
        std::min<long long>(static_cast<long long>(y) + font->font_height, s.height);
    if (left >= right || top >= bottom)
        return;
    const int w = static_cast<int>(right - left), h = static_cast<int>(bottom - top);
    std::vector<unsigned char> coverage(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    js_text_coverage(font_of(font)->css.c_str(), text, length, static_cast<int>(x - left),
                     static_cast<int>(y - top) + font->font_ascent, w, h, coverage.data());
    raster::blend_coverage(s, static_cast<int>(left), static_cast<int>(top), coverage.data(), w, h,
                           dc->text_color);
}

// The kept rendering of a text, or null when it is too long or wide to keep.
const RenderedText *render(PlatObject font, const char *text, int length) {
    const std::string &css = font_of(font)->css;
    ++text_clock;
    if (length > LONGEST_KEPT_TEXT)
        return nullptr;
    RenderedText *slot;
    {
        RenderedText *oldest = nullptr;
        for (RenderedText &r : rendered) {
            if (r.css == css && r.text.size() == static_cast<std::size_t>(length) &&
                r.text.compare(0, r.text.size(), text, static_cast<std::size_t>(length)) == 0) {
                r.used = text_clock;
                return r.box_w <= WIDEST_KEPT_BOX ? &r : nullptr;
            }
            if (!oldest || r.used < oldest->used)
                oldest = &r;
        }
        if (rendered.size() < RENDERED_TEXTS_KEPT) {
            rendered.emplace_back();
            oldest = &rendered.back();
        }
        slot = oldest;
    }
    RenderedText &r = *slot;
    r.css = css;
    r.text.assign(text, static_cast<std::size_t>(length));
    r.used = text_clock;
    r.width = js_text_width(css.c_str(), text, length);
    // Glyphs may reach a little past the advance on either side.
    r.pad = font->font_height / 2 + 2;
    r.box_w = r.width + 2 * r.pad;
    r.box_h = font->font_height;
    r.coverage.clear();
    if (r.box_w > WIDEST_KEPT_BOX)
        return nullptr; // the width is kept, the pixels are not
    r.coverage.assign(static_cast<std::size_t>(r.box_w) * static_cast<std::size_t>(r.box_h), 0);
    if (r.box_w > 0 && r.box_h > 0)
        js_text_coverage(css.c_str(), text, length, r.pad, font->font_ascent, r.box_w, r.box_h,
                         r.coverage.data());
    return &r;
}

int text_width(PlatObject font, const char *text, int length) {
    const RenderedText *r = render(font, text, length);
    return r ? r->width : js_text_width(font_of(font)->css.c_str(), text, length);
}

} // namespace

int plat_get_text_extent_point(PlatDC dc, const char *text, int length, int *cx, int *cy) {
    if (!winlayer::text_extent_arguments_ok(dc, text, length, cx, cy))
        return 0;
    *cx = length > 0 ? text_width(dc->font, text, length) : 0;
    *cy = dc->font->font_height;
    return 1;
}

int plat_text_out(PlatDC dc, int x, int y, const char *text, int length) {
    raster::Surface *s = surface_of(dc);
    if (!s)
        return 0;
    if (length < 0 || (!text && length > 0)) {
        winlayer::warn("text_out: bad text (length %d)", length);
        return 0;
    }
    if (length == 0 || !winlayer::within_coord_limit(x) || !winlayer::within_coord_limit(y))
        return 1;
    PlatObject font = dc->font;
    const RenderedText *r = render(font, text, length);
    const int width = r ? r->width : js_text_width(font_of(font)->css.c_str(), text, length);
    if (dc->bk_mode == OPAQUE)
        raster::fill_rect(*s, x, y, static_cast<long long>(x) + width,
                          static_cast<long long>(y) + font->font_height, dc->bk_color);
    if (r)
        raster::blend_coverage(*s, x - r->pad, y, r->coverage.data(), r->box_w, r->box_h,
                               dc->text_color);
    else
        render_clipped(*s, dc, x, y, text, length, width);
    drawn(dc);
    return 1;
}
