#pragma once
// A list whose items carry a check state drawn from the check strip: state 1 off, 2 under the
// pointer (hot), 3 checked. Moving the pointer hot-tracks; a click toggles checked.

#include <QListWidget>

namespace tavrilo {

// The state image after a click: 3 from 1 or 2, 1 from anything else.
int ClickedStateImage(int state);

class CSkinListCtrl : public QListWidget {
    Q_OBJECT
  public:
    explicit CSkinListCtrl(QWidget* parent = nullptr);

    // Adds an item in state 1.
    QListWidgetItem* AddItem(const QString& text);
    static int StateImage(const QListWidgetItem* item);
    static void SetStateImage(QListWidgetItem* item, int state);

  protected:
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;

  private:
    void SetHot(QListWidgetItem* item);
    QListWidgetItem* hot_ = nullptr;
};

}  // namespace tavrilo
