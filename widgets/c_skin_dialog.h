#pragma once
// The base of the program's dialogs: no frame, dragged by its top 20 pixels, an optional
// 13 x 12 close button at the top right, and the grey title strip with the caption.

#include <QDialog>

class QScreen;

namespace tavrilo {

class CSkinButton;

class CSkinDialog : public QDialog {
    Q_OBJECT
  public:
    explicit CSkinDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::Dialog);

    // Adds the close button (image 352) at (client right - 20, 4); its click calls
    // OnCloseButton.
    CSkinButton* AddCloseButton(int commandId);
    CSkinButton* closeButton() const { return closeButton_; }

    // The title strip: the top 20 pixels in RGB(128, 128, 128), then `caption` in `font`
    // (F10), left- and top-aligned in (5, 0)-(200, 100), in the default text colour.
    static void PaintTitleStrip(QPainter& p, int width, const QString& caption, const QFont& font);

  protected:
    virtual void OnCloseButton(int commandId);
    // Moves the dialog to the centre of `screen` (nothing without one).
    void CentreOn(const QScreen* screen);
    // The plain light background with the title strip of the window's title.
    void PaintPlainBackground(QPainter& p) const;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void resizeEvent(QResizeEvent*) override;

  private:
    CSkinButton* closeButton_ = nullptr;
    bool moving_ = false;
    QPoint grabOffset_;  // pointer position within the window when the move began
};

}  // namespace tavrilo
