#pragma once

// The uniform error report of the working handlers.

#include "db/connect/handler.h"

#include <QString>

namespace app {

// "Application Error" text: description, CR LF, location, "at line ", number, CR CR, and
// the request to mail a screenshot to the support address.
QString applicationErrorText(const QString& location, int line, const QString& description);

// Shows the "Application Error" box (style 48) and returns when it has been closed.
void ShowApplicationError(const QString& location, int line, const QString& description);

// A guarded handler whose failures show the "Application Error" box. `object` and
// `procedure` give the location text "in Quorvane2021/08/31.<object>.<procedure> ".
db::Handler guardedHandler(const QString& object, const QString& procedure);
QString locationText(const QString& object, const QString& procedure);

} // namespace app
