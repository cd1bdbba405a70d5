// The table listing over 10,000 tables on the test server (through FreeTDS), against a bare walk
// over the same tables schema in the same run: the listing's own cost (its numbered steps, the
// filter, the list) should stay within 1.5 times the bare catalog call.
//
//   bench_table_list [tables] [rounds]

#include "db/connection.h"
#include "db/recordset.h"
#include "db/sybasease.h"
#include "db/tablelist.h"
#include "sample/sampleserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct PlainList : db::ListTarget {
    std::vector<QString> items;
    void Clear() override { items.clear(); }
    void AddItem(const QString& item) override { items.push_back(item); }
    int ListCount() const override { return int(items.size()); }
};

// Open, fetch the schema, read both columns of every row, close.
int bareWalk(const QString& connectionString) {
    db::Connection connection;
    connection.Open(connectionString);
    db::Recordset rows = connection.OpenSchema(db::adSchemaTables);
    int count = 0;
    while (!rows.Eof()) {
        const QVariant type = rows.Fields(QStringLiteral("TABLE_TYPE")).Value();
        const QVariant name = rows.Fields(QStringLiteral("TABLE_NAME")).Value();
        count += type.isValid() && name.isValid() ? 1 : 0;
        rows.MoveNext();
    }
    rows.Close();
    connection.Close();
    return count;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int tables = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    QTemporaryDir folder;
    const auto server = sample::startServer(folder.path(), 0);
    QStringList script;
    for (int i = 0; i < tables; ++i) // one name in a hundred holds "sys"
        script << QStringLiteral(
                      "CREATE TABLE %1%2 (id int NOT NULL PRIMARY KEY, title varchar(80) NULL)")
                      .arg(i % 100 == 0 ? QStringLiteral("sys_t") : QStringLiteral("Table"))
                      .arg(i);
    QElapsedTimer setup;
    setup.start();
    sample::executeScript(sample::databaseFile(folder.path(), QStringLiteral("bench")), script);
    std::printf("created %d tables in %.0f ms\n", tables, double(setup.elapsed()));

    const QString connectionString = db::BuildSybaseASEConnectionString(
        {QLatin1String(sample::kServer), QString::number(server->port()),
         QLatin1String(sample::kUser), QLatin1String(sample::kPassword), QStringLiteral("bench")});

    std::vector<double> bare;
    std::vector<double> listing;
    int reports = 0;
    int rows = 0;
    PlainList list;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        rows = bareWalk(connectionString);
        bare.push_back(timer.nsecsElapsed() / 1e6);

        db::Handler handler(QStringLiteral("bench "),
                            [&](const QString&, int, const QString&) { ++reports; });
        timer.start();
        db::AddTablesToSybaseASEListbox(
            list, [&] { return connectionString; }, [] {}, handler);
        listing.push_back(timer.nsecsElapsed() / 1e6);
    }

    const double bareMs = median(bare);
    const double listingMs = median(listing);
    std::printf("schema rows %d, listed %d, reports %d (median of %d rounds)\n", rows,
                list.ListCount(), reports, rounds);
    std::printf("bare OpenSchema(20) walk:     %8.2f ms\n", bareMs);
    std::printf("AddTablesToSybaseASEListbox:  %8.2f ms\n", listingMs);
    std::printf("ratio listing / bare:         %8.3f (target <= 1.5)\n", listingMs / bareMs);
    return reports == 0 && listingMs <= 1.5 * bareMs ? 0 : 1;
}
