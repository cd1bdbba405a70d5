#include "pages/editor/celldelegate.h"

#include "pages/editor/recordsetmodel.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <limits>

namespace pages {
namespace {
constexpr int kEditorLines = 8; // height of the multi-line editor, in lines
} // namespace

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const QString text = index.data(Qt::EditRole).toString();
    const bool isNull = index.data(RecordsetModel::IsNullRole).toBool();
    if (text.size() > kLongText || text.contains(QLatin1Char('\n')) ||
        text.contains(QLatin1Char('\r'))) {
        auto* edit = new QPlainTextEdit(parent);
        edit->setObjectName(QStringLiteral("CellTextEditor"));
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        editor_ = edit;
        return edit;
    }
    editor_ = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor_.data())) {
        // The default limit of 32767 characters would cut longer values on any edit.
        line->setMaxLength(std::numeric_limits<int>::max());
        if (isNull)
            line->setPlaceholderText(RecordsetModel::NullPlaceholder);
    }
    return editor_;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(editor)) {
        edit->setPlainText(index.data(Qt::EditRole).toString());
        edit->document()->setModified(false);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
    const bool isNull = index.data(RecordsetModel::IsNullRole).toBool();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(editor)) {
        if (!edit->document()->isModified())
            return;
        QString text = edit->toPlainText();
        if (isNull && text.isEmpty())
            return;
        // The editor breaks lines with "\n" alone; a value that used "\r\n" keeps it.
        if (index.data(Qt::EditRole).toString().contains(QLatin1String("\r\n")))
            text.replace(QLatin1String("\r\n"), QLatin1String("\n"))
                .replace(QLatin1String("\n"), QLatin1String("\r\n"));
        model->setData(index, text, Qt::EditRole);
        return;
    }
    // Text the user has not touched is what the cell already holds, and an erased NULL
    // is still NULL.
    if (auto* line = qobject_cast<QLineEdit*>(editor);
        line && (!line->isModified() || (isNull && line->text().isEmpty())))
        return;
    QStyledItemDelegate::setModelData(editor, model, index);
}

void CellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    if (qobject_cast<QPlainTextEdit*>(editor)) {
        // Room for several lines, within the cells' area.
        QRect area = option.rect;
        area.setHeight(option.fontMetrics.lineSpacing() * kEditorLines + 8);
        area.setWidth(std::max(area.width(), 320));
        if (QWidget* cells = editor->parentWidget())
            area = area.intersected(cells->rect()).united(option.rect);
        editor->setGeometry(area);
    }
}

void CellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(RecordsetModel::IsNullRole).toBool()) {
        option->font.setItalic(true);
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::PlaceholderText));
    }
}

} // namespace pages
