#pragma once

// The sample's own Adaptive Server stand-in: the test server over a folder of SQLite
// database files, started in-process on 127.0.0.1. The program logs in to it through
// the real ASEOLEDB provider and FreeTDS, as it logs in to any server.

#include "sample/server/server.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace sample {

inline constexpr const char* kServer = "127.0.0.1";
inline constexpr const char* kPort = "5000"; // taken when free
inline constexpr const char* kUser = "sa";
inline constexpr const char* kPassword = "sample";
inline constexpr const char* kDatabase = "pubs";
// A second login, with select permission only on the sample's tables.
inline constexpr const char* kReader = "reader";
inline constexpr const char* kReaderPassword = "reader";

// The folder of the sample's database files, inside the user's data location.
QString defaultSampleFolder();

// The database file a catalog name stands for: <folder>/<catalog>.db.
QString databaseFile(const QString& folder, const QString& catalog);

// Runs statements (SQLite's dialect, Adaptive Server's type names), in order, on the
// file (created when missing), in one transaction. Throws db::DbError with SQLite's
// message.
void executeScript(const QString& file, const QStringList& statements);

// Creates the bundled sample database in `folder` unless it is there already.
void ensureSampleDatabase(const QString& folder = defaultSampleFolder());

// Starts the server over `folder`, taking kUser/kPassword, kReader/kReaderPassword and
// `moreAccounts`: on `port` when that is free, else on a free port (another copy of the
// sample, or a real server, may hold it). Throws std::runtime_error when it cannot
// listen at all.
std::unique_ptr<tds::Server> startServer(const QString& folder, quint16 port,
                                         tds::Charset charset = tds::Charset::Utf8,
                                         const std::vector<tds::Account>& moreAccounts = {});

} // namespace sample
