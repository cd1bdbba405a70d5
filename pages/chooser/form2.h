#pragma once

// The table chooser: lists the database's user tables and opens the chosen one in the
// editor.

#include "app/page.h"
#include "db/dialect/tablename.h"

#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QFrame;

namespace pages {

class Form2 : public app::Page {
    Q_OBJECT
  public:
    Form2();

    void Form_Load() override; // also run again by the connection page's "Next >"
    void PushButton2_Click();  // < Back
    void PushButton3_Click();  // Next >

    QLabel* Label1 = nullptr;
    QListWidget* List1 = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton3 = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    bool loading_ = false;              // a load is under way (its listing lets queued events run)
    std::vector<db::TableName> tables_; // what each line of the list names, in its order
};

} // namespace pages
