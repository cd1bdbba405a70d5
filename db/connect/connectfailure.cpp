#include "db/connect/connectfailure.h"

#include <QStringList>

namespace db {
namespace {

// The driver's prefixes ("[FreeTDS][SQL Server]") before a message.
QString withoutPrefixes(QString line) {
    line = line.trimmed();
    while (line.startsWith(QLatin1Char('['))) {
        const qsizetype close = line.indexOf(QLatin1Char(']'));
        if (close < 0)
            break;
        line = line.mid(close + 1).trimmed();
    }
    return line;
}

// The driver's closing record of every failed connect: true, and no reason.
bool saysOnlyThatItFailed(const QString& line) {
    return line == QLatin1String("Unable to connect to data source");
}

} // namespace

QString connectFailureReason(const DbError& error) {
    // Errors come before the informational messages of a login that got that far.
    bool failedToConnect = false;
    for (const QString& raw : error.description().split(QLatin1Char('\n'))) {
        const QString line = withoutPrefixes(raw);
        if (saysOnlyThatItFailed(line))
            failedToConnect = true;
        else if (!line.isEmpty())
            return line;
    }
    // The driver gave up during the login without a word from the server or the network:
    // the server offered no password exchange the driver can do (one older than Adaptive
    // Server 15.0.2 offers only its earlier one), and the driver sent no password.
    if (failedToConnect && error.nativeCode() == 0)
        return QStringLiteral("The server offers no encryption of the password that this "
                              "program can use; the password was not sent.");
    return {};
}

} // namespace db
