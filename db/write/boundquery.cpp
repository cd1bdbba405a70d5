#include "db/write/boundquery.h"

#include "db/odbc/odbc.h"
#include "db/read/resultreadercells.h"
#include "db/values/sqltypes.h"
#include "db/values/valuerules.h"
#include "db/write/writetransaction.h"

#include <sqlext.h>

#include <algorithm>
#include <cmath>

namespace db {
namespace {

SQLULEN parameterSize(const ColumnInfo& column, std::size_t length) {
    // Character and binary values never travel cut to the column's size: the server
    // decides about a value that is too long, and says so.
    if (column.binary || sqltypes::isCharacter(column.sqlType) || column.sqlType == 0)
        return std::max<SQLULEN>({SQLULEN(column.size), SQLULEN(length), 1});
    return column.size > 0 ? SQLULEN(column.size) : std::max<SQLULEN>(SQLULEN(length), 1);
}

} // namespace

void BoundQuery::appendParameter(const ColumnInfo& column, std::string_view value) {
    sql += QLatin1Char('?');
    std::optional<double> number;
    if (sqltypes::isApproximate(column.sqlType))
        number = parseApproximate(value);
    // A real read as "0.1" holds the float nearest 0.1, which the server compares as that
    // float widened, never as the double nearest 0.1.
    if (number && column.sqlType == SQL_REAL && std::isfinite(float(*number)))
        number = double(float(*number));
    parameters_.push_back({column, std::string(value), number});
}

void BoundQuery::bindAll(odbc::Statement& statement, std::vector<std::u16string>& texts,
                         std::vector<SQLLEN>& indicators) const {
    // The buffers are filled first and bound after, so no later growth moves them.
    texts.resize(parameters_.size());
    indicators.resize(parameters_.size());
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
        const Parameter& p = parameters_[i];
        if (p.number) {
            indicators[i] = sizeof(double);
        } else if (!p.column.binary) {
            texts[i] = odbc::toWide(QString::fromUtf8(p.value.data(), qsizetype(p.value.size())));
            indicators[i] = SQLLEN(texts[i].size() * sizeof(char16_t));
        } else {
            indicators[i] = SQLLEN(p.value.size());
        }
    }
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
        const Parameter& p = parameters_[i];
        if (p.number) {
            // Approximate numbers travel in binary, so the server compares the very bits
            // that were read.
            odbc::check(SQLBindParameter(statement.handle().get(), SQLUSMALLINT(i + 1),
                                         SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0,
                                         SQLPOINTER(&*p.number), 0, &indicators[i]),
                        statement.handle(), "SQLBindParameter");
            continue;
        }
        const short sqlType = p.column.sqlType != 0 ? p.column.sqlType : SQL_WVARCHAR;
        const bool binary = p.column.binary;
        SQLPOINTER buffer = binary ? SQLPOINTER(p.value.data()) : SQLPOINTER(texts[i].data());
        const std::size_t length = binary ? p.value.size() : texts[i].size();
        odbc::check(SQLBindParameter(statement.handle().get(), SQLUSMALLINT(i + 1), SQL_PARAM_INPUT,
                                     binary ? SQL_C_BINARY : SQL_C_WCHAR, sqlType,
                                     parameterSize(p.column, length), p.column.decimalDigits,
                                     buffer, indicators[i], &indicators[i]),
                    statement.handle(), "SQLBindParameter");
    }
}

void BoundQuery::run(odbc::DriverConnection& connection, int timeoutSeconds,
                     const std::function<void(odbc::Statement&, SQLRETURN)>& read) const {
    odbc::Statement statement(connection);
    statement.setQueryTimeout(timeoutSeconds);
    const CancelScope cancellable(statement.handle().get());
    std::vector<std::u16string> texts;
    std::vector<SQLLEN> indicators;
    bindAll(statement, texts, indicators);
    read(statement, statement.execDirect(sql));
    drainResults(statement);
}

SQLLEN BoundQuery::execute(odbc::DriverConnection& connection, int timeoutSeconds) const {
    SQLLEN count = 0;
    run(connection, timeoutSeconds, [&](odbc::Statement& statement, SQLRETURN rc) {
        // The statement's own count comes first; a trigger's counts may follow it.
        count = rc == SQL_NO_DATA ? 0 : statement.rowCount();
    });
    return std::max<SQLLEN>(count, 0);
}

