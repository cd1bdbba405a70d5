#pragma once

// An ADO-shaped connection over ODBC. Copies share one connection (as references to one
// data-access object do); the last copy to go closes it.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace db {

namespace odbc {
class DriverConnection;
}
class Recordset;

enum CursorLocationEnum : short { adUseServer = 2, adUseClient = 3 };
enum SchemaEnum : int { adSchemaTables = 20 };

// The defaults of the objects this layer stands in for.
inline constexpr int kDefaultConnectionTimeout = 15; // seconds to open
inline constexpr int kDefaultCommandTimeout = 30;    // seconds a command may run

struct ConnectionState; // defined in connection.cpp; shared with recordsets

class Connection {
  public:
    Connection();
    // For the layer: another reference to a connection that is there already.
    explicit Connection(std::shared_ptr<ConnectionState> state) : state_(std::move(state)) {}

    short CursorLocation() const;
    void setCursorLocation(short location);
    int CommandTimeout() const;
    void setCommandTimeout(int seconds); // 0: no limit; negative: throws DbError
    int ConnectionTimeout() const;
    void setConnectionTimeout(int seconds); // 0: no limit; negative: throws DbError

    // Opens with an ADO connection string ("Provider=...;..."). Returns once the server
    // has accepted the login for the database; throws DbError otherwise, at the latest
    // when ConnectionTimeout has passed (a driver that does not return by then is left
    // to finish on its own thread).
    void Open(const QString& connectionString);

    // The tables schema (adSchemaTables, no restrictions): a forward recordset with one
    // row per table-like object and the columns TABLE_TYPE and TABLE_NAME, among others.
    Recordset OpenSchema(int schema);
    // The database user the login acts as, as the server said after the login ("dbo" for
    // the database owner and sa); empty when it did not say.
    QString UserName() const;
    // The names of the tables and views `owner` owns (the tables schema restricted to
    // that owner).
    QStringList NamesOwnedBy(const QString& owner);

    // Closes the connection. Closing a closed connection does nothing.
    void Close();
    bool isOpen() const;

    // For the layer: the driver connection (null while closed).
    std::shared_ptr<odbc::DriverConnection> driver() const;
    std::shared_ptr<ConnectionState> state() const { return state_; }

  private:
    std::shared_ptr<ConnectionState> state_;
};

// Runs about every 50 ms on the waiting thread while a connect is under way (a program
// lets its windows repaint there). None by default. When the program ends meanwhile
// (Handler::halted), the wait gives up at once with "Operation cancelled".
void setConnectWaitHook(std::function<void()> hook);

// Connect attempts whose worker thread is still running, abandoned ones included (each
// ends once its driver returns).
int connectAttemptsUnderWay();

} // namespace db
