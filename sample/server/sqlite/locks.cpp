// Table locks between sessions: SQLite lets a reader see the last committed rows while
// another session's transaction has changed them, where Adaptive Server makes the reader
// wait for that transaction to end.

#include "session.h"

#include "messages.h"

#include <algorithm>
#include <cctype>
#include <thread>

namespace tds::sqlite {

std::string SqliteSession::lockKey(const TableInfo& table) const {
    std::string key = database_ + "/" + table.name;
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return key;
}

void SqliteSession::holdTable(const TableInfo& table) {
    const std::string key = lockKey(table);
    if (std::find(heldTables_.begin(), heldTables_.end(), key) != heldTables_.end())
        return;
    std::lock_guard lock(shared_->locks);
    shared_->changedTables[key] = spid_;
    heldTables_.push_back(key);
}

void SqliteSession::releaseTables() {
    if (heldTables_.empty())
        return;
    std::lock_guard lock(shared_->locks);
    for (const std::string& key : heldTables_) {
        auto it = shared_->changedTables.find(key);
        if (it != shared_->changedTables.end() && it->second == spid_)
            shared_->changedTables.erase(it);
    }
    heldTables_.clear();
}

SqliteSession::Flow SqliteSession::waitUntil(const std::function<bool()>& free, ResultSink& sink) {
    for (;;) {
        {
            std::lock_guard lock(shared_->locks);
            if (free())
                return Flow::Next;
        }
        if (sink.cancelled())
            return Flow::Cancelled;
        if (lockWaitSeconds_ >= 0 &&
            std::chrono::steady_clock::now() - started_ >= std::chrono::seconds(lockWaitSeconds_)) {
            rollbackAll();
            return fail(msg::lockTimeout(lockWaitSeconds_, spid_), sink);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

SqliteSession::Flow SqliteSession::waitForWriters(const TableInfo& table, ResultSink& sink) {
    if (!shared_->options.readersWaitForWriters)
        return Flow::Next;
    const std::string key = lockKey(table);
    return waitUntil(
        [&] {
            auto it = shared_->changedTables.find(key);
            return it == shared_->changedTables.end() || it->second == spid_;
        },
        sink);
}

SqliteSession::Flow SqliteSession::holdForTransaction(ResultSink& sink) {
    if (wrote_)
        return Flow::Next; // the write lock is held already
    // Only reads so far, which hold no locks at isolation level 1: give up the snapshot
    // they read from and take the lock, waiting for it like any writer.
    exec("ROLLBACK");
    if (exec("BEGIN IMMEDIATE")) {
        wrote_ = true;
        return Flow::Next;
    }
    if (busy_ == Busy::Cancelled) {
        exec("BEGIN");
        return Flow::Cancelled;
    }
    const bool timedOut = busy_ == Busy::TimedOut;
    const Message message = timedOut ? msg::lockTimeout(lockWaitSeconds_, spid_)
                                     : msg::internal(sqlite3_errmsg(db_.get()));
    rollbackAll();
    return fail(message, sink);
}

void SqliteSession::holdRead(const std::string& key, int change) {
    std::lock_guard lock(shared_->locks);
    auto& scans = shared_->readers[key];
    if ((scans[spid_] += change) <= 0)
        scans.erase(spid_);
    if (scans.empty())
        shared_->readers.erase(key);
}

SqliteSession::Flow SqliteSession::waitForReaders(const TableInfo& table, ResultSink& sink) {
    if (!shared_->allpagesReadLocks)
        return Flow::Next;
    const std::string key = lockKey(table);
    return waitUntil(
        [&] {
            auto it = shared_->readers.find(key);
            return it == shared_->readers.end() ||
                   (it->second.size() == 1 && it->second.count(spid_) == 1);
        },
        sink);
}

} // namespace tds::sqlite
