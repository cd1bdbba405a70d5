#include "support/sampledb.h"

#include "db/connect/connection.h"
#include "db/connect/handler.h"
#include "db/read/recordset.h"
#include "sample/sampleserver.h"

#include <stdexcept>

namespace testing {
namespace {

SampleServer* current = nullptr;

} // namespace

SampleServer::SampleServer(tds::Charset charset)
    : server_(sample::startServer(dir_.path(), 0, charset, {{"joe", "joe", {}}})),
      previous_(current) {
    current = this;
}

SampleServer::~SampleServer() {
    current = previous_;
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
    if (!current)
        throw std::logic_error("no test server is running");
    return {QLatin1String(sample::kServer), QString::number(current->server_->port()),
            QLatin1String(sample::kUser), QLatin1String(sample::kPassword), catalog};
}

QString SampleServer::connectionString(const QString& catalog) {
    return db::BuildSybaseASEConnectionString(fields(catalog));
}

QString SampleServer::connectionString(const QString& catalog, const QString& user,
                                       const QString& password) {
    db::ConnectionFields values = fields(catalog);
    values.user = user;
    values.password = password;
    return db::BuildSybaseASEConnectionString(values);
}

QString SampleServer::firstValue(const QString& catalog, const QString& sql) {
    // Someone else's connection: it connects also after the program has ended, whose
    // own connection waits give up at once.
    const bool halted = db::Handler::halted();
    db::Handler::resumeAll();
    db::Connection connection;
    try {
        connection.Open(connectionString(catalog));
    } catch (...) {
        if (halted)
            db::Handler::haltAll();
        throw;
    }
    if (halted)
        db::Handler::haltAll();
    db::Recordset recordset;
    recordset.Open(sql, connection, db::adOpenForwardOnly, db::adLockReadOnly);
    const std::shared_ptr<db::RecordsetData> rows = recordset.DataSource();
    if (rows->rows.rowCount() == 0)
        return QStringLiteral("<no row>");
    return rows->rows.isNull(0, 0) ? QStringLiteral("<NULL>") : rows->rows.text(0, 0);
}

} // namespace testing
