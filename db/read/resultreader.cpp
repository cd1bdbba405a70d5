#include "db/read/resultreader.h"

#include "db/read/resultreadercells.h"
#include "db/values/sqltypes.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace db {

using namespace reading; // the row-by-row pieces (resultreadercells.h)

namespace {

SQLLEN numericAttribute(const odbc::Statement& statement, SQLUSMALLINT column, SQLUSMALLINT field) {
    SQLLEN value = 0;
    if (!SQL_SUCCEEDED(
            SQLColAttributeW(statement.handle().get(), column, field, nullptr, 0, nullptr, &value)))
        return -1;
    return value;
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
        info.binary = sqltypes::isBinary(type);
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
    if (sqltypes::isLong(c.sqlType))
        return kLong;
    // The driver steps a fixed-size C type by its own size, whatever width is asked for.
    if (cellType(c) == SQL_C_FLOAT)
        return sizeof(float);
    if (cellType(c) == SQL_C_DOUBLE)
        return sizeof(double);
    if (c.size == 0 || c.size > 2000)
        return kLong;
    if (c.binary)
        return std::size_t(c.size);
    // Characters may take up to four bytes in UTF-8; numbers and dates carry signs,
    // points and fractions beyond their precision.
    return std::max<std::size_t>(std::size_t(c.size) * 4, 64) + 1;
}

struct BoundColumn {
    SQLSMALLINT cType;
    std::size_t width;
    std::vector<char> data;
    std::vector<SQLLEN> indicators;
};

enum class BlockEnd { Done, Stopped, Truncated };

BlockEnd readBlocks(odbc::Statement& statement, const std::vector<ColumnInfo>& columns,
                    Batcher& batcher, RowSink& sink, Row& last) {
    const SQLHSTMT h = statement.handle().get();
    std::vector<BoundColumn> bound;
    std::size_t rowWidth = 0;
    for (const ColumnInfo& c : columns) {
        bound.push_back({cellType(c), blockWidth(c), {}, {}});
        rowWidth += bound.back().width;
    }
    const std::size_t rowsPerBlock = std::clamp<std::size_t>(
        (std::size_t(1) << 20) / std::max<std::size_t>(rowWidth, 1), 1, 1024);
    SQLULEN fetched = 0;
    odbc::check(SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN), 0),
                statement.handle(), "SQLSetStmtAttr(ROW_BIND_TYPE)");
    setArraySize(statement, std::min(kFirstRows, rowsPerBlock));
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
    const auto keepRow = [&](std::size_t r) {
        last.clear();
        for (const BoundColumn& b : bound) {
            const SQLLEN length = b.indicators[r];
            if (length == SQL_NULL_DATA)
                last.emplace_back(std::nullopt);
            else
                last.emplace_back(cellText(b.cType, b.data.data() + r * b.width, length));
        }
    };
    BlockEnd end = BlockEnd::Done;
    for (std::size_t arraySize = std::min(kFirstRows, rowsPerBlock);;) {
        if (sink.stopRequested()) {
            end = BlockEnd::Stopped;
            break;
        }
        const SQLRETURN rc = SQLFetch(h);
        if (rc == SQL_NO_DATA) {
            checkEndOfRows(statement);
            break;
        }
        odbc::check(rc, statement.handle(), "SQLFetch");
        // The rows before the first one with a cut value are kept; that row and the rest
        // are read again, whole, after the restart.
        std::size_t whole = fetched;
        for (std::size_t r = 0; r < whole; ++r)
            for (const BoundColumn& b : bound) {
                const SQLLEN length = b.indicators[r];
                const std::size_t room = b.cType == SQL_C_CHAR ? b.width - 1 : b.width;
                if (length == SQL_NO_TOTAL ||
                    (length != SQL_NULL_DATA && (length < 0 || std::size_t(length) > room))) {
                    whole = r;
                    end = BlockEnd::Truncated;
                    break;
                }
            }
        // Column by column: each column's buffer is read, and its cells written, in order.
        for (std::size_t i = 0; i < bound.size(); ++i) {
            const BoundColumn& b = bound[i];
            RowBlock& block = batcher.block();
            for (std::size_t r = 0; r < whole; ++r) {
                const SQLLEN length = b.indicators[r];
                const char* const cell = b.data.data() + r * b.width;
                if (length == SQL_NULL_DATA)
                    block.appendNull(int(i));
                else if (b.cType == SQL_C_CHAR || b.cType == SQL_C_BINARY)
                    block.append(int(i), {cell, std::size_t(length)});
                else
                    block.append(int(i), cellText(b.cType, cell, length));
            }
        }
        batcher.rowsDone(int(whole), whole == fetched);
        if (end == BlockEnd::Truncated) {
            if (whole > 0)
                keepRow(whole - 1);
            break;
        }
        if (end != BlockEnd::Done)
            break;
        if (fetched > 0)
            keepRow(fetched - 1);
        if (arraySize < rowsPerBlock) {
            arraySize = rowsPerBlock;
            setArraySize(statement, arraySize);
        }
    }
    batcher.flush();
    SQLFreeStmt(h, SQL_UNBIND);
    SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(1), 0);
    return end;
}

class TableSink : public RowSink {
  public:
    explicit TableSink(ResultTable& table) : table_(table) {}
    void deliver(RowBlock&& block) override { table_.appendBlock(std::move(block)); }

  private:
    ResultTable& table_;
};

} // namespace

bool streamRows(odbc::Statement& statement, const std::vector<ColumnInfo>& columns, RowSink& sink,
                const std::function<void()>& reexecute) {
    if (columns.empty()) {
        statement.closeCursor();
        return true;
    }
    std::vector<SQLSMALLINT> cTypes;
    for (const ColumnInfo& c : columns)
        cTypes.push_back(cellType(c));
    Batcher batcher(sink, int(columns.size()));
    Row last;
    BlockEnd end = readBlocks(statement, columns, batcher, sink, last);
    if (end == BlockEnd::Truncated) {
        statement.closeCursor();
        const long long handed = batcher.handed();
        if (handed > 0)
            passBy(statement, handed, last, cTypes, reexecute);
        else
            reexecute();
        end = readCellByCell(statement, cTypes, batcher, sink) ? BlockEnd::Done : BlockEnd::Stopped;
        batcher.flush();
    }
    statement.closeCursor();
    return end == BlockEnd::Done;
}

void readRows(odbc::Statement& statement, ResultTable& table,
              const std::function<void()>& reexecute) {
    TableSink sink(table);
    streamRows(statement, table.columns(), sink, reexecute);
}

} // namespace db
