#include "db/write/cellblockwrite.h"
#include "db/write/rowdelete.h"
#include "db/write/rowinsert.h"
#include "support/tablefixture.h"

#include <QTest>

// Adding, deleting and writing blocks of rows on the test server through FreeTDS, each
// checked over a second connection.
class GridWritesTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldAddARowAndShowWhatTheServerFilledIn();
    void shouldAddNothingWhenTheServerRefusesTheRow();
    void shouldAddATwinToAKeylessTableAndShowItAsTwin();
    void shouldDeleteRowsAllOrNothing();
    void shouldWriteABlockAllOrNothing();
};

using testing::changeElsewhere;
using testing::openTable;
using testing::valueOf;

namespace {
db::NewRowValues newRow(std::initializer_list<std::pair<int, db::CellValue>> given, int columns) {
    db::NewRowValues row(std::size_t(columns), std::nullopt);
    for (const auto& [column, value] : given)
        row[std::size_t(column)] = value;
    return row;
}
} // namespace

void GridWritesTest::shouldAddARowAndShowWhatTheServerFilledIn() {
    testing::SampleServer server;
    auto data = openTable(server, "item",
                          {"CREATE TABLE item (id numeric identity(10,0), name varchar(20) NOT "
                           "NULL, qty int NOT NULL DEFAULT 7, note varchar(20) NULL, "
                           "stamp timestamp)",
                           "INSERT INTO item (id, name, qty) VALUES (1, 'pen', 1)"});
    db::RowWriter writer(data);
    db::RowInserter inserter(writer);
    QVERIFY(inserter.columnReason(0).contains("identity"));
    QVERIFY(inserter.columnReason(4).contains("timestamp"));
    QVERIFY(inserter.needsValue(1));
    QVERIFY(!inserter.needsValue(2)); // NOT NULL, with a default
    QVERIFY(!inserter.needsValue(3));
    // Server-filled columns are refused before anything is sent.
    QCOMPARE(inserter.insert(newRow({{0, std::string("9")}}, 5)).status, db::WriteStatus::ReadOnly);

    const db::CellWriteResult added = inserter.insert(newRow({{1, std::string("ink")}}, 5));
    QCOMPARE(added.status, db::WriteStatus::Written);
    QVERIFY2(added.message.isEmpty(), qPrintable(added.message));
    QCOMPARE(inserter.insertStatement().sql, QString("INSERT INTO [item] ([name]) VALUES (?)"));
    QCOMPARE(added.appendedRow, 1);
    QCOMPARE(data->rows.rowCount(), 2);
    QCOMPARE(data->rows.text(1, 0), QString("2"));
    QCOMPARE(data->rows.text(1, 1), QString("ink"));
    QCOMPARE(data->rows.text(1, 2), QString("7"));
    QVERIFY(data->rows.isNull(1, 3));
    QVERIFY(!data->rows.isNull(1, 4));
    QCOMPARE(valueOf("SELECT qty FROM item WHERE id = 2"), QString("7"));
    QCOMPARE(valueOf("SELECT count(*) FROM item"), QString("2"));
    // The row read back is the table's own: it can be edited at once.
    QCOMPARE(writer.write(1, 3, std::string("blue")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT note FROM item WHERE id = 2"), QString("blue"));
}

void GridWritesTest::shouldAddNothingWhenTheServerRefusesTheRow() {
    testing::SampleServer server;
    auto data = openTable(
        server, "part",
        {"CREATE TABLE part (code varchar(5) NOT NULL PRIMARY KEY, qty int NOT NULL CHECK "
         "(qty >= 0), price numeric(6,2) NULL)",
         "CREATE TRIGGER noink BEFORE INSERT ON part WHEN NEW.code = 'ink' BEGIN "
         "SELECT RAISE(ROLLBACK, 'no ink here'); END",
         "CREATE TRIGGER more AFTER INSERT ON part WHEN NEW.code = 'nib' BEGIN "
         "UPDATE part SET qty = qty + 1 WHERE code = NEW.code; END",
         "INSERT INTO part VALUES ('pen', 1, 2.5)"});
    db::RowWriter writer(data);
    db::RowInserter inserter(writer);
    const auto refused = [&](db::NewRowValues row, db::WriteStatus status, const char* text) {
        const db::CellWriteResult result = inserter.insert(row);
        QCOMPARE(result.status, status);
        QVERIFY2(result.message.contains(text), qPrintable(result.message));
        QVERIFY2(result.message.startsWith("The row was not added"), qPrintable(result.message));
        QCOMPARE(result.appendedRow, -1);
        QCOMPARE(data->rows.rowCount(), 1);
        QCOMPARE(valueOf("SELECT count(*) FROM part"), QString("1"));
    };
    // A column that needs a value and has none is refused before anything is sent.
    refused(newRow({{0, std::string("cap")}}, 3), db::WriteStatus::DoesNotFit, "qty needs a value");
    refused(newRow({{0, std::string("pen")}, {1, std::string("2")}}, 3), db::WriteStatus::Rejected,
            "duplicate key");
    refused(newRow({{0, std::string("cap")}, {1, std::string("-1")}}, 3), db::WriteStatus::Rejected,
            "Check constraint");
    refused(newRow({{0, std::string("ink")}, {1, std::string("1")}}, 3), db::WriteStatus::Rejected,
            "no ink here");
    refused(newRow({{0, std::string("cap")}, {1, std::string("1")}, {2, std::string("1.005")}}, 3),
            db::WriteStatus::DoesNotFit, "price");
    // A trigger that changes a typed value: the table would not hold what was typed.
    refused(newRow({{0, std::string("nib")}, {1, std::string("1")}}, 3), db::WriteStatus::NotKept,
            "qty");
    // The connection is back to normal: the corrected row lands.
    QCOMPARE(inserter.insert(newRow({{0, std::string("cap")}, {1, std::string("1")}}, 3)).status,
             db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT qty FROM part WHERE code = 'cap'"), QString("1"));
}

void GridWritesTest::shouldAddATwinToAKeylessTableAndShowItAsTwin() {
    testing::SampleServer server;
    auto data = openTable(
        server, "log",
        {"CREATE TABLE log (n int NULL, tag varchar(5) NULL)", "INSERT INTO log VALUES (1, 'a')"});
    db::RowWriter writer(data);
    db::RowInserter inserter(writer);
    const db::CellWriteResult twin =
        inserter.insert(newRow({{0, std::string("1")}, {1, std::string("a")}}, 2));
    QCOMPARE(twin.status, db::WriteStatus::Written);
    QVERIFY2(twin.message.contains("exactly like it"), qPrintable(twin.message));
    QCOMPARE(valueOf("SELECT count(*) FROM log WHERE n = 1"), QString("2"));
    QCOMPARE(data->rows.rowCount(), 2);
    // Twins cannot be edited or deleted: nothing tells them apart.
    QCOMPARE(writer.write(1, 1, std::string("b")).status, db::WriteStatus::Ambiguous);
    db::RowDeleter deleter(writer);
    QCOMPARE(deleter.remove({1}).status, db::WriteStatus::Ambiguous);
    QCOMPARE(valueOf("SELECT count(*) FROM log WHERE tag = 'a'"), QString("2"));
}

void GridWritesTest::shouldDeleteRowsAllOrNothing() {
    testing::SampleServer server;
    auto data = openTable(
        server, "t",
        {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(10) NULL, w float NULL)",
         "CREATE TABLE gone (id int NULL)",
         "CREATE TRIGGER counted AFTER DELETE ON t BEGIN INSERT INTO gone VALUES (OLD.id); "
         "INSERT INTO gone VALUES (OLD.id); END",
         "INSERT INTO t VALUES (1, 'a', 0.1), (2, 'b', 0.2), (3, 'c', 0.3), (4, 'd', NULL)"});
    db::RowWriter writer(data);
    db::RowDeleter deleter(writer);
    QCOMPARE(deleter.deleteStatement(3).sql,
             QString("DELETE FROM [t] WHERE [id] = ? AND [name] = ?"));
    // A row someone else changed since it was read stops the whole delete.
    changeElsewhere(server, "UPDATE t SET name = 'theirs' WHERE id = 3");
    const db::CellWriteResult changed = deleter.remove({0, 2});
    QCOMPARE(changed.status, db::WriteStatus::RowChanged);
    QVERIFY2(changed.message.contains("row 3") && changed.message.contains("theirs"),
             qPrintable(changed.message));
    QCOMPARE(valueOf("SELECT count(*) FROM t"), QString("4"));
    QCOMPARE(valueOf("SELECT count(*) FROM gone"), QString("0"));
    QCOMPARE(data->rows.text(2, 1), QString("theirs")); // shows what the table holds
    // A row deleted elsewhere too.
    changeElsewhere(server, "DELETE FROM t WHERE id = 4");
    QCOMPARE(deleter.remove({0, 3}).status, db::WriteStatus::RowVanished);
    QCOMPARE(valueOf("SELECT count(*) FROM t"), QString("3"));

    // Now the grid shows their value: both go, whatever the trigger counts.
    const db::CellWriteResult removed = deleter.remove({0, 2});
    QCOMPARE(removed.status, db::WriteStatus::Written);
    QCOMPARE(removed.deleted, (std::vector<int>{0, 2}));
    QCOMPARE(valueOf("SELECT count(*) FROM t"), QString("1"));
    QCOMPARE(valueOf("SELECT id FROM t"), QString("2"));
}

void GridWritesTest::shouldWriteABlockAllOrNothing() {
    testing::SampleServer server;
    auto data = openTable(server, "t",
                          {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(10) NULL, "
                           "qty int NULL CHECK (qty < 100))",
                           "INSERT INTO t VALUES (1, 'a', 1), (2, 'b', 2), (3, 'c', 3)"});
    db::RowWriter writer(data);
    db::CellBlockWriter block(writer);
    const auto cells = [](std::vector<std::tuple<int, int, const char*>> list) {
        std::vector<db::CellChange> out;
        for (const auto& [row, column, value] : list)
            out.push_back({row, column, std::string(value), std::nullopt, {}});
        return out;
    };
    // One value that does not fit: nothing is sent, the message names the cell.
    const db::CellWriteResult wide =
        block.write(cells({{0, 1, "x"}, {0, 2, "5"}, {1, 1, "y"}, {1, 2, "many"}}));
    QCOMPARE(wide.status, db::WriteStatus::DoesNotFit);
    QVERIFY2(wide.message.contains("row 2, column qty"), qPrintable(wide.message));
    // The server refuses the last cell: the earlier ones are taken back.
    const db::CellWriteResult refused =
        block.write(cells({{0, 1, "x"}, {0, 2, "5"}, {1, 1, "y"}, {1, 2, "500"}}));
    QCOMPARE(refused.status, db::WriteStatus::Rejected);
    QVERIFY2(refused.message.contains("Check constraint"), qPrintable(refused.message));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("a"));
    QCOMPARE(valueOf("SELECT qty FROM t WHERE id = 1"), QString("1"));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 2"), QString("b"));
    QCOMPARE(data->rows.text(0, 1), QString("a"));

    // A good block lands whole; each row read back.
    QCOMPARE(block.write(cells({{0, 1, "x"}, {0, 2, "5"}, {1, 1, "y"}, {1, 2, "6"}})).status,
             db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 2"), QString("y"));
    QCOMPARE(valueOf("SELECT qty FROM t WHERE id = 1"), QString("5"));
    QCOMPARE(data->rows.text(1, 2), QString("6"));

    // Taking a cell back only while the table holds what was written.
    changeElsewhere(server, "UPDATE t SET name = 'theirs' WHERE id = 2");
    std::vector<db::CellChange> back{{0, 1, std::string("a"), std::string("x"), {}},
                                     {1, 1, std::string("b"), std::string("y"), {}}};
    const db::CellWriteResult undo = block.write(back);
    QCOMPARE(undo.status, db::WriteStatus::RowChanged);
    QVERIFY2(undo.message.contains("theirs"), qPrintable(undo.message));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("x"));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 2"), QString("theirs"));
    // The grid now shows their value, so the same step is refused before anything is sent.
    QCOMPARE(block.write(back).status, db::WriteStatus::RowChanged);
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("x"));

    // A lock held past the time-out: the block gives up whole, within its time-out.
    writer.setWriteTimeout(1);
    db::Connection other;
    other.Open(testing::SampleServer::connectionString(testing::kCatalog));
    db::odbc::Statement(*other.driver()).execDirect("BEGIN TRANSACTION");
    db::odbc::Statement(*other.driver()).execDirect("UPDATE t SET qty = 6 WHERE id = 2");
    QCOMPARE(block.write(cells({{0, 2, "8"}, {1, 2, "9"}})).status, db::WriteStatus::TimedOut);
    db::odbc::Statement(*other.driver()).execDirect("ROLLBACK TRANSACTION");
    QCOMPARE(valueOf("SELECT qty FROM t WHERE id = 1"), QString("5"));
    QCOMPARE(valueOf("SELECT qty FROM t WHERE id = 2"), QString("6"));
}

QTEST_GUILESS_MAIN(GridWritesTest)
#include "tst_gridwrites.moc"
