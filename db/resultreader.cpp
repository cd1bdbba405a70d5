#include "db/resultreader.h"

#include "db/tablekeys.h"
#include "db/valuerules.h"

#include <algorithm>
#include <cstring>
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

// How a column's cells are read: bytes for binary columns, binary numbers for
// approximate ones (the driver's text of a double may stop short of its last digits),
// UTF-8 text for the rest.
SQLSMALLINT cellType(const ColumnInfo& c) {
    if (c.binary)
        return SQL_C_BINARY;
    if (isApproximateType(c.sqlType))
        return c.sqlType == SQL_REAL ? SQL_C_FLOAT : SQL_C_DOUBLE;
    return SQL_C_CHAR;
}

// A number read in binary, as the shortest text that reads back to the same number.
std::string numberText(SQLSMALLINT cType, const char* data) {
    if (cType == SQL_C_FLOAT) {
        float value = 0;
        std::memcpy(&value, data, sizeof value);
        return approximateText(value);
    }
    double value = 0;
    std::memcpy(&value, data, sizeof value);
    return approximateText(value);
}

// Reads one cell with SQLGetData, in pieces when it is longer than the buffer.
// Answers false for NULL.
bool readCell(const odbc::Statement& statement, SQLUSMALLINT column, SQLSMALLINT cType,
              std::vector<char>& buffer, std::string& out) {
    out.clear();
    if (cType == SQL_C_DOUBLE || cType == SQL_C_FLOAT) {
        SQLLEN indicator = 0;
        odbc::check(SQLGetData(statement.handle().get(), column, cType, buffer.data(),
                               SQLLEN(buffer.size()), &indicator),
                    statement.handle(), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return false;
        out = numberText(cType, buffer.data());
        return true;
    }
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
        // Not the driver's "updatable" attribute: FreeTDS reports every column read-only
        // unless the server marks it for a cursor, which Adaptive Server does not do for
        // a plain select. What cannot be written is learnt from the table itself.
        info.readOnly = info.autoIncrement;
        columns.push_back(std::move(info));
    }
    return columns;
}

namespace {

// Buffer width for a column in the block read; long columns get a modest buffer and the
// rare longer value sends the read to the cell-by-cell path.
std::size_t blockWidth(const ColumnInfo& c) {
    constexpr std::size_t kLong = 512;
    switch (c.sqlType) {
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
    case SQL_LONGVARBINARY:
        return kLong;
    default:
        break;
    }
    if (cellType(c) != SQL_C_CHAR && !c.binary)
        return sizeof(double);
    if (c.size == 0 || c.size > 2000)
        return kLong;
    if (c.binary)
        return std::size_t(c.size);
    // Characters may take up to four bytes in UTF-8; numbers and dates carry signs,
    // points and fractions beyond their precision.
    return std::max<std::size_t>(std::size_t(c.size) * 4, 64) + 1;
}

void readCellByCell(odbc::Statement& statement, ResultTable& table) {
    const int columns = table.columnCount();
    std::vector<SQLSMALLINT> cTypes;
    for (const ColumnInfo& c : table.columns())
        cTypes.push_back(cellType(c));
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
}

struct BoundColumn {
    SQLSMALLINT cType;
    std::size_t width;
    std::vector<char> data;
    std::vector<SQLLEN> indicators;
};

// Answers false when a value did not fit its buffer (nothing of that block is kept).
bool readBlocks(odbc::Statement& statement, ResultTable& table) {
    const SQLHSTMT h = statement.handle().get();
    std::vector<BoundColumn> bound;
    std::size_t rowWidth = 0;
    for (const ColumnInfo& c : table.columns()) {
        bound.push_back({cellType(c), blockWidth(c), {}, {}});
        rowWidth += bound.back().width;
    }
    const std::size_t rowsPerBlock = std::clamp<std::size_t>(
        (std::size_t(4) << 20) / std::max<std::size_t>(rowWidth, 1), 1, 1024);
    SQLULEN fetched = 0;
    odbc::check(SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN), 0),
                statement.handle(), "SQLSetStmtAttr(ROW_BIND_TYPE)");
    odbc::check(SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(rowsPerBlock), 0),
                statement.handle(), "SQLSetStmtAttr(ROW_ARRAY_SIZE)");
    odbc::check(SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), statement.handle(),
                "SQLSetStmtAttr(ROWS_FETCHED_PTR)");
    for (std::size_t i = 0; i < bound.size(); ++i) {
        BoundColumn& b = bound[i];
        b.data.resize(b.width * rowsPerBlock);
        b.indicators.resize(rowsPerBlock);
        odbc::check(SQLBindCol(h, SQLUSMALLINT(i + 1), b.cType, b.data.data(), SQLLEN(b.width),
                               b.indicators.data()),
                    statement.handle(), "SQLBindCol");
    }
    bool complete = true;
    for (;;) {
        const SQLRETURN rc = SQLFetch(h);
        if (rc == SQL_NO_DATA)
            break;
        odbc::check(rc, statement.handle(), "SQLFetch");
        for (std::size_t r = 0; r < fetched && complete; ++r) {
            for (std::size_t i = 0; i < bound.size(); ++i) {
                const BoundColumn& b = bound[i];
                const SQLLEN length = b.indicators[r];
                const std::size_t room = b.cType == SQL_C_CHAR ? b.width - 1 : b.width;
                if (length == SQL_NULL_DATA) {
                    table.appendNull(int(i));
                } else if (b.cType == SQL_C_DOUBLE || b.cType == SQL_C_FLOAT) {
                    table.append(int(i), numberText(b.cType, b.data.data() + r * b.width));
                } else if (length == SQL_NO_TOTAL || length < 0 || std::size_t(length) > room) {
                    complete = false;
                    break;
                } else {
                    table.append(int(i), {b.data.data() + r * b.width, std::size_t(length)});
                }
            }
            if (complete)
                table.finishRow();
        }
        if (!complete)
            break;
    }
    SQLFreeStmt(h, SQL_UNBIND);
    SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(1), 0);
    return complete;
}

} // namespace

void readRows(odbc::Statement& statement, ResultTable& table,
              const std::function<void()>& reexecute) {
    if (table.columnCount() > 0 && !readBlocks(statement, table)) {
        statement.closeCursor();
        table.clearRows();
        reexecute();
        readCellByCell(statement, table);
    }
    statement.closeCursor();
}

} // namespace db
