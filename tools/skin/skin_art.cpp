#include "tools/skin/skin_art.h"

#include "tools/skin/skin_paint.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <functional>

namespace tavrilo::skin {
namespace {

enum class Frame { kNormal, kHover, kPressed, kDisabled };

// One frame of a button: a rounded face and its glyph, in the look of the frame.
void DrawButtonFrame(QPainter& p, const QRectF& box, Frame frame, const Glyph& glyph,
                     double glyphScale, double radius) {
    const QRectF face = box.adjusted(1, 1, -1, -1);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    QColor glyphColour = kGlyph;
    QColor border = kEdge;
    switch (frame) {
        case Frame::kNormal:
            fill.setColorAt(0, kRaised);
            fill.setColorAt(1, kPanel);
            break;
        case Frame::kHover:
            fill.setColorAt(0, QColor(0x48, 0x53, 0x61));
            fill.setColorAt(1, QColor(0x30, 0x38, 0x43));
            border = kAccent;
            glyphColour = QColor(0x9c, 0xeb, 0xff);
            break;
        case Frame::kPressed:
            fill.setColorAt(0, kAccentDark);
            fill.setColorAt(1, QColor(0x00, 0xa8, 0xdb));
            border = kAccent;
            glyphColour = Qt::white;
            break;
        case Frame::kDisabled:
            fill.setColorAt(0, QColor(0x24, 0x28, 0x2e));
            fill.setColorAt(1, QColor(0x20, 0x23, 0x28));
            border = QColor(0x2e, 0x33, 0x3a);
            glyphColour = kGlyphOff;
            break;
    }
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(face, radius, radius);
    p.save();
    const double side = std::min(box.width(), box.height()) * glyphScale;
    const double shift = frame == Frame::kPressed ? 1 : 0;
    p.translate(box.center().x() - side / 2 + shift, box.center().y() - side / 2 + shift);
    p.scale(side / 24, side / 24);
    glyph(p, glyphColour);
    p.restore();
}

// A strip of the four frames normal, hover, pressed, disabled, side by side.
QImage ButtonStrip(int w, int h, const Glyph& glyph, double glyphScale = 0.72, double radius = 6) {
    QImage image = Blank(4 * w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int f = 0; f < 4; ++f) {
        DrawButtonFrame(p, QRectF(f * w, 0, w, h), static_cast<Frame>(f), glyph, glyphScale,
                        radius);
    }
    return image;
}

// The 12 x 12 check box in four frames: off, hover, checked, disabled.
QImage CheckStrip() {
    QImage image = Blank(48, 12);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int f = 0; f < 4; ++f) {
        const QRectF box(f * 12 + 0.5, 0.5, 11, 11);
        const QColor border = f == 1 ? kAccent : f == 3 ? kEdge : QColor(0x9a, 0xa3, 0xae);
        p.setPen(QPen(border, 1));
        p.setBrush(f == 2 ? kAccent : f == 3 ? QColor(0x24, 0x28, 0x2e) : kChrome);
        p.drawRoundedRect(box, 2, 2);
        if (f == 2) {
            QPainterPath tick;
            tick.moveTo(f * 12 + 2.8, 6.2);
            tick.lineTo(f * 12 + 5.1, 8.6);
            tick.lineTo(f * 12 + 9.3, 3.4);
            Stroke(p, tick, Qt::white, 1.8);
        }
    }
    return image;
}

// A slider track: a rounded bar across the image, in `colour` (black around it is empty).
QImage Track(int w, int h, const QColor& colour, bool wedge) {
    QImage image = Blank(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, colour.lighter(125));
    g.setColorAt(1, colour.darker(115));
    if (wedge) {
        // The volume grows to the right.
        p.fillPath(Polygon({{0, h - 4.0}, {double(w), 2.0}, {double(w), h - 3.0}, {0, h - 3.0}}),
                   g);
    } else {
        p.fillPath(Rect(0, h / 2.0 - 2.5, w, 5, 2.5), g);
    }
    return image;
}

QImage Thumb(int w, int h, bool dragged) {
    QImage image = Blank(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(dragged ? Qt::white : kAccent, 1));
    p.setBrush(dragged ? kAccent : kGlyph);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 3, 3);
    return image;
}

