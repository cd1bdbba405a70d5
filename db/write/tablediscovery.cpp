// Learning a table's keys and column roles from the driver's catalog calls.

#include "db/connect/sessionfacts.h"
#include "db/dialect/tsql.h"
#include "db/odbc/odbc.h"
#include "db/values/sqltypes.h"
#include "db/write/boundquery.h"
#include "db/write/tablekeys.h"

#include <sqlext.h>

#include <algorithm>
#include <functional>
#include <map>

namespace db {
namespace {

// The result column a catalog names: exact spelling first, then regardless of case.
int columnNamed(const std::vector<ColumnInfo>& columns, const QString& name) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == name)
            return int(i);
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

// Runs one catalog call and hands each row to `row`; a driver that cannot answer it
// simply tells nothing.
template <typename Call, typename Row>
void readCatalog(odbc::DriverConnection& connection, int timeoutSeconds, Call call, Row row) {
    try {
        odbc::Statement statement(connection);
        statement.setQueryTimeout(timeoutSeconds);
        odbc::check(call(statement.handle().get()), statement.handle(), "catalog");
        for (;;) {
            const SQLRETURN rc = SQLFetch(statement.handle().get());
            if (rc == SQL_NO_DATA)
                break;
            odbc::check(rc, statement.handle(), "SQLFetch");
            row(statement);
        }
        drainResults(statement);
    } catch (const DbError&) {
    }
}

SQLSMALLINT readShort(const odbc::Statement& statement, int column) {
    SQLSMALLINT value = 0;
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement.handle().get(), SQLUSMALLINT(column), SQL_C_SSHORT,
                                    &value, 0, &indicator);
    return SQL_SUCCEEDED(rc) && indicator != SQL_NULL_DATA ? value : SQLSMALLINT(-1);
}

