#include "sample/sampleserver.h"

#include "db/odbc/dberror.h"
#include "sample/server/sqlite/sqlitebackend.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sqlite3.h>

namespace sample {
namespace {

// Milliseconds a statement waits for a database file another connection has locked.
constexpr int kLockTimeoutMs = 5000;

struct Database {
    sqlite3* handle = nullptr;
    ~Database() { sqlite3_close(handle); }
};

[[noreturn]] void fail(sqlite3* db, const QString& file) {
    throw db::DbError(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(sqlite3_errmsg(db)), file));
}

} // namespace

QString defaultSampleFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Halvetri/Quorvane Sample");
}

QString databaseFile(const QString& folder, const QString& catalog) {
    return QDir(folder).filePath(catalog + QStringLiteral(".db"));
}

void executeScript(const QString& file, const QStringList& statements) {
    QDir().mkpath(QFileInfo(file).absolutePath());
    Database db;
    if (sqlite3_open(file.toUtf8().constData(), &db.handle) != SQLITE_OK)
        fail(db.handle, file);
    sqlite3_busy_timeout(db.handle, kLockTimeoutMs);
    if (sqlite3_exec(db.handle, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db.handle, file);
    for (const QString& sql : statements) {
        if (sqlite3_exec(db.handle, sql.toUtf8().constData(), nullptr, nullptr, nullptr) !=
            SQLITE_OK) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(db.handle));
            sqlite3_exec(db.handle, "ROLLBACK", nullptr, nullptr, nullptr);
            throw db::DbError(QStringLiteral("%1 (%2)").arg(message, sql));
        }
    }
    if (sqlite3_exec(db.handle, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db.handle, file);
}

std::unique_ptr<tds::Server> startServer(const QString& folder, quint16 port, tds::Charset charset,
                                         const std::vector<tds::Account>& moreAccounts) {
    tds::sqlite::BackendOptions backend;
    backend.folder = QDir(folder).absolutePath().toStdString();
    backend.defaultDatabase = kDatabase;
    backend.charset = charset;
    tds::ServerOptions options;
    options.accounts = {{kUser, kPassword, {}}, {kReader, kReaderPassword, {}}};
    options.accounts.insert(options.accounts.end(), moreAccounts.begin(), moreAccounts.end());
    auto statements = std::make_shared<tds::sqlite::SqliteBackend>(backend);
    if (port != 0) {
        try {
            options.port = port;
            return std::make_unique<tds::Server>(statements, options);
        } catch (const std::runtime_error&) {
            // Taken: any free port will do, the stored values follow it.
        }
    }
    options.port = 0;
    return std::make_unique<tds::Server>(statements, options);
}

} // namespace sample
