#include "views/c_g_sensor_dlg.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <mutex>

#include "engine/track_access.h"
#include "widgets/app_message.h"
#include "widgets/c_resource_image.h"

namespace tavrilo {
namespace {

// Windows colour values are 0x00BBGGRR; these are the same colours as RGB.
const QColor kX(0x00, 0xff, 0x00);           // front-back, green
const QColor kY(0xff, 0x00, 0x00);           // left-right, red
const QColor kZ(0x80, 0x80, 0xff);           // up-down, light blue
const QColor kStrip(0xaa, 0x00, 0x00, 127);  // class 6: dark red at half strength

constexpr int kMarkHeight = 8;

}  // namespace

QColor MarkColour(int code) {
    if (code <= 1) {
        return kX;
    }
    if (code == 2) {
        return kY;
    }
    if (code <= 4) {
        return kZ;
    }
    if (code <= 10) {
        return Qt::white;
    }
    return code == 11   ? QColor(0xff, 0xff, 0x00)
           : code == 12 ? QColor(0xff, 0x00, 0xff)
                        : QColor(0x00, 0xff, 0xff);
}

CGSensorDlg::CGSensorDlg(EngineContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CGSensorDlg::SetActive(bool on) {
    active_ = on;
    update();
}

void CGSensorDlg::SetCursor(int position, int count) {
    cursor_ = position;
    count_ = count;
    update();
}

void CGSensorDlg::DrawBackground(QPainter& p) {
    p.fillRect(rect(), QColor(0x14, 0x17, 0x1b));
    const QPixmap& tile = CResourceImage::Pixmap(162);
    if (!tile.isNull()) {
        for (int x = 0; x < width(); x += 5) {
            p.drawPixmap(QRect(x, 0, tile.width(), height()), tile);
        }
    }
    const QPixmap& scale = CResourceImage::Pixmap(176);
    if (!scale.isNull()) {
        p.drawPixmap(QRect(0, 0, scale.width(), height()), scale);
    }
}

void CGSensorDlg::DrawTrack(QPainter& p) {
    marks_.clear();
    if (!ctx_.Ready) {
        return;
    }
    engine::ReadTrack(ctx_, [&](const TrackReader& track) { DrawSamples(p, track); });
}

void CGSensorDlg::DrawSamples(QPainter& p, const TrackReader& track) {
    const std::vector<GSample>& samples = track.GSamples;
    const std::vector<int32_t>& frames = track.FrameIndex;
    if (samples.empty()) {
        return;
    }
    const int w = width() - margin_;
    const GraphTimeBase t = GraphTimeBase::For(w, static_cast<int>(samples.size()),
                                               static_cast<int>(frames.size()), cursor_);
    // One pane: every axis has its baseline across the middle.
    const int baseline = height() / 2;
    const int limit = height() / 2 - 3;
    const int scale = GraphScale(height(), 0);
    std::array<std::optional<int>, 3> previous;
    std::array<int, kEventClasses> previousCodes{};
    previousCodes.fill(kNoEvent);
    std::array<std::vector<Mark>, kEventClasses> perClass;
    p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
    for (int k = 0; k * t.step < w; ++k) {
        const int item = t.Item(k);
        const int sample = t.perSample ? item
                           : item >= 0 && static_cast<size_t>(item) < frames.size()
                               ? frames[static_cast<size_t>(item)]
                               : -1;
        if (sample < 0 || static_cast<size_t>(sample) >= samples.size()) {
            break;
        }
        const GSample& g = samples[static_cast<size_t>(sample)];
        const int x = t.X(k, margin_);
        const std::array<double, 3> values = {g.Gx, g.Gy, g.Gz};
        const std::array<QColor, 3> pens = {kX, kY, kZ};
        for (size_t axis = 0; axis < 3; ++axis) {
            const int pixels =
                std::clamp(static_cast<int>(QuantiseG(values[axis]) * scale), -limit, limit);
            if (previous[axis] == pixels) {
                continue;
            }
            previous[axis] = pixels;
            p.setPen(pens[axis]);
            p.drawLine(x, baseline, x, baseline - pixels);
        }
        // Marks: a class's rising edge at this item.
        const std::array<int, kEventClasses> codes = ClassifySample(g, gate_);
        for (int cls = 0; cls < kEventClasses; ++cls) {
            const int code = codes[static_cast<size_t>(cls)];
            const bool rising =
                code >= 0 && (k == 0 || previousCodes[static_cast<size_t>(cls)] != code);
            if (rising && classes_.enabled[static_cast<size_t>(cls)] != 0 &&
                ReportsToMap(code, classes_.enabled)) {
                perClass[static_cast<size_t>(cls)].push_back({x, code});
                if (cls == 6) {
                    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
                    p.fillRect(QRect(x, height() - 21, static_cast<int>(t.step), 21), kStrip);
                    p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
                }
            }
        }
        previousCodes = codes;
    }
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    for (const auto& list : perClass) {
        for (const Mark& m : list) {
            p.fillRect(QRect(m.x - 1, height() - kMarkHeight, 3, kMarkHeight), MarkColour(m.code));
            marks_.push_back(m);
        }
    }
}

void CGSensorDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    DrawBackground(p);
    if (active_) {
        DrawTrack(p);
    } else {
        marks_.clear();
    }
    p.setPen(Qt::white);
    const int x = CursorX(margin_, width() - margin_, cursor_, count_);
    p.drawLine(x, 0, x, height() - 1);
}

void CGSensorDlg::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        PostAppMessage(parentWidget(), UWM_GSENSOR_LCLICK);
    } else if (e->button() == Qt::RightButton) {
        PostAppMessage(parentWidget(), UWM_GSENSOR_RCLICK);
    }
}

}  // namespace tavrilo