// The emblem: a fisheye lens seeing all around, with the horizon through it.
void Emblem(QPainter& p, const QPointF& c, double r) {
    QRadialGradient glass(c - QPointF(r * 0.3, r * 0.35), r * 1.3);
    glass.setColorAt(0, QColor(0x7f, 0xe8, 0xff));
    glass.setColorAt(0.45, kAccent);
    glass.setColorAt(1, QColor(0x00, 0x2c, 0x4a));
    p.setPen(QPen(QColor(0xcf, 0xd8, 0xe2), r * 0.08));
    p.setBrush(glass);
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(255, 255, 255, 170), r * 0.05));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r * 0.62, r * 0.62);
    p.drawLine(QPointF(c.x() - r * 0.92, c.y()), QPointF(c.x() + r * 0.92, c.y()));
    p.drawEllipse(QRectF(c.x() - r * 0.92, c.y() - r * 0.3, r * 1.84, r * 0.6));
    p.setBrush(QColor(255, 255, 255, 200));
    p.setPen(Qt::NoPen);
    p.drawEllipse(c + QPointF(-r * 0.42, -r * 0.45), r * 0.12, r * 0.08);
}

QImage Logo(bool noConnection) {
    QImage image(392, 406, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    Emblem(p, QPointF(196, noConnection ? 120 : 150), 74);
    Text(p, QRectF(0, noConnection ? 205 : 242, 392, 50), QStringLiteral("Tavrilo"), kGlyph, 40);
    Text(p, QRectF(0, noConnection ? 250 : 290, 392, 24),
         QStringLiteral("360° DRIVE RECORDER VIEWER"), QColor(0x8a, 0x93, 0x9e), 13);
    if (noConnection) {
        const QRectF box(28, 292, 336, 88);
        p.setPen(QPen(kAccent, 1.5));
        p.setBrush(QColor(0x10, 0x2a, 0x36));
        p.drawRoundedRect(box, 8, 8);
        Text(p, box.adjusted(10, 8, -10, -8),
             QStringLiteral("インターネットに接続されていないため、\n地図を表示できません。"),
             Qt::white, 15);
    }
    return image;
}

QImage Background() {
    QImage image(1200, 750, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, 750);
    g.setColorAt(0, QColor(0x22, 0x27, 0x2e));
    g.setColorAt(1, QColor(0x14, 0x17, 0x1b));
    p.fillRect(image.rect(), g);
    // The title band, which the window is dragged by, and a hairline of the accent under it.
    QLinearGradient title(0, 0, 0, 26);
    title.setColorAt(0, QColor(0x30, 0x36, 0x3f));
    title.setColorAt(1, QColor(0x26, 0x2b, 0x32));
    p.fillRect(QRect(0, 0, 1200, 26), title);
    p.fillRect(QRect(0, 26, 1200, 1), kAccentDark);
    // A fine diagonal texture, too faint to compete with the video.
    p.setPen(QColor(255, 255, 255, 6));
    for (int x = -750; x < 1200; x += 6) {
        p.drawLine(x, 750, x + 750, 27);
    }
    return image;
}

QImage Plate(int w, int h, const QColor& fill = kPanel, bool grid = false) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(kChrome);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, fill.lighter(112));
    g.setColorAt(1, fill);
    p.setPen(QPen(kEdge, 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), std::min(6, h / 4), std::min(6, h / 4));
    if (grid) {
        p.setPen(QColor(255, 255, 255, 18));
        for (int x = 10; x < w; x += 20) {
            p.drawLine(x, 2, x, h - 3);
        }
        for (int y = 10; y < h; y += 20) {
            p.drawLine(2, y, w - 3, y);
        }
    }
    return image;
}

