#include "db/connect/sybasease.h"

#include "db/connect/connection.h"
#include "db/connect/connectionstring.h"

namespace db {

QString BuildSybaseASEConnectionString(const ConnectionFields& f) {
    // Ordinary values go in as typed; a value that would end its element early or lose
    // its blanks is quoted, so every value reaches the server exactly.
    return QStringLiteral("Provider=ASEOLEDB;Data Source=") +
           quoteConnectionValue(f.server + QLatin1Char(':') + f.port) +
           QStringLiteral(";User Id=") + quoteConnectionValue(f.user) +
           QStringLiteral(";Password=") + quoteConnectionValue(f.password) + QStringLiteral(";") +
           QStringLiteral(";Catalog=") + quoteConnectionValue(f.database);
}

bool TestSybaseASEConnection(const ConnectionFields& fields) {
    Connection connection;
    try {
        connection.Open(BuildSybaseASEConnectionString(fields));
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace db
