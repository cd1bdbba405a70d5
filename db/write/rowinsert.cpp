#include "db/write/rowinsert.h"

#include "db/dialect/tsql.h"
#include "db/read/recordset.h"
#include "db/write/rowmatch.h"
#include "db/write/writetransaction.h"

#include <sqlext.h>

#include <algorithm>

namespace db {
namespace {

QString notAdded(const QString& why) {
    return QStringLiteral("The row was not added: ") + why;
}

} // namespace

QString RowInserter::columnReason(int column) const {
    const TableKeys& keys = writer_.keys();
    if (column < 0 || column >= int(keys.roles.size()))
        return {};
    switch (keys.roles[std::size_t(column)]) {
    case ColumnRole::Identity:
        return QStringLiteral("Filled by the server: an identity column, numbered when the row "
                              "is added.");
    case ColumnRole::RowVersion:
        return QStringLiteral("Filled by the server: a timestamp column, set when the row is "
                              "added.");
    case ColumnRole::Computed:
        return QStringLiteral("Filled by the server: it computes this column.");
    case ColumnRole::Plain:
        break;
    }
    return writer_.columnReadOnlyReason(column);
}

bool RowInserter::filledByServer(int column) const {
    const TableKeys& keys = writer_.keys();
    return column >= 0 && column < int(keys.roles.size()) &&
           keys.roles[std::size_t(column)] != ColumnRole::Plain;
}

bool RowInserter::needsValue(int column) const {
    const TableKeys& keys = writer_.keys();
    if (column < 0 || column >= int(keys.roles.size()) || !columnReason(column).isEmpty())
        return false;
    const bool defaulted =
        std::size_t(column) < keys.hasDefault.size() && keys.hasDefault[std::size_t(column)];
    return !writer_.data()->rows.columns()[std::size_t(column)].nullable && !defaulted;
}

CellWriteResult RowInserter::begin(const NewRowValues& values) {
    return beginRows({values}, {});
}

QString RowInserter::notAddedIn(const QString& rowName, const QString& why) const {
    if (rowName.isEmpty())
        return notAdded(why);
    return QStringLiteral("No row was added: %1, %2").arg(rowName, why);
}

CellWriteResult RowInserter::beginRows(const std::vector<NewRowValues>& rows,
                                       const std::vector<QString>& rowNames) {
    pending_ = false;
    rows_.clear();
    rowNames_.clear();
    values_.assign(std::size_t(writer_.data()->rows.columnCount()), std::nullopt);
    if (!writer_.readOnlyReason().isEmpty())
        return {WriteStatus::ReadOnly, writer_.readOnlyReason()};
    if (!writer_.keys().mayInsert)
        return {WriteStatus::ReadOnly, kNoInsertReason};
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const QString name = rows.size() > 1 && r < rowNames.size() ? rowNames[r] : QString();
        NewRowValues checked(values_.size());
        bool any = false;
        for (std::size_t c = 0; c < rows[r].size() && c < checked.size(); ++c) {
            if (!rows[r][c])
                continue;
            const ColumnInfo& info = writer_.data()->rows.columns()[c];
            if (const QString why = columnReason(int(c)); !why.isEmpty())
                return {WriteStatus::ReadOnly,
                        notAddedIn(name, info.name + QStringLiteral(": ") + why)};
            const TypedValue typed = checkTyped(writer_.columnType(int(c)), *rows[r][c]);
            if (!typed.accepted())
                return {WriteStatus::DoesNotFit,
                        notAddedIn(name, info.name + QStringLiteral(": ") + typed.refusal)};
            checked[c] = typed.value;
            any = true;
        }
        // A column that needs a value and has none would only be refused by the server.
        for (std::size_t c = 0; any && c < checked.size(); ++c)
            if (!checked[c].value_or(std::nullopt) && needsValue(int(c)))
                return {WriteStatus::DoesNotFit,
                        notAddedIn(name, writer_.data()->rows.columns()[c].name +
                                             QStringLiteral(" needs a value: the column does not "
                                                            "allow NULL and has no default."))};
        if (any) {
            rows_.push_back(std::move(checked));
            rowNames_.push_back(r < rowNames.size() ? rowNames[r] : QString());
        }
    }
    pending_ = !rows_.empty();
    if (pending_)
        values_ = rows_.front();
    return {};
}

