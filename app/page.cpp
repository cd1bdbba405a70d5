#include "app/page.h"

#include "app/shutdown.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPalette>
#include <QScreen>
#include <utility>

namespace app {

QRect twipsRect(int left, int top, int width, int height) {
    return {twips(left), twips(top), twips(width), twips(height)};
}

Page::Page(QWidget* parent) : QWidget(parent) {
    setBackColor(backColor_);
}

void Page::Load() {
    if (loaded_)
        return;
    loaded_ = true;
    loading_ = true;
    hiddenByLoad_ = false;
    try {
        Form_Load();
    } catch (...) {
        // Load handlers report their own failures; nothing more may leave a load.
    }
    loading_ = false;
}

void Page::Show() {
    Load();
    // A window closed while the load ran (it lets events run): the program has ended.
    if (programEnded())
        return;
    show();
    raise();
    activateWindow();
}

void Page::Hide() {
    if (loading_)
        hiddenByLoad_ = true;
    hide();
}

void Page::centreOnScreen() {
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = geometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

QWidget* Page::firstFocusableControl() const {
    for (QWidget* control = nextInFocusChain(); control && control != this;
         control = control->nextInFocusChain()) {
        if (control->window() == this && (control->focusPolicy() & Qt::TabFocus) &&
            control->isEnabled() && control->isVisibleTo(this))
            return control;
    }
    return nullptr;
}

bool Page::takeShownFocus() {
    return std::exchange(shownFocus_, false);
}

void Page::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A window restored from the task bar is no page shown anew.
    if (event->spontaneous())
        return;
    shownFocus_ = true;
    if (QWidget* first = firstFocusableControl())
        first->setFocus(Qt::OtherFocusReason);
}

void Page::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        shownFocus_ = false;
}

void Page::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Disabling the window took the focus from its control; nothing gives it back.
    if (event->type() == QEvent::EnabledChange && isEnabled() && isVisible() && !focusWidget())
        if (QWidget* first = firstFocusableControl())
            first->setFocus(Qt::OtherFocusReason);
}

void Page::setMousePointer(short value) {
    mousePointer_ = value;
    applyPointer();
}

void Page::setMouseIcon(std::optional<QCursor> icon) {
    mouseIcon_ = std::move(icon);
    applyPointer();
}

void Page::applyPointer() {
    switch (mousePointer_) {
    case kPointerHourglass:
        setCursor(Qt::WaitCursor);
        break;
    case kPointerCustom:
        // Without an image the platform's pointing hand stands in for it.
        setCursor(mouseIcon_ ? *mouseIcon_ : QCursor(Qt::PointingHandCursor));
        break;
    default:
        unsetCursor();
        break;
    }
}

void Page::setBackColor(quint32 colour) {
    backColor_ = colour;
    setBackColorCode(this, colour);
}

void Page::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void Page::Form_Unload() {
    endProgram();
}

QColor colourFromCode(quint32 code) {
    if (code & 0x80000000u) {
        const QPalette palette = QApplication::palette();
        switch (code & 0xFFu) {
        case 5: // window background
            return palette.color(QPalette::Base);
        case 8: // window text
            return palette.color(QPalette::Text);
        case 15: // button face
        default:
            return palette.color(QPalette::Button);
        }
    }
    // 0x00BBGGRR
    return QColor(int(code & 0xFF), int((code >> 8) & 0xFF), int((code >> 16) & 0xFF));
}

void setBackColorCode(QWidget* widget, quint32 code) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colourFromCode(code));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
    widget->setProperty("BackColor", QVariant::fromValue(code));
}

} // namespace app
