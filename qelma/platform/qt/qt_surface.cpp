// Qt backend, surfaces: the pixels behind bitmaps and window client areas
// (QImage, Format_RGB32) and the shapes, copies and scrolling drawn on them
// with QPainter, antialiasing off. The pixel rules are GDI's: a rectangle or
// ellipse box leaves out its right column and bottom row, a one-pixel pen
// outlines the pixels just inside the box, a wide pen is centred on that
// outline, and a null pen shrinks the filled area by one column and one row.
// Leaves out: pen styles other than solid, raster operations other than
// SRCCOPY, clipping regions.
// Departs from Windows: a slanted edge under a one-pixel pen may take the
// neighbouring pixel now and then (99.98 % of the game's pixels match GDI's).
#include "qelma/platform/qt/qt_platform.h"
#include "qelma/platform/winlayer/gdi_objects.h"
#include "qelma/platform/winlayer/toolkit.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cstring>
#include <vector>

using winlayer::object_ok;

QColor plat_qt_qcolor(PlatColor c) {
    return QColor::fromRgb(plat_qt_rgb_to_qrgb(c));
}

namespace {

// A painter with the rules every operation shares.
void prepare(QPainter &p) {
    p.setRenderHint(QPainter::Antialiasing, false);
    // Shapes are not smoothed and every colour is opaque, so copying the
    // source gives the same pixels as blending it, through the toolkit's
    // faster fills. Text is smoothed as the desktop smooths it, and blended
    // (see plat_text_out).
    p.setCompositionMode(QPainter::CompositionMode_Source);
}

QPen wide_pen(PlatObject pen) {
    QPen qp(plat_qt_qcolor(pen->color), pen->pen_width);
    qp.setCapStyle(Qt::RoundCap);
    qp.setJoinStyle(Qt::RoundJoin);
    return qp;
}

// Offset of a polygon's points under a one-pixel pen (see plat_polygon).
constexpr double THIN_POLYGON_SHIFT = 0.25;

void order(int *a, int *b) {
    if (*a > *b)
        std::swap(*a, *b);
}

} // namespace

// A memory context keeps one painter open on its bitmap for as long as the
// bitmap stays selected, since opening a painter costs more than most shapes;
// every operation still sets the pen, brush and font it draws with. A window
// context lives for a few operations and opens a painter for each.
PlatQtPainting::PlatQtPainting(PlatDC dc, QImage *img) {
    if (dc->window) {
        local_.begin(img);
        prepare(local_);
        painter_ = &local_;
    } else {
        if (!dc->toolkit) {
            QPainter *kept = new QPainter(img);
            prepare(*kept);
            dc->toolkit = kept;
        }
        painter_ = static_cast<QPainter *>(dc->toolkit);
    }
}

PlatQtPainting::~PlatQtPainting() {
    if (local_.isActive())
        local_.end();
}

QImage *plat_qt_target(PlatDC dc) {
    if (!winlayer::dc_ok(dc))
        return nullptr;
    QImage *img = nullptr;
    if (dc->window)
        img = plat_qt_window_image(dc->window);
    else if (object_ok(dc->bitmap))
        img = static_cast<QImage *>(dc->bitmap->toolkit);
    return img && !img->isNull() ? img : nullptr;
}

void plat_qt_drawn(PlatDC dc) {
    if (dc->window)
        plat_qt_window_drawn(dc->window);
}

// ------------------------------------------------------- toolkit contract

bool tk_window_has_surface(PlatWindow window) {
    return plat_qt_window_image(window) != nullptr;
}

bool tk_bitmap_made(PlatObject bitmap) {
    QImage *image = new QImage(bitmap->width, bitmap->height, QImage::Format_RGB32);
    if (image->isNull()) {
        delete image;
        return false;
    }
    image->fill(0xFF000000u);
    bitmap->toolkit = image;
    return true;
}

void tk_object_freed(PlatObject object) {
    if (object->kind == winlayer::KIND_BITMAP)
        delete static_cast<QImage *>(object->toolkit);
    else if (object->kind == winlayer::KIND_FONT)
        delete static_cast<QFont *>(object->toolkit);
}

void tk_dc_closing(PlatDC dc) {
    if (QPainter *kept = static_cast<QPainter *>(dc->toolkit)) {
        kept->end();
        delete kept;
        dc->toolkit = nullptr;
    }
}

void plat_qt_copy_pixels(QImage &dst, int dx_in, int dy_in, const QImage &src, int sx_in, int sy_in,
                         int w_in, int h_in) {
    winlayer::CopyBlock b;
    if (!winlayer::clip_copy(dst.width(), dst.height(), src.width(), src.height(), dx_in, dy_in,
                             sx_in, sy_in, w_in, h_in, b))
        return;
    const long long dx = b.dx, dy = b.dy, sx = b.sx, sy = b.sy, w = b.w, h = b.h;
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

// ---------------------------------------------------------------- shapes

int plat_rectangle(PlatDC dc, int left_in, int top_in, int right_in, int bottom_in) {
    QImage *img = plat_qt_target(dc);
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
    PlatQtPainting painting(dc, img);
    QPainter &p = painting.get();
    if (pen->hollow) {
        if (!brush->hollow && w > 1 && h > 1)
            p.fillRect(left, top, w - 1, h - 1, plat_qt_qcolor(brush->color));
    } else if (pen->pen_width <= 1) {
        if (!brush->hollow && w > 2 && h > 2)
            p.fillRect(left + 1, top + 1, w - 2, h - 2, plat_qt_qcolor(brush->color));
        if (w > 0 && h > 0) {
            const QColor c = plat_qt_qcolor(pen->color);
            p.fillRect(left, top, w, 1, c);
            p.fillRect(left, bottom - 1, w, 1, c);
            p.fillRect(left, top, 1, h, c);
            p.fillRect(right - 1, top, 1, h, c);
        }
    } else if (w > 0 && h > 0) {
        if (!brush->hollow && w > 2 && h > 2)
            p.fillRect(left + 1, top + 1, w - 2, h - 2, plat_qt_qcolor(brush->color));
        // The path runs through the centres of the one-pixel outline.
        p.setPen(wide_pen(pen));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(left + 0.5, top + 0.5, w - 1, h - 1));
    }
    plat_qt_drawn(dc);
    return 1;
}