BoundQuery RowInserter::insertStatement() const {
    const std::vector<ColumnInfo>& columns = writer_.data()->rows.columns();
    BoundQuery insert;
    insert.sql = QStringLiteral("INSERT INTO ") + writer_.keys().table.sql() + QStringLiteral(" (");
    QString separator;
    for (std::size_t c = 0; c < values_.size(); ++c) {
        if (values_[c]) {
            insert.sql += separator + tsql::quoteIdentifier(columns[c].name);
            separator = QStringLiteral(", ");
        }
    }
    insert.sql += QStringLiteral(") VALUES (");
    separator.clear();
    for (std::size_t c = 0; c < values_.size(); ++c) {
        if (!values_[c])
            continue;
        insert.sql += separator;
        separator = QStringLiteral(", ");
        if (*values_[c])
            insert.appendParameter(columns[c], **values_[c]);
        else
            insert.sql += QStringLiteral("NULL");
    }
    insert.sql += QLatin1Char(')');
    return insert;
}

bool RowInserter::holdsGiven(const RowValues& row, int& differs) const {
    for (std::size_t c = 0; c < values_.size(); ++c) {
        if (values_[c] && !sameValue(writer_.columnType(int(c)), row[c], *values_[c])) {
            differs = int(c);
            return false;
        }
    }
    return true;
}

std::vector<RowValues> RowInserter::readBack(WriteTransaction& transaction, bool& byValues) {
    const TableKeys& keys = writer_.keys();
    const std::vector<ColumnInfo>& columns = writer_.data()->rows.columns();
    byValues = false;
    const auto byColumns = [&](const std::vector<int>& key, const RowValues& given) {
        BoundQuery query = writer_.context().selectAll();
        bool first = true;
        for (int c : key)
            appendCondition(writer_.context(), query, first, c, given[std::size_t(c)]);
        return transaction.select(query, columns, 3);
    };
    RowValues given(values_.size());
    for (std::size_t c = 0; c < values_.size(); ++c)
        if (values_[c])
            given[c] = *values_[c];
    // 1. The identity the server gave the row.
    const auto identity = std::find(keys.roles.begin(), keys.roles.end(), ColumnRole::Identity);
    if (identity != keys.roles.end()) {
        BoundQuery ask;
        ask.sql = tsql::kLastIdentity;
        ColumnInfo number;
        number.sqlType = SQL_NUMERIC;
        const std::vector<RowValues> id = transaction.select(ask, {number}, 1);
        if (id.size() == 1 && id[0][0] && *id[0][0] != "0") {
            const int c = int(identity - keys.roles.begin());
            RowValues byIdentity = given;
            byIdentity[std::size_t(c)] = id[0][0];
            std::vector<RowValues> found = byColumns({c}, byIdentity);
            // @@identity is the last identity any insert took, a trigger's into another
            // table included: it names the typed row only when that row holds the values.
            int differs = -1;
            if (found.size() == 1 && holdsGiven(found.front(), differs))
                return found;
        }
    }
    // 2. A key whose every value was given.
    const auto allGiven = [&](const std::vector<int>& key) {
        return !key.empty() && std::all_of(key.begin(), key.end(), [&](int c) {
            return values_[std::size_t(c)] && *values_[std::size_t(c)];
        });
    };
    if (allGiven(keys.primaryKey))
        return byColumns(keys.primaryKey, given);
    for (const std::vector<int>& key : keys.uniqueKeys)
        if (allGiven(key))
            return byColumns(key, given);
    // 3. Every value given that the server compares exactly.
    byValues = true;
    BoundQuery query = writer_.context().selectHeld();
    if (!appendGiven(query))
        return {};
    return transaction.select(query, columns, 1000);
}

bool RowInserter::appendGiven(BoundQuery& query) const {
    bool first = true;
    for (std::size_t c = 0; c < values_.size(); ++c)
        if (values_[c] && writer_.keys().equality[c])
            appendCondition(writer_.context(), query, first, int(c), *values_[c]);
    return !first;
}

std::optional<long long> RowInserter::countGiven(WriteTransaction& transaction) const {
    const TableKeys& keys = writer_.keys();
    const auto given = [&](const std::vector<int>& key) {
        return !key.empty() && std::all_of(key.begin(), key.end(), [&](int c) {
            return values_[std::size_t(c)] && *values_[std::size_t(c)];
        });
    };
    if (given(keys.primaryKey) ||
        std::any_of(keys.uniqueKeys.begin(), keys.uniqueKeys.end(), given))
        return std::nullopt; // the key finds the new row
    BoundQuery count = writer_.context().selectHeld(true);
    if (!appendGiven(count))
        return std::nullopt;
    return WriteContext::countRows(transaction, count);
}

