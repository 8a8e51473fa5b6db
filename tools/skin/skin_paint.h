#pragma once
// The skin's drawing vocabulary: its palette, the drawing helpers and the glyphs that say what
// each button does, drawn in a 24 x 24 design box in any colour.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <functional>
#include <initializer_list>

namespace tavrilo::skin {

// A dark chrome around the video, one cyan accent (the colour the file manager's selection
// has), light glyphs.
inline const QColor kChrome(0x1b, 0x1f, 0x24);
inline const QColor kPanel(0x26, 0x2b, 0x32);
inline const QColor kEdge(0x3a, 0x41, 0x4b);
inline const QColor kRaised(0x35, 0x3c, 0x46);
inline const QColor kAccent(0x00, 0xcc, 0xff);
inline const QColor kAccentDark(0x00, 0x7f, 0xa8);
inline const QColor kGlyph(0xe8, 0xed, 0xf2);
inline const QColor kGlyphOff(0x5c, 0x63, 0x6d);

using Glyph = std::function<void(QPainter&, const QColor&)>;

QImage Blank(int w, int h);
QFont Face(int pixels, bool bold = true);
void Fill(QPainter& p, const QPainterPath& path, const QColor& c);
QPainterPath Polygon(std::initializer_list<QPointF> points);
void Stroke(QPainter& p, const QPainterPath& path, const QColor& c, double width);
QPainterPath Rect(double x, double y, double w, double h, double r = 0);
void Text(QPainter& p, const QRectF& box, const QString& text, const QColor& c, int pixels,
          int flags = Qt::AlignCenter, bool bold = true);

// The buttons' glyphs.
Glyph Play();
Glyph Pause();
Glyph ToStart();
Glyph Previous();
Glyph Next();
Glyph Faster();
Glyph Slower();
Glyph Still();
Glyph Join();
Glyph Trash();
Glyph Gear();
Glyph Csv();
Glyph Folder();
Glyph Flip();
Glyph MapPin();
Glyph Reset();
Glyph Globe();
Glyph Magnify();
Glyph Arrow(int direction);
Glyph Cross(double inset);
Glyph Minimise();
Glyph Window();

}  // namespace tavrilo::skin
