#pragma once

// The connection page: five connection fields, "Test Connection", "Help", "Next >".
// Its Form_Load is the program's start-up sequence.

#include "app/page.h"
#include "db/connect/sybasease.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pages {

class Form1 : public app::Page {
    Q_OBJECT
  public:
    Form1();

    void Form_Load() override;
    void PushButton7_Click(); // Test Connection
    void PushButton6_Click(); // Help
    void PushButton3_Click(); // Next >

    // Each change of a field stores its whole content.
    void Text1_Change();
    void Text2_Change();
    void Text3_Change();
    void Text4_Change();
    void Text5_Change();
    // Each field selects its whole content when it gets the focus.
    void Text1_GotFocus();
    void Text2_GotFocus();
    void Text3_GotFocus();
    void Text4_GotFocus();
    void Text5_GotFocus();

    // The five fields as they stand now.
    db::ConnectionFields connectionFields() const;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    QPushButton* PushButton7 = nullptr;
    QPushButton* PushButton6 = nullptr;
    QPushButton* PushButton3 = nullptr;

  private:
    void layOut();
    void connectHandlers();
};

// The connection string and the connection test over the connection page's fields.
QString BuildSybaseASEConnectionString();
bool TestSybaseASEConnection();

} // namespace pages
