// tavrilo-skin-gallery: every skinned control and dialog in each of its states, grabbed into
// one picture for review. Usage: tavrilo-skin-gallery OUT.png

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QPainter>
#include <cstdio>
#include <vector>

#include "widgets/c_logo_dlg.h"
#include "widgets/c_msg_dlg.h"
#include "widgets/c_skin_button.h"
#include "widgets/c_skin_list_ctrl.h"
#include "widgets/c_skin_progress_bar_ctrl.h"
#include "widgets/c_skin_slider_ctrl.h"
#include "widgets/messages.h"

using namespace tavrilo;

namespace {

struct Shot {
    QString label;
    QImage image;
};

QImage Grab(QWidget& w) {
    return w.grab().toImage();
}

void Buttons(std::vector<Shot>* shots) {
    QWidget parent;
    parent.setStyleSheet("background: #1b1f24");
    parent.resize(100, 100);
    for (int strip : {148, 147, 153, 150, 358}) {
        const char* names[] = {"normal", "hover", "held", "disabled"};
        for (int state = 0; state < 4; ++state) {
            CSkinButton b(QSize(32, 32), 1, &parent);
            b.SetImageStrip(strip);
            if (state == 1) {
                QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
                QApplication::sendEvent(&b, &enter);
            }
            b.SetHeld(state == 2);
            b.setEnabled(state != 3);
            shots->push_back({QString("button %1 %2").arg(strip).arg(names[state]), Grab(b)});
        }
    }
    for (bool checked : {false, true}) {
        CSkinCheckButton c(QString::fromUtf8("駐車監視衝撃"), 32968, &parent);
        c.resize(140, 20);
        c.setChecked(checked);
        shots->push_back({checked ? "check on" : "check off", Grab(c)});
    }
}

void Sliders(std::vector<Shot>* shots) {
    QWidget parent;
    parent.setStyleSheet("background: #1b1f24");
    parent.resize(820, 40);
    for (int pos : {0, 40, 99}) {
        CSkinSliderCtrl s(38100, &parent);
        s.SetImages(kSeekSliderImages);
        s.setGeometry(0, 0, 400, 10);
        s.SetRange(0, 99);
        s.SetPos(pos);
        shots->push_back({QString("seek slider at %1").arg(pos), Grab(s)});
    }
    CSkinSliderCtrl v(38101, &parent);
    v.SetImages(kVolumeSliderImages);
    v.setGeometry(0, 0, 100, 20);
    v.SetRange(0, 65535);
    v.SetPos(40000);
    shots->push_back({"volume slider", Grab(v)});
    for (int pos : {0, 37, 100}) {
        CSkinProgressBarCtrl p(&parent);
        p.setGeometry(0, 0, 300, 22);
        p.SetRange(0, 100);
        p.SetPos(pos);
        shots->push_back({QString("progress %1").arg(pos), Grab(p)});
    }
    CSkinListCtrl list;
    list.resize(160, 70);
    list.AddItem("20260601_001");
    CSkinListCtrl::SetStateImage(list.AddItem("20260601_002"), 2);
    CSkinListCtrl::SetStateImage(list.AddItem("20260601_003"), 3);
    shots->push_back({"list: off, hot, checked", Grab(list)});
}

void Dialogs(std::vector<Shot>* shots) {
    for (Message m : {Message::kOpenFailed, Message::kCsvExists, Message::kSelectionOver1500}) {
        const MessageText t = TextOf(m);
        CMsgDlg d(t.text, t.caption, t.kind, nullptr);
        shots->push_back({"message " + t.caption, Grab(d)});
    }
    QWidget parent;
    parent.resize(300, 400);
    for (int picture : {164, 324}) {
        CLogoDlg logo(&parent);
        logo.setGeometry(0, 0, 250, 300);
        logo.SetPicture(picture);
        shots->push_back({QString("logo %1").arg(picture), Grab(logo)});
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: tavrilo-skin-gallery OUT.png\n", stderr);
        return 1;
    }
    std::vector<Shot> shots;
    Buttons(&shots);
    Sliders(&shots);
    Dialogs(&shots);
    int width = 0, height = 8;
    for (const Shot& s : shots) {
        width = std::max(width, s.image.width() + 230);
        height += std::max(s.image.height(), 16) + 8;
    }
    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(QColor(0x0e, 0x10, 0x13));
    QPainter p(&sheet);
    p.setPen(QColor(0xc0, 0xc8, 0xd0));
    int y = 8;
    for (const Shot& s : shots) {
        p.drawText(QRect(8, y, 210, 16), Qt::AlignLeft | Qt::AlignVCenter, s.label);
        p.drawImage(220, y, s.image);
        y += std::max(s.image.height(), 16) + 8;
    }
    p.end();
    if (!sheet.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "tavrilo-skin-gallery: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%zu pictures in %s\n", shots.size(), argv[1]);
    return 0;
}
