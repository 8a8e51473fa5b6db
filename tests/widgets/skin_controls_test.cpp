// The skinned controls driven by the mouse and the keyboard as a user drives them, and what
// they look like afterwards.

#include <gtest/gtest.h>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

#include "tests/widgets/skin_support.h"
#include "widgets/c_resource_image.h"
#include "widgets/c_skin_button.h"
#include "widgets/c_skin_list_ctrl.h"
#include "widgets/c_skin_progress_bar_ctrl.h"
#include "widgets/c_skin_slider_ctrl.h"

namespace tavrilo {
namespace {

using test::Grab;
using test::Posted;
using test::RecordingParent;

TEST(SliderGeometry, PositionsThumbAndPressRules) {
    // 800 pixels over 0..99: steps of 8 pixels; a 25-pixel thumb.
    const SliderGeometry g{800, 0, 99, 25};
    EXPECT_EQ(g.steps(), 100);
    EXPECT_EQ(g.PositionAt(0), 0);
    EXPECT_EQ(g.PositionAt(7), 0);
    EXPECT_EQ(g.PositionAt(8), 1);
    EXPECT_EQ(g.PositionAt(799), 99);
    EXPECT_EQ(g.PositionAt(900), 99);  // clamped
    EXPECT_EQ(g.PositionAt(-5), 0);    // left of the slider: the minimum
    EXPECT_EQ(g.ThumbX(50), 50 * 775 / 100);
    EXPECT_DOUBLE_EQ(g.FilledFraction(50), 0.5);
    EXPECT_TRUE(g.InsidePressBounds(-9));
    EXPECT_FALSE(g.InsidePressBounds(-10));
    EXPECT_TRUE(g.InsidePressBounds(809));
    EXPECT_FALSE(g.InsidePressBounds(810));
    // The thumb at 0 spans 0..25: within 10 pixels either side counts, strictly.
    EXPECT_TRUE(g.HitsThumb(34, 0));
    EXPECT_FALSE(g.HitsThumb(35, 0));
    EXPECT_TRUE(g.HitsThumb(-9, 0));
    // A range of 0..0 has one step: every press means 0 and the thumb stays at 0.
    const SliderGeometry none{800, 0, 0, 25};
    EXPECT_EQ(none.PositionAt(400), 0);
    EXPECT_EQ(none.ThumbX(0), 0);
    EXPECT_DOUBLE_EQ(none.FilledFraction(0), 0.0);
}

class Slider : public ::testing::Test {
  protected:
    void SetUp() override {
        slider = new CSkinSliderCtrl(38100, &parent);
        slider->SetImages(kSeekSliderImages);
        slider->setGeometry(0, 0, 800, 10);
        slider->SetRange(0, 99);
        parent.show();
    }
    RecordingParent parent;
    CSkinSliderCtrl* slider = nullptr;
};

TEST_F(Slider, PressBesideTheThumbJumpsAndDragAndReleaseReport) {
    slider->SetPos(10);  // thumb at 10 * 775 / 100 = 77
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(400, 5));
    EXPECT_TRUE(slider->pressOutsideThumb());
    QTest::mouseMove(slider, QPoint(480, 5));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(480, 5));
    EXPECT_EQ(parent.posted(), (std::vector<Posted>{{UWM_SLIDER_PRESS, 38100, 50},
                                                    {UWM_SLIDER_TRACK, 38100, 60},
                                                    {UWM_SLIDER_RELEASE, 38100, 60}}));
    // The slider never moves its own thumb: its owner sets the position.
    EXPECT_EQ(slider->pos(), 10);
}

TEST_F(Slider, PressOnTheThumbAndOutsideTheBounds) {
    slider->SetPos(10);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(85, 5));
    EXPECT_FALSE(slider->pressOutsideThumb());
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(85, 5));
    parent.Clear();
    // A press 5 pixels left of the slider counts and reports the minimum.
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(-5, 5));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(-5, 5));
    EXPECT_EQ(parent.posted(),
              (std::vector<Posted>{{UWM_SLIDER_PRESS, 38100, 0}, {UWM_SLIDER_RELEASE, 38100, 0}}));
    parent.Clear();
    // A disabled slider reports nothing.
    slider->setEnabled(false);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(300, 5));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(300, 5));
    EXPECT_TRUE(parent.posted().empty());
}

