#include "db/write/writetransaction.h"

#include "db/dialect/tsql.h"
#include "db/odbc/odbc.h"

#include <sqlext.h>

namespace db {
namespace {

thread_local WriteCancel* tCancel = nullptr;

BoundQuery plain(const QString& sql) {
    BoundQuery query;
    query.sql = sql;
    return query;
}

} // namespace

WriteTransaction::WriteTransaction(odbc::DriverConnection& connection, int timeoutSeconds)
    : connection_(connection), timeout_(timeoutSeconds) {}

void WriteTransaction::begin() {
    // The transaction counts as open from before the request: a begin that times out may
    // still have reached the server.
    open_ = true;
    run(tsql::kBeginTransaction);
}

WriteTransaction::~WriteTransaction() {
    if (open_)
        rollback();
}

void WriteTransaction::run(const QString& sql) {
    plain(sql).execute(connection_, timeout_);
}

SQLLEN WriteTransaction::execute(const BoundQuery& query) {
    return query.execute(connection_, timeout_);
}

std::vector<RowValues> WriteTransaction::select(const BoundQuery& query,
                                                const std::vector<ColumnInfo>& columns,
                                                int maxRows) {
    return query.select(connection_, columns, timeout_, maxRows);
}

void WriteTransaction::commit() {
    run(tsql::kCommitTransaction);
    // A commit ends only the outermost transaction: one the session held before ours (a
    // chained session's) would still hold the change, and lose it when it ends.
    if (transactionCount() != 0)
        throw DbError(QStringLiteral("The server still holds a transaction open after the "
                                     "commit, so the change would not be kept."),
                      QStringLiteral("25000"));
    open_ = false;
}

int WriteTransaction::transactionCount() {
    ColumnInfo count;
    count.sqlType = SQL_INTEGER;
    const std::vector<RowValues> rows =
        plain(tsql::kTransactionCount).select(connection_, {count}, timeout_, 1);
    if (rows.size() != 1 || !rows[0][0])
        throw DbError(QStringLiteral("The server did not say whether a transaction is open."),
                      QStringLiteral("HY000"));
    return QString::fromStdString(*rows[0][0]).trimmed().toInt();
}

void WriteTransaction::rollback() noexcept {
    // Ending the transaction is never cancelled: it is what a cancel asks for.
    WriteCancel* const cancel = tCancel;
    tCancel = nullptr;
    try {
        run(tsql::kRollbackOpenTransaction);
        open_ = transactionCount() != 0;
    } catch (const DbError&) {
        // Unanswered: the transaction counts as still open.
    }
    tCancel = cancel;
}

void WriteCancel::cancel() {
    cancelled_ = true;
    std::lock_guard<std::mutex> lock(mutex_);
    if (statement_)
        SQLCancel(SQLHSTMT(statement_));
}

CancelScope::CancelScope(void* statement) {
    if (WriteCancel* c = tCancel) {
        std::lock_guard<std::mutex> lock(c->mutex_);
        if (c->cancelled_)
            throw DbError(QStringLiteral("Operation was cancelled"), QStringLiteral("HY008"));
        c->statement_ = statement;
    }
}

CancelScope::~CancelScope() {
    if (WriteCancel* c = tCancel) {
        std::lock_guard<std::mutex> lock(c->mutex_);
        c->statement_ = nullptr;
    }
}

void setCurrentWriteCancel(WriteCancel* cancel) {
    tCancel = cancel;
}

WriteCancel* currentWriteCancel() {
    return tCancel;
}

} // namespace db
