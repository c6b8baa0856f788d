// Qt backend, text: the layer's font requests matched with QFont and
// measured with QFontMetrics, and text drawn with QPainter at the top-left
// corner of its cell, opaque or transparent, and its extent.
// Leaves out: widths, angles, character sets and precisions of a request.
// Departs from Windows: a name font matching does not know gets the
// toolkit's default sans-serif face (choose_face_for_unknown_names), and
// fixed-pitch fonts are DejaVu Sans Mono; text is smoothed as the desktop
// smooths it, on glyphs fitted to whole pixels, so extents stay whole pixels
// as with GDI.
#include "qelma/platform/qt/qt_platform.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QStaticText>
#include <QString>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The face of fixed-pitch fonts.
const char *const FIXED_FACE = "DejaVu Sans Mono";

// The face drawn for a name that font matching does not know: the toolkit's
// default sans-serif face. "QELMA-font" itself is mapped to a face with
// Arial's widths at start-up (qt_environment.cpp).
void choose_face_for_unknown_names(QFont &f) {
    f.setStyleHint(QFont::SansSerif);
}

QFont &qfont(PlatObject font) {
    return *static_cast<QFont *>(font->toolkit);
}

QFont matched_font(const winlayer::FontRequest &r) {
    QFont f;
    if (r.fixed) {
        f.setFamily(QString::fromLatin1(FIXED_FACE));
        f.setStyleHint(QFont::Monospace);
        f.setFixedPitch(true);
    } else {
        // The face name goes to font matching unchanged.
        f.setFamily(QString::fromStdString(r.face));
        choose_face_for_unknown_names(f);
    }
    f.setPixelSize(r.pixels);
    // Smoothed as the desktop smooths text, on glyphs fitted to the pixel
    // grid as GDI fits them, which also keeps the advances whole pixels.
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setWeight(r.weight > 0 ? static_cast<QFont::Weight>(r.weight) : QFont::Normal);
    f.setKerning(false);
    f.setItalic(r.italic);
    f.setUnderline(r.underline);
    f.setStrikeOut(r.strike_out);
    return f;
}

bool same_request(const winlayer::FontRequest &a, const winlayer::FontRequest &b) {
    return a.pixels == b.pixels && a.weight == b.weight && a.fixed == b.fixed &&
           a.italic == b.italic && a.underline == b.underline && a.strike_out == b.strike_out &&
           a.face == b.face;
}

// Laying a text out (shaping) costs far more than drawing its glyphs, and a
// program redraws the same texts on its canvas frame after frame, so the
// layouts of the texts drawn last on memory contexts are kept, by characters
// and font. Texts with line breaks are drawn directly: a laid-out text would
// break its lines where a plain text output draws none.
struct TextLayout {
    std::string text;
    QFont font;
    QStaticText layout;
    int width;
    unsigned long long used; // when it was last drawn, for evicting the oldest
};
constexpr std::size_t TEXT_LAYOUT_CACHE = 64;
std::vector<TextLayout> &text_layouts = *new std::vector<TextLayout>;
unsigned long long text_clock = 0;

const TextLayout *layout_for(const char *text, int length, const QFont &font) {
    if (std::memchr(text, '\n', static_cast<std::size_t>(length)) ||
        std::memchr(text, '\r', static_cast<std::size_t>(length)))
        return nullptr;
    ++text_clock;
    TextLayout *oldest = nullptr;
    for (TextLayout &t : text_layouts) {
        if (t.text.size() == static_cast<std::size_t>(length) &&
            std::memcmp(t.text.data(), text, static_cast<std::size_t>(length)) == 0 &&
            t.font == font) {
            t.used = text_clock;
            return &t;
        }
        if (!oldest || t.used < oldest->used)
            oldest = &t;
    }
    if (text_layouts.size() < TEXT_LAYOUT_CACHE) {
        text_layouts.emplace_back();
        oldest = &text_layouts.back();
    }
    const QString s = QString::fromLatin1(text, length);
    oldest->text.assign(text, static_cast<std::size_t>(length));
    oldest->font = font;
    oldest->layout = QStaticText(s);
    oldest->layout.setTextFormat(Qt::PlainText);
    oldest->layout.setPerformanceHint(QStaticText::AggressiveCaching);
    oldest->layout.prepare(QTransform(), font);
    oldest->width = QFontMetrics(font).horizontalAdvance(s);
    oldest->used = text_clock;
    return oldest;
}

} // namespace

// Matching a font and measuring it is slow, and programs ask for the same few
// fonts over and over: the last ones made are kept by what was asked.
bool tk_font_made(PlatObject o) {
    struct MadeFont {
        winlayer::FontRequest request;
        QFont font;
        int ascent, height, leading;
    };
    static std::vector<MadeFont> &made = *new std::vector<MadeFont>;
    constexpr std::size_t MADE_FONTS_KEPT = 32;
    for (const MadeFont &m : made) {
        if (same_request(m.request, o->font)) {
            o->toolkit = new QFont(m.font);
            o->font_ascent = m.ascent;
            o->font_height = m.height;
            o->font_leading = m.leading;
            return true;
        }
    }
    QFont *font = new QFont(matched_font(o->font));
    const QFontMetrics fm(*font);
    o->toolkit = font;
    o->font_ascent = fm.ascent();
    o->font_height = fm.height();
    o->font_leading = std::max(0, fm.leading());
    if (made.size() == MADE_FONTS_KEPT)
        made.erase(made.begin());
    made.push_back(MadeFont{o->font, *font, o->font_ascent, o->font_height, o->font_leading});
    return true;
}

int plat_get_text_extent_point(PlatDC dc, const char *text, int length, int *cx, int *cy) {
    if (!winlayer::text_extent_arguments_ok(dc, text, length, cx, cy))
        return 0;
    const TextLayout *laid_out =
        length > 0 && !dc->window ? layout_for(text, length, qfont(dc->font)) : nullptr;
    if (laid_out)
        *cx = laid_out->width;
    else
        *cx = length > 0 ? QFontMetrics(qfont(dc->font)).horizontalAdvance(
                               QString::fromLatin1(text, length))
                         : 0;
    *cy = dc->font->font_height;
    return 1;
}

int plat_text_out(PlatDC dc, int x, int y, const char *text, int length) {
    QImage *img = plat_qt_target(dc);
    if (!img)
        return 0;
    if (length < 0 || (!text && length > 0)) {
        winlayer::warn("text_out: bad text (length %d)", length);
        return 0;
    }
    if (length == 0 || !winlayer::within_coord_limit(x) || !winlayer::within_coord_limit(y))
        return 1; // nothing to draw, or nothing of it on the image
    PlatObject font = dc->font;
    PlatQtPainting painting(dc, img);
    QPainter &p = painting.get();
    p.setFont(qfont(font));
    const TextLayout *laid_out = dc->window ? nullptr : layout_for(text, length, qfont(font));
    const QString s = laid_out ? QString() : QString::fromLatin1(text, length);
    if (dc->bk_mode == OPAQUE) {
        const int w = laid_out ? laid_out->width : p.fontMetrics().horizontalAdvance(s);
        p.fillRect(x, y, w, font->font_height, plat_qt_qcolor(dc->bk_color));
    }
    p.setPen(plat_qt_qcolor(dc->text_color));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (laid_out)
        p.drawStaticText(QPointF(x, y), laid_out->layout);
    else
        p.drawText(x, y + font->font_ascent, s);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    plat_qt_drawn(dc);
    return 1;
}

