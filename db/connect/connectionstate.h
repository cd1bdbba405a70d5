#pragma once

// What copies of one connection share. Internal to the layer.

#include "db/connect/connection.h"
#include "db/connect/provider.h"
#include "db/connect/servercharset.h"
#include "db/connect/spareconnection.h"
#include "db/odbc/odbc.h"

#include <memory>

namespace db {

struct ConnectionState {
    short cursorLocation = adUseServer;
    int commandTimeout = kDefaultCommandTimeout;
    int connectionTimeout = kDefaultConnectionTimeout;
    std::shared_ptr<odbc::DriverConnection> driver;
    std::shared_ptr<const Provider> provider;
    QString odbcString; // what the driver connection was opened with (a recordset's read
                        // opens one more like it)
    QString place;      // the server and database opened, no login values (sourcePlace)
    std::optional<ServerCharset> serverCharset; // asked once a connection (servercharset.h)
    // The last read's connection, kept for the next read; a new one with every Open.
    std::shared_ptr<SpareConnection> spareRead = std::make_shared<SpareConnection>();

    // The open driver connection; throws kObjectClosed while closed.
    odbc::DriverConnection& open() const;
};

} // namespace db
