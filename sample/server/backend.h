#pragma once

// The seam between the TDS 5.0 side of the test server (sockets, packets, tokens, wire
// values) and the side that runs statements (T-SQL subset over SQLite, Adaptive Server's
// types and rules, catalog procedures). Neither side knows the other's inner working.
// No Qt here: only the standard library.

#include "charset.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tds {

// The Adaptive Server types a column can have.
enum class AseType {
    Int,
    SmallInt,
    TinyInt,
    BigInt,
    Numeric,
    Decimal,
    Money,
    SmallMoney,
    Float,
    Real,
    DateTime,
    SmallDateTime,
    Date,
    Time,
    BigDateTime,
    Char,
    VarChar,
    UniChar,
    UniVarChar,
    Text,
    Image,
    Bit,
    Binary,
    VarBinary,
    Timestamp,
    UniText,
};

struct ColumnInfo {
    std::string name;  // UTF-8; may be empty (an expression)
    std::string table; // base table, when the column is one of a table's
    AseType type = AseType::Int;
    int length = 0;    // declared length: chars for (uni)char/varchar, bytes for binary
    int precision = 0; // numeric/decimal
    int scale = 0;     // numeric/decimal
    bool nullable = true;
    bool identity = false;
    bool expression = false; // computed by the statement (a variable, a constant, count(*))
    int sortPlace = 0;       // its place (1-based) in the select's ORDER BY; 0 when none
};

// One value. Which member carries it depends on the column's type:
// - integer types, bit: `integer`
// - float, real: `real`
// - numeric, decimal, money, smallmoney: `text`, plain decimal with exactly the column's
//   scale ("-12.50"; money: 4 digits)
// - datetime, smalldatetime, bigdatetime: `text` "YYYY-MM-DD hh:mm:ss.fff" (3 digits;
//   bigdatetime 6); date: "YYYY-MM-DD"; time: "hh:mm:ss.fff"
// - char, varchar, unichar, univarchar, text, unitext: `text`, UTF-8 (char(n) already
//   padded)
// - binary, varbinary, image, timestamp: `text`, the raw bytes
struct Value {
    bool null = true;
    std::int64_t integer = 0;
    double real = 0;
    std::string text;

    static Value Null() { return {}; }
    static Value Integer(std::int64_t v) {
        Value x;
        x.null = false;
        x.integer = v;
        return x;
    }
    static Value Real(double v) {
        Value x;
        x.null = false;
        x.real = v;
        return x;
    }
    static Value Text(std::string v) {
        Value x;
        x.null = false;
        x.text = std::move(v);
        return x;
    }
};

// A server message (an EED token).
struct Message {
    int number = 0;
    int state = 1;
    int severity = 10;     // <= 10 informational, >= 11 an error
    std::string sqlstate;  // "ZZZZZ" when the server has none
    std::string text;      // UTF-8
    std::string procedure; // empty outside procedures
    int line = 1;
    bool raised = false; // a user's raiserror text, not one of the server's own messages
};

// Where a statement's results go, in the order a server sends them. The TDS side turns
// each call into tokens; it sets the MORE bits of DONE tokens itself.
class ResultSink {
  public:
    virtual ~ResultSink() = default;
    virtual void columns(const std::vector<ColumnInfo>& columns) = 0;
    // Returns false when the client has cancelled (an attention): the backend stops the
    // statement, sends nothing more for it and returns from the request.
    virtual bool row(const std::vector<Value>& values) = 0;
    virtual void message(const Message& message) = 0;
    // The end of one statement. `inProcedure`: the statement ran inside a procedure or a
    // trigger (DONEINPROC). `count`: rows selected or changed, when the statement counts.
    virtual void done(bool inProcedure, std::optional<std::int64_t> count, bool error) = 0;
    // A procedure's return status; the TDS side then ends the procedure (DONEPROC).
    virtual void returnStatus(int status) = 0;
    // The current database changed (a "use").
    virtual void databaseChanged(const std::string& newName, const std::string& oldName) = 0;
    // True once an attention has arrived; a long statement polls it.
    virtual bool cancelled() = 0;
};

struct RpcParameter {
    std::string name; // "@table_name", or empty for a positional one
    bool null = false;
    std::string value; // UTF-8
};

// One client connection's session: its current database and open transaction.
class Session {
  public:
    virtual ~Session() = default;
    // A language request or the text-only request: one batch of T-SQL (UTF-8).
    virtual void language(const std::string& batch, ResultSink& sink) = 0;
    // A DBRPC call (sp_tables, sp_pkeys, sp_statistics, sp_special_columns).
    virtual void rpc(const std::string& procedure, const std::vector<RpcParameter>& parameters,
                     ResultSink& sink) = 0;
    // The connection closed: an open transaction is rolled back.
    virtual void close() = 0;
};

// The databases the server serves: each name is one SQLite file.
class Backend {
  public:
    virtual ~Backend() = default;
    virtual bool hasDatabase(const std::string& name) const = 0;
    // The server's default character set: the one it announces at login, sends text in
    // and counts char and varchar lengths in.
    virtual Charset charset() const { return Charset::Utf8; }
    // A session whose current database is `database` (the login's default when empty),
    // for the login `login`.
    virtual std::unique_ptr<Session> openSession(const std::string& database,
                                                 const std::string& login = "sa") = 0;
};

} // namespace tds
