// The steps of one cell write: check the typed value, find the row as the grid shows it,
// update it, confirm the server holds the typed value, commit; or roll back and say why.

#include "db/connectionstate.h"
#include "db/recordset.h"
#include "db/rowwriter.h"
#include "db/tsql.h"
#include "db/writetransaction.h"

namespace db {
namespace {

QString notSaved(const QString& why) {
    return QStringLiteral("The change was not saved: ") + why;
}

} // namespace

int RowWriter::firstDifference(int row, const RowValues& found) const {
    for (int c = 0; c < data_->rows.columnCount() && c < int(found.size()); ++c)
        if (!sameValue(typeOf(c), stored(row, c), found[std::size_t(c)]))
            return c;
    return -1;
}

QString RowWriter::changedMessage(int row, const RowValues& found, int differs) const {
    const ColumnInfo& info = data_->rows.columns()[std::size_t(differs)];
    return notSaved(QStringLiteral("someone else has changed this row since it was read "
                                   "(%1 now holds %2; the grid showed %3). The grid now shows "
                                   "the row as the table holds it.")
                        .arg(info.name, quoted(info, found[std::size_t(differs)]),
                             quoted(info, stored(row, differs))));
}

CellWriteResult RowWriter::checkShownRow(WriteTransaction& transaction, int row, int column) {
    const std::vector<ColumnInfo>& columns = data_->rows.columns();
    BoundQuery shown = selectHeld();
    appendShownRow(shown, row, column);
    // Rows are counted by reading them: no trigger runs for a SELECT. Read with holdlock,
    // they stay as read until the transaction ends.
    const std::vector<RowValues> found = transaction.select(shown, columns, 3);
    if (found.size() > 1)
        return {WriteStatus::Ambiguous,
                notSaved(QStringLiteral("the table holds other rows exactly like this one, and "
                                        "nothing tells them apart. Nothing was changed."))};
    if (found.size() == 1) {
        const int differs = firstDifference(row, found.front());
        if (differs < 0)
            return {};
        const QString message = changedMessage(row, found.front(), differs);
        shown_ = {row, found.front()};
        return {WriteStatus::RowChanged, message};
    }
    // Nothing holds what the grid shows: is the row still there by its key?
    BoundQuery located = selectHeld();
    const RowLocator locator = locateRow(keys_, *source_, row);
    if (locator.kind != LocatorKind::AllColumns && appendLocator(located, row, -1, {})) {
        const std::vector<RowValues> byKey = transaction.select(located, columns, 2);
        if (byKey.size() == 1) {
            const int differs = firstDifference(row, byKey.front());
            if (differs < 0)
                return {WriteStatus::ReadOnly,
                        notSaved(QStringLiteral("the server does not find this row by the values "
                                                "the grid shows, though it holds them: one of "
                                                "them cannot be carried exactly by the driver "
                                                "(a NUL character, say). Nothing was changed."))};
            const QString message = changedMessage(row, byKey.front(), differs);
            shown_ = {row, byKey.front()};
            return {WriteStatus::RowChanged, message};
        }
    }
    return {WriteStatus::RowVanished,
            notSaved(QStringLiteral("the row can no longer be found as it was read; it has "
                                    "been deleted or changed by someone else since (or it "
                                    "holds a value the driver cannot carry exactly, such as a "
                                    "NUL character)."))};
}

CellWriteResult RowWriter::checkKept(WriteTransaction& transaction, int row, int column,
                                     const CellValue& original, const CellValue& typed) {
    const ColumnType type = typeOf(column);
    BoundQuery after = selectHeld();
    appendLocator(after, row, column, typed);
    std::vector<RowValues> found = transaction.select(after, data_->rows.columns(), 3);
    for (const RowValues& values : found) {
        if (sameValue(type, values[std::size_t(column)], typed)) {
            shown_ = {row, values};
            return {};
        }
    }
    if (found.empty()) {
        BoundQuery before = selectHeld();
        appendLocator(before, row, column, original);
        found = transaction.select(before, data_->rows.columns(), 2);
    }
    if (found.size() == 1 && sameValue(type, found[0][std::size_t(column)], original))
        return {WriteStatus::NotKept,
                notSaved(QStringLiteral("the server left the value as it was; a rule or trigger "
                                        "on the table ignored the change."))};
    if (found.size() == 1)
        return {WriteStatus::NotKept,
                notSaved(QStringLiteral("the server would hold %1 instead of the value typed; "
                                        "a rule or trigger on the table, or the column's type, "
                                        "changed it. Nothing was changed.")
                             .arg(quoted(type.info, found[0][std::size_t(column)])))};
    return {WriteStatus::NotKept,
            notSaved(QStringLiteral("after the update the row could not be found again (a "
                                    "trigger on the table may have changed or removed it). "
                                    "Nothing was changed."))};
}

CellWriteResult RowWriter::failed(int row, int column, const CellValue& original,
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

CellWriteResult RowWriter::write(int row, int column, const CellValue& value) {
    CellWriteResult result = begin(row, column, value);
    if (pending())
        result = finish();
    apply(result);
    return result;
}

CellWriteResult RowWriter::begin(int row, int column, const CellValue& value) {
    pending_.reset();
    if (!canWrite(column))
        return {WriteStatus::ReadOnly, reason_.isEmpty() ? columnReadOnlyReason(column) : reason_};
    if (const QString reason = cellReadOnlyReason(row, column); !reason.isEmpty())
        return {WriteStatus::ReadOnly, reason};
    if (stored(row, column) == value)
        return {};
    const TypedValue typed = checkTyped(typeOf(column), value);
    if (!typed.accepted())
        return {WriteStatus::DoesNotFit, notSaved(typed.refusal)};
    if (locateRow(keys_, data_->rows, row).kind == LocatorKind::None)
        return {WriteStatus::ReadOnly,
                notSaved(QStringLiteral("nothing in this row tells it apart from others "
                                        "(its key holds NULL)."))};
    // The row as the grid shows it now: the write reads only this copy, so the stored
    // rows may go on growing meanwhile.
    takeSnapshot({row});
    pending_ = Pending{row, column, typed.value};
    return {};
}

CellWriteResult RowWriter::finish() {
    if (!pending_)
        return {};
    const Pending pending = *pending_;
    pending_.reset();
    source_ = &snapshot_;
    shown_.reset();
    CellWriteResult result = talk(0, pending.column, pending.typed);
    source_ = &data_->rows;
    if (shown_)
        result.row = std::make_pair(pending.row, std::move(shown_->second));
    shown_.reset();
    return result;
}

CellWriteResult RowWriter::talk(int row, int column, const CellValue& typed) {
    return transact(
        [&](WriteTransaction& transaction) { return updateCell(transaction, row, column, typed); });
}

} // namespace db
