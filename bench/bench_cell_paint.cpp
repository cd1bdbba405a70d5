// A table whose one cell holds 20 MB of text, opened with "Next >" on the shown chooser:
// the time to the first paint of the grid, split into the paint itself and what came
// before it (the value read through the driver, against a bare read of the same rows),
// and the time of each later repaint of its cells with that cell in view (the cell shows
// a bounded prefix of the value).
//
//   bench_cell_paint [megabytes] [repaints]   (defaults 20 and 20; build Release; run with
//                                              QT_QPA_PLATFORM=offscreen or under xvfb-run)

#include "bench/benchsupport.h"
#include "db/odbc/odbc.h"
#include "db/read/recordset.h"
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

// Times the first paint event of a widget: the event is sent on again from inside the
// filter, so the time covers its whole handling.
class FirstPaintTimer : public QObject {
  public:
    double seconds = -1;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || inside_ || seconds >= 0)
            return false;
        inside_ = true;
        const Clock::time_point start = Clock::now();
        QCoreApplication::sendEvent(watched, event);
        seconds = bench::seconds(start);
        inside_ = false;
        return true;
    }

  private:
    bool inside_ = false;
};

// Every cell of every row read whole with SQLGetData, as text.
double bareRead(const QString& odbcString) {
    db::odbc::DriverConnection connection(std::make_shared<db::odbc::Environment>());
    connection.connect(odbcString, 30);
    const Clock::time_point start = Clock::now();
    db::odbc::Statement statement(connection);
    const SQLHSTMT h = statement.handle().get();
    statement.execDirect(QStringLiteral("SELECT * FROM [wide]"));
    std::vector<char> buffer(std::size_t(1) << 20);
    while (SQL_SUCCEEDED(SQLFetch(h)))
        for (SQLUSMALLINT c = 1; c <= 3; ++c) {
            SQLLEN length = 0;
            SQLRETURN rc;
            while ((rc = SQLGetData(h, c, SQL_C_CHAR, buffer.data(), SQLLEN(buffer.size()),
                                    &length)) == SQL_SUCCESS_WITH_INFO) {
            }
        }
    return bench::seconds(start);
}

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
         QStringLiteral("INSERT INTO wide VALUES (2, 'plain', 'short')"),
         QStringLiteral("CREATE TABLE narrow (id int NOT NULL PRIMARY KEY, body text NULL, "
                        "tail varchar(20) NULL)"),
         QStringLiteral("INSERT INTO narrow VALUES (1, 'plain', 'short')")});

    server.fillConnectionPage();
    pages::Form2& chooser = pages::form2();
    chooser.List1->addItems({QStringLiteral("wide"), QStringLiteral("narrow")});
    chooser.show();
    QCoreApplication::processEvents();
    // The editor shown and painted once over a table of short values, so the first paint
    // timed below is the long value's, not the window's first ever (fonts, glyphs, style).
    chooser.List1->setCurrentRow(1);
    chooser.PushButton3->click();
    {
        bench::PaintWatch warm;
        pages::form3().DataGrid1->viewport()->installEventFilter(&warm);
        bench::runUntil([&] { return warm.painted; });
        pages::form3().DataGrid1->viewport()->removeEventFilter(&warm);
    }
    pages::form3().Hide();
    chooser.show();
    chooser.List1->setCurrentRow(0);
    QCoreApplication::processEvents();

    const double bare = bareRead(server.odbcString());
    pages::DataGrid& grid = *pages::form3().DataGrid1;
    bench::PaintWatch watch;
    FirstPaintTimer paintTime;
    grid.viewport()->installEventFilter(&watch);
    grid.viewport()->installEventFilter(&paintTime); // runs first
    const Clock::time_point click = Clock::now();
    chooser.PushButton3->click();
    const double opened = bench::seconds(click); // the rows are read by now
    bench::runUntil([&] { return watch.painted; });
    const double firstPaint = bench::seconds(click);
    grid.viewport()->removeEventFilter(&paintTime);
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
    std::printf("Next > to the first paint: %.1f ms, of which the rows read and the editor "
                "set up %.1f ms (a bare read of the same rows with SQLGetData: %.1f ms), the "
                "first paint of the cells itself %.2f ms\n",
                firstPaint * 1000.0, opened * 1000.0, bare * 1000.0, paintTime.seconds * 1000.0);
    std::printf("repaint of the cells (median of %d): %.2f ms  (target < 20 ms)\n", repaints,
                bench::median(times));
    pages::resetPages(); // before the application goes
    return 0;
}
