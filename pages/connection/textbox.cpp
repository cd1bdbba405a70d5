#include "pages/connection/textbox.h"

#include <QFocusEvent>
#include <limits>

namespace pages {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {
    // No length limit.
    setMaxLength(std::numeric_limits<int>::max());
}

void TextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (event->reason() == Qt::MouseFocusReason) {
        focusByClick_ = true;
        return;
    }
    emit gotFocus();
}

void TextBox::focusOutEvent(QFocusEvent* event) {
    focusByClick_ = false;
    QLineEdit::focusOutEvent(event);
}

void TextBox::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    if (!focusByClick_)
        return;
    focusByClick_ = false;
    // A drag that selected part of the text stays as the user made it.
    if (hasFocus() && !hasSelectedText())
        emit gotFocus();
}

} // namespace pages
