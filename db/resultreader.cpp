#include "db/resultreader.h"

#include <algorithm>
#include <optional>
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

namespace {

using Row = std::vector<std::optional<std::string>>;

constexpr std::size_t kFirstRows = 128;        // the first block: what a screen shows
constexpr std::size_t kDeliverBytes = 4 << 20; // later blocks are handed over about
constexpr int kDeliverRows = 65536;            // this large

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
    if (c.size == 0 || c.size > 2000)
        return kLong;
    if (c.binary)
        return std::size_t(c.size);
    // Characters may take up to four bytes in UTF-8; numbers and dates carry signs,
    // points and fractions beyond their precision.
    return std::max<std::size_t>(std::size_t(c.size) * 4, 64) + 1;
}

// Collects rows into blocks and hands them on: the first at once, later ones when large.
class Batcher {
  public:
    Batcher(RowSink& sink, int columns) : sink_(sink), columns_(columns), block_(columns) {}

    RowBlock& block() { return block_; }
    void rowDone(bool atRowsetEnd) {
        block_.finishRow();
        ++handed_;
        if (atRowsetEnd &&
            (first_ || block_.rowCount() >= kDeliverRows || block_.bytes() >= kDeliverBytes))
            flush();
    }
    void flush() {
        if (block_.rowCount() == 0)
            return;
        first_ = false;
        // The next block will take about as much room as this one.
        std::vector<std::size_t> sizes = block_.columnBytes();
        for (std::size_t& size : sizes)
            size += size / 8;
        sink_.deliver(std::move(block_));
        block_ = RowBlock(columns_, sizes);
    }
    long long handed() const { return handed_; }

  private:
    RowSink& sink_;
    int columns_;
    RowBlock block_;
    bool first_ = true;
    long long handed_ = 0; // rows finished, delivered or not
};

void setArraySize(const odbc::Statement& statement, std::size_t rows) {
    odbc::check(
        SQLSetStmtAttr(statement.handle().get(), SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(rows), 0),
        statement.handle(), "SQLSetStmtAttr(ROW_ARRAY_SIZE)");
}

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

// Fetches row by row, every cell read whole. Answers false when asked to stop.
bool readCellByCell(odbc::Statement& statement, const std::vector<SQLSMALLINT>& cTypes,
                    Batcher& batcher, RowSink& sink) {
    std::vector<char> buffer(4096);
    std::string cell;
    for (int n = 1;; ++n) {
        if (n % 256 == 0 && sink.stopRequested())
            return false;
        const SQLRETURN rc = SQLFetch(statement.handle().get());
        if (rc == SQL_NO_DATA)
            return true;
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

// Runs the statement again and passes by the `count` rows already handed over, of
// which `last` is the last.
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
        bound.push_back({SQLSMALLINT(c.binary ? SQL_C_BINARY : SQL_C_CHAR), blockWidth(c), {}, {}});
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
                last.emplace_back(std::string(b.data.data() + r * b.width, std::size_t(length)));
        }
    };
    BlockEnd end = BlockEnd::Done;
    for (std::size_t arraySize = std::min(kFirstRows, rowsPerBlock);;) {
        if (sink.stopRequested()) {
            end = BlockEnd::Stopped;
            break;
        }
        const SQLRETURN rc = SQLFetch(h);
        if (rc == SQL_NO_DATA)
            break;
        odbc::check(rc, statement.handle(), "SQLFetch");
        for (std::size_t r = 0; r < fetched && end == BlockEnd::Done; ++r) {
            for (std::size_t i = 0; i < bound.size(); ++i) {
                const BoundColumn& b = bound[i];
                const SQLLEN length = b.indicators[r];
                const std::size_t room = b.cType == SQL_C_CHAR ? b.width - 1 : b.width;
                if (length == SQL_NO_TOTAL ||
                    (length != SQL_NULL_DATA && (length < 0 || std::size_t(length) > room)))
                    end = BlockEnd::Truncated;
            }
            if (end == BlockEnd::Truncated) {
                // Nothing of this row is kept: it is read again, whole, after the restart.
                if (r > 0)
                    keepRow(r - 1);
                break;
            }
            for (std::size_t i = 0; i < bound.size(); ++i) {
                const BoundColumn& b = bound[i];
                const SQLLEN length = b.indicators[r];
                if (length == SQL_NULL_DATA)
                    batcher.block().appendNull(int(i));
                else
                    batcher.block().append(int(i),
                                           {b.data.data() + r * b.width, std::size_t(length)});
            }
            batcher.rowDone(r + 1 == fetched);
        }
        if (end != BlockEnd::Done)
            break;
        if (fetched > 0)
            keepRow(fetched - 1);
        if (fetched < arraySize) // a short block is the last one
            break;
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
    void deliver(RowBlock&& block) override { table_.appendBlock(block); }

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
        cTypes.push_back(c.binary ? SQL_C_BINARY : SQL_C_CHAR);
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