TEST_F(Slider, EmptyRangeDrawsTheEmptyTrackAndTheThumbAtZero) {
    slider->SetRange(0, 0);
    slider->SetPos(0);
    const QImage shot = Grab(*slider);
    const QImage filled = CResourceImage::Image(174);
    const QImage empty = CResourceImage::Image(159);
    // Right of the thumb the bar has the empty track's colour, never the filled one's.
    EXPECT_EQ(shot.pixel(400, 5), empty.pixel(400, 5) | 0xff000000u);
    EXPECT_NE(shot.pixel(400, 5), filled.pixel(400, 5) | 0xff000000u);
    // The thumb's face is at the left end.
    const QImage thumb = CResourceImage::Image(160);
    EXPECT_EQ(shot.pixel(12, 5), thumb.pixel(12, 5) | 0xff000000u);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(600, 5));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(600, 5));
    EXPECT_EQ(parent.posted().front(), (Posted{UWM_SLIDER_PRESS, 38100, 0}));
}

TEST_F(Slider, HalfWayTheTrackIsFilledToTheMiddle) {
    slider->SetPos(50);
    const QImage shot = Grab(*slider);
    const QImage filled = CResourceImage::Image(174);
    const QImage empty = CResourceImage::Image(159);
    EXPECT_EQ(shot.pixel(200, 5), filled.pixel(200, 5) | 0xff000000u);
    EXPECT_EQ(shot.pixel(700, 5), empty.pixel(700, 5) | 0xff000000u);
}

TEST(ProgressBar, DoneWidthAndTheFullBar) {
    EXPECT_EQ(ProgressDoneWidth(300, 0, 100, 50), 150);
    EXPECT_EQ(ProgressDoneWidth(300, 0, 100, 33), 99);
    EXPECT_EQ(ProgressDoneWidth(300, 0, 0, 50), 0);  // a range below 1
    QWidget parent;
    CSkinProgressBarCtrl bar(&parent);
    bar.setGeometry(0, 0, 300, 22);
    bar.SetRange(0, 100);
    bar.SetPos(100);
    const QImage shot = Grab(bar);
    // All blue, the text "100 %" in white in the middle.
    EXPECT_EQ(shot.pixel(2, 2), qRgb(0, 0, 255));
    EXPECT_EQ(shot.pixel(297, 19), qRgb(0, 0, 255));
    int white = 0, other = 0;
    for (int y = 0; y < 22; ++y) {
        for (int x = 0; x < 300; ++x) {
            const QRgb c = shot.pixel(x, y);
            white += qRed(c) > 128;   // the text, smoothed edges included
            other += qBlue(c) < 250;  // anything that is not white on blue
        }
    }
    EXPECT_GT(white, 10);
    EXPECT_EQ(other, 0);
    // Half way: white on the right, where the text shows in blue.
    bar.SetPos(50);
    const QImage half = Grab(bar);
    EXPECT_EQ(half.pixel(10, 10), qRgb(0, 0, 255));
    EXPECT_EQ(half.pixel(290, 10), qRgb(255, 255, 255));
}

TEST(SkinButton, FramesFollowTheState) {
    RecordingParent parent;
    CSkinButton button(QSize(32, 32), 38002, &parent);
    button.SetImageStrip(148);
    parent.show();
    auto frame = [](int n) { return CResourceImage::Frame(148, n, {32, 32}).toImage(); };
    auto same = [&](int n) {
        return Grab(button).pixel(16, 3) == (frame(n).pixel(16, 3) | 0xff000000u);
    };
    EXPECT_EQ(button.shownFrame(), ButtonFrame::kNormal);
    EXPECT_TRUE(same(0));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.shownFrame(), ButtonFrame::kHover);
    EXPECT_TRUE(same(1));
    button.SetHeld(true);  // held: the pressed frame, never the hover one
    EXPECT_EQ(button.shownFrame(), ButtonFrame::kPressed);
    EXPECT_TRUE(same(2));
    button.SetHeld(false);
    button.setEnabled(false);
    EXPECT_EQ(button.shownFrame(), ButtonFrame::kDisabled);
    EXPECT_TRUE(same(3));
    // The four frames really differ.
    EXPECT_NE(frame(0).pixel(16, 3), frame(1).pixel(16, 3));
    EXPECT_NE(frame(1).pixel(16, 3), frame(2).pixel(16, 3));
    EXPECT_NE(frame(0).pixel(16, 3), frame(3).pixel(16, 3));
    // Without a strip nothing is drawn (the parent's background shows).
    CSkinButton bare(QSize(32, 32), 1, &parent);
    bare.SetImageStrip(9999);
    EXPECT_NE(Grab(bare).pixel(16, 3), Grab(button).pixel(16, 3));
}

