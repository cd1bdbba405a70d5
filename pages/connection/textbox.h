#pragma once

// A one-line text box that reports when the focus arrives at it from another control:
// by Tab or Shift+Tab, by a click, by the program, or as the page's first focus when the
// page is shown. The focus that comes back from the box's own context menu or with its
// window from another window is no arrival: what the user selected stays selected.
// Focus that arrives by a mouse click is reported once the click is over, so a handler
// that selects the content keeps its selection instead of seeing the click place the
// caret.

#include <QLineEdit>

namespace pages {

class TextBox : public QLineEdit {
    Q_OBJECT
  public:
    explicit TextBox(QWidget* parent = nullptr);

  signals:
    void gotFocus();

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool focusByClick_ = false;
};

} // namespace pages
