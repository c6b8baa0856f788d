// Text, the same on every toolkit: the layer's own letters (glyphs.h) placed
// at the top-left corner of the text's cell, the cell's background filled
// when the context is opaque, the coverage blended in the text colour.
//
// A program draws the same texts frame after frame: the last ones drawn are
// kept, by font request and characters, with their width and coverage
// (which depend on neither colour nor place). A new text is composed from
// the font's kept glyphs.
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/glyphs.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/surfaces.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

using namespace winlayer;

namespace {

struct RenderedText {
    FontRequest font;
    std::string text;
    int width = 0;
    bool kept = false; // false: too wide to keep, only the width is
    // The coverage: ink_w x ink_h pixels, ink_x columns right of the text's
    // origin and ink_y rows below the top of its cell.
    int ink_x = 0, ink_y = 0, ink_w = 0, ink_h = 0;
    std::vector<unsigned char> coverage;
    unsigned long long used = 0;
};
constexpr std::size_t RENDERED_TEXTS_KEPT = 64;
std::vector<RenderedText> &rendered = *new std::vector<RenderedText>;
unsigned long long text_clock = 0;

// Texts longer than this, or wider than WIDEST_KEPT_BOX, or whose coverage
// would take more than LARGEST_KEPT_BOX pixels, are measured every time and
// drawn only where they land on the surface: the kept texts stay within
// 64 Mi bytes, whatever a program draws.
constexpr int LONGEST_KEPT_TEXT = 512;
constexpr long long WIDEST_KEPT_BOX = 4096;
constexpr long long LARGEST_KEPT_BOX = 1LL << 20;

glyphs::Font &glyph_font(PlatObject font) { return *font->glyph_font; }

// How far past its cell, on every side, a text drawn where it lands may
// reach: what it draws and the rows it changes.
long long pad_of(PlatObject font) { return font->font_height / 2 + 2; }

// Draws, at (x, y), only the part of a text that lands on the surface.
void render_clipped(raster::Surface &s, PlatDC dc, int x, int y, const char *text, int length,
                    int width) {
    PlatObject font = dc->font;
    const long long pad = pad_of(font);
    const long long left = std::max<long long>(x - pad, 0);
    const long long right = std::min<long long>(x + static_cast<long long>(width) + pad, s.width);
    const long long top = std::max<long long>(y - pad, 0);
    const long long bottom = std::min<long long>(y + static_cast<long long>(font->font_height) + pad,
                                                 s.height);
    if (left >= right || top >= bottom)
        return;
    const int w = static_cast<int>(right - left), h = static_cast<int>(bottom - top);
    std::vector<unsigned char> coverage(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    glyphs::add_text_coverage(glyph_font(font), text, length, x - left,
                              y - top + font->font_ascent, w, h, coverage.data());
    raster::blend_coverage(s, static_cast<int>(left), static_cast<int>(top), coverage.data(), w, h,
                           dc->text_color);
}

// Composes a text's coverage from its glyphs, in the smallest box that holds
// all of them (and its underline or strike-out).
void compose(RenderedText &r, PlatObject font, const char *text, int length) {
    glyphs::Font &f = glyph_font(font);
    const int ascent = font->font_ascent;
    long long left = LLONG_MAX, right = LLONG_MIN, top = LLONG_MAX, bottom = LLONG_MIN;
    long long pen = 0;
    for (int i = 0; i < length; ++i) {
        const glyphs::Glyph &g = glyphs::glyph_of(f, static_cast<unsigned char>(text[i]));
        if (g.w > 0 && g.h > 0) {
            left = std::min(left, pen + g.left);
            right = std::max(right, pen + g.left + g.w);
            top = std::min<long long>(top, ascent - g.top);
            bottom = std::max<long long>(bottom, ascent - g.top + g.h);
        }
        pen += g.advance;
    }
    if (font->font.underline || font->font.strike_out) { // the lines' rows lie in the cell
        left = std::min(left, 0LL);
        right = std::max<long long>(right, r.width);
        top = std::min(top, 0LL);
        bottom = std::max<long long>(bottom, font->font_height);
    }
    r.coverage.clear();
    r.ink_x = r.ink_y = r.ink_w = r.ink_h = 0;
    r.kept = left >= right ||
             (right - left <= WIDEST_KEPT_BOX && (right - left) * (bottom - top) <= LARGEST_KEPT_BOX);
    if (left >= right || !r.kept)
        return; // nothing to blend, or too wide to keep
    r.ink_x = static_cast<int>(left);
    r.ink_y = static_cast<int>(top);
    r.ink_w = static_cast<int>(right - left);
    r.ink_h = static_cast<int>(bottom - top);
    r.coverage.assign(static_cast<std::size_t>(r.ink_w) * static_cast<std::size_t>(r.ink_h), 0);
    glyphs::add_text_coverage(f, text, length, -left, ascent - top, r.ink_w, r.ink_h,
                              r.coverage.data());
}

// The kept rendering of a text, or null when it is too long or wide to keep.
const RenderedText *render(PlatObject font, const char *text, int length) {
    ++text_clock;
    if (length > LONGEST_KEPT_TEXT)
        return nullptr;
    RenderedText *oldest = nullptr;
    for (RenderedText &r : rendered) {
        if (r.text.size() == static_cast<std::size_t>(length) &&
            r.text.compare(0, r.text.size(), text, static_cast<std::size_t>(length)) == 0 &&
            r.font == font->font) {
            r.used = text_clock;
            return r.kept ? &r : nullptr;
        }
        if (!oldest || r.used < oldest->used)
            oldest = &r;
    }
    if (rendered.size() < RENDERED_TEXTS_KEPT) {
        rendered.emplace_back();
        oldest = &rendered.back();
    }
    RenderedText &r = *oldest;
    r.font = font->font;
    r.text.assign(text, static_cast<std::size_t>(length));
    r.used = text_clock;
    r.width = glyphs::text_width(glyph_font(font), text, length);
    compose(r, font, text, length);
    return r.kept ? &r : nullptr;
}

int text_width(PlatObject font, const char *text, int length) {
    const RenderedText *r = render(font, text, length);
    return r ? r->width : glyphs::text_width(glyph_font(font), text, length);
}

} // namespace

int plat_get_text_extent_point(PlatDC dc, const char *text, int length, int *cx, int *cy) {
    if (!text_extent_arguments_ok(dc, text, length, cx, cy))
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
        warn("text_out: bad text (length %d)", length);
        return 0;
    }
    if (length == 0 || !within_coord_limit(x) || !within_coord_limit(y))
        return 1; // nothing to draw, or nothing of it on the surface
    PlatObject font = dc->font;
    const RenderedText *r = render(font, text, length);
    const int width = r ? r->width : glyphs::text_width(glyph_font(font), text, length);
    if (dc->bk_mode == OPAQUE)
        raster::fill_rect(*s, x, y, static_cast<long long>(x) + width,
                          static_cast<long long>(y) + font->font_height, dc->bk_color);
    // The rows changed: the cell's, and those of any glyph reaching past it.
    long long top = y, bottom = static_cast<long long>(y) + font->font_height;
    if (r) {
        raster::blend_coverage(*s, x + r->ink_x, y + r->ink_y, r->coverage.data(), r->ink_w,
                               r->ink_h, dc->text_color);
        if (r->ink_h > 0) {
            top = std::min(top, static_cast<long long>(y) + r->ink_y);
            bottom = std::max(bottom, static_cast<long long>(y) + r->ink_y + r->ink_h);
        }
    } else {
        render_clipped(*s, dc, x, y, text, length, width);
        top -= pad_of(font);
        bottom += pad_of(font);
    }
    drawn(dc, top, bottom);
    return 1;
}
