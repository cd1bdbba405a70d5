#include "db/read/filter.h"

#include "db/connect/connectionstate.h"
#include "db/dialect/tsql.h"
#include "db/odbc/dberror.h"
#include "db/read/recordset.h"
#include "db/values/sqltypes.h"
#include "db/values/valuekinds.h"
#include "db/values/valuerules.h"
#include "db/write/boundquery.h"
#include "db/write/tablekeys.h"

namespace db {
namespace {

using values::Kind;

bool isText(Kind kind) {
    return kind == Kind::Text || kind == Kind::FixedText || kind == Kind::WideText;
}

bool isNullTest(FilterOp op) {
    return op == FilterOp::IsNull || op == FilterOp::IsNotNull;
}

bool isPattern(FilterOp op) {
    return op == FilterOp::Contains || op == FilterOp::StartsWith;
}

// Why the condition cannot be sent; empty when it can. `sent` is then the checked value.
QString refusal(const FilterCondition& condition, const ColumnType& type, CellValue& sent) {
    if (isNullTest(condition.op))
        return {};
    const Kind kind = values::kindOf(type);
    const bool longText = isText(kind) && sqltypes::isLong(type.info.sqlType);
    if (isPattern(condition.op) && !isText(kind))
        return QStringLiteral("\u201C%1\u201D compares text, and the column does not hold text.")
            .arg(filterOpText(condition.op));
    if (longText && condition.op != FilterOp::Contains)
        return QStringLiteral("the server compares a text column only with \u201Ccontains\u201D "
                              "and the NULL tests.");
    const TypedValue typed = checkTyped(type, condition.value.toStdString());
    if (!typed.accepted())
        return typed.refusal;
    sent = typed.value;
    return {};
}

QString predicate(const FilterCondition& condition, const ColumnType& type, const CellValue& sent) {
    const QString& column = type.info.name;
    const Kind kind = values::kindOf(type);
    switch (condition.op) {
    case FilterOp::IsNull:
        return tsql::isNull(column, true);
    case FilterOp::IsNotNull:
        return tsql::isNull(column, false);
    case FilterOp::Contains:
    case FilterOp::StartsWith:
        return tsql::containsText(column, values::text(sent), condition.op == FilterOp::StartsWith);
    default:
        break;
    }
    const QString value = values::text(sent);
    const bool number = kind == Kind::Integer || kind == Kind::Bit || kind == Kind::Exact ||
                        kind == Kind::Approximate;
    const QString literal = number ? value : tsql::stringLiteral(value);
    static const QLatin1String ops[] = {QLatin1String("="), QLatin1String("<>"),
                                        QLatin1String("<"), QLatin1String("<="),
                                        QLatin1String(">"), QLatin1String(">=")};
    return tsql::compared(column, ops[int(condition.op)], literal);
}

} // namespace

ColumnTypeOf columnTypes(const RecordsetData& data, const TableKeys* keys) {
    const std::vector<ColumnInfo>* columns = &data.rows.columns();
    return [columns, keys](int column) {
        const auto c = std::size_t(column);
        return ColumnType{(*columns)[c],
                          keys && c < keys->typeNames.size() ? keys->typeNames[c] : QString(),
                          keys ? keys->charset : ServerCharset()};
    };
}

FilterCheck checkFilter(const Filter& filter, const RecordsetData& data, const TableKeys* keys) {
    QString where;
    return filterWhere(filter, data, keys, where);
}

FilterCheck filterWhere(const Filter& filter, const RecordsetData& data, const TableKeys* keys,
                        QString& where) {
    const ColumnTypeOf typeOf = columnTypes(data, keys);
    QStringList predicates;
    for (std::size_t i = 0; i < filter.conditions.size(); ++i) {
        const FilterCondition& condition = filter.conditions[i];
        if (condition.column < 0 || condition.column >= data.rows.columnCount())
            return {QStringLiteral("The filter names a column the table does not have."), int(i)};
        const ColumnType type = typeOf(condition.column);
        CellValue sent;
        const QString why = refusal(condition, type, sent);
        if (!why.isEmpty())
            return {type.info.name + QStringLiteral(": ") + why, int(i)};
        predicates << predicate(condition, type, sent);
    }
    where = tsql::whereAll(predicates);
    return {};
}

struct FilterRecheck::Check {
    int row;
    BoundQuery query;
};

FilterRecheck::FilterRecheck(const RecordsetData& data, const TableKeys& keys,
                             const std::vector<int>& storedRows)
    : connection_(data.connection) {
    // The filter's conditions as the rows were read with them.
    const QLatin1String kWhere(" WHERE ");
    const std::optional<TableName> table = tsql::tableFromSelect(data.source);
    if (!table || !connection_ || !data.where.startsWith(kWhere))
        return;
    const std::vector<ColumnInfo>& columns = data.rows.columns();
    for (int row : storedRows) {
        if (row < 0 || row >= data.rows.rowCount())
            continue;
        const RowLocator locator = locateRow(keys, data.rows, row);
        if (locator.columns.empty())
            continue;
        // "SELECT count(*) FROM t WHERE <the row> AND <the filter's conditions>"
        Check check{row, {}};
        check.query.sql = QStringLiteral("SELECT count(*) FROM ") + table->sql();
        for (std::size_t i = 0; i < locator.columns.size(); ++i) {
            const int c = locator.columns[i];
            check.query.sql += (i == 0 ? kWhere : QLatin1String(" AND ")) +
                               tsql::quoteIdentifier(columns[std::size_t(c)].name);
            const CellValue value = storedValue(data.rows, row, c);
            if (!value) {
                check.query.sql += QStringLiteral(" IS NULL");
                continue;
            }
            check.query.sql += QStringLiteral(" = ");
            check.query.appendParameter(columns[std::size_t(c)], *value);
        }
        check.query.sql += QStringLiteral(" AND ") + data.where.mid(kWhere.size());
        checks_.push_back(std::move(check));
    }
}

FilterRecheck::~FilterRecheck() = default;

std::vector<int> FilterRecheck::rows() const {
    std::vector<int> rows;
    for (const Check& check : checks_)
        rows.push_back(check.row);
    return rows;
}

std::vector<int> FilterRecheck::run(int timeoutSeconds) const {
    if (checks_.empty())
        return {};
    if (!connection_)
        throw DbError(QStringLiteral("The rows' connection is closed."), QStringLiteral("08003"));
    odbc::DriverConnection& connection = connection_->open();
    ColumnInfo one;
    one.sqlType = SQL_INTEGER;
    std::vector<int> outside;
    for (const Check& check : checks_) {
        const std::vector<RowValues> count =
            check.query.select(connection, {one}, timeoutSeconds, 1);
        if (count.size() != 1 || !count[0][0])
            throw DbError(QStringLiteral("The server did not count the row."),
                          QStringLiteral("HY000"));
        if (QString::fromStdString(*count[0][0]).trimmed() == QLatin1String("0"))
            outside.push_back(check.row);
    }
    return outside;
}

QString filterOpText(FilterOp op) {
    switch (op) {
    case FilterOp::Equal:
        return QStringLiteral("=");
    case FilterOp::NotEqual:
        return QStringLiteral("<>");
    case FilterOp::Less:
        return QStringLiteral("<");
    case FilterOp::LessOrEqual:
        return QStringLiteral("<=");
    case FilterOp::Greater:
        return QStringLiteral(">");
    case FilterOp::GreaterOrEqual:
        return QStringLiteral(">=");
    case FilterOp::Contains:
        return QStringLiteral("contains");
    case FilterOp::StartsWith:
        return QStringLiteral("starts with");
    case FilterOp::IsNull:
        return QStringLiteral("is NULL");
    case FilterOp::IsNotNull:
        return QStringLiteral("is not NULL");
    }
    return {};
}

} // namespace db
