#pragma once

// A provider turns the elements of a connection string into a driver connection. The
// layer knows one provider by default, ASEOLEDB (the FreeTDS ODBC driver speaking TDS 5.0
// to Adaptive Server); a program may register others under any name, also over a
// built-in one.

#include "db/connect/connectionstring.h"

#include <QString>
#include <memory>

namespace db {
namespace odbc {
class DriverConnection;
}

class Provider {
  public:
    virtual ~Provider() = default;

    // The ODBC connection string for these properties. Throws DbError for values that
    // cannot be carried to the driver exactly, or for a login the provider refuses.
    virtual QString odbcConnectionString(const ConnectionProperties& properties) const = 0;

    // Runs on the freshly connected driver connection, before it is handed out.
    virtual void afterConnect(odbc::DriverConnection&) const {}
};

// Brace-quotes a value for an ODBC driver connection string ("Key={value};"); throws
// DbError, naming `property` (or the key), for a value the driver cannot receive exactly.
QString odbcBraced(const QString& key, const QString& value, const QString& property = {});

void registerProvider(const QString& name, std::shared_ptr<const Provider> provider);
// Throws DbError ("Provider cannot be found...") for an unknown name.
std::shared_ptr<const Provider> findProvider(const QString& name);
// Drops every registered provider and puts the built-in ones back.
void restoreDefaultProviders();

} // namespace db
