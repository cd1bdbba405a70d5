// Writes one edited cell: its read-only reasons, the check of the typed value, and the
// update itself (the row found as the grid shows it, updated, read back; see rowmatch.h).

#include "db/write/rowwriter.h"

#include "db/write/rowdelete.h"
#include "db/write/rowinsert.h"
#include "db/write/rowmatch.h"

#include "db/connect/connectionstate.h"
#include "db/dialect/tsql.h"
#include "db/read/recordset.h"
#include "db/values/sqltypes.h"
#include "db/write/writetransaction.h"

#include <sqlext.h>

#include <algorithm>

namespace db {

namespace {

bool sameColumns(const std::vector<ColumnInfo>& a, const std::vector<ColumnInfo>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const ColumnInfo& x, const ColumnInfo& y) {
                          return x.name == y.name && x.sqlType == y.sqlType && x.size == y.size &&
                                 x.decimalDigits == y.decimalDigits && x.nullable == y.nullable &&
                                 x.binary == y.binary;
                      });
}

} // namespace

RowWriter::RowWriter(std::shared_ptr<RecordsetData> data) : context_(std::move(data)) {
    learn();
}

RowWriter::RowWriter(std::shared_ptr<RecordsetData> data, const RowWriter& learnt)
    : context_(std::move(data)) {
    const std::shared_ptr<RecordsetData>& now = context_.data();
    const std::shared_ptr<RecordsetData>& then = learnt.data();
    if (!now || !then || now->source != then->source || now->connection != then->connection ||
        now->lockType != then->lockType ||
        !sameColumns(now->rows.columns(), then->rows.columns())) {
        learn();
        return;
    }
    reason_ = learnt.reason_;
    textSize_ = learnt.textSize_;
    context_.setTimeout(learnt.context_.timeout());
    context_.setKeys(learnt.keys());
}

void RowWriter::learn() {
    if (!context_.data()) {
        reason_ = QStringLiteral("Read-only: no rows are bound.");
        return;
    }
    const std::vector<ColumnInfo>& columns = context_.data()->rows.columns();
    const std::optional<TableName> table = tsql::tableFromSelect(context_.data()->source);
    TableKeys keys = keysFromColumns(table.value_or(TableName{}), columns);
    if (context_.data()->lockType == adLockReadOnly) {
        reason_ = QStringLiteral("Read-only: the rows were opened for reading only.");
    } else if (!table) {
        reason_ = QStringLiteral("Read-only: the rows do not come from one table.");
    } else if (!context_.data()->connection || !context_.data()->connection->driver) {
        reason_ = QStringLiteral("Read-only: the rows' connection is closed.");
    } else if (const SessionFacts& session = context_.data()->connection->driver->sessionFacts();
               !session.readOnlyReason.isEmpty()) {
        // No catalog procedure either: the server would run it inside that transaction.
        reason_ = session.readOnlyReason;
    } else {
        try {
            textSize_ = context_.data()->connection->driver->sessionFacts().textSize;
            keys = discoverTableKeys(*context_.data()->connection->driver, *table, columns,
                                     context_.data()->connection->commandTimeout);
            keys.charset = serverCharset(*context_.data()->connection);
            reason_ = unlocatableReason(keys);
            if (reason_.isEmpty() && !keys.mayInsert && !keys.mayDelete &&
                std::find(keys.mayUpdate.begin(), keys.mayUpdate.end(), true) ==
                    keys.mayUpdate.end())
                reason_ = QStringLiteral("Read-only: this login may not update, add or delete "
                                         "rows of this table (it has select permission only).");
        } catch (const DbError& error) {
            reason_ = QStringLiteral("Read-only: the table's keys could not be read: ") +
                      error.description();
        }
    }
    context_.setKeys(std::move(keys));
}

RowWriter::RowWriter(std::shared_ptr<RecordsetData> data, TableKeys keys)
    : context_(std::move(data)), reason_(unlocatableReason(keys)) {
    if (context_.data() && context_.data()->connection && context_.data()->connection->driver) {
        keys.charset = serverCharset(*context_.data()->connection);
        textSize_ = context_.data()->connection->driver->sessionFacts().textSize;
    }
    context_.setKeys(std::move(keys));
}

