// Qt backend, text: the layer's font requests matched with QFont and
// measured with QFontMetrics, and the coverage of a string drawn by QPainter
// (its alpha), which the layer places and blends (text.cpp).
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
#include <QString>

#include <algorithm>
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
        if (m.request == o->font) {
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

void tk_font_freed(PlatObject font) {
    delete static_cast<QFont *>(font->toolkit);
}

int tk_text_width(PlatObject font, const char *text, int length) {
    return QFontMetrics(qfont(font)).horizontalAdvance(QString::fromLatin1(text, length));
}

void tk_text_coverage(PlatObject font, const char *text, int length, int x, int baseline, int w,
                      int h, unsigned char *coverage) {
    // Drawn into a scratch image kept between texts (grown as needed), in
    // the format the toolkit draws fastest in; the coverage is its alpha.
    static QImage &scratch = *new QImage;
    if (scratch.width() < w || scratch.height() < h) {
        scratch = QImage(std::max(w, scratch.width()), std::max(h, scratch.height()),
                         QImage::Format_ARGB32_Premultiplied);
        if (scratch.isNull())
            return;
    }
    {
        QPainter p(&scratch);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(0, 0, w, h, Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setClipRect(0, 0, w, h);
        p.setFont(qfont(font));
        p.setPen(QColor(0, 0, 0, 255));
        p.drawText(QPointF(x, baseline), QString::fromLatin1(text, length));
    }
    for (int row = 0; row < h; ++row) {
        const auto *pixels = reinterpret_cast<const QRgb *>(scratch.constScanLine(row));
        unsigned char *out = coverage + static_cast<std::size_t>(row) * w;
        for (int column = 0; column < w; ++column)
            out[column] = static_cast<unsigned char>(qAlpha(pixels[column]));
    }
}
