#include "map/c_google_map_dlg_wrap.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <QWindow>
#include <mutex>

#include "engine/track_access.h"
#include "map/c_json_holder.h"
#include "map/map_data.h"
#include "widgets/app_message.h"

static void InitMapResources() {
    Q_INIT_RESOURCE(map);
}

namespace tavrilo {
namespace {

const QUrl kPage(QStringLiteral("qrc:/map/map.html"));
constexpr double kZoom = 0.65;

// The page of the map and nothing else: links and scripts cannot take the view elsewhere.
class MapPage : public QWebEnginePage {
  public:
    using QWebEnginePage::QWebEnginePage;

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return !isMainFrame || url == kPage;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
};

// Keeps the page's zoom at 0.65 through every resize.
class MapView : public QWebEngineView {
  public:
    using QWebEngineView::QWebEngineView;

  protected:
    void resizeEvent(QResizeEvent* e) override {
        QWebEngineView::resizeEvent(e);
        setZoomFactor(kZoom);
    }
};

// The web view's own native window, embedded where the map goes. A web view among a window's
// widgets makes Qt compose that whole window with OpenGL on every repaint (20 a second while
// a recording plays: the seek bar, the panels, the graph); in a window of its own, only the
// map's pixels are composed, and only when the map changes. Keys the page leaves alone go on
// to the window the map sits in, as they would from a child widget.
class MapPane : public QWidget {
  public:
    MapPane() { setWindowFlag(Qt::FramelessWindowHint); }
    // The pane is shown and hidden with `host`, its container: the page is visible (and
    // draws) only while the map is.
    void SetHost(QWidget* host) {
        host_ = host;
        host->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched != host_) {
            return false;
        }
        if (e->type() == QEvent::Hide) {
            hide();
        } else if (e->type() == QEvent::Show) {
            // After the container's own handling, which puts the pane's window in its place
            // (shown before that, it would open as a window of its own).
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (host_ == nullptr || !host_->isVisible()) {
                        return;
                    }
                    // A move of the container between windows can leave the pane's window
                    // on its own: it goes back into the window the container is in.
                    QWindow* into = host_->window()->windowHandle();
                    if (windowHandle()->parent() != into) {
                        windowHandle()->setParent(into);
                    }
                    show();
                    setGeometry(QRect(host_->mapTo(host_->window(), QPoint(0, 0)), host_->size()));
                },
                Qt::QueuedConnection);
        }
        return false;
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (host_ != nullptr && host_->window() != nullptr) {
            QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text(), e->isAutoRepeat(),
                           static_cast<ushort>(e->count()));
            QCoreApplication::sendEvent(host_->window(), &copy);
            e->setAccepted(copy.isAccepted());
            return;
        }
        QWidget::keyPressEvent(e);
    }

  private:
    QPointer<QWidget> host_;
};

}  // namespace

QString MapHostObject::TestMethod(const QString& text, int number) {
    return QStringLiteral("TestMethod(%1, %2) called.\n").arg(text).arg(number);
}

int MapHostObject::JS2C_ConnectTest() {
    const bool connected = wrap_.connected();
    if (!connected) {
        wrap_.pageReady_ = false;
    }
    return connected ? 1 : 0;
}

QString MapHostObject::JS2C_GetMapURL() {
    return QStringLiteral("qrc:/map/leaflet.js");
}

QVariantMap MapHostObject::JS2C_GetTileInfo() {
    return {{QStringLiteral("url"), wrap_.options_.tiles},
            {QStringLiteral("attribution"), wrap_.options_.attribution}};
}

QVariantList MapHostObject::JS2C_GetGPSData() {
    std::vector<GpsSample> group;
    engine::ReadListTracks(wrap_.ctx_, [&](const std::vector<GpsSample>* all) {
        if (all != nullptr) {
            group = *all;
        }
    });
    return MapTrackArray(group);
}

QVariant MapHostObject::JS2C_GetGridData(const QString&) {
    const EngineContext& ctx = wrap_.ctx_;
    if (ctx.PlayState == MovieState::kClosed) {
        return {};
    }
    QVariant samples;
    engine::ReadTrack(ctx,
                      [&](const TrackReader& track) { samples = MapTrackArray(track.GpsSamples); });
    return samples;
}

