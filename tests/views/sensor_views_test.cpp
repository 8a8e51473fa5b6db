// The G-sensor graph's classifier and time base, the trip panel's texts, and both panels drawn
// and read back.

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QTest>

#include "engine/engine.h"
#include "tests/widgets/skin_support.h"
#include "views/c_g_sensor_dlg.h"
#include "views/c_info_dlg.h"
#include "views/g_sensor_events.h"
#include "views/info_text.h"

namespace tavrilo {
namespace {

using test::Grab;
using test::Posted;
using test::RecordingParent;

GSample Sample(int axis = 0, int mark = -1, int high = 0, int low = 0, int reserved = 0) {
    GSample s;
    s.Axis = axis;
    s.MarkCode = mark;
    s.FlagHigh = high;
    s.FlagLow = low;
    s.Reserved = reserved;
    return s;
}

TEST(GClassifier, EveryClassItsTriggerTheGateAndTheClearing) {
    struct Case {
        const char* what;
        GSample sample;
        int cls;
        int gated, ungated;  // the code with the gate on, and off
    };
    const std::vector<Case> cases = {
        {"X impact", Sample(1), 0, 0, kNoEvent},
        {"Y impact", Sample(2), 1, 2, kNoEvent},
        {"Z impact", Sample(3), 2, 3, kNoEvent},
        {"manual", Sample(0, 5), 3, 5, 5},
        {"mark 6", Sample(0, 6), 4, 6, 6},
        {"mark 7", Sample(0, 7), 5, 7, kNoEvent},
        {"reserved 8", Sample(0, -1, 0, 0, 8), 6, 8, 8},
        {"flags 10/9", Sample(0, -1, 10, 9), 7, 9, kNoEvent},
        {"flags 8/8", Sample(0, -1, 8, 8), 8, 10, kNoEvent},
        {"flags 9/8", Sample(0, -1, 9, 8), 8, 10, kNoEvent},
        {"mark 12", Sample(0, 12), 9, 12, 12},
        {"nothing", Sample(), 0, kNoEvent, kNoEvent},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifySample(c.sample, true)[static_cast<size_t>(c.cls)], c.gated) << c.what;
        EXPECT_EQ(ClassifySample(c.sample, false)[static_cast<size_t>(c.cls)], c.ungated) << c.what;
    }
    // An impact clears the sample's mark: the manual class does not count it again, unless the
    // gate kept the impact class from matching.
    const GSample both = Sample(1, 5);
    EXPECT_EQ(ClassifySample(both, true)[3], kNoEvent);
    EXPECT_EQ(ClassifySample(both, false)[3], 5);
    EXPECT_EQ(both.MarkCode, 5);  // the track itself is left alone
    EXPECT_FALSE(EventGate(0));   // A
    EXPECT_FALSE(EventGate(3));   // P
    EXPECT_FALSE(EventGate(7));   // T
    EXPECT_TRUE(EventGate(1));    // G
    EXPECT_TRUE(EventGate(4));    // S
    EXPECT_TRUE(EventGate(-1));   // no kind
}

TEST(GClassifier, OnePointPerEventAndTheMapFlags) {
    // X impact over samples 2..4, a gap at 5, again at 6; a manual mark at 9.
    std::vector<GSample> samples(12);
    for (int k : {2, 3, 4, 6}) {
        samples[static_cast<size_t>(k)].Axis = 1;
    }
    samples[9].MarkCode = 5;
    std::array<int32_t, kEventClasses> onMap{};
    onMap.fill(1);
    EXPECT_EQ(CollectEvents(samples, nullptr, true, onMap),
              (std::vector<EventPoint>{{0, 2, 0}, {0, 6, 0}, {3, 9, 5}}));
    onMap[0] = 0;
    EXPECT_EQ(CollectEvents(samples, nullptr, true, onMap), (std::vector<EventPoint>{{3, 9, 5}}));
    // Per frame: the frames name the samples.
    const std::vector<int32_t> frames = {0, 2, 2, 3, 5, 6};
    onMap[0] = 1;
    EXPECT_EQ(CollectEvents(samples, &frames, true, onMap),
              (std::vector<EventPoint>{{0, 1, 0}, {0, 5, 0}}));
    // Codes 6 to 13 need the producing class on the map.
    onMap.fill(1);
    onMap[5] = 0;
    EXPECT_FALSE(ReportsToMap(7, onMap));
    EXPECT_TRUE(ReportsToMap(5, onMap));
    EXPECT_TRUE(ReportsToMap(9, onMap));
}

TEST(GGraphArithmetic, TimeBaseScaleQuantisationAndCursor) {
    // W = 500 for 1,000 frames: one pixel a frame, a window around the cursor at 600.
    const GraphTimeBase t = GraphTimeBase::For(500, 900, 1000, 600);
    EXPECT_FALSE(t.perSample);
    EXPECT_DOUBLE_EQ(t.rawStep, 0.5);
    EXPECT_EQ(t.Item(0), 300);
    EXPECT_EQ(t.Item(499), 799);
    EXPECT_EQ(t.X(300, 50), 350);
    EXPECT_EQ(CursorX(50, 500, 600, 1000), 350);  // the cursor stands on frame 600
    // Fewer frames than samples: per sample, six samples to a step's width.
    const GraphTimeBase s = GraphTimeBase::For(600, 50, 10, 3);
    EXPECT_TRUE(s.perSample);
    EXPECT_DOUBLE_EQ(s.rawStep, 2.0);
    EXPECT_EQ(s.Item(4), 4);  // everything fits: no window
    EXPECT_EQ(s.X(4, 50), 58);
    EXPECT_EQ(CursorX(50, 500, 7, 0), 50);
    EXPECT_DOUBLE_EQ(QuantiseG(-3.4), -2.0);
    EXPECT_DOUBLE_EQ(QuantiseG(0.19), 0.1);
    EXPECT_DOUBLE_EQ(QuantiseG(-0.19), -0.1);
    EXPECT_EQ(GraphScale(98, 0), 34);
    EXPECT_EQ(GraphScale(300, 1), 57);
}

TEST(InfoText, DateGValuesSpeedAndRate) {
    SystemTime start;
    start.year = 2059;
    start.month = 5;
    start.day = 1;
    start.hour = 10;
    EXPECT_EQ(FrameDateText(start, true, 0, 33.0f), QStringLiteral("2024/05/01 10:00:00"));
    start.year = 2026;
    EXPECT_EQ(FrameDateText(start, true, 91, 33.0f), QStringLiteral("2026/05/01 10:00:03"));
    EXPECT_FALSE(FrameDateText(start, false, 0, 33.0f).has_value());  // nothing published yet
    EXPECT_FALSE(FrameDateText(start, true, -1, 33.0f).has_value());
    EXPECT_EQ(GValueText(0.126), QStringLiteral("0.12G"));
    EXPECT_EQ(GValueText(-0.126), QStringLiteral("-0.12G"));
    EXPECT_EQ(GValueText(-0.004), QStringLiteral("0.00G"));  // no minus sign on a zero
    EXPECT_EQ(GValueText(-0.0), QStringLiteral("0.00G"));
    EXPECT_FALSE(GValueText(-5.0).has_value());
    EXPECT_EQ(SpeedText(true, 1234), QStringLiteral("999 "));
    EXPECT_EQ(SpeedText(true, 42.4), QStringLiteral("42 "));
    EXPECT_FALSE(SpeedText(false, 42).has_value());
    EXPECT_FALSE(SpeedText(true, -1).has_value());
    EXPECT_EQ(RateText(2, true).toStdString(), "再生速度x2.0");
    EXPECT_EQ(RateText(-4, true).toStdString(), "再生速度x0.25");
    EXPECT_TRUE(RateText(2, false).isEmpty());
    EXPECT_TRUE(RateText(1, true).isEmpty());
    EXPECT_NE(StatusImage('R'), StatusImage('r'));
    EXPECT_NE(StatusImage('r'), StatusImage('M'));
}

// An engine whose published track holds the given samples, one frame per sample.
class Track {
  public:
    explicit Track(std::vector<GSample> samples) {
        ops.Init(&ctx, nullptr);
        ctx.Ready = 1;
        ctx.Track.GSamples = std::move(samples);
        for (size_t i = 0; i < ctx.Track.GSamples.size(); ++i) {
            ctx.Track.FrameIndex.push_back(static_cast<int32_t>(i));
        }
    }
    ~Track() { ops.Shutdown(&ctx); }
    const EngineOps& ops = GetEngineOps();
    EngineContext ctx;
};

// Counts the pixels of a colour in a column range of a grab.
int Count(const QImage& image, QRgb colour, int x0 = 0, int x1 = -1) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = x0; x < (x1 < 0 ? image.width() : x1); ++x) {
            n += image.pixel(x, y) == colour;
        }
    }
    return n;
}

