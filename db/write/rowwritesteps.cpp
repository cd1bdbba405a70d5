// The steps every write of a recordset's rows shares: one transaction around any number
// of cell updates, row deletes or an insert; the copy of the rows a write reads; and
// showing what the table holds once a write is over.

#include "db/connect/connectionstate.h"
#include "db/read/recordset.h"
#include "db/write/rowwriter.h"
#include "db/write/writetransaction.h"

#include <algorithm>

namespace db {

void RowWriter::apply(CellWriteResult& result) {
    if (!result.stopReason.isEmpty())
        reason_ = result.stopReason;
    if (result.row)
        result.rows.insert(result.rows.begin(), std::move(*result.row));
    result.row.reset();
    for (const auto& [row, values] : result.rows) {
        data_->rows.replaceRow(row, values);
        for (int c = 0; c < data_->rows.columnCount(); ++c)
            longCellReasons_.erase((long long)row * data_->rows.columnCount() + c);
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

void RowWriter::takeSnapshot(const std::vector<int>& rows) {
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

CellWriteResult RowWriter::updateCell(WriteTransaction& transaction, int row, int column,
                                      const CellValue& typed) {
    current_ = {row, column, stored(row, column)};
    CellWriteResult result = checkShownRow(transaction, row, column);
    if (result.status == WriteStatus::Written) {
        // Without a key, the rows that hold the values the row is to hold, counted before:
        // the update must add exactly this row to them.
        const std::optional<long long> before = countAlike(transaction, row, column, typed);
        transaction.execute(updateStatement(row, column, typed));
        result = checkKept(transaction, row, column, current_.original, typed);
        if (result.status == WriteStatus::Written && before)
            result = checkAlike(transaction, row, column, typed, *before);
    }
    // The next cell of the same row is checked against the row as it stands now.
    if (result.status == WriteStatus::Written && shown_ && source_ == &snapshot_)
        snapshot_.replaceRow(row, shown_->second);
    return result;
}

CellWriteResult RowWriter::checkAlike(WriteTransaction& transaction, int row, int column,
                                      const CellValue& typed, long long before) {
    const std::vector<int> located = locateRow(keys_, *source_, row).columns;
    const bool joins = std::find(located.begin(), located.end(), column) != located.end() &&
                       !sameValue(typeOf(column), current_.original, typed);
    const long long after = countAlike(transaction, row, column, typed).value_or(before);
    const long long expected = before + (joins ? 1 : 0);
    if (after == expected)
        return {};
    shown_.reset();
    if (after > expected)
        return {WriteStatus::Ambiguous,
                QStringLiteral("The change was not saved: the update changed more rows than "
                               "the one checked; nothing in this table tells rows apart. "
                               "Nothing was changed.")};
    return {WriteStatus::NotKept,
            QStringLiteral("The change was not saved: a rule or trigger on the table changed "
                           "the row after the update, and other rows like it hold the value "
                           "typed; without a key the row written cannot be told from them. "
                           "Nothing was changed.")};
}

CellWriteResult RowWriter::transact(const std::function<CellWriteResult(WriteTransaction&)>& step) {
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

} // namespace db
