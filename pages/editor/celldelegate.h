#pragma once

// The grid's cell editor: NULL cells are drawn as a greyed, italic placeholder, and an
// editor the user has not typed in writes nothing (so passing through a NULL cell leaves
// it NULL, and passing through any cell sends nothing to the server). A NULL cell typed
// into and erased again stays NULL. Texts of any length are edited whole: one line in a
// line editor without a length limit, and texts with line breaks or longer than a line
// in a multi-line editor (Enter breaks the line; leaving the cell or Tab commits).

#include <QPointer>
#include <QStyledItemDelegate>

namespace pages {

class CellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Texts longer than this many characters open in the multi-line editor.
    static constexpr int kLongText = 200;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // The editor open now, if any.
    QWidget* openEditor() const { return editor_; }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    mutable QPointer<QWidget> editor_;
};

} // namespace pages
