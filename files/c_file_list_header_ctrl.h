#pragma once
// The header of the file manager's list: grey bands with white titles.

#include <QHeaderView>

namespace tavrilo {

class CFileListHeaderCtrl : public QHeaderView {
    Q_OBJECT
  public:
    explicit CFileListHeaderCtrl(QWidget* parent);

  protected:
    void paintSection(QPainter* p, const QRect& rect, int logicalIndex) const override;
    void paintEvent(QPaintEvent*) override;
};

}  // namespace tavrilo
