#pragma once
// The video view's context menu: which items it holds for a play state, and the menu itself
// with its own item drawing (100 x 20 items, 220 x 20 in full screen; blue when selected).

#include <QMenu>
#include <QString>
#include <vector>

namespace tavrilo {

struct MenuItem {
    int id = 0;  // 0 for a separator
    QString text;
    bool grayed = false;
    bool checked = false;
    bool separator() const { return id == 0; }
};

struct MenuContext {
    bool fullScreen = false;
    int layoutMode = 0;
    int viewMode = 2;
    bool flipped = false;
    int rateCode = 1;
    bool paused = false;  // playing menu: headed by "再生", fast and slow greyed
    bool engineReady = true;
    int aspectMode = 1;  // the engine's: 1 keeps the aspect
};

// Playing or paused: headed by "一時停止" (playing) or "再生" (paused).
std::vector<MenuItem> BuildPlayingMenu(const MenuContext& c);
std::vector<MenuItem> BuildStoppedMenu(const MenuContext& c);
// The one item "参照" (nothing open, no 3D, engine not ready); none in layout 2.
std::vector<MenuItem> BrowseMenu(const MenuContext& c);

class CMovieMenu : public QMenu {
    Q_OBJECT
  public:
    CMovieMenu(const std::vector<MenuItem>& items, bool fullScreen, QWidget* parent);
    // Shows the menu at `screen`; the chosen item's id, or 0.
    int Track(QPoint screen);
};

}  // namespace tavrilo
