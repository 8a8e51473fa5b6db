// The settings window and the update check: the switch of the parking-impact class, the version
// line, and the check against an HTTP server of the test's own on 127.0.0.1.

#include <QTcpServer>
#include <QTcpSocket>
#include <fstream>
#include <map>

#include "maintenance/c_setting_dlg.h"
#include "maintenance/c_update_dialog.h"
#include "maintenance/update_check.h"
#include "tests/ui/main_window_fixture.h"
#include "views/c_g_sensor_dlg.h"
#include "widgets/app_message.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

using namespace windowtest;

// Serves fixed bodies by path; a path it does not know gets 404, a "hang" path no answer ever.
class VersionServer {
  public:
    explicit VersionServer(std::map<QString, QByteArray> bodies) : bodies_(std::move(bodies)) {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] { Answer(s); });
            }
        });
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(server_.serverPort()); }
    int requests = 0;

  private:
    void Answer(QTcpSocket* s) {
        const QByteArray request = s->readAll();
        const QString path = QString::fromLatin1(request.split(' ').value(1));
        ++requests;
        const auto found = bodies_.find(path);
        if (found != bodies_.end() && found->second == "hang") {
            return;
        }
        if (found == bodies_.end()) {
            s->write("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        } else {
            s->write("HTTP/1.0 200 OK\r\nContent-Length: " +
                     QByteArray::number(found->second.size()) + "\r\n\r\n" + found->second);
        }
        s->disconnectFromHost();
    }
    std::map<QString, QByteArray> bodies_;
    QTcpServer server_;
};

const QString kViewerFile = QString::fromLatin1(UpdatePaths::kViewerVersion);
const QString kFirmwareFile = QString::fromLatin1(UpdatePaths::kFirmwareVersion);

TEST(UpdateCheck, VersionFilesFirmwareFormsAndTheMessage) {
    EXPECT_EQ(VersionFromBody("VER:1.0.1"), QStringLiteral("1.0.1"));
    EXPECT_EQ(VersionFromBody("x VER:1.0.2\r\n"), QStringLiteral("1.0.2\r\n"));
    EXPECT_EQ(VersionFromBody(""), QString());  // an empty body counts as read
    EXPECT_EQ(VersionFromBody("1.0.1"), std::nullopt);
    EXPECT_EQ(VersionFromBody("VER:" + QByteArray(300, '1')), std::nullopt);
    EXPECT_EQ(VersionFromBody("VER:" + QByteArray(259, '1'))->size(), 259);
    EXPECT_EQ(ReduceFirmware(QStringLiteral("V1.2.5")), QStringLiteral("1.2.5"));
    EXPECT_EQ(ReduceFirmware(QStringLiteral("ver 1.2.5.7b")), QStringLiteral(" 1.2.5"));

    UpdateFindings f;
    f.viewerPage = QStringLiteral("http://h/viewer.html");
    f.firmwarePage = QStringLiteral("http://h/fw.html");
    f.latestViewer = QStringLiteral("1.0.1");
    EXPECT_EQ(BuildUpdateMessage(f), std::nullopt);  // nothing differs, no card
    f.latestViewer = QStringLiteral("1.0.1\r\n");    // a line break differs
    const std::optional<QString> viewer = BuildUpdateMessage(f);
    ASSERT_TRUE(viewer.has_value());
    EXPECT_TRUE(viewer->contains(UiText(112)));
    EXPECT_FALSE(viewer->contains(UiText(110)));
    f.latestViewer = QStringLiteral("1.0.1");
    f.cardFirmware = QStringLiteral("1.2.5");
    f.latestFirmware = QStringLiteral("V1.2.5");
    EXPECT_EQ(BuildUpdateMessage(f), std::nullopt);  // the same firmware once reduced
    f.latestFirmware = QStringLiteral("1.3.0");
    EXPECT_TRUE(BuildUpdateMessage(f)->contains(UiText(110)));
    f.latestViewer.reset();
    EXPECT_EQ(BuildUpdateMessage(f), std::nullopt);  // no viewer file: nothing at all
    // What the server sends stays text; the program's two pages are the only links.
    f.latestViewer = QStringLiteral("<a href=\"file:///etc/passwd\">x</a><img src=x onerror=y>");
    const QString marked = *BuildUpdateMessage(f);
    EXPECT_EQ(marked.count(QStringLiteral("<a ")), 2);
    EXPECT_EQ(marked.count(QStringLiteral("<img")), 0);
    EXPECT_TRUE(marked.contains(QStringLiteral("&lt;img src=x onerror=y&gt;")));
    f.latestViewer = QString(1200, QLatin1Char('9'));
    EXPECT_EQ(BuildUpdateMessage(f), std::nullopt);  // past 1300 characters

    EXPECT_EQ(UpdateServerBase("http://example.test:8080/x/"),
              QStringLiteral("http://example.test:8080"));
    EXPECT_EQ(UpdateServerBase("file:///etc"), std::nullopt);
    EXPECT_EQ(UpdateServerBase(""), std::nullopt);
    std::vector<QUrl> opened;
    auto open = [&](const QUrl& u) { opened.push_back(u); };
    EXPECT_FALSE(OpenWebLink(QUrl(QStringLiteral("file:///etc/passwd")), open));
    EXPECT_FALSE(OpenWebLink(QUrl(QStringLiteral("javascript:alert(1)")), open));
    EXPECT_TRUE(OpenWebLink(QUrl(QStringLiteral("https://h/viewer.html")), open));
    EXPECT_EQ(opened.size(), 1u);
}

