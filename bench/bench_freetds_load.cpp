// The data layer's read of a big table, without the pages: the time from Recordset::Open
// until every row is in the grid's model (the rows that stream in behind the first ones
// appended as they arrive), against a bare ODBC block-fetch loop over the same query on
// the same driver (FreeTDS, from the test server in this process), and the memory the
// rows take against their text size.
//
//   bench_freetds_load [rows] [packet size] [bare block rows]
//       (defaults 1000000, the size the driver asks for, 1024; build with
//        CMAKE_BUILD_TYPE=Release)

#include "bench/benchsupport.h"
#include "db/connect/connection.h"
#include "db/connect/connectionstring.h"
#include "db/connect/provider.h"
#include "db/odbc/odbc.h"
#include "db/read/recordset.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "sample/sampleserver.h"
#include "sample/server/sqlite/sqlitebackend.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using bench::Clock;
using bench::seconds;

const QString kCatalog = QStringLiteral("bench");
const QString kQuery = QStringLiteral("SELECT * FROM [big]");
constexpr int kRounds = 5; // the machine may be busy: the median counts

quint16 serverPort = 0;
SQLULEN bareBlock = 1024;

QString adoConnectionString() {
    return QStringLiteral("Provider=ASEOLEDB;Data Source=%1:%2;User Id=%3;Password=%4;;Catalog=%5")
        .arg(QLatin1String(sample::kServer), QString::number(serverPort),
             QLatin1String(sample::kUser), QLatin1String(sample::kPassword), kCatalog);
}

void createTable(const QString& folder, int rows) {
    sample::executeScript(
        sample::databaseFile(folder, kCatalog),
        {QStringLiteral("CREATE TABLE big (id int NOT NULL PRIMARY KEY, name varchar(40) NULL, "
                        "city varchar(40) NULL, amount numeric(12,2) NULL, day date NULL, "
                        "qty int NULL)"),
         QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                        "%1) INSERT INTO big SELECT x, 'Customer ' || x, 'City ' || (x % 977), "
                        "CAST(printf('%d.%02d', x % 100000, x % 100) AS BLOB), "
                        "date('2000-01-01', '+' || (x % 9000) || ' days'), "
                        "CASE WHEN x % 7 = 0 THEN NULL ELSE x % 1000 END FROM c")
             .arg(rows)});
}

struct Ours {
    double seconds = 0;
    double openSeconds = 0; // Recordset::Open alone
    int rows = 0;
    std::size_t storeBytes = 0;
    long residentGrowthKiB = 0;
    double writeSeconds = 0; // one cell of the middle row, written and read back
};

// The editor's road: Recordset::Open on an open connection, then the grid bound to it.
Ours editorLoad() {
    db::Connection connection;
    connection.Open(adoConnectionString());
    connection.setCursorLocation(db::adUseClient);
    pages::DataGrid grid;
    const long before = bench::statusKiB("VmRSS:");
    const Clock::time_point start = Clock::now();
    db::Recordset recordset;
    recordset.Open(kQuery, connection, db::adOpenDynamic, db::adLockOptimistic);
    const double opened = seconds(start);
    const std::shared_ptr<db::RecordsetData> rows = recordset.DataSource();
    grid.setDataSource(rows);
    while (rows->load() == db::RecordsetData::Load::Reading)
        rows->appendArrived(true);
    Ours result;
    result.openSeconds = opened;
    result.rows = static_cast<model::RecordsetModel*>(grid.model())->shownRows();
    result.seconds = seconds(start);
    result.storeBytes = rows->rows.memoryBytes();
    result.residentGrowthKiB = bench::statusKiB("VmRSS:") - before;
    const QModelIndex middle = grid.model()->index(result.rows / 2, 1);
    const Clock::time_point write = Clock::now();
    if (!grid.model()->setData(middle,
                               QStringLiteral("Edited %1").arg(write.time_since_epoch().count())))
        std::printf("the write was refused\n");
    result.writeSeconds = seconds(write);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    QTemporaryDir folder;
    tds::sqlite::BackendOptions backend;
    backend.folder = folder.path().toStdString();
    tds::ServerOptions options;
    options.accounts = {{sample::kUser, sample::kPassword, {}}};
    options.packetSize = argc > 2 ? std::clamp(atoi(argv[2]), 0, 65535) : 0;
    if (argc > 3)
        bareBlock = SQLULEN(std::max(1, atoi(argv[3])));
    tds::Server server(std::make_shared<tds::sqlite::SqliteBackend>(backend), options);
    serverPort = server.port();
    std::printf("server packet size: %s; bare block: %lu rows\n",
                options.packetSize ? std::to_string(options.packetSize).c_str() : "the driver's",
                (unsigned long)bareBlock);
    const Clock::time_point made = Clock::now();
    createTable(folder.path(), rows);
    std::printf("table: %d rows x 6 columns, made in %.2f s\n", rows, seconds(made));
    const QString odbcString =
        db::findProvider(QStringLiteral("ASEOLEDB"))
            ->odbcConnectionString(db::ConnectionProperties::parse(adoConnectionString()));

    bench::bareFetch(odbcString, kQuery, bareBlock); // warms the file cache
    std::vector<double> ratios;
    bench::Bare bare;
    Ours ours;
    for (int round = 0; round < kRounds; ++round) {
        bare = bench::bareFetch(odbcString, kQuery, bareBlock);
        ours = editorLoad();
        ratios.push_back(ours.seconds / bare.seconds);
        std::printf("round %d: bare fetch %.3f s (%lld rows), open + bind %.3f s (open %.3f s; "
                    "%d rows), ratio %.2f\n",
                    round + 1, bare.seconds, bare.rows, ours.seconds, ours.openSeconds, ours.rows,
                    ratios.back());
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("time ratio (median of %d): %.2f  (target <= 1.30)\n", kRounds,
                ratios[ratios.size() / 2]);
    std::printf("rows' text: %.1f MiB; stored rows: %.1f MiB; ratio %.2f  (target <= 2.00)\n",
                double(bare.textBytes) / 1048576.0, double(ours.storeBytes) / 1048576.0,
                double(ours.storeBytes) / double(bare.textBytes));
    std::printf("one cell written and read back in the middle row: %.1f ms\n",
                ours.writeSeconds * 1000.0);
    std::printf("resident growth while opening and binding: %.1f MiB (%.2f x the text)\n",
                double(ours.residentGrowthKiB) / 1024.0,
                double(ours.residentGrowthKiB) * 1024.0 / double(bare.textBytes));
    return 0;
}
