#pragma once

// Rows of a result in compact storage. Each column keeps its cells one after another in
// chunks of about a mebibyte: a short length prefix (which also marks NULL), then the
// bytes; every sixteenth cell's place is indexed. So a cell costs its bytes plus one or
// two, not a heap object. Values keep the exact text the driver gave (UTF-8); binary
// columns keep their raw bytes.

#include <QString>
#include <cstdint>
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
    // Drops all rows (a read that starts over).
    void clearRows();

    // Replaces one stored row (after a write has been read back).
    void replaceRow(int row, const std::vector<std::optional<std::string>>& values);

    std::size_t memoryBytes() const;

  private:
    static constexpr int kGroup = 16;
    static constexpr std::size_t kChunkBytes = std::size_t(1) << 20;

    struct Place {
        std::uint32_t chunk;
        std::uint32_t offset;
    };
    struct Column {
        std::vector<std::vector<char>> chunks;
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

    std::vector<ColumnInfo> columns_;
    std::vector<Column> store_;
    int rows_ = 0;
};

} // namespace db