// The result column of a catalog call by its name, regardless of case; 0 when none.
int catalogColumn(const odbc::Statement& statement, const QString& name) {
    SQLSMALLINT count = 0;
    SQLNumResultCols(statement.handle().get(), &count);
    for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(count); ++c) {
        SQLWCHAR label[64] = {};
        SQLSMALLINT length = 0;
        SQLColAttributeW(statement.handle().get(), c, SQL_DESC_NAME, label, sizeof label, &length,
                         nullptr);
        if (odbc::fromWide(label, length / SQLSMALLINT(sizeof(SQLWCHAR)))
                .compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return 0;
}

// The column catalog: which columns the table gives a default.
// SQLColumns takes the table's name (and owner) as patterns, where "_" and "%" match any
// character, and without an owner it may answer for every owner's table of that name:
// only the rows of the table itself count (see columnCatalogOwner).
void readColumnCatalog(odbc::DriverConnection& connection, const TableName& table,
                       const std::vector<ColumnInfo>& columns, std::vector<bool>& hasDefault,
                       int timeoutSeconds) {
    hasDefault.assign(columns.size(), false);
    int defaultColumn = -1; // learnt from the first row
    std::u16string name = odbc::toWide(table.name);
    std::u16string owner = odbc::toWide(table.owner);
    struct Row {
        QString owner, column;
        bool hasDefault = false;
    };
    std::vector<Row> rows;
    readCatalog(
        connection, timeoutSeconds,
        [&](SQLHSTMT h) {
            return SQLColumnsW(h, nullptr, 0,
                               owner.empty() ? nullptr : reinterpret_cast<SQLWCHAR*>(owner.data()),
                               SQLSMALLINT(owner.size()), reinterpret_cast<SQLWCHAR*>(name.data()),
                               SQLSMALLINT(name.size()), nullptr, 0);
        },
        [&](const odbc::Statement& s) {
            Row row;
            row.owner = readText(s, 2).value_or(QString());
            const QString rowTable = readText(s, 3).value_or(QString());
            row.column = readText(s, 4).value_or(QString());
            // Read last: a driver may hand over a row's columns in their order only.
            if (defaultColumn < 0)
                defaultColumn = catalogColumn(s, QStringLiteral("column_def"));
            row.hasDefault = defaultColumn > 0 && readText(s, defaultColumn).has_value();
            if (rowTable == table.name)
                rows.push_back(std::move(row));
        });
    const QString chosen =
        columnCatalogOwner(table, connection.sessionFacts().userName, [&](const QString& o) {
            return std::any_of(rows.begin(), rows.end(), [&](const Row& r) {
                return r.owner.compare(o, Qt::CaseInsensitive) == 0;
            });
        });
    for (const Row& row : rows) {
        const int c = columnNamed(columns, row.column);
        if (c < 0 || row.owner.compare(chosen, Qt::CaseInsensitive) != 0)
            continue;
        hasDefault[std::size_t(c)] = row.hasDefault;
    }
}

// The privileges the login holds on the table, from the driver's table and column
// privilege catalogs (ASE's sp_table_privileges and sp_column_privileges): the rows whose
// grantee is the login's database user. Nothing is restricted when the server does not
// say: the login is unknown or holds sa_role (which passes every check), the catalogs
// cannot be read, or they show no SELECT for the user although its rows were just read
// (the right then comes by a way the catalogs do not show, such as a role).
void readPrivileges(odbc::DriverConnection& connection, const TableName& table,
                    const std::vector<ColumnInfo>& columns, TableKeys& keys, int timeoutSeconds) {
    const SessionFacts& facts = sessionFacts(connection, timeoutSeconds);
    if (!facts.known || facts.systemAdministrator)
        return;
    const auto mine = [&](const odbc::Statement& s, int column) {
        return readText(s, column).value_or(QString()).compare(facts.userName,
                                                               Qt::CaseInsensitive) == 0;
    };
    std::u16string name = odbc::toWide(table.name);
    std::u16string owner = odbc::toWide(table.owner);
    auto* ownerText = owner.empty() ? nullptr : reinterpret_cast<SQLWCHAR*>(owner.data());
    bool select = false, insert = false, remove = false, update = false;
    readCatalog(
        connection, timeoutSeconds,
        [&](SQLHSTMT h) {
            return SQLTablePrivilegesW(h, nullptr, 0, ownerText, SQLSMALLINT(owner.size()),
                                       reinterpret_cast<SQLWCHAR*>(name.data()),
                                       SQLSMALLINT(name.size()));
        },
        [&](const odbc::Statement& s) {
            if (readText(s, 3).value_or(QString()) != table.name || !mine(s, 5))
                return;
            const QString privilege = readText(s, 6).value_or(QString()).trimmed().toUpper();
            select = select || privilege == QLatin1String("SELECT");
            insert = insert || privilege == QLatin1String("INSERT");
            remove = remove || privilege == QLatin1String("DELETE");
            update = update || privilege == QLatin1String("UPDATE");
        });
    if (!select)
        return;
    std::vector<bool> updatable(columns.size(), update);
    readCatalog(
        connection, timeoutSeconds,
        [&](SQLHSTMT h) {
            return SQLColumnPrivilegesW(h, nullptr, 0, ownerText, SQLSMALLINT(owner.size()),
                                        reinterpret_cast<SQLWCHAR*>(name.data()),
                                        SQLSMALLINT(name.size()), nullptr, 0);
        },
        [&](const odbc::Statement& s) {
            if (readText(s, 3).value_or(QString()) != table.name || !mine(s, 6))
                return;
            const int c = columnNamed(columns, readText(s, 4).value_or(QString()));
            if (c >= 0 &&
                readText(s, 7).value_or(QString()).trimmed().toUpper() == QLatin1String("UPDATE"))
                updatable[std::size_t(c)] = true;
        });
    keys.mayInsert = insert;
    keys.mayDelete = remove;
    keys.mayUpdate = std::move(updatable);
}

} // namespace

QString columnCatalogOwner(const TableName& table, const QString& user,
                           const std::function<bool(const QString&)>& answered) {
    if (!table.owner.isEmpty())
        return table.owner;
    if (!user.isEmpty() && answered(user))
        return user;
    return QStringLiteral("dbo");
}

