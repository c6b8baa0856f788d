// Qt backend, graphics half: device contexts, GDI objects, shapes, text,
// scrolling, blits, pixels and memory blocks, drawn with QPainter on QImage
// (antialiasing off). The pixel rules are GDI's: a rectangle or ellipse box
// leaves out its right column and bottom row, a one-pixel pen outlines the
// pixels just inside the box, a wide pen is centred on that outline, and a
// null pen shrinks the filled area by one column and one row.
//
// Objects and contexts are kept in pools: a deleted one goes back to a free
// list and its memory stays valid, so a stale handle is recognised (not live)
// instead of being read after free. After warm-up, creating and deleting the
// pens and brushes of a drawing operation allocates nothing.
#include "qelma/platform/qt/qt_platform.h"
#include "qelma/platform/winlayer/queue.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QStaticText>
#include <QString>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum ObjectKind { KIND_PEN, KIND_BRUSH, KIND_FONT, KIND_BITMAP };

// Stock objects reachable by plat_get_stock_object, plus the defaults of a new
// context that GDI has no public number for here.
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
    STOCK_DEFAULT_BITMAP = 20, // the 1 x 1 bitmap of a new memory context
    STOCK_COUNT = 21,
};

constexpr int DEFAULT_FONT_PIXELS = 16; // a font asked for with height 0
constexpr int FIXED_FONT_PIXELS = 13;   // ANSI_FIXED_FONT and the other fixed stock fonts
constexpr long long MAX_BITMAP_PIXELS = 64LL * 1024 * 1024;

} // namespace

struct PlatObjectImpl {
    bool live;        // false once deleted (the memory waits in the free list)
    bool stock;       // never deleted
    int kind;         // ObjectKind
    int selections;   // how many contexts have it selected
    PlatColor color;  // pen or solid brush colour
    bool hollow;      // null pen or null brush
    int pen_width;    // 0 or 1: one pixel
    QFont font;       // font objects
    int font_ascent;  // font metrics, measured once at creation
    int font_height;  // ascent + descent
    int font_leading; // external leading, never negative
    QImage image;     // bitmap objects: Format_RGB32
};

struct PlatDCImpl {
    bool live;         // false once released or deleted
    PlatWindow window; // window context: draws on that window's backing image
    PlatObject bitmap; // memory context: the selected bitmap
    PlatObject pen;
    PlatObject brush;
    PlatObject font;
    PlatColor text_color;
    PlatColor bk_color;
    int bk_mode;       // OPAQUE or TRANSPARENT
    QPainter *painter; // memory context: open on the selected bitmap, or null
};

namespace {

// Pools of the three kinds of handle. Entries are never given back to the
// system, so a stale handle still points at readable memory whose live flag
// is false (or at a newer object of the same kind, as handles are on Windows).
// The pools themselves are never destroyed either: a static destructor
// running before the leak checker would make every pooled entry look lost.
std::vector<PlatObjectImpl *> &free_objects = *new std::vector<PlatObjectImpl *>;
std::vector<PlatDCImpl *> &free_dcs = *new std::vector<PlatDCImpl *>;
// The stock objects, made at first use.
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
    o->font_ascent = 0;
    o->font_height = 0;
    o->font_leading = 0;
    return o;
}

void free_object(PlatObjectImpl *o) {
    o->live = false;
    if (o->kind == KIND_FONT)
        o->font = QFont();
    o->image = QImage();
    free_objects.push_back(o);
}

bool object_ok(PlatObject o) {
    return o && o->live;
}

void measure_font(PlatObjectImpl *o) {
    QFontMetrics fm(o->font);
    o->font_ascent = fm.ascent();
    o->font_height = fm.height();
    o->font_leading = std::max(0, fm.leading());
}

void make_font(PlatObjectImpl *o, int pixels, bool fixed, const char *face) {
    QFont f;
    if (fixed) {
        f.setFamily(QStringLiteral("DejaVu Sans Mono"));
        f.setStyleHint(QFont::Monospace);
        f.setFixedPitch(true);
    } else {
        // The face name goes to font matching unchanged; an unknown face falls
        // back to the default sans-serif face.
        f.setFamily(face ? QString::fromLatin1(face) : QString());
        f.setStyleHint(QFont::SansSerif);
    }
    f.setPixelSize(pixels);
    // Smoothed as the desktop smooths text, on glyphs fitted to the pixel
    // grid as GDI fits them, which also keeps the advances whole pixels.
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setWeight(QFont::Normal);
    f.setKerning(false);
    o->font = f;
    measure_font(o);
}

