#include "pages/connection/form1.h"

#include "pages/wizard.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace pages {

Form1::Form1() {
    setObjectName(QStringLiteral("Form1"));
    Frame1 = new QGroupBox(this);
    Text1 = new QLineEdit(Frame1);
    Text2 = new QLineEdit(Frame1);
    Text3 = new QLineEdit(Frame1);
    Text4 = new QLineEdit(Frame1);
    Text5 = new QLineEdit(Frame1);
    PushButton7 = new QPushButton(Frame1);
    PushButton6 = new QPushButton(Frame1);
    PushButton3 = new QPushButton(this);
}

void Form1::Form_Load() {}
void Form1::PushButton7_Click() {}
void Form1::PushButton6_Click() {}
void Form1::PushButton3_Click() {}

db::ConnectionFields Form1::connectionFields() const {
    return {Text1->text(), Text2->text(), Text3->text(), Text4->text(), Text5->text()};
}

QString BuildSybaseASEConnectionString() {
    return db::BuildSybaseASEConnectionString(form1().connectionFields());
}

bool TestSybaseASEConnection() { return db::TestSybaseASEConnection(form1().connectionFields()); }

} // namespace pages
