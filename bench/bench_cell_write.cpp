// One cell write from the grid's writer: its own transaction, the check of the row as
// the grid shows it, the UPDATE and the read-back, on a table with a primary key and on
// one without (found by all its comparable columns, which the server scans for), through
// FreeTDS against the test server.
//
//   bench_cell_write [rows] [writes]   (defaults 100000 and 200; build as Release)

#include "db/connect/connection.h"
#include "db/read/recordset.h"
#include "db/write/rowwriter.h"
#include "sample/sampleserver.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const QString kCatalog = QStringLiteral("bench");
quint16 serverPort = 0;

void createTable(const QString& folder, const QString& name, const QString& key, int rows) {
    sample::executeScript(
        sample::databaseFile(folder, kCatalog),
        {QStringLiteral("CREATE TABLE %1 (id int NOT NULL%2, name varchar(40) NULL, price float "
                        "NULL, qty int NULL)")
             .arg(name, key),
         QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                        "%1) INSERT INTO %2 SELECT x, 'Customer ' || x, x / 7.0, x % 1000 FROM c")
             .arg(rows)
             .arg(name)});
}

void measure(const QString& table, int writes) {
    db::Connection connection;
    connection.Open(
        QStringLiteral("Provider=ASEOLEDB;Data Source=%1:%2;User Id=%3;Password=%4;Catalog=%5")
            .arg(QLatin1String(sample::kServer), QString::number(serverPort),
                 QLatin1String(sample::kUser), QLatin1String(sample::kPassword), kCatalog));
    db::Recordset recordset;
    recordset.Open(QStringLiteral("SELECT * FROM [%1]").arg(table), connection, db::adOpenDynamic,
                   db::adLockOptimistic);
    db::RowWriter writer(recordset.DataSource());
    std::vector<double> ms;
    int failed = 0;
    const int rows = recordset.DataSource()->rows.rowCount();
    for (int i = 0; i < writes; ++i) {
        const auto start = Clock::now();
        const db::CellWriteResult result =
            writer.write((i * 7919) % rows, 3, std::to_string(1000 + i));
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        failed += result.status != db::WriteStatus::Written;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-8s %d rows: median %.2f ms, 90th %.2f ms, worst %.2f ms per write (%d "
                "refused)\n",
                qPrintable(table), rows, ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back(),
                failed);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int writes = argc > 2 ? std::atoi(argv[2]) : 200;
    QTemporaryDir folder;
    const std::unique_ptr<tds::Server> server = sample::startServer(folder.path(), 0);
    serverPort = server->port();
    createTable(folder.path(), QStringLiteral("keyed"), QStringLiteral(" PRIMARY KEY"), rows);
    createTable(folder.path(), QStringLiteral("keyless"), QString(), rows);
    measure(QStringLiteral("keyed"), writes);
    measure(QStringLiteral("keyless"), writes);
    return 0;
}
