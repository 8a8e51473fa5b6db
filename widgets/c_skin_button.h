#pragma once
// Skinned push and check buttons: their faces are frames of a skin image strip (normal, hover,
// pressed, disabled). In pad mode a button also reports each press and its release to its
// parent (UWM_PAD_PRESS / UWM_PAD_RELEASE with the command id), once per press.

#include <QAbstractButton>

namespace tavrilo {

// Which frame of a strip a button shows.
enum class ButtonFrame { kNormal = 0, kHover = 1, kPressed = 2, kDisabled = 3 };
ButtonFrame ChooseButtonFrame(bool enabled, bool pressedOrCheckedOrHeld, bool hovered);

class CSkinButton : public QAbstractButton {
    Q_OBJECT
  public:
    // A button of `frameSize` (32 x 32 in the bar, 46 x 18 or 26 x 18 in the caption, 13 x 12
    // as a dialog's close button).
    CSkinButton(QSize frameSize, int commandId, QWidget* parent = nullptr);

    // Replaces the face by the strip of skin image `number` and redraws.
    void SetImageStrip(int number);
    int imageStrip() const { return strip_; }
    int commandId() const { return commandId_; }
    void SetPadMode(bool on) { padMode_ = on; }
    // Shows the pressed frame while set (a toggled state the owner keeps, like the flip).
    void SetHeld(bool held);
    bool held() const { return held_; }
    ButtonFrame shownFrame() const;

    QSize sizeHint() const override { return frameSize_; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    // Keys are swallowed: the bar is driven by the mouse only.
    void keyPressEvent(QKeyEvent*) override {}
    void keyReleaseEvent(QKeyEvent*) override {}

  private:
    QSize frameSize_;
    int commandId_;
    int strip_ = 0;
    bool updating_ = false;
    bool hovered_ = false;
    bool held_ = false;
    bool padMode_ = false;
    bool down_ = false;  // the left button went down here and has not come up yet
};

// A check box drawn from the 12 x 12 check strip (image 217) with its text beside it.
class CSkinCheckButton : public QAbstractButton {
    Q_OBJECT
  public:
    CSkinCheckButton(const QString& text, int commandId, QWidget* parent = nullptr);
    int commandId() const { return commandId_; }
    // Draws a plain box with this check-mark image inside when checked (the source dialog's
    // rows use image 327) instead of the check strip.
    void SetMarkImage(int number) {
        markImage_ = number;
        update();
    }
    ButtonFrame shownFrame() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void keyPressEvent(QKeyEvent*) override {}
    void keyReleaseEvent(QKeyEvent*) override {}

  private:
    // The 12 x 12 box at the left, centred on the button's height (4 pixels down in 20).
    QRect Box() const { return {0, (height() - 12) / 2, 12, 12}; }
    int commandId_;
    int markImage_ = 0;
    bool hovered_ = false;
};

}  // namespace tavrilo
