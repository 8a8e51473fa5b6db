#include "widgets/ui_fonts.h"

#include <QPaintDevice>
#include <cmath>

#include "texts/ui_texts.h"

namespace tavrilo {
namespace {

// MulDiv: a * b / c computed in 64 bits and rounded half away from zero.
int MulDiv(int a, int b, int c) {
    if (c == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude =
        (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QFont MakeFont(int points, int dpiX, int dpiY) {
    QFont font;
    font.setFamilies(UiFontFamilies());
    font.setPixelSize(std::max(1, UiFontPixelHeight(points, dpiX, dpiY)));
    font.setWeight(QFont::Normal);
    return font;
}

}  // namespace

int UiFontPixelHeight(int points, int dpiX, int dpiY) {
    const double scale = dpiX / 96.0;
    const int scaledPoints = scale > 0 ? static_cast<int>(std::trunc(points / scale)) : points;
    return MulDiv(scaledPoints, dpiY, 72);
}

QStringList UiFontFamilies() {
    const std::string_view face = GetUiText(ui::kFaceName);
    return {QString::fromUtf8(face.data(), static_cast<qsizetype>(face.size())),
            QStringLiteral("Noto Sans CJK JP")};
}

UiFonts UiFonts::Create(int dpiX, int dpiY) {
    return UiFonts{MakeFont(9, dpiX, dpiY),  MakeFont(10, dpiX, dpiY), MakeFont(12, dpiX, dpiY),
                   MakeFont(13, dpiX, dpiY), MakeFont(15, dpiX, dpiY), MakeFont(17, dpiX, dpiY),
                   MakeFont(22, dpiX, dpiY)};
}

UiFonts UiFonts::ForDevice(const QPaintDevice& device) {
    return Create(device.logicalDpiX(), device.logicalDpiY());
}

}  // namespace tavrilo
