#pragma once
// The logo in the map's place: image 164, or image 324 (with the notice that the map needs an
// internet connection), scaled to the window's width and centred, black above and below, a
// white frame around. Showing and hiding can be deferred: the logo then posts UWM_LOGO_SHOW to
// itself and follows the wanted state when it arrives.

#include <QWidget>

namespace tavrilo {

inline constexpr int kLogoPicture = 164;
inline constexpr int kLogoNoConnectionPicture = 324;

// The picture's place: the window's width, its aspect kept, centred vertically.
QRect LogoPictureRect(QSize window, QSize picture);

// Image 324 while the map check is active and the map host has no connection, else 164.
int ChooseLogoPicture(bool mapCheckActive, bool connected);

class CLogoDlg : public QWidget {
    Q_OBJECT
  public:
    explicit CLogoDlg(QWidget* parent);

    // Repaints when the picture changes.
    void SetPicture(int number);
    int picture() const { return picture_; }
    // Nothing happens when the visibility already is `show`; otherwise at once or deferred.
    void RequestShow(bool show, bool deferred);
    bool wanted() const { return wanted_; }

  protected:
    void paintEvent(QPaintEvent*) override;
    bool event(QEvent*) override;

  private:
    int picture_ = kLogoPicture;
    bool wanted_ = false;
};

}  // namespace tavrilo
