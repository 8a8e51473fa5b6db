#include "app/c_quovel_app.h"

#include <QApplication>
#include <clocale>
#include <filesystem>

#include "engine/engine.h"
#include "recordings/content_test.h"
#include "recordings/library.h"
#include "texts/ui_texts.h"
#include "ui/main/c_quovel_dlg.h"

namespace tavrilo {

std::string CquovelApp::FirstRecordingOf(const std::string& source) {
    if (source.empty()) {
        return {};
    }
    RecordingLibrary library(IsRecordingFileContent);
    const RecordingList list = library.BuildListForSource(source);
    return list.empty() ? std::string() : list.front().Path;
}

int CquovelApp::Run(int argc, char** argv, const std::string& source) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Tavrilo"));
    // The text table's language column follows the locale.
    const char* locale = std::setlocale(LC_MESSAGES, "");
    SetUiLanguageColumn(
        LanguageColumnForLanguageId(LanguageIdFromLocaleName(locale != nullptr ? locale : "")));
    MainWindowOptions options;
    options.recording = FirstRecordingOf(source);
    int status = 0;
    {
        CquovelDlg window(std::move(options));
        window.show();
        status = window.exec();
    }
    return status;
}

}  // namespace tavrilo
