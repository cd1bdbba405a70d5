#include "db/write/rowdelete.h"

#include "db/read/recordset.h"
#include "db/write/writetransaction.h"

namespace db {

BoundQuery RowDeleter::deleteStatement(int row) const {
    BoundQuery query;
    query.sql = QStringLiteral("DELETE FROM ") + writer_.keys_.table.sql();
    writer_.appendShownRow(query, row, -1);
    return query;
}

CellWriteResult RowDeleter::begin(const std::vector<int>& rows,
                                  const std::vector<QString>& rowNames) {
    names_.clear();
    if (!writer_.readOnlyReason().isEmpty())
        return {WriteStatus::ReadOnly, writer_.readOnlyReason()};
    if (!writer_.keys().mayDelete)
        return {WriteStatus::ReadOnly, kNoDeleteReason};
    const ResultTable& stored = writer_.data_->rows;
    std::vector<QString> names;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = rows[i];
        names.push_back(i < rowNames.size() && !rowNames[i].isEmpty()
                            ? rowNames[i]
                            : QStringLiteral("row %1").arg(row + 1));
        if (row < 0 || row >= stored.rowCount())
            return {WriteStatus::RowVanished,
                    QStringLiteral("Nothing was deleted: %1 is not one of the table's rows.")
                        .arg(names.back())};
        if (locateRow(writer_.keys_, stored, row).kind == LocatorKind::None)
            return {WriteStatus::ReadOnly,
                    QStringLiteral("Nothing was deleted: nothing in %1 tells it apart from "
                                   "other rows (its key holds NULL).")
                        .arg(names.back())};
    }
    if (rows.empty())
        return {};
    writer_.takeSnapshot(rows);
    names_ = std::move(names);
    return {};
}

CellWriteResult RowDeleter::finish() {
    if (names_.empty())
        return {};
    const std::vector<QString> names = std::move(names_);
    names_.clear();
    RowWriter& w = writer_;
    w.source_ = &w.snapshot_;
    w.shown_.reset();
    std::size_t at = 0;
    CellWriteResult result = w.transact([&](WriteTransaction& transaction) {
        for (at = 0; at < names.size(); ++at) {
            const int row = int(at);
            w.current_ = {row, -1, {}};
            // 1. Exactly one row holds what the grid shows.
            CellWriteResult found = w.checkShownRow(transaction, row, -1);
            if (found.status != WriteStatus::Written)
                return found;
            // 2. It goes, and is looked for again as the grid showed it: by its key, or by
            // every value in a table without one (never by the DELETE's own condition,
            // which a change made meanwhile would make find nothing).
            const BoundQuery remove = deleteStatement(row);
            transaction.execute(remove);
            BoundQuery again = w.selectHeld();
            if (!w.appendLocator(again, row, -1, {}))
                w.appendShownRow(again, row, -1);
            if (!transaction.select(again, w.data_->rows.columns(), 1).empty())
                return CellWriteResult{
                    WriteStatus::NotKept,
                    QStringLiteral("The row is still there after its DELETE; a rule or trigger "
                                   "on the table kept it. Nothing was deleted.")};
        }
        return CellWriteResult{};
    });
    w.source_ = &w.data_->rows;
    if (result.status == WriteStatus::Written) {
        result.deleted = w.snapshotRows_;
    } else {
        const QString which = at < names.size() ? names[at] : QString();
        result.message =
            QStringLiteral("Nothing was deleted (%1):\n\n%2").arg(which, result.message);
        if (w.shown_)
            result.rows.emplace_back(w.snapshotRows_[std::size_t(w.shown_->first)],
                                     std::move(w.shown_->second));
    }
    w.shown_.reset();
    return result;
}

CellWriteResult RowDeleter::remove(const std::vector<int>& rows) {
    CellWriteResult result = begin(rows);
    if (pending())
        result = finish();
    apply(result);
    return result;
}

} // namespace db
