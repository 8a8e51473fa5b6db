#pragma once
// Helpers for the window tests: a parent that records the private messages posted to it, and
// pixel reads from grabs.

#include <QApplication>
#include <QImage>
#include <QWidget>
#include <vector>

#include "widgets/app_message.h"

namespace tavrilo::test {

struct Posted {
    uint32_t message;
    intptr_t wParam, lParam;
    bool operator==(const Posted&) const = default;
};

class RecordingParent : public QWidget {
  public:
    RecordingParent() { resize(900, 200); }
    // What was posted so far, after the event loop delivered it.
    const std::vector<Posted>& posted() {
        QApplication::processEvents();
        return posted_;
    }
    void Clear() {
        QApplication::processEvents();
        posted_.clear();
    }

  protected:
    bool event(QEvent* e) override {
        if (const uint32_t m = MessageOf(e)) {
            const auto* a = static_cast<AppMessage*>(e);
            posted_.push_back({m, a->wParam, a->lParam});
            return true;
        }
        return QWidget::event(e);
    }

  private:
    std::vector<Posted> posted_;
};

inline QImage Grab(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace tavrilo::test
