#include "pages/chooser/form2.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace pages {

Form2::Form2() {
    setObjectName(QStringLiteral("Form2"));
    Label1 = new QLabel(this);
    List1 = new QListWidget(this);
    PushButton2 = new QPushButton(this);
    PushButton3 = new QPushButton(this);
}

void Form2::Form_Load() {}
void Form2::PushButton2_Click() {}
void Form2::PushButton3_Click() {}

} // namespace pages