CellWriteResult RowInserter::insertOne(WriteTransaction& transaction,
                                       std::optional<RowValues>& added, QString& note) {
    const std::vector<ColumnInfo>& columns = writer_.data()->rows.columns();
    // Rows already holding the values given, when nothing else will find the new row.
    const std::optional<long long> before = countGiven(transaction);
    transaction.execute(insertStatement());
    bool byValues = false;
    std::vector<RowValues> found = readBack(transaction, byValues);
    if (byValues && before) {
        // 4. Exactly one more row holds them: the new row, or one exactly like it.
        const std::optional<long long> after = countGiven(transaction);
        if (after && *after == *before)
            return CellWriteResult{
                WriteStatus::NotKept,
                notAdded(QStringLiteral("a rule or trigger on the table changed the new row, "
                                        "and other rows hold the values typed; without a "
                                        "key the new row cannot be told from them. Nothing "
                                        "was added."))};
        if (after && *after != *before + 1)
            return CellWriteResult{
                WriteStatus::Ambiguous,
                notAdded(QStringLiteral("the insert added %1 rows holding the values typed "
                                        "instead of one. Nothing was added.")
                             .arg(*after - *before))};
    }
    int differs = -1;
    std::vector<RowValues> holding;
    for (RowValues& row : found)
        if (holdsGiven(row, differs))
            holding.push_back(std::move(row));
    if (holding.empty() && found.size() == 1 && !byValues && differs >= 0)
        return CellWriteResult{
            WriteStatus::NotKept,
            notAdded(QStringLiteral("the server would hold %1 in %2 instead of the value "
                                    "typed; a rule or trigger on the table, or the column's "
                                    "type, changed it. Nothing was added.")
                         .arg(quoted(columns[std::size_t(differs)], found[0][std::size_t(differs)]),
                              columns[std::size_t(differs)].name))};
    if (holding.empty())
        return CellWriteResult{
            WriteStatus::NotKept,
            notAdded(QStringLiteral("after the insert the row could not be found again (a "
                                    "trigger on the table may have changed or removed it). "
                                    "Nothing was added."))};
    const bool alike = std::all_of(holding.begin(), holding.end(), [&](const RowValues& r) {
        for (std::size_t c = 0; c < r.size(); ++c)
            if (!sameValue(writer_.columnType(int(c)), r[c], holding.front()[c]))
                return false;
        return true;
    });
    if (holding.size() == 1 || alike)
        added = holding.front();
    if (holding.size() > 1)
        note = alike ? QStringLiteral("The row was added. The table holds another row exactly "
                                      "like it, so neither can be edited.")
                     : QStringLiteral("The row was added, but other rows hold the same "
                                      "values and it cannot be told apart from them; read "
                                      "the table again (F5) to see it.");
    return CellWriteResult{};
}

CellWriteResult RowInserter::finish() {
    if (!pending_)
        return {};
    pending_ = false;
    WriteContext& context = writer_.context();
    std::vector<RowValues> added;
    QString note;
    std::size_t failedRow = 0;
    CellWriteResult result = context.transact([&](WriteTransaction& transaction) {
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            failedRow = r;
            values_ = rows_[r];
            std::optional<RowValues> one;
            CellWriteResult step = insertOne(transaction, one, note);
            if (step.status != WriteStatus::Written)
                return step;
            if (one)
                added.push_back(std::move(*one));
        }
        return CellWriteResult{};
    });
    if (result.status == WriteStatus::Written) {
        if (!added.empty()) {
            result.appended = std::move(added.front());
            result.appendedMore.assign(std::make_move_iterator(added.begin() + 1),
                                       std::make_move_iterator(added.end()));
        }
        result.message = note;
    } else {
        result.message.replace(QLatin1String("The change was not saved"),
                               QLatin1String("The row was not added"));
        if (rows_.size() > 1) {
            result.message.replace(QLatin1String("The row was not added: "), QString());
            result.message = QStringLiteral("No row was added: %1, %2")
                                 .arg(rowNames_[failedRow], result.message);
        }
    }
    context.shown().reset();
    return result;
}

CellWriteResult RowInserter::insert(const NewRowValues& values) {
    return complete(*this, begin(values));
}

} // namespace db
