#include "db/rowwriter.h"

#include "db/rowdelete.h"
#include "db/rowinsert.h"

#include "db/connectionstate.h"
#include "db/recordset.h"
#include "db/sqltypes.h"
#include "db/tsql.h"
#include "db/writetransaction.h"

#include <sqlext.h>

#include <algorithm>

namespace db {
namespace {

bool contains(const std::vector<int>& columns, int column) {
    return std::find(columns.begin(), columns.end(), column) != columns.end();
}

} // namespace

RowWriter::RowWriter(std::shared_ptr<RecordsetData> data) : data_(std::move(data)) {
    if (data_)
        source_ = &data_->rows;
    if (!data_) {
        reason_ = QStringLiteral("Read-only: no rows are bound.");
        return;
    }
    const std::vector<ColumnInfo>& columns = data_->rows.columns();
    const std::optional<TableName> table = tsql::tableFromSelect(data_->source);
    keys_ = keysFromColumns(table.value_or(TableName{}), columns);
    if (data_->lockType == adLockReadOnly) {
        reason_ = QStringLiteral("Read-only: the rows were opened for reading only.");
    } else if (!table) {
        reason_ = QStringLiteral("Read-only: the rows do not come from one table.");
    } else if (!data_->connection || !data_->connection->driver) {
        reason_ = QStringLiteral("Read-only: the rows' connection is closed.");
    } else if (const SessionFacts& session = data_->connection->driver->sessionFacts();
               !session.readOnlyReason.isEmpty()) {
        // No catalog procedure either: the server would run it inside that transaction.
        reason_ = session.readOnlyReason;
    } else {
        try {
            textSize_ = data_->connection->driver->sessionFacts().textSize;
            keys_ = discoverTableKeys(*data_->connection->driver, *table, columns,
                                      data_->connection->commandTimeout);
            keys_.charset = serverCharset(*data_->connection);
            reason_ = unlocatableReason(keys_);
            if (reason_.isEmpty() && !keys_.mayInsert && !keys_.mayDelete &&
                std::find(keys_.mayUpdate.begin(), keys_.mayUpdate.end(), true) ==
                    keys_.mayUpdate.end())
                reason_ = QStringLiteral("Read-only: this login may not update, add or delete "
                                         "rows of this table (it has select permission only).");
        } catch (const DbError& error) {
            reason_ = QStringLiteral("Read-only: the table's keys could not be read: ") +
                      error.description();
        }
    }
}

RowWriter::RowWriter(std::shared_ptr<RecordsetData> data, TableKeys keys)
    : data_(std::move(data)), keys_(std::move(keys)), reason_(unlocatableReason(keys_)) {
    if (data_)
        source_ = &data_->rows;
    if (data_ && data_->connection && data_->connection->driver) {
        keys_.charset = serverCharset(*data_->connection);
        textSize_ = data_->connection->driver->sessionFacts().textSize;
    }
}

QString RowWriter::columnReadOnlyReason(int column) const {
    if (column < 0 || column >= int(keys_.roles.size()))
        return {};
    switch (keys_.roles[std::size_t(column)]) {
    case ColumnRole::Identity:
        return QStringLiteral("Read-only: an identity column, numbered by the server.");
    case ColumnRole::Computed:
        return QStringLiteral("Read-only: the server computes this column.");
    case ColumnRole::RowVersion:
        return QStringLiteral("Read-only: a timestamp column, set by the server on every change.");
    case ColumnRole::Plain:
        break;
    }
    if (!keys_.updatable(column))
        return QStringLiteral("Read-only: this login has no update permission on this column.");
    const ColumnInfo& info = data_->rows.columns()[std::size_t(column)];
    if (info.binary)
        return QStringLiteral("Read-only: binary values are shown in hexadecimal, not edited.");
    if (info.sqlType == SQL_UNKNOWN_TYPE)
        return QStringLiteral("Read-only: the driver cannot describe this column's type, so "
                              "its values cannot be written back exactly.");
    return {};
}

QString RowWriter::cellReadOnlyReason(int row, int column) const {
    if (const QString reason = columnReadOnlyReason(column); !reason.isEmpty())
        return reason;
    if (column < 0 || column >= data_->rows.columnCount() || row < 0 ||
        row >= data_->rows.rowCount())
        return {};
    const ResultTable& rows = data_->rows;
    if (rows.isNull(row, column))
        return {};
    const std::string_view bytes = rows.bytes(row, column);
    const ColumnInfo& info = rows.columns()[std::size_t(column)];
    // The server sends a text no longer than the session's @@textsize: one that long may
    // have been cut, and writing it back would drop its tail.
    if (textSize_ > 0 && sqltypes::isLong(info.sqlType) && (long long)bytes.size() >= textSize_)
        return QStringLiteral("Read-only: this text is at least %1 bytes long, the most the "
                              "server sends on this connection (its text size), so it may have "
                              "been cut; it is not written back, so its end cannot be lost.")
            .arg(textSize_);
    constexpr std::size_t kLong = 4096;
    if (bytes.size() <= kLong)
        return uncarriableReason(info, bytes);
    const long long cell = (long long)row * rows.columnCount() + column;
    if (const auto known = longCellReasons_.find(cell); known != longCellReasons_.end())
        return known->second;
    return longCellReasons_.emplace(cell, uncarriableReason(info, bytes)).first->second;
}

QString RowWriter::permissionNote() const {
    if (!reason_.isEmpty() || (keys_.mayInsert && keys_.mayDelete))
        return {};
    if (!keys_.mayInsert && !keys_.mayDelete)
        return QStringLiteral("Rows cannot be added or deleted: this login has no insert or "
                              "delete permission on this table.");
    return keys_.mayInsert ? kNoDeleteReason : kNoInsertReason;
}

bool RowWriter::canWrite(int row, int column) const {
    return canWrite(column) && cellReadOnlyReason(row, column).isEmpty();
}

ColumnType RowWriter::typeOf(int column) const {
    const auto c = std::size_t(column);
    return {data_->rows.columns()[c], c < keys_.typeNames.size() ? keys_.typeNames[c] : QString(),
            keys_.charset};
}

bool RowWriter::canWrite(int column) const {
    return reason_.isEmpty() && column >= 0 && column < int(keys_.roles.size()) &&
           columnReadOnlyReason(column).isEmpty();
}

CellValue RowWriter::stored(int row, int column) const {
    const ResultTable& rows = *source_;
    if (rows.isNull(row, column))
        return std::nullopt;
    return std::string(rows.bytes(row, column));
}

void RowWriter::appendCondition(BoundQuery& query, bool& first, int column,
                                const CellValue& value) const {
    const ColumnInfo& info = data_->rows.columns()[std::size_t(column)];
    query.sql += first ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ");
    first = false;
    query.sql += tsql::quoteIdentifier(info.name);
    if (!value) {
        query.sql += QStringLiteral(" IS NULL"); // "= ?" never matches a NULL
        return;
    }
    query.sql += QStringLiteral(" = ");
    query.appendParameter(info, *value);
}

void RowWriter::appendShownRow(BoundQuery& query, int row, int column) const {
    const RowLocator locator = locateRow(keys_, *source_, row);
    std::vector<int> compared = locator.columns;
    bool first = true;
    const auto compare = [&](int c) {
        // A value the server's set lacks cannot be sent; the read compares it instead.
        if (contains(compared, c) || !keys_.sendable(*source_, row, c))
            return;
        compared.push_back(c);
        appendCondition(query, first, c, stored(row, c));
    };
    for (int c : locator.columns)
        appendCondition(query, first, c, stored(row, c));
    // The edited column as it was read (or every comparable one), and the row's version:
    // a change made by someone else since the read matches no row.
    for (int c = 0; c < int(keys_.equality.size()); ++c)
        if ((c == column || column < 0) && keys_.equality[std::size_t(c)])
            compare(c);
    if (keys_.rowVersion >= 0)
        compare(keys_.rowVersion);
}

bool RowWriter::appendLocator(BoundQuery& query, int row, int column,
                              const CellValue& value) const {
    const RowLocator locator = locateRow(keys_, *source_, row);
    bool first = true;
    for (int c : locator.columns) {
        // What the server sets itself may differ now; it does not find the row.
        const ColumnRole role = keys_.roles[std::size_t(c)];
        if (role == ColumnRole::RowVersion || role == ColumnRole::Computed)
            continue;
        appendCondition(query, first, c, c == column ? value : stored(row, c));
    }
    return !first;
}

BoundQuery RowWriter::selectAll() const {
    BoundQuery query;
    query.sql = tsql::selectAllFrom(keys_.table);
    return query;
}

BoundQuery RowWriter::selectHeld(bool count) const {
    BoundQuery query;
    query.sql = tsql::selectHeld(keys_.table, count);
    return query;
}

long long RowWriter::countRows(WriteTransaction& transaction, const BoundQuery& count) {
    ColumnInfo number;
    number.sqlType = SQL_INTEGER;
    const std::vector<RowValues> found = transaction.select(count, {number}, 1);
    bool ok = false;
    const long long n = found.size() == 1 && found[0][0]
                            ? QByteArray::fromStdString(*found[0][0]).toLongLong(&ok)
                            : 0;
    if (!ok)
        throw DbError(QStringLiteral("The server did not answer a count of rows."));
    return n;
}

std::optional<long long> RowWriter::countAlike(WriteTransaction& transaction, int row, int column,
                                               const CellValue& value) const {
    if (locateRow(keys_, *source_, row).kind != LocatorKind::AllColumns)
        return std::nullopt;
    BoundQuery alike = selectHeld(true);
    if (!appendLocator(alike, row, column, value))
        return std::nullopt;
    return countRows(transaction, alike);
}

BoundQuery RowWriter::updateStatement(int row, int column, const CellValue& value) const {
    const ColumnInfo& info = data_->rows.columns()[std::size_t(column)];
    BoundQuery update;
    update.sql = QStringLiteral("UPDATE ") + keys_.table.sql() + QStringLiteral(" SET ") +
                 tsql::quoteIdentifier(info.name) + QStringLiteral(" = ");
    if (value)
        update.appendParameter(info, *value);
    else
        update.sql += QStringLiteral("NULL");
    appendShownRow(update, row, column);
    return update;
}

bool RowWriter::reread(int row, int column, const CellValue& value) {
    BoundQuery query = selectAll();
    if (!appendLocator(query, row, column, value))
        return false;
    try {
        const std::vector<RowValues> found =
            query.select(data_->connection->open(), data_->rows.columns(), timeout_, 2);
        if (found.size() != 1)
            return false;
        shown_ = {row, found.front()};
        return true;
    } catch (const DbError&) {
        return false;
    }
}

} // namespace db
