#include "db/sqltypes.h"

#include "db/tsql.h"

#include <sqlext.h>

namespace db::sqltypes {

SqlType classify(short sqlType) {
    // {family, wide, fixed, long, exact}
    switch (sqlType) {
    case SQL_CHAR:
        return {Family::Text, false, true, false, true};
    case SQL_VARCHAR:
        return {Family::Text, false, false, false, true};
    case SQL_LONGVARCHAR:
        return {Family::Text, false, false, true, false};
    case SQL_WCHAR:
        return {Family::Text, true, true, false, true};
    case SQL_WVARCHAR:
        return {Family::Text, true, false, false, true};
    case SQL_WLONGVARCHAR:
        return {Family::Text, true, false, true, false};
    case SQL_BINARY:
        return {Family::Binary, false, true, false, true};
    case SQL_VARBINARY:
        return {Family::Binary, false, false, false, true};
    case SQL_LONGVARBINARY:
        return {Family::Binary, false, false, true, false};
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
        return {Family::Integer, false, false, false, true};
    case SQL_BIT:
        return {Family::Bit, false, false, false, true};
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return {Family::Decimal, false, false, false, true};
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return {Family::Approximate, false, false, false, false};
    case SQL_DATE:
    case SQL_TYPE_DATE:
        return {Family::Date, false, false, false, true};
    case SQL_TIME:
    case SQL_TYPE_TIME:
        return {Family::Time, false, false, false, true};
    case tsql::kTimeType:
        return {Family::Time, false, false, false, false};
    case SQL_TIMESTAMP:
    case SQL_TYPE_TIMESTAMP:
        return {Family::Stamp, false, false, false, true};
    case SQL_GUID:
        return {Family::Other, false, false, false, true};
    default:
        return {};
    }
}

bool isCharacter(short sqlType) {
    return classify(sqlType).family == Family::Text;
}

bool isBinary(short sqlType) {
    return classify(sqlType).family == Family::Binary;
}

bool isLong(short sqlType) {
    return classify(sqlType).isLong;
}

bool isApproximate(short sqlType) {
    return classify(sqlType).family == Family::Approximate;
}

bool isExact(short sqlType) {
    return classify(sqlType).exact;
}

bool isNumeric(short sqlType) {
    const Family family = classify(sqlType).family;
    return family == Family::Integer || family == Family::Decimal || family == Family::Approximate;
}

bool isFixedText(short sqlType) {
    const SqlType type = classify(sqlType);
    return type.family == Family::Text && type.fixed;
}

} // namespace db::sqltypes
