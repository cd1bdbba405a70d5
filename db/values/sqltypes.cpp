#include "db/values/sqltypes.h"

#include "db/dialect/tsql.h"

#include <sqlext.h>

namespace db::sqltypes {

namespace {

struct Code {
    short code;
    SqlType type; // {family, wide, fixed, long, exact}
};

constexpr Code kCodes[] = {
    {SQL_CHAR, {Family::Text, false, true, false, true}},
    {SQL_VARCHAR, {Family::Text, false, false, false, true}},
    {SQL_LONGVARCHAR, {Family::Text, false, false, true, false}},
    {SQL_WCHAR, {Family::Text, true, true, false, true}},
    {SQL_WVARCHAR, {Family::Text, true, false, false, true}},
    {SQL_WLONGVARCHAR, {Family::Text, true, false, true, false}},
    {SQL_BINARY, {Family::Binary, false, true, false, true}},
    {SQL_VARBINARY, {Family::Binary, false, false, false, true}},
    {SQL_LONGVARBINARY, {Family::Binary, false, false, true, false}},
    {SQL_TINYINT, {Family::Integer, false, false, false, true}},
    {SQL_SMALLINT, {Family::Integer, false, false, false, true}},
    {SQL_INTEGER, {Family::Integer, false, false, false, true}},
    {SQL_BIGINT, {Family::Integer, false, false, false, true}},
    {SQL_BIT, {Family::Bit, false, false, false, true}},
    {SQL_NUMERIC, {Family::Decimal, false, false, false, true}},
    {SQL_DECIMAL, {Family::Decimal, false, false, false, true}},
    {SQL_REAL, {Family::Approximate, false, false, false, false}},
    {SQL_FLOAT, {Family::Approximate, false, false, false, false}},
    {SQL_DOUBLE, {Family::Approximate, false, false, false, false}},
    {SQL_DATE, {Family::Date, false, false, false, true}},
    {SQL_TYPE_DATE, {Family::Date, false, false, false, true}},
    {SQL_TIME, {Family::Time, false, false, false, true}},
    {SQL_TYPE_TIME, {Family::Time, false, false, false, true}},
    {tsql::kTimeType, {Family::Time, false, false, false, false}},
    {SQL_TIMESTAMP, {Family::Stamp, false, false, false, true}},
    {SQL_TYPE_TIMESTAMP, {Family::Stamp, false, false, false, true}},
    {SQL_GUID, {Family::Other, false, false, false, true}},
};

} // namespace

SqlType classify(short sqlType) {
    for (const Code& c : kCodes)
        if (c.code == sqlType)
            return c.type;
    return {};
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
