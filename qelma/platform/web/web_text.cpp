// Web backend, fonts and text: the layer's font requests as canvas font
// shorthands, measured by the browser, and the coverage of a string smoothed
// by the browser's fonts on a scratch canvas (qelma_web.js), which the layer
// places and blends (text.cpp).
// Leaves out: widths, angles and character sets of fonts.
// Departs from Windows: the library's text face is Liberation Sans (Arial's
// widths) where the browser has it, and fixed-pitch text is DejaVu Sans Mono.
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <emscripten.h>

#include <string>

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

const std::string &css_of(PlatObject font) {
    return static_cast<WebFont *>(font->toolkit)->css;
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

} // namespace

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

void tk_font_freed(PlatObject font) {
    delete static_cast<WebFont *>(font->toolkit);
}

int tk_text_width(PlatObject font, const char *text, int length) {
    return js_text_width(css_of(font).c_str(), text, length);
}

void tk_text_coverage(PlatObject font, const char *text, int length, int x, int baseline, int w,
                      int h, unsigned char *coverage) {
    js_text_coverage(css_of(font).c_str(), text, length, x, baseline, w, h, coverage);
}
