#include "support/sampledb.h"

#include "db/connection.h"
#include "db/provider.h"
#include "db/recordset.h"
#include "sample/provider/sampleprovider.h"

namespace testing {

SampleServer::SampleServer() {
    sample::installSampleProvider(dir_.path());
}

SampleServer::~SampleServer() {
    db::restoreDefaultProviders();
}

void SampleServer::createDatabase(const QString& catalog, const QStringList& statements) {
    sample::executeScript(file(catalog), statements);
}

void SampleServer::createSampleDatabase() {
    sample::ensureSampleDatabase(dir_.path());
}

QString SampleServer::file(const QString& catalog) const {
    return sample::databaseFile(dir_.path(), catalog);
}

db::ConnectionFields SampleServer::fields(const QString& catalog) {
    return {QLatin1String(sample::kServer), QLatin1String(sample::kPort),
            QLatin1String(sample::kUser), QLatin1String(sample::kPassword), catalog};
}

QString SampleServer::connectionString(const QString& catalog) {
    return db::BuildSybaseASEConnectionString(fields(catalog));
}

QString SampleServer::firstValue(const QString& catalog, const QString& sql) {
    db::Connection connection;
    connection.Open(connectionString(catalog));
    db::Recordset recordset;
    recordset.Open(sql, connection, db::adOpenForwardOnly, db::adLockReadOnly);
    const std::shared_ptr<db::RecordsetData> rows = recordset.DataSource();
    if (rows->rows.rowCount() == 0)
        return QStringLiteral("<no row>");
    return rows->rows.isNull(0, 0) ? QStringLiteral("<NULL>") : rows->rows.text(0, 0);
}

} // namespace testing
