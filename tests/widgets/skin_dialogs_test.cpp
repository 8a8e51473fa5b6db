// The skinned dialog, the message dialog and the logo, as the user meets them.

#include <gtest/gtest.h>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "tests/widgets/skin_support.h"
#include "widgets/c_logo_dlg.h"
#include "widgets/c_msg_dlg.h"
#include "widgets/c_resource_image.h"
#include "widgets/c_skin_button.h"
#include "widgets/messages.h"

namespace tavrilo {
namespace {

using test::Grab;

TEST(SkinDialog, DraggedByItsTopStripOnlyAndItsCloseButton) {
    CSkinDialog dialog;
    dialog.resize(300, 200);
    dialog.move(100, 100);
    CSkinButton* close = dialog.AddCloseButton(2);
    dialog.show();
    EXPECT_EQ(close->geometry(), QRect(280, 4, 13, 12));
    EXPECT_EQ(close->imageStrip(), 352);
    const QPoint start = dialog.pos();
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(50, 10));
    QTest::mouseMove(&dialog, QPoint(90, 40));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(90, 40));
    EXPECT_EQ(dialog.pos(), start + QPoint(40, 30));
    // Below the strip the dialog stays where it is.
    const QPoint moved = dialog.pos();
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(50, 25));
    QTest::mouseMove(&dialog, QPoint(90, 60));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(90, 60));
    EXPECT_EQ(dialog.pos(), moved);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(MsgDlg, LayoutGrowsWithTheTextAndKeepsTheButtonsAtTheBottom) {
    const QFont plain = QApplication::font();
    const QSize one = MeasureMessage(QStringLiteral("動画のオープンに失敗しました。"), plain);
    const QSize two =
        MeasureMessage(QStringLiteral("動画のオープンに失敗しました。\n二行目"), plain);
    EXPECT_EQ(two.height(), one.height() + QFontMetrics(plain).height());
    EXPECT_EQ(two.width(), one.width());  // the widest line
    const MsgDlgLayout a = MsgDlgLayout::For(one, 0);
    const MsgDlgLayout b = MsgDlgLayout::For(two, 1);
    EXPECT_EQ(a.size, QSize(one.width() + 80, one.height() + 140));
    EXPECT_EQ(b.size.height() - a.size.height(), QFontMetrics(plain).height());
    EXPECT_EQ(a.text, QRect(40, 30, one.width() + 40, one.height() + 30));
    for (const MsgDlgLayout& l : {a, b}) {
        const QRect last = l.cancel.isEmpty() ? l.ok : l.cancel;
        EXPECT_EQ(l.size.height() - last.top(), 45);
        EXPECT_EQ(l.size.width() - last.left(), 115);
        EXPECT_EQ(last.size(), QSize(100, 30));
    }
    EXPECT_TRUE(a.cancel.isEmpty());
    EXPECT_EQ(b.ok, b.cancel.translated(-115, 0));
}

// Answers the next modal dialog: clicks its button or closes it.
void Answer(std::function<void(CMsgDlg*)> act) {
    QTimer::singleShot(0, [act] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<CMsgDlg*>(w); d != nullptr && d->isVisible()) {
                act(d);
                return;
            }
        }
    });
}

TEST(MsgDlg, AnswersOkCancelAndClose) {
    QWidget owner;
    owner.setGeometry(200, 150, 600, 400);
    owner.show();
    Answer([](CMsgDlg* d) { QTest::mouseClick(d->cancelButton(), Qt::LeftButton); });
    EXPECT_EQ(ShowMessage(&owner, Message::kCsvExists), kMsgCancel);
    Answer([](CMsgDlg* d) { QTest::mouseClick(d->okButton(), Qt::LeftButton); });
    EXPECT_EQ(ShowMessage(&owner, Message::kCsvExists), kMsgOk);
    Answer([](CMsgDlg* d) { d->close(); });
    EXPECT_EQ(ShowMessage(&owner, Message::kJobDone), kMsgCancel);
    Answer([](CMsgDlg* d) { QTest::keyClick(d, Qt::Key_Escape); });
    EXPECT_EQ(ShowMessage(&owner, Message::kOpenFailed), kMsgCancel);
}

