// The steps every write of a recordset's rows shares: one transaction around any number
// of cell updates, row deletes or an insert; the copy of the rows a write reads; and
// showing what the table holds once a write is over.

#include "db/write/writecontext.h"

#include "db/connect/connectionstate.h"
#include "db/dialect/tsql.h"
#include "db/read/recordset.h"
#include "db/write/rowmatch.h"
#include "db/write/writetransaction.h"

#include <sqlext.h>

namespace db {

QString notSaved(const QString& why) {
    return QStringLiteral("The change was not saved: ") + why;
}

WriteContext::WriteContext(std::shared_ptr<RecordsetData> data) : data_(std::move(data)) {
    if (data_)
        source_ = &data_->rows;
}

const std::vector<ColumnInfo>& WriteContext::columns() const {
    return data_->rows.columns();
}

WriteContext::CopyScope::CopyScope(WriteContext& context) : context_(context) {
    context_.source_ = &context_.snapshot_;
    context_.shown_.reset();
}

WriteContext::CopyScope::~CopyScope() {
    context_.source_ = &context_.data_->rows;
    context_.shown_.reset();
}

ColumnType WriteContext::typeOf(int column) const {
    const auto c = std::size_t(column);
    return {data_->rows.columns()[c], c < keys_.typeNames.size() ? keys_.typeNames[c] : QString(),
            keys_.charset};
}

CellValue WriteContext::stored(int row, int column) const {
    return storedValue(*source_, row, column);
}

BoundQuery WriteContext::selectAll() const {
    BoundQuery query;
    query.sql = tsql::selectAllFrom(keys_.table);
    return query;
}

BoundQuery WriteContext::selectHeld(bool count) const {
    BoundQuery query;
    query.sql = tsql::selectHeld(keys_.table, count);
    return query;
}

long long WriteContext::countRows(WriteTransaction& transaction, const BoundQuery& count) {
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

void WriteContext::takeSnapshot(const std::vector<int>& rows) {
    snapshot_.setColumns(data_->rows.columns());
    snapshotRows_ = rows;
    for (int row : rows) {
        for (int c = 0; c < data_->rows.columnCount(); ++c) {
            if (const CellValue v = stored(row, c))
                snapshot_.append(c, *v);
            else
                snapshot_.appendNull(c);
        }
        snapshot_.finishRow();
    }
}

CellWriteResult
WriteContext::transact(const std::function<CellWriteResult(WriteTransaction&)>& step) {
    current_ = {};
    CellWriteResult result;
    bool stillOpen = false;
    try {
        odbc::DriverConnection& connection = data_->connection->open();
        WriteTransaction transaction(connection, timeout_);
        try {
            transaction.begin();
            result = step(transaction);
            if (result.status == WriteStatus::Written)
                transaction.commit();
        } catch (const DbError&) {
            transaction.rollback();
            stillOpen = transaction.open();
            shown_.reset();
            throw;
        }
        if (result.status != WriteStatus::Written) {
            transaction.rollback();
            stillOpen = transaction.open();
            if (result.status == WriteStatus::NotKept) {
                shown_.reset();
                if (current_.row >= 0)
                    reread(current_.row, current_.column, current_.original);
            }
        }
    } catch (const DbError& error) {
        result = failed(current_.row, current_.column, current_.original, error);
    }
    if (stillOpen) {
        result.stopReason = QStringLiteral("Read-only: a transaction on the connection could "
                                           "not be ended; reopen the table before editing again.");
        result.message += QStringLiteral("\n\n") + result.stopReason;
    }
    return result;
}

bool WriteContext::reread(int row, int column, const CellValue& value) {
    BoundQuery query = selectAll();
    if (!appendLocator(*this, query, row, column, value))
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

CellWriteResult WriteContext::failed(int row, int column, const CellValue& original,
                                     const DbError& error) {
    if (row >= 0)
        reread(row, column, original);
    const WriteCancel* cancel = currentWriteCancel();
    if ((cancel && cancel->cancelled()) ||
        (error.sqlState() == QLatin1String("HY008") && !tsql::isLockTimeout(error)))
        return {WriteStatus::Cancelled,
                notSaved(QStringLiteral("the write was cancelled. Nothing was changed."))};
    // The server has rolled back the whole transaction already; whether one is still
    // open was asked when it was rolled back here.
    if (tsql::isDeadlockVictim(error))
        return {WriteStatus::Deadlocked,
                notSaved(QStringLiteral("it was chosen as the victim of a deadlock; nothing was "
                                        "saved (the server rolled back the whole transaction "
                                        "so that another user's could go on). Try it again."
                                        "\n\n%1")
                             .arg(error.description()))};
    if (tsql::isLockTimeout(error))
        return {WriteStatus::TimedOut,
                notSaved(QStringLiteral("the write did not finish in time; another user may "
                                        "be holding this row. Nothing was changed.\n\n%1")
                             .arg(error.description()))};
    if (tsql::isCharsetRefusal(error))
        return {WriteStatus::DoesNotFit,
                notSaved(QStringLiteral("the server's character set cannot hold every character "
                                        "of this text. Nothing was changed.\n\n%1")
                             .arg(error.description()))};
    return {WriteStatus::Rejected,
            QStringLiteral("The change was not saved. The server answered:\n\n") +
                error.description()};
}

void WriteContext::apply(CellWriteResult& result) {
    if (result.row)
        result.rows.insert(result.rows.begin(), std::move(*result.row));
    result.row.reset();
    for (const auto& [row, values] : result.rows) {
        data_->rows.replaceRow(row, values);
        result.replaced.push_back(row);
    }
    result.rows.clear();
    if (result.appended) {
        result.appendedMore.insert(result.appendedMore.begin(), std::move(*result.appended));
        result.appended.reset();
        result.appendedRow = data_->rows.rowCount();
    }
    for (const RowValues& values : result.appendedMore) {
        RowBlock block(data_->rows.columnCount());
        for (int c = 0; c < data_->rows.columnCount(); ++c) {
            const CellValue& v = values[std::size_t(c)];
            if (v)
                block.append(c, *v);
            else
                block.appendNull(c);
        }
        block.finishRow();
        result.appendedRows.push_back(data_->rows.rowCount());
        block.trim();
        data_->rows.appendBlock(std::move(block));
    }
    result.appendedMore.clear();
}

} // namespace db
