#include "ui/skin/messages.h"

#include "ui/skin/c_msg_dlg.h"
#include "ui/skin/ui_text.h"

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

int ShowMessage(QWidget* owner, Message message, const QString& detail) {
    const MessageText t = TextOf(message);
    const QString text = detail.isEmpty() ? t.text : t.text + QStringLiteral("\n") + detail;
    return CMsgBox(owner).Show(text, t.caption, t.kind);
}

}  // namespace tavrilo
