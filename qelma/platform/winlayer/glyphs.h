// The layer's letters: QELMA's own faces (Liberation Sans for every
// proportional request, Liberation Mono for fixed pitch), built into the
// library and rasterised by FreeType, so that a text is the same pixels on
// every machine, whatever fonts it has or however they are configured.
//
// A font is one face at one pixel size and style, with its glyphs kept as
// they are first drawn; fonts of the same request are shared. The bytes of a
// text are Windows-1252 characters; a character the face lacks draws as the
// face's missing-glyph box, as GDI draws it.
#ifndef QELMA_PLATFORM_WINLAYER_GLYPHS_H
#define QELMA_PLATFORM_WINLAYER_GLYPHS_H

#include "qelma/platform/winlayer/gdi_objects.h"

#include <memory>

namespace glyphs {

struct Metrics {
    int ascent;  // from the top of a text's cell to its baseline
    int descent; // from the baseline to the bottom of the cell
    int leading; // external leading, never negative
};

// One glyph as drawn: its coverage (0..255, w x h, row by row) placed left
// columns right of the pen and top rows above the baseline.
struct Glyph {
    int advance = 0;
    int left = 0, top = 0, w = 0, h = 0;
    const unsigned char *coverage = nullptr;
};

class Font;

// The font for a request, shared with every other font object of the same
// request; null (with a warning) when FreeType cannot make it.
std::shared_ptr<Font> font_for(const winlayer::FontRequest &request);

const Metrics &metrics_of(const Font &font);

// The advance and box of a character's glyph (its coverage only where the
// font keeps it: add_text_coverage draws the glyphs).
const Glyph &glyph_of(Font &font, unsigned char c);

// A text's width: the sum of its advances, in whole pixels.
int text_width(Font &font, const char *text, int length);

// Adds the coverage of a text whose pen starts at column x of row baseline
// into a w x h box (row by row, saturating at 255), clipped to the box.
// Underline and strike-out lines run across the text's width.
void add_text_coverage(Font &font, const char *text, int length, long long x, long long baseline,
                       int w, int h, unsigned char *box);

} // namespace glyphs

#endif // QELMA_PLATFORM_WINLAYER_GLYPHS_H