PlatObjectImpl *stock(int which) {
    if (which < 0 || which >= STOCK_COUNT)
        return nullptr;
    if (stock_objects[which])
        return stock_objects[which];
    PlatObjectImpl *o = nullptr;
    switch (which) {
    case STOCK_WHITE_BRUSH:
    case STOCK_LTGRAY_BRUSH:
    case STOCK_GRAY_BRUSH:
    case STOCK_DKGRAY_BRUSH:
    case STOCK_BLACK_BRUSH: {
        static const unsigned levels[] = {255, 192, 128, 64, 0};
        o = new_object(KIND_BRUSH);
        unsigned v = levels[which - STOCK_WHITE_BRUSH];
        o->color = plat_rgb(v, v, v);
        break;
    }
    case STOCK_NULL_BRUSH:
        o = new_object(KIND_BRUSH);
        o->hollow = true;
        break;
    case STOCK_WHITE_PEN:
    case STOCK_BLACK_PEN:
        o = new_object(KIND_PEN);
        o->color = which == STOCK_WHITE_PEN ? plat_rgb(255, 255, 255) : 0;
        break;
    case STOCK_NULL_PEN:
        o = new_object(KIND_PEN);
        o->hollow = true;
        break;
    case STOCK_OEM_FIXED_FONT:
    case STOCK_ANSI_FIXED_FONT:
    case STOCK_SYSTEM_FIXED_FONT:
    case STOCK_ANSI_VAR_FONT:
    case STOCK_SYSTEM_FONT:
    case STOCK_DEVICE_DEFAULT_FONT:
    case STOCK_DEFAULT_GUI_FONT: {
        if (!plat_qt_ensure_app())
            return nullptr;
        bool fixed = which == STOCK_OEM_FIXED_FONT || which == STOCK_ANSI_FIXED_FONT ||
                     which == STOCK_SYSTEM_FIXED_FONT;
        o = new_object(KIND_FONT);
        make_font(o, fixed ? FIXED_FONT_PIXELS : DEFAULT_FONT_PIXELS, fixed, nullptr);
        break;
    }
    case STOCK_DEFAULT_BITMAP:
        o = new_object(KIND_BITMAP);
        o->image = QImage(1, 1, QImage::Format_RGB32);
        o->image.fill(0xFF000000u);
        break;
    default:
        return nullptr;
    }
    o->stock = true;
    stock_objects[which] = o;
    return o;
}

bool dc_ok(PlatDC dc) {
    return dc && dc->live;
}

// The image a context draws on, or nullptr (null, released or destroyed
// context, or a window without a client area).
QImage *target(PlatDC dc) {
    if (!dc_ok(dc))
        return nullptr;
    QImage *img = nullptr;
    if (dc->window)
        img = plat_qt_window_image(dc->window);
    else if (object_ok(dc->bitmap))
        img = &dc->bitmap->image;
    return img && !img->isNull() ? img : nullptr;
}

void drawn(PlatDC dc) {
    if (dc->window)
        plat_qt_window_drawn(dc->window);
}

void select_into(PlatObject *slot, PlatObject o) {
    if (*slot)
        (*slot)->selections--;
    *slot = o;
    o->selections++;
}

PlatDC new_dc(PlatWindow window) {
    // The defaults need the font system: make sure the application is there.
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
    dc->bitmap = nullptr;
    dc->pen = dc->brush = dc->font = nullptr;
    select_into(&dc->pen, pen);
    select_into(&dc->brush, brush);
    select_into(&dc->font, font);
    if (bitmap)
        select_into(&dc->bitmap, bitmap);
    dc->text_color = 0;
    dc->bk_color = plat_rgb(255, 255, 255);
    dc->bk_mode = OPAQUE;
    dc->painter = nullptr;
    return dc;
}

