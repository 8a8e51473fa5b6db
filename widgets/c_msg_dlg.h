#pragma once
// The program's message dialog: the text on white, the caption in the title strip, one button
// ("OK") or two ("OK", "キャンセル"), centred on its owner. CMsgBox shows one and returns the
// answer: 1 for "OK", 2 for "キャンセル" or the window being closed.

#include <QRect>
#include <QSize>
#include <QString>

#include "widgets/c_skin_dialog.h"

class QLabel;
class QPushButton;

namespace tavrilo {

inline constexpr int kMsgOk = 1;
inline constexpr int kMsgCancel = 2;

// Where everything goes for a text of `text` pixels (the widest line, the lines' heights) and
// a kind (0 one button, 1 two).
struct MsgDlgLayout {
    QSize size;  // (w + 80) x (h + 140)
    QRect text;  // (40, 30), (w + 40) x (h + 30)
    QRect ok;
    QRect cancel;  // empty for kind 0
    static MsgDlgLayout For(QSize text, int kind);
};

// The text's size as the dialog measures it: on its plain font, line by line.
QSize MeasureMessage(const QString& text, const QFont& plainFont);

class CMsgDlg : public CSkinDialog {
    Q_OBJECT
  public:
    CMsgDlg(const QString& text, const QString& caption, int kind, QWidget* owner);
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    QLabel* textLabel() const { return text_; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void closeEvent(QCloseEvent*) override;

  private:
    QString caption_;
    QWidget* owner_;
    QLabel* text_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

class CMsgBox {
  public:
    explicit CMsgBox(QWidget* owner) : owner_(owner) {}
    int Show(const QString& text, const QString& caption, int kind) const;

  private:
    QWidget* owner_;
};

}  // namespace tavrilo
