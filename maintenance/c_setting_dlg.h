#pragma once
// The settings window: one switch (whether parking-impact events become map markers and stops
// of the event jumps) and the program's version. Made once, hidden, by the main window, shown
// on demand; its close button hides it and it keeps its state.

#include <QString>

#include "engine/messages.h"
#include "widgets/c_skin_dialog.h"

class QGroupBox;
class QLabel;

namespace tavrilo {

class CSkinCheckButton;

inline constexpr uint32_t UWM_SETTING_CHANGED = kWmApp + 501;
inline constexpr int kParkingImpactSwitch = 32968;

// "version 1.0.1" and a line with the year of `buildDate` (its last word, as __DATE__ gives).
QString VersionText(const char* buildDate);

class CSettingDlg : public CSkinDialog {
    Q_OBJECT
  public:
    // `owner` gets UWM_SETTING_CHANGED (switch 0, the new state) for each click of the switch.
    explicit CSettingDlg(QWidget* owner);

    CSkinCheckButton* parkingImpactSwitch() const { return switch_; }
    QLabel* versionLabel() const { return version_; }

  protected:
    void OnCloseButton(int commandId) override;
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;

  private:
    QWidget* owner_;
    CSkinCheckButton* switch_;
    QGroupBox* display_;
    QGroupBox* about_;
    QLabel* version_;
};

}  // namespace tavrilo