void end_persistent_painter(PlatDC dc);

void free_dc(PlatDC dc) {
    end_persistent_painter(dc);
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

QColor qcolor(PlatColor c) {
    return QColor::fromRgb(plat_qt_rgb_to_qrgb(c));
}

// A painter on img with the rules every operation shares.
void prepare(QPainter &p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    // Shapes are not smoothed and every colour is opaque, so copying the
    // source gives the same pixels as blending it, through the toolkit's
    // faster fills. Text is smoothed as the desktop smooths it, and blended
    // (see plat_text_out).
    p.setCompositionMode(QPainter::CompositionMode_Source);
}

// A memory context keeps one painter open on its bitmap for as long as the
// bitmap stays selected, since opening a painter costs more than most shapes;
// every operation still sets the pen, brush and font it draws with. A window
// context lives for a few operations and opens a painter for each.
void end_persistent_painter(PlatDC dc) {
    if (dc->painter) {
        dc->painter->end();
        delete dc->painter;
        dc->painter = nullptr;
    }
}

class Painting {
  public:
    Painting(PlatDC dc, QImage *img) {
        if (dc->window) {
            local_.begin(img);
            prepare(local_);
            painter_ = &local_;
        } else {
            if (!dc->painter) {
                dc->painter = new QPainter(img);
                prepare(*dc->painter);
            }
            painter_ = dc->painter;
        }
    }
    ~Painting() {
        if (local_.isActive())
            local_.end();
    }
    Painting(const Painting &) = delete;
    Painting &operator=(const Painting &) = delete;
    QPainter &get() { return *painter_; }

  private:
    QPainter local_;
    QPainter *painter_ = nullptr;
};

QPen wide_pen(PlatObject pen) {
    QPen qp(qcolor(pen->color), pen->pen_width);
    qp.setCapStyle(Qt::RoundCap);
    qp.setJoinStyle(Qt::RoundJoin);
    return qp;
}

// Shapes are given to the toolkit within the seam's range of coordinates;
// farther points (only from direct callers) are pulled in.
constexpr int COORD_LIMIT = PLAT_COORD_LIMIT;
bool within_limit(int v) {
    return v >= -COORD_LIMIT && v <= COORD_LIMIT;
}
int clamp_coord(int v) {
    return std::clamp(v, -COORD_LIMIT, COORD_LIMIT);
}

// Offset of a polygon's points under a one-pixel pen (see plat_polygon).
constexpr double THIN_POLYGON_SHIFT = 0.25;

void order(int *a, int *b) {
    if (*a > *b)
        std::swap(*a, *b);
}

} // namespace

// ------------------------------------------------------ shared with qt_platform

PlatColor plat_qt_brush_color(PlatObject brush, PlatColor fallback) {
    if (!object_ok(brush) || brush->kind != KIND_BRUSH || brush->hollow)
        return fallback;
    return brush->color;
}

void plat_qt_copy_pixels(QImage &dst, int dx_in, int dy_in, const QImage &src, int sx_in, int sy_in,
                         int w_in, int h_in) {
    // Clip the source block to src, then the destination block to dst, in 64
    // bits so that no sum of far-off coordinates overflows.
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
    w = std::min({w, src.width() - sx, dst.width() - dx});
    h = std::min({h, src.height() - sy, dst.height() - dy});
    if (w <= 0 || h <= 0)
        return;
    const std::size_t bytes = static_cast<std::size_t>(w) * 4;
    uchar *dbits = dst.bits(); // detaches dst when it shares its pixels
    const bool same = dbits == src.constBits();
    const uchar *sbits = same ? dbits : src.constBits();
    const qsizetype dstride = dst.bytesPerLine();
    const qsizetype sstride = same ? dstride : src.bytesPerLine();
    // Within one image, copy bottom-up when moving down so that no source row
    // is overwritten before it is read; memmove handles sideways overlap.
    const bool bottom_up = same && dy > sy;
    for (long long i = 0; i < h; i++) {
        const long long row = bottom_up ? h - 1 - i : i;
        std::memmove(dbits + (dy + row) * dstride + dx * 4, sbits + (sy + row) * sstride + sx * 4,
                     bytes);
    }
}

// -------------------------------------------------------------- contexts

