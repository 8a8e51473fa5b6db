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
    // A second column of text, drawn from `x` pixels (0: none).
    static void SetSecondColumn(QListWidgetItem* item, const QString& text);
    void SetSecondColumnX(int x) { secondColumnX_ = x; }
    int secondColumnX() const { return secondColumnX_; }

  signals:
    // A click changed an item's check state (from state 1 or 2 to 3, or from 3 to 1).
    void CheckChanged(QListWidgetItem* item, bool checked);

  protected:
    void mouseMoveEvent(QMouseEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;

  private:
    void SetHot(QListWidgetItem* item);
    QListWidgetItem* hot_ = nullptr;
    int secondColumnX_ = 0;
};

}  // namespace tavrilo
