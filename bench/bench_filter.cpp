// A filter applied to a big table, as the user waits for it: the editor shown over the
// table (its read stopped), then the filtered read the filter bar's Apply starts, its rows
// set into the grid and painted, the event loop running, through the grid's own Apply. Timed: a
// filter on an indexed column that matches 1,000 rows, from Apply to those rows painted, against a
// bare ODBC block fetch of the same select with the same WHERE in the same run; and a filter on a
// column without an index, which the server answers while it scans: from Apply to the
// first rows painted, and the longest the window's thread did not turn its event loop.
//
//   bench_filter [rows] [rounds]   (defaults 10000000 and 3; build Release; run with
//                                   QT_QPA_PLATFORM=offscreen or under xvfb-run)

#include "bench/benchsupport.h"
#include "db/read/filter.h"
#include "db/read/recordset.h"
#include "model/recordsetmodel.h"
#include "pages/chooser/form2.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {

using bench::Clock;

const QString kCatalog = QStringLiteral("bench");

// `grp` (indexed) holds each of 0..rows/1000-1 on 1,000 rows; `qty` (no index) 0..999.
void createTable(const QString& file, int rows) {
    sample::executeScript(
        file,
        {QStringLiteral("CREATE TABLE big (id int NOT NULL PRIMARY KEY, grp int NOT NULL, "
                        "name varchar(40) NULL, email varchar(60) NULL, city varchar(40) NULL, "
                        "note varchar(80) NULL, qty int NULL)"),
         QStringLiteral(
             "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
             "INSERT INTO big SELECT x, x % %2, 'Customer ' || x, 'customer' || x || "
             "'@example.com', 'City ' || (x % 977), 'Note for order ' || x || ' in batch ' || "
             "(x % 97), x % 1000 FROM c")
             .arg(rows)
             .arg(std::max(1, rows / 1000)),
         QStringLiteral("CREATE INDEX big_grp ON big (grp)")});
}

struct Applied {
    double firstPaint = 0;  // Apply to the first rows painted
    double allStored = 0;   // Apply to the last row stored and painted
    double longestWait = 0; // the longest the window's thread did not turn its loop
    int rows = 0;
};

// The first paint of the grid's viewport once it shows rows other than `old`.
class NewRowsPainted : public QObject {
  public:
    NewRowsPainted(const pages::DataGrid& grid, std::shared_ptr<db::RecordsetData> old)
        : grid_(grid), old_(std::move(old)) {}
    bool painted = false;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && grid_.DataSource() != old_)
            painted = true;
        return false;
    }

  private:
    const pages::DataGrid& grid_;
    std::shared_ptr<db::RecordsetData> old_;
};

