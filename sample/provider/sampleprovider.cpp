#include "sample/provider/sampleprovider.h"

#include "db/dberror.h"
#include "db/odbc.h"
#include "db/provider.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace sample {
namespace {

QString sqliteConnectionString(const QString& file) {
    // The driver's own lock wait is about 200 s; a file locked that long is better
    // reported. StepAPI streams rows instead of loading the whole result at execute. In
    // the write-ahead journal, readers and a writer go side by side, as on the server: a
    // table's rows are read over one connection while edits are written over another (in
    // the default journal every write would wait until the read has ended).
    if (file.contains(QLatin1Char(';')) || file.contains(QLatin1Char('{')) ||
        file.contains(QLatin1Char('}')))
        throw db::DbError(
            QStringLiteral("The sample folder's path cannot be given to the driver: %1").arg(file));
    return QStringLiteral("Driver=SQLite3;Database=%1;Timeout=%2;StepAPI=1;JournalMode=WAL;")
        .arg(file)
        .arg(kLockTimeoutMs);
}

class SampleProvider : public db::Provider {
  public:
    explicit SampleProvider(QString folder) : folder_(std::move(folder)) {}

    QString odbcConnectionString(const db::ConnectionProperties& p) const override {
        const QString expectedSource =
            QLatin1String(kServer) + QLatin1Char(':') + QLatin1String(kPort);
        if (p.value(QStringLiteral("Data Source")) != expectedSource ||
            p.value(QStringLiteral("User Id")) != QLatin1String(kUser) ||
            p.value(QStringLiteral("Password")) != QLatin1String(kPassword))
            throw db::DbError(QStringLiteral("Login failed."), QStringLiteral("28000"), 4002);
        QString catalog = p.value(QStringLiteral("Catalog"));
        if (catalog.isEmpty())
            catalog = QLatin1String(kDatabase);
        static const QRegularExpression plainName(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_ -]*$"));
        const QString file = databaseFile(folder_, catalog);
        if (!plainName.match(catalog).hasMatch() || !QFileInfo(file).isFile())
            throw db::DbError(QStringLiteral("Attempt to locate entry in sysdatabases for database "
                                             "'%1' by name failed - no entry found under that "
                                             "name. Make sure that name is entered properly.")
                                  .arg(catalog),
                              QStringLiteral("08004"), 911);
        return sqliteConnectionString(file);
    }

  private:
    QString folder_;
};

} // namespace

QString defaultSampleFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Halvetri/Quorvane Sample");
}

QString databaseFile(const QString& folder, const QString& catalog) {
    return QDir(folder).filePath(catalog + QStringLiteral(".db"));
}

void installSampleProvider(const QString& folder) {
    db::registerProvider(QStringLiteral("ASEOLEDB"), std::make_shared<SampleProvider>(folder));
}

void executeScript(const QString& file, const QStringList& statements) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    db::odbc::DriverConnection connection(std::make_shared<db::odbc::Environment>());
    connection.connect(sqliteConnectionString(file), 5);
    connection.setAutoCommit(false);
    try {
        for (const QString& sql : statements) {
            db::odbc::Statement statement(connection);
            statement.execDirect(sql);
        }
        connection.commit();
    } catch (...) {
        connection.rollback();
        throw;
    }
}

} // namespace sample
