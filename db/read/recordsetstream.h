#pragma once

// Reads the rows of an opened recordset while the program goes on: a thread of its own,
// on a connection of its own, hands blocks of rows to the thread that opened it. The
// recordset's own connection so stays free for the statements that write edits back (a
// TDS 5.0 connection carries one active statement at a time, and a second one on it
// would fail while rows are pending). Internal to the layer.

#include "db/read/resulttable.h"

#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace db {

struct ConnectionState;

class RecordsetStream {
  public:
    enum class State { Reading, Complete, Stopped, Failed };

    // Starts reading the rows of `source` over a connection of its own: the one the last
    // read of `connection` kept, or a new one opened like it (same driver connection
    // string, provider and command time-out).
    static std::shared_ptr<RecordsetStream> start(const ConnectionState& connection,
                                                  const QString& source);
    ~RecordsetStream(); // stops the read
    RecordsetStream(const RecordsetStream&) = delete;
    RecordsetStream& operator=(const RecordsetStream&) = delete;

    // Waits until the columns are known, at most `timeoutSeconds` (0: no limit), then for
    // the first screenful of rows (or the end) for as long as the server goes on sending
    // (the read's query time-out ends a server that falls silent). Throws DbError with the
    // driver's message when the query failed, and a time-out error (the read then stops)
    // when the columns did not come in time.
    void waitForFirstRows(int timeoutSeconds);
    // Without waiting: true once the columns and the first screenful of rows are in, or
    // the read has ended (failed too).
    bool firstRowsIn() const;
    // Whether the columns are known yet.
    bool described() const;
    // Throws the read's error when it failed.
    void throwIfFailed() const;
    std::vector<ColumnInfo> columns() const;

    // The blocks that have arrived since the last call, in order. With `wait`, first
    // waits until one arrives or the read ends. Nothing arrives after a stop.
    std::vector<RowBlock> take(bool wait = false);

    State state() const;
    // Why the read failed; empty otherwise.
    QString message() const;
    // Stops the read at once: rows handed over stay, the rest is never read. Never waits
    // for the server: the thread cancels the statement and ends on its own.
    void stop();

    // Runs on the opening thread's event loop whenever rows arrive or the read ends.
    // Set and cleared on that thread.
    void setArrivalHandler(std::function<void()> handler);

    struct Shared;

  private:
    RecordsetStream();
    std::shared_ptr<Shared> shared_;
};

// Reads whose thread has not finished yet, stopped ones included.
int recordsetReadsUnderWay();

// For tests: runs on the reading thread after each block is handed over, with the number
// of rows read so far (a test holds the read there). None by default.
void setReadBlockHook(std::function<void(long long rowsRead)> hook);

} // namespace db