PlatDC plat_get_dc(PlatWindow window) {
    if (!plat_qt_window_image(window))
        return nullptr;
    return new_dc(window);
}

void plat_release_dc(PlatWindow window, PlatDC dc) {
    if (!dc_ok(dc))
        return;
    if (!dc->window || (window && dc->window != window)) {
        winlayer::warn("release_dc: the context does not belong to that window; kept");
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
        winlayer::warn("delete_dc: a window context is given back with release_dc");
        return;
    }
    free_dc(dc);
}

PlatObject plat_create_compatible_bitmap(PlatDC dc, int w, int h) {
    if (!dc_ok(dc))
        return nullptr;
    if (w <= 0 || h <= 0 || static_cast<long long>(w) * h > MAX_BITMAP_PIXELS) {
        winlayer::warn("create_compatible_bitmap: bad size %d x %d", w, h);
        return nullptr;
    }
    QImage image(w, h, QImage::Format_RGB32);
    if (image.isNull()) {
        winlayer::warn("create_compatible_bitmap: out of memory for %d x %d", w, h);
        return nullptr;
    }
    image.fill(0xFF000000u);
    PlatObjectImpl *o = new_object(KIND_BITMAP);
    o->image = image;
    return o;
}

// --------------------------------------------------------------- objects

PlatObject plat_create_pen(int style, int width, PlatColor color) {
    if (style != PS_SOLID)
        winlayer::warn("create_pen: style %d is drawn solid", style);
    if (width < 0 || width > PLAT_MAX_PEN_WIDTH) {
        winlayer::warn("create_pen: width %d out of range; using %d", width,
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
    if (which == STOCK_DEFAULT_BITMAP || !stock(which)) {
        winlayer::warn("get_stock_object: no stock object %d", which);
        return nullptr;
    }
    return stock(which);
}

PlatObject plat_create_font(int height, int width, int escapement, int orientation, int weight,
                            unsigned italic, unsigned underline, unsigned strike_out,
                            unsigned char_set, unsigned out_precision, unsigned clip_precision,
                            unsigned quality, unsigned pitch_and_family, const char *face) {
    (void)width, (void)escapement, (void)orientation, (void)char_set, (void)out_precision;
    (void)clip_precision, (void)quality;
    if (!plat_qt_ensure_app())
        return nullptr;
    long long pixels = height < 0 ? -static_cast<long long>(height) : height;
    if (pixels == 0)
        pixels = DEFAULT_FONT_PIXELS;
    if (pixels > PLAT_MAX_FONT_PIXELS) {
        winlayer::warn("create_font: height %d too large; using %d", height, PLAT_MAX_FONT_PIXELS);
        pixels = PLAT_MAX_FONT_PIXELS;
    }
    const bool fixed = (pitch_and_family & 3) == 1; // FIXED_PITCH
    const int qweight = weight > 0 ? std::clamp(weight, 100, 900) : 0;
    const std::string name = face ? face : "";

    // Matching a font and measuring it is slow, and programs ask for the same
    // few fonts over and over: the last ones made are kept by what was asked.
    struct MadeFont {
        int pixels, weight;
        bool fixed, italic, underline, strike_out;
        std::string face;
        QFont font;
        int ascent, height, leading;
    };
    static std::vector<MadeFont> &made = *new std::vector<MadeFont>;
    constexpr std::size_t MADE_FONTS_KEPT = 32;
    PlatObjectImpl *o = new_object(KIND_FONT);
    for (const MadeFont &m : made) {
        if (m.pixels == pixels && m.weight == qweight && m.fixed == fixed &&
            m.italic == (italic != 0) && m.underline == (underline != 0) &&
            m.strike_out == (strike_out != 0) && m.face == name) {
            o->font = m.font;
            o->font_ascent = m.ascent;
            o->font_height = m.height;
            o->font_leading = m.leading;
            return o;
        }
    }
    make_font(o, static_cast<int>(pixels), fixed, face);
    if (qweight > 0)
        o->font.setWeight(static_cast<QFont::Weight>(qweight));
    o->font.setItalic(italic != 0);
    o->font.setUnderline(underline != 0);
    o->font.setStrikeOut(strike_out != 0);
    measure_font(o);
    if (made.size() == MADE_FONTS_KEPT)
        made.erase(made.begin());
    made.push_back(MadeFont{static_cast<int>(pixels), qweight, fixed, italic != 0,
                            underline != 0, strike_out != 0, name, o->font, o->font_ascent,
                            o->font_height, o->font_leading});
    return o;
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
            winlayer::warn("select_object: a bitmap goes only into a memory context");
            return nullptr;
        }
        if (object != dc->bitmap && object->selections > 0 && !object->stock) {
            winlayer::warn("select_object: the bitmap is already selected into another context");
            return nullptr;
        }
        if (object != dc->bitmap)
            end_persistent_painter(dc);
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
        winlayer::warn("delete_object: the object is still selected into a context; kept");
        return 0;
    }
    free_object(object);
    return 1;
}

