#include "db/dialect/tsql.h"
#include "db/write/rowwriter.h"
#include "support/tablefixture.h"

#include <QTest>

// Writing one cell back to its table on the test server, through FreeTDS.
class RowWriterTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldReadTheTableNameBackFromTheQuery();
    void shouldUpdateOneColumnByKeyAndReadTheRowBack();
    void shouldRoundTripExactDecimalsDatesAndBigIntegers();
    void shouldRefuseAChangeMadeElsewhereSinceTheRead();
    void shouldRefuseDuplicatesAndEditUniqueRowsOfAKeylessTable();
    void shouldWriteAndFindNulls();
    void shouldShowTheServersMessageAndKeepTheTableForARejectedWrite();
    void shouldBeReadOnlyWithoutAnyWayToFindARow();
    void shouldNeverWriteServerSetColumns();
};

using testing::changeElsewhere;
using testing::openTable;
using testing::valueOf;

void RowWriterTest::shouldReadTheTableNameBackFromTheQuery() {
    using db::TableName;
    const auto read = [](const char* source) { return db::tsql::tableFromSelect(source); };
    QCOMPARE(read("SELECT * FROM [Order Details]"), (TableName{{}, "Order Details"}));
    QCOMPARE(read("SELECT * FROM [a]]b]"), (TableName{{}, "a]b"}));
    QCOMPARE(read("SELECT * FROM [joe].[a.b]"), (TableName{"joe", "a.b"}));
    QCOMPARE(read("SELECT * FROM [a]b]"), std::nullopt);
    QCOMPARE(read("SELECT * FROM []"), std::nullopt);
    QCOMPARE(read("SELECT * FROM [joe].[]"), std::nullopt);
    QCOMPARE(read("SELECT * FROM [a].[b].[c]"), std::nullopt);
    QCOMPARE(read("SELECT * FROM [a] [b]"), std::nullopt);
    QCOMPARE(read("SELECT * FROM t"), std::nullopt);
    // Every name the program opens reads back as itself.
    for (const TableName& t :
         {TableName{{}, "x].[y"}, TableName{"o]]", "]"}, TableName{"a.b", "c"}})
        QCOMPARE(db::tsql::tableFromSelect(db::tsql::selectAllFrom(t)), t);
    QCOMPARE(db::tsql::quoteIdentifier("a]b"), QString("[a]]b]"));
}