class Maintenance : public MainWindow {
  protected:
    // A window whose update server is `server`, its links recorded.
    void MakeWithServer(const std::string& server, int timeoutMs = 3000) {
        std::ofstream(folder / "Default_Folder.ini") << "[UPDATE]\r\nSERVER=" << server << "\r\n";
        Make(true, [&](MainWindowOptions& o) {
            o.openLink = [this](const QUrl& u) { links.push_back(u); };
            o.updateTimeoutMs = timeoutMs;
        });
    }
    std::vector<QUrl> links;
};

TEST_F(Maintenance, TheCheckRunsOnceWhenTheMapIsReadyAndOffersTheViewer) {
    VersionServer server({{kViewerFile, "VER:1.0.2"}});
    MakeWithServer(server.base());
    // Offline: the map never gets ready and nothing is asked.
    QTest::qWait(300);
    EXPECT_FALSE(window->updateChecker().started());
    EXPECT_EQ(server.requests, 0);
    PostAppMessage(window.get(), UWM_MAP_READY);
    PostAppMessage(window.get(), UWM_MAP_READY);
    ASSERT_TRUE(Wait([&] { return window->updateWindow() != nullptr; }));
    EXPECT_EQ(server.requests, 1);  // once, and no firmware without a card
    CUpdateDialog* d = window->updateWindow();
    EXPECT_EQ(d->windowTitle(), QStringLiteral("ソフトの更新情報"));
    EXPECT_TRUE(d->textLabel()->text().contains(QStringLiteral("1.0.2")));
    Shot("update-window");
    if (const char* dir = std::getenv("TAVRILO_SHOTS")) {
        d->grab().save(QString::fromStdString(std::string(dir) + "/update-window.png"));
    }
    emit d->textLabel()->linkActivated(QString::fromStdString(server.base()) +
                                       QLatin1String(UpdatePaths::kViewerPage));
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].path(), QLatin1String(UpdatePaths::kViewerPage));
    emit d->textLabel()->linkActivated(QStringLiteral("file:///etc/passwd"));
    EXPECT_EQ(links.size(), 1u);
    QTest::mouseClick(d->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(Wait([&] { return window->updateWindow() == nullptr; }));
}

TEST_F(Maintenance, NothingIsShownWhenTheViewerIsCurrentOrItsFileIsMissing) {
    VersionServer current({{kViewerFile, "VER:1.0.1"}});
    MakeWithServer(current.base());
    PostAppMessage(window.get(), UWM_MAP_READY);
    ASSERT_TRUE(Wait([&] { return window->updateChecker().Finished(); }));
    QTest::qWait(100);
    EXPECT_EQ(window->updateWindow(), nullptr);
    window.reset();
    VersionServer missing({{kFirmwareFile, "VER:9.9.9"}});
    MakeWithServer(missing.base());
    PostAppMessage(window.get(), UWM_MAP_READY);
    ASSERT_TRUE(Wait([&] { return window->updateChecker().Finished(); }));
    QTest::qWait(100);
    EXPECT_EQ(window->updateWindow(), nullptr);
}

TEST_F(Maintenance, AServerThatNeverAnswersDoesNotHoldUpTheWindow) {
    VersionServer server({{kViewerFile, "hang"}});
    MakeWithServer(server.base(), 500);
    PostAppMessage(window.get(), UWM_MAP_READY);
    QApplication::processEvents();
    // The window goes on while the check waits.
    const auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(window->sizeButton(), Qt::LeftButton);
    EXPECT_EQ(window->layoutMode(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    ASSERT_TRUE(Wait([&] { return window->updateChecker().Finished(); }, std::chrono::seconds(10)));
    EXPECT_EQ(window->updateWindow(), nullptr);
}

TEST_F(Maintenance, TheSettingsSwitchTakesParkingImpactsOutOfTheJumps) {
    const fs::path file = Recording("002_100000_G.MP4",
                                    "--size 128 --seconds 6 --kind G "
                                    "--event 2:D2 --event 4:X");
    Make(true, [&](MainWindowOptions& o) {
        o.source = file.string();
        o.sourceKind = SourceKind::kFile;
    });
    ASSERT_TRUE(Wait([&] { return window->loaded(); }));
    auto classes = [&] {
        std::vector<int> c;
        for (const EventPoint& e : window->eventPoints()) {
            c.push_back(e.cls);
        }
        std::sort(c.begin(), c.end());
        return c;
    };
    const std::vector<int> before = classes();
    ASSERT_NE(std::find(before.begin(), before.end(), 5), before.end()) << before.size();
    CSettingDlg* settings = window->settingsWindow();
    EXPECT_FALSE(settings->isVisible());
    QTest::mouseClick(window->barButton(14), Qt::LeftButton);
    ASSERT_TRUE(settings->isVisible());
    EXPECT_TRUE(settings->parkingImpactSwitch()->isChecked());  // on at first
    EXPECT_TRUE(settings->versionLabel()->text().startsWith(QStringLiteral("version 1.0.1\n")));
    if (const char* dir = std::getenv("TAVRILO_SHOTS")) {
        settings->grab().save(QString::fromStdString(std::string(dir) + "/settings-window.png"));
    }
    QTest::mouseClick(settings->parkingImpactSwitch(), Qt::LeftButton);
    ASSERT_TRUE(Wait([&] { return window->graph()->classes().onMap[5] == 0; }));
    EXPECT_EQ(window->graph()->classes().enabled[5], 0);
    const std::vector<int> after = classes();
    EXPECT_EQ(std::find(after.begin(), after.end(), 5), after.end());
    EXPECT_EQ(after.size(), before.size() - 1);
    // Closed with its button it hides, and comes back as it was.
    QTest::mouseClick(settings->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(settings->isVisible());
    QTest::mouseClick(window->barButton(14), Qt::LeftButton);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_FALSE(settings->parkingImpactSwitch()->isChecked());
}

}  // namespace
}  // namespace tavrilo
