#pragma once
// The update window: the versions the server offers with the download pages as links. Only
// http and https links are ever opened.

#include <QUrl>
#include <functional>
#include "widgets/c_skin_dialog.h"

class QLabel;
class QPushButton;

namespace tavrilo {

// Opens `url` with the desktop's handler when it is an http or https address; false otherwise.
bool OpenWebLink(const QUrl& url, const std::function<void(const QUrl&)>& open);

class CUpdateDialog : public CSkinDialog {
    Q_OBJECT
  public:
    // `message` is the rich text of BuildUpdateMessage; `open` opens a checked link.
    CUpdateDialog(const QString& message, std::function<void(const QUrl&)> open);

    QLabel* textLabel() const { return text_; }
    QPushButton* closeButton() const { return close_; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

  private:
    std::function<void(const QUrl&)> open_;
    QLabel* text_;
    QPushButton* close_;
};

}  // namespace tavrilo