// ---------------------------------------------------------------- shapes

int plat_rectangle(PlatDC dc, int left_in, int top_in, int right_in, int bottom_in) {
    QImage *img = target(dc);
    if (!img)
        return 0;
    PlatObject pen = dc->pen, brush = dc->brush;
    // Edges far outside the image stay outside when pulled in to a margin
    // wider than the pen, so a huge box costs what a small one does.
    const long long margin = pen->pen_width + 2;
    auto pull = [](long long v, long long limit, long long m) {
        return std::clamp(v, -m, limit + m);
    };
    long long l = left_in, t = top_in, r = right_in, b = bottom_in;
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    const int left = static_cast<int>(pull(l, img->width(), margin));
    const int right = static_cast<int>(pull(r, img->width(), margin));
    const int top = static_cast<int>(pull(t, img->height(), margin));
    const int bottom = static_cast<int>(pull(b, img->height(), margin));
    const int w = right - left, h = bottom - top;
    Painting painting(dc, img);
    QPainter &p = painting.get();
    if (pen->hollow) {
        if (!brush->hollow && w > 1 && h > 1)
            p.fillRect(left, top, w - 1, h - 1, qcolor(brush->color));
    } else if (pen->pen_width <= 1) {
        if (!brush->hollow && w > 2 && h > 2)
            p.fillRect(left + 1, top + 1, w - 2, h - 2, qcolor(brush->color));
        if (w > 0 && h > 0) {
            const QColor c = qcolor(pen->color);
            p.fillRect(left, top, w, 1, c);
            p.fillRect(left, bottom - 1, w, 1, c);
            p.fillRect(left, top, 1, h, c);
            p.fillRect(right - 1, top, 1, h, c);
        }
    } else if (w > 0 && h > 0) {
        if (!brush->hollow && w > 2 && h > 2)
            p.fillRect(left + 1, top + 1, w - 2, h - 2, qcolor(brush->color));
        // The path runs through the centres of the one-pixel outline.
        p.setPen(wide_pen(pen));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(left + 0.5, top + 0.5, w - 1, h - 1));
    }
    drawn(dc);
    return 1;
}