TEST(GGraph, EmptyTrackDrawsBackgroundAndCursorOnly) {
    Track t({});
    RecordingParent parent;
    CGSensorDlg graph(t.ctx, &parent);
    graph.setGeometry(0, 0, 722, 98);
    graph.SetActive(true);
    graph.SetCursor(30, 60);
    const QImage shot = Grab(graph);
    EXPECT_EQ(Count(shot, qRgb(0, 255, 0)), 0);
    EXPECT_EQ(Count(shot, qRgb(255, 255, 255), 50 + 336, 50 + 337), 98);  // the cursor line
    EXPECT_TRUE(graph.lastMarks().empty());
}

TEST(GGraph, ValuesAreClampedAndQuantisedInTheDrawing) {
    auto columnOf = [](double gx) {
        std::vector<GSample> samples(60);
        for (auto& s : samples) {
            s.Gx = gx;
        }
        Track t(samples);
        RecordingParent parent;
        CGSensorDlg graph(t.ctx, &parent);
        graph.setGeometry(0, 0, 722, 98);
        graph.SetActive(true);
        graph.SetCursor(59, 60);  // away from the first bar: the values never change after it
        return Grab(graph);
    };
    // 0.19 G draws as 0.1 G: a bar of trunc(0.1 x 34) = 3 pixels above the baseline at 49.
    const QImage small = columnOf(0.19);
    int green = 0;
    for (int y = 0; y < 98; ++y) {
        // The trace is ORed onto the background, which keeps its own red and blue.
        green += qGreen(small.pixel(50, y)) == 255 && qRed(small.pixel(50, y)) < 128;
    }
    // Rows 46..48 (the baseline pixel at 49 is where the other two axes' zero bars meet it).
    EXPECT_EQ(green, 3);
    // -3.4 G draws exactly as -2.0 G does.
    EXPECT_EQ(columnOf(-3.4), columnOf(-2.0));
    EXPECT_NE(columnOf(-1.0), columnOf(-2.0));
}

