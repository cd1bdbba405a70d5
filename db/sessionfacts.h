#pragma once

// What the program asks the server about a session after its login, in one batch, the
// first time it needs to know: the database user the login acts as (`user_name()`: its
// own user, "dbo" for the database owner and for sa) and its active system roles
// (`show_role()`; sa_role passes every permission check). Kept on the driver connection,
// so each login is asked once at most.

#include "db/odbc.h"

namespace db {

using odbc::SessionFacts;

// The connection's facts, asked for when not asked yet (within `timeoutSeconds`, 0: no
// limit). A server that cannot answer leaves them unknown: the program then takes the
// login as dbo for naming tables and assumes every permission, so a refusal still comes
// from the server in its own words.
const SessionFacts& sessionFacts(odbc::DriverConnection& connection, int timeoutSeconds);

} // namespace db
