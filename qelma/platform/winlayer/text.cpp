// Text for every toolkit: the toolkit measures a string in a font and gives
// its coverage (toolkit.h); the layer places the text at the top-left corner
// of its cell, fills the cell's background when the context is opaque and
// blends the coverage in the text colour.
//
// Measuring and rendering a string in a toolkit costs far more than blending
// it, and a program draws the same texts frame after frame: the last ones
// rendered are kept, by font request and characters, with their width and
// coverage (which depend on neither colour nor place).
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/queue.h"
#include "qelma/platform/winlayer/surfaces.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace winlayer;

namespace {

struct RenderedText {
    FontRequest font;
    std::string text;
    int width = 0;
    int pad = 0, box_w = 0, box_h = 0; // the box rendered: pad columns either side
    // The coverage kept: the smallest part of the box holding all of it,
    // ink_x columns and ink_y rows into the box.
    int ink_x = 0, ink_y = 0, ink_w = 0, ink_h = 0;
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

// Glyphs may reach a little past the advance on either side.
int pad_of(PlatObject font) { return font->font_height / 2 + 2; }

// Renders, at (x, y), only the part of a text that lands on the surface.
void render_clipped(raster::Surface &s, PlatDC dc, int x, int y, const char *text, int length,
                    int width) {
    PlatObject font = dc->font;
    const int pad = pad_of(font);
    const long long left = std::max<long long>(static_cast<long long>(x) - pad, 0);
    const long long right = std::min<long long>(static_cast<long long>(x) + width + pad, s.width);
    const long long top = std::max<long long>(y, 0);
    const long long bottom =
        std::min<long long>(static_cast<long long>(y) + font->font_height, s.height);
    if (left >= right || top >= bottom)
        return;
    const int w = static_cast<int>(right - left), h = static_cast<int>(bottom - top);
    std::vector<unsigned char> coverage(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    tk_text_coverage(font, text, length, static_cast<int>(x - left),
                     static_cast<int>(y - top) + font->font_ascent, w, h, coverage.data());
    raster::blend_coverage(s, static_cast<int>(left), static_cast<int>(top), coverage.data(), w, h,
                           dc->text_color);
}

// Keeps only the part of the box with coverage in it: most of a box is
// bare, and blending bare pixels is blending nothing.
void crop_to_ink(RenderedText &r) {
    int left = r.box_w, right = 0, top = r.box_h, bottom = 0;
    for (int y = 0; y < r.box_h; ++y) {
        const unsigned char *row = r.coverage.data() + static_cast<std::size_t>(y) * r.box_w;
        const unsigned char *end = row + r.box_w;
        const unsigned char *first = std::find_if(row, end, [](unsigned char c) { return c != 0; });
        if (first == end)
            continue;
        const unsigned char *last = end - 1;
        while (*last == 0)
            --last;
        left = std::min(left, static_cast<int>(first - row));
        right = std::max(right, static_cast<int>(last - row) + 1);
        top = std::min(top, y);
        bottom = y + 1;
    }
    if (left >= right) { // nothing to blend
        r.ink_x = r.ink_y = r.ink_w = r.ink_h = 0;
        r.coverage.clear();
        return;
    }
    r.ink_x = left;
    r.ink_y = top;
    r.ink_w = right - left;
    r.ink_h = bottom - top;
    std::vector<unsigned char> ink(static_cast<std::size_t>(r.ink_w) * r.ink_h);
    for (int y = 0; y < r.ink_h; ++y)
        std::copy_n(r.coverage.data() + static_cast<std::size_t>(top + y) * r.box_w + left, r.ink_w,
                    ink.data() + static_cast<std::size_t>(y) * r.ink_w);
    r.coverage.swap(ink);
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
            return r.box_w <= WIDEST_KEPT_BOX ? &r : nullptr;
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
    r.width = tk_text_width(font, text, length);
    r.pad = pad_of(font);
    r.box_w = r.width + 2 * r.pad;
    r.box_h = font->font_height;
    r.coverage.clear();
    if (r.box_w > WIDEST_KEPT_BOX)
        return nullptr; // the width is kept, the pixels are not
    r.coverage.assign(static_cast<std::size_t>(r.box_w) * static_cast<std::size_t>(r.box_h), 0);
    if (r.box_w > 0 && r.box_h > 0)
        tk_text_coverage(font, text, length, r.pad, font->font_ascent, r.box_w, r.box_h,
                         r.coverage.data());
    crop_to_ink(r);
    return &r;
}

int text_width(PlatObject font, const char *text, int length) {
    const RenderedText *r = render(font, text, length);
    return r ? r->width : tk_text_width(font, text, length);
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
    const int width = r ? r->width : tk_text_width(font, text, length);
    if (dc->bk_mode == OPAQUE)
        raster::fill_rect(*s, x, y, static_cast<long long>(x) + width,
                          static_cast<long long>(y) + font->font_height, dc->bk_color);
    if (r)
        raster::blend_coverage(*s, x - r->pad + r->ink_x, y + r->ink_y, r->coverage.data(),
                               r->ink_w, r->ink_h, dc->text_color);
    else
        render_clipped(*s, dc, x, y, text, length, width);
    drawn(dc, y, static_cast<long long>(y) + font->font_height);
    return 1;
}
