#pragma once

// Tables on a private sample server for the data layer's and the editor's tests: open a
// table as the chooser does, and look at or change it through a second connection.

#include "db/connect/connection.h"
#include "db/odbc/odbc.h"
#include "db/read/recordset.h"
#include "db/write/boundquery.h"
#include "sample/sampleserver.h"
#include "support/sampledb.h"

#include <QString>
#include <memory>

namespace testing {

inline const QString kCatalog = QStringLiteral("shop");

// The rows of "SELECT * FROM [table]", opened for updating as the chooser opens them.
inline std::shared_ptr<db::RecordsetData> openTable(const QString& table) {
    db::Connection connection;
    connection.Open(testing::SampleServer::connectionString(kCatalog));
    connection.setCursorLocation(db::adUseClient);
    db::Recordset recordset;
    QString escaped = table;
    escaped.replace(QLatin1Char(']'), QLatin1String("]]"));
    recordset.Open(QStringLiteral("SELECT * FROM [") + escaped + QLatin1Char(']'), connection,
                   db::adOpenDynamic, db::adLockOptimistic);
    return recordset.DataSource();
}

// The same on a private server, its database first made of `statements`.
inline std::shared_ptr<db::RecordsetData> openTable(SampleServer& server, const QString& table,
                                                    const QStringList& statements) {
    server.createDatabase(kCatalog, statements);
    return openTable(table);
}

// The first value of a query, read through a connection of its own ("<NULL>" for NULL).
inline QString valueOf(const QString& sql) {
    return testing::SampleServer::firstValue(kCatalog, sql);
}

// Runs a statement on the server through a connection of its own (someone else's
// change).
inline void changeElsewhere(const testing::SampleServer&, const QString& sql) {
    db::Connection connection;
    connection.Open(testing::SampleServer::connectionString(kCatalog));
    db::odbc::Statement statement(*connection.driver());
    statement.execDirect(sql);
    db::drainResults(statement);
}

} // namespace testing
