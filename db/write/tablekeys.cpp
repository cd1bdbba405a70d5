#include "db/write/tablekeys.h"

#include <sqlext.h>

#include <algorithm>

namespace db {
bool isApproximateType(short sqlType) {
    return sqlType == SQL_REAL || sqlType == SQL_FLOAT || sqlType == SQL_DOUBLE;
}

bool isLongType(short sqlType) {
    return sqlType == SQL_LONGVARCHAR || sqlType == SQL_WLONGVARCHAR ||
           sqlType == SQL_LONGVARBINARY;
}

bool isCharacterType(short sqlType) {
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
        return true;
    default:
        return false;
    }
}

bool isExactType(short sqlType) {
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_BIT:
    case SQL_DATE:
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_GUID:
        return true;
    default:
        return false;
    }
}

TableKeys keysFromColumns(const TableName& table, const std::vector<ColumnInfo>& columns) {
    TableKeys keys;
    keys.table = table;
    for (const ColumnInfo& column : columns) {
        keys.roles.push_back(column.autoIncrement ? ColumnRole::Identity
                             : column.readOnly    ? ColumnRole::Computed
                                                  : ColumnRole::Plain);
        keys.exact.push_back(isExactType(column.sqlType));
        keys.equality.push_back(isExactType(column.sqlType));
    }
    return keys;
}

bool TableKeys::sendable(const ResultTable& rows, int row, int column) const {
    return rows.isNull(row, column) || rows.columns()[std::size_t(column)].binary ||
           charset.holds(rows.bytes(row, column));
}

RowLocator locateRow(const TableKeys& keys, const ResultTable& rows, int row) {
    // Some drivers answer a unique index for a table without a primary key, and SQLite
    // lets NULLs into some: a key with a NULL in this row does not find it.
    const auto holdsValues = [&](const std::vector<int>& key) {
        return std::none_of(key.begin(), key.end(), [&](int c) {
            return rows.isNull(row, c) || !keys.sendable(rows, row, c);
        });
    };
    if (!keys.primaryKey.empty() && holdsValues(keys.primaryKey))
        return {LocatorKind::PrimaryKey, keys.primaryKey};
    for (const std::vector<int>& key : keys.uniqueKeys) {
        const bool exact =
            std::all_of(key.begin(), key.end(), [&](int c) { return keys.exact[std::size_t(c)]; });
        if (exact && holdsValues(key))
            return {LocatorKind::UniqueKey, key};
    }
    RowLocator all{LocatorKind::AllColumns, {}};
    for (std::size_t c = 0; c < keys.exact.size(); ++c)
        if (keys.exact[c] && keys.sendable(rows, row, int(c)))
            all.columns.push_back(int(c));
    if (all.columns.empty())
        return {};
    for (std::size_t c = 0; c < keys.exact.size(); ++c)
        if (isApproximateType(rows.columns()[c].sqlType) && !rows.isNull(row, int(c)))
            all.columns.push_back(int(c));
    return all;
}

QString unlocatableReason(const TableKeys& keys) {
    // A usable unique key is made of exact columns, so rows can be found unless the table
    // has neither a primary key nor a single exactly comparable column.
    if (!keys.primaryKey.empty() || std::count(keys.exact.begin(), keys.exact.end(), true) > 0)
        return {};
    return QStringLiteral("Read-only: no key or exactly comparable column tells this table's "
                          "rows apart (floating-point and long text columns cannot).");
}

} // namespace db
