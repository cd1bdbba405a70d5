#pragma once

// The program's database module: the one connection string, the connection test and the
// table listing.

#include "db/connect/handler.h"

#include <QString>
#include <functional>

namespace db {

// The five connection values as they stand on the connection page.
struct ConnectionFields {
    QString server;
    QString port;
    QString user;
    QString password;
    QString database;
};

QString BuildSybaseASEConnectionString(const ConnectionFields& fields);

// True when a connection with these values could be opened. Never throws, shows nothing.
bool TestSybaseASEConnection(const ConnectionFields& fields);

} // namespace db
