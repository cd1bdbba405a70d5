#pragma once

// Rows of a result in compact storage. Each column keeps its cells one after another in
// chunks: a short length prefix (which also marks NULL), then the bytes; every 64th
// cell's place is indexed. So a cell costs its bytes plus about one, not a heap object.
// Rows appended one by one go to chunks that grow from a few kibibytes to a mebibyte; a
// block of rows read elsewhere is taken over as it is, its cells never copied. Values
// keep the exact text the driver gave (UTF-8); binary columns keep their raw bytes.

#include "db/read/cellrun.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

struct ColumnInfo {
    QString name;
    short sqlType = 0;      // SQL_* type code the driver reports
    std::uint64_t size = 0; // column size
    short decimalDigits = 0;
    bool nullable = true;
    bool binary = false;        // stored as raw bytes
    bool readOnly = false;      // identity, computed, timestamp: never written
    bool autoIncrement = false; // identity
};

// Rows encoded the way a ResultTable keeps them, built where they are fetched (any
// thread) and handed to a table in one go.
class RowBlock {
  public:
    // `reserve`: bytes to set aside per column (a read passes what its last block took).
    explicit RowBlock(int columns = 0, const std::vector<std::size_t>& reserve = {});
    void appendNull(int column) {
        *room(column, 1) = 0;
        cells_[std::size_t(column)].grow(1);
    }
    void append(int column, std::string_view value);
    void finishRow() { ++rows_; }
    void finishRows(int count) { rows_ += count; }
    int rowCount() const { return rows_; }
    int columnCount() const { return int(cells_.size()); }
    std::size_t bytes() const;
    // Per column, the bytes each column's cells took.
    std::vector<std::size_t> columnBytes() const;
    // One column's cells, one after another.
    std::string_view encoded(int column) const {
        const CellRun& c = cells_[std::size_t(column)];
        return {c.data(), c.size()};
    }
    // Gives back every column's room beyond its cells (the block is complete).
    void trim();

  private:
    friend class ResultTable; // takes the cells over
    // Where `need` more bytes of the column go.
    char* room(int column, std::size_t need) {
        CellRun& c = cells_[std::size_t(column)];
        if (c.size() + need > c.capacity())
            grow(c, need);
        return c.end();
    }
    static void grow(CellRun& cells, std::size_t need);

    std::vector<CellRun> cells_;
    int rows_ = 0;
};

class ResultTable {
  public:
    void setColumns(std::vector<ColumnInfo> columns);
    const std::vector<ColumnInfo>& columns() const { return columns_; }
    std::vector<ColumnInfo>& columns() { return columns_; }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    int rowCount() const { return rows_; }
    int columnIndex(const QString& name) const; // case-blind; -1 when missing

    bool isNull(int row, int column) const;
    std::string_view bytes(int row, int column) const; // raw UTF-8 text or binary
    QString text(int row, int column) const;           // null gives a null QString

    // Appending, for the fetch loop: one row at a time, every column once, then
    // finishRow.
    void appendNull(int column);
    void append(int column, std::string_view value);
    void finishRow();
    void reserveRows(std::size_t) {}
    // Appends the rows of a block with as many columns, taking its cells over.
    void appendBlock(RowBlock&& block);
    // Gives back the room reserved for rows that never came (the read is over).
    void squeeze();
    // Drops all rows (a read that starts over).
    void clearRows();

    // Replaces one stored row (after a write has been read back).
    void replaceRow(int row, const std::vector<std::optional<std::string>>& values);

    std::size_t memoryBytes() const;

    // rowHash (below) of `count` rows from `first` on, into `hashes`: each column is walked
    // once, not looked up cell by cell.
    void hashRows(int first, int count, std::uint64_t* hashes) const;

  private:
    static constexpr int kGroup = 64;
    static constexpr std::size_t kFirstChunkBytes = std::size_t(4) << 10;
    static constexpr std::size_t kChunkBytes = std::size_t(1) << 20;

    struct Place {
        std::uint32_t chunk;
        std::uint32_t offset;
    };
    struct Column {
        std::vector<CellRun> chunks;
        std::vector<Place> index; // place of every kGroup-th cell
        int cells = 0;
    };
    struct Cell {
        Place place;          // where the prefix starts
        std::size_t prefix;   // prefix length
        std::uint64_t marker; // 0: NULL, else length + 1
    };

    Cell locate(const Column& column, int row) const;
    void appendCell(Column& column, std::optional<std::string_view> value);
    // The chunk that takes the next `need` bytes (a new one when the last is full).
    CellRun& chunkFor(Column& column, std::size_t need);

    std::vector<ColumnInfo> columns_;
    std::vector<Column> store_;
    int rows_ = 0;
};

// A hash of a stored row's values (NULL told apart from empty), never 0 or 1; rows holding the
// same values hash alike.
std::uint64_t rowHash(const ResultTable& rows, int row);
// Whether two stored rows hold the same values in every column.
bool sameRow(const ResultTable& rows, int a, int b);

} // namespace db
