// The map: the host's data for the page, the page's own logic running in the real page under
// QtWebEngine, and the whole road with a tile server of the test's own on 127.0.0.1 that comes
// and goes.

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTreeWidget>
#include <QWebEngineView>
#include <QWindow>
#include <array>
#include <chrono>
#include <set>

#include "files/c_filer_container_dlg.h"
#include "map/c_google_map_dlg_wrap.h"
#include "map/c_json_holder.h"
#include "map/map_data.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/main/c_movie_dialog.h"
#include "views/c_g_sensor_dlg.h"
#include "views/c_info_dlg.h"
#include "widgets/c_logo_dlg.h"

namespace tavrilo {
namespace {

using namespace windowtest;

TEST(MapData, JsonHolderMessagesAndTrackArrays) {
    CJsonHolder json;
    json.Parse(QString());
    EXPECT_EQ(json.size(), 0u);
    json.Parse(QStringLiteral("junk {\"b\":\"x,y\", \"a\" : \"1\",\"a\":\"2\"} tail"));
    EXPECT_EQ(json.size(), 2u);
    EXPECT_EQ(json.Value(QStringLiteral("b")), QStringLiteral("xy"));  // the comma is dropped
    EXPECT_EQ(json.Value(QStringLiteral("a")), QStringLiteral("2"));   // the later one wins
    EXPECT_EQ(json.Value(QStringLiteral("c")), QString());
    // The last entry of the object carries no separator.
    EXPECT_EQ(json.Serialise(), QStringLiteral("{\"a\":\"2\"\"b\":\"xy\",}"));
    EXPECT_EQ(MapUpdateMessage(35.5, 139.25, QStringLiteral("pause")),
              QStringLiteral("{\"map_lat\":\"35.500000\",\"map_lng\":\"139.250000\","
                             "\"map_status\":\"pause\",\"val_command\":\"update\","
                             "\"val_end\":\"\"}"));

    std::vector<GpsSample> track(3);
    track[0] = {0, 0, 1, -1, 35.1, 139.1, 10, 0, {}};
    track[1] = {1, 3, 0, -1, 99, 99, 0, 0, {}};  // no fix: left out
    track[2] = {2, 6, 1, -1, 35.2, 139.2, 12, 0, {}};
    const QVariantList a = MapTrackArray(track);
    ASSERT_EQ(a.size(), 7);
    EXPECT_DOUBLE_EQ(a[3].toDouble(), 35.2);
    EXPECT_EQ(a[5].toInt(), 6);  // frames may have gaps
    EXPECT_EQ(a[6].toInt(), 6);  // the number of values before the count
    EXPECT_EQ(MapTrackArray({}), QVariantList{0});

    EXPECT_EQ(MarkName(0), QStringLiteral("急加速"));
    EXPECT_EQ(MarkName(13), QStringLiteral("ドライブサポート　急ブレーキ"));
    EXPECT_EQ(MarkName(14), QString());
    EXPECT_EQ(MarkIcon(7), 216);
    EXPECT_EQ(RcString(100000), QString());
    EXPECT_EQ(TrackResetScripts(3).last(), QStringLiteral("orbitgrplist.CreateGridLine(3)"));
}

// Serves generated tiles for any path ending in .png and answers anything else with 200.
class TileServer {
  public:
    TileServer() {
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(QColor(0xe8, 0xe4, 0xd8));
        QPainter p(&tile);
        p.setPen(QColor(0xb0, 0xa8, 0x98));
        p.drawRect(0, 0, 255, 255);
        p.end();
        QBuffer buffer(&png_);
        buffer.open(QIODevice::WriteOnly);
        tile.save(&buffer, "PNG");
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                sockets_.push_back(s);
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] { Answer(s); });
            }
        });
    }
    bool Listen(quint16 port) { return server_.listen(QHostAddress::LocalHost, port); }
    void Close() {
        server_.close();
        for (QTcpSocket* s : sockets_) {
            s->abort();
            s->deleteLater();
        }
        sockets_.clear();
    }
    quint16 port() const { return server_.serverPort(); }
    int tiles = 0;

  private:
    void Answer(QTcpSocket* s) {
        const QByteArray request = s->readAll();
        const QByteArray path = request.split(' ').value(1);
        const bool tile = path.endsWith(".png");
        tiles += tile ? 1 : 0;
        const QByteArray body = tile ? png_ : QByteArray("ok");
        s->write(
            "HTTP/1.1 200 OK\r\nContent-Type: " + QByteArray(tile ? "image/png" : "text/plain") +
            "\r\nAccess-Control-Allow-Origin: *\r\nContent-Length: " +
            QByteArray::number(body.size()) + "\r\n\r\n" + body);
    }
    QTcpServer server_;
    QByteArray png_;
    std::vector<QTcpSocket*> sockets_;
};

