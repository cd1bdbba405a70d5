#pragma once

// A private test server for one test: a temporary folder of SQLite database files served
// on an ephemeral port of 127.0.0.1, and the connection values that log in to it through
// the real "ASEOLEDB" provider and the FreeTDS driver.

#include "db/connect/sybasease.h"
#include "sample/server/server.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace testing {

// The driver's words for a login the server refused.
inline const QString kLoginFailedText =
    QStringLiteral("Login failed.\nUnable to connect to data source");

class SampleServer {
  public:
    // Starts the server over a fresh folder, with the character set given. Besides the
    // sample's logins it takes "joe" (password "joe"), a login of no special rights.
    explicit SampleServer(tds::Charset charset = tds::Charset::Utf8);
    ~SampleServer(); // stops it; the connection values reach the one started before

    SampleServer(const SampleServer&) = delete;
    SampleServer& operator=(const SampleServer&) = delete;

    // Creates (or extends) database `catalog` with the statements (SQLite's dialect,
    // Adaptive Server's type names), written to its file directly.
    void createDatabase(const QString& catalog, const QStringList& statements);
    // Creates the bundled sample database as "pubs".
    void createSampleDatabase();

    QString folder() const { return dir_.path(); }
    QString file(const QString& catalog) const;
    // The server itself, for its fault modes and what it was sent.
    tds::Server& server() { return *server_; }

    // Values that log in to `catalog` on the server started last.
    static db::ConnectionFields fields(const QString& catalog);
    static QString connectionString(const QString& catalog);
    // The same for another login.
    static QString connectionString(const QString& catalog, const QString& user,
                                    const QString& password);
    // The first value of a query on `catalog`, read through a connection of its own:
    // "<NULL>" for NULL, "<no row>" when there is none.
    static QString firstValue(const QString& catalog, const QString& sql);

  private:
    QTemporaryDir dir_;
    std::unique_ptr<tds::Server> server_;
    SampleServer* previous_ = nullptr;
};

} // namespace testing
