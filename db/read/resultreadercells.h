#pragma once

// The pieces of a result's read that go row by row: one cell read whole, the batches in
// which rows are handed on, the cell-by-cell road, and passing by the rows already
// handed over when a read starts again. Used by resultreader.cpp, and by boundquery.cpp for
// its cells.

#include "db/read/resultreader.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace db::reading {

using Row = std::vector<std::optional<std::string>>;

constexpr std::size_t kFirstRows = 128; // the first block: what a screen shows

// How a column's cells are read: bytes for binary columns, binary numbers for
// approximate ones (the driver's text of a double may stop short of its last digits),
// UTF-8 text for the rest.
SQLSMALLINT cellType(const ColumnInfo& c);

// A cell as the row store keeps it: approximate numbers as the shortest text that reads
// back to the same number, everything else as the driver's bytes.
std::string cellText(SQLSMALLINT cType, const char* data, SQLLEN length);

// Reads one cell with SQLGetData, in pieces when it is longer than the buffer.
// Answers false for NULL.
bool readCell(const odbc::Statement& statement, SQLUSMALLINT column, SQLSMALLINT cType,
              std::vector<char>& buffer, std::string& out);

// Collects rows into blocks and hands them on: the first at once, later ones when large
// or after a while.
class Batcher {
  public:
    Batcher(RowSink& sink, int columns);

    RowBlock& block() { return block_; }
    // One row is complete; at the end of a fetched block of rows, the block may go.
    void rowDone(bool atRowsetEnd);
    // `count` rows are complete, their cells appended column by column.
    void rowsDone(int count, bool atRowsetEnd);
    void flush();
    // Rows finished, handed on or not.
    long long handed() const { return handed_; }

  private:
    RowSink& sink_;
    int columns_;
    RowBlock block_;
    bool first_ = true;
    long long handed_ = 0;
    std::chrono::steady_clock::time_point started_; // when the block began to fill
};

void setArraySize(const odbc::Statement& statement, std::size_t rows);

// After a fetch found no more rows: throws the server's error when it failed the
// statement part way (the error comes with the end of the rows or right after it), so a
// cut-off result never passes for a whole one.
void checkEndOfRows(const odbc::Statement& statement);

// Fetches row by row, every cell read whole. Answers false when asked to stop.
bool readCellByCell(odbc::Statement& statement, const std::vector<SQLSMALLINT>& cTypes,
                    Batcher& batcher, RowSink& sink);

// Runs the statement again and passes by the `count` rows already handed over, of which
// `last` is the last; throws when that row does not read the same again.
void passBy(odbc::Statement& statement, long long count, const Row& last,
            const std::vector<SQLSMALLINT>& cTypes, const std::function<void()>& reexecute);

} // namespace db::reading
