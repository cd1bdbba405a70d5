#include "db/connect/sessionfacts.h"

#include "db/dialect/tsql.h"
#include "db/odbc/dberror.h"
#include "db/odbc/odbc.h"
#include "db/write/boundquery.h"

#include <sqlext.h>

#include <QStringList>

namespace db {

SessionFacts learnSessionFacts(odbc::DriverConnection& connection, int timeoutSeconds) {
    SessionFacts facts;
    QString refusal;
    BoundQuery unchain;
    unchain.sql = tsql::kUnchainSession;
    try {
        unchain.execute(connection, timeoutSeconds);
    } catch (const DbError& error) {
        // 226: the session holds a transaction already (a login script's), which no
        // commit of the program's own would end.
        refusal = error.description();
    }
    BoundQuery ask;
    ask.sql = tsql::kSessionFacts;
    ColumnInfo number;
    number.sqlType = SQL_INTEGER;
    ColumnInfo name;
    name.sqlType = SQL_VARCHAR;
    const std::vector<RowValues> rows =
        ask.select(connection, {number, number, name, number, name}, timeoutSeconds, 1);
    if (rows.size() != 1)
        throw DbError(QStringLiteral("The server did not say what the session is like."),
                      QStringLiteral("HY000"));
    const RowValues& row = rows.front();
    const auto integer = [&](std::size_t i) {
        return row[i] ? QString::fromStdString(*row[i]).trimmed().toLongLong() : 0;
    };
    facts.learnt = true;
    facts.chained = integer(0) != 0;
    facts.userName = row[2] ? QString::fromStdString(*row[2]).trimmed() : QString();
    facts.known = !facts.userName.isEmpty();
    facts.textSize = integer(3);
    facts.systemAdministrator = row[4] && QString::fromStdString(*row[4])
                                              .split(QLatin1Char(' '), Qt::SkipEmptyParts)
                                              .contains(tsql::kSystemAdministratorRole);
    if (integer(0) != 0 || integer(1) != 0)
        facts.readOnlyReason =
            QStringLiteral("Read-only: the server keeps a transaction open on this connection "
                           "from its login on (a login script left one open), so no change "
                           "could be saved for good.") +
            (refusal.isEmpty() ? QString() : QStringLiteral(" The server answered:\n\n") + refusal);
    return facts;
}

const SessionFacts& sessionFacts(odbc::DriverConnection& connection, int timeoutSeconds) {
    if (!connection.sessionFacts().learnt) {
        SessionFacts facts;
        try {
            facts = learnSessionFacts(connection, timeoutSeconds);
        } catch (const DbError&) {
            facts.learnt = true; // asked once: unknown
        }
        connection.setSessionFacts(std::move(facts));
    }
    return connection.sessionFacts();
}

} // namespace db
