#pragma once

// The connection page's five fields filled in with connection values, as the user would
// type them.

#include "db/connect/sybasease.h"
#include "pages/connection/form1.h"

#include <QLineEdit>

namespace testing {

inline void fillConnectionPage(const db::ConnectionFields& f) {
    pages::Form1& page = pages::form1();
    page.Text1->setText(f.server);
    page.Text2->setText(f.port);
    page.Text3->setText(f.user);
    page.Text4->setText(f.password);
    page.Text5->setText(f.database);
}

} // namespace testing