class MapWindow : public MainWindow {
  protected:
    // Runs `script` in the page and waits for its value.
    QVariant Page(const QString& script) {
        QVariant value;
        bool done = false;
        window->mapHost().Evaluate(script, [&](const QVariant& v) {
            value = v;
            done = true;
        });
        Wait([&] { return done; }, std::chrono::seconds(10));
        return value;
    }
    QJsonObject State() {
        return QJsonDocument::fromJson(
                   Page(QStringLiteral("JSON.stringify(PageState())")).toString().toUtf8())
            .object();
    }
};

TEST_F(MapWindow, ThePagesOwnLogicInTheRealPage) {
    Make();
    ASSERT_TRUE(Wait([&] {
        return Page(QStringLiteral("typeof GetOrbitGroupOf")).toString() ==
               QStringLiteral("function");
    }));
    auto runs = [&](const char* points) {
        return Page(QStringLiteral("GetOrbitGroupOf(%1).length").arg(QLatin1String(points)))
            .toInt();
    };
    EXPECT_EQ(runs("[[35,139],[35.002,139],[35.004,139]]"), 3);  // one point a run
    EXPECT_EQ(runs("[[35,139],[35.001,139],[35.002,139]]"), 1);
    EXPECT_EQ(runs("[[60,10],[60,10.0025],[60,10.005]]"), 1);  // 0.0025 x cos 60 degrees
    EXPECT_EQ(runs("[]"), 0);
    auto at = [&](int n) {
        return Page(QStringLiteral("IndexFor({JpgNumList:[10,20,30]}, %1)").arg(n)).toInt();
    };
    EXPECT_EQ(at(5), 0);   // before the track: its first point
    EXPECT_EQ(at(35), 2);  // after it: its last
    EXPECT_EQ(at(20), 0);  // at point 1: the point before it
    EXPECT_EQ(at(25), 1);
    // Offline: nothing is loaded, and the host's position index starts at 0.
    EXPECT_FALSE(State().value(QStringLiteral("ready")).toBool());
    EXPECT_EQ(window->mapHost().host().JS2C_GetRelJpgNum(), QStringLiteral("0"));
    EXPECT_EQ(window->mapHost().host().TestMethod(QStringLiteral("x"), 7),
              QStringLiteral("TestMethod(x, 7) called.\n"));
}

