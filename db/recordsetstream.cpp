#include "db/recordsetstream.h"

#include "db/connectionstate.h"
#include "db/resultreader.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace db {
namespace {

constexpr long long kRowsBeforeShowing = 100; // a screenful

std::atomic<int> readsUnderWay{0};

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

} // namespace

struct RecordsetStream::Shared {
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool described = false;
    std::vector<ColumnInfo> columns;
    std::deque<RowBlock> blocks;
    long long rowsRead = 0;
    State state = State::Reading;
    QString message;
    std::exception_ptr error;
    std::atomic<bool> stopRequested{false};
    bool wakePending = false;
    QPointer<QCoreApplication> loop; // set on the opening thread
    std::function<void()> onArrival; // used on the opening thread only

    std::mutex cancelMutex; // guards the statement handle for a cancel
    SQLHSTMT statement = SQL_NULL_HSTMT;
    bool cancellable = false;

    // Under `mutex`: lets the opening thread know, once per turn of its loop.
    void wake(const std::shared_ptr<Shared>& self) {
        changed.notify_all();
        if (wakePending || stopRequested || !loop)
            return;
        wakePending = true;
        std::weak_ptr<Shared> weak = self;
        QMetaObject::invokeMethod(
            loop.data(),
            [weak] {
                const std::shared_ptr<Shared> shared = weak.lock();
                if (!shared)
                    return;
                {
                    std::lock_guard lock(shared->mutex);
                    shared->wakePending = false;
                }
                if (shared->onArrival)
                    shared->onArrival();
            },
            Qt::QueuedConnection);
    }

    void finish(const std::shared_ptr<Shared>& self, State end) {
        std::lock_guard lock(mutex);
        if (state == State::Reading)
            state = end;
        wake(self);
    }
    void fail(const std::shared_ptr<Shared>& self, std::exception_ptr what, const QString& why) {
        std::lock_guard lock(mutex);
        if (state == State::Reading) {
            state = State::Failed;
            message = why;
            error = std::move(what);
        }
        wake(self);
    }
};

namespace {

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
            shared_->blocks.push_back(std::move(block));
            shared_->wake(shared_);
        }
        runBlockHook(rows);
    }
    bool stopRequested() const override { return shared_->stopRequested; }

  private:
    std::shared_ptr<RecordsetStream::Shared> shared_;
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

// Connects, runs the query and streams its rows; answers whether it read to the end.
// The statement and the connection are closed when it returns.
bool readAll(const std::shared_ptr<RecordsetStream::Shared>& shared, const QString& odbcString,
             const Provider& provider, const QString& source, int timeoutSeconds) {
    odbc::DriverConnection connection(std::make_shared<odbc::Environment>());
    connection.connect(odbcString, 0);
    provider.afterConnect(connection);
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

void read(std::shared_ptr<RecordsetStream::Shared> shared, QString odbcString,
          std::shared_ptr<const Provider> provider, QString source, int timeoutSeconds) {
    using State = RecordsetStream::State;
    // The end is told once the connection is closed: nothing of the read is left then.
    try {
        const bool complete = readAll(shared, odbcString, *provider, source, timeoutSeconds);
        shared->finish(shared, complete ? State::Complete : State::Stopped);
    } catch (const DbError& e) {
        shared->fail(shared, std::current_exception(), e.description());
    } catch (const std::exception& e) {
        shared->fail(shared, std::current_exception(), QString::fromLocal8Bit(e.what()));
    }
    shared.reset(); // the caller may be long gone
    provider.reset();
    odbcString.clear();
    --readsUnderWay;
}

} // namespace

RecordsetStream::RecordsetStream() : shared_(std::make_shared<Shared>()) {}

std::shared_ptr<RecordsetStream> RecordsetStream::start(const ConnectionState& connection,
                                                        const QString& source) {
    std::shared_ptr<RecordsetStream> stream(new RecordsetStream());
    stream->shared_->loop = QCoreApplication::instance();
    ++readsUnderWay;
    try {
        std::thread(read, stream->shared_, connection.odbcString, connection.provider, source,
                    connection.commandTimeout)
            .detach();
    } catch (const std::system_error& e) {
        --readsUnderWay;
        throw DbError(
            QStringLiteral("The rows could not be read: %1").arg(QString::fromLocal8Bit(e.what())),
            QStringLiteral("HY001"));
    }
    return stream;
}

RecordsetStream::~RecordsetStream() {
    stop();
}

void RecordsetStream::waitForFirstRows(int timeoutSeconds) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    std::unique_lock lock(shared_->mutex);
    const auto ready = [&] {
        return shared_->state != State::Reading ||
               (shared_->described && shared_->rowsRead >= kRowsBeforeShowing);
    };
    if (timeoutSeconds > 0)
        shared_->changed.wait_until(lock, deadline, ready);
    else
        shared_->changed.wait(lock, ready);
    if (shared_->state == State::Failed)
        std::rethrow_exception(shared_->error);
    if (!ready()) {
        lock.unlock();
        stop();
        throw DbError(QStringLiteral("Query timeout expired"), QStringLiteral("HYT00"), 0);
    }
}

std::vector<ColumnInfo> RecordsetStream::columns() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->columns;
}

std::vector<RowBlock> RecordsetStream::take(bool wait) {
    std::unique_lock lock(shared_->mutex);
    if (wait)
        shared_->changed.wait(
            lock, [&] { return !shared_->blocks.empty() || shared_->state != State::Reading; });
    std::vector<RowBlock> blocks;
    blocks.reserve(shared_->blocks.size());
    for (RowBlock& block : shared_->blocks)
        blocks.push_back(std::move(block));
    shared_->blocks.clear();
    return blocks;
}

RecordsetStream::State RecordsetStream::state() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->state;
}

QString RecordsetStream::message() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->message;
}

void RecordsetStream::stop() {
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->state != State::Reading)
            return;
        shared_->stopRequested = true;
        shared_->state = State::Stopped;
        shared_->changed.notify_all();
    }
    // A read waiting on a silent server is cancelled from a thread of its own, so this
    // thread never waits for the driver.
    try {
        std::thread([shared = shared_] {
            std::lock_guard lock(shared->cancelMutex);
            if (shared->statement != SQL_NULL_HSTMT && shared->cancellable)
                SQLCancel(shared->statement);
        }).detach();
    } catch (const std::system_error&) {
        // The read still sees the stop between blocks.
    }
}

void RecordsetStream::setArrivalHandler(std::function<void()> handler) {
    shared_->onArrival = std::move(handler);
}

int recordsetReadsUnderWay() {
    return readsUnderWay.load();
}

void setReadBlockHook(std::function<void(long long)> hook) {
    std::lock_guard lock(hookMutex);
    blockHook() = std::move(hook);
}

} // namespace db
