// How the catalog procedures describe a column's type: its name and ODBC codes.

#include "types.h"

namespace tds::sqlite {

std::string typeName(AseType type) {
    switch (type) {
    case AseType::Int:
        return "int";
    case AseType::SmallInt:
        return "smallint";
    case AseType::TinyInt:
        return "tinyint";
    case AseType::BigInt:
        return "bigint";
    case AseType::Numeric:
        return "numeric";
    case AseType::Decimal:
        return "decimal";
    case AseType::Money:
        return "money";
    case AseType::SmallMoney:
        return "smallmoney";
    case AseType::Float:
        return "float";
    case AseType::Real:
        return "real";
    case AseType::DateTime:
        return "datetime";
    case AseType::SmallDateTime:
        return "smalldatetime";
    case AseType::Date:
        return "date";
    case AseType::Time:
        return "time";
    case AseType::BigDateTime:
        return "bigdatetime";
    case AseType::Char:
        return "char";
    case AseType::VarChar:
        return "varchar";
    case AseType::UniChar:
        return "unichar";
    case AseType::UniVarChar:
        return "univarchar";
    case AseType::Text:
        return "text";
    case AseType::UniText:
        return "unitext";
    case AseType::Image:
        return "image";
    case AseType::Bit:
        return "bit";
    case AseType::Binary:
        return "binary";
    case AseType::VarBinary:
        return "varbinary";
    case AseType::Timestamp:
        return "timestamp";
    }
    return "int";
}

int odbcType(const ColumnInfo& c) {
    switch (c.type) {
    case AseType::Int:
        return 4;
    case AseType::SmallInt:
        return 5;
    case AseType::TinyInt:
        return -6;
    case AseType::BigInt:
        return -5;
    case AseType::Numeric:
        return 2;
    case AseType::Decimal:
    case AseType::Money:
    case AseType::SmallMoney:
        return 3;
    case AseType::Float:
        return 8;
    case AseType::Real:
        return 7;
    case AseType::DateTime:
    case AseType::SmallDateTime:
    case AseType::BigDateTime:
        return 11;
    case AseType::Date:
        return 9;
    case AseType::Time:
        return 10;
    case AseType::Char:
        return 1;
    case AseType::VarChar:
        return 12;
    case AseType::UniChar:
        return -8;
    case AseType::UniVarChar:
        return -9;
    case AseType::Text:
        return -1;
    case AseType::UniText:
        return -10; // SQL_WLONGVARCHAR
    case AseType::Image:
        return -4;
    case AseType::Bit:
        return -7;
    case AseType::Binary:
    case AseType::Timestamp:
        return -2;
    case AseType::VarBinary:
        return -3;
    }
    return 12;
}

int odbcPrecision(const ColumnInfo& c) {
    switch (c.type) {
    case AseType::Int:
        return 10;
    case AseType::SmallInt:
        return 5;
    case AseType::TinyInt:
        return 3;
    case AseType::BigInt:
        return 19;
    case AseType::Numeric:
    case AseType::Decimal:
    case AseType::Money:
    case AseType::SmallMoney:
        return c.precision;
    case AseType::Float:
        return 15;
    case AseType::Real:
        return 7;
    case AseType::DateTime:
        return 23;
    case AseType::SmallDateTime:
        return 16;
    case AseType::BigDateTime:
        return 26;
    case AseType::Date:
        return 10;
    case AseType::Time:
        return 12;
    case AseType::Bit:
        return 1;
    default:
        return c.length;
    }
}

int odbcLength(const ColumnInfo& c) {
    switch (c.type) {
    case AseType::Int:
    case AseType::Real:
    case AseType::Date:
    case AseType::Time:
    case AseType::SmallDateTime:
    case AseType::SmallMoney:
        return 4;
    case AseType::SmallInt:
        return 2;
    case AseType::TinyInt:
    case AseType::Bit:
        return 1;
    case AseType::BigInt:
    case AseType::Float:
    case AseType::DateTime:
    case AseType::Money:
    case AseType::BigDateTime:
    case AseType::Timestamp:
        return 8;
    case AseType::Numeric:
    case AseType::Decimal:
        return c.precision + 2;
    case AseType::UniChar:
    case AseType::UniVarChar:
        return 2 * c.length;
    default:
        return c.length;
    }
}

} // namespace tds::sqlite
