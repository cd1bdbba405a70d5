#pragma once

// Rows of a result in compact storage: per column one byte buffer with offsets and a
// null mark, not one heap object per cell. Values keep the exact text the driver gave
// (UTF-8); binary columns keep their raw bytes.

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
    bool binary = false;   // stored as raw bytes
    bool readOnly = false; // identity, computed, timestamp: never written
    bool autoIncrement = false;
};

class ResultTable {
  public:
    void setColumns(std::vector<ColumnInfo> columns);
    const std::vector<ColumnInfo>& columns() const { return columns_; }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    int rowCount() const { return rows_; }
    int columnIndex(const QString& name) const; // case-blind; -1 when missing

    bool isNull(int row, int column) const;
    std::string_view bytes(int row, int column) const; // raw UTF-8 text or binary
    QString text(int row, int column) const;           // null gives a null QString

    // Appending, for the fetch loop: one row at a time, column by column.
    void appendNull(int column);
    void append(int column, std::string_view value);
    void finishRow();
    void reserveRows(std::size_t rows);

    // Replaces one stored row (after a write has been read back).
    void replaceRow(int row, const std::vector<std::optional<std::string>>& values);

    std::size_t memoryBytes() const;

  private:
    struct Column {
        std::vector<char> data;
        std::vector<std::uint64_t> ends; // end offset of each cell in data
        std::vector<bool> nulls;
    };
    std::vector<ColumnInfo> columns_;
    std::vector<Column> store_;
    int rows_ = 0;
};

} // namespace db