TableKeys discoverTableKeys(odbc::DriverConnection& connection, const TableName& table,
                            const std::vector<ColumnInfo>& columns, int timeoutSeconds) {
    TableKeys keys = keysFromColumns(table, columns);
    std::u16string name = odbc::toWide(table.name);
    auto* tableName = reinterpret_cast<SQLWCHAR*>(name.data());
    const auto nameLength = SQLSMALLINT(name.size());
    // A table named with its owner is looked up under that owner; a bare name is
    // resolved by the catalog procedures as the server resolves it for this login.
    std::u16string owner = odbc::toWide(table.owner);
    auto* ownerName = owner.empty() ? nullptr : reinterpret_cast<SQLWCHAR*>(owner.data());
    const auto ownerLength = SQLSMALLINT(owner.size());

    std::map<int, int> primary; // key sequence -> column
    readCatalog(
        connection, timeoutSeconds,
        [&](SQLHSTMT h) {
            return SQLPrimaryKeysW(h, nullptr, 0, ownerName, ownerLength, tableName, nameLength);
        },
        [&](const odbc::Statement& s) {
            const int column = columnNamed(columns, readText(s, 4).value_or(QString()));
            primary[readShort(s, 5)] = column;
        });
    for (const auto& [sequence, column] : primary)
        keys.primaryKey.push_back(column);
    if (std::count(keys.primaryKey.begin(), keys.primaryKey.end(), -1) > 0)
        keys.primaryKey.clear(); // a key column missing from the result cannot locate rows

    std::map<QString, std::map<int, int>> unique; // index -> position -> column
    readCatalog(
        connection, timeoutSeconds,
        [&](SQLHSTMT h) {
            return SQLStatisticsW(h, nullptr, 0, ownerName, ownerLength, tableName, nameLength,
                                  SQL_INDEX_UNIQUE, SQL_QUICK);
        },
        [&](const odbc::Statement& s) {
            const SQLSMALLINT nonUnique = readShort(s, 4);
            const QString index = readText(s, 6).value_or(QString());
            const SQLSMALLINT type = readShort(s, 7);
            const SQLSMALLINT position = readShort(s, 8);
            const std::optional<QString> columnName = readText(s, 9);
            if (type == SQL_TABLE_STAT || nonUnique != 0)
                return;
            // An index over an expression names no column: it cannot locate rows.
            unique[index][position] = columnName ? columnNamed(columns, *columnName) : -1;
        });
    for (const auto& [index, parts] : unique) {
        std::vector<int> key;
        for (const auto& [position, column] : parts)
            key.push_back(column);
        if (std::count(key.begin(), key.end(), -1) == 0 && key != keys.primaryKey)
            keys.uniqueKeys.push_back(key);
    }
    std::stable_sort(keys.uniqueKeys.begin(), keys.uniqueKeys.end(),
                     [](const auto& a, const auto& b) { return a.size() < b.size(); });

    readCatalog(
        connection, timeoutSeconds,
        [&](SQLHSTMT h) {
            return SQLSpecialColumnsW(h, SQL_ROWVER, nullptr, 0, ownerName, ownerLength, tableName,
                                      nameLength, SQL_SCOPE_CURROW, SQL_NULLABLE);
        },
        [&](const odbc::Statement& s) {
            const int column = columnNamed(columns, readText(s, 2).value_or(QString()));
            if (column >= 0 && columns[std::size_t(column)].name.compare(
                                   QLatin1String("_ROWID_"), Qt::CaseInsensitive) != 0) {
                keys.rowVersion = column;
                keys.roles[std::size_t(column)] = ColumnRole::RowVersion;
            }
        });

    // The description of the query itself: identity columns and type names.
    std::vector<QString> typeNames(columns.size());
    try {
        odbc::Statement statement(connection);
        statement.setQueryTimeout(timeoutSeconds);
        statement.execDirect(tsql::describeTable(table));
        SQLSMALLINT count = 0;
        SQLNumResultCols(statement.handle().get(), &count);
        for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(count) && c <= columns.size(); ++c) {
            SQLLEN autoUnique = 0;
            SQLHSTMT h = statement.handle().get();
            SQLColAttributeW(h, c, SQL_DESC_AUTO_UNIQUE_VALUE, nullptr, 0, nullptr, &autoUnique);
            SQLWCHAR typeName[128] = {};
            SQLSMALLINT length = 0;
            SQLColAttributeW(h, c, SQL_DESC_TYPE_NAME, typeName, sizeof typeName, &length, nullptr);
            typeNames[c - 1u] = odbc::fromWide(typeName, length / SQLSMALLINT(sizeof(SQLWCHAR)));
            ColumnRole& role = keys.roles[c - 1u];
            // The driver's "updatable" attribute is no guide: FreeTDS reports read-only
            // for every column of a plain select. A computed column the server refuses
            // to write fails the write, which is then rolled back.
            if (role == ColumnRole::Plain && autoUnique == SQL_TRUE)
                role = ColumnRole::Identity;
        }
        drainResults(statement);
    } catch (const DbError&) {
    }

    // A long text compares with "=" only where the server says its type may: the type
    // information of that name, or else of every type the driver maps to that code.
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!sqltypes::isLong(columns[c].sqlType))
            continue;
        std::optional<bool> named;
        bool all = true;
        bool any = false;
        readCatalog(
            connection, timeoutSeconds,
            [&](SQLHSTMT h) { return SQLGetTypeInfoW(h, columns[c].sqlType); },
            [&](const odbc::Statement& s) {
                const QString name = readText(s, 1).value_or(QString());
                const SQLSMALLINT how = readShort(s, 9);
                const bool searchable = how == SQL_PRED_BASIC || how == SQL_SEARCHABLE;
                if (!typeNames[c].isEmpty() && name.compare(typeNames[c], Qt::CaseInsensitive) == 0)
                    named = searchable;
                all = all && searchable;
                any = true;
            });
        keys.equality[c] = named.value_or(any && all);
    }
    readColumnCatalog(connection, table, columns, keys.hasDefault, timeoutSeconds);
    readPrivileges(connection, table, columns, keys, timeoutSeconds);
    keys.typeNames = std::move(typeNames);
    return keys;
}

} // namespace db
