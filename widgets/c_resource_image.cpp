#include "widgets/c_resource_image.h"

#include <QFile>
#include <map>

static void InitSkinResources() {
    Q_INIT_RESOURCE(skin);
}

namespace tavrilo {

const QPixmap& CResourceImage::Pixmap(int number) {
    static std::map<int, QPixmap> cache;
    static const bool initialised = (InitSkinResources(), true);
    (void)initialised;
    const auto found = cache.find(number);
    if (found != cache.end()) {
        return found->second;
    }
    QPixmap pixmap;
    const QString path = QString(":/skin/%1.png").arg(number);
    if (QFile::exists(path)) {
        pixmap.load(path);
    }
    return cache.emplace(number, pixmap).first->second;
}

QImage CResourceImage::Image(int number) {
    return Pixmap(number).toImage();
}

QPixmap CResourceImage::Frame(int number, int frame, QSize size) {
    const QPixmap& strip = Pixmap(number);
    const QRect rect(QPoint(frame * size.width(), 0), size);
    if (strip.isNull() || !strip.rect().contains(rect)) {
        return QPixmap();
    }
    return strip.copy(rect);
}

}  // namespace tavrilo
