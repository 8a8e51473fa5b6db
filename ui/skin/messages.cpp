#include "ui/skin/messages.h"

#include "texts/ui_texts.h"
#include "ui/skin/c_msg_dlg.h"

namespace tavrilo {
namespace {

QString Ui(int slot) {
    const std::string_view t = GetUiText(slot);
    return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
}

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
            return {Ui(99), kError, 0};
        case Message::kJobDone:
        case Message::kSnapshotSaved:
            return {Ui(48), Ui(49), 0};
        case Message::kCsvNoRecordings:
            return {Ui(101), kError, 0};
        case Message::kCsvExists:
        case Message::kSnapshotExists:
            return {Ui(93), Ui(106), 1};
        case Message::kCsvCannotCreate:
            return {Ui(96), kError, 0};
        case Message::kSnapshotFailed:
            return {Ui(100), kError, 0};
        case Message::kDeleteFailed:
            return {Ui(97), kError, 0};
        case Message::kJoinFailed:
            return {Ui(95), kError, 0};
        case Message::kFolderPathFailed:
            return {Ui(98), kError, 0};
        case Message::kSelectionOver1500:
            return {Ui(105), kError, 0};
        case Message::kSelectionTooLarge:
            return {Ui(139), kError, 0};
        case Message::kSelectionTooMany:
            return {Ui(142), kError, 0};
    }
    return {};
}

int ShowMessage(QWidget* owner, Message message, int kind) {
    const MessageText t = TextOf(message);
    return CMsgBox(owner).Show(t.text, t.caption, kind < 0 ? t.kind : kind);
}

}  // namespace tavrilo
