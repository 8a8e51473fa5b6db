#include "files/browse_folder.h"

#include <QFileDialog>
#include <filesystem>

#include "widgets/messages.h"

namespace tavrilo {

QString PickFolderWithDialog(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
}

std::string BrowseFolderWithSetting(QWidget* owner, const Settings& settings,
                                    const std::string& section, const std::string& key,
                                    const QString& title, const FolderPicker& pick) {
    std::string start = settings.ReadSetting(section, key);
    if (start.empty()) {
        start = std::filesystem::path(settings.path()).parent_path().string();
    }
    const QString chosen = pick(owner, title, QString::fromStdString(start));
    if (chosen.isEmpty()) {
        return {};
    }
    const std::string path = chosen.toStdString();
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) {
        ShowMessage(owner, Message::kFolderPathFailed);
        return {};
    }
    return path;
}

}  // namespace tavrilo
