#pragma once

// A filter on a table's rows: conditions of column, operator and value, all of which must
// hold, sent to the server as the WHERE of the table's select so that a large table is
// narrowed before anything is read. Each value is checked against its column as a typed
// value is (the same rules, the same messages) before anything is sent.

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace db {

struct RecordsetData;
struct TableKeys;
struct ColumnType;
struct ConnectionState;

enum class FilterOp {
    Equal,
    NotEqual,
    Less,
    LessOrEqual,
    Greater,
    GreaterOrEqual,
    Contains,
    StartsWith,
    IsNull,
    IsNotNull
};

struct FilterCondition {
    int column = -1; // a column of the rows
    FilterOp op = FilterOp::Equal;
    QString value; // as typed; unused by the NULL tests
    bool operator==(const FilterCondition&) const = default;
};

struct Filter {
    std::vector<FilterCondition> conditions; // all must hold
    bool empty() const { return conditions.empty(); }
    bool operator==(const Filter&) const = default;
};

struct FilterCheck {
    QString refusal;    // why the filter cannot be sent; empty when it can
    int condition = -1; // the refused condition
    bool accepted() const { return refusal.isEmpty(); }
};

// The columns' types as the write rules see them: from the table's keys (declared type
// names, the server's character set) where known, else from the rows' description.
using ColumnTypeOf = std::function<ColumnType(int column)>;
ColumnTypeOf columnTypes(const RecordsetData& data, const TableKeys* keys);

// Checks every condition against its column: the value as a typed value is checked (the
// same rules and messages); "contains" and "starts with" only on text columns; text and
// unitext columns (which the server compares with no operator but LIKE) allow only
// "contains" and the NULL tests; binary columns (not typed as text) only the NULL tests.
FilterCheck checkFilter(const Filter& filter, const RecordsetData& data, const TableKeys* keys);

// For the layer: checks the filter as checkFilter does and, when it passes, sets `where`
// to its WHERE text (" WHERE ...", empty for no condition).
FilterCheck filterWhere(const Filter& filter, const RecordsetData& data, const TableKeys* keys,
                        QString& where);

// Which of some stored rows the rows' filter no longer holds for, after they were written
// or added: asked of the server, one row at a time, by the row's locator (tablekeys.h) and
// the filter's conditions, so that it compares as the filtered read did. Made on the rows'
// thread; `run` may go on any (a write's worker), over the rows' connection.
class FilterRecheck {
  public:
    FilterRecheck(const RecordsetData& data, const TableKeys& keys,
                  const std::vector<int>& storedRows);
    ~FilterRecheck();
    // The rows asked about (a row that cannot be found by its values is not).
    std::vector<int> rows() const;
    // The rows the filter no longer holds for. Throws DbError.
    std::vector<int> run(int timeoutSeconds) const;

  private:
    struct Check;
    std::shared_ptr<ConnectionState> connection_;
    std::vector<Check> checks_;
};

// The operator as the filter bar names it: "=", "<>", "<", "<=", ">", ">=", "contains",
// "starts with", "is NULL", "is not NULL".
QString filterOpText(FilterOp op);

} // namespace db
