#pragma once

// Thin RAII wrappers over ODBC handles. Every handle frees itself once; freeing twice is
// harmless. Every failing call raises db::DbError with the diagnostics of the handle
// on which it failed.

#include "db/connect/sessionfacts.h"
#include "db/odbc/dberror.h"

#include <sql.h>
#include <sqlext.h>

#include <QString>
#include <memory>
#include <string>

namespace db::odbc {

class Handle {
  public:
    Handle() = default;
    Handle(SQLSMALLINT type, SQLHANDLE parent); // allocates; throws DbError
    ~Handle() { free(); }
    Handle(Handle&& other) noexcept;
    Handle& operator=(Handle&& other) noexcept;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    void free() noexcept; // safe to call more than once
    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    explicit operator bool() const { return handle_ != SQL_NULL_HANDLE; }

  private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// Reads the diagnostic records of a handle into one error: the records' texts one a line,
// each in its speaker's own words (no "[FreeTDS][SQL Server]" prefixes, no trailing line
// ends, no empty lines), with the SQLSTATE and native number of the first error.
DbError diagnostics(SQLSMALLINT type, SQLHANDLE handle, const char* call);

// Throws the handle's diagnostics unless rc is SQL_SUCCESS, SQL_SUCCESS_WITH_INFO or one
// of the extra codes the caller accepts (SQL_NO_DATA for an UPDATE that matched no row).
SQLRETURN check(SQLRETURN rc, const Handle& handle, const char* call,
                SQLRETURN alsoAccept = SQL_SUCCESS);

// UTF-16 conversions for the wide-character calls.
std::u16string toWide(const QString& text);
QString fromWide(const SQLWCHAR* text, SQLLEN lengthInChars);

// An environment set to ODBC 3.
class Environment {
  public:
    Environment();
    const Handle& handle() const { return env_; }

  private:
    Handle env_;
};

// One driver connection with the environment it was allocated in. Owned through a
// shared pointer so a recordset keeps its connection alive, and so an abandoned connect
// attempt can finish on its own thread after the caller has stopped waiting.
class DriverConnection {
  public:
    explicit DriverConnection(std::shared_ptr<Environment> env);
    ~DriverConnection(); // disconnects when connected

    // SQLDriverConnectW with SQL_DRIVER_NOPROMPT. Blocks: callers bound it themselves.
    void connect(const QString& odbcConnectionString, int loginTimeoutSeconds);
    void disconnect() noexcept;
    bool connected() const { return connected_; }
    // The driver found the link to the server lost (after a call that failed on it).
    bool dead() const;

    void setAutoCommit(bool on);
    void commit();
    void rollback();

    const Handle& handle() const { return dbc_; }

    // What the provider learnt of the session after the login (nothing by default).
    const SessionFacts& sessionFacts() const { return facts_; }
    void setSessionFacts(SessionFacts facts) { facts_ = std::move(facts); }

  private:
    std::shared_ptr<Environment> env_;
    Handle dbc_;
    bool connected_ = false;
    SessionFacts facts_;
};

// A statement on a connection. The result, when one is pending, is closed on destruction.
class Statement {
  public:
    explicit Statement(const DriverConnection& connection);
    ~Statement();
    Statement(Statement&&) noexcept = default;

    void setQueryTimeout(int seconds);
    // Direct execute of SQL text (no prepare: on TDS 5.0 a prepared statement becomes a
    // temporary procedure on the server). Returns the driver's return code (SQL_NO_DATA
    // for a searched UPDATE that matched nothing).
    SQLRETURN execDirect(const QString& sql);
    SQLLEN rowCount();
    void closeCursor() noexcept;

    const Handle& handle() const { return stmt_; }

  private:
    Handle stmt_;
};

} // namespace db::odbc
