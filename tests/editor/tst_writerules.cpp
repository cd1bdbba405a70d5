#include "db/connectionstate.h"
#include "db/odbc.h"
#include "db/rowwriter.h"
#include "editor/editorfixture.h"

#include <QElapsedTimer>
#include <QTest>

// Edits land exactly, in the row the grid shows, or not at all: each case tries to break
// that and then reads the table over a second connection.
class WriteRulesTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldNotWriteATwinAfterAnotherUserChangedTheRow();
    void shouldCompareApproximateKeysAndColumnsInBinary();
    void shouldStayInControlAfterTheServerRollsBackOnItsOwn();
    void shouldCommitOnlyWhatTheServerHoldsAfterTriggersRan();
    void shouldRefuseTypedValuesTheColumnCannotHold();
    void shouldWriteALongTextEditedInItsMiddle();
    void shouldGiveUpOnALockHeldLongerThanTheWriteTimeOut();
};

using editor::changeElsewhere;
using editor::openTable;
using editor::valueOf;

void WriteRulesTest::shouldNotWriteATwinAfterAnotherUserChangedTheRow() {
    testing::SampleServer server;
    server.createDatabase(
        editor::kCatalog,
        {"CREATE TABLE log (n int, tag varchar(10), w float, note text)",
         "INSERT INTO log VALUES (1, 'a', 0.5, 'mine'), (1, 'b', 0.25, 'theirs')"});
    auto data = openTable("log");
    db::RowWriter writer(data);
    // The other user makes the twin look like the edited row in every exact column.
    changeElsewhere(server, "UPDATE log SET tag = 'z' WHERE w = 0.5");
    changeElsewhere(server, "UPDATE log SET tag = 'a' WHERE w = 0.25");
    const db::CellWriteResult result = writer.write(0, 3, std::string("edited"));
    QCOMPARE(result.status, db::WriteStatus::RowVanished);
    QCOMPARE(valueOf("SELECT group_concat(tag || note, ',') FROM log"), QString("zmine,atheirs"));

    // A partial unique index finds a row that is not the one shown: its other values tell.
    server.createDatabase(editor::kCatalog,
                          {"CREATE TABLE p (code varchar(5), live int, qty int)",
                           "CREATE UNIQUE INDEX live_code ON p (code) WHERE live = 1",
                           "INSERT INTO p VALUES ('A', 1, 5)"});
    auto partial = openTable("p");
    db::RowWriter partialWriter(partial);
    changeElsewhere(server, "DELETE FROM p");
    changeElsewhere(server, "INSERT INTO p VALUES ('A', 0, 7)");
    QVERIFY(partialWriter.write(0, 2, std::string("6")).status != db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT qty FROM p"), QString("7"));
}

void WriteRulesTest::shouldCompareApproximateKeysAndColumnsInBinary() {
    testing::SampleServer server;
    server.createDatabase(editor::kCatalog,
                          {"CREATE TABLE f (k float PRIMARY KEY, price numeric(10,2), note "
                           "varchar(10))",
                           "INSERT INTO f VALUES (0.1 + 0.2, 5, 'same'), (0.3, 5, 'same'), "
                           "(0.25, 1, 'quarter')"});
    auto data = openTable("f");
    db::RowWriter writer(data);
    // SQLite's driver shows both first keys as "0.3": neither is taken for the other.
    QCOMPARE(data->rows.text(0, 0), data->rows.text(1, 0));
    QCOMPARE(writer.write(1, 2, std::string("edited")).status, db::WriteStatus::Ambiguous);
    QCOMPARE(writer.write(2, 2, std::string("edited")).status, db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 1, std::string("6")).status, db::WriteStatus::Ambiguous);
    QCOMPARE(valueOf("SELECT count(*) FROM f WHERE note = 'same' AND price = 5"), QString("2"));
    QCOMPARE(valueOf("SELECT note FROM f WHERE k = 0.25"), QString("edited"));

    // Someone else changes an approximate column that is being edited: the edit is refused.
    server.createDatabase(editor::kCatalog, {"CREATE TABLE g (id int PRIMARY KEY, price float)",
                                             "INSERT INTO g VALUES (1, 19.99)"});
    auto prices = openTable("g");
    db::RowWriter priceWriter(prices);
    changeElsewhere(server, "UPDATE g SET price = 19.5");
    const db::CellWriteResult changed = priceWriter.write(0, 1, std::string("20"));
    QCOMPARE(changed.status, db::WriteStatus::RowChanged);
    QVERIFY2(changed.message.contains("price now holds \u201c19.5"), qPrintable(changed.message));
    QCOMPARE(valueOf("SELECT price FROM g"), QString("19.5"));
    QCOMPARE(prices->rows.text(0, 1), QString("19.5"));
    QCOMPARE(priceWriter.write(0, 1, std::string("20.75")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT price FROM g"), QString("20.75"));
}

void WriteRulesTest::shouldStayInControlAfterTheServerRollsBackOnItsOwn() {
    testing::SampleServer server;
    server.createDatabase(editor::kCatalog,
                          {"CREATE TABLE t (n int, tag varchar(10))",
                           "CREATE TRIGGER no99 BEFORE UPDATE ON t WHEN NEW.n = 99 BEGIN "
                           "SELECT RAISE(ROLLBACK, 'ninety-nine is not allowed'); END",
                           "INSERT INTO t VALUES (1, 'a'), (1, 'a'), (2, 'b')"});
    auto data = openTable("t");
    db::RowWriter writer(data);
    const db::CellWriteResult refused = writer.write(2, 0, std::string("99"));
    QCOMPARE(refused.status, db::WriteStatus::Rejected);
    QVERIFY2(refused.message.contains("ninety-nine"), qPrintable(refused.message));
    // Afterwards the twins are still refused as a whole, and a good write is committed.
    QCOMPARE(writer.write(0, 1, std::string("c")).status, db::WriteStatus::Ambiguous);
    QCOMPARE(valueOf("SELECT count(*) FROM t WHERE tag = 'a'"), QString("2"));
    QCOMPARE(writer.write(2, 1, std::string("d")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT tag FROM t WHERE n = 2"), QString("d"));
    QVERIFY(writer.readOnlyReason().isEmpty());
    // No transaction is left open: the connection closes and the write stays.
    QVERIFY(SQL_SUCCEEDED(SQLDisconnect(data->connection->driver->handle().get())));
    QCOMPARE(valueOf("SELECT group_concat(tag, ',') FROM t"), QString("a,a,d"));
}

void WriteRulesTest::shouldCommitOnlyWhatTheServerHoldsAfterTriggersRan() {
    testing::SampleServer server;
    server.createDatabase(
        editor::kCatalog,
        {"CREATE TABLE t (id int PRIMARY KEY, name varchar(20))", "CREATE TABLE audit (n int)",
         "INSERT INTO audit VALUES (0), (0), (0)",
         // One that writes other rows (its counts would come first on some servers),
         "CREATE TRIGGER counts AFTER UPDATE ON t BEGIN UPDATE audit SET n = n + 1; END",
         // one that ignores some writes, and one that changes the value written.
         "CREATE TRIGGER ignores BEFORE UPDATE ON t WHEN NEW.name = 'skip' BEGIN "
         "SELECT RAISE(IGNORE); END",
         "CREATE TRIGGER shouts AFTER UPDATE ON t WHEN NEW.name = 'quiet' BEGIN "
         "UPDATE t SET name = 'QUIET' WHERE id = NEW.id; END",
         "INSERT INTO t VALUES (1, 'pen'), (2, 'ink')"});
    auto data = openTable("t");
    db::RowWriter writer(data);
    QCOMPARE(writer.write(0, 1, std::string("nib")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT group_concat(name, ',') FROM t ORDER BY id"), QString("nib,ink"));
    QCOMPARE(valueOf("SELECT sum(n) FROM audit"), QString("3"));

    const db::CellWriteResult ignored = writer.write(1, 1, std::string("skip"));
    QCOMPARE(ignored.status, db::WriteStatus::NotKept);
    QVERIFY2(ignored.message.contains("left the value as it was"), qPrintable(ignored.message));
    const db::CellWriteResult altered = writer.write(1, 1, std::string("quiet"));
    QCOMPARE(altered.status, db::WriteStatus::NotKept);
    QVERIFY2(altered.message.contains("QUIET"), qPrintable(altered.message));
    QCOMPARE(valueOf("SELECT group_concat(name, ',') FROM t ORDER BY id"), QString("nib,ink"));
    QCOMPARE(valueOf("SELECT sum(n) FROM audit"), QString("3"));
    QCOMPARE(data->rows.text(1, 1), QString("ink"));
}

void WriteRulesTest::shouldRefuseTypedValuesTheColumnCannotHold() {
    testing::SampleServer server;
    server.createDatabase(editor::kCatalog,
                          {"CREATE TABLE v (id int PRIMARY KEY, price numeric(10,2), qty int, "
                           "small tinyint, due datetime, code varchar(5))",
                           "INSERT INTO v VALUES (1, 1.5, 2, 3, '2024-01-31 00:00:00', 'ab')"});
    auto data = openTable("v");
    db::RowWriter writer(data);
    const auto refusal = [&](int column, const char* typed) {
        const db::CellWriteResult r = writer.write(0, column, std::string(typed));
        return r.status == db::WriteStatus::DoesNotFit ? r.message : QString();
    };
    QVERIFY(refusal(1, "19.999").contains("2 digit(s) after the decimal point"));
    QVERIFY(refusal(1, "123456789").contains("8 digit(s) before"));
    QVERIFY(refusal(2, "1.5").contains("whole number"));
    QVERIFY(refusal(2, "3000000000").contains("range"));
    QVERIFY(refusal(3, "300").contains("0 to 255"));
    QVERIFY(refusal(4, "2024-02-30").contains("not a real date"));
    QVERIFY(refusal(4, "31/12/2024").contains("2024-12-31"));
    QVERIFY(refusal(5, "abcdef").contains("at most 5 bytes"));
    QVERIFY(refusal(5, "\xc3\xa9\xc3\xa9\xc3\xa9").contains("takes 6"));
    QCOMPARE(valueOf("SELECT quote(price) || quote(qty) || quote(small) || due || code FROM v"),
             QString("1.523"
                     "2024-01-31 00:00:00ab"));

    QCOMPARE(writer.write(0, 1, std::string("19.99")).status, db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 2, std::string(" 7 ")).status, db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 4, std::string("2024-02-29 13:45:30")).status,
             db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 5, std::string("\xc3\xa9t\xc3\xa9")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT price || '|' || qty || '|' || due || '|' || code FROM v"),
             QString("19.99|7|2024-02-29 13:45:30|\u00e9t\u00e9"));
}

void WriteRulesTest::shouldWriteALongTextEditedInItsMiddle() {
    testing::SampleServer server;
    const std::string longText = std::string(50000, 'a') + std::string(50000, 'b');
    server.createDatabase(editor::kCatalog,
                          {"CREATE TABLE n (id int PRIMARY KEY, body text)",
                           QString("INSERT INTO n VALUES (1, '%1')").arg(longText.c_str())});
    auto data = openTable("n");
    db::RowWriter writer(data);
    std::string edited = longText;
    edited.insert(50000, "MIDDLE");
    QCOMPARE(writer.write(0, 1, edited).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT length(body) || instr(body, 'MIDDLE') FROM n"),
             QString("10000650001"));
    // Someone else changes the text by one letter: the next edit is refused.
    changeElsewhere(server, "UPDATE n SET body = 'x' || substr(body, 2)");
    QCOMPARE(writer.write(0, 1, std::string("short")).status, db::WriteStatus::RowChanged);
    QCOMPARE(valueOf("SELECT length(body) || substr(body, 1, 2) FROM n"), QString("100006xa"));
}

void WriteRulesTest::shouldGiveUpOnALockHeldLongerThanTheWriteTimeOut() {
    testing::SampleServer server;
    server.createDatabase(editor::kCatalog, {"CREATE TABLE t (id int PRIMARY KEY, n int)",
                                             "INSERT INTO t VALUES (1, 5)"});
    auto data = openTable("t");
    db::RowWriter writer(data);
    writer.setWriteTimeout(1);
    db::Connection other;
    other.Open(testing::SampleServer::connectionString(editor::kCatalog));
    db::odbc::Statement(*other.driver()).execDirect("BEGIN IMMEDIATE");
    db::odbc::Statement(*other.driver()).execDirect("UPDATE t SET n = 6");
    const db::CellWriteResult result = writer.write(0, 1, std::string("7"));
    QCOMPARE(result.status, db::WriteStatus::TimedOut);
    QVERIFY2(result.message.contains("did not finish in time"), qPrintable(result.message));
    db::odbc::Statement(*other.driver()).execDirect("ROLLBACK");
    QCOMPARE(valueOf("SELECT n FROM t"), QString("5"));
    // Once the lock is gone the write goes through.
    QCOMPARE(writer.write(0, 1, std::string("7")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT n FROM t"), QString("7"));
}

QTEST_GUILESS_MAIN(WriteRulesTest)
#include "tst_writerules.moc"