QImage GlyphImage(int w, int h, const Glyph& glyph, const QColor& colour, double scale = 0.9) {
    QImage image = Blank(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(w, h) * scale;
    p.translate((w - side) / 2, (h - side) / 2);
    p.scale(side / 24, side / 24);
    glyph(p, colour);
    return image;
}

QImage TextImage(int w, int h, const QString& text, const QColor& colour, int pixels,
                 const QColor& background = Qt::transparent) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    Text(p, QRectF(0, 0, w, h), text, colour, pixels);
    return image;
}

// A map marker: a pin of the event's colour with its sign, 32 x 32, tip at (16, 32).
QImage Marker(const QColor& colour, const QString& sign) {
    QImage image = Blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath pin;
    pin.moveTo(16, 31.5);
    pin.cubicTo(7, 21, 4.5, 17, 4.5, 12.5);
    pin.arcTo(QRectF(4.5, 1, 23, 23), 180, -180);
    pin.cubicTo(27.5, 17, 25, 21, 16, 31.5);
    QLinearGradient g(0, 0, 0, 32);
    g.setColorAt(0, colour.lighter(130));
    g.setColorAt(1, colour.darker(120));
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(g);
    p.drawPath(pin);
    Text(p, QRectF(5, 2, 22, 21), sign, Qt::white, sign.size() > 1 ? 10 : 14);
    return image;
}

QImage Shadow() {
    QImage image = Blank(49, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Cast to the right and back from the pin's tip at (16, 32).
    p.translate(16, 32);
    p.shear(-1.0, 0);
    p.scale(1, 0.5);
    QRadialGradient g(QPointF(0, -30), 24);
    g.setColorAt(0, QColor(0, 0, 0, 110));
    g.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QPointF(0, -30), 15, 30);
    return image;
}

QImage Cursor() {
    QImage image = Blank(32, 32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Four arrows: the picture can be dragged every way.
    QPainterPath arrows;
    for (int k = 0; k < 4; ++k) {
        QTransform t;
        t.translate(16, 16);
        t.rotate(90 * k);
        arrows.addPath(
            t.map(Polygon({{0, -14}, {6, -8}, {2, -8}, {2, -2}, {-2, -2}, {-2, -8}, {-6, -8}})));
    }
    arrows.addRect(QRectF(14, 14, 4, 4));
    p.setPen(QPen(QColor(0x10, 0x10, 0x10), 1.6));
    p.setBrush(Qt::white);
    p.drawPath(arrows.simplified());
    return image;
}

QImage Icon(int side) {
    QImage image = Blank(side, side);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kChrome);
    p.drawRoundedRect(QRectF(0, 0, side, side), side * 0.22, side * 0.22);
    Emblem(p, QPointF(side / 2.0, side / 2.0), side * 0.38);
    return image;
}

QImage CardPicture() {
    // The memory card the tree's items stand for, 39 x 26.
    QImage image = Blank(39, 26);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2e, 0x33, 0x3a), 1));
    p.setBrush(QColor(0x3a, 0x7b, 0xd5));
    p.drawPath(Polygon({{8, 3}, {29, 3}, {31, 5}, {31, 23}, {8, 23}, {8, 8}}));
    p.setBrush(QColor(0xff, 0xd2, 0x4a));
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(11 + i * 4.5, 5, 3, 4));
    }
    Text(p, QRectF(8, 12, 23, 10), QStringLiteral("SD"), Qt::white, 8);
    return image;
}

