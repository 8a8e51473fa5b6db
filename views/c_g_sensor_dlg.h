#pragma once
// The G-sensor graph: the three axes of the recording's G sensor as bars at their points of
// change, a white cursor at the playing position, and a mark along the bottom for each event
// the classes find. Left and right clicks ask the main window for the previous and the next
// event (UWM_GSENSOR_LCLICK / _RCLICK).

#include <QWidget>
#include <array>

#include "engine/engine.h"
#include "engine/messages.h"
#include "views/g_sensor_events.h"

namespace tavrilo {

inline constexpr uint32_t UWM_GSENSOR_LCLICK = kWmApp + 401;
inline constexpr uint32_t UWM_GSENSOR_RCLICK = kWmApp + 402;

struct GClassFlags {
    std::array<int32_t, kEventClasses> enabled;  // marked in the graph
    std::array<int32_t, kEventClasses> onMap;    // sent to the map
    GClassFlags() {
        enabled.fill(1);
        onMap.fill(1);
    }
};

class CGSensorDlg : public QWidget {
    Q_OBJECT
  public:
    // Reads the engine's published track, under its file lock.
    CGSensorDlg(EngineContext& ctx, QWidget* parent);

    GClassFlags& classes() { return classes_; }
    // Set by the main window when a recording is opened: off for kinds A, P and T.
    void SetGate(bool on) { gate_ = on; }
    bool gate() const { return gate_; }
    // The traces and marks are drawn only while the graph is on.
    void SetActive(bool on);
    // The seek slider's position and the width of its range, in frames.
    void SetCursor(int position, int count);
    int cursor() const { return cursor_; }
    void SetLeftMargin(int margin) { margin_ = margin; }
    int leftMargin() const { return margin_; }

    // What the last paint marked: (x, event code) per mark, for the tests and the map's sake.
    struct Mark {
        int x;
        int code;
        bool operator==(const Mark&) const = default;
    };
    const std::vector<Mark>& lastMarks() const { return marks_; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

  private:
    void DrawBackground(QPainter& p);
    void DrawTrack(QPainter& p);
    // The traces and marks of the published track; called with the engine's file lock held.
    void DrawSamples(QPainter& p, const TrackReader& track);

    EngineContext& ctx_;
    GClassFlags classes_;
    bool gate_ = true;
    bool active_ = false;
    int margin_ = 50;
    int cursor_ = 0, count_ = 0;
    std::vector<Mark> marks_;
};

// The mark colours by event code (the 14-pen table).
QColor MarkColour(int code);

}  // namespace tavrilo
