#pragma once
// The skin: every image the windows draw, made here with QPainter and numbered as the windows
// ask for them. The build embeds them in the program; nothing is read from elsewhere.

#include <QImage>
#include <QString>
#include <vector>

namespace tavrilo::skin {

struct SkinImage {
    int number;
    QString name;  // what it is, for the contact sheet
    QImage image;
};

// Every image of the skin, in number order.
std::vector<SkinImage> DrawSkin();

// One sheet showing every image with its number and name, for review.
QImage ContactSheet(const std::vector<SkinImage>& images);

}  // namespace tavrilo::skin
