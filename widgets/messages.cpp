#include "widgets/messages.h"

#include "widgets/c_msg_dlg.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

const QString kError = QStringLiteral("ERROR");

}  // namespace

MessageText TextOf(Message m) {
    switch (m) {
        case Message::kNo3d:
            // The table's text names a Windows runtime; here the need is an OpenGL driver.
            return {QStringLiteral("全ての機能を有効にするために、OpenGL 3.3 "
                                   "に対応したグラフィックドライバーをインストールしてください。"),
                    kError, 0};
        case Message::kOpenFailed:
            return {UiText(99), kError, 0};
        case Message::kJobDone:
        case Message::kSnapshotSaved:
            return {UiText(48), UiText(49), 0};
        case Message::kCsvNoRecordings:
            return {UiText(101), kError, 0};
        case Message::kCsvExists:
        case Message::kSnapshotExists:
            return {UiText(93), UiText(106), 1};
        case Message::kCsvCannotCreate:
            return {UiText(96), kError, 0};
        case Message::kSnapshotFailed:
            return {UiText(100), kError, 0};
        case Message::kDeleteFailed:
            return {UiText(97), kError, 0};
        case Message::kJoinFailed:
            return {UiText(95), kError, 0};
        case Message::kFolderPathFailed:
            return {UiText(98), kError, 0};
        case Message::kSelectionOver1500:
            return {UiText(105), kError, 0};
        case Message::kSelectionTooLarge:
            return {UiText(139), kError, 0};
        case Message::kSelectionTooMany:
            return {UiText(142), kError, 0};
    }
    return {};
}

int ShowMessage(QWidget* owner, Message message, int kind) {
    const MessageText t = TextOf(message);
    return CMsgBox(owner).Show(t.text, t.caption, kind < 0 ? t.kind : kind);
}

QString VideoProblemText(VideoProblem problem) {
    switch (problem) {
        case VideoProblem::kNone:
            break;
        case VideoProblem::kUnreadable:
            return QStringLiteral("ファイルを開けません。");
        case VideoProblem::kEmpty:
            return QStringLiteral("ファイルが空です。");
        case VideoProblem::kNotMp4:
            return QStringLiteral("MP4 / MOV ファイルではありません。");
        case VideoProblem::kCut:
            return QStringLiteral("録画が途中で途切れています（ファイルの終わりがありません）。");
        case VideoProblem::kFragmented:
            return QStringLiteral("フラグメント形式の MP4 は再生できません。");
        case VideoProblem::kNoVideo:
            return QStringLiteral("映像が含まれていません。");
        case VideoProblem::kDamaged:
            return QStringLiteral("ファイルが壊れています。");
        case VideoProblem::kTooShort:
            return QStringLiteral("録画時間が短すぎます（1.5 秒未満）。");
        case VideoProblem::kCannotDecode:
            return QStringLiteral("この映像の形式には対応していません。");
    }
    return {};
}

int ShowMessage(QWidget* owner, Message message, const QString& detail) {
    const MessageText t = TextOf(message);
    const QString text = detail.isEmpty() ? t.text : t.text + QStringLiteral("\n") + detail;
    return CMsgBox(owner).Show(text, t.caption, t.kind);
}

}  // namespace tavrilo
