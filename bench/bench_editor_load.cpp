// Opening a big table, as the user waits for it: "Next >" on the shown chooser, then the
// editor with its grid, the event loop running. Timed: from the click to the first rows
// painted in the grid, and to the last row stored; against a bare ODBC block fetch of
// the same query in the same run. Memory: the stored rows and the process's growth
// against the rows' text. The table is on the test server, reached through ASEOLEDB and
// FreeTDS, as the program reaches any server.
//
//   bench_editor_load [rows] [rounds]   (defaults 1000000 and 3; build Release; run with
//                                        QT_QPA_PLATFORM=offscreen or under xvfb-run)

#include "bench/benchsupport.h"
#include "db/odbc/odbc.h"
#include "db/read/recordset.h"
#include "model/recordsetmodel.h"
#include "pages/chooser/form2.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <cstdio>
#include <malloc.h>

namespace {

using bench::Clock;

const QString kCatalog = QStringLiteral("bench");
const QString kQuery = QStringLiteral("SELECT * FROM [big]");

// With `keyed` false, the table has no key, and every hundredth row is a twin of the one
// before it.
void createTable(const QString& file, const QString& name, int rows, bool keyed = true) {
    // The number each row's values are made from.
    const QString v = keyed ? QStringLiteral("x") : QStringLiteral("(x - (x % 100 = 0))");
    sample::executeScript(
        file,
        {QStringLiteral("CREATE TABLE %1 (id int NOT NULL%2, name varchar(40) NULL, "
                        "email varchar(60) NULL, city varchar(40) NULL, amount numeric(12,2) "
                        "NULL, day date NULL, note varchar(80) NULL, qty int NULL)")
             .arg(name, keyed ? QStringLiteral(" PRIMARY KEY") : QString()),
         QStringLiteral(
             "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < %1) "
             "INSERT INTO ")
                 .arg(rows) +
             name +
             QStringLiteral(
                 " SELECT @v, 'Customer ' || @v, 'customer' || @v || '@example.com', "
                 "'City ' || (@v % 977), CAST(printf('%d.%02d', @v % 100000, @v % 100) AS BLOB), "
                 "date('2000-01-01', '+' || (@v % 9000) || ' days'), "
                 "'Note for order ' || @v || ' in batch ' || (@v % 97), "
                 "CASE WHEN @v % 7 = 0 THEN NULL ELSE @v % 1000 END FROM c")
                 .replace(QStringLiteral("@v"), v)});
}

// "Next >" on the table at `row` of the chooser, back to the chooser once it is read.
void openOnce(int row) {
    pages::form2().List1->setCurrentRow(row);
    pages::form2().PushButton3->click();
    const std::shared_ptr<db::RecordsetData> rows = pages::form3().DataGrid1->DataSource();
    bench::runUntil([&] { return rows->load() != db::RecordsetData::Load::Reading; });
    pages::form3().Hide();
    pages::form2().show();
    QCoreApplication::processEvents();
}

struct Ours {
    double firstPaint = 0; // click to the first rows painted
    double allStored = 0;  // click to the last row stored
    double cpu = 0;        // processor time meanwhile, all threads
    double uiCpu = 0;      // of which the window's thread
    int arrivals = 0;      // turns of the event loop that appended rows
    int rowsAtFirstPaint = 0;
    int rows = 0;
    std::size_t storeBytes = 0;
    long residentGrowthKiB = 0;
    long peakGrowthKiB = 0;
};

Ours nextClick() {
    pages::DataGrid& grid = *pages::form3().DataGrid1;
    grid.setDataSource(nullptr); // the last round's rows go before the reading starts
    QCoreApplication::processEvents();
    malloc_trim(0); // what earlier rounds freed goes back, so the growth is this load's
    bench::resetPeak();
    const long before = bench::statusKiB("VmRSS:");
    bench::PaintWatch watch;
    grid.viewport()->installEventFilter(&watch);
    Ours result;
    const double cpu = bench::cpuSeconds();
    const double uiCpu = bench::threadCpuSeconds();
    const Clock::time_point click = Clock::now();
    pages::form2().PushButton3->click();
    bench::runUntil([&] { return watch.painted; });
    result.firstPaint = bench::seconds(click);
    result.rowsAtFirstPaint = static_cast<model::RecordsetModel*>(grid.model())->shownRows();
    grid.viewport()->removeEventFilter(&watch);
    const std::shared_ptr<db::RecordsetData> rows = grid.DataSource();
    const QMetaObject::Connection counting =
        QObject::connect(static_cast<model::RecordsetModel*>(grid.model()),
                         &model::RecordsetModel::loadChanged, [&] { ++result.arrivals; });
    bench::runUntil([&] { return rows->load() != db::RecordsetData::Load::Reading; });
    result.allStored = bench::seconds(click);
    result.cpu = bench::cpuSeconds() - cpu;
    result.uiCpu = bench::threadCpuSeconds() - uiCpu;
    QObject::disconnect(counting);
    result.rows = static_cast<model::RecordsetModel*>(grid.model())->shownRows();
    result.storeBytes = rows->rows.memoryBytes();
    result.residentGrowthKiB = bench::statusKiB("VmRSS:") - before;
    result.peakGrowthKiB = bench::statusKiB("VmHWM:") - before;
    return result;
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each round shows as it ends, also in a pipe
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::Server server(kCatalog);
    QApplication application(argc, argv);
    const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 1000000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    const Clock::time_point made = Clock::now();
    createTable(server.file(), QStringLiteral("big"), rows);
    createTable(server.file(), QStringLiteral("small"), 200);
    createTable(server.file(), QStringLiteral("loose"), rows, false);
    std::printf("table: %d rows x 8 columns, made in %.1f s\n", rows, bench::seconds(made));

    server.fillConnectionPage();
    pages::Form2& chooser = pages::form2();
    chooser.List1->addItems(
        {QStringLiteral("big"), QStringLiteral("small"), QStringLiteral("loose")});
    chooser.show();
    bench::bareFetch(server.odbcString(), kQuery); // warms the file cache
    // The editor shown and painted once, over a small table: what the window itself
    // holds (its backing store, fonts, the driver's set-up) is not counted as the rows'.
    openOnce(1);
    chooser.List1->setCurrentRow(0);

    std::vector<double> paints, ratios;
    bench::Bare bare;
    Ours ours, first;
    for (int round = 0; round < rounds; ++round) {
        bare = bench::bareFetch(server.odbcString(), kQuery);
        pages::form3().Hide();
        chooser.show();
        QCoreApplication::processEvents();
        ours = nextClick();
        if (round == 0)   // memory the process had not held before (later rounds find the
            first = ours; // vertical header's room for rows kept from the round before)
        paints.push_back(ours.firstPaint);
        ratios.push_back(ours.allStored / bare.seconds);
        std::printf("round %d: bare fetch %.3f s (%lld rows, cpu %.3f s); Next > to first rows "
                    "painted %.3f s (%d rows), to all %d rows stored %.3f s (cpu %.3f s, the "
                    "window's thread %.3f s over %d arrivals); ratio %.2f\n",
                    round + 1, bare.seconds, bare.rows, bare.cpu, ours.firstPaint,
                    ours.rowsAtFirstPaint, ours.rows, ours.allStored, ours.cpu, ours.uiCpu,
                    ours.arrivals, ratios.back());
    }
    const double text = double(bare.textBytes);
    std::printf("first rows painted (median of %d): %.3f s, %.3f to %.3f  (target <= 0.100)\n",
                rounds, bench::median(paints), *std::min_element(paints.begin(), paints.end()),
                *std::max_element(paints.begin(), paints.end()));
    std::printf("all rows stored / bare fetch (median of %d): %.2f, %.2f to %.2f  (target <= "
                "1.20)\n",
                rounds, bench::median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("rows' text %.1f MiB; first round: stored rows %.1f MiB (%.3f x); resident growth "
                "%.1f MiB (%.3f x); peak growth %.1f MiB (%.3f x)  (target <= 1.20)\n",
                text / 1048576.0, double(first.storeBytes) / 1048576.0,
                double(first.storeBytes) / text, double(first.residentGrowthKiB) / 1024.0,
                double(first.residentGrowthKiB) * 1024.0 / text,
                double(first.peakGrowthKiB) / 1024.0, double(first.peakGrowthKiB) * 1024.0 / text);
    // The same rows in a table without a key, every hundredth a twin: twins are looked for
    // as the rows arrive.
    chooser.List1->setCurrentRow(2);
    std::vector<double> loosePaints, looseRatios, looseUi;
    int twins = 0;
    for (int round = 0; round < rounds; ++round) {
        bare = bench::bareFetch(server.odbcString(), QStringLiteral("SELECT * FROM [loose]"));
        pages::form3().Hide();
        chooser.show();
        QCoreApplication::processEvents();
        const Ours loose = nextClick();
        loosePaints.push_back(loose.firstPaint);
        looseRatios.push_back(loose.allStored / bare.seconds);
        looseUi.push_back(loose.uiCpu);
        const auto* model = static_cast<model::RecordsetModel*>(pages::form3().DataGrid1->model());
        twins = 0;
        for (int row = 0; row < model->shownRows(); ++row)
            twins += model->twinCount(model->storedRow(row)) > 1;
    }
    std::printf("key-less table (median of %d): first rows painted %.3f s; all rows stored / "
                "bare fetch %.2f, %.2f to %.2f; the window's thread %.3f s; %d rows marked as "
                "twins\n",
                rounds, bench::median(loosePaints), bench::median(looseRatios),
                *std::min_element(looseRatios.begin(), looseRatios.end()),
                *std::max_element(looseRatios.begin(), looseRatios.end()), bench::median(looseUi),
                twins);
    std::printf("the test server's own peak (its process): %.1f MiB\n",
                double(server.serverPeakKiB()) / 1024.0);
    pages::resetPages(); // before the application goes
    return 0;
}
