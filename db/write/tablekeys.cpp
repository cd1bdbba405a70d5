#include "db/write/tablekeys.h"

#include "db/values/sqltypes.h"

#include <algorithm>

namespace db {

TableKeys keysFromColumns(const TableName& table, const std::vector<ColumnInfo>& columns) {
    TableKeys keys;
    keys.table = table;
    for (const ColumnInfo& column : columns) {
        keys.roles.push_back(column.autoIncrement ? ColumnRole::Identity
                             : column.readOnly    ? ColumnRole::Computed
                                                  : ColumnRole::Plain);
        keys.exact.push_back(sqltypes::isExact(column.sqlType));
        keys.equality.push_back(sqltypes::isExact(column.sqlType));
    }
    return keys;
}

bool TableKeys::sendable(const ResultTable& rows, int row, int column) const {
    return rows.isNull(row, column) || rows.columns()[std::size_t(column)].binary ||
           charset.holds(rows.bytes(row, column));
}

RowLocator locateRow(const TableKeys& keys, const ResultTable& rows, int row) {
    // Some drivers answer a unique index for a table without a primary key, and a unique
    // index may hold a NULL: a key with a NULL in this row does not find it.
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
        if (sqltypes::isApproximate(rows.columns()[c].sqlType) && !rows.isNull(row, int(c)))
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
