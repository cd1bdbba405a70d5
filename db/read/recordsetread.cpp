#include "db/read/recordsetread.h"

#include "db/connect/connectionstate.h"
#include "db/read/recordset.h"
#include "db/read/resultreader.h"

#include <QLocale>
#include <functional>
#include <unistd.h>

namespace db {
namespace {

std::atomic<int> underWay{0};
std::atomic<std::size_t> memoryLimit{0};

// A quarter of the machine's physical memory: the rows' own bytes, with room left for
// what the grid builds over them (order, sort keys) and for the rest of the machine.
std::size_t machineLimit() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return std::size_t(1) << 30;
    return std::size_t(pages) / 4 * std::size_t(pageSize);
}

QString memoryStopMessage(long long rows, std::size_t bytes) {
    return QStringLiteral("The read stopped after %1 rows, which take %2 MB: more would "
                          "exhaust this computer's memory. A filter narrows the table to "
                          "the rows you need.")
        .arg(QLocale().toString(rows), QLocale().toString(qulonglong(bytes >> 20)));
}

std::mutex hookMutex;
std::function<void(long long)>& blockHook() {
    static std::function<void(long long)> hook;
    return hook;
}

void runBlockHook(long long rows) {
    std::function<void(long long)> hook;
    {
        std::lock_guard lock(hookMutex);
        hook = blockHook();
    }
    if (hook)
        hook(rows);
}

// FreeTDS sends an attention from any thread; other drivers may free the statement
// under the fetch, so the read is left to see the stop itself between blocks.
bool cancelsFromAnotherThread(const odbc::DriverConnection& connection) {
    SQLCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(connection.handle().get(), SQL_DRIVER_NAME, name,
                                  SQLSMALLINT(sizeof name), &length)))
        return false;
    return QByteArray(reinterpret_cast<const char*>(name)).toLower().contains("tdsodbc");
}

class StreamSink : public RowSink {
  public:
    explicit StreamSink(std::shared_ptr<RecordsetStream::Shared> shared)
        : shared_(std::move(shared)) {}
    void deliver(RowBlock&& block) override {
        long long rows = 0;
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->stopRequested)
                return;
            shared_->rowsRead += block.rowCount();
            rows = shared_->rowsRead;
            bytes_ += block.bytes();
            shared_->blocks.push_back(std::move(block));
            // Past the limit the read ends as a stop ends it, keeping what it read.
            // The opening thread is told first: a stopped read tells it nothing more.
            if (bytes_ > limit_ && shared_->state == RecordsetStream::State::Reading) {
                shared_->state = RecordsetStream::State::Stopped;
                shared_->message = memoryStopMessage(rows, bytes_);
                shared_->wakePending = false;
                shared_->wake(shared_);
                shared_->stopRequested = true;
            } else {
                shared_->wake(shared_);
            }
        }
        runBlockHook(rows);
    }
    bool stopRequested() const override { return shared_->stopRequested; }

  private:
    std::shared_ptr<RecordsetStream::Shared> shared_;
    std::size_t limit_ = readMemoryLimit();
    std::size_t bytes_ = 0;
};

// Registers the statement for a cancel from another thread while it lives.
class CancelSlot {
  public:
    CancelSlot(RecordsetStream::Shared& shared, const odbc::Statement& statement,
               const odbc::DriverConnection& connection)
        : shared_(shared) {
        std::lock_guard lock(shared_.cancelMutex);
        shared_.statement = statement.handle().get();
        shared_.cancellable = cancelsFromAnotherThread(connection);
    }
    ~CancelSlot() {
        std::lock_guard lock(shared_.cancelMutex);
        shared_.statement = SQL_NULL_HSTMT;
    }
    CancelSlot(const CancelSlot&) = delete;
    CancelSlot& operator=(const CancelSlot&) = delete;

  private:
    RecordsetStream::Shared& shared_;
};

// Runs the query over `connection` and streams its rows; answers whether it read to the
// end. The statement is closed when it returns.
bool readOver(odbc::DriverConnection& connection,
              const std::shared_ptr<RecordsetStream::Shared>& shared, const QString& source,
              int timeoutSeconds) {
    odbc::Statement statement(connection);
    statement.setQueryTimeout(timeoutSeconds);
    const CancelSlot slot(*shared, statement, connection);
    if (shared->stopRequested)
        return false;
    statement.execDirect(source);
    std::vector<ColumnInfo> columns = describeColumns(statement);
    {
        std::lock_guard lock(shared->mutex);
        shared->columns = columns;
        shared->described = true;
        shared->wake(shared);
    }
    StreamSink sink(shared);
    return streamRows(statement, columns, sink, [&] { statement.execDirect(source); });
}

// Reads over the connection the last read kept, or logs in; answers whether it read to
// the end. A read that ended, at the end or stopped, keeps its connection for the next. A kept
// connection the server has dropped meanwhile (the driver finds its link lost before any column
// came) is replaced by a new login, once.
bool readAll(const std::shared_ptr<RecordsetStream::Shared>& shared, SpareConnection& spare,
             const QString& odbcString, const Provider& provider, const QString& source,
             int timeoutSeconds) {
    std::unique_ptr<odbc::DriverConnection> connection = spare.take();
    bool kept = connection != nullptr;
    for (;;) {
        if (!connection) {
            connection =
                std::make_unique<odbc::DriverConnection>(std::make_shared<odbc::Environment>());
            connection->connect(odbcString, 0);
            provider.afterConnect(*connection);
        }
        // Stopped, the statement was closed (its rest cancelled, the server's acknowledgement
        // read) before readOver returned or threw: the session is idle again.
        const auto keep = [&] {
            if (!connection->dead())
                spare.give(std::move(connection));
        };
        try {
            const bool complete = readOver(*connection, shared, source, timeoutSeconds);
            keep();
            return complete;
        } catch (const DbError&) {
            if (shared->stopRequested) {
                keep();
                throw;
            }
            if (!kept || shared->described || !connection->dead())
                throw;
            connection.reset(); // the kept one, dropped by the server: once more, logged in
            kept = false;
        }
    }
}

} // namespace

void readRecordset(std::shared_ptr<RecordsetStream::Shared> shared,
                   std::shared_ptr<SpareConnection> spare, QString odbcString,
                   std::shared_ptr<const Provider> provider, QString source, int timeoutSeconds) {
    using State = RecordsetStream::State;
    // The end is told once the statement is closed (and the connection closed or kept):
    // nothing of the read is left then.
    try {
        const bool complete =
            readAll(shared, *spare, odbcString, *provider, source, timeoutSeconds);
        shared->finish(shared, complete ? State::Complete : State::Stopped);
    } catch (const DbError& e) {
        shared->fail(shared, std::current_exception(), e.description());
    } catch (const std::exception& e) {
        shared->fail(shared, std::current_exception(), QString::fromLocal8Bit(e.what()));
    }
    shared.reset(); // the caller may be long gone
    spare.reset();
    provider.reset();
    odbcString.clear();
    --underWay;
}

std::atomic<int>& readsUnderWay() {
    return underWay;
}

int recordsetReadsUnderWay() {
    return underWay.load();
}

std::size_t readMemoryLimit() {
    const std::size_t set = memoryLimit;
    return set > 0 ? set : machineLimit();
}

void setReadMemoryLimit(std::size_t bytes) {
    memoryLimit = bytes;
}

void setReadBlockHook(std::function<void(long long)> hook) {
    std::lock_guard lock(hookMutex);
    blockHook() = std::move(hook);
}

} // namespace db
