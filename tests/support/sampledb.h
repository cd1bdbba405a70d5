#pragma once

// A private sample provider for one test: a temporary folder of SQLite database files
// behind the "ASEOLEDB" provider, and the connection values that log in to it.

#include "db/sybasease.h"

#include <QStringList>
#include <QTemporaryDir>

namespace testing {

class SampleServer {
  public:
    SampleServer();  // installs the sample provider over a fresh folder
    ~SampleServer(); // puts the real provider back

    // Creates (or extends) database `catalog` with the statements.
    void createDatabase(const QString& catalog, const QStringList& statements);
    // Creates the bundled sample database as "pubs".
    void createSampleDatabase();

    QString folder() const { return dir_.path(); }
    QString file(const QString& catalog) const;
    // Values that log in to `catalog`.
    static db::ConnectionFields fields(const QString& catalog);
    static QString connectionString(const QString& catalog);
    // The first value of a query on `catalog`, read through a connection of its own:
    // "<NULL>" for NULL, "<no row>" when there is none.
    static QString firstValue(const QString& catalog, const QString& sql);

  private:
    QTemporaryDir dir_;
};

} // namespace testing
