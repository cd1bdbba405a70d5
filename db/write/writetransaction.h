#pragma once

// One write's transaction, opened and ended by statements of the program's own (never
// by switching the driver's auto-commit, which stays on): a driver that turns auto-commit
// off starts its own transactions and, once the server has ended one by itself (a
// trigger's rollback, a deadlock), goes on believing it is inside one while every later
// statement commits at once. Every statement runs within the write's time-out and can
// be cancelled from another thread. After any failure the transaction is rolled back and
// the server asked whether one is still open; the answer is kept.

#include "db/write/boundquery.h"

#include <QString>
#include <atomic>
#include <mutex>

namespace db {

namespace odbc {
class DriverConnection;
}

class WriteTransaction {
  public:
    WriteTransaction(odbc::DriverConnection& connection, int timeoutSeconds);
    ~WriteTransaction(); // rolls back unless committed
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    // Throws DbError when the server refuses or the time-out passes.
    void begin();
    SQLLEN execute(const BoundQuery& query);
    std::vector<RowValues> select(const BoundQuery& query, const std::vector<ColumnInfo>& columns,
                                  int maxRows);
    void commit();
    // Rolls back and finds out whether a transaction is still open; never throws.
    void rollback() noexcept;

    // True while the server still holds this write's transaction open.
    bool open() const { return open_; }

  private:
    void run(const QString& sql);
    int transactionCount(); // throws DbError when the server does not say

    odbc::DriverConnection& connection_;
    int timeout_;
    bool open_ = false;
};

// The statement that runs now on any write, for cancelling it from another thread.
class WriteCancel {
  public:
    void cancel(); // any thread
    bool cancelled() const { return cancelled_; }
    void reset() { cancelled_ = false; }

  private:
    friend class CancelScope;
    std::mutex mutex_;
    void* statement_ = nullptr; // SQLHSTMT
    std::atomic<bool> cancelled_{false};
};

// Registers the statement of `statement` with the current WriteCancel while it runs.
class CancelScope {
  public:
    explicit CancelScope(void* statement);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;
};

// The cancel hook of writes on this thread (null: none).
void setCurrentWriteCancel(WriteCancel* cancel);
WriteCancel* currentWriteCancel();

} // namespace db