// Apply, as the filter bar's button does it (the conditions checked, the table read
// again with them, the new rows bound and painted once the first are in), until every
// row is stored and painted.
Applied apply(const db::Filter& filter) {
    pages::DataGrid& grid = *pages::form3().DataGrid1;
    Applied result;
    // A timer that fires as often as it can: the gaps between its turns are the waits.
    QTimer ticker;
    Clock::time_point lastTick = Clock::now();
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        result.longestWait = std::max(result.longestWait, bench::seconds(lastTick, now));
        lastTick = now;
    });
    NewRowsPainted watch(grid, grid.DataSource());
    grid.viewport()->installEventFilter(&watch);
    const Clock::time_point click = Clock::now();
    lastTick = click;
    ticker.start(1);
    grid.applyFilter(filter);
    bench::runUntil([&] { return watch.painted; });
    result.firstPaint = bench::seconds(click);
    const std::shared_ptr<db::RecordsetData> fresh = grid.DataSource();
    watch.painted = false;
    bench::runUntil([&] { return fresh->load() != db::RecordsetData::Load::Reading; });
    grid.viewport()->update();
    bench::runUntil([&] { return watch.painted; });
    result.allStored = bench::seconds(click);
    ticker.stop();
    grid.viewport()->removeEventFilter(&watch);
    result.rows = static_cast<model::RecordsetModel*>(grid.model())->shownRows();
    return result;
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::Server server(kCatalog);
    QApplication application(argc, argv);
    const int rows = argc > 1 ? std::max(1000, atoi(argv[1])) : 10000000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    const Clock::time_point made = Clock::now();
    createTable(server.file(), rows);
    std::printf("table: %d rows x 7 columns, grp indexed, made in %.1f s\n", rows,
                bench::seconds(made));

    // The editor over the table, its read stopped once the first rows are painted.
    server.fillConnectionPage();
    pages::Form2& chooser = pages::form2();
    chooser.List1->addItems({QStringLiteral("big")});
    chooser.show();
    chooser.List1->setCurrentRow(0);
    chooser.PushButton3->click();
    pages::DataGrid& grid = *pages::form3().DataGrid1;
    bench::runUntil([&] { return grid.DataSource() && grid.DataSource()->rows.rowCount() > 0; });
    grid.stopLoading();
    const std::shared_ptr<db::RecordsetData> table = grid.DataSource();

    const int group = std::max(1, rows / 1000) / 2;
    const db::Filter indexed{{db::FilterCondition{1, db::FilterOp::Equal, QString::number(group)}}};
    const QString indexedSql = QStringLiteral("SELECT * FROM [big] WHERE [grp] = %1").arg(group);
    const db::Filter scanned{{db::FilterCondition{6, db::FilterOp::Equal, QStringLiteral("500")}}};

    std::vector<double> ratios, firstRatios, firstPaints, waits;
    for (int round = 0; round < rounds; ++round) {
        grid.setDataSource(table);
        QCoreApplication::processEvents();
        const bench::Bare bare = bench::bareFetch(server.odbcString(), indexedSql, 1024, true);
        const Applied ours = apply(indexed);
        ratios.push_back(ours.allStored / bare.seconds);
        firstRatios.push_back(ours.allStored / bare.firstSeconds);
        std::printf("round %d, indexed: bare select %.4f s (its first run on its connection "
                    "%.4f s; %lld rows); Apply to %d rows painted %.4f s; ratio %.2f (to the "
                    "first run %.2f)\n",
                    round + 1, bare.seconds, bare.firstSeconds, bare.rows, ours.rows,
                    ours.allStored, ratios.back(), firstRatios.back());
        grid.setDataSource(table);
        QCoreApplication::processEvents();
        const bench::Bare bareScan = bench::bareFetch(
            server.odbcString(), QStringLiteral("SELECT * FROM [big] WHERE [qty] = 500"));
        const Applied scan = apply(scanned);
        firstPaints.push_back(scan.firstPaint);
        waits.push_back(scan.longestWait);
        std::printf("round %d, no index: bare select %.3f s (%lld rows); Apply to first rows "
                    "painted %.3f s, to all %d rows %.3f s; the window's longest wait %.3f s\n",
                    round + 1, bareScan.seconds, bareScan.rows, scan.firstPaint, scan.rows,
                    scan.allStored, scan.longestWait);
    }
    std::printf("indexed filter, Apply to rows painted / bare select (median of %d): %.2f, %.2f "
                "to %.2f  (target <= 1.30)\n",
                rounds, bench::median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("  the same to the bare select's first run on a new connection: %.2f, %.2f to "
                "%.2f\n",
                bench::median(firstRatios),
                *std::min_element(firstRatios.begin(), firstRatios.end()),
                *std::max_element(firstRatios.begin(), firstRatios.end()));
    std::printf("filter without an index (median of %d): first rows painted %.3f s; the "
                "window's longest wait %.3f s, at most %.3f  (target <= 0.100)\n",
                rounds, bench::median(firstPaints), bench::median(waits),
                *std::max_element(waits.begin(), waits.end()));
    pages::resetPages();
    return 0;
}
