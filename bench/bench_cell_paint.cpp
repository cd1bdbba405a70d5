// A table whose one cell holds 20 MB of text, opened with "Next >" on the shown chooser:
// the time to the first paint of the grid, and the time of each later repaint of its
// cells with that cell in view (the cell shows a bounded prefix of the value).
//
//   bench_cell_paint [megabytes] [repaints]   (defaults 20 and 20; build Release; run with
//                                              QT_QPA_PLATFORM=offscreen or under xvfb-run)

#include "bench/benchsupport.h"
#include "db/recordset.h"
#include "pages/chooser/form2.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <cstdio>

namespace {

using bench::Clock;

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::Server server(QStringLiteral("bench"));
    QApplication application(argc, argv);
    const int megabytes = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    const int repaints = argc > 2 ? std::max(1, atoi(argv[2])) : 20;
    const long long bytes = (long long)megabytes * 1000 * 1000;
    sample::executeScript(
        server.file(),
        {QStringLiteral("CREATE TABLE wide (id int NOT NULL PRIMARY KEY, body text NULL, "
                        "tail varchar(20) NULL)"),
         QStringLiteral("INSERT INTO wide VALUES (1, substr(replace(hex(zeroblob(%1)), '00', "
                        "'ab'), 1, %2) || 'end', 'short')")
             .arg((bytes + 1) / 2)
             .arg(bytes),
         QStringLiteral("INSERT INTO wide VALUES (2, 'plain', 'short')")});

    server.fillConnectionPage();
    pages::Form2& chooser = pages::form2();
    chooser.List1->addItem(QStringLiteral("wide"));
    chooser.List1->setCurrentRow(0);
    chooser.show();
    QCoreApplication::processEvents();

    pages::DataGrid& grid = *pages::form3().DataGrid1;
    bench::PaintWatch watch;
    grid.viewport()->installEventFilter(&watch);
    const Clock::time_point click = Clock::now();
    chooser.PushButton3->click();
    bench::runUntil([&] { return watch.painted; });
    const double firstPaint = bench::seconds(click);
    grid.viewport()->removeEventFilter(&watch);

    const QModelIndex cell = grid.model()->index(0, 1);
    const qsizetype held = grid.model()->data(cell, Qt::EditRole).toString().size();
    std::vector<double> times;
    for (int i = 0; i < repaints; ++i) {
        const Clock::time_point start = Clock::now();
        grid.viewport()->repaint();
        times.push_back(bench::seconds(start) * 1000.0);
    }
    std::printf("value held: %lld characters; shown: %lld characters\n", (long long)held,
                (long long)grid.model()->data(cell, Qt::DisplayRole).toString().size());
    std::printf("Next > to the first paint: %.1f ms\n", firstPaint * 1000.0);
    std::printf("repaint of the cells (median of %d): %.2f ms  (target < 20 ms)\n", repaints,
                bench::median(times));
    pages::resetPages(); // before the application goes
    return 0;
}