TEST_F(MapWindow, TheMapComesWithItsServerAndGoesWithIt) {
    // A port that is free now and stays unanswered until the server starts on it.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(port);
    const fs::path file =
        Recording("003_100000_G.MP4", "--size 256 --seconds 20 --kind G --event 5:X --event 12:Y");
    Make(true, [&](MainWindowOptions& o) {
        MapOptions map;
        map.tiles = base + QStringLiteral("/{z}/{x}/{y}.png");
        map.check = base + QStringLiteral("/");
        map.attribution = QStringLiteral("test tiles");
        map.recheckMs = 300;
        o.map = map;
        o.source = file.string();
        o.sourceKind = SourceKind::kFile;
    });
    ASSERT_TRUE(Wait([&] { return window->loaded(); }));
    QTest::qWait(800);
    // Offline at start: the logo with its no-connection picture once the check is active.
    EXPECT_FALSE(window->mapShown());
    EXPECT_TRUE(window->logo()->wanted());
    EXPECT_FALSE(State().value(QStringLiteral("ready")).toBool());

    TileServer server;
    ASSERT_TRUE(server.Listen(port));
    ASSERT_TRUE(Wait([&] { return window->mapShown(); }));
    ASSERT_TRUE(Wait([&] {
        const QJsonObject s = State();
        return s.value(QStringLiteral("ready")).toBool() &&
               !s.value(QStringLiteral("group")).toArray().isEmpty() &&
               !s.value(QStringLiteral("markers")).toArray().isEmpty();
    }));
    EXPECT_FALSE(window->logo()->wanted());
    EXPECT_TRUE(window->mapHost().pageReady());
    EXPECT_EQ(State().value(QStringLiteral("markers")).toArray().size(), 2);
    // Half way: blue behind the marker, red ahead.
    window->SeekTo(GetEngineOps().GetFrameCount(&window->engine()) / 2);
    ASSERT_TRUE(Wait([&] {
        const QJsonObject s = State();
        return !s.value(QStringLiteral("travelled")).toArray().isEmpty() &&
               !s.value(QStringLiteral("ahead")).toArray().isEmpty();
    }));
    const QJsonObject s = State();
    EXPECT_EQ(s.value(QStringLiteral("travelled")).toArray()[0].toObject()["colour"].toString(),
              QStringLiteral("#0000FF"));
    EXPECT_EQ(s.value(QStringLiteral("ahead")).toArray()[0].toObject()["colour"].toString(),
              QStringLiteral("#FF0000"));
    EXPECT_TRUE(Wait([&] { return server.tiles > 0; }));
    // The page lies in the map's place, in a native window of its own: the main window stays
    // a raster window, not composed with OpenGL on every repaint of its panels.
    QWidget* place = window->mapHost().widget();
    QWidget* page = window->mapHost().view();
    const auto pageInPlace = [&] {
        return Wait([&] {
            return page->isVisible() && QRect(page->mapToGlobal(QPoint(0, 0)), page->size()) ==
                                            QRect(place->mapToGlobal(QPoint(0, 0)), place->size());
        });
    };
    EXPECT_TRUE(pageInPlace());
    EXPECT_EQ(window->windowHandle()->surfaceType(), QSurface::RasterSurface);
    // On the screen: the test tiles' colour at the middle of the map's place, away from the
    // track (drawn at the centre).
    const QPoint probe = place->mapToGlobal(QPoint(place->width() / 5, place->height() * 4 / 5));
    EXPECT_TRUE(Wait([&] {
        const QImage screen =
            QGuiApplication::primaryScreen()->grabWindow(0, probe.x(), probe.y(), 1, 1).toImage();
        return screen.pixelColor(0, 0) == QColor(0xe8, 0xe4, 0xd8);
    }));
    // Paused, the page's own refresh leaves the marker; the host's explicit move does not.
    QTest::keyClick(window.get(), Qt::Key_Space);
    QTest::keyClick(window.get(), Qt::Key_Space);
    ASSERT_EQ(window->engine().PlayState, MovieState::kPaused);
    // The page learns the state with its next refresh (once a second).
    ASSERT_TRUE(Wait([&] {
        return Page(QStringLiteral("document.getElementById('map_status').value")).toString() ==
               QStringLiteral("pause");
    }));
    QTest::qWait(300);
    const int before = State().value(QStringLiteral("lastJpgNum")).toInt();
    window->mapHost().SetPositionIndex(before + 150);
    QTest::qWait(1500);
    EXPECT_EQ(State().value(QStringLiteral("lastJpgNum")).toInt(), before);
    window->mapHost().ExecuteScript(QStringLiteral("orbitgrplist.MoveMarker()"));
    EXPECT_TRUE(
        Wait([&] { return State().value(QStringLiteral("lastJpgNum")).toInt() == before + 150; }));
    // A clicked marker, here in the southern hemisphere, seeks the video there.
    Page(
        QStringLiteral("cplist.AddCrashPos(0,0,0,0,0,0,77,-33.9,151.2,1,0,0);"
                       "cplist.SetCrashPos(cplist.markers.length - 1); 1"));
    EXPECT_TRUE(Wait([&] { return window->seekSlider()->pos() == 77; }));
    // The page stays the page, and its zoom stays with a resize.
    Page(QStringLiteral("location.href = 'http://127.0.0.1:9/elsewhere'; 1"));
    QTest::qWait(300);
    auto* view = qobject_cast<QWebEngineView*>(window->mapHost().view());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->url(), QUrl(QStringLiteral("qrc:/map/map.html")));
    view->resize(300, 300);
    EXPECT_DOUBLE_EQ(view->zoomFactor(), 0.65);
    view->resize(386, 405);
    QTest::keyClick(window.get(), Qt::Key_Space);  // the marker moves with the video
    QTest::qWait(1500);
    Shot("map-playing");
    // The wide panorama moves the map to its own frame, and back.
    window->SetProjection(4, true);
    ASSERT_TRUE(window->wide());
    EXPECT_EQ(place->window(), static_cast<QWidget*>(window->mapFrame()));
    EXPECT_TRUE(pageInPlace());
    Shot("map-wide");
    window->SetProjection(2, true);
    ASSERT_FALSE(window->wide());
    EXPECT_EQ(place->window(), static_cast<QWidget*>(window.get()));
    EXPECT_TRUE(pageInPlace());

    // The server goes: the logo comes back.
    server.Close();
    EXPECT_TRUE(Wait([&] { return !window->mapShown() && window->logo()->wanted(); }));
    EXPECT_EQ(window->logo()->picture(), kLogoNoConnectionPicture);
}

