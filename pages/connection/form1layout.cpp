// The connection page's window and controls, placed in twips as designed.

#include "app/lookandfeel.h"
#include "pages/connection/form1.h"
#include "pages/connection/textbox.h"
#include "pages/controls.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace pages {
namespace {

TextBox* textBox(QWidget* parent, const char* name, QRect geometry) {
    auto* control = new TextBox(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(geometry);
    control->setFont(arial(9, true));
    return control;
}

} // namespace

void Form1::layOut() {
    setWindowBoxes(this, false);
    setFixedSize(app::twips(8040), app::twips(3615));
    setFont(arial(9, false));

    Frame1 = new QGroupBox(QStringLiteral("Sybase ASE Database"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(app::twipsRect(120, 120, 7800, 2830));
    Frame1->setFont(arial(9, true));
    app::setBackColorCode(Frame1, app::kWhite);

    // Created in tab order, so the focus chain follows it as well.
    Text1 = textBox(Frame1, "Text1", app::twipsRect(1320, 360, 4575, 345));
    Text2 = textBox(Frame1, "Text2", app::twipsRect(6480, 360, 1095, 345));
    Text3 = textBox(Frame1, "Text3", app::twipsRect(1320, 840, 6255, 345));
    Text4 = textBox(Frame1, "Text4", app::twipsRect(1320, 1320, 6255, 345));
    Text5 = textBox(Frame1, "Text5", app::twipsRect(1320, 1800, 6255, 345));
    PushButton7 =
        makePushButton(Frame1, QStringLiteral("PushButton7"), QStringLiteral("Test Connection"),
                       app::twipsRect(240, 2280, 3600, 400));
    PushButton6 = makePushButton(Frame1, QStringLiteral("PushButton6"), QStringLiteral("Help"),
                                 app::twipsRect(3960, 2280, 3600, 405));
    PushButton3 = makePushButton(this, QStringLiteral("PushButton3"), QStringLiteral("Next >"),
                                 app::twipsRect(120, 3090, 7800, 405));

    Label2 = makeLabel(Frame1, QStringLiteral("Label2"), QStringLiteral("Server:"),
                       app::twipsRect(240, 405, 1095, 255));
    Label3 = makeLabel(Frame1, QStringLiteral("Label3"), QStringLiteral("Port:"),
                       app::twipsRect(6000, 405, 495, 255));
    Label1 = makeLabel(Frame1, QStringLiteral("Label1"), QStringLiteral("Username:"),
                       app::twipsRect(240, 885, 1095, 255));
    Label4 = makeLabel(Frame1, QStringLiteral("Label4"), QStringLiteral("Password:"),
                       app::twipsRect(240, 1365, 1095, 255));
    Label6 = makeLabel(Frame1, QStringLiteral("Label6"), QStringLiteral("Database:"),
                       app::twipsRect(240, 1845, 1095, 255));

    // One "*" per character of the password.
    Text4->setEchoMode(QLineEdit::Password);
    Text4->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));

    QWidget::setTabOrder(Text1, Text2);
    QWidget::setTabOrder(Text2, Text3);
    QWidget::setTabOrder(Text3, Text4);
    QWidget::setTabOrder(Text4, Text5);
    QWidget::setTabOrder(Text5, PushButton7);
    QWidget::setTabOrder(PushButton7, PushButton6);
    QWidget::setTabOrder(PushButton6, PushButton3);

    centreOnScreen();
}

void Form1::connectHandlers() {
    const auto fields = {
        std::pair{Text1, &Form1::Text1_Change}, std::pair{Text2, &Form1::Text2_Change},
        std::pair{Text3, &Form1::Text3_Change}, std::pair{Text4, &Form1::Text4_Change},
        std::pair{Text5, &Form1::Text5_Change}};
    for (const auto& [box, change] : fields)
        connect(box, &QLineEdit::textChanged, this, change);
    const auto focus = {
        std::pair{Text1, &Form1::Text1_GotFocus}, std::pair{Text2, &Form1::Text2_GotFocus},
        std::pair{Text3, &Form1::Text3_GotFocus}, std::pair{Text4, &Form1::Text4_GotFocus},
        std::pair{Text5, &Form1::Text5_GotFocus}};
    for (const auto& [box, gotFocus] : focus)
        connect(static_cast<TextBox*>(box), &TextBox::gotFocus, this, gotFocus);

    connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);

    // The hover rule: default pointer over the background, the frame and the fields, the
    // hand over the buttons; the labels have none.
    for (QWidget* control :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Text1),
          static_cast<QWidget*>(Text2), static_cast<QWidget*>(Text3), static_cast<QWidget*>(Text4),
          static_cast<QWidget*>(Text5)})
        app::installHoverRule(*this, control, app::kPointerDefault);
    for (QWidget* button : {PushButton7, PushButton6, PushButton3})
        app::installHoverRule(*this, button, app::kPointerCustom);
}

} // namespace pages
