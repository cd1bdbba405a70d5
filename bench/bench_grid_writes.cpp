// The grid's writes of several cells and rows against single cell writes, each in the
// transaction the user waits for, through FreeTDS against the test server: a pasted
// block of 10 rows x 3 columns against 30 cell writes, 10 rows deleted at once against 10
// cell writes, one row added (INSERT, read back by @@identity) against one cell write.
// The ratios hold whatever the machine's load: a block costs no more than its cells
// written one by one (target 1.0), an added row no more than 1.5 cell writes.
//
//   bench_grid_writes [rows] [rounds]   (defaults 100000 and 20; build as Release)

#include "db/connect/connection.h"
#include "db/read/recordset.h"
#include "db/write/cellblockwrite.h"
#include "db/write/rowdelete.h"
#include "db/write/rowinsert.h"
#include "sample/sampleserver.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const QString kCatalog = QStringLiteral("bench");

double median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Milliseconds of each round of `step`, which answers how many of its writes failed.
double timed(int rounds, int& failed, const std::function<int(int)>& step) {
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        failed += step(i);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return median(ms);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    QTemporaryDir folder;
    const std::unique_ptr<tds::Server> server = sample::startServer(folder.path(), 0);
    sample::executeScript(
        sample::databaseFile(folder.path(), kCatalog),
        {QStringLiteral("CREATE TABLE t (id numeric identity(10,0), name varchar(40) NOT NULL, "
                        "price float NULL, qty int NULL, stamp timestamp, PRIMARY KEY (id))"),
         QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                        "%1) INSERT INTO t (id, name, price, qty) SELECT x, 'Customer ' || x, "
                        "x / 7.0, x % 1000 FROM c")
             .arg(rows)});
    db::Connection connection;
    connection.Open(
        QStringLiteral("Provider=ASEOLEDB;Data Source=%1:%2;User Id=%3;Password=%4;Catalog=%5")
            .arg(QLatin1String(sample::kServer), QString::number(server->port()),
                 QLatin1String(sample::kUser), QLatin1String(sample::kPassword), kCatalog));
    db::Recordset recordset;
    recordset.Open(QStringLiteral("SELECT * FROM [t]"), connection, db::adOpenDynamic,
                   db::adLockOptimistic);
    const std::shared_ptr<db::RecordsetData> data = recordset.DataSource();
    while (data->load() == db::RecordsetData::Load::Reading)
        data->appendArrived(true);
    db::RowWriter writer(data);
    int failed = 0;
    int next = 0; // rows are taken in turn, so every round writes rows of its own
    const auto value = [](int i) { return std::to_string(5000 + i); };

    const double cell = timed(rounds * 10, failed, [&](int i) {
        return writer.write(next++, 3, value(i)).status != db::WriteStatus::Written;
    });
    db::CellBlockWriter block(writer);
    const double paste = timed(rounds, failed, [&](int i) {
        std::vector<db::CellChange> cells;
        for (int r = 0; r < 10; ++r, ++next)
            for (int c = 1; c <= 3; ++c)
                cells.push_back({next, c, c == 1 ? "Pasted " + value(i) : value(i), {}, {}});
        return block.write(cells).status != db::WriteStatus::Written;
    });
    db::RowDeleter deleter(writer);
    const double removed = timed(rounds, failed, [&](int) {
        std::vector<int> some;
        for (int r = 0; r < 10; ++r)
            some.push_back(next++);
        return deleter.remove(some).status != db::WriteStatus::Written;
    });
    db::RowInserter inserter(writer);
    const double added = timed(rounds, failed, [&](int i) {
        db::NewRowValues row(std::size_t(data->rows.columnCount()));
        row[1] = "Added " + value(i);
        row[3] = value(i);
        return inserter.insert(row).status != db::WriteStatus::Written;
    });
    std::printf("%d rows, medians of %d rounds (%d writes refused)\n", rows, rounds, failed);
    std::printf("one cell write           %8.2f ms\n", cell);
    std::printf("paste 10 x 3 cells       %8.2f ms   / 30 cell writes %.2f (target 1.0)\n", paste,
                paste / (30 * cell));
    std::printf("delete 10 rows           %8.2f ms   / 10 cell writes %.2f (target 1.0)\n", removed,
                removed / (10 * cell));
    std::printf("add one row              %8.2f ms   / one cell write %.2f (target 1.5)\n", added,
                added / cell);
    return failed == 0 ? 0 : 1;
}
