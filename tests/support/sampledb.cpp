#include "support/sampledb.h"

#include "db/provider.h"
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

} // namespace testing
