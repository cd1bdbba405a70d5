#pragma once

// The sample provider: the data-access layer over SQLite's ODBC driver, answering for
// one fixed server, port, user and password. It lets the real pages run against a real
// database on a machine without Adaptive Server. Never part of the real program.

#include <QString>
#include <QStringList>

namespace sample {

inline constexpr const char* kServer = "localhost";
inline constexpr const char* kPort = "5000";
inline constexpr const char* kUser = "sa";
inline constexpr const char* kPassword = "sample";
inline constexpr const char* kDatabase = "pubs";

// Milliseconds a statement waits for a locked database file before it fails.
inline constexpr int kLockTimeoutMs = 5000;

// The folder of the sample's database files, inside the user's data location.
QString defaultSampleFolder();

// The database file a catalog name stands for: <folder>/<catalog>.db.
QString databaseFile(const QString& folder, const QString& catalog);

// Registers the sample provider under the name "ASEOLEDB". `Catalog` names a database
// file in `folder`; an empty catalog means kDatabase. Any other server, port, user or
// password, or a catalog without its file, is refused as a failed login is.
void installSampleProvider(const QString& folder = defaultSampleFolder());

// Runs statements, in order, on the SQLite file (created when missing), in one
// transaction. Throws db::DbError with the driver's message.
void executeScript(const QString& file, const QStringList& statements);

// Creates the bundled sample database in `folder` unless it is there already.
void ensureSampleDatabase(const QString& folder = defaultSampleFolder());

} // namespace sample
