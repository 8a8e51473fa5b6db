#include "tools/skin/skin_paint.h"

#include <cmath>

namespace tavrilo::skin {

QImage Blank(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QFont Face(int pixels, bool bold) {
    QFont f(QStringList{"Noto Sans CJK JP", "Noto Sans", "DejaVu Sans"});
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

void Fill(QPainter& p, const QPainterPath& path, const QColor& c) {
    p.fillPath(path, c);
}

QPainterPath Polygon(std::initializer_list<QPointF> points) {
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    return path;
}

void Stroke(QPainter& p, const QPainterPath& path, const QColor& c, double width) {
    p.strokePath(path, QPen(c, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

QPainterPath Rect(double x, double y, double w, double h, double r) {
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), r, r);
    return path;
}

void Text(QPainter& p, const QRectF& box, const QString& text, const QColor& c, int pixels,
          int flags, bool bold) {
    p.setFont(Face(pixels, bold));
    p.setPen(c);
    p.drawText(box, flags, text);
}

// The glyphs of the buttons: each says what its button does.
Glyph Play() {
    return [](QPainter& p, const QColor& c) { Fill(p, Polygon({{8, 5}, {19, 12}, {8, 19}}), c); };
}
Glyph Pause() {
    return [](QPainter& p, const QColor& c) {
        Fill(p, Rect(6.5, 5, 4, 14, 1), c);
        Fill(p, Rect(13.5, 5, 4, 14, 1), c);
    };
}
Glyph ToStart() {
    return [](QPainter& p, const QColor& c) {
        Fill(p, Rect(5, 5, 3, 14, 1), c);
        Fill(p, Polygon({{19, 5}, {9, 12}, {19, 19}}), c);
    };
}
Glyph Previous() {
    return [](QPainter& p, const QColor& c) {
        Fill(p, Rect(3.5, 6, 2.5, 12, 1), c);
        Fill(p, Polygon({{13, 6}, {6.5, 12}, {13, 18}}), c);
        Fill(p, Polygon({{20.5, 6}, {14, 12}, {20.5, 18}}), c);
    };
}
Glyph Next() {
    return [](QPainter& p, const QColor& c) {
        Fill(p, Rect(18, 6, 2.5, 12, 1), c);
        Fill(p, Polygon({{11, 6}, {17.5, 12}, {11, 18}}), c);
        Fill(p, Polygon({{3.5, 6}, {10, 12}, {3.5, 18}}), c);
    };
}
Glyph Faster() {
    return [](QPainter& p, const QColor& c) {
        Fill(p, Polygon({{3, 6}, {12, 12}, {3, 18}}), c);
        Fill(p, Polygon({{12, 6}, {21, 12}, {12, 18}}), c);
    };
}
Glyph Slower() {
    return [](QPainter& p, const QColor& c) {
        Fill(p, Polygon({{3, 6}, {11, 12}, {3, 18}}), c);
        Text(p, QRectF(10, 2, 14, 20), QStringLiteral("½"), c, 13);
    };
}
Glyph Still() {
    return [](QPainter& p, const QColor& c) {
        QPainterPath body = Rect(2.5, 7.5, 19, 12.5, 2.5);
        body.addRect(QRectF(8, 4.5, 7, 3.5));
        QPainterPath lens;
        lens.addEllipse(QPointF(12, 13.75), 4.2, 4.2);
        Fill(p, body.subtracted(lens), c);
        QPainterPath inner;
        inner.addEllipse(QPointF(12, 13.75), 2.2, 2.2);
        Fill(p, inner, c);
    };
}
Glyph Join() {
    return [](QPainter& p, const QColor& c) {
        // Two clips and the plus that joins them.
        Fill(p, Rect(1.5, 6.5, 8, 11, 1.5), c);
        Fill(p, Rect(14.5, 6.5, 8, 11, 1.5), c);
        Fill(p, Rect(9.5, 11, 5, 2, 0.5), c);
        Fill(p, Rect(11, 9.5, 2, 5, 0.5), c);
    };
}
Glyph Trash() {
    return [](QPainter& p, const QColor& c) {
        Fill(p, Rect(4.5, 6, 15, 2.2, 1), c);
        Stroke(p, Rect(9.5, 3.5, 5, 3, 1), c, 1.6);
        QPainterPath body = Polygon({{6.5, 9}, {17.5, 9}, {16.3, 20.5}, {7.7, 20.5}});
        for (double x : {9.6, 11.5, 13.4}) {
            body.addRect(QRectF(x, 11, 1.1, 7.5));
        }
        body.setFillRule(Qt::OddEvenFill);
        Fill(p, body, c);
    };
}
Glyph Gear() {
    return [](QPainter& p, const QColor& c) {
        QPainterPath gear;
        const QPointF centre(12, 12);
        QPolygonF outline;
        for (int i = 0; i < 48; ++i) {
            const double a = i * M_PI / 24;
            const bool tooth = (i / 3) % 2 == 0;
            const double r = tooth ? 9.5 : 7.2;
            outline << centre + QPointF(r * std::cos(a), r * std::sin(a));
        }
        gear.addPolygon(outline);
        gear.closeSubpath();
        QPainterPath hole;
        hole.addEllipse(centre, 3.2, 3.2);
        Fill(p, gear.subtracted(hole), c);
    };
}
Glyph Csv() {
    return [](QPainter& p, const QColor& c) {
        QPainterPath page = Polygon({{4, 2.5}, {15, 2.5}, {20, 7.5}, {20, 21.5}, {4, 21.5}});
        Stroke(p, page, c, 1.6);
        Stroke(p, Polygon({{15, 2.5}, {15, 7.5}, {20, 7.5}}), c, 1.2);
        Text(p, QRectF(2, 9, 20, 11), QStringLiteral("CSV"), c, 8);
    };
}
Glyph Folder() {
    return [](QPainter& p, const QColor& c) {
        Fill(p, Polygon({{2.5, 5.5}, {9, 5.5}, {11, 8}, {21.5, 8}, {21.5, 19.5}, {2.5, 19.5}}), c);
        QPainterPath flap = Polygon({{2.5, 10}, {21.5, 10}, {21.5, 11.3}, {2.5, 11.3}});
        p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        Fill(p, flap, Qt::black);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    };
}
Glyph Flip() {
    return [](QPainter& p, const QColor& c) {
        Fill(p, Polygon({{12, 2.5}, {18, 9}, {6, 9}}), c);
        Fill(p, Polygon({{12, 21.5}, {18, 15}, {6, 15}}), c);
        Fill(p, Rect(3, 11.2, 18, 1.6), c);
    };
}
Glyph MapPin() {
    return [](QPainter& p, const QColor& c) {
        QPainterPath pin;
        pin.moveTo(12, 22);
        pin.cubicTo(5, 14, 4.5, 11, 4.5, 9.5);
        pin.arcTo(QRectF(4.5, 2, 15, 15), 180, -180);
        pin.cubicTo(19.5, 11, 19, 14, 12, 22);
        QPainterPath hole;
        hole.addEllipse(QPointF(12, 9.5), 3, 3);
        Fill(p, pin.subtracted(hole), c);
    };
}
Glyph Reset() {
    return [](QPainter& p, const QColor& c) {
        QPainterPath arc;
        arc.arcMoveTo(QRectF(4.5, 4.5, 15, 15), 60);
        arc.arcTo(QRectF(4.5, 4.5, 15, 15), 60, 290);
        Stroke(p, arc, c, 2.4);
        Fill(p, Polygon({{14.5, 2}, {20.5, 5.8}, {14, 9.5}}), c);
    };
}
Glyph Globe() {
    return [](QPainter& p, const QColor& c) {
        QPainterPath g;
        g.addEllipse(QPointF(12, 12), 9, 9);
        g.addEllipse(QPointF(12, 12), 4, 9);
        g.moveTo(3, 12);
        g.lineTo(21, 12);
        Stroke(p, g, c, 1.6);
    };
}
Glyph Magnify() {
    return [](QPainter& p, const QColor& c) {
        QPainterPath lens;
        lens.addEllipse(QPointF(10, 10), 6.5, 6.5);
        Stroke(p, lens, c, 2.2);
        QPainterPath handle;
        handle.moveTo(14.8, 14.8);
        handle.lineTo(21, 21);
        Stroke(p, handle, c, 3);
        Fill(p, Rect(7, 9.2, 6, 1.6), c);
        Fill(p, Rect(9.2, 7, 1.6, 6), c);
    };
}
Glyph Arrow(int direction) {  // 0 up, 1 down, 2 left, 3 right
    return [direction](QPainter& p, const QColor& c) {
        static const QPointF tri[4][3] = {{{12, 5}, {20, 17}, {4, 17}},
                                          {{12, 19}, {20, 7}, {4, 7}},
                                          {{5, 12}, {17, 4}, {17, 20}},
                                          {{19, 12}, {7, 4}, {7, 20}}};
        Fill(p, Polygon({tri[direction][0], tri[direction][1], tri[direction][2]}), c);
    };
}
Glyph Cross(double inset) {
    return [inset](QPainter& p, const QColor& c) {
        QPainterPath x;
        x.moveTo(inset, inset);
        x.lineTo(24 - inset, 24 - inset);
        x.moveTo(24 - inset, inset);
        x.lineTo(inset, 24 - inset);
        Stroke(p, x, c, 2.6);
    };
}
Glyph Minimise() {
    return [](QPainter& p, const QColor& c) { Fill(p, Rect(6, 15, 12, 2.4, 1), c); };
}
Glyph Window() {
    return [](QPainter& p, const QColor& c) {
        Stroke(p, Rect(6, 6.5, 12, 11, 1), c, 2);
        Fill(p, Rect(6, 6.5, 12, 3), c);
    };
}

}  // namespace tavrilo::skin
