// The layer's letters with FreeType (glyphs.h).
//
// FreeType rasterises in fixed-point integers, so the same face and request
// give the same coverage on every compiler and processor. The choice made
// once, for every build: TrueType hinting by the faces' own instructions
// (interpreter version 40, which hints across the baseline only), grey
// smoothing of the hinted outline at every size. Hinted advances are whole
// pixels, and with this interpreter they are GDI's: every width and metric
// of both faces at 1 to 127 pixels, measured against GDI under Wine, is the
// same.
//
// Bold and italic are made from the regular faces as GDI makes a style a
// face lacks: bold strikes each glyph twice, a pixel apart, and advances a
// pixel more; italic slants the outline before it is rasterised.
#include "qelma/platform/winlayer/glyphs.h"

#include "qelma/platform/winlayer/queue.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

// The faces, cut to the letters of Windows-1252 (made at build time from
// Debian's fonts-liberation2; see qelma/CMakeLists.txt).
namespace qelma_faces {
extern const unsigned char sans[];
extern const unsigned long sans_size;
extern const unsigned char mono[];
extern const unsigned long mono_size;
} // namespace qelma_faces

namespace glyphs {

namespace {

// Fonts up to this size keep every glyph drawn; larger ones draw each anew.
constexpr int LARGEST_KEPT_PIXELS = 128;
// The fonts kept though no font object uses them: a program that makes and
// deletes its font at every text meets its glyphs again.
constexpr std::size_t UNUSED_FONTS_KEPT = 16;

// Windows-1252 bytes 0x80..0x9F as Unicode; the five it leaves undefined
// stand for themselves, as Windows maps them.
constexpr unsigned short CP1252_HIGH[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

unsigned long unicode_of(unsigned char c) {
    return c >= 0x80 && c < 0xA0 ? CP1252_HIGH[c - 0x80] : c;
}

long long scaled_round(long long units, int pixels, int units_per_em) {
    const long long n = units * pixels;
    return n >= 0 ? (n + units_per_em / 2) / units_per_em : -((-n + units_per_em / 2) / units_per_em);
}

struct Library {
    FT_Library ft = nullptr;
    FT_Face faces[2] = {nullptr, nullptr}; // sans, mono
    bool tried = false;
};

Library &library() {
    static Library &lib = *new Library;
    if (lib.tried)
        return lib;
    lib.tried = true;
    if (FT_Init_FreeType(&lib.ft) != 0) {
        winlayer::warn("text: FreeType could not start; no text is drawn");
        lib.ft = nullptr;
        return lib;
    }
    // FreeType's own default, set so that no environment variable changes it.
    FT_UInt interpreter = TT_INTERPRETER_VERSION_40;
    FT_Property_Set(lib.ft, "truetype", "interpreter-version", &interpreter);
    const unsigned char *data[2] = {qelma_faces::sans, qelma_faces::mono};
    const unsigned long size[2] = {qelma_faces::sans_size, qelma_faces::mono_size};
    for (int i = 0; i < 2; ++i) {
        if (FT_New_Memory_Face(lib.ft, data[i], static_cast<FT_Long>(size[i]), 0, &lib.faces[i]) !=
            0) {
            winlayer::warn("text: the built-in face %d could not be read", i);
            lib.faces[i] = nullptr;
        }
    }
    return lib;
}

// Which face a request gets: fixed pitch and the fixed-pitch names get the
// mono face, everything else the sans face. No name is looked up on the
// machine.
int face_index(const winlayer::FontRequest &r) {
    if (r.fixed)
        return 1;
    static const char *const mono_names[] = {"Liberation Mono", "Courier New", "Courier",
                                             "Fixedsys", "Terminal", "Consolas"};
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (const char *name : mono_names) {
        std::size_t i = 0;
        while (i < r.face.size() && name[i] != '\0' && lower(r.face[i]) == lower(name[i]))
            ++i;
        if (i == r.face.size() && name[i] == '\0')
            return 1;
    }
    return 0;
}

} // namespace

class Font {
public:
    Font(const winlayer::FontRequest &request, FT_Face face, FT_Size size)
        : request_(request), face_(face), size_(size), bold_(request.weight >= 600) {
        const int ppem = request.pixels;
        const int upem = face->units_per_EM;
        const TT_OS2 *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        const TT_HoriHeader *hhea =
            static_cast<const TT_HoriHeader *>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
        const TT_Postscript *post =
            static_cast<const TT_Postscript *>(FT_Get_Sfnt_Table(face, FT_SFNT_POST));
        // GDI's cell: the Windows ascent and descent of the face, scaled.
        const long long win_ascent = os2 ? os2->usWinAscent : face->ascender;
        const long long win_descent = os2 ? os2->usWinDescent : -face->descender;
        metrics_.ascent = static_cast<int>(scaled_round(win_ascent, ppem, upem));
        metrics_.descent = static_cast<int>(scaled_round(win_descent, ppem, upem));
        long long leading = 0;
        if (hhea)
            leading = scaled_round(hhea->Ascender - hhea->Descender + hhea->Line_Gap -
                                       (win_ascent + win_descent),
                                   ppem, upem);
        metrics_.leading = static_cast<int>(std::max(0LL, leading));
        const int descent = std::max(metrics_.descent, 1);
        if (request.underline) {
            const long long position = post ? -post->underlinePosition : upem / 10;
            const long long thickness = post ? post->underlineThickness : upem / 20;
            underline_h = static_cast<int>(std::max(1LL, scaled_round(thickness, ppem, upem)));
            underline_top = static_cast<int>(
                std::clamp(scaled_round(position, ppem, upem) - underline_h / 2, 1LL,
                           static_cast<long long>(std::max(1, descent - underline_h))));
        }
        if (request.strike_out) {
            const long long position = os2 ? os2->yStrikeoutPosition : upem / 4;
            const long long thickness = os2 ? os2->yStrikeoutSize : upem / 20;
            strike_h = static_cast<int>(std::max(1LL, scaled_round(thickness, ppem, upem)));
            strike_top = -static_cast<int>(scaled_round(position, ppem, upem)) - strike_h / 2;
        }
    }
    ~Font() { FT_Done_Size(size_); }
    Font(const Font &) = delete;
    Font &operator=(const Font &) = delete;

