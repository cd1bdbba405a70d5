#pragma once

// The grid's cell editor: NULL cells are drawn as a greyed, italic placeholder, and an
// editor the user has not typed in writes nothing (so passing through a NULL cell leaves
// it NULL, and passing through any cell sends nothing to the server). A NULL cell typed
// into and erased again stays NULL. Texts of any length are edited whole: one line in a
// line editor without a length limit, and texts with line breaks or longer than a line
// in a multi-line editor (Enter breaks the line; Ctrl+Enter, Tab, Shift+Tab or leaving
// the cell commits). Shift+Enter in a line editor goes on in the multi-line editor with
// a line break at the cursor. Whether the last commit was refused is kept, so the grid
// can leave the editor open with the text as typed.

#include <QPointer>
#include <QStyledItemDelegate>
#include <optional>

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
    // The editor's text as typed.
    static QString editorText(const QWidget* editor);
    // The next editor opened is the multi-line one, holding `text` with the cursor at
    // `cursor`, and counts as typed in.
    void openMultiLineNext(const QString& text, int cursor);
    // Whether the last commit was refused by the model (the editor then holds more than
    // the cell).
    bool lastCommitRefused() const { return refused_; }
    // True while a commit asked for by a key (Enter, Tab...) runs.
    bool committingByKey() const { return byKey_; }

    // What the multi-line editor tells the user about its keys.
    static const QString MultiLineKeys;

  signals:
    // Shift+Enter in a line editor: go on in the multi-line editor with this text.
    void multiLineWanted(QWidget* editor, const QString& text, int cursor);

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    mutable QPointer<QWidget> editor_;
    mutable std::optional<std::pair<QString, int>> multiLine_;
    mutable bool refused_ = false;
    bool byKey_ = false;
};

} // namespace pages
