#include "db/write/rowdelete.h"

#include "db/read/recordset.h"
#include "db/write/rowmatch.h"
#include "db/write/writetransaction.h"

#include <algorithm>
#include <unordered_map>

namespace db {

BoundQuery RowDeleter::deleteStatement(int row) const {
    BoundQuery query;
    query.sql = QStringLiteral("DELETE FROM ") + writer_.keys().table.sql();
    appendShownRow(writer_.context(), query, row, -1);
    return query;
}

CellWriteResult RowDeleter::begin(const std::vector<int>& rows,
                                  const std::vector<QString>& rowNames,
                                  const std::vector<int>& shownAlike) {
    names_.clear();
    twins_.clear();
    if (!writer_.readOnlyReason().isEmpty())
        return {WriteStatus::ReadOnly, writer_.readOnlyReason()};
    if (!writer_.keys().mayDelete)
        return {WriteStatus::ReadOnly, kNoDeleteReason};
    const ResultTable& stored = writer_.data()->rows;
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
        if (locateRow(writer_.keys(), stored, row).kind == LocatorKind::None)
            return {WriteStatus::ReadOnly,
                    QStringLiteral("Nothing was deleted: nothing in %1 tells it apart from "
                                   "other rows (its key holds NULL).")
                        .arg(names.back())};
    }
    if (rows.empty())
        return {};
    // Twins go together: each group of selected rows holding the same values must be every
    // row the grid shows holding them. The first row of a group deletes them all.
    std::vector<int> twins(rows.size(), 1);
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int alike = i < shownAlike.size() ? shownAlike[i] : 1;
        if (alike <= 1)
            continue;
        std::vector<std::size_t>& firsts = groups[rowHash(stored, rows[i])];
        const auto first = std::find_if(firsts.begin(), firsts.end(), [&](std::size_t j) {
            return sameRow(stored, rows[j], rows[i]);
        });
        if (first == firsts.end()) {
            firsts.push_back(i);
            continue;
        }
        ++twins[*first];
        twins[i] = 0;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int alike = i < shownAlike.size() ? shownAlike[i] : 1;
        if (twins[i] > 0 && alike > 1 && twins[i] != alike)
            return {WriteStatus::Ambiguous,
                    QStringLiteral("Nothing was deleted: %1 is one of %2 twins, rows holding "
                                   "exactly the same values that nothing in this table tells "
                                   "apart, and %3 of them %4 selected. Select all %2 to delete "
                                   "them together.")
                        .arg(names[i])
                        .arg(alike)
                        .arg(twins[i])
                        .arg(twins[i] == 1 ? QStringLiteral("is") : QStringLiteral("are"))};
    }
    writer_.context().takeSnapshot(rows);
    names_ = std::move(names);
    twins_ = std::move(twins);
    return {};
}

CellWriteResult RowDeleter::removeRow(WriteTransaction& transaction, int row, int twins) {
    WriteContext& context = writer_.context();
    context.setCurrent({row, -1, {}});
    // 1. Exactly one row holds what the grid shows; for twins, exactly as many as the grid
    // shows, each holding it (read with holdlock: no row joins them until the end).
    if (twins <= 1) {
        CellWriteResult found = checkShownRow(context, transaction, row, -1);
        if (found.status != WriteStatus::Written)
            return found;
    } else {
        BoundQuery shown = context.selectHeld();
        appendShownRow(context, shown, row, -1);
        const std::vector<RowValues> found =
            transaction.select(shown, context.columns(), std::size_t(twins) + 1);
        for (const RowValues& values : found)
            if (const int differs = firstDifference(context, row, values); differs >= 0)
                return {WriteStatus::RowChanged, changedMessage(context, row, values, differs)};
        if (found.size() > std::size_t(twins))
            return {WriteStatus::Ambiguous,
                    QStringLiteral("The table holds more rows exactly like it than the %1 the "
                                   "grid shows: another user has added one since the table was "
                                   "read, or the grid has not read the whole table yet. Nothing "
                                   "was deleted.")
                        .arg(twins)};
        if (found.size() < std::size_t(twins))
            return {WriteStatus::RowVanished,
                    QStringLiteral("The table holds %1 of the %2 rows exactly like it that the "
                                   "grid shows: another user has deleted or changed the others "
                                   "since. Nothing was deleted.")
                        .arg(found.size())
                        .arg(twins)};
    }
    // 2. It goes, and is looked for again as the grid showed it: by its key, or by
    // every value in a table without one (never by the DELETE's own condition,
    // which a change made meanwhile would make find nothing).
    transaction.execute(deleteStatement(row));
    BoundQuery again = context.selectHeld();
    if (!appendLocator(context, again, row, -1, {}))
        appendShownRow(context, again, row, -1);
    if (!transaction.select(again, context.columns(), 1).empty())
        return {WriteStatus::NotKept,
                QStringLiteral("The row is still there after its DELETE; a rule or trigger "
                               "on the table kept it. Nothing was deleted.")};
    return {};
}

CellWriteResult RowDeleter::finish() {
    if (names_.empty())
        return {};
    const std::vector<QString> names = std::move(names_);
    const std::vector<int> twins = std::move(twins_);
    names_.clear();
    twins_.clear();
    WriteContext& context = writer_.context();
    const WriteContext::CopyScope copy(context);
    std::size_t at = 0;
    CellWriteResult result = context.transact([&](WriteTransaction& transaction) {
        for (at = 0; at < names.size(); ++at) {
            if (twins[at] == 0) // deleted with its first twin
                continue;
            CellWriteResult removed = removeRow(transaction, int(at), twins[at]);
            if (removed.status != WriteStatus::Written)
                return removed;
        }
        return CellWriteResult{};
    });
    if (result.status == WriteStatus::Written) {
        result.deleted = context.snapshotRows();
    } else {
        const QString which = at < names.size() ? names[at] : QString();
        result.message =
            QStringLiteral("Nothing was deleted (%1):\n\n%2").arg(which, result.message);
        if (auto& shown = context.shown())
            result.rows.emplace_back(context.snapshotRows()[std::size_t(shown->first)],
                                     std::move(shown->second));
    }
    return result;
}

CellWriteResult RowDeleter::remove(const std::vector<int>& rows) {
    return complete(*this, begin(rows));
}

} // namespace db
