#include "db/odbc/dberror.h"
#include "db/read/filter.h"
#include "db/write/rowwriter.h"
#include "support/tablefixture.h"

#include <QTest>
#include <algorithm>

// A filter narrows the table on the server, before anything is read: each case reads the
// table again through the filtered read and compares the rows it holds with the rows the
// conditions name; a value the column cannot hold never reaches the server.
class FilterTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldReadExactlyTheRowsEveryConditionHolds();
    void shouldRefuseWhatTheColumnCannotHoldBeforeAnythingIsRead();
    void shouldStopAReadPastTheMemoryLimitKeepingItsRows();
};

using db::FilterOp;
using Load = db::RecordsetData::Load;

namespace {

const QStringList kItems = {
    "CREATE TABLE items (id int NOT NULL PRIMARY KEY, qty int NULL, price numeric(10,2) NULL, "
    "w float NULL, at datetime NULL, code char(6) NOT NULL, name varchar(20) NULL, "
    "note text NULL, bits varbinary(4) NULL)",
    "INSERT INTO items VALUES (1, 5, 19.99, 0.5, '2024-03-05 13:45:00', 'ab', 'plain', "
    "'a long note', NULL)",
    "INSERT INTO items VALUES (2, 10, 5, 1.25, '2024-03-06 00:00:00', 'ab', 'plain', "
    "'another', x'01')",
    "INSERT INTO items VALUES (3, NULL, NULL, NULL, NULL, 'cd', '50%off', 'has a sign', NULL)",
    "INSERT INTO items VALUES (4, 7, 100.5, 2.5, '2023-12-31 23:59:00', 'x_y', 'a_b', NULL, "
    "NULL)",
    "INSERT INTO items VALUES (5, 8, 1, 3.0, '2024-01-01 00:00:00', 'z', '[tag]', 'x', NULL)",
    "INSERT INTO items VALUES (6, 9, 2, 4.0, '2024-01-02 00:00:00', 'q', 'ab', 'y', NULL)"};

// Reads the rows again with the filter, to the end.
std::shared_ptr<db::RecordsetData>
readFiltered(const db::RecordsetData& data, const db::Filter& filter, const db::TableKeys* keys) {
    db::PendingRequery pending(data, filter, keys, [] {});
    if (!QTest::qWaitFor([&] { return pending.ready(); }, 20000))
        return nullptr;
    std::shared_ptr<db::RecordsetData> rows = pending.take();
    while (rows->load() == Load::Reading)
        rows->appendArrived(true);
    return rows;
}

// The ids (first column) of the rows, in order: "1,3".
QString ids(const db::RecordsetData& rows) {
    QStringList out;
    for (int r = 0; r < rows.rows.rowCount(); ++r)
        out << QString::fromStdString(*db::storedValue(rows.rows, r, 0));
    std::sort(out.begin(), out.end());
    return out.join(',');
}

db::Filter one(int column, FilterOp op, const QString& value = {}) {
    return db::Filter{{db::FilterCondition{column, op, value}}};
}

// What the server was sent with a WHERE, over every connection.
int filteredRequests(testing::SampleServer& server) {
    int n = 0;
    for (const tds::ConnectionLog& log : server.server().logs())
        for (const std::string& request : log.requests)
            n += request.find(" WHERE ") != std::string::npos &&
                 request.rfind("SELECT * FROM [items]", 0) == 0;
    return n;
}

} // namespace