int plat_ellipse(PlatDC dc, int left, int top, int right, int bottom) {
    QImage *img = target(dc);
    if (!img)
        return 0;
    if (!within_limit(left) || !within_limit(top) || !within_limit(right) ||
        !within_limit(bottom)) {
        winlayer::warn("ellipse: box (%d, %d, %d, %d) clamped to +-%d", left, top, right, bottom,
                     COORD_LIMIT);
        left = clamp_coord(left);
        top = clamp_coord(top);
        right = clamp_coord(right);
        bottom = clamp_coord(bottom);
    }
    order(&left, &right);
    order(&top, &bottom);
    const int w = right - left, h = bottom - top;
    PlatObject pen = dc->pen, brush = dc->brush;
    Painting painting(dc, img);
    QPainter &p = painting.get();
    // A box one pixel thin is a line of its colour; the toolkit draws no
    // ellipse of zero size.
    const int shrink = pen->hollow ? 1 : 0;
    if ((w - shrink == 1 && h - shrink >= 1) || (h - shrink == 1 && w - shrink >= 1)) {
        if (!pen->hollow && pen->pen_width <= 1)
            p.fillRect(left, top, w, h, qcolor(pen->color));
        else if (pen->hollow && !brush->hollow)
            p.fillRect(left, top, w - 1, h - 1, qcolor(brush->color));
        else if (!pen->hollow) {
            // GDI's round nib covers the pixels whose centres lie within
            // (width - 1) / 2 of the path: for width 3 a plus sign, where
            // the toolkit's round cap also takes the four corners.
            QPen nib = wide_pen(pen);
            nib.setWidthF(pen->pen_width - 0.8);
            p.setPen(nib);
            p.drawLine(QPointF(left + 0.5, top + 0.5), QPointF(right - 0.5, bottom - 0.5));
        }
    } else if (pen->hollow) {
        // Outlining the fill in its own colour keeps the filled area exactly
        // inside columns left..right-2 and rows top..bottom-2.
        if (!brush->hollow && w > 1 && h > 1) {
            p.setPen(QPen(qcolor(brush->color), 0));
            p.setBrush(qcolor(brush->color));
            p.drawEllipse(QRect(left, top, w - 2, h - 2));
        }
    } else if (pen->pen_width <= 1) {
        if (w > 0 && h > 0) {
            p.setPen(QPen(qcolor(pen->color), 0));
            if (brush->hollow)
                p.setBrush(Qt::NoBrush);
            else
                p.setBrush(qcolor(brush->color));
            p.drawEllipse(QRect(left, top, w - 1, h - 1));
        }
    } else if (w > 0 && h > 0) {
        p.setPen(wide_pen(pen));
        if (brush->hollow)
            p.setBrush(Qt::NoBrush);
        else
            p.setBrush(qcolor(brush->color));
        p.drawEllipse(QRectF(left + 0.5, top + 0.5, w - 1, h - 1));
    }
    drawn(dc);
    return 1;
}

int plat_polygon(PlatDC dc, const PlatPoint *points, int count) {
    QImage *img = target(dc);
    if (!img)
        return 0;
    if (!points || count < 2) {
        winlayer::warn("polygon: needs at least 2 points, got %d", points ? count : 0);
        return 0;
    }
    PlatObject pen = dc->pen, brush = dc->brush;
    // Up to a triangle-strip's worth of points without allocating.
    constexpr int LOCAL = 16;
    QPointF local[LOCAL];
    std::vector<QPointF> heap;
    QPointF *pts = local;
    if (count > LOCAL) {
        heap.resize(static_cast<std::size_t>(count));
        pts = heap.data();
    }
    // A wide pen's path runs through the pixel centres. A one-pixel pen's
    // outline runs a quarter pixel right of and below the pixel corners:
    // GDI takes the pixel nearest to each point of a slanted edge, and from
    // the corners the toolkit picks one row or column too far up or left on
    // about every other step (the game's hills, measured against GDI under
    // Wine: 99.98 % identical pixels instead of 99.90 %). A plain fill keeps
    // the pixel corners.
    const double shift = !pen->hollow ? (pen->pen_width > 1 ? 0.5 : THIN_POLYGON_SHIFT) : 0.0;
    bool clamped = false;
    for (int i = 0; i < count; i++) {
        clamped = clamped || !within_limit(points[i].x) || !within_limit(points[i].y);
        pts[i] = QPointF(clamp_coord(points[i].x) + shift, clamp_coord(points[i].y) + shift);
    }
    if (clamped)
        winlayer::warn("polygon: points clamped to +-%d", COORD_LIMIT);
    Painting painting(dc, img);
    QPainter &p = painting.get();
    if (pen->hollow)
        p.setPen(Qt::NoPen);
    else if (pen->pen_width <= 1)
        p.setPen(QPen(qcolor(pen->color), 0));
    else
        p.setPen(wide_pen(pen));
    if (brush->hollow)
        p.setBrush(Qt::NoBrush);
    else
        p.setBrush(qcolor(brush->color));
    p.drawPolygon(pts, count, Qt::OddEvenFill);
    drawn(dc);
    return 1;
}

// ------------------------------------------------------------------ text

