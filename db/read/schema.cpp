// The connection's questions about the catalog: the tables (OpenSchema, as ADO's
// adSchemaTables), the login's user name, and the tables an owner owns.

#include "db/connect/connection.h"
#include "db/connect/connectionstate.h"
#include "db/connect/sessionfacts.h"
#include "db/odbc/dberror.h"
#include "db/read/recordset.h"
#include "db/read/resultreader.h"
#include "db/write/boundquery.h"

namespace db {

Recordset Connection::OpenSchema(int schema) {
    odbc::DriverConnection& driver = state_->open();
    if (schema != adSchemaTables)
        throw DbError(QStringLiteral("Object or provider is not capable of performing requested "
                                     "operation."),
                      QStringLiteral("HYC00"), 3251);
    auto data = std::make_shared<RecordsetData>();
    data->connection = state_;
    odbc::Statement statement(driver);
    statement.setQueryTimeout(state_->commandTimeout);
    const auto listTables = [&] {
        odbc::check(
            SQLTablesW(statement.handle().get(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
            statement.handle(), "SQLTables");
    };
    listTables();
    data->rows.setColumns(describeColumns(statement));
    readRows(statement, data->rows, listTables);
    Recordset result;
    result.openOver(std::move(data));
    return result;
}

QString Connection::UserName() const {
    return state_->driver ? sessionFacts(*state_->driver, state_->commandTimeout).userName
                          : QString();
}

QStringList Connection::NamesOwnedBy(const QString& owner) {
    odbc::DriverConnection& driver = state_->open();
    odbc::Statement statement(driver);
    statement.setQueryTimeout(state_->commandTimeout);
    // The owner is a pattern to the catalog ("_" matches any character): the rows of
    // other owners it matches are passed over.
    std::u16string who = odbc::toWide(owner);
    odbc::check(SQLTablesW(statement.handle().get(), nullptr, 0,
                           reinterpret_cast<SQLWCHAR*>(who.data()), SQLSMALLINT(who.size()),
                           nullptr, 0, nullptr, 0),
                statement.handle(), "SQLTables");
    QStringList names;
    while (true) {
        const SQLRETURN rc = SQLFetch(statement.handle().get());
        if (rc == SQL_NO_DATA)
            break;
        odbc::check(rc, statement.handle(), "SQLFetch");
        if (readText(statement, 2).value_or(QString()) == owner)
            names << readText(statement, 3).value_or(QString());
    }
    drainResults(statement);
    return names;
}

} // namespace db