    const winlayer::FontRequest &request() const { return request_; }
    const Metrics &metrics() const { return metrics_; }

    // A glyph with its coverage.
    const Glyph &glyph(unsigned char c) {
        const bool keep = request_.pixels <= LARGEST_KEPT_PIXELS;
        if (keep && known_[c])
            return glyphs_[c];
        Glyph &g = keep ? glyphs_[c] : scratch_glyph_;
        std::vector<unsigned char> &pixels = keep ? pixels_[c] : scratch_pixels_;
        draw(c, g, pixels);
        if (!keep) {
            glyphs_[c] = g;
            glyphs_[c].coverage = nullptr;
        }
        known_[c] = true;
        return g;
    }

    // A glyph's advance and box, kept for every font: a large font's long
    // text is measured, and its glyphs off the surface passed over, without
    // drawing each again.
    const Glyph &shape(unsigned char c) { return known_[c] ? glyphs_[c] : glyph(c); }

    // Underline and strike-out rows relative to the baseline (h 0: none).
    int underline_top = 0, underline_h = 0, strike_top = 0, strike_h = 0;

private:
    void draw(unsigned char c, Glyph &g, std::vector<unsigned char> &pixels) {
        g = Glyph{};
        pixels.clear();
        FT_Activate_Size(size_);
        const FT_UInt index = FT_Get_Char_Index(face_, unicode_of(c)); // 0: the missing glyph
        if (FT_Load_Glyph(face_, index, FT_LOAD_TARGET_NORMAL | FT_LOAD_NO_BITMAP) != 0)
            return;
        FT_GlyphSlot slot = face_->glyph;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (request_.italic && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
            const FT_Matrix slant = {0x10000, 0x0366A, 0, 0x10000}; // about 12 degrees
            FT_Outline_Transform(&slot->outline, &slant);
        }
        if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
            FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
            return;
        const FT_Bitmap &b = slot->bitmap;
        if (b.pixel_mode != FT_PIXEL_MODE_GRAY)
            return;
        const int w = static_cast<int>(b.width), h = static_cast<int>(b.rows);
        const int extra = bold_ && w > 0 ? 1 : 0;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.w = w + extra;
        g.h = h;
        pixels.assign(static_cast<std::size_t>(g.w) * static_cast<std::size_t>(h), 0);
        for (int y = 0; y < h; ++y) {
            const unsigned char *row = b.buffer + static_cast<std::ptrdiff_t>(y) * b.pitch;
            unsigned char *out = pixels.data() + static_cast<std::size_t>(y) * g.w;
            std::memcpy(out, row, static_cast<std::size_t>(w));
            // The second strike, a pixel to the right, laid over the first.
            for (int x = extra ? g.w - 1 : 0; extra && x > 0; --x) {
                const unsigned a = out[x], s = out[x - 1];
                out[x] = static_cast<unsigned char>(a + s - (a * s + 127) / 255);
            }
        }
        if (bold_)
            ++g.advance;
        g.coverage = pixels.data();
    }