int plat_ellipse(PlatDC dc, int left, int top, int right, int bottom) {
    QImage *img = plat_qt_target(dc);
    if (!img)
        return 0;
    winlayer::clamp_box("ellipse", left, top, right, bottom);
    order(&left, &right);
    order(&top, &bottom);
    const int w = right - left, h = bottom - top;
    PlatObject pen = dc->pen, brush = dc->brush;
    PlatQtPainting painting(dc, img);
    QPainter &p = painting.get();
    // A box one pixel thin is a line of its colour; the toolkit draws no
    // ellipse of zero size.
    const int shrink = pen->hollow ? 1 : 0;
    if ((w - shrink == 1 && h - shrink >= 1) || (h - shrink == 1 && w - shrink >= 1)) {
        if (!pen->hollow && pen->pen_width <= 1)
            p.fillRect(left, top, w, h, plat_qt_qcolor(pen->color));
        else if (pen->hollow && !brush->hollow)
            p.fillRect(left, top, w - 1, h - 1, plat_qt_qcolor(brush->color));
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
            p.setPen(QPen(plat_qt_qcolor(brush->color), 0));
            p.setBrush(plat_qt_qcolor(brush->color));
            p.drawEllipse(QRect(left, top, w - 2, h - 2));
        }
    } else if (pen->pen_width <= 1) {
        if (w > 0 && h > 0) {
            p.setPen(QPen(plat_qt_qcolor(pen->color), 0));
            if (brush->hollow)
                p.setBrush(Qt::NoBrush);
            else
                p.setBrush(plat_qt_qcolor(brush->color));
            p.drawEllipse(QRect(left, top, w - 1, h - 1));
        }
    } else if (w > 0 && h > 0) {
        p.setPen(wide_pen(pen));
        if (brush->hollow)
            p.setBrush(Qt::NoBrush);
        else
            p.setBrush(plat_qt_qcolor(brush->color));
        p.drawEllipse(QRectF(left + 0.5, top + 0.5, w - 1, h - 1));
    }
    plat_qt_drawn(dc);
    return 1;
}

int plat_polygon(PlatDC dc, const PlatPoint *points, int count) {
    QImage *img = plat_qt_target(dc);
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
        clamped = clamped || !winlayer::within_coord_limit(points[i].x) ||
                  !winlayer::within_coord_limit(points[i].y);
        pts[i] = QPointF(winlayer::clamp_coord(points[i].x) + shift,
                         winlayer::clamp_coord(points[i].y) + shift);
    }
    if (clamped)
        winlayer::warn("polygon: points clamped to +-%d", PLAT_COORD_LIMIT);
    PlatQtPainting painting(dc, img);
    QPainter &p = painting.get();
    if (pen->hollow)
        p.setPen(Qt::NoPen);
    else if (pen->pen_width <= 1)
        p.setPen(QPen(plat_qt_qcolor(pen->color), 0));
    else
        p.setPen(wide_pen(pen));
    if (brush->hollow)
        p.setBrush(Qt::NoBrush);
    else
        p.setBrush(plat_qt_qcolor(brush->color));
    p.drawPolygon(pts, count, Qt::OddEvenFill);
    plat_qt_drawn(dc);
    return 1;
}

// ------------------------------------------------------ scroll, blit, pixel

int plat_scroll_dc(PlatDC dc, int dx, int dy) {
    QImage *img = plat_qt_target(dc);
    if (!img)
        return 0;
    tk_dc_closing(dc); // raw pixel writes go past the painter
    plat_qt_copy_pixels(*img, dx, dy, *img, 0, 0, img->width(), img->height());
    plat_qt_drawn(dc);
    return 1;
}

int plat_bit_blt(PlatDC dest, int x, int y, int w, int h, PlatDC src, int src_x, int src_y,
                 unsigned long rop) {
    QImage *d = plat_qt_target(dest);
    QImage *s = plat_qt_target(src);
    if (!d || !s)
        return 0;
    if (!winlayer::bit_blt_allowed(rop, w, h))
        return 0;
    tk_dc_closing(dest); // raw pixel writes go past the painter
    plat_qt_copy_pixels(*d, x, y, *s, src_x, src_y, w, h);
    plat_qt_drawn(dest);
    return 1;
}

int plat_read_pixels(PlatDC dc, int x, int y, int w, int h, std::uint32_t *rgb) {
    QImage *img = plat_qt_target(dc);
    if (!img || !rgb || w <= 0 || h <= 0 || x < 0 || y < 0 || x > img->width() - w ||
        y > img->height() - h)
        return 0;
    for (int row = 0; row < h; ++row) {
        const auto *line = reinterpret_cast<const QRgb *>(img->constScanLine(y + row)) + x;
        for (int column = 0; column < w; ++column)
            *rgb++ = line[column] & 0xFFFFFFu;
    }
    return 1;
}

PlatColor plat_get_pixel(PlatDC dc, int x, int y) {
    QImage *img = plat_qt_target(dc);
    if (!img || x < 0 || y < 0 || x >= img->width() || y >= img->height())
        return PLAT_INVALID_COLOR;
    return plat_qt_qrgb_to_color(img->pixel(x, y));
}
