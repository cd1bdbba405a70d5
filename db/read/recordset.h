#pragma once

// An ADO-shaped recordset. Open runs its source and returns once the first rows are in a
// ResultTable; the rest is read behind them (see RecordsetStream) and appended whenever
// the opening thread's event loop runs, or when Eof needs them. The recordset moves
// forward over the rows (Eof, MoveNext, Fields) or hands them to a grid (DataSource).
// Copies share one recordset.

#include "db/read/filter.h"
#include "db/read/resulttable.h"

#include <QString>
#include <QVariant>
#include <cstddef>
#include <functional>
#include <memory>

namespace db {

class Connection;
class RecordsetStream;
struct ConnectionState;

enum CursorTypeEnum : int {
    adOpenForwardOnly = 0,
    adOpenKeyset = 1,
    adOpenDynamic = 2,
    adOpenStatic = 3
};
enum LockTypeEnum : int {
    adLockReadOnly = 1,
    adLockPessimistic = 2,
    adLockOptimistic = 3,
    adLockBatchOptimistic = 4
};

// What a grid binds to: the rows, the source they came from, and the connection that
// stays open while the grid holds them. The rows are read over a connection of their
// own, so `connection` is free for other statements (writes) at any time, also while
// rows are still arriving.
struct RecordsetData {
    enum class Load { Complete, Reading, Stopped, Failed };

    RecordsetData() = default;
    ~RecordsetData(); // stops a read still under way
    RecordsetData(const RecordsetData&) = delete;
    RecordsetData& operator=(const RecordsetData&) = delete;

    QString source; // the SQL text (a table's: "SELECT * FROM [t]", never with a filter)
    // The filter the rows were read with, and its WHERE text as the read appended it to
    // the source (" WHERE ..."); empty: every row. A refresh reads with both again.
    Filter filter;
    QString where;
    int cursorType = adOpenForwardOnly;
    int lockType = adLockReadOnly;
    std::shared_ptr<ConnectionState> connection;
    ResultTable rows;

    // Where the read of the rows stands, and why it failed or stopped on its own.
    Load load() const;
    QString loadMessage() const;
    // Appends the rows that have arrived (on the opening thread), telling the listeners
    // below; with `wait`, first waits for rows or the end of the read. Answers how many.
    int appendArrived(bool wait = false);
    // Stops the read: the rows appended so far stay, no more come.
    void stopLoad();
    // Runs on the opening thread's event loop when rows have arrived or the read ended
    // (call appendArrived there). Empty: nobody listens.
    void setArrivalHandler(std::function<void()> handler);
    // Told just before and after arrived rows are appended (a model's row insertion).
    std::function<void(int first, int last)> rowsAboutToBeAppended;
    std::function<void()> rowsAppended;

    // For the layer: the read under way, null once the rows were read whole.
    std::shared_ptr<RecordsetStream> stream;
    bool settled = false; // the read has ended and the rows' spare room is given back
};

// Where the rows came from: the server and database of their connection and their source
// (no login values); empty when they have no connection.
QString sourcePlace(const RecordsetData& data);

// Runs the rows' source again over the same connection, with the same cursor and lock
// types, and answers the new rows (the first of them read, the rest on their way).
// Throws DbError as Recordset::Open does.
std::shared_ptr<RecordsetData> requery(const RecordsetData& data);

// The same without waiting, for a window that goes on meanwhile (another user's lock may
// hold the read for as long as it lasts): the read starts at once, and `whenReady` runs on
// this thread's event loop once the first rows are in, the read failed, or the columns did
// not come within the connection's time-outs. `take` then answers the new rows, or throws
// DbError as requery does. Dropping it, or stop, ends the read.
class PendingRequery {
  public:
    PendingRequery(const RecordsetData& data, std::function<void()> whenReady);
    // Reads the table of `data` again with `filter` as a WHERE the server evaluates (an
    // empty filter: the table's own query, unchanged); the new rows keep the filter. A
    // filter checkFilter refuses throws DbError with its refusal before anything is read.
    PendingRequery(const RecordsetData& data, const Filter& filter, const TableKeys* keys,
                   std::function<void()> whenReady);
    ~PendingRequery();
    PendingRequery(const PendingRequery&) = delete;
    PendingRequery& operator=(const PendingRequery&) = delete;

    bool ready() const;
    std::shared_ptr<RecordsetData> take();
    void stop();

  private:
    void start(const RecordsetData& data, const Filter& filter, const QString& where,
               std::function<void()> whenReady);
    struct State;
    std::shared_ptr<State> state_;
};

// The bytes of rows a read holds before it stops on its own, as the Stop button stops it,
// keeping what it read (its load message says why): a part of the machine's physical
// memory. setReadMemoryLimit sets another limit (tests); 0 goes back to the machine's.
std::size_t readMemoryLimit();
void setReadMemoryLimit(std::size_t bytes);

class Field {
  public:
    Field(std::shared_ptr<const RecordsetData> data, int row, int column);
    // The value as text; a null value gives an invalid QVariant. Throws at EOF.
    QVariant Value() const;

  private:
    std::shared_ptr<const RecordsetData> data_;
    int row_;
    int column_;
};

class Recordset {
  public:
    Recordset();

    // Runs the SQL text on the open connection and reads all its rows. Throws DbError
    // (the server's message) when the query fails, kObjectClosed when the connection is
    // not open, kObjectOpen when this recordset is already open.
    void Open(const QString& source, const Connection& activeConnection, int cursorType,
              int lockType);

    // For the layer: opens over rows already read (the schema recordsets).
    void openOver(std::shared_ptr<RecordsetData> data);

    bool Eof() const;                        // throws kObjectClosed when closed
    void MoveNext();                         // throws at EOF or when closed
    Field Fields(const QString& name) const; // throws for an unknown column

    // The rows for a grid; null while closed. The grid keeps them (and their connection)
    // for as long as it holds the pointer.
    std::shared_ptr<RecordsetData> DataSource() const;

    // Closes the recordset. Closing a closed recordset does nothing.
    void Close();
    bool isOpen() const;

  private:
    struct State {
        std::shared_ptr<RecordsetData> data;
        int position = 0;
    };
    std::shared_ptr<State> state_;
};

} // namespace db