// The sample card's impact in the whole window, with tiles of the test's own: the graph shows
// the trace and the impact's mark, the panel's speed falls while it plays through the hard
// brake, and the map draws the drive. TAVRILO_SAMPLE_CARD names a card to use instead of a
// small one written here (the README's picture comes from the full-size card).
TEST_F(MapWindow, TheSampleCardsImpactWithTheTraceTheSpeedAndTheRoute) {
    fs::path card = folder / "card";
    if (const char* given = std::getenv("TAVRILO_SAMPLE_CARD")) {
        card = given;
    } else {
        const auto r = RunCommand(std::string(TAVRILO_GEN) + " card " + Quote(card) +
                                  " --town --size 96 --no-audio");
        ASSERT_EQ(r.status, 0) << r.output;
    }
    fs::path impact;
    for (const auto& e : fs::directory_iterator(card / "20260601_002")) {
        if (e.path().filename().string().ends_with("_G.MP4")) {
            impact = e.path();
        }
    }
    ASSERT_FALSE(impact.empty());
    TileServer server;
    ASSERT_TRUE(server.Listen(0));
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.port());
    Make(true, [&](MainWindowOptions& o) {
        MapOptions map;
        map.tiles = base + QStringLiteral("/{z}/{x}/{y}.png");
        map.check = base + QStringLiteral("/");
        map.attribution = QStringLiteral("test tiles");
        o.map = map;
        o.source = card.string();
        o.sourceKind = SourceKind::kCard;
    });
    ASSERT_TRUE(WaitLoaded());
    // The second folder, then its impact recording, as a user picks them.
    CFilerContainerDlg* files = window->fileManager();
    QTreeWidget* tree = files->tree();
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualItemRect(tree->topLevelItem(1)).center());
    ASSERT_TRUE(Wait([&] { return files->rows().size() == 3 && window->loaded(); }));
    files->SelectRow(2);
    ASSERT_TRUE(Wait([&] { return window->engine().Track.Path == impact.string(); }));
    ASSERT_TRUE(WaitLoaded());
    window->SetProjection(3, false);  // the sphere

    // The graph: trace bars of all three axes and one front-back impact mark.
    CGSensorDlg* graph = window->graph();
    ASSERT_TRUE(Wait([&] { return !graph->lastMarks().empty(); }));
    EXPECT_EQ(graph->lastMarks().size(), 1u);
    EXPECT_EQ(graph->lastMarks()[0].code, 0);
    const QImage drawn = graph->grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::array<std::set<int>, 3> columns;  // x of the bars, per axis colour (green, red, blue)
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = graph->leftMargin(); x < drawn.width(); ++x) {
            const QColor c = drawn.pixelColor(x, y);
            if (c.green() == 255 && c.red() < 200) {
                columns[0].insert(x);
            } else if (c.red() == 255 && c.green() < 200) {
                columns[1].insert(x);
            } else if (c.blue() == 255 && c.red() < 255) {
                columns[2].insert(x);
            }
        }
    }
    EXPECT_GT(columns[0].size(), 10u);
    EXPECT_FALSE(columns[1].empty());  // a corner
    EXPECT_GT(columns[2].size(), 10u);

    // Played from two seconds before the impact: town speed, then the hard brake to a stand.
    ASSERT_EQ(window->eventPoints().size(), 1u);
    window->SeekTo(window->eventPoints()[0].index - 60);
    ASSERT_TRUE(Wait([&] { return window->infoPanel()->SpeedKmh >= 30; }));
    std::set<int> speeds;
    QTest::keyClick(window.get(), Qt::Key_Space);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until && window->infoPanel()->SpeedKmh != 0) {
        QTest::qWait(50);
        speeds.insert(static_cast<int>(window->infoPanel()->SpeedKmh));
    }
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_GE(speeds.size(), 4u);
    EXPECT_EQ(window->infoPanel()->SpeedKmh, 0);

    // The drive on the map, and the picture of it all.
    EXPECT_TRUE(Wait(
        [&] {
            const QJsonObject s = State();
            return s.value(QStringLiteral("ready")).toBool() &&
                   !s.value(QStringLiteral("travelled")).toArray().isEmpty();
        },
        std::chrono::seconds(15)));
    Shot("sample-card-impact");
}

}  // namespace
}  // namespace tavrilo
