#include "db/read/resultreadercells.h"

#include "db/values/sqltypes.h"
#include "db/values/valuerules.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace db::reading {
namespace {
// Later blocks are handed over about this large (the table keeps each block's memory as
// it is, so a block is large against the page it may leave part empty), or once they
// have been filling for this long (a slow server's rows still show as they come).
constexpr std::size_t kDeliverBytes = std::size_t(4) << 20;
constexpr int kDeliverRows = 65536;
constexpr auto kDeliverAfter = std::chrono::milliseconds(100);
} // namespace

SQLSMALLINT cellType(const ColumnInfo& c) {
    if (c.binary)
        return SQL_C_BINARY;
    if (sqltypes::isApproximate(c.sqlType))
        return c.sqlType == SQL_REAL ? SQL_C_FLOAT : SQL_C_DOUBLE;
    return SQL_C_CHAR;
}

std::string cellText(SQLSMALLINT cType, const char* data, SQLLEN length) {
    if (cType == SQL_C_FLOAT) {
        float value = 0;
        std::memcpy(&value, data, sizeof value);
        return approximateText(value);
    }
    if (cType == SQL_C_DOUBLE) {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        return approximateText(value);
    }
    return std::string(data, std::size_t(length));
}

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
        out = cellText(cType, buffer.data(), indicator);
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

Batcher::Batcher(RowSink& sink, int columns)
    : sink_(sink), columns_(columns), block_(columns), started_(std::chrono::steady_clock::now()) {}

void Batcher::rowDone(bool atRowsetEnd) {
    rowsDone(1, atRowsetEnd);
}

void Batcher::rowsDone(int count, bool atRowsetEnd) {
    block_.finishRows(count);
    handed_ += count;
    if (!atRowsetEnd)
        return;
    if (first_ || block_.rowCount() >= kDeliverRows || block_.bytes() >= kDeliverBytes ||
        std::chrono::steady_clock::now() - started_ >= kDeliverAfter)
        flush();
}

void Batcher::flush() {
    if (block_.rowCount() == 0)
        return;
    first_ = false;
    // The next block will take about as much room as this one.
    std::vector<std::size_t> sizes = block_.columnBytes();
    for (std::size_t& size : sizes)
        size += size / 16;
    block_.trim(); // what it holds is all the table will keep of it
    sink_.deliver(std::move(block_));
    started_ = std::chrono::steady_clock::now();
    block_ = RowBlock(columns_, sizes);
}

void checkEndOfRows(const odbc::Statement& statement) {
    const SQLHSTMT h = statement.handle().get();
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[2] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetDiagRecW(SQL_HANDLE_STMT, h, record, state, &native, text,
                                          SQLSMALLINT(std::size(text)), &length)))
            break;
        const bool warning = state[0] == u'0' && (state[1] == u'0' || state[1] == u'1');
        if (!warning)
            throw odbc::diagnostics(SQL_HANDLE_STMT, h, "SQLFetch");
    }
    if (SQLMoreResults(h) == SQL_ERROR)
        throw odbc::diagnostics(SQL_HANDLE_STMT, h, "SQLMoreResults");
}

void setArraySize(const odbc::Statement& statement, std::size_t rows) {
    odbc::check(
        SQLSetStmtAttr(statement.handle().get(), SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(rows), 0),
        statement.handle(), "SQLSetStmtAttr(ROW_ARRAY_SIZE)");
}

namespace {

Row readRowByCells(odbc::Statement& statement, const std::vector<SQLSMALLINT>& cTypes,
                   std::vector<char>& buffer) {
    Row row;
    std::string cell;
    for (std::size_t c = 0; c < cTypes.size(); ++c) {
        if (readCell(statement, SQLUSMALLINT(c + 1), cTypes[c], buffer, cell))
            row.emplace_back(cell);
        else
            row.emplace_back(std::nullopt);
    }
    return row;
}

} // namespace

bool readCellByCell(odbc::Statement& statement, const std::vector<SQLSMALLINT>& cTypes,
                    Batcher& batcher, RowSink& sink) {
    std::vector<char> buffer(4096);
    std::string cell;
    for (int n = 1;; ++n) {
        if (n % 256 == 0 && sink.stopRequested())
            return false;
        const SQLRETURN rc = SQLFetch(statement.handle().get());
        if (rc == SQL_NO_DATA) {
            checkEndOfRows(statement);
            return true;
        }
        odbc::check(rc, statement.handle(), "SQLFetch");
        for (std::size_t c = 0; c < cTypes.size(); ++c) {
            if (readCell(statement, SQLUSMALLINT(c + 1), cTypes[c], buffer, cell))
                batcher.block().append(int(c), cell);
            else
                batcher.block().appendNull(int(c));
        }
        batcher.rowDone(n % 256 == 0);
    }
}

void passBy(odbc::Statement& statement, long long count, const Row& last,
            const std::vector<SQLSMALLINT>& cTypes, const std::function<void()>& reexecute) {
    reexecute();
    long long left = count - 1;
    while (left > 0) {
        const std::size_t rows = std::size_t(std::min<long long>(left, 1024));
        setArraySize(statement, rows);
        SQLULEN fetched = 0;
        SQLSetStmtAttr(statement.handle().get(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        const SQLRETURN rc = SQLFetch(statement.handle().get());
        SQLSetStmtAttr(statement.handle().get(), SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
        if (rc == SQL_NO_DATA)
            break;
        odbc::check(rc, statement.handle(), "SQLFetch");
        left -= (long long)fetched;
    }
    setArraySize(statement, 1);
    std::vector<char> buffer(4096);
    const SQLRETURN rc = left == 0 ? SQLFetch(statement.handle().get()) : SQL_NO_DATA;
    if (rc != SQL_NO_DATA)
        odbc::check(rc, statement.handle(), "SQLFetch");
    if (rc == SQL_NO_DATA || readRowByCells(statement, cTypes, buffer) != last)
        throw DbError(QStringLiteral("The table changed while its rows were read. Open it again "
                                     "to see all of its rows."),
                      QStringLiteral("HY000"));
}

} // namespace db::reading
