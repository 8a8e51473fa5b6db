#pragma once
// The map's host: the page (carried in the program's resources) in a QtWebEngine view, the
// object "sample" it asks for the track and position through the web channel, the script calls
// the main window sends it, and the connectivity watcher that decides whether the map library
// may load. Navigation away from the page is refused.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

#include "engine/engine.h"
#include "engine/messages.h"
#include "map/c_inet_connection_async.h"

class QWebEngineView;
class QWebChannel;
class QWidget;

namespace tavrilo {

inline constexpr uint32_t UWM_MAP_READY = kWmApp + 301;
inline constexpr uint32_t UWM_MAP_SEEK = kWmApp + 302;

struct MapOptions {
    QString tiles = QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png");
    QString check = QStringLiteral("https://tile.openstreetmap.org/");
    QString attribution = QStringLiteral("&copy; OpenStreetMap contributors");
    int recheckMs = 30000;
};

class CGoogleMapDlgWrap;

// The page's "sample": every JS2C_ call of the page.
class MapHostObject : public QObject {
    Q_OBJECT
  public:
    explicit MapHostObject(CGoogleMapDlgWrap& wrap) : wrap_(wrap) {}

  public slots:
    QString TestMethod(const QString& text, int number);
    int JS2C_ConnectTest();
    QString JS2C_GetMapURL();
    QVariantMap JS2C_GetTileInfo();
    QVariantList JS2C_GetGPSData();
    QVariant JS2C_GetGridData(const QString& ignored);
    QString JS2C_GetRelJpgNum();
    QString JS2C_GetMarkName(int kind);
    QString JS2C_GetRcString(int index);
    void JS2C_OnClickCrashPoint(int ifile, int igrid, int ipos, int valid, double lat, double lng,
                                double speed, double direction);
    void JS2C_OnInitHtml();
    void JS2C_SetSend();
    void JS2C_DEBLOG(const QString&) {}

  signals:
    // The position message the page copies into its hidden inputs.
    void webMessage(const QString& json);

  private:
    CGoogleMapDlgWrap& wrap_;
};

class CGoogleMapDlgWrap {
  public:
    // `owner` receives UWM_MAP_READY and UWM_MAP_SEEK; the map's widget is a child of `parent`.
    CGoogleMapDlgWrap(EngineContext& ctx, QObject* owner, QWidget* parent, MapOptions options);
    ~CGoogleMapDlgWrap();

    // What the window places, shows and hides: the web view, in a native window of its own.
    QWidget* widget() const;
    // The web view itself.
    QWidget* view() const;
    void ExecuteScript(const QString& script);
    // Runs `script` and hands its value back (the tests read the page with it).
    void Evaluate(const QString& script, std::function<void(const QVariant&)> done);
    // The four calls of a track reset, only while the page is ready.
    bool ResetTrack(int recordingIndex);
    // 0 playing, 1 "pause", 2 "stop" (and the marker moves once).
    void SetPlayStatus(int kind);
    void SetPosition(double latitude, double longitude);
    void SetPositionIndex(int frame) { position_ = frame; }
    bool ShowMap(bool on);
    bool connected() const { return connection_.connected(); }
    bool pageReady() const { return pageReady_; }
    const CInetConnectionAsync& connection() const { return connection_; }
    MapHostObject& host() const { return *host_; }

  private:
    friend class MapHostObject;

    EngineContext& ctx_;
    QObject* owner_;
    MapOptions options_;
    std::unique_ptr<QWidget> pane_;  // the web view's top-level, embedded by container_
    std::unique_ptr<QWebEngineView> view_;
    QPointer<QWidget> container_;
    std::unique_ptr<MapHostObject> host_;
    std::unique_ptr<QWebChannel> channel_;
    CInetConnectionAsync connection_;
    bool pageReady_ = false;
    bool shown_ = false;
    int position_ = 0;
    double latitude_ = 0, longitude_ = 0;
    QString status_;
};

}  // namespace tavrilo
