#pragma once

// What the grid must know about the table behind a recordset before it may write a row:
// the table's name, the keys by which one row is found again, and the columns the server
// fills in itself (identity, computed, timestamp), which are never written.

#include "db/connect/servercharset.h"
#include "db/dialect/tablename.h"
#include "db/read/resulttable.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace db {

namespace odbc {
class DriverConnection;
}

enum class ColumnRole { Plain, Identity, Computed, RowVersion };

struct TableKeys {
    TableName table;
    std::vector<int> primaryKey;              // result columns, in key order
    std::vector<std::vector<int>> uniqueKeys; // other unique indexes, fewest columns first
    std::vector<ColumnRole> roles;            // one per result column
    std::vector<bool> exact;        // may stand in an all-columns locator (see sqltypes::isExact)
    std::vector<bool> equality;     // "column = ?" compares its stored value exactly
    int rowVersion = -1;            // a timestamp column, checked on every write
    std::vector<QString> typeNames; // declared type of each column, where the driver says
    std::vector<bool> hasDefault;   // the table gives the column a default, where known
    ServerCharset charset;          // the server's, in which every value is sent

    // True when the stored value can be sent to the server in a statement (a NULL, bytes,
    // or text whose every character the server's set holds).
    bool sendable(const ResultTable& rows, int row, int column) const;

    // What this login may do to the table, where the server says (every right otherwise).
    bool mayInsert = true;
    bool mayDelete = true;
    std::vector<bool> mayUpdate; // per column; empty: every column

    bool writable(int column) const { return roles[std::size_t(column)] == ColumnRole::Plain; }
    bool updatable(int column) const { return mayUpdate.empty() || mayUpdate[std::size_t(column)]; }
};

// Reads the keys and column roles of `table` through the connection: the primary key,
// the unique indexes, the row-version column, a description of "SELECT * FROM [table]",
// and what the login may do to it (its table and column privileges).
// Catalog calls the driver cannot answer count as "nothing known" (every write still
// checks that exactly one row changed). Reads every result to its end.
TableKeys discoverTableKeys(odbc::DriverConnection& connection, const TableName& table,
                            const std::vector<ColumnInfo>& columns, int timeoutSeconds);

// Whose table a column catalog's rows describe: the named owner; for a bare name the
// login's own user when the catalog `answered` for it, else dbo (as the server resolves
// a bare name).
QString columnCatalogOwner(const TableName& table, const QString& user,
                           const std::function<bool(const QString&)>& answered);

// Keys from types alone, with the given primary and unique keys (also for tests).
TableKeys keysFromColumns(const TableName& table, const std::vector<ColumnInfo>& columns);

enum class LocatorKind { None, PrimaryKey, UniqueKey, AllColumns };

struct RowLocator {
    LocatorKind kind = LocatorKind::None;
    std::vector<int> columns;
};

// The columns by which one stored row is found: the primary key; else the first unique
// key whose columns all hold a value in this row; else every exactly comparable column,
// with the approximate numbers that hold a value (compared in binary). A value that
// cannot be sent never finds the row: a key holding one is passed over, and the other
// columns find it.
RowLocator locateRow(const TableKeys& keys, const ResultTable& rows, int row);

// Why no row of the table can be found again; empty when rows can be.
QString unlocatableReason(const TableKeys& keys);

} // namespace db
