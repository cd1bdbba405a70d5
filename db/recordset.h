#pragma once

// An ADO-shaped recordset. Open reads every row of its source into a ResultTable; the
// recordset then moves forward over it (Eof, MoveNext, Fields) or hands it to a grid
// (DataSource). Copies share one recordset.

#include "db/resulttable.h"

#include <QString>
#include <QVariant>
#include <memory>

namespace db {

class Connection;
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
// stays open while the grid holds them.
struct RecordsetData {
    QString source; // the SQL text
    int cursorType = adOpenForwardOnly;
    int lockType = adLockReadOnly;
    std::shared_ptr<ConnectionState> connection;
    ResultTable rows;
};

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