PlatColor plat_set_text_color(PlatDC dc, PlatColor color) {
    if (!dc_ok(dc))
        return PLAT_INVALID_COLOR;
    PlatColor previous = dc->text_color;
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
        winlayer::warn("set_bk_mode: unknown mode %d; unchanged", mode);
        return 0;
    }
    int previous = dc->bk_mode;
    dc->bk_mode = mode;
    return previous;
}

PlatColor plat_get_bk_color(PlatDC dc) {
    return dc_ok(dc) ? dc->bk_color : PLAT_INVALID_COLOR;
}

namespace {

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

int plat_get_text_extent_point(PlatDC dc, const char *text, int length, int *cx, int *cy) {
    if (cx)
        *cx = 0;
    if (cy)
        *cy = 0;
    if (!dc_ok(dc) || !cx || !cy)
        return 0;
    if (length < 0 || (!text && length > 0)) {
        winlayer::warn("get_text_extent_point: bad text (length %d)", length);
        return 0;
    }
    const TextLayout *laid_out =
        length > 0 && !dc->window ? layout_for(text, length, dc->font->font) : nullptr;
    if (laid_out)
        *cx = laid_out->width;
    else
        *cx = length > 0 ? QFontMetrics(dc->font->font).horizontalAdvance(
                               QString::fromLatin1(text, length))
                         : 0;
    *cy = dc->font->font_height;
    return 1;
}

int plat_get_text_metrics(PlatDC dc, int *height, int *external_leading) {
    if (!dc_ok(dc))
        return 0;
    if (height)
        *height = dc->font->font_height;
    if (external_leading)
        *external_leading = dc->font->font_leading;
    return 1;
}

int plat_text_out(PlatDC dc, int x, int y, const char *text, int length) {
    QImage *img = target(dc);
    if (!img)
        return 0;
    if (length < 0 || (!text && length > 0)) {
        winlayer::warn("text_out: bad text (length %d)", length);
        return 0;
    }
    if (length == 0 || !within_limit(x) || !within_limit(y))
        return 1; // nothing to draw, or nothing of it on the image
    PlatObject font = dc->font;
    Painting painting(dc, img);
    QPainter &p = painting.get();
    p.setFont(font->font);
    const TextLayout *laid_out = dc->window ? nullptr : layout_for(text, length, font->font);
    const QString s = laid_out ? QString() : QString::fromLatin1(text, length);
    if (dc->bk_mode == OPAQUE) {
        const int w = laid_out ? laid_out->width : p.fontMetrics().horizontalAdvance(s);
        p.fillRect(x, y, w, font->font_height, qcolor(dc->bk_color));
    }
    p.setPen(qcolor(dc->text_color));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (laid_out)
        p.drawStaticText(QPointF(x, y), laid_out->layout);
    else
        p.drawText(x, y + font->font_ascent, s);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    drawn(dc);
    return 1;
}

// ------------------------------------------------------ scroll, blit, pixel

int plat_scroll_dc(PlatDC dc, int dx, int dy) {
    QImage *img = target(dc);
    if (!img)
        return 0;
    end_persistent_painter(dc); // raw pixel writes go past the painter
    plat_qt_copy_pixels(*img, dx, dy, *img, 0, 0, img->width(), img->height());
    drawn(dc);
    return 1;
}

int plat_bit_blt(PlatDC dest, int x, int y, int w, int h, PlatDC src, int src_x, int src_y,
                 unsigned long rop) {
    QImage *d = target(dest);
    QImage *s = target(src);
    if (!d || !s)
        return 0;
    if (rop != SRCCOPY) {
        winlayer::warn("bit_blt: only SRCCOPY is supported (got 0x%lx)", rop);
        return 0;
    }
    if (w < 0 || h < 0) {
        winlayer::warn("bit_blt: negative size %d x %d", w, h);
        return 0;
    }
    end_persistent_painter(dest); // raw pixel writes go past the painter
    plat_qt_copy_pixels(*d, x, y, *s, src_x, src_y, w, h);
    drawn(dest);
    return 1;
}

PlatColor plat_get_pixel(PlatDC dc, int x, int y) {
    QImage *img = target(dc);
    if (!img || x < 0 || y < 0 || x >= img->width() || y >= img->height())
        return PLAT_INVALID_COLOR;
    return plat_qt_qrgb_to_color(img->pixel(x, y));
}