TEST(MsgDlg, CentredOnItsOwnerEvenPartlyOffTheScreen) {
    QWidget owner;
    owner.setGeometry(-300, -200, 500, 400);
    owner.show();
    CMsgDlg dialog(QStringLiteral("同名のファイルが存在します。続行しますか？"),
                   QStringLiteral("確認"), 1, &owner);
    dialog.show();
    EXPECT_EQ(dialog.geometry().center(), owner.frameGeometry().center());
    EXPECT_LT(dialog.x(), 0);
    EXPECT_TRUE(dialog.okButton()->isVisible());
    EXPECT_TRUE(dialog.cancelButton()->isVisible());
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("キャンセル"));
    // White page, grey title strip, and the bottom 60 pixels left to the dialog's own colour.
    const QImage shot = Grab(dialog);
    EXPECT_EQ(shot.pixel(dialog.width() - 3, 10), qRgb(128, 128, 128));
    EXPECT_EQ(shot.pixel(dialog.width() - 3, 25), qRgb(255, 255, 255));
    EXPECT_NE(shot.pixel(3, dialog.height() - 3), qRgb(255, 255, 255));
}

TEST(Messages, EveryTriggerHasItsTextCaptionAndKind) {
    struct Expected {
        Message m;
        const char* text;
        const char* caption;
        int kind;
    };
    const std::vector<Expected> table = {
        {Message::kOpenFailed, "動画のオープンに失敗しました。", "ERROR", 0},
        {Message::kJobDone, "完了しました。", "終了", 0},
        {Message::kCsvNoRecordings, "動画ファイルがありません。", "ERROR", 0},
        {Message::kCsvExists, "同名のファイルが存在します。続行しますか？", "確認", 1},
        {Message::kCsvCannotCreate, "CSVファイルが作成できません。", "ERROR", 0},
        {Message::kSnapshotExists, "同名のファイルが存在します。続行しますか？", "確認", 1},
        {Message::kSnapshotSaved, "完了しました。", "終了", 0},
        {Message::kSnapshotFailed, "画像の保存に失敗しました。", "ERROR", 0},
        {Message::kDeleteFailed, "動画ファイルの削除に失敗しました。", "ERROR", 0},
        {Message::kJoinFailed, "動画の連結に失敗しました。", "ERROR", 0},
        {Message::kFolderPathFailed, "フォルダパスの取得に失敗しました。", "ERROR", 0},
        {Message::kSelectionOver1500, "表示数が1500を超えています。1500項目表示します。", "ERROR",
         0},
        {Message::kSelectionTooLarge, "サイズオーバーです。", "ERROR", 0},
        {Message::kSelectionTooMany, "ファイル数を減らしてください。", "ERROR", 0},
    };
    for (const Expected& e : table) {
        const MessageText t = TextOf(e.m);
        EXPECT_EQ(t.text, QString::fromUtf8(e.text));
        EXPECT_EQ(t.caption, QString::fromUtf8(e.caption)) << e.text;
        EXPECT_EQ(t.kind, e.kind) << e.text;
    }
    EXPECT_TRUE(TextOf(Message::kNo3d).text.contains(QStringLiteral("OpenGL 3.3")));
}

TEST(Logo, PictureChoiceScalingAndTheDeferredShow) {
    EXPECT_EQ(ChooseLogoPicture(false, false), 164);
    EXPECT_EQ(ChooseLogoPicture(true, true), 164);
    EXPECT_EQ(ChooseLogoPicture(true, false), 324);
    // 392 x 406 into 300 x 500: 300 wide, 310 high, centred.
    EXPECT_EQ(LogoPictureRect({300, 500}, {392, 406}), QRect(0, 95, 300, 310));
    QWidget parent;
    parent.resize(400, 600);
    parent.show();
    CLogoDlg logo(&parent);
    logo.setGeometry(0, 0, 300, 500);
    logo.RequestShow(true, true);
    EXPECT_FALSE(logo.isVisible());  // shown when its own message arrives
    QApplication::processEvents();
    EXPECT_TRUE(logo.isVisible());
    logo.RequestShow(false, false);
    EXPECT_FALSE(logo.isVisible());
    logo.RequestShow(true, false);
    EXPECT_TRUE(logo.isVisible());
    const QImage shot = Grab(logo);
    EXPECT_EQ(shot.pixel(0, 0), qRgb(255, 255, 255));  // the frame
    EXPECT_EQ(shot.pixel(150, 40), qRgb(0, 0, 0));     // the band above the picture
    EXPECT_EQ(shot.pixel(150, 480), qRgb(0, 0, 0));    // and below it
    EXPECT_NE(shot.pixel(150, 170), qRgb(0, 0, 0));    // the emblem
    logo.SetPicture(324);
    EXPECT_NE(Grab(logo), shot);  // the notice shows
}

}  // namespace
}  // namespace tavrilo