void FilterTest::shouldReadExactlyTheRowsEveryConditionHolds() {
    testing::SampleServer server;
    auto data = openTable(server, "items", kItems);
    const db::RowWriter writer(data);
    const db::TableKeys* keys = &writer.keys();
    enum { Id, Qty, Price, W, At, Code, Name, Note, Bits };
    const struct {
        db::Filter filter;
        QString expected;
    } cases[] = {
        // Integers; NULL matches no comparison.
        {one(Qty, FilterOp::Equal, " 5 "), "1"},
        {one(Qty, FilterOp::NotEqual, "5"), "2,4,5,6"},
        {one(Qty, FilterOp::Less, "8"), "1,4"},
        {one(Qty, FilterOp::LessOrEqual, "8"), "1,4,5"},
        {one(Qty, FilterOp::Greater, "8"), "2,6"},
        {one(Qty, FilterOp::GreaterOrEqual, "-3"), "1,2,4,5,6"},
        // Exact numbers by value, approximate ones in binary, dates by the moment.
        {one(Price, FilterOp::Equal, "19.99"), "1"},
        {one(Price, FilterOp::Greater, "5"), "1,4"},
        {one(Price, FilterOp::LessOrEqual, "5.00"), "2,5,6"},
        {one(W, FilterOp::Equal, "0.5"), "1"},
        {one(W, FilterOp::GreaterOrEqual, "2.5"), "4,5,6"},
        {one(At, FilterOp::Less, "2024-01-01"), "4"},
        {one(At, FilterOp::Equal, "2024-03-05 13:45"), "1"},
        {one(At, FilterOp::GreaterOrEqual, "2024-3-6"), "2"},
        // Texts as the server compares them: trailing blanks do not count.
        {one(Code, FilterOp::Equal, "ab   "), "1,2"},
        {one(Name, FilterOp::Equal, "plain "), "1,2"},
        {one(Code, FilterOp::Less, "b"), "1,2"},
        // Pattern characters typed stand for themselves.
        {one(Name, FilterOp::Contains, "%"), "3"},
        {one(Name, FilterOp::Contains, "_"), "4"},
        {one(Name, FilterOp::Contains, "["), "5"},
        {one(Name, FilterOp::Contains, "]"), "5"},
        {one(Name, FilterOp::Contains, "[tag]"), "5"},
        {one(Name, FilterOp::Contains, "a"), "1,2,4,5,6"},
        {one(Name, FilterOp::StartsWith, "a"), "4,6"},
        {one(Name, FilterOp::StartsWith, "50%"), "3"},
        {one(Name, FilterOp::StartsWith, "5%"), ""},
        {one(Code, FilterOp::Contains, "_"), "4"},
        {one(Name, FilterOp::Contains, "it's"), ""},
        // A text column: "contains" and the NULL tests.
        {one(Note, FilterOp::Contains, "sign"), "3"},
        {one(Note, FilterOp::IsNull), "4"},
        {one(Bits, FilterOp::IsNotNull), "2"},
        {one(Qty, FilterOp::IsNull), "3"},
        // All conditions must hold.
        {db::Filter{{{Qty, FilterOp::Greater, "5"}, {Name, FilterOp::Contains, "a"}}}, "2,4,5,6"},
        {db::Filter{{{Price, FilterOp::IsNotNull, {}}, {Code, FilterOp::Equal, "ab"}}}, "1,2"},
    };
    for (const auto& c : cases) {
        QVERIFY(db::checkFilter(c.filter, *data, keys).accepted());
        const std::shared_ptr<db::RecordsetData> rows = readFiltered(*data, c.filter, keys);
        QVERIFY(rows);
        QCOMPARE(rows->load(), Load::Complete);
        if (ids(*rows) != c.expected)
            for (const tds::ConnectionLog& log : server.server().logs())
                for (const std::string& request : log.requests)
                    qWarning("%s", request.c_str());
        QCOMPARE(ids(*rows), c.expected);
        // The rows keep their filter and their table's own source; a refresh keeps both.
        QCOMPARE(rows->filter, c.filter);
        QCOMPARE(rows->source, QStringLiteral("SELECT * FROM [items]"));
        const std::shared_ptr<db::RecordsetData> again = readFiltered(*rows, rows->filter, keys);
        QCOMPARE(ids(*again), c.expected);
    }

    // Another user's change is seen on the next filtered read: it is the server that
    // filters, not a copy of the rows.
    testing::changeElsewhere(server, "UPDATE items SET name = 'a%' WHERE id = 1");
    QCOMPARE(ids(*readFiltered(*data, one(Name, FilterOp::Contains, "%"), keys)), QString("1,3"));

    // No filter: the table's own query, unchanged.
    const auto plainReads = [&] {
        int n = 0;
        for (const tds::ConnectionLog& log : server.server().logs())
            n += int(std::count(log.requests.begin(), log.requests.end(),
                                std::string("SELECT * FROM [items]")));
        return n;
    };
    const int before = plainReads();
    const std::shared_ptr<db::RecordsetData> all = readFiltered(*data, db::Filter{}, keys);
    QCOMPARE(ids(*all), QString("1,2,3,4,5,6"));
    QVERIFY(all->where.isEmpty());
    QCOMPARE(plainReads(), before + 1);
}

