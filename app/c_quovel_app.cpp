#include "app/c_quovel_app.h"

#include <QApplication>
#include <clocale>
#include <filesystem>

#include "engine/engine.h"
#include "files/removable_drives.h"
#include "recordings/content_test.h"
#include "recordings/library.h"
#include "texts/ui_texts.h"
#include "ui/main/c_quovel_dlg.h"

namespace tavrilo {

SourceKind CquovelApp::KindOf(const std::string& source) {
    std::error_code ec;
    if (!std::filesystem::is_directory(source, ec)) {
        return SourceKind::kFile;
    }
    // The mount point of a removable drive is a memory card; any other folder a folder.
    std::vector<std::string> drives;
    EnumRemovableDrives(SystemDrives(), &drives);
    const auto canonical = std::filesystem::weakly_canonical(source, ec);
    for (const std::string& d : drives) {
        if (std::filesystem::weakly_canonical(d, ec) == canonical) {
            return SourceKind::kCard;
        }
    }
    return SourceKind::kFolder;
}

std::string CquovelApp::FirstRecordingOf(const std::string& source) {
    if (source.empty()) {
        return {};
    }
    RecordingLibrary library(IsRecordingFileContent);
    const RecordingList list = library.BuildListForSource(source);
    return list.empty() ? std::string() : list.front().Path;
}

int CquovelApp::Run(int argc, char** argv, const std::string& source) {
    // The map's web view shares its OpenGL contexts with the video's.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Tavrilo"));
    // The text table's language column follows the locale.
    const char* locale = std::setlocale(LC_MESSAGES, "");
    SetUiLanguageColumn(
        LanguageColumnForLanguageId(LanguageIdFromLocaleName(locale != nullptr ? locale : "")));
    MainWindowOptions options;
    options.source = source;
    options.sourceKind = KindOf(source);
    int status = 0;
    {
        CquovelDlg window(std::move(options));
        window.show();
        status = window.exec();
    }
    return status;
}

}  // namespace tavrilo
