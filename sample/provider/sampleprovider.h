#pragma once

// The sample provider: the data-access layer over SQLite's ODBC driver, answering for
// one fixed server, port, user and password. It lets the real pages run against a real
// database on a machine without Adaptive Server. Never part of the real program.

#include <QString>

namespace sample {

inline constexpr const char* kServer = "localhost";
inline constexpr const char* kPort = "5000";
inline constexpr const char* kUser = "sa";
inline constexpr const char* kPassword = "sample";
inline constexpr const char* kDatabase = "pubs";

// The folder of the sample's database files, inside the user's data location.
QString defaultSampleFolder();

// Registers the sample provider under the name "ASEOLEDB". `Catalog` names a database
// file (catalog + ".db") in `folder`.
void installSampleProvider(const QString& folder = defaultSampleFolder());

} // namespace sample
