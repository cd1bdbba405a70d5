#include "app/errorreport.h"

#include "app/mainmodule.h"
#include "app/platform.h"

#include <QApplication>

namespace app {

QString applicationErrorText(const QString& location, int line, const QString& description) {
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + supportEmailAddress();
}

void ShowApplicationError(const QString& location, int line, const QString& description) {
    platform().messageBox(QApplication::activeWindow(),
                          applicationErrorText(location, line, description), kStyleExclamation,
                          QStringLiteral("Application Error"));
}

QString locationText(const QString& object, const QString& procedure) {
    return QStringLiteral("in Quorvane2021/08/31.") + object + QLatin1Char('.') + procedure +
           QLatin1Char(' ');
}

db::Handler guardedHandler(const QString& object, const QString& procedure) {
    return db::Handler(locationText(object, procedure), &ShowApplicationError);
}

} // namespace app