// The graph's background, tiled every 5 pixels across its width: a faint line at the
// baseline and at +-1 G and +-2 G of the one-pane scale (34 pixels a G in 98 pixels).
QImage GraphTile() {
    QImage image(5, 98, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0x14, 0x17, 0x1b));
    QPainter p(&image);
    for (int g = -2; g <= 2; ++g) {
        p.setPen(g == 0 ? QColor(0x4a, 0x52, 0x5d) : QColor(0x26, 0x2b, 0x32));
        p.drawLine(0, 49 - g * 34 / 1, 4, 49 - g * 34 / 1);
    }
    return image;
}

// The left edge of the graph: the scale's labels.
QImage GraphScaleImage() {
    QImage image(50, 98, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0x1b, 0x1f, 0x24));
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int g : {-1, 0, 1}) {
        Text(p, QRectF(2, 49 - g * 34 - 7, 44, 14), QString::asprintf("%+dG", g).replace("+0", "0"),
             QColor(0x8a, 0x93, 0x9e), 10, Qt::AlignRight | Qt::AlignVCenter, false);
    }
    p.setPen(QColor(0x3a, 0x41, 0x4b));
    p.drawLine(49, 0, 49, 97);
    return image;
}

}  // namespace

std::vector<SkinImage> DrawSkin() {
    std::vector<SkinImage> all;
    auto add = [&all](int number, const char* name, QImage image) {
        all.push_back({number, QString::fromUtf8(name), std::move(image)});
    };
    // The button bar, 32 x 32 frames.
    add(137, "CSV", ButtonStrip(32, 32, Csv()));
    add(138, "delete", ButtonStrip(32, 32, Trash()));
    add(139, "faster", ButtonStrip(32, 32, Faster()));
    add(142, "slower", ButtonStrip(32, 32, Slower()));
    add(144, "previous", ButtonStrip(32, 32, Previous()));
    add(145, "next", ButtonStrip(32, 32, Next()));
    add(146, "browse", ButtonStrip(32, 32, Folder()));
    add(147, "pause", ButtonStrip(32, 32, Pause()));
    add(148, "play", ButtonStrip(32, 32, Play()));
    add(150, "join", ButtonStrip(32, 32, Join()));
    add(151, "settings", ButtonStrip(32, 32, Gear()));
    add(153, "still picture", ButtonStrip(32, 32, Still()));
    add(154, "to the start", ButtonStrip(32, 32, ToStart()));
    add(200, "enlarged information", ButtonStrip(32, 32, Magnify()));
    add(357, "flip", ButtonStrip(32, 32, Flip()));
    add(358, "map", ButtonStrip(32, 32, MapPin()));
    add(359, "view mode", ButtonStrip(32, 32, Globe()));
    add(360, "up", ButtonStrip(32, 32, Arrow(0)));
    add(361, "down", ButtonStrip(32, 32, Arrow(1)));
    add(362, "left", ButtonStrip(32, 32, Arrow(2)));
    add(363, "right", ButtonStrip(32, 32, Arrow(3)));
    add(364, "reset", ButtonStrip(32, 32, Reset()));
    // Caption buttons and the dialogs' close button.
    add(155, "close", ButtonStrip(46, 18, Cross(7), 0.75, 4));
    add(156, "minimise", ButtonStrip(26, 18, Minimise(), 0.9, 4));
    add(157, "size", ButtonStrip(26, 18, Window(), 0.9, 4));
    add(352, "dialog close", ButtonStrip(13, 12, Cross(6), 1.0, 2));
    // Sliders: seek (tracks 800 x 10, thumbs 25 x 10) and volume (100 x 20, 10 x 20).
    add(174, "seek track, played", Track(800, 10, kAccent, false));
    add(159, "seek track, ahead", Track(800, 10, QColor(0x4a, 0x52, 0x5d), false));
    add(160, "seek thumb", Thumb(25, 10, false));
    add(161, "seek thumb, dragged", Thumb(25, 10, true));
    add(167, "volume track, set", Track(100, 20, kAccent, true));
    add(168, "volume track, rest", Track(100, 20, QColor(0x4a, 0x52, 0x5d), true));
    add(169, "volume thumb", Thumb(10, 20, false));
    add(170, "volume thumb, dragged", Thumb(10, 20, true));
    // Windows and pictures.
    add(129, "main window background", Background());
    add(164, "logo", Logo(false));
    add(324, "logo, no connection", Logo(true));
    add(366, "direction pad", Plate(140, 120, QColor(0x2b, 0x31, 0x39)));
    add(217, "check box", CheckStrip());
    add(327, "check mark",
        GlyphImage(
            12, 12,
            [](QPainter& p, const QColor& c) {
                QPainterPath tick;
                tick.moveTo(4, 13);
                tick.lineTo(9.5, 18.5);
                tick.lineTo(20, 6);
                Stroke(p, tick, c, 3.5);
            },
            kAccent, 1.0));
    add(191, "video cursor", Cursor());
    add(128, "program icon", Icon(64));
    add(171, "small icon", Icon(32));
    add(315, "memory card", CardPicture());
    add(190, "speaker",
        GlyphImage(
            30, 21,
            [](QPainter& p, const QColor& c) {
                Fill(p, Polygon({{3, 9}, {7, 9}, {13, 4}, {13, 20}, {7, 15}, {3, 15}}), c);
                QPainterPath waves;
                waves.arcMoveTo(QRectF(9, 6, 10, 12), -50);
                waves.arcTo(QRectF(9, 6, 10, 12), -50, 100);
                waves.arcMoveTo(QRectF(8, 2.5, 15, 19), -50);
                waves.arcTo(QRectF(8, 2.5, 15, 19), -50, 100);
                Stroke(p, waves, c, 1.6);
            },
            kGlyph, 1.0));
    // Map markers by event (32 x 32) and their shadow (49 x 32).
    add(180, "marker: drive support, sudden start", Marker(QColor(0x2e, 0xa0, 0x43), "▲"));
    add(181, "marker: drive support, hard braking", Marker(QColor(0x2e, 0xa0, 0x43), "▼"));
    add(182, "marker: emergency stop", Marker(QColor(0xd9, 0x30, 0x25), "!"));
    add(183, "marker: G sensor", Marker(QColor(0xf0, 0x8a, 0x00), "G"));
    add(184, "marker: drive support, swerve", Marker(QColor(0x2e, 0xa0, 0x43), "S"));
    add(185, "marker: manual recording", Marker(QColor(0x1e, 0x6f, 0xd9), "M"));
    add(186, "marker shadow", Shadow());
    add(216, "marker: parking", Marker(QColor(0x7b, 0x3f, 0xc4), "P"));
    add(221, "marker: speeding", Marker(QColor(0xe0, 0xb0, 0x00), "km"));
    add(329, "marker: speed camera", Marker(QColor(0xc2, 0x18, 0x5b), "◉"));
    add(330, "marker: radar", Marker(QColor(0x00, 0x89, 0x7b), "≋"));
    // The sensor views' plates and pictures.
    for (int n : {307, 309, 320, 321, 325}) {
        add(n, "sensor panel", Plate(210, 151, kPanel, true));
    }
    add(312, "sensor scale", Plate(22, 106));
    add(313, "sensor plate", Plate(64, 64));
    add(162, "G graph background tile", GraphTile());
    add(176, "G graph scale", GraphScaleImage());
    add(214, "information panel", Plate(450, 266));
    add(215, "information panel, tall", Plate(227, 634));
    add(201, "information strip", Plate(720, 77));
    for (int n : {202, 207, 209, 210}) {
        add(n, "information field", Plate(309, 34, QColor(0x1f, 0x24, 0x2a)));
    }
    for (int n : {203, 204, 205, 206, 208, 211, 212, 213, 218, 219, 350, 351}) {
        add(n, "information cell", Plate(76, 31, QColor(0x1f, 0x24, 0x2a)));
    }
    const std::pair<int, Glyph> badges[] = {{192, Play()},  {195, Pause()},  {196, Still()},
                                            {197, Reset()}, {198, MapPin()}, {199, Globe()}};
    for (const auto& [n, glyph] : badges) {
        QImage badge = Plate(60, 35, QColor(0x1f, 0x24, 0x2a));
        QPainter p(&badge);
        p.drawImage(0, 0, GlyphImage(60, 35, glyph, kAccent, 0.7));
        p.end();
        add(n, "status badge", badge);
    }
    // The information panel's characters (PNG 331..345), fix indicator and unit.
    const char* characters[] = {"0", "1", "2", "3", "4", "5", "6", "7",
                                "8", "9", "/", ":", ".", "-", "G"};
    for (int i = 0; i < 15; ++i) {
        add(331 + i, "character", TextImage(16, 24, QString::fromUtf8(characters[i]), kGlyph, 20));
    }
    add(348, "GPS fix",
        GlyphImage(
            32, 32,
            [](QPainter& p, const QColor& c) {
                QPainterPath dish;
                dish.addEllipse(QPointF(12, 12), 3, 3);
                dish.arcMoveTo(QRectF(5, 5, 14, 14), 45);
                dish.arcTo(QRectF(5, 5, 14, 14), 45, 90);
                dish.arcMoveTo(QRectF(1.5, 1.5, 21, 21), 45);
                dish.arcTo(QRectF(1.5, 1.5, 21, 21), 45, 90);
                Stroke(p, dish, c, 1.8);
            },
            QColor(0x4c, 0xd9, 0x64)));
    add(349, "speed unit", TextImage(48, 20, QStringLiteral("km/h"), kGlyph, 14));
    std::sort(all.begin(), all.end(),
              [](const SkinImage& a, const SkinImage& b) { return a.number < b.number; });
    return all;
}