TEST(SkinButton, PadModeReportsOnePressPerPressAndKeysAreSwallowed) {
    RecordingParent parent;
    CSkinButton button(QSize(32, 32), 23, &parent);
    button.SetImageStrip(360);
    button.SetPadMode(true);
    parent.show();
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(button.held());
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(10, 10));  // again, no release between
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(button.held());
    EXPECT_EQ(parent.posted(),
              (std::vector<Posted>{{UWM_PAD_PRESS, 0, 23}, {UWM_PAD_RELEASE, 0, 23}}));
    EXPECT_EQ(clicks.count(), 1);  // the command follows as for any button
    QTest::keyClick(&button, Qt::Key_Space);
    QTest::keyClick(&button, Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 1);
}

TEST(SkinCheckButton, CheckedFrameAndHoverOnlyOverTheBox) {
    QWidget parent;
    CSkinCheckButton check(QStringLiteral("駐車監視衝撃"), 32968, &parent);
    check.setGeometry(0, 0, 160, 20);
    parent.show();
    EXPECT_EQ(check.shownFrame(), ButtonFrame::kNormal);
    QTest::mouseMove(&check, QPoint(100, 10));  // over the text
    EXPECT_EQ(check.shownFrame(), ButtonFrame::kNormal);
    QTest::mouseMove(&check, QPoint(6, 10));  // over the box
    EXPECT_EQ(check.shownFrame(), ButtonFrame::kHover);
    QTest::mouseClick(&check, Qt::LeftButton, {}, QPoint(6, 10));
    EXPECT_TRUE(check.isChecked());
    EXPECT_EQ(check.shownFrame(), ButtonFrame::kPressed);
    const QImage box = CResourceImage::Frame(217, 2, {12, 12}).toImage();
    EXPECT_EQ(Grab(check).pixel(6, 10), box.pixel(6, 6) | 0xff000000u);
}

TEST(SkinList, HotTrackingAndClickToggling) {
    EXPECT_EQ(ClickedStateImage(1), 3);
    EXPECT_EQ(ClickedStateImage(2), 3);
    EXPECT_EQ(ClickedStateImage(3), 1);
    EXPECT_EQ(ClickedStateImage(0), 1);
    CSkinListCtrl list;
    list.resize(200, 120);
    QListWidgetItem* a = list.AddItem("a");
    QListWidgetItem* b = list.AddItem("b");
    list.show();
    const QPoint atA = list.visualItemRect(a).center();
    const QPoint atB = list.visualItemRect(b).center();
    QTest::mouseMove(list.viewport(), atA);
    EXPECT_EQ(CSkinListCtrl::StateImage(a), 2);
    QTest::mouseMove(list.viewport(), atB);
    EXPECT_EQ(CSkinListCtrl::StateImage(a), 1);
    EXPECT_EQ(CSkinListCtrl::StateImage(b), 2);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, atB);
    EXPECT_EQ(CSkinListCtrl::StateImage(b), 3);
    QTest::mouseMove(list.viewport(), atA);
    EXPECT_EQ(CSkinListCtrl::StateImage(b), 3);  // checked items stay checked
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, atB);
    EXPECT_EQ(CSkinListCtrl::StateImage(b), 1);
}

TEST(ResourceImage, EveryNumberHasItsSizeAndAMissingOneIsNull) {
    struct Size {
        int number, width, height;
    };
    std::vector<Size> sizes = {
        {129, 1200, 750}, {164, 392, 406}, {324, 392, 406}, {366, 140, 120}, {174, 800, 10},
        {159, 800, 10},   {160, 25, 10},   {161, 25, 10},   {167, 100, 20},  {168, 100, 20},
        {169, 10, 20},    {170, 10, 20},   {155, 184, 18},  {156, 104, 18},  {157, 104, 18},
        {352, 52, 12},    {217, 48, 12},   {191, 32, 32},   {186, 49, 32},   {190, 30, 21},
        {320, 210, 151},  {312, 22, 106},  {196, 60, 35},   {315, 39, 26},
    };
    for (int n : {137, 138, 139, 142, 144, 145, 146, 147, 148, 150, 151,
                  153, 154, 200, 357, 358, 359, 360, 361, 362, 363, 364}) {
        sizes.push_back({n, 128, 32});  // four 32 x 32 frames
    }
    for (int n : {180, 181, 182, 183, 184, 185, 216, 221, 329, 330}) {
        sizes.push_back({n, 32, 32});
    }
    for (const Size& s : sizes) {
        EXPECT_EQ(CResourceImage::Pixmap(s.number).size(), QSize(s.width, s.height)) << s.number;
    }
    EXPECT_TRUE(CResourceImage::Pixmap(9999).isNull());
    EXPECT_TRUE(CResourceImage::Frame(148, 4, {32, 32}).isNull());  // there is no fifth frame
}

}  // namespace
}  // namespace tavrilo