    winlayer::FontRequest request_;
    FT_Face face_;
    FT_Size size_;
    bool bold_;
    Metrics metrics_{};
    std::array<Glyph, 256> glyphs_{};
    std::array<bool, 256> known_{};
    std::array<std::vector<unsigned char>, 256> pixels_;
    Glyph scratch_glyph_;
    std::vector<unsigned char> scratch_pixels_;
};

std::shared_ptr<Font> font_for(const winlayer::FontRequest &request) {
    static auto &made = *new std::vector<std::weak_ptr<Font>>;
    static auto &recent = *new std::vector<std::shared_ptr<Font>>;
    std::shared_ptr<Font> font;
    for (auto it = made.begin(); it != made.end();) {
        std::shared_ptr<Font> f = it->lock();
        if (!f) {
            it = made.erase(it);
            continue;
        }
        if (f->request() == request)
            font = f;
        ++it;
    }
    if (!font) {
        Library &lib = library();
        FT_Face face = lib.ft ? lib.faces[face_index(request)] : nullptr;
        FT_Size size = nullptr;
        if (!face || FT_New_Size(face, &size) != 0) {
            winlayer::warn("text: no font of %d pixels can be made", request.pixels);
            return nullptr;
        }
        FT_Activate_Size(size);
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(request.pixels)) != 0) {
            FT_Done_Size(size);
            winlayer::warn("text: no font of %d pixels can be made", request.pixels);
            return nullptr;
        }
        font = std::make_shared<Font>(request, face, size);
        made.push_back(font);
    }
    // Most recently used last; the oldest unused one goes first.
    recent.erase(std::remove(recent.begin(), recent.end(), font), recent.end());
    recent.push_back(font);
    if (recent.size() > UNUSED_FONTS_KEPT)
        recent.erase(recent.begin());
    return font;
}

const Metrics &metrics_of(const Font &font) { return font.metrics(); }

const Glyph &glyph_of(Font &font, unsigned char c) { return font.shape(c); }

int text_width(Font &font, const char *text, int length) {
    long long width = 0;
    for (int i = 0; i < length; ++i)
        width += font.shape(static_cast<unsigned char>(text[i])).advance;
    return static_cast<int>(std::min<long long>(width, PLAT_COORD_LIMIT * 4LL));
}

namespace {

// Adds a w x h block of coverage at (x, y) of the box, clipped to it.
void add_block(const unsigned char *src, int src_w, int src_h, long long x, long long y, int w,
               int h, unsigned char *box) {
    const long long x0 = std::max(x, 0LL), x1 = std::min(x + src_w, static_cast<long long>(w));
    const long long y0 = std::max(y, 0LL), y1 = std::min(y + src_h, static_cast<long long>(h));
    for (long long row = y0; row < y1; ++row) {
        unsigned char *out = box + row * w;
        const unsigned char *in = src ? src + (row - y) * src_w - x : nullptr;
        for (long long column = x0; column < x1; ++column) {
            const unsigned sum = out[column] + (in ? in[column] : 255u);
            out[column] = static_cast<unsigned char>(std::min(sum, 255u));
        }
    }
}

} // namespace

void add_text_coverage(Font &font, const char *text, int length, long long x, long long baseline,
                       int w, int h, unsigned char *box) {
    long long pen = x;
    for (int i = 0; i < length && pen < w; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const Glyph &shape = font.shape(c);
        const long long left = pen + shape.left, top = baseline - shape.top;
        if (shape.w > 0 && left < w && left + shape.w > 0 && top < h && top + shape.h > 0) {
            const Glyph &g = font.glyph(c);
            if (g.coverage)
                add_block(g.coverage, g.w, g.h, left, top, w, h, box);
        }
        pen += shape.advance;
    }
    // The lines run from the pen's start to where it stopped (past the box
    // when the text was cut short there).
    const int line_w = static_cast<int>(std::min<long long>(pen - x, w + 1LL - x));
    if (font.underline_h > 0)
        add_block(nullptr, line_w, font.underline_h, x, baseline + font.underline_top, w, h, box);
    if (font.strike_h > 0)
        add_block(nullptr, line_w, font.strike_h, x, baseline + font.strike_top, w, h, box);
}

} // namespace glyphs
