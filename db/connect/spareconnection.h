#pragma once

// One logged-in driver connection kept for the next read of a connection's rows, so that
// reading a table again (another filter, a refresh) does not log in anew. A read gives
// its connection back when it ended, at the end or stopped, with its link alive; one that
// failed closes its own. Internal to the layer; any thread.

#include "db/odbc/odbc.h"

#include <memory>
#include <mutex>

namespace db {

class SpareConnection {
  public:
    // The kept connection, or null (the read logs in).
    std::unique_ptr<odbc::DriverConnection> take() {
        std::lock_guard lock(mutex_);
        return std::move(kept_);
    }
    // Keeps `connection` unless one is kept already or the connection was closed.
    void give(std::unique_ptr<odbc::DriverConnection> connection) {
        std::unique_ptr<odbc::DriverConnection> dropped;
        std::lock_guard lock(mutex_);
        if (closed_ || kept_)
            dropped = std::move(connection); // closed once the lock is let go
        else
            kept_ = std::move(connection);
    }
    // Drops the kept connection, and every one given from now on.
    void close() {
        std::unique_ptr<odbc::DriverConnection> dropped;
        std::lock_guard lock(mutex_);
        closed_ = true;
        dropped = std::move(kept_);
    }

  private:
    std::mutex mutex_;
    std::unique_ptr<odbc::DriverConnection> kept_;
    bool closed_ = false;
};

} // namespace db
