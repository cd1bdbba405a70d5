#include "pages/editor/celldelegate.h"

#include "model/recordsetmodel.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <limits>

namespace pages {
namespace {
constexpr int kEditorLines = 8; // height of the multi-line editor, in lines

bool isEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

const QString CellDelegate::MultiLineKeys =
    QStringLiteral("Enter breaks the line; Ctrl+Enter or Tab saves; Esc gives up.");

QString CellDelegate::editorText(const QWidget* editor) {
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(editor))
        return edit->toPlainText();
    if (const auto* line = qobject_cast<const QLineEdit*>(editor))
        return line->text();
    return {};
}

void CellDelegate::openMultiLineNext(const QString& text, int cursor) {
    multiLine_ = std::pair{text, cursor};
}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const QString text = index.data(Qt::EditRole).toString();
    const bool isNull = index.data(model::RecordsetModel::IsNullRole).toBool();
    refused_ = false;
    if (multiLine_ || text.size() > kLongText || text.contains(QLatin1Char('\n')) ||
        text.contains(QLatin1Char('\r'))) {
        auto* edit = new QPlainTextEdit(parent);
        edit->setObjectName(QStringLiteral("CellTextEditor"));
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        edit->setTabChangesFocus(true); // never a tab character in the value
        edit->setToolTip(MultiLineKeys);
        editor_ = edit;
        return edit;
    }
    editor_ = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor_.data())) {
        // The default limit of 32767 characters would cut longer values on any edit.
        line->setMaxLength(std::numeric_limits<int>::max());
        if (isNull)
            line->setPlaceholderText(model::RecordsetModel::NullPlaceholder);
    }
    return editor_;
}

void CellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    // The row read again after a refused write leaves what the user typed as it is.
    if (const auto* line = qobject_cast<QLineEdit*>(editor); line && line->isModified())
        return;
    if (auto* edit = qobject_cast<QPlainTextEdit*>(editor);
        edit && edit->document()->isModified() && !multiLine_)
        return;
    if (auto* edit = qobject_cast<QPlainTextEdit*>(editor)) {
        if (multiLine_) {
            // Going on from a line editor: what was typed there, and the break.
            const auto [text, cursor] = *multiLine_;
            multiLine_.reset();
            edit->setPlainText(text);
            QTextCursor at = edit->textCursor();
            at.setPosition(std::min(cursor, int(text.size())));
            edit->setTextCursor(at);
            edit->document()->setModified(true);
            return;
        }
        edit->setPlainText(index.data(Qt::EditRole).toString());
        edit->document()->setModified(false);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void CellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                const QModelIndex& index) const {
    refused_ = false;
    const bool isNull = index.data(model::RecordsetModel::IsNullRole).toBool();
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
        refused_ = !model->setData(index, text, Qt::EditRole);
        return;
    }
    // Text the user has not touched is what the cell already holds, and an erased NULL
    // is still NULL.
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    if (!line->isModified() || (isNull && line->text().isEmpty()))
        return;
    refused_ = !model->setData(index, line->text(), Qt::EditRole);
}

bool CellDelegate::eventFilter(QObject* watched, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(watched);
    if (!editor || event->type() != QEvent::KeyPress)
        return QStyledItemDelegate::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const QScopedValueRollback byKey(byKey_, true);
    if (auto* edit = qobject_cast<QPlainTextEdit*>(editor)) {
        // Tab and Shift+Tab finish as in every other cell; Ctrl+Enter finishes; Enter
        // (and Shift+Enter) breaks the line.
        QAbstractItemDelegate::EndEditHint hint = QAbstractItemDelegate::NoHint;
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ControlModifier))
            hint = QAbstractItemDelegate::EditNextItem;
        else if (key->key() == Qt::Key_Backtab && !(key->modifiers() & Qt::ControlModifier))
            hint = QAbstractItemDelegate::EditPreviousItem;
        else if (isEnter(key) && (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            hint = QAbstractItemDelegate::SubmitModelCache;
        else if (key->key() == Qt::Key_Escape)
            return QStyledItemDelegate::eventFilter(watched, event);
        else
            return false;
        emit commitData(edit);
        emit closeEditor(edit, hint);
        return true;
    }
    if (auto* line = qobject_cast<QLineEdit*>(editor); line && isEnter(key)) {
        if (key->modifiers() & Qt::ShiftModifier) {
            QString text = line->text();
            const int cursor = line->cursorPosition();
            text.insert(cursor, QLatin1Char('\n'));
            emit multiLineWanted(line, text, cursor + 1);
            return true;
        }
        // Enter commits at once, as the key asked (not on a later turn of the event loop,
        // when the commit could no longer tell that it was asked for).
        emit commitData(line);
        emit closeEditor(line, QAbstractItemDelegate::SubmitModelCache);
        return true;
    }
    return QStyledItemDelegate::eventFilter(watched, event);
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
    if (index.data(model::RecordsetModel::IsNullRole).toBool()) {
        option->font.setItalic(true);
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::PlaceholderText));
    }
}

} // namespace pages
