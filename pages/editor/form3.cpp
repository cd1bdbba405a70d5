#include "pages/editor/form3.h"

#include "pages/editor/datagrid.h"

#include <QLabel>
#include <QPushButton>

namespace pages {

Form3::Form3() {
    setObjectName(QStringLiteral("Form3"));
    DataGrid1 = new DataGrid(this);
    Label1 = new QLabel(this);
    Label2 = new QLabel(this);
    PushButton1 = new QPushButton(this);
}

void Form3::Form_Load() {}
void Form3::Form_Resize() {}
void Form3::PushButton1_Click() {}

} // namespace pages
