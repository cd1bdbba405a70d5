#pragma once

// What a recordset's read shares between the thread that opened it and the thread that
// reads, and that reading thread itself. Internal to recordsetstream.cpp.

#include "db/provider.h"
#include "db/recordsetstream.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

#include "db/odbc.h"

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

// Reads the rows of `source` over a new connection (see RecordsetStream::start); runs on a
// thread of its own and ends on its own, counted by readsUnderWay().
void readRecordset(std::shared_ptr<RecordsetStream::Shared> shared, QString odbcString,
                   std::shared_ptr<const Provider> provider, QString source, int timeoutSeconds);

std::atomic<int>& readsUnderWay();

} // namespace db
