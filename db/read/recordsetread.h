#pragma once

// What a recordset's read shares between the thread that opened it and the thread that
// reads, and that reading thread itself. Internal to recordsetstream.cpp.

#include "db/connect/provider.h"
#include "db/connect/spareconnection.h"
#include "db/read/recordsetstream.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

#include "db/odbc/odbc.h"

namespace db {

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
    std::chrono::steady_clock::time_point nextArrival; // arrivals are told from then on
    QPointer<QCoreApplication> loop;                   // set on the opening thread
    std::function<void()> onArrival;                   // used on the opening thread only

    std::mutex cancelMutex; // guards the statement handle for a cancel
    SQLHSTMT statement = SQL_NULL_HSTMT;
    bool cancellable = false;

    // Under `mutex`: lets the opening thread know (see arrive), one telling at a time.
    void wake(const std::shared_ptr<Shared>& self) {
        changed.notify_all();
        if (wakePending || stopRequested || !loop)
            return;
        wakePending = true;
        std::weak_ptr<Shared> weak = self;
        QMetaObject::invokeMethod(
            loop.data(), [weak] { arrive(weak); }, Qt::QueuedConnection);
    }

    // On the opening thread: tells of the rows that have arrived. Rows that come faster
    // than a window needs them are told of together, at most once per interval after the
    // last telling ended (a view's work per insertion grows with the rows it holds, and
    // the rows held back meanwhile are a tenth of a second's reading). The end is told at
    // once.
    static void arrive(const std::weak_ptr<Shared>& weak) {
        using Clock = std::chrono::steady_clock;
        constexpr auto kInterval = std::chrono::milliseconds(100);
        const std::shared_ptr<Shared> shared = weak.lock();
        if (!shared)
            return;
        {
            std::lock_guard lock(shared->mutex);
            const Clock::time_point now = Clock::now();
            if (shared->state == State::Reading && now < shared->nextArrival && shared->loop) {
                QTimer::singleShot(
                    std::chrono::ceil<std::chrono::milliseconds>(shared->nextArrival - now),
                    shared->loop.data(), [weak] { arrive(weak); });
                return;
            }
            shared->wakePending = false;
        }
        if (shared->onArrival)
            shared->onArrival();
        std::lock_guard lock(shared->mutex);
        shared->nextArrival = Clock::now() + kInterval;
    }

    void finish(const std::shared_ptr<Shared>& self, State end) {
        std::lock_guard lock(mutex);
        if (state == State::Reading)
            state = end;
        wakePending = false; // the end does not wait for an arrival held back
        wake(self);
    }
    void fail(const std::shared_ptr<Shared>& self, std::exception_ptr what, const QString& why) {
        std::lock_guard lock(mutex);
        if (state == State::Reading) {
            state = State::Failed;
            message = why;
            error = std::move(what);
        }
        wakePending = false;
        wake(self);
    }
};

// Reads the rows of `source` over a connection of its own, the one `spare` kept or a new
// login (see RecordsetStream::start); runs on a thread of its own and ends on its own,
// counted by readsUnderWay().
void readRecordset(std::shared_ptr<RecordsetStream::Shared> shared,
                   std::shared_ptr<SpareConnection> spare, QString odbcString,
                   std::shared_ptr<const Provider> provider, QString source, int timeoutSeconds);

std::atomic<int>& readsUnderWay();

} // namespace db