void FilterTest::shouldRefuseWhatTheColumnCannotHoldBeforeAnythingIsRead() {
    testing::SampleServer server;
    auto data = openTable(server, "items", kItems);
    const db::RowWriter writer(data);
    const db::TableKeys* keys = &writer.keys();
    enum { Id, Qty, Price, W, At, Code, Name, Note, Bits };
    const struct {
        db::Filter filter;
        QString refusal;
    } cases[] = {
        {one(Qty, FilterOp::Equal, "abc"), "not a whole number"},
        {one(Qty, FilterOp::Less, "99999999999"), "outside the column's range"},
        {one(Price, FilterOp::Equal, "19.999"), "would round it"},
        {one(W, FilterOp::Equal, "0.1000000000000000001"), "cannot hold"},
        {one(At, FilterOp::Equal, "2024-02-30"), "not a real date"},
        {one(Code, FilterOp::Equal, "toolong"), "at most 6 bytes"},
        {one(Note, FilterOp::Equal, "x"), "only with \u201Ccontains\u201D"},
        {one(Note, FilterOp::StartsWith, "x"), "only with \u201Ccontains\u201D"},
        {one(Qty, FilterOp::Contains, "5"), "does not hold text"},
        {one(Bits, FilterOp::Equal, "0x01"), "binary"},
        {one(42, FilterOp::IsNull), "column the table does not have"},
        // The second condition is the one refused, and named.
        {db::Filter{{{Qty, FilterOp::IsNull, {}}, {Qty, FilterOp::Equal, "1.5"}}},
         "not a whole number"},
    };
    const int before = filteredRequests(server);
    for (const auto& c : cases) {
        const db::FilterCheck check = db::checkFilter(c.filter, *data, keys);
        QVERIFY2(check.refusal.contains(c.refusal), qPrintable(check.refusal));
        QCOMPARE(check.condition, int(c.filter.conditions.size()) - 1);
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::PendingRequery(*data, c.filter, keys, [] {}));
    }
    QCOMPARE(filteredRequests(server), before);
    // The rows held stay as they were.
    QCOMPARE(ids(*data), QString("1,2,3,4,5,6"));
}

void FilterTest::shouldStopAReadPastTheMemoryLimitKeepingItsRows() {
    testing::SampleServer server;
    QStringList statements = {"CREATE TABLE big (id int NOT NULL PRIMARY KEY, "
                              "pad varchar(200) NOT NULL)"};
    statements << "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                  "20000) INSERT INTO big SELECT i, printf('%0200d', i) FROM n";
    auto data = openTable(server, "big", statements);
    while (data->load() == Load::Reading)
        data->appendArrived(true);
    QCOMPARE(data->rows.rowCount(), 20000);

    struct Limit {
        Limit() { db::setReadMemoryLimit(200 * 1000); }
        ~Limit() { db::setReadMemoryLimit(0); }
    } limit;
    const std::shared_ptr<db::RecordsetData> stopped = readFiltered(*data, db::Filter{}, nullptr);
    QCOMPARE(stopped->load(), Load::Stopped);
    QVERIFY(stopped->rows.rowCount() > 0);
    QVERIFY(stopped->rows.rowCount() < 20000);
    QVERIFY2(stopped->loadMessage().contains("memory") && stopped->loadMessage().contains("filter"),
             qPrintable(stopped->loadMessage()));
    // The rows kept are whole and in order.
    const QString last = QString::number(stopped->rows.rowCount());
    QCOMPARE(
        QString::fromStdString(*db::storedValue(stopped->rows, stopped->rows.rowCount() - 1, 0)),
        last);
    // A filter narrows the table under the limit: read to its end.
    const std::shared_ptr<db::RecordsetData> narrowed =
        readFiltered(*data, one(0, FilterOp::Less, "101"), nullptr);
    QCOMPARE(narrowed->load(), Load::Complete);
    QCOMPARE(narrowed->rows.rowCount(), 100);
    QVERIFY(narrowed->loadMessage().isEmpty());
}

QTEST_GUILESS_MAIN(FilterTest)
#include "tst_filter.moc"
