#pragma once

// What the program learns of a session right after each login, before any work: the
// login's user in the database, the transaction mode the server gave the session (a
// login trigger or script may start it chained, where every statement opens a
// transaction that only an explicit commit ends) and the text size it granted. A chained
// session is set unchained first; a session that cannot be made to end its transactions
// when the program ends them is not trusted with writes.

#include <QString>

namespace db {

namespace odbc {
class DriverConnection;
}

struct SessionFacts {
    bool learnt = false;
    QString userName;       // user_name()
    bool chained = false;   // @@tranchained once the program has set it off
    long long textSize = 0; // @@textsize granted: longer text and image values arrive cut
    // Why nothing may be written over this session; empty when writes may go on.
    QString readOnlyReason;
};

// Sets the session unchained and learns the rest. Throws DbError when the server cannot
// be asked at all; a refusal to leave chained mode becomes `readOnlyReason`.
SessionFacts learnSessionFacts(odbc::DriverConnection& connection, int timeoutSeconds);

} // namespace db
