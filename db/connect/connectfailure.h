#pragma once

// Why a connection could not be opened, in one line a user can act on: the server's own
// message (a refused login 4002, a password the server wants encrypted 1640, a login that
// is no user of the database 916) or the driver's word for the network (nothing listening,
// an unknown host, a peer that hung up), or, when the driver gave up on the login without
// either, that the server offered no password encryption it can use. Empty when the
// failure carries no reason.

#include "db/odbc/dberror.h"

#include <QString>

namespace db {

QString connectFailureReason(const DbError& error);

} // namespace db
