#pragma once
// The detached-map frame of the panorama arrangement: a skinned frame with the caption "マップ"
// that holds the map (or the logo), outlined in light grey, dragged by its title strip, and
// remembering where the user put it.

#include <QRect>

#include "widgets/c_skin_dialog.h"

namespace tavrilo {

class CMovieDialog : public CSkinDialog {
    Q_OBJECT
  public:
    explicit CMovieDialog(QWidget* owner);
    // Where the frame was last, on the screen; shown again there.
    QRect remembered() const { return remembered_; }
    void SetRemembered(const QRect& r) { remembered_ = r; }
    bool shownOnce() const { return shownOnce_; }
    void ShowAtRemembered();

  protected:
    void paintEvent(QPaintEvent*) override;
    void moveEvent(QMoveEvent*) override;

  private:
    QRect remembered_;
    bool shownOnce_ = false;
};

}  // namespace tavrilo
