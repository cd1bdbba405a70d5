#include "db/sessionfacts.h"

#include "db/boundquery.h"

#include <QStringList>

namespace db {

const SessionFacts& sessionFacts(odbc::DriverConnection& connection, int timeoutSeconds) {
    if (connection.factsAsked)
        return connection.facts;
    connection.factsAsked = true;
    SessionFacts facts;
    try {
        odbc::Statement statement(connection);
        statement.setQueryTimeout(timeoutSeconds);
        statement.execDirect(QStringLiteral("select user_name(), show_role()"));
        if (SQL_SUCCEEDED(SQLFetch(statement.handle().get()))) {
            facts.userName = readText(statement, 1).value_or(QString()).trimmed();
            const QString roles = readText(statement, 2).value_or(QString());
            facts.systemAdministrator = roles.split(QLatin1Char(' '), Qt::SkipEmptyParts)
                                            .contains(QLatin1String("sa_role"));
            facts.known = !facts.userName.isEmpty();
        }
        drainResults(statement);
    } catch (const DbError&) {
        facts = {};
    }
    connection.facts = facts;
    return connection.facts;
}

} // namespace db