std::vector<RowValues> BoundQuery::select(odbc::DriverConnection& connection,
                                          const std::vector<ColumnInfo>& columns,
                                          int timeoutSeconds, int maxRows) const {
    std::vector<RowValues> rows;
    run(connection, timeoutSeconds, [&](odbc::Statement& statement, SQLRETURN rc) {
        if (rc == SQL_NO_DATA)
            return;
        while (int(rows.size()) < maxRows) {
            const SQLRETURN fetched = SQLFetch(statement.handle().get());
            if (fetched == SQL_NO_DATA)
                break;
            odbc::check(fetched, statement.handle(), "SQLFetch");
            RowValues row;
            row.reserve(columns.size());
            for (std::size_t c = 0; c < columns.size(); ++c) {
                if (columns[c].binary) {
                    row.push_back(readBytes(statement, int(c) + 1));
                } else if (sqltypes::isApproximate(columns[c].sqlType)) {
                    row.push_back(readApproximate(statement, int(c) + 1, columns[c].sqlType));
                } else {
                    // The bytes as the grid's rows hold them, so both compare alike.
                    row.push_back(readChars(statement, int(c) + 1));
                }
            }
            rows.push_back(std::move(row));
        }
    });
    return rows;
}

namespace {
// One cell read whole with the block read's own reader; nullopt for NULL.
std::optional<std::string> readAs(const odbc::Statement& statement, int column, SQLSMALLINT cType) {
    std::vector<char> buffer(cType == SQL_C_CHAR ? 4096 : sizeof(double));
    std::string out;
    if (!reading::readCell(statement, SQLUSMALLINT(column), cType, buffer, out))
        return std::nullopt;
    return out;
}
} // namespace

std::optional<QString> readText(const odbc::Statement& statement, int column) {
    QString text;
    SQLWCHAR buffer[2048];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(statement.handle().get(), SQLUSMALLINT(column), SQL_C_WCHAR,
                                        buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        odbc::check(rc, statement.handle(), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        const SQLLEN room = SQLLEN(std::size(buffer)) - 1;
        const SQLLEN got =
            (indicator == SQL_NO_TOTAL || indicator / SQLLEN(sizeof(SQLWCHAR)) > room)
                ? room
                : indicator / SQLLEN(sizeof(SQLWCHAR));
        text += odbc::fromWide(buffer, got);
        if (rc == SQL_SUCCESS)
            break;
    }
    if (text.isNull())
        text = QLatin1String("");
    return text;
}

std::optional<std::string> readApproximate(const odbc::Statement& statement, int column,
                                           short sqlType) {
    // Read in binary: the driver's own text of a double may stop short of its last digits.
    return readAs(statement, column, sqlType == SQL_REAL ? SQL_C_FLOAT : SQL_C_DOUBLE);
}

std::optional<std::string> readChars(const odbc::Statement& statement, int column) {
    return readAs(statement, column, SQL_C_CHAR);
}

std::optional<std::string> readBytes(const odbc::Statement& statement, int column) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(statement.handle().get(), SQLUSMALLINT(column),
                                        SQL_C_BINARY, buffer, sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        odbc::check(rc, statement.handle(), "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        const SQLLEN got = (indicator == SQL_NO_TOTAL || indicator > SQLLEN(sizeof buffer))
                               ? SQLLEN(sizeof buffer)
                               : indicator;
        bytes.append(buffer, std::size_t(got));
        if (rc == SQL_SUCCESS)
            break;
    }
    return bytes;
}

void drainResults(const odbc::Statement& statement) {
    // SQLMoreResults drops what is left of the current result and moves to the next one;
    // a failure that comes later in the batch (a trigger's, say) surfaces here.
    for (int results = 0; results < 100000; ++results) {
        const SQLRETURN rc = SQLMoreResults(statement.handle().get());
        if (rc == SQL_NO_DATA)
            return;
        odbc::check(rc, statement.handle(), "SQLMoreResults");
    }
}

} // namespace db
