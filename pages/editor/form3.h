#pragma once

// The table editor: the chosen table's rows in an editable grid.

#include "app/page.h"

class QLabel;
class QPushButton;

namespace pages {

class DataGrid;

class Form3 : public app::Page {
    Q_OBJECT
public:
    Form3();

    void Form_Load() override;
    void Form_Resize();
    void PushButton1_Click(); // < Back

    DataGrid* DataGrid1 = nullptr;
    QLabel* Label1 = nullptr; // the notice
    QLabel* Label2 = nullptr; // " Now Editing: " + table
    QPushButton* PushButton1 = nullptr;
};

} // namespace pages