QString RowWriter::columnReadOnlyReason(int column) const {
    if (column < 0 || column >= int(keys().roles.size()))
        return {};
    switch (keys().roles[std::size_t(column)]) {
    case ColumnRole::Identity:
        return QStringLiteral("Read-only: an identity column, numbered by the server.");
    case ColumnRole::Computed:
        return QStringLiteral("Read-only: the server computes this column.");
    case ColumnRole::RowVersion:
        return QStringLiteral("Read-only: a timestamp column, set by the server on every change.");
    case ColumnRole::Plain:
        break;
    }
    if (!keys().updatable(column))
        return QStringLiteral("Read-only: this login has no update permission on this column.");
    const ColumnInfo& info = data()->rows.columns()[std::size_t(column)];
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
    if (column < 0 || column >= data()->rows.columnCount() || row < 0 ||
        row >= data()->rows.rowCount())
        return {};
    const ResultTable& rows = data()->rows;
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
    if (!reason_.isEmpty() || (keys().mayInsert && keys().mayDelete))
        return {};
    if (!keys().mayInsert && !keys().mayDelete)
        return QStringLiteral("Rows cannot be added or deleted: this login has no insert or "
                              "delete permission on this table.");
    return keys().mayInsert ? kNoDeleteReason : kNoInsertReason;
}

bool RowWriter::canWrite(int row, int column) const {
    return canWrite(column) && cellReadOnlyReason(row, column).isEmpty();
}

bool RowWriter::canWrite(int column) const {
    return reason_.isEmpty() && column >= 0 && column < int(keys().roles.size()) &&
           columnReadOnlyReason(column).isEmpty();
}

BoundQuery RowWriter::updateStatement(int row, int column, const CellValue& value) const {
    const ColumnInfo& info = data()->rows.columns()[std::size_t(column)];
    BoundQuery update;
    update.sql = QStringLiteral("UPDATE ") + keys().table.sql() + QStringLiteral(" SET ") +
                 tsql::quoteIdentifier(info.name) + QStringLiteral(" = ");
    if (value)
        update.appendParameter(info, *value);
    else
        update.sql += QStringLiteral("NULL");
    appendShownRow(context_, update, row, column);
    return update;
}

CellWriteResult RowWriter::write(int row, int column, const CellValue& value) {
    return complete(*this, begin(row, column, value));
}

CellWriteResult RowWriter::begin(int row, int column, const CellValue& value) {
    pending_.reset();
    if (!canWrite(column))
        return {WriteStatus::ReadOnly, reason_.isEmpty() ? columnReadOnlyReason(column) : reason_};
    if (const QString reason = cellReadOnlyReason(row, column); !reason.isEmpty())
        return {WriteStatus::ReadOnly, reason};
    if (stored(row, column) == value)
        return {};
    const TypedValue typed = checkTyped(context_.typeOf(column), value);
    if (!typed.accepted())
        return {WriteStatus::DoesNotFit, notSaved(typed.refusal)};
    if (locateRow(keys(), data()->rows, row).kind == LocatorKind::None)
        return {WriteStatus::ReadOnly,
                notSaved(QStringLiteral("nothing in this row tells it apart from others "
                                        "(its key holds NULL)."))};
    // The row as the grid shows it now: the write reads only this copy, so the stored
    // rows may go on growing meanwhile.
    context_.takeSnapshot({row});
    pending_ = Pending{row, column, typed.value};
    return {};
}

CellWriteResult RowWriter::finish() {
    if (!pending_)
        return {};
    const Pending pending = *pending_;
    pending_.reset();
    const WriteContext::CopyScope copy(context_);
    CellWriteResult result = talk(0, pending.column, pending.typed);
    if (auto& shown = context_.shown())
        result.row = std::make_pair(pending.row, std::move(shown->second));
    return result;
}

CellWriteResult RowWriter::talk(int row, int column, const CellValue& typed) {
    return context_.transact(
        [&](WriteTransaction& transaction) { return updateCell(transaction, row, column, typed); });
}

void RowWriter::apply(CellWriteResult& result) {
    if (!result.stopReason.isEmpty())
        reason_ = result.stopReason;
    context_.apply(result);
    const int columns = data()->rows.columnCount();
    for (int row : result.replaced)
        for (int c = 0; c < columns; ++c)
            longCellReasons_.erase((long long)row * columns + c);
}

CellWriteResult RowWriter::updateCell(WriteTransaction& transaction, int row, int column,
                                      const CellValue& typed) {
    context_.setCurrent({row, column, stored(row, column)});
    CellWriteResult result = checkShownRow(context_, transaction, row, column);
    if (result.status == WriteStatus::Written) {
        // Without a key, the rows that hold the values the row is to hold, counted before:
        // the update must add exactly this row to them.
        const std::optional<long long> before =
            countAlike(context_, transaction, row, column, typed);
        transaction.execute(updateStatement(row, column, typed));
        result = checkKept(context_, transaction, row, column, context_.current().original, typed);
        if (result.status == WriteStatus::Written && before)
            result = checkAlike(context_, transaction, row, column, typed, *before);
    }
    // The next cell of the same row is checked against the row as it stands now.
    if (result.status == WriteStatus::Written && context_.shown() && context_.readsCopy())
        context_.snapshot().replaceRow(row, context_.shown()->second);
    return result;
}

} // namespace db
