#pragma once
// The update check: once per run the maker's server is asked for the latest viewer and, when a
// card was opened, the latest recorder firmware; when either differs a small window offers the
// download pages. The fetches run on a thread of their own and never hold up the window. What the
// server sends is data: it is shown as text, and the only links are the program's own pages.

#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <optional>
#include <string>

namespace tavrilo {

inline constexpr const char* kViewerVersion = "1.0.1";

// The server's four paths under the configured base address.
struct UpdatePaths {
    static constexpr const char* kFirmwareVersion = "/taiou/dr_updata/kelvro/kelvro_sw_version.txt";
    static constexpr const char* kFirmwarePage = "/taiou/dr_updata/kelvro/kelvro.html";
    static constexpr const char* kViewerVersion = "/0_recorder/viewer/Tavrilo/Tavrilo_version.txt";
    static constexpr const char* kViewerPage = "/0_recorder/viewer/Tavrilo/viewer.html";
};

// The version a version file's body holds: what follows the first "VER:" in its first 1024
// bytes, line breaks included; an empty body gives "". Nothing without "VER:" or when the
// version is longer than 259 characters.
std::optional<QString> VersionFromBody(const QByteArray& body);

// The firmware's comparison form: letters dropped, cut before a third ".".
QString ReduceFirmware(const QString& version);

struct UpdateFindings {
    QString cardFirmware;                   // the card's version text; empty without a card
    std::optional<QString> latestFirmware;  // nothing when its fetch failed
    std::optional<QString> latestViewer;    // nothing when its fetch failed
    QString firmwarePage, viewerPage;       // the links offered
};

// The window's text (rich text: the fetched versions escaped, the two pages the only links), or
// nothing when nothing differs, the viewer's file could not be read or the text would pass 1300
// characters.
std::optional<QString> BuildUpdateMessage(const UpdateFindings& f);

// The base address the paths go under, when it is an http(s) address.
std::optional<QString> UpdateServerBase(const std::string& setting);

// Runs the check on its own thread: `done` gets the message (on the checker's thread) when there
// is one to show. Each fetch gives up after `timeoutMs`.
class UpdateChecker {
  public:
    UpdateChecker() = default;
    ~UpdateChecker();
    UpdateChecker(const UpdateChecker&) = delete;
    UpdateChecker& operator=(const UpdateChecker&) = delete;

    // Once per run: later calls do nothing. False when nothing started (no usable server).
    bool Start(const std::string& server, const QString& firmware,
               std::function<void(const QString& message)> done, int timeoutMs = 10000);
    bool started() const { return started_; }
    // Stops the fetch under way and waits for the thread (at the end of the program).
    void Stop();
    bool Finished() const { return finished_; }

  private:
    bool started_ = false;
    std::atomic<bool> finished_{false};
    std::atomic<bool> stop_{false};
    QThread* thread_ = nullptr;
};

}  // namespace tavrilo
