#pragma once
// The job progress bar: blue for what is done, white for the rest, and the percentage across
// both (white on the blue, blue on the white).

#include <QWidget>

namespace tavrilo {

// The done part's width: trunc(width x position / (maximum - minimum)); 0 for a range below 1.
int ProgressDoneWidth(int width, int minimum, int maximum, int position);

class CSkinProgressBarCtrl : public QWidget {
    Q_OBJECT
  public:
    explicit CSkinProgressBarCtrl(QWidget* parent);
    void SetRange(int minimum, int maximum);
    void SetPos(int position);
    int pos() const { return position_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    int minimum_ = 0, maximum_ = 100, position_ = 0;
};

}  // namespace tavrilo
