#include "pages/connection/textbox.h"

#include "app/page.h"

#include <QFocusEvent>
#include <limits>

namespace pages {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {
    // No length limit.
    setMaxLength(std::numeric_limits<int>::max());
}

void TextBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    auto* page = qobject_cast<app::Page*>(window());
    // Any focus that arrives uses up the page's first focus after it was shown.
    const bool firstOfPage = page && page->takeShownFocus();
    switch (event->reason()) {
    case Qt::MouseFocusReason:
        focusByClick_ = true;
        return;
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        emit gotFocus();
        return;
    default:
        // The window came back (ActiveWindowFocusReason) or a menu closed
        // (PopupFocusReason, MenuBarFocusReason): only the page's first show counts.
        if (firstOfPage)
            emit gotFocus();
        return;
    }
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
