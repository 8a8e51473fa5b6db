#include "files/c_file_list_ctrl.h"

#include <QPainter>
#include <QStyledItemDelegate>

#include "files/c_file_list_header_ctrl.h"
#include "files/file_manager_rules.h"
#include "recordings/names.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

// The list's rows: fills by kind, a grey frame round every cell, one line with an ellipsis.
class RowDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QString name = index.siblingAtColumn(0).data(Qt::UserRole).toString();
        const int kind = GetEventKind(name.toStdString());
        p->fillRect(option.rect, RowFill(kind, option.state & QStyle::State_Selected));
        p->setPen(QColor(136, 136, 136));
        p->drawRect(option.rect.adjusted(0, 0, -1, -1));
        p->setPen(Qt::black);
        const QRect text = option.rect.adjusted(3, 0, -3, 0);
        p->drawText(
            text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, text.width()));
    }
    QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        return {QStyledItemDelegate::sizeHint(o, i).width(), 20};
    }
};

}  // namespace

CFileListCtrl::CFileListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setHeader(new CFileListHeaderCtrl(this));
    setColumnCount(2);
    setHeaderLabels({UiText(23), UiText(31)});  // "ファイルNo.", "録画トリガー"
    setRootIsDecorated(false);
    setItemDelegate(new RowDelegate(this));
    setUniformRowHeights(true);
    header()->setStretchLastSection(false);
}

void CFileListCtrl::Fill(const RecordingList& rows) {
    clear();
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::string& name = rows[i].Name;
        auto* item = new QTreeWidgetItem(this);
        item->setText(0, QString::fromStdString(name.substr(0, name.find('.'))));
        item->setData(0, Qt::UserRole, QString::fromStdString(name));
        item->setData(0, kRecordingRole, static_cast<int>(i));
        item->setText(1, QString::fromStdString(GetEventLabel(name)));
    }
}

}  // namespace tavrilo
