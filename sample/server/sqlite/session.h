#pragma once

// One client's session: its SQLite connection, current database and transaction.

#include "handles.h"
#include "schema.h"
#include "sqlitebackend.h"
#include "statements.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace tds::sqlite {

class SqliteSession final : public Session {
  public:
    // `login`: "sa" is the database owner, dbo, with the sa role; any other login is the
    // database user of its own name.
    SqliteSession(std::shared_ptr<Shared> shared, const std::string& database,
                  const std::string& login = "sa");
    ~SqliteSession() override;

    void language(const std::string& batch, ResultSink& sink) override;
    void rpc(const std::string& procedure, const std::vector<RpcParameter>& parameters,
             ResultSink& sink) override;
    void close() override;

  private:
    // What the batch does after a statement.
    enum class Flow { Next, StopBatch, Cancelled };
    enum class Busy { None, Cancelled, TimedOut };

    Flow run(const Statement& statement, ResultSink& sink);
    Flow runControl(const Statement& statement, ResultSink& sink);
    Flow runSelect(const Select& select, ResultSink& sink);
    Flow runVariables(const Select& select, ResultSink& sink);
    Flow runUpdate(const Update& update, ResultSink& sink);
    Flow runInsert(const Insert& insert, ResultSink& sink);
    Flow runDelete(const Delete& remove, ResultSink& sink);
    // Runs one INSERT/UPDATE/DELETE on `table` as an atomic statement, with its triggers.
    Flow runWrite(const Sql& sql, const TableInfo& table, const char* event, ResultSink& sink);
    Flow fail(const Message& message, ResultSink& sink, Flow flow = Flow::StopBatch);
    Flow conversionFailed(const Message& message, ResultSink& sink);
    // False when there is no such procedure (its error already sent).
    bool procedure(const std::string& name, const std::vector<RpcParameter>& parameters,
                   ResultSink& sink);
    bool columns(const std::string& table, const std::string& owner,
                 ResultSink& sink); // sp_columns

    // Owners and permissions (owners.cpp).
    // The table a statement names: with its owner, that owner's; without, the user's own,
    // else dbo's.
    std::optional<TableInfo> resolve(const std::string& owner, const std::string& name);
    // Whether this user may `action` ("select", "update", ...) the table's `column`
    // ("" for the whole table).
    bool permitted(const TableInfo& table, const std::string& action, const std::string& column);
    // The same for any user of the database, by its grants alone (no role counts).
    bool permittedFor(const TableInfo& table, const std::string& user, const std::string& action,
                      const std::string& column);
    // The users the privilege procedures report on: the owner, this user, every grantee.
    std::vector<std::string> grantees(const TableInfo& table);
    // Whether this user may select from the table, or from one of its columns.
    bool maySelect(const TableInfo& table);
    bool privileges(const std::string& procedure, const std::vector<RpcParameter>& parameters,
                    ResultSink& sink); // sp_table_privileges, sp_column_privileges
    // 229/230 when the user may not `action` these columns (the whole table when empty).
    std::optional<Message> refusal(const TableInfo& table, const std::string& action,
                                   const std::vector<int>& columns);
    Flow runPermission(const Permission& permission, ResultSink& sink);

    bool stopped() { // the client cancelled while rows were going out
        busy_ = Busy::Cancelled;
        return true;
    }
    // The table locks a transaction holds until it ends, and the wait for another's.
    void holdTable(const TableInfo& table);
    void releaseTables();
    // Waits, within the session's lock wait, until `free` (asked under the shared locks'
    // mutex) holds; a cancel or the end of the wait ends it.
    Flow waitUntil(const std::function<bool()>& free, ResultSink& sink);
    Flow waitForWriters(const TableInfo& table, ResultSink& sink);
    // A read with holdlock inside a transaction: the rows it reads stay as read, and no
    // row joins them, until the transaction ends (SQLite: the database's write lock).
    Flow holdForTransaction(ResultSink& sink);
    // Allpages locking: a scan's shared lock, and a write's wait for other sessions' scans.
    void holdRead(const std::string& key, int change);
    Flow waitForReaders(const TableInfo& table, ResultSink& sink);
    std::string lockKey(const TableInfo& table) const;
    bool open(const std::string& database);
    bool exec(const char* sql);
    void rollbackAll();
    void startStatement(ResultSink* sink);
    static int busyHandler(void* self, int attempts);
    static int progressHandler(void* self);
    static void updateHook(void* self, int operation, const char* database, const char* table,
                           sqlite3_int64 rowid);
    // In chained mode a data statement begins a transaction when none is open.
    bool beginChained(ResultSink& sink);
    // The identity the statement's last added row with one took, its triggers' included.
    std::int64_t lastIdentity();

    std::shared_ptr<Shared> shared_;
    Connection db_;
    std::string database_;
    std::string user_;    // the database user: "dbo" for sa
    bool saRole_ = false; // passes every permission check
    int spid_ = 0;
    int trancount_ = 0;
    bool wrote_ = false; // the open transaction holds SQLite's write lock (it wrote, or holdlock)
    std::int64_t rowcount_ = 0;
    std::int64_t identity_ = 0; // @@identity: the last INSERT's identity value, else 0
    // Rows added by the statement running now, its triggers' included, in order: table
    // and rowid (SQLite's update hook).
    std::vector<std::pair<std::string, std::int64_t>> inserted_;
    bool chained_ = false;          // set chained on: a data statement begins a transaction
    std::int64_t textSize_ = 32768; // @@textsize: text and image values are cut to it
    int lockWaitSeconds_ = -1;
    std::vector<std::string> heldTables_;
    ResultSink* sink_ = nullptr; // while a statement runs
    Busy busy_ = Busy::None;
    // Only a SELECT's own steps end on an attention: an interrupted write would take
    // SQLite's whole transaction with it, an interrupted catalog read would mislead.
    bool interruptible_ = false;
    std::chrono::steady_clock::time_point started_;
};

} // namespace tds::sqlite