TEST(GGraph, MarksFollowTheGateAndTheEnabledFlags) {
    std::vector<GSample> samples(60);
    for (int k : {10, 11, 12, 14}) {
        samples[static_cast<size_t>(k)].Axis = 1;  // X impact, again after a one-sample gap
    }
    samples[30].MarkCode = 5;  // manual: not gated
    Track t(samples);
    RecordingParent parent;
    CGSensorDlg graph(t.ctx, &parent);
    graph.setGeometry(0, 0, 722, 98);
    graph.SetActive(true);
    Grab(graph);
    // 672 pixels for 60 frames: 11.2 pixels a frame.
    EXPECT_EQ(graph.lastMarks(),
              (std::vector<CGSensorDlg::Mark>{{50 + 112, 0}, {50 + 156, 0}, {50 + 336, 5}}));
    const QImage marked = Grab(graph);
    EXPECT_EQ(marked.pixel(50 + 112, 95), qRgb(0, 255, 0));  // the green mark at the bottom
    graph.SetGate(false);                                    // a recording of kind A, P or T
    Grab(graph);
    EXPECT_EQ(graph.lastMarks(), (std::vector<CGSensorDlg::Mark>{{50 + 336, 5}}));
    graph.SetGate(true);
    graph.classes().enabled[0] = 0;  // off in the graph, still on the map
    Grab(graph);
    EXPECT_EQ(graph.lastMarks(), (std::vector<CGSensorDlg::Mark>{{50 + 336, 5}}));
    EXPECT_EQ(CollectEvents(t.ctx.Track.GSamples, nullptr, true, graph.classes().onMap).size(), 3u);
    // Clicks ask for the previous and the next event.
    QTest::mouseClick(&graph, Qt::LeftButton);
    QTest::mouseClick(&graph, Qt::RightButton);
    EXPECT_EQ(parent.posted(),
              (std::vector<Posted>{{UWM_GSENSOR_LCLICK, 0, 0}, {UWM_GSENSOR_RCLICK, 0, 0}}));
}

TEST(InfoPanel, ResetValuesPlaceholdersAndToggles) {
    RecordingParent parent;
    CInfoDlg panel(&parent);
    panel.setGeometry(0, 0, 582, 120);
    panel.Reset();
    EXPECT_EQ(panel.FrameIndex, -1);
    EXPECT_EQ(panel.StatusByte, 77);
    EXPECT_EQ(panel.SpeedKmh, -1.0);
    const QImage empty = Grab(panel);
    // The G values drawn in their colours make more green than the grey placeholders.
    panel.GFrontBack = 0.5;
    const QImage withValue = Grab(panel);
    EXPECT_GT(Count(withValue, qRgb(0, 255, 0), 80, 200), Count(empty, qRgb(0, 255, 0), 80, 200));
    // The three toggles post their index and new state.
    for (auto* toggle : panel.findChildren<QAbstractButton*>()) {
        QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(6, 10));
    }
    EXPECT_EQ(parent.posted().size(), 3u);
    EXPECT_EQ(parent.posted()[1], (Posted{UWM_INFO_TOGGLE, 1, 0}));
    EXPECT_FALSE(panel.toggleState(2));
    panel.SetLayout(1);
    for (auto* toggle : panel.findChildren<QAbstractButton*>()) {
        EXPECT_FALSE(toggle->isVisible());
    }
}

}  // namespace
}  // namespace tavrilo