QImage ContactSheet(const std::vector<SkinImage>& images) {
    // Each image in a cell sized to it (wide ones scaled down to the sheet's width).
    constexpr int kWidth = 1400, kCell = 8, kCaption = 16;
    int x = kCell, y = kCell, rowHeight = 0;
    struct Placed {
        const SkinImage* image;
        QRect at;
    };
    std::vector<Placed> placed;
    for (const SkinImage& s : images) {
        QSize size = s.image.size();
        if (size.width() > 460) {
            size = size.scaled(460, 460, Qt::KeepAspectRatio);
        }
        const int cellWidth = std::max(size.width(), 190);
        if (x + cellWidth + kCell > kWidth) {
            x = kCell;
            y += rowHeight + kCaption + kCell;
            rowHeight = 0;
        }
        placed.push_back({&s, QRect(QPoint(x, y), size)});
        x += cellWidth + kCell;
        rowHeight = std::max(rowHeight, size.height());
    }
    QImage sheet(kWidth, y + rowHeight + kCaption + kCell, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0x0e, 0x10, 0x13));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const Placed& pl : placed) {
        // A checker behind the images shows where they are transparent.
        for (int cy = 0; cy < pl.at.height(); cy += 8) {
            for (int cx = 0; cx < pl.at.width(); cx += 8) {
                p.fillRect(
                    QRect(pl.at.x() + cx, pl.at.y() + cy, 8, 8) & pl.at,
                    ((cx + cy) / 8) % 2 ? QColor(0x2a, 0x2a, 0x2a) : QColor(0x40, 0x40, 0x40));
            }
        }
        p.drawImage(pl.at, pl.image->image);
        Text(p, QRectF(pl.at.x(), pl.at.bottom() + 1, 200, kCaption),
             QString("%1 %2").arg(pl.image->number).arg(pl.image->name), QColor(0xc0, 0xc8, 0xd0),
             11, Qt::AlignLeft | Qt::AlignVCenter, false);
    }
    return sheet;
}

}  // namespace tavrilo::skin
