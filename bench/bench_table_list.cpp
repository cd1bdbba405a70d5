// The table listing over 10,000 tables on the test server (through ASEOLEDB and FreeTDS),
// as the user waits for it: the chooser shown, its load run (the listing lets queued events
// run once per table), against a bare ODBC walk over the same tables schema (SQLTables,
// both columns read) through FreeTDS in the same run.
//
//   bench_table_list [tables] [rounds]   (defaults 10000 and 5; build Release; run with
//                                         QT_QPA_PLATFORM=offscreen or under xvfb-run)

#include "bench/benchsupport.h"
#include "db/odbc/odbc.h"
#include "pages/chooser/form2.h"

#include <QApplication>
#include <QListWidget>
#include <cstdio>

namespace {

using bench::Clock;

// Connect, SQLTables, read TABLE_TYPE and TABLE_NAME of every row, disconnect.
int bareWalk(const QString& odbcString) {
    db::odbc::DriverConnection connection(std::make_shared<db::odbc::Environment>());
    connection.connect(odbcString, 30);
    db::odbc::Statement statement(connection);
    const SQLHSTMT h = statement.handle().get();
    db::odbc::check(SQLTablesW(h, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0),
                    statement.handle(), "SQLTables");
    int tables = 0;
    SQLWCHAR type[256], name[512];
    SQLLEN typeLength = 0, nameLength = 0;
    while (SQL_SUCCEEDED(SQLFetch(h))) {
        SQLGetData(h, 4, SQL_C_WCHAR, type, sizeof type, &typeLength);
        SQLGetData(h, 3, SQL_C_WCHAR, name, sizeof name, &nameLength);
        if (db::odbc::fromWide(type, typeLength / SQLLEN(sizeof(SQLWCHAR))) ==
                QLatin1String("TABLE") &&
            nameLength > 0)
            ++tables;
    }
    return tables;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::Server server(QStringLiteral("bench"));
    QApplication application(argc, argv);
    const int tables = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    QStringList script;
    for (int i = 0; i < tables; ++i) // one name in a hundred holds "sys"
        script << QStringLiteral(
                      "CREATE TABLE %1%2 (id int NOT NULL PRIMARY KEY, title varchar(80) NULL)")
                      .arg(i % 100 == 0 ? QStringLiteral("sys_t") : QStringLiteral("Table"))
                      .arg(i);
    const Clock::time_point made = Clock::now();
    sample::executeScript(server.file(), script);
    std::printf("created %d tables in %.1f s\n", tables, bench::seconds(made));

    server.fillConnectionPage();
    pages::Form2& chooser = pages::form2();
    chooser.show();
    bench::runUntil([&] { return chooser.isVisible(); });
    QCoreApplication::processEvents();

    std::vector<double> bare, listing, ratios;
    int schemaTables = 0;
    for (int round = 0; round < rounds; ++round) {
        Clock::time_point start = Clock::now();
        schemaTables = bareWalk(server.odbcString());
        bare.push_back(bench::seconds(start) * 1000.0);
        start = Clock::now();
        chooser.Form_Load();
        listing.push_back(bench::seconds(start) * 1000.0);
        ratios.push_back(listing.back() / bare.back());
        QCoreApplication::processEvents();
    }
    const double bareMs = bench::median(bare);
    const double listingMs = bench::median(listing);
    std::printf("tables in the schema %d, listed %d (median of %d rounds)\n", schemaTables,
                chooser.List1->count(), rounds);
    std::printf("bare SQLTables walk:               %8.1f ms\n", bareMs);
    std::printf("chooser load, shown (the listing): %8.1f ms\n", listingMs);
    std::printf("ratio listing / bare, each round:  %8.2f  (median; %.2f to %.2f; target <= "
                "1.50)\n",
                bench::median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    std::printf("ratio of the medians:              %8.2f\n", listingMs / bareMs);
    pages::resetPages(); // before the application goes
    return 0;
}
