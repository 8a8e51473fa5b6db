#pragma once
// The folder browser that starts where the user was last: in the folder stored under a key of
// the settings file, or in the start folder.

#include <QString>
#include <functional>
#include <string>

#include "platform/settings.h"

class QWidget;

namespace tavrilo {

// Shows a folder chooser starting in `start`; the chosen folder, or empty for cancel. Tests
// replace it; the program uses QFileDialog.
using FolderPicker =
    std::function<QString(QWidget* owner, const QString& title, const QString& start)>;
QString PickFolderWithDialog(QWidget* owner, const QString& title, const QString& start);

// The chosen folder, or empty when the user cancelled or the path cannot be had (then the
// message UI 98 shows). The caller stores the result when it wants it remembered.
std::string BrowseFolderWithSetting(QWidget* owner, const Settings& settings,
                                    const std::string& section, const std::string& key,
                                    const QString& title,
                                    const FolderPicker& pick = PickFolderWithDialog);

}  // namespace tavrilo
