// tavrilo-skin: draws the skin into a folder as numbered PNG files, with the resource list that
// embeds them and a contact sheet for review. Run by the build.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "tools/skin/skin_art.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: tavrilo-skin OUTDIR\n", stderr);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "tavrilo-skin: cannot create %s\n", argv[1]);
        return 1;
    }
    const auto images = tavrilo::skin::DrawSkin();
    QFile qrc(out.filePath("skin.qrc"));
    if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "tavrilo-skin: cannot write the resource list\n");
        return 1;
    }
    QTextStream list(&qrc);
    list << "<RCC>\n  <qresource prefix=\"/skin\">\n";
    for (const auto& s : images) {
        const QString name = QString::number(s.number) + ".png";
        if (!s.image.save(out.filePath(name))) {
            std::fprintf(stderr, "tavrilo-skin: cannot write %s\n", qPrintable(name));
            return 1;
        }
        list << "    <file>" << name << "</file>\n";
    }
    list << "  </qresource>\n</RCC>\n";
    if (!tavrilo::skin::ContactSheet(images).save(out.filePath("contact-sheet.png"))) {
        std::fprintf(stderr, "tavrilo-skin: cannot write the contact sheet\n");
        return 1;
    }
    std::printf("%zu skin images in %s\n", images.size(), argv[1]);
    return 0;
}
