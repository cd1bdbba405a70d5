#include "pages/editor/celldelegate.h"

#include "pages/editor/recordsetmodel.h"

#include <QLineEdit>

namespace pages {

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    editor_ = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor_.data());
        line && index.data(RecordsetModel::IsNullRole).toBool())
        line->setPlaceholderText(RecordsetModel::NullPlaceholder);
    return editor_;
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
    // Text the user has not touched is what the cell already holds.
    if (auto* line = qobject_cast<QLineEdit*>(editor); line && !line->isModified())
        return;
    QStyledItemDelegate::setModelData(editor, model, index);
}

void CellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(RecordsetModel::IsNullRole).toBool()) {
        option->font.setItalic(true);
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::PlaceholderText));
    }
}

} // namespace pages
