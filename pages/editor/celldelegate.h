#pragma once

// The grid's cell editor: NULL cells are drawn as a greyed, italic placeholder, and an
// editor the user has not typed in writes nothing (so passing through a NULL cell leaves
// it NULL, and passing through any cell sends nothing to the server).

#include <QPointer>
#include <QStyledItemDelegate>

namespace pages {

class CellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

    // The editor open now, if any.
    QWidget* openEditor() const { return editor_; }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    mutable QPointer<QWidget> editor_;
};

} // namespace pages
