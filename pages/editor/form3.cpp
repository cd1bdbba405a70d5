#include "pages/editor/form3.h"

#include "app/errorreport.h"
#include "app/framewatch.h"
#include "app/lookandfeel.h"
#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "app/viewsettings.h"
#include "pages/chooser/form2.h"
#include "pages/controls.h"
#include "pages/editor/datagrid.h"
#include "pages/wizard.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFont>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace pages {
namespace {

const QString kPlaceSection = QStringLiteral("Editor");
const QString kPlaceKey = QStringLiteral("Window");

void setColour(QWidget* control, QPalette::ColorRole role, quint32 code) {
    QPalette palette = control->palette();
    palette.setColor(role, app::colourFromCode(code));
    control->setPalette(palette);
}

} // namespace

Form3::Form3() {
    setObjectName(QStringLiteral("Form3"));
    setWindowBoxes(this, true);
    setFont(arial(9, true));
    resize(app::twips(5880), app::twips(2790));

    DataGrid1 = new DataGrid(this);
    DataGrid1->setObjectName(QStringLiteral("DataGrid1"));
    DataGrid1->setGeometry(app::twipsRect(120, 480, 5640, 1360));
    DataGrid1->setFont(arial(9, true));
    setColour(DataGrid1, QPalette::Base, 0x80000005);
    setColour(DataGrid1, QPalette::Text, 0x80000008);

    Label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral(" Table: "),
                       app::twipsRect(240, 120, 5175, 255));
    Label1 =
        makeLabel(this, QStringLiteral("Label1"),
                  QStringLiteral(" Changes you make are automatically saved as you make them."),
                  app::twipsRect(120, 1920, 5535, 255));
    setColour(Label1, QPalette::WindowText, 0x000000C0);

    PushButton1 = makePushButton(this, QStringLiteral("PushButton1"), QStringLiteral("< Back"),
                                 app::twipsRect(120, 2280, 5655, 405));
    setTabOrder(DataGrid1, PushButton1);
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });

    app::installHoverRule(*this, this, app::kPointerDefault);
    app::installHoverRule(*this, Label1, app::kPointerDefault);
    app::installHoverRule(*this, Label2, app::kPointerDefault);
    app::installHoverRule(*this, DataGrid1, app::kPointerDefault);
    app::installHoverRule(*this, PushButton1, app::kPointerCustom);
    centreOnScreen();
}

void Form3::Form_Load() {
    db::Handler h = app::guardedHandler(QStringLiteral("Form3"), QStringLiteral("Form_Load"));
    h.step(100, [&] { app::SetFormColors(*this); });
    h.step(102, [&] { setWindowIcon(app::programIcon()); });
    if (h.cond(106, [] { return app::FileExists(app::handCursorPath()); }))
        h.step(108, [&] { setMouseIcon(app::LoadMouseIcon(app::handCursorPath())); });
    h.step(110, [&] { setWindowTitle(app::ProductName); });
}

void Form3::Form_Resize() {
    db::Handler h = app::guardedHandler(QStringLiteral("Form3"), QStringLiteral("Form_Resize"));
    if (h.cond(100, [&] { return isMinimized(); }))
        return;
    // The outer size, frame and title bar included, in twips.
    const QSize outer = app::outerSize(*this);
    const float width = float(outer.width()) * 15.0f;
    const float height = float(outer.height()) * 15.0f;
    const auto pixels = [](float value) { return app::twips(int(value)); };
    h.step(102, [&] {
        if (width > 500.0f)
            DataGrid1->resize(pixels(width - 500.0f), DataGrid1->height());
    });
    h.step(104, [&] {
        if (height > 1970.0f)
            DataGrid1->resize(DataGrid1->width(), pixels(height - 1970.0f));
    });
    h.step(106, [&] {
        if (height > 1420.0f)
            Label1->move(Label1->x(), pixels(height - 1420.0f));
    });
    h.step(108, [&] {
        if (height > 1070.0f)
            PushButton1->move(PushButton1->x(), pixels(height - 1070.0f));
    });
}

void Form3::PushButton1_Click() {
    // An edit still open in the grid is written before the page goes; what could not be
    // written goes only when the user says so.
    if (!DataGrid1->leaveAllowed())
        return;
    db::Handler h =
        app::guardedHandler(QStringLiteral("Form3"), QStringLiteral("PushButton1_Click"));
    h.step(100, [] { form2().Show(); });
    h.step(102, [&] { Hide(); });
}

void Form3::saveWindowPlace() {
    if (watchingFrame_) // shown at least once
        app::SaveSetting(app::ViewSettingsKey, kPlaceSection, kPlaceKey,
                         QString::fromLatin1(saveGeometry().toBase64()));
}

void Form3::restoreWindowPlace() {
    try {
        const QString saved = app::GetSetting(app::ViewSettingsKey, kPlaceSection, kPlaceKey);
        if (!saved.isEmpty())
            restoreGeometry(QByteArray::fromBase64(saved.toLatin1()));
    } catch (...) {
        // A store that cannot be read: the window opens at its design size, centred.
    }
}

void Form3::resizeEvent(QResizeEvent* event) {
    app::Page::resizeEvent(event);
    layOutForSize();
}

void Form3::changeEvent(QEvent* event) {
    app::Page::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        layOutForSize();
}

// The window manager adds its frame after the window was first laid out (and may change
// it later, with another theme or state): the outer size changed without a resize of
// the window itself. Qt learns the frame by the time it reports the window's new place.
void Form3::moveEvent(QMoveEvent* event) {
    app::Page::moveEvent(event);
    layOutForFrame();
}

void Form3::showEvent(QShowEvent* event) {
    app::Page::showEvent(event);
    if (!watchingFrame_) {
        watchingFrame_ = true;
        restoreWindowPlace(); // where the user left it last time
        app::watchFrame(*this, [this] { layOutForFrame(); });
    }
    layOutForSize();
}

bool Form3::event(QEvent* event) {
    const bool handled = app::Page::event(event);
    if (event->type() == QEvent::WindowActivate)
        layOutForFrame();
    return handled;
}

void Form3::layOutForSize() {
    laidOutFor_ = app::outerSize(*this);
    Form_Resize();
}

void Form3::layOutForFrame() {
    if (app::outerSize(*this) != laidOutFor_)
        layOutForSize();
}

void Form3::closeEvent(QCloseEvent* event) {
    if (!DataGrid1->leaveAllowed()) {
        event->ignore(); // the user stays with what was typed
        return;
    }
    saveWindowPlace();
    app::Page::closeEvent(event);
}

void Form3::keyPressEvent(QKeyEvent* event) {
    // Ctrl+Tab and Ctrl+Shift+Tab move between the grid and the buttons, from anywhere.
    if ((event->modifiers() & Qt::ControlModifier) &&
        (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)) {
        focusNextPrevChild(event->key() == Qt::Key_Tab &&
                           !(event->modifiers() & Qt::ShiftModifier));
        return;
    }
    app::Page::keyPressEvent(event);
}

void Form3::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) // hidden by the program, not minimized
        saveWindowPlace();
    app::Page::hideEvent(event);
}

void Form3::Form_Unload() {
    DataGrid1->commitPendingEdit();
    DataGrid1->stopLoading();
    app::Page::Form_Unload();
}

} // namespace pages
