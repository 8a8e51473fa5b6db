#pragma once
// A child of the main window whose own issue fills it in later (the sensor views, the map,
// the file manager, the direction pad): it holds its place in every layout and shows its
// name, so that the window's geometry can be seen and tested now.

#include <QWidget>

namespace tavrilo {

class PanelPlaceholder : public QWidget {
    Q_OBJECT
  public:
    PanelPlaceholder(const QString& name, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent*) override;
};

}  // namespace tavrilo
