#include "db/resultreader.h"

#include <string>
#include <vector>

namespace db {
namespace {

bool isBinaryType(SQLSMALLINT type) {
    return type == SQL_BINARY || type == SQL_VARBINARY || type == SQL_LONGVARBINARY;
}

SQLLEN numericAttribute(const odbc::Statement& statement, SQLUSMALLINT column, SQLUSMALLINT field) {
    SQLLEN value = 0;
    if (!SQL_SUCCEEDED(
            SQLColAttributeW(statement.handle().get(), column, field, nullptr, 0, nullptr, &value)))
        return -1;
    return value;
}

// Reads one cell with SQLGetData, in pieces when it is longer than the buffer.
// Answers false for NULL.
bool readCell(const odbc::Statement& statement, SQLUSMALLINT column, SQLSMALLINT cType,
              std::vector<char>& buffer, std::string& out) {
    out.clear();
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(statement.handle().get(), column, cType, buffer.data(),
                                        SQLLEN(buffer.size()), &indicator);
        if (rc == SQL_NO_DATA)
            return true;
        odbc::check(rc, statement.handle(), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return false;
        const std::size_t room = cType == SQL_C_CHAR ? buffer.size() - 1 : buffer.size();
        const bool truncated =
            rc == SQL_SUCCESS_WITH_INFO && (indicator == SQL_NO_TOTAL || SQLLEN(room) < indicator);
        if (!truncated) {
            out.append(buffer.data(), std::size_t(indicator));
            return true;
        }
        out.append(buffer.data(), room);
        if (indicator != SQL_NO_TOTAL && buffer.size() < std::size_t(indicator) + 1)
            buffer.resize(std::size_t(indicator) + 1);
    }
}

} // namespace

std::vector<ColumnInfo> describeColumns(const odbc::Statement& statement) {
    SQLSMALLINT count = 0;
    odbc::check(SQLNumResultCols(statement.handle().get(), &count), statement.handle(),
                "SQLNumResultCols");
    std::vector<ColumnInfo> columns;
    columns.reserve(std::size_t(count));
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(count); ++i) {
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        odbc::check(SQLDescribeColW(statement.handle().get(), i, name, SQLSMALLINT(std::size(name)),
                                    &nameLength, &type, &size, &digits, &nullable),
                    statement.handle(), "SQLDescribeCol");
        ColumnInfo info;
        info.name = odbc::fromWide(name, nameLength);
        info.sqlType = type;
        info.size = size;
        info.decimalDigits = digits;
        info.nullable = nullable != SQL_NO_NULLS;
        info.binary = isBinaryType(type);
        info.autoIncrement = numericAttribute(statement, i, SQL_DESC_AUTO_UNIQUE_VALUE) == SQL_TRUE;
        info.readOnly = info.autoIncrement ||
                        numericAttribute(statement, i, SQL_DESC_UPDATABLE) == SQL_ATTR_READONLY;
        columns.push_back(std::move(info));
    }
    return columns;
}

void readRows(odbc::Statement& statement, ResultTable& table) {
    const int columns = table.columnCount();
    std::vector<SQLSMALLINT> cTypes;
    for (const ColumnInfo& c : table.columns())
        cTypes.push_back(c.binary ? SQL_C_BINARY : SQL_C_CHAR);
    std::vector<char> buffer(4096);
    std::string cell;
    for (;;) {
        const SQLRETURN rc = SQLFetch(statement.handle().get());
        if (rc == SQL_NO_DATA)
            break;
        odbc::check(rc, statement.handle(), "SQLFetch");
        for (int c = 0; c < columns; ++c) {
            if (readCell(statement, SQLUSMALLINT(c + 1), cTypes[std::size_t(c)], buffer, cell))
                table.append(c, cell);
            else
                table.appendNull(c);
        }
        table.finishRow();
    }
    statement.closeCursor();
}

} // namespace db
