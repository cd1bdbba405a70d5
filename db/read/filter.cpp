#include "db/read/filter.h"

#include "db/read/recordset.h"
#include "db/values/valuerules.h"
#include "db/write/tablekeys.h"

namespace db {

ColumnTypeOf columnTypes(const RecordsetData& data, const TableKeys* keys) {
    const std::vector<ColumnInfo>* columns = &data.rows.columns();
    return [columns, keys](int column) {
        const auto c = std::size_t(column);
        return ColumnType{(*columns)[c],
                          keys && c < keys->typeNames.size() ? keys->typeNames[c] : QString(),
                          keys ? keys->charset : ServerCharset()};
    };
}

FilterCheck checkFilter(const Filter&, const RecordsetData&, const TableKeys*) {
    return {};
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
