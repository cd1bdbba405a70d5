#pragma once

// What the program learns of a session right after each login, before any work: the
// login's user in the database, the transaction mode the server gave the session (a
// login trigger or script may start it chained, where every statement opens a
// transaction that only an explicit commit ends) and the text size it granted. A chained
// session is set unchained first; a session that cannot be made to end its transactions
// when the program ends them is not trusted with writes. The user name and the active
// system roles (`show_role()`: sa_role passes every permission check) tell how the login's
// bare table names resolve and whether its permissions need reading.

#include <QString>

namespace db {

namespace odbc {
class DriverConnection;
}

struct SessionFacts {
    bool learnt = false;
    bool known = false; // the server named the login's database user
    QString userName;   // user_name(): the database user the login acts as ("dbo" for sa)
    bool systemAdministrator = false; // holds sa_role, which passes every permission check
    bool chained = false;             // @@tranchained once the program has set it off
    long long textSize = 0;           // @@textsize granted: longer text and image values arrive cut
    // Why nothing may be written over this session; empty when writes may go on.
    QString readOnlyReason;
};

// Sets the session unchained and learns the rest. Throws DbError when the server cannot
// be asked at all; a refusal to leave chained mode becomes `readOnlyReason`.
SessionFacts learnSessionFacts(odbc::DriverConnection& connection, int timeoutSeconds);

// The connection's facts: those learnt after its login, else learnt now (within
// `timeoutSeconds`). A server that cannot answer leaves them unknown: the program then takes
// the login as dbo for naming tables and assumes every permission, so a refusal still comes
// from the server in its own words.
const SessionFacts& sessionFacts(odbc::DriverConnection& connection, int timeoutSeconds);

} // namespace db
