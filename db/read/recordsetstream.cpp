#include "db/read/recordsetstream.h"

#include "db/connect/connectionstate.h"
#include "db/read/recordsetread.h"

#include <chrono>
#include <system_error>
#include <thread>

namespace db {
namespace {

constexpr long long kRowsBeforeShowing = 100; // a screenful

} // namespace

RecordsetStream::RecordsetStream() : shared_(std::make_shared<Shared>()) {}

std::shared_ptr<RecordsetStream> RecordsetStream::start(const ConnectionState& connection,
                                                        const QString& source) {
    std::shared_ptr<RecordsetStream> stream(new RecordsetStream());
    stream->shared_->loop = QCoreApplication::instance();
    ++readsUnderWay();
    try {
        std::thread(readRecordset, stream->shared_, connection.spareRead, connection.odbcString,
                    connection.provider, source, connection.commandTimeout)
            .detach();
    } catch (const std::system_error& e) {
        --readsUnderWay();
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
    const auto ended = [&] { return shared_->state != State::Reading; };
    const auto described = [&] { return ended() || shared_->described; };
    const auto ready = [&] {
        return ended() || (shared_->described && shared_->rowsRead >= kRowsBeforeShowing);
    };
    if (timeoutSeconds > 0)
        shared_->changed.wait_until(lock, deadline, described);
    else
        shared_->changed.wait(lock, described);
    // Once the result has begun, rows that keep coming are waited for: a server that falls
    // silent is ended by the read's own query time-out, which the driver counts from the
    // last byte it received.
    if (described())
        shared_->changed.wait(lock, ready);
    if (shared_->state == State::Failed)
        std::rethrow_exception(shared_->error);
    if (!ready()) {
        lock.unlock();
        stop();
        throw DbError(QStringLiteral("Query timeout expired"), QStringLiteral("HYT00"), 0);
    }
}

bool RecordsetStream::firstRowsIn() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->state != State::Reading ||
           (shared_->described && shared_->rowsRead >= kRowsBeforeShowing);
}

bool RecordsetStream::described() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->described;
}

void RecordsetStream::throwIfFailed() const {
    std::lock_guard lock(shared_->mutex);
    if (shared_->state == State::Failed)
        std::rethrow_exception(shared_->error);
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

} // namespace db
