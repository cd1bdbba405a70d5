#include "db/write/rowmatch.h"

#include "db/dialect/tsql.h"
#include "db/read/recordset.h"
#include "db/write/writetransaction.h"

#include <algorithm>

namespace db {
namespace {

bool contains(const std::vector<int>& columns, int column) {
    return std::find(columns.begin(), columns.end(), column) != columns.end();
}

} // namespace

void appendCondition(const WriteContext& context, BoundQuery& query, bool& first, int column,
                     const CellValue& value) {
    const ColumnInfo& info = context.columns()[std::size_t(column)];
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

void appendShownRow(const WriteContext& context, BoundQuery& query, int row, int column) {
    const RowLocator locator = locateRow(context.keys(), context.source(), row);
    std::vector<int> compared = locator.columns;
    bool first = true;
    const auto compare = [&](int c) {
        // A value the server's set lacks cannot be sent; the read compares it instead.
        if (contains(compared, c) || !context.keys().sendable(context.source(), row, c))
            return;
        compared.push_back(c);
        appendCondition(context, query, first, c, context.stored(row, c));
    };
    for (int c : locator.columns)
        appendCondition(context, query, first, c, context.stored(row, c));
    // The edited column as it was read (or every comparable one), and the row's version:
    // a change made by someone else since the read matches no row.
    for (int c = 0; c < int(context.keys().equality.size()); ++c)
        if ((c == column || column < 0) && context.keys().equality[std::size_t(c)])
            compare(c);
    if (context.keys().rowVersion >= 0)
        compare(context.keys().rowVersion);
}

bool appendLocator(const WriteContext& context, BoundQuery& query, int row, int column,
                   const CellValue& value) {
    const RowLocator locator = locateRow(context.keys(), context.source(), row);
    bool first = true;
    for (int c : locator.columns) {
        // What the server sets itself may differ now; it does not find the row.
        const ColumnRole role = context.keys().roles[std::size_t(c)];
        if (role == ColumnRole::RowVersion || role == ColumnRole::Computed)
            continue;
        appendCondition(context, query, first, c, c == column ? value : context.stored(row, c));
    }
    return !first;
}

int firstDifference(const WriteContext& context, int row, const RowValues& found) {
    for (int c = 0; c < int(context.columns().size()) && c < int(found.size()); ++c)
        if (!sameValue(context.typeOf(c), context.stored(row, c), found[std::size_t(c)]))
            return c;
    return -1;
}

QString changedMessage(const WriteContext& context, int row, const RowValues& found, int differs) {
    const ColumnInfo& info = context.columns()[std::size_t(differs)];
    return notSaved(QStringLiteral("someone else has changed this row since it was read "
                                   "(%1 now holds %2; the grid showed %3). The grid now shows "
                                   "the row as the table holds it.")
                        .arg(info.name, quoted(info, found[std::size_t(differs)]),
                             quoted(info, context.stored(row, differs))));
}

CellWriteResult checkShownRow(WriteContext& context, WriteTransaction& transaction, int row,
                              int column) {
    const std::vector<ColumnInfo>& columns = context.columns();
    BoundQuery shown = context.selectHeld();
    appendShownRow(context, shown, row, column);
    // Rows are counted by reading them: no trigger runs for a SELECT. Read with holdlock,
    // they stay as read until the transaction ends.
    const std::vector<RowValues> found = transaction.select(shown, columns, 3);
    if (found.size() > 1)
        return {WriteStatus::Ambiguous,
                notSaved(QStringLiteral("the table holds other rows exactly like this one, and "
                                        "nothing tells them apart. Nothing was changed."))};
    if (found.size() == 1) {
        const int differs = firstDifference(context, row, found.front());
        if (differs < 0)
            return {};
        const QString message = changedMessage(context, row, found.front(), differs);
        context.shown() = {row, found.front()};
        return {WriteStatus::RowChanged, message};
    }
    // Nothing holds what the grid shows: is the row still there by its key?
    BoundQuery located = context.selectHeld();
    const RowLocator locator = locateRow(context.keys(), context.source(), row);
    if (locator.kind != LocatorKind::AllColumns && appendLocator(context, located, row, -1, {})) {
        const std::vector<RowValues> byKey = transaction.select(located, columns, 2);
        if (byKey.size() == 1) {
            const int differs = firstDifference(context, row, byKey.front());
            if (differs < 0)
                return {WriteStatus::ReadOnly,
                        notSaved(QStringLiteral("the server does not find this row by the values "
                                                "the grid shows, though it holds them: one of "
                                                "them cannot be carried exactly by the driver "
                                                "(a NUL character, say). Nothing was changed."))};
            const QString message = changedMessage(context, row, byKey.front(), differs);
            context.shown() = {row, byKey.front()};
            return {WriteStatus::RowChanged, message};
        }
    }
    return {WriteStatus::RowVanished,
            notSaved(QStringLiteral("the row can no longer be found as it was read; it has "
                                    "been deleted or changed by someone else since (or it "
                                    "holds a value the driver cannot carry exactly, such as a "
                                    "NUL character)."))};
}

CellWriteResult checkKept(WriteContext& context, WriteTransaction& transaction, int row, int column,
                          const CellValue& original, const CellValue& typed) {
    const ColumnType type = context.typeOf(column);
    BoundQuery after = context.selectHeld();
    appendLocator(context, after, row, column, typed);
    std::vector<RowValues> found = transaction.select(after, context.columns(), 3);
    for (const RowValues& values : found) {
        if (sameValue(type, values[std::size_t(column)], typed)) {
            context.shown() = {row, values};
            return {};
        }
    }
    if (found.empty()) {
        BoundQuery before = context.selectHeld();
        appendLocator(context, before, row, column, original);
        found = transaction.select(before, context.columns(), 2);
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

std::optional<long long> countAlike(const WriteContext& context, WriteTransaction& transaction,
                                    int row, int column, const CellValue& value) {
    if (locateRow(context.keys(), context.source(), row).kind != LocatorKind::AllColumns)
        return std::nullopt;
    BoundQuery alike = context.selectHeld(true);
    if (!appendLocator(context, alike, row, column, value))
        return std::nullopt;
    return WriteContext::countRows(transaction, alike);
}

CellWriteResult checkAlike(WriteContext& context, WriteTransaction& transaction, int row,
                           int column, const CellValue& typed, long long before) {
    const std::vector<int> located = locateRow(context.keys(), context.source(), row).columns;
    const bool joins = std::find(located.begin(), located.end(), column) != located.end() &&
                       !sameValue(context.typeOf(column), context.current().original, typed);
    const long long after = countAlike(context, transaction, row, column, typed).value_or(before);
    const long long expected = before + (joins ? 1 : 0);
    if (after == expected)
        return {};
    context.shown().reset();
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

} // namespace db
