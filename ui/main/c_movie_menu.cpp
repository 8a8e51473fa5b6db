#include "ui/main/c_movie_menu.h"

#include <QPainter>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

MenuItem Item(int id, int slot, bool grayed = false, bool checked = false) {
    return {id, UiText(slot), grayed, checked};
}
const MenuItem kSeparator{};

// The full-screen aspect item: stretch while the aspect is kept, keep it otherwise.
void AddAspectItem(std::vector<MenuItem>* m, const MenuContext& c) {
    if (!c.engineReady || c.aspectMode == 0) {
        m->push_back(Item(38200, 91, c.viewMode != 1));
    } else if (c.aspectMode == 1) {
        m->push_back(Item(38200, 92, c.viewMode != 1));
    }
}

// The common tail: mode, flip, reset, then full screen or the still/settings/browse items.
void AddViewItems(std::vector<MenuItem>* m, const MenuContext& c) {
    m->push_back(Item(38009, 152, c.viewMode == 1));
    m->push_back(Item(38010, 5, false, c.flipped));
    m->push_back(Item(38201, 160, c.viewMode != 3));
    if (c.fullScreen) {
        AddAspectItem(m, c);
        return;
    }
    m->push_back(kSeparator);
    m->push_back(Item(38006, 89));
    m->push_back(Item(38014, 87));
    if (c.layoutMode != 2) {
        m->push_back(kSeparator);
        m->push_back(Item(38012, 84));
    }
}

// Draws the items as the skin wants them.
class MenuStyle : public QProxyStyle {
  public:
    explicit MenuStyle(bool fullScreen) : fullScreen_(fullScreen) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        if (type == CT_MenuItem) {
            const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
            if (item != nullptr && item->menuItemType == QStyleOptionMenuItem::Separator) {
                return {fullScreen_ ? 220 : 100, 7};
            }
            return {fullScreen_ ? 220 : 100, 20};
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* p,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element != CE_MenuItem || item == nullptr ||
            item->menuItemType == QStyleOptionMenuItem::Separator) {
            QProxyStyle::drawControl(element, option, p, widget);
            return;
        }
        const bool selected = option->state & State_Selected;
        const bool grayed = !(option->state & State_Enabled);
        QColor fill = option->palette.color(QPalette::Window);
        QColor text = grayed ? QColor(127, 127, 127) : option->palette.color(QPalette::Text);
        if (selected && grayed) {
            fill = QColor(195, 195, 255);
        } else if (selected) {
            fill = QColor(0, 0, 255);
            text = Qt::white;
        }
        const QRect r = option->rect;
        p->fillRect(r, fill);
        p->setPen(text);
        p->drawText(r.adjusted(20, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                    item->text);
        if (item->checked) {
            const int h = r.height();
            const QPoint points[] = {{r.left() + 3, r.top() + 4},
                                     {r.left() + 4, r.top() + h - 6},
                                     {r.left() + h - 5, r.top() + 3}};
            p->setPen(QPen(Qt::black, 2));
            p->drawPolyline(points, 3);
        }
    }

  private:
    bool fullScreen_;
};

}  // namespace

std::vector<MenuItem> BuildPlayingMenu(const MenuContext& c) {
    std::vector<MenuItem> m;
    m.push_back(Item(38002, c.paused ? 86 : 85));
    m.push_back(Item(38000, 90));
    m.push_back(Item(38004, 82, c.rateCode >= 4 || c.paused));
    m.push_back(Item(38003, 88, c.rateCode <= -1 || c.paused));
    m.push_back(kSeparator);
    AddViewItems(&m, c);
    return m;
}

std::vector<MenuItem> BuildStoppedMenu(const MenuContext& c) {
    std::vector<MenuItem> m;
    m.push_back(Item(38002, 86));
    m.push_back(kSeparator);
    AddViewItems(&m, c);
    return m;
}

std::vector<MenuItem> BrowseMenu(const MenuContext& c) {
    if (c.layoutMode == 2) {
        return {};
    }
    return {Item(38012, 84)};
}

CMovieMenu::CMovieMenu(const std::vector<MenuItem>& items, bool fullScreen, QWidget* parent)
    : QMenu(parent) {
    auto* style = new MenuStyle(fullScreen);
    style->setParent(this);
    setStyle(style);
    for (const MenuItem& item : items) {
        if (item.separator()) {
            addSeparator();
            continue;
        }
        QAction* a = addAction(item.text);
        a->setData(item.id);
        a->setEnabled(!item.grayed);
        a->setCheckable(item.checked);
        a->setChecked(item.checked);
    }
}

int CMovieMenu::Track(QPoint screen) {
    const QAction* chosen = exec(screen);
    return chosen != nullptr ? chosen->data().toInt() : 0;
}

}  // namespace tavrilo
