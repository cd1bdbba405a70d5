#include "db/write/cellblockwrite.h"

#include "db/read/recordset.h"
#include "db/write/writetransaction.h"

#include <algorithm>

namespace db {

QString CellBlockWriter::cellName(const CellChange& cell) const {
    const QString row =
        cell.rowName.isEmpty() ? QStringLiteral("row %1").arg(cell.row + 1) : cell.rowName;
    return QStringLiteral("%1, column %2")
        .arg(row, writer_.data()->rows.columns()[std::size_t(cell.column)].name);
}

CellWriteResult CellBlockWriter::begin(std::vector<CellChange> cells) {
    cells_.clear();
    const auto refuse = [&](WriteStatus status, const CellChange& cell, const QString& why) {
        return CellWriteResult{status, QStringLiteral("Nothing was written: %1 %2")
                                           .arg(cellName(cell) + QLatin1Char(':'), why)};
    };
    if (!writer_.readOnlyReason().isEmpty())
        return {WriteStatus::ReadOnly, writer_.readOnlyReason()};
    const ResultTable& rows = writer_.data()->rows;
    // 1. Every value checked, before anything is sent.
    std::vector<int> copied;
    std::vector<Cell> planned;
    for (CellChange& cell : cells) {
        if (cell.row < 0 || cell.row >= rows.rowCount() || cell.column < 0 ||
            cell.column >= rows.columnCount())
            return {WriteStatus::ReadOnly, QStringLiteral("Nothing was written: a cell lies "
                                                          "outside the table's rows.")};
        if (!writer_.canWrite(cell.column))
            return refuse(WriteStatus::ReadOnly, cell, writer_.columnReadOnlyReason(cell.column));
        if (const QString why = writer_.cellReadOnlyReason(cell.row, cell.column); !why.isEmpty())
            return refuse(WriteStatus::ReadOnly, cell, why);
        const ColumnType type = writer_.columnType(cell.column);
        const auto written = asWritten_.find(cell.row);
        const CellValue now = written != asWritten_.end()
                                  ? written->second[std::size_t(cell.column)]
                                  : writer_.context().stored(cell.row, cell.column);
        if (cell.expected && !sameValue(type, now, *cell.expected))
            return refuse(WriteStatus::RowChanged, cell,
                          QStringLiteral("the grid shows %1 there now, not %2.")
                              .arg(quoted(type.info, now), quoted(type.info, *cell.expected)));
        const TypedValue typed = checkTyped(type, cell.value);
        if (!typed.accepted())
            return refuse(WriteStatus::DoesNotFit, cell, typed.refusal);
        if (locateRow(writer_.keys(), rows, cell.row).kind == LocatorKind::None)
            return refuse(WriteStatus::ReadOnly, cell,
                          QStringLiteral("nothing in this row tells it apart from others "
                                         "(its key holds NULL)."));
        if (now == typed.value)
            continue; // nothing to change
        auto at = std::find(copied.begin(), copied.end(), cell.row);
        if (at == copied.end())
            at = copied.insert(copied.end(), cell.row);
        planned.push_back({int(at - copied.begin()), cell.column, typed.value, cellName(cell)});
    }
    // 2. The rows as the grid shows them now: the write reads only this copy.
    if (!planned.empty()) {
        WriteContext& context = writer_.context();
        context.takeSnapshot(copied);
        for (std::size_t i = 0; i < copied.size(); ++i)
            if (const auto written = asWritten_.find(copied[i]); written != asWritten_.end())
                context.snapshot().replaceRow(int(i), written->second);
    }
    cells_ = std::move(planned);
    return {};
}

CellWriteResult CellBlockWriter::finish() {
    if (cells_.empty())
        return {};
    const std::vector<Cell> cells = std::move(cells_);
    cells_.clear();
    WriteContext& context = writer_.context();
    const WriteContext::CopyScope copy(context);
    std::optional<std::pair<int, RowValues>>& shown = context.shown();
    std::vector<std::pair<int, RowValues>> written; // copy, values
    QString failedCell;
    CellWriteResult result = context.transact([&](WriteTransaction& transaction) {
        for (const Cell& cell : cells) {
            failedCell = cell.rowName;
            CellWriteResult one =
                writer_.updateCell(transaction, cell.copy, cell.column, cell.value);
            if (one.status != WriteStatus::Written)
                return one;
            written.emplace_back(cell.copy, std::move(shown->second));
            shown.reset();
        }
        return CellWriteResult{};
    });
    const std::vector<int>& storedRows = context.snapshotRows();
    if (result.status == WriteStatus::Written) {
        // The last reading of each row is what the table holds now.
        for (auto it = written.rbegin(); it != written.rend(); ++it) {
            const int stored = storedRows[std::size_t(it->first)];
            const bool seen = std::any_of(result.rows.begin(), result.rows.end(),
                                          [&](const auto& r) { return r.first == stored; });
            if (!seen)
                result.rows.emplace_back(stored, std::move(it->second));
        }
    } else {
        result.message =
            QStringLiteral("Nothing was written (%1):\n\n%2").arg(failedCell, result.message);
        // A row one of whose cells was written before the refusal was found again by the
        // values written, which the rollback took back: what it found may be another row.
        const bool touched =
            shown && std::any_of(written.begin(), written.end(),
                                 [&](const auto& r) { return r.first == shown->first; });
        if (shown && !touched)
            result.rows.emplace_back(storedRows[std::size_t(shown->first)],
                                     std::move(shown->second));
    }
    return result;
}

CellWriteResult CellBlockWriter::write(std::vector<CellChange> cells) {
    return complete(*this, begin(std::move(cells)));
}

} // namespace db