QString MapHostObject::JS2C_GetRelJpgNum() {
    return QString::number(wrap_.position_);
}

QString MapHostObject::JS2C_GetMarkName(int kind) {
    return MarkName(kind);
}

QString MapHostObject::JS2C_GetRcString(int index) {
    return RcString(index);
}

void MapHostObject::JS2C_OnClickCrashPoint(int, int, int ipos, int, double, double, double,
                                           double) {
    PostAppMessage(wrap_.owner_, UWM_MAP_SEEK, 0, ipos);
}

void MapHostObject::JS2C_OnInitHtml() {
    wrap_.pageReady_ = true;
    PostAppMessage(wrap_.owner_, UWM_MAP_READY, 0, 0);
}

void MapHostObject::JS2C_SetSend() {
    emit webMessage(MapUpdateMessage(wrap_.latitude_, wrap_.longitude_, wrap_.status_));
}

CGoogleMapDlgWrap::CGoogleMapDlgWrap(EngineContext& ctx, QObject* owner, QWidget* parent,
                                     MapOptions options)
    : ctx_(ctx), owner_(owner), options_(std::move(options)) {
    static const bool initialised = (InitMapResources(), true);
    (void)initialised;
    host_ = std::make_unique<MapHostObject>(*this);
    channel_ = std::make_unique<QWebChannel>();
    channel_->registerObject(QStringLiteral("sample"), host_.get());
    auto pane = std::make_unique<MapPane>();
    view_ = std::make_unique<MapView>(pane.get());
    auto* layout = new QVBoxLayout(pane.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_.get());
    pane->winId();  // its native window, for the container
    container_ = QWidget::createWindowContainer(pane->windowHandle(), parent);
    container_->hide();
    pane->SetHost(container_);
    pane_ = std::move(pane);
    auto* page = new MapPage(view_.get());
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    page->setWebChannel(channel_.get());
    view_->setPage(page);
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    view_->setZoomFactor(kZoom);
    view_->setUrl(kPage);
    connection_.Start(options_.check, options_.recheckMs);
}

CGoogleMapDlgWrap::~CGoogleMapDlgWrap() {
    connection_.Stop();
    if (view_) {
        view_->page()->setWebChannel(nullptr);
    }
    // The container would delete the pane's window with it: the window leaves it first.
    if (container_) {
        container_->hide();
        if (QWindow* window = pane_->windowHandle()) {
            window->setParent(nullptr);
        }
        delete container_.data();
    }
    view_.reset();
    pane_.reset();
}

QWidget* CGoogleMapDlgWrap::view() const {
    return view_.get();
}

QWidget* CGoogleMapDlgWrap::widget() const {
    return container_.data();
}

void CGoogleMapDlgWrap::ExecuteScript(const QString& script) {
    view_->page()->runJavaScript(script);
}

void CGoogleMapDlgWrap::Evaluate(const QString& script, std::function<void(const QVariant&)> done) {
    view_->page()->runJavaScript(script, [done = std::move(done)](const QVariant& v) { done(v); });
}

bool CGoogleMapDlgWrap::ResetTrack(int recordingIndex) {
    if (!pageReady_) {
        return false;
    }
    for (const QString& script : TrackResetScripts(recordingIndex)) {
        ExecuteScript(script);
    }
    return true;
}

void CGoogleMapDlgWrap::SetPlayStatus(int kind) {
    switch (kind) {
        case 0:
            status_.clear();
            break;
        case 1:
            status_ = QStringLiteral("pause");
            break;
        case 2:
            status_ = QStringLiteral("stop");
            ExecuteScript(QStringLiteral("orbitgrplist.MoveMarker()"));
            break;
        default:
            break;
    }
}

void CGoogleMapDlgWrap::SetPosition(double latitude, double longitude) {
    latitude_ = latitude;
    longitude_ = longitude;
}

bool CGoogleMapDlgWrap::ShowMap(bool on) {
    if (on && !shown_ && !container_->isVisible()) {
        container_->show();
        shown_ = true;
        return true;
    }
    if (!on && shown_ && container_->isVisible()) {
        container_->hide();
        shown_ = false;
        return true;
    }
    return false;
}

}  // namespace tavrilo
