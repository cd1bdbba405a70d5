#pragma once

// One statement with its parameters bound through the driver (never pasted into the SQL
// text), run by direct execute: on Adaptive Server a prepared statement would become a
// temporary procedure, which needs a permission users may lack. Every result is read to
// its end before the call returns, since TDS 5.0 allows one active statement per
// connection. For the grid's single-row work, not for bulk reading.

#include "db/read/resulttable.h"

#include <sql.h>

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace db {

namespace odbc {
class DriverConnection;
class Statement;
} // namespace odbc

// A stored value: UTF-8 text, or raw bytes for a binary column; nothing for NULL.
using CellValue = std::optional<std::string>;
using RowValues = std::vector<CellValue>;

class BoundQuery {
  public:
    QString sql;

    // Appends "?" to the SQL text and binds the value with the column's type (an
    // approximate number in binary).
    void appendParameter(const ColumnInfo& column, std::string_view value);
    int parameterCount() const { return int(parameters_.size()); }

    // Runs a statement that changes rows. Answers the number of rows it changed (0 when
    // it matched none). Throws DbError with the server's message.
    SQLLEN execute(odbc::DriverConnection& connection, int timeoutSeconds) const;

    // Runs a query and answers at most `maxRows` of its rows, read as `columns` describe
    // them (binary columns as bytes, the rest as text). Throws DbError.
    std::vector<RowValues> select(odbc::DriverConnection& connection,
                                  const std::vector<ColumnInfo>& columns, int timeoutSeconds,
                                  int maxRows) const;

  private:
    struct Parameter {
        ColumnInfo column;
        std::string value;
        std::optional<double> number; // an approximate number, bound in binary
    };
    void bindAll(odbc::Statement& statement, std::vector<std::u16string>& texts,
                 std::vector<SQLLEN>& indicators) const;
    // Runs the statement with its parameters bound, cancellable while it runs; `read` gets
    // the statement and what running it answered, and what it leaves unread is dropped.
    void run(odbc::DriverConnection& connection, int timeoutSeconds,
             const std::function<void(odbc::Statement&, SQLRETURN)>& read) const;
    std::vector<Parameter> parameters_;
};

// Reading one column of the current row with SQLGetData, in pieces of any length.
std::optional<QString> readText(const odbc::Statement& statement, int column);
std::optional<std::string> readBytes(const odbc::Statement& statement, int column);
// Text as the driver's bytes (UTF-8), as the recordset's rows keep it.
std::optional<std::string> readChars(const odbc::Statement& statement, int column);
// An approximate number read in binary, as the shortest text that reads back to it.
std::optional<std::string> readApproximate(const odbc::Statement& statement, int column,
                                           short sqlType);

// Reads and drops what is left of every pending result of the statement.
void drainResults(const odbc::Statement& statement);

} // namespace db