void RowWriterTest::shouldUpdateOneColumnByKeyAndReadTheRowBack() {
    testing::SampleServer server;
    auto data = openTable(
        server, "order lines",
        {"CREATE TABLE [order lines] (id int NOT NULL PRIMARY KEY, name varchar(20) NULL, "
         "edits int NULL DEFAULT 0)",
         "CREATE TRIGGER counted AFTER UPDATE OF name ON [order lines] BEGIN "
         "UPDATE [order lines] SET edits = edits + 1 WHERE id = NEW.id; END",
         "INSERT INTO [order lines] (id, name) VALUES (1, 'pen'), (2, 'ink')"});
    db::RowWriter writer(data);
    QVERIFY2(writer.readOnlyReason().isEmpty(), qPrintable(writer.readOnlyReason()));
    QCOMPARE(writer.updateStatement(1, 1, std::string("nib")).sql,
             QString("UPDATE [order lines] SET [name] = ? WHERE [id] = ? AND [name] = ?"));

    const db::CellWriteResult result = writer.write(1, 1, std::string("nib"));
    QCOMPARE(result.status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT name FROM [order lines] WHERE id = 2"), QString("nib"));
    QCOMPARE(valueOf("SELECT name FROM [order lines] WHERE id = 1"), QString("pen"));
    // The trigger's change shows: the row was read back.
    QCOMPARE(data->rows.text(1, 1), QString("nib"));
    QCOMPARE(data->rows.text(1, 2), QString("1"));
    // Writing what the cell holds sends nothing (the trigger would count it).
    QCOMPARE(writer.write(1, 1, std::string("nib")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT edits FROM [order lines] WHERE id = 2"), QString("1"));
}

void RowWriterTest::shouldRoundTripExactDecimalsDatesAndBigIntegers() {
    testing::SampleServer server;
    auto data = openTable(
        server, "t",
        {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, price numeric(20,4) NULL, d date NULL, "
         "big bigint NULL)",
         "INSERT INTO t VALUES (1, 12.3, '2024-02-29', 1)"});
    db::RowWriter writer(data);
    QCOMPARE(writer.write(0, 1, std::string("1234567890123456.7800")).status,
             db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 2, std::string("1900-02-28")).status, db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 3, std::string("9007199254740993")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT price FROM t"), QString("1234567890123456.7800"));
    QCOMPARE(valueOf("SELECT d FROM t"), QString("1900-02-28"));
    QCOMPARE(valueOf("SELECT big FROM t WHERE big = 9007199254740993"),
             QString("9007199254740993"));
    QCOMPARE(data->rows.text(0, 1), QString("1234567890123456.7800"));
    QCOMPARE(data->rows.text(0, 3), QString("9007199254740993"));
    // The exact key finds the row again for the next write.
    QCOMPARE(writer.write(0, 1, std::string("0.10")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT price FROM t"), QString("0.1000"));
    QCOMPARE(data->rows.text(0, 1), QString("0.1000"));
}

void RowWriterTest::shouldRefuseAChangeMadeElsewhereSinceTheRead() {
    testing::SampleServer server;
    auto data = openTable(server, "t",
                          {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(255) NULL)",
                           "INSERT INTO t VALUES (1, 'read'), (2, 'gone')"});
    db::RowWriter writer(data);
    changeElsewhere(server, "UPDATE t SET name = 'theirs' WHERE id = 1");
    changeElsewhere(server, "DELETE FROM t WHERE id = 2");

    const db::CellWriteResult changed = writer.write(0, 1, std::string("mine"));
    QCOMPARE(changed.status, db::WriteStatus::RowChanged);
    QVERIFY(changed.message.contains("changed this row since it was read"));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("theirs"));
    QCOMPARE(data->rows.text(0, 1), QString("theirs")); // shows what the table holds

    const db::CellWriteResult vanished = writer.write(1, 1, std::string("mine"));
    QCOMPARE(vanished.status, db::WriteStatus::RowVanished);
    QVERIFY(vanished.message.contains("deleted"));
    QCOMPARE(valueOf("SELECT count(*) FROM t"), QString("1"));

    // Now that the grid shows their value, the next edit goes through.
    QCOMPARE(writer.write(0, 1, std::string("mine")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("mine"));
}

void RowWriterTest::shouldRefuseDuplicatesAndEditUniqueRowsOfAKeylessTable() {
    testing::SampleServer server;
    auto data = openTable(
        server, "log",
        {"CREATE TABLE log (n int NULL, tag varchar(10) NULL, note text NULL, w float NULL)",
         "INSERT INTO log VALUES (1, 'a', 'x', 0.1), (1, 'a', 'x', 0.1), "
         "(2, 'b', 'z', 0.3)"});
    db::RowWriter writer(data);
    QVERIFY(writer.readOnlyReason().isEmpty());
    // Long texts never locate a row; floats do, in binary: the first two rows are twins.
    QCOMPARE(writer.updateStatement(0, 1, std::string("c")).sql,
             QString("UPDATE [log] SET [tag] = ? WHERE [n] = ? AND [tag] = ? AND [w] = ?"));
    const db::CellWriteResult twin = writer.write(0, 1, std::string("c"));
    QCOMPARE(twin.status, db::WriteStatus::Ambiguous);
    QVERIFY(twin.message.contains("nothing tells them apart"));
    QCOMPARE(writer.write(1, 2, std::string("q")).status, db::WriteStatus::Ambiguous);
    QCOMPARE(valueOf("SELECT count(*) FROM log WHERE n = 1 AND tag = 'a'"), QString("2"));
    QCOMPARE(valueOf("SELECT count(*) FROM log WHERE n = 1"), QString("2"));
    QCOMPARE(valueOf("SELECT note FROM log WHERE n = 1"), QString("x"));
    QCOMPARE(data->rows.text(0, 1), QString("a"));

    QCOMPARE(writer.write(2, 1, std::string("c")).status, db::WriteStatus::Written);
    QCOMPARE(writer.write(2, 2, std::string("zz")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT tag FROM log WHERE n = 2"), QString("c"));
    QCOMPARE(valueOf("SELECT note FROM log WHERE n = 2"), QString("zz"));
}

void RowWriterTest::shouldWriteAndFindNulls() {
    testing::SampleServer server;
    auto data = openTable(
        server, "u",
        {"CREATE TABLE u (code varchar(5) NULL UNIQUE, qty int NULL, note varchar(255) NULL)",
         "INSERT INTO u VALUES ('A', NULL, ''), (NULL, 3, NULL)"});
    db::RowWriter writer(data);
    QVERIFY(data->rows.isNull(0, 1));
    QVERIFY(!data->rows.isNull(0, 2)); // empty text is not NULL (the server keeps one blank)
    QCOMPARE(writer.updateStatement(0, 1, std::string("4")).sql,
             QString("UPDATE [u] SET [qty] = ? WHERE [code] = ? AND [qty] IS NULL"));
    // A unique key with a NULL in this row cannot find it: all exact columns do.
    QCOMPARE(writer.updateStatement(1, 2, std::nullopt).sql,
             QString("UPDATE [u] SET [note] = NULL WHERE [code] IS NULL AND [qty] = ? AND "
                     "[note] IS NULL"));

    QCOMPARE(writer.write(0, 1, std::string("4")).status, db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 2, std::nullopt).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT qty FROM u WHERE code = 'A'"), QString("4"));
    QCOMPARE(valueOf("SELECT note FROM u WHERE code = 'A'"), QString("<NULL>"));
    QVERIFY(data->rows.isNull(0, 2));
    QCOMPARE(writer.write(1, 2, std::string("")).status, db::WriteStatus::Written);
    // Adaptive Server keeps an empty string as one blank.
    QCOMPARE(valueOf("SELECT note FROM u WHERE code IS NULL"), QString(" "));
    QCOMPARE(data->rows.text(1, 2), QString(" "));
    QCOMPARE(writer.write(1, 0, std::string("B")).status, db::WriteStatus::Written);
    QCOMPARE(data->rows.text(1, 0), QString("B"));
}

void RowWriterTest::shouldShowTheServersMessageAndKeepTheTableForARejectedWrite() {
    testing::SampleServer server;
    auto data = openTable(server, "t",
                          {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, n int NOT NULL "
                           "CHECK (n >= 0))",
                           "INSERT INTO t VALUES (1, 5)"});
    db::RowWriter writer(data);
    const db::CellWriteResult check = writer.write(0, 1, std::string("-1"));
    QCOMPARE(check.status, db::WriteStatus::Rejected);
    QVERIFY2(check.message.contains("Check constraint violation occurred"),
             qPrintable(check.message));
    const db::CellWriteResult notNull = writer.write(0, 1, std::nullopt);
    QCOMPARE(notNull.status, db::WriteStatus::Rejected);
    QVERIFY2(notNull.message.contains("does not allow null values"), qPrintable(notNull.message));
    QCOMPARE(valueOf("SELECT n FROM t"), QString("5"));
    QCOMPARE(data->rows.text(0, 1), QString("5"));
    // The connection is back in auto-commit: a good write lands and stays.
    QCOMPARE(writer.write(0, 1, std::string("6")).status, db::WriteStatus::Written);
    data.reset();
    QCOMPARE(valueOf("SELECT n FROM t"), QString("6"));
}

void RowWriterTest::shouldBeReadOnlyWithoutAnyWayToFindARow() {
    testing::SampleServer server;
    auto data = openTable(
        server, "f",
        {"CREATE TABLE f (w float NULL, note text NULL)", "INSERT INTO f VALUES (0.5, 'x')"});
    db::RowWriter writer(data);
    QVERIFY(writer.readOnlyReason().contains("no key"));
    QVERIFY(!writer.canWrite(1));
    QCOMPARE(writer.write(0, 1, std::string("y")).status, db::WriteStatus::ReadOnly);
    QCOMPARE(valueOf("SELECT note FROM f"), QString("x"));

    data->lockType = db::adLockReadOnly;
    QVERIFY(db::RowWriter(data).readOnlyReason().contains("reading only"));
    data->lockType = db::adLockOptimistic;
    data->source = "SELECT note FROM f";
    QVERIFY(db::RowWriter(data).readOnlyReason().contains("one table"));
}

void RowWriterTest::shouldNeverWriteServerSetColumns() {
    testing::SampleServer server;
    auto data = openTable(
        server, "t",
        {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, n int NULL, stamp varbinary(8) NULL)",
         "INSERT INTO t VALUES (1, 5, X'0001')"});
    db::TableKeys keys = db::RowWriter(data).keys();
    keys.roles[0] = db::ColumnRole::Identity;
    keys.roles[2] = db::ColumnRole::RowVersion;
    keys.rowVersion = 2;
    db::RowWriter writer(data, keys);
    QVERIFY(!writer.canWrite(0));
    QVERIFY(writer.columnReadOnlyReason(0).contains("identity"));
    QCOMPARE(writer.write(0, 0, std::string("9")).status, db::WriteStatus::ReadOnly);
    // The row version joins every write, so any change made elsewhere is caught.
    QCOMPARE(writer.updateStatement(0, 1, std::string("6")).sql,
             QString("UPDATE [t] SET [n] = ? WHERE [id] = ? AND [n] = ? AND [stamp] = ?"));
    QCOMPARE(writer.write(0, 1, std::string("6")).status, db::WriteStatus::Written);
    changeElsewhere(server, "UPDATE t SET stamp = 0x0002");
    QCOMPARE(writer.write(0, 1, std::string("7")).status, db::WriteStatus::RowChanged);
    QCOMPARE(valueOf("SELECT n FROM t"), QString("6"));
}

QTEST_GUILESS_MAIN(RowWriterTest)
#include "tst_rowwriter.moc"
