#include "db/connect/connectionstate.h"
#include "db/odbc/odbc.h"
#include "db/write/rowwriter.h"
#include "support/tablefixture.h"

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

using testing::changeElsewhere;
using testing::openTable;
using testing::valueOf;

void WriteRulesTest::shouldNotWriteATwinAfterAnotherUserChangedTheRow() {
    testing::SampleServer server;
    auto data =
        openTable(server, "log",
                  {"CREATE TABLE log (n int NULL, tag varchar(10) NULL, w float NULL, "
                   "note text NULL)",
                   "INSERT INTO log VALUES (1, 'a', 0.5, 'mine'), (1, 'b', 0.25, 'theirs')"});
    db::RowWriter writer(data);
    // The other user makes the twin look like the edited row in every exact column.
    changeElsewhere(server, "UPDATE log SET tag = 'z' WHERE w = 0.5");
    changeElsewhere(server, "UPDATE log SET tag = 'a' WHERE w = 0.25");
    const db::CellWriteResult result = writer.write(0, 3, std::string("edited"));
    QCOMPARE(result.status, db::WriteStatus::RowVanished);
    QCOMPARE(valueOf("SELECT note FROM log WHERE tag = 'z'"), QString("mine"));
    QCOMPARE(valueOf("SELECT note FROM log WHERE tag = 'a'"), QString("theirs"));

    // A partial unique index finds a row that is not the one shown: its other values tell.
    server.createDatabase(testing::kCatalog,
                          {"CREATE TABLE p (code varchar(5) NULL, live int NULL, qty int NULL)",
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
    auto data = openTable(server, "f",
                          {"CREATE TABLE f (k float NOT NULL PRIMARY KEY, price float NULL, "
                           "note varchar(10) NULL)",
                           "INSERT INTO f VALUES (0.1 + 0.2, 19.99, 'sum'), (0.3, 5, 'plain')"});
    db::RowWriter writer(data);
    // Both keys print "0.3" at fifteen digits; each shows as the shortest text of its bits
    // and finds only its own row.
    QCOMPARE(data->rows.text(0, 0), QString("0.30000000000000004"));
    QCOMPARE(data->rows.text(1, 0), QString("0.3"));
    QCOMPARE(writer.write(1, 2, std::string("edited")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT note FROM f WHERE k = 0.3"), QString("edited"));
    QCOMPARE(valueOf("SELECT note FROM f WHERE k > 0.3"), QString("sum"));

    // Someone else moves a price by its last bit: the edit of that price is refused.
    changeElsewhere(server, "UPDATE f SET price = 19.990000000000002 WHERE note = 'sum'");
    const db::CellWriteResult changed = writer.write(0, 1, std::string("20"));
    QCOMPARE(changed.status, db::WriteStatus::RowChanged);
    QVERIFY2(changed.message.contains("price now holds \u201c19.990000000000002"),
             qPrintable(changed.message));
    QCOMPARE(valueOf("SELECT count(*) FROM f WHERE price = 19.990000000000002"), QString("1"));
    QCOMPARE(data->rows.text(0, 1), QString("19.990000000000002"));
    QCOMPARE(writer.write(0, 1, std::string("20.5")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT count(*) FROM f WHERE price = 20.5 AND note = 'sum'"), QString("1"));
}

void WriteRulesTest::shouldStayInControlAfterTheServerRollsBackOnItsOwn() {
    testing::SampleServer server;
    auto data = openTable(server, "t",
                          {"CREATE TABLE t (n int NULL, tag varchar(10) NULL)",
                           "CREATE TRIGGER no99 BEFORE UPDATE ON t WHEN NEW.n = 99 BEGIN "
                           "SELECT RAISE(ROLLBACK, 'ninety-nine is not allowed'); END",
                           "INSERT INTO t VALUES (1, 'a'), (1, 'a'), (2, 'b')"});
    db::RowWriter writer(data);
    const db::CellWriteResult refused = writer.write(2, 0, std::string("99"));
    QCOMPARE(refused.status, db::WriteStatus::Rejected);
    QVERIFY2(refused.message.contains("ninety-nine"), qPrintable(refused.message));
    // Afterwards the twins are still refused as a whole, and a good write is committed.
    QCOMPARE(writer.write(0, 1, std::string("c")).status, db::WriteStatus::Ambiguous);
    QCOMPARE(valueOf("SELECT count(*) FROM t WHERE tag = 'a'"), QString("2"));
    QCOMPARE(writer.write(2, 1, std::string("d")).status, db::WriteStatus::Written);
    QVERIFY(writer.readOnlyReason().isEmpty());
    // No transaction is left open: the connection closes and the write stays.
    QVERIFY(SQL_SUCCEEDED(SQLDisconnect(data->connection->driver->handle().get())));
    QCOMPARE(valueOf("SELECT tag FROM t WHERE n = 2"), QString("d"));
    QCOMPARE(valueOf("SELECT count(*) FROM t WHERE tag = 'a'"), QString("2"));
}

void WriteRulesTest::shouldCommitOnlyWhatTheServerHoldsAfterTriggersRan() {
    testing::SampleServer server;
    auto data =
        openTable(server, "t",
                  {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(20) NULL)",
                   "CREATE TABLE audit (n int NOT NULL)", "INSERT INTO audit VALUES (0), (0), (0)",
                   // One that writes other rows (its count comes before the statement's own),
                   "CREATE TRIGGER counts AFTER UPDATE ON t BEGIN UPDATE audit SET n = n + 1; END",
                   // one that ignores some writes, and one that changes the value written.
                   "CREATE TRIGGER ignores BEFORE UPDATE ON t WHEN NEW.name = 'skip' BEGIN "
                   "SELECT RAISE(IGNORE); END",
                   "CREATE TRIGGER shouts AFTER UPDATE ON t WHEN NEW.name = 'quiet' BEGIN "
                   "UPDATE t SET name = 'QUIET' WHERE id = NEW.id; END",
                   "INSERT INTO t VALUES (1, 'pen'), (2, 'ink')"});
    db::RowWriter writer(data);
    QCOMPARE(writer.write(0, 1, std::string("nib")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("nib"));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 2"), QString("ink"));
    QCOMPARE(valueOf("SELECT count(*) FROM audit WHERE n = 1"), QString("3"));

    const db::CellWriteResult ignored = writer.write(1, 1, std::string("skip"));
    QCOMPARE(ignored.status, db::WriteStatus::NotKept);
    QVERIFY2(ignored.message.contains("left the value as it was"), qPrintable(ignored.message));
    const db::CellWriteResult altered = writer.write(1, 1, std::string("quiet"));
    QCOMPARE(altered.status, db::WriteStatus::NotKept);
    QVERIFY2(altered.message.contains("QUIET"), qPrintable(altered.message));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 2"), QString("ink"));
    QCOMPARE(valueOf("SELECT count(*) FROM audit WHERE n = 1"), QString("3"));
    QCOMPARE(data->rows.text(1, 1), QString("ink"));
}

void WriteRulesTest::shouldRefuseTypedValuesTheColumnCannotHold() {
    testing::SampleServer server;
    auto data = openTable(server, "v",
                          {"CREATE TABLE v (id int NOT NULL PRIMARY KEY, price numeric(10,2) NULL, "
                           "qty int NULL, small tinyint NULL, due datetime NULL, code varchar(5) "
                           "NULL)",
                           "INSERT INTO v VALUES (1, 1.5, 2, 3, '2024-01-31 00:00:00', 'ab')"});
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
    QCOMPARE(valueOf("SELECT count(*) FROM v WHERE price = 1.5 AND qty = 2 AND small = 3 AND "
                     "due = '2024-01-31' AND code = 'ab'"),
             QString("1"));

    QCOMPARE(writer.write(0, 1, std::string("19.99")).status, db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 2, std::string(" 7 ")).status, db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 4, std::string("2024-02-29 13:45:30")).status,
             db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 5, std::string("\xc3\xa9t\xc3\xa9")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT count(*) FROM v WHERE price = 19.99 AND qty = 7 AND small = 3 AND "
                     "due = '2024-02-29 13:45:30'"),
             QString("1"));
    QCOMPARE(valueOf("SELECT code FROM v"), QString("\u00e9t\u00e9"));
}

void WriteRulesTest::shouldWriteALongTextEditedInItsMiddle() {
    testing::SampleServer server;
    const QString longText = QString(50000, 'a') + QString(50000, 'b');
    server.createDatabase(testing::kCatalog,
                          {"CREATE TABLE n (id int NOT NULL PRIMARY KEY, body text NULL)",
                           QString("INSERT INTO n VALUES (1, '%1')").arg(longText)});
    auto data = openTable("n");
    db::RowWriter writer(data);
    QString edited = longText;
    edited.insert(50000, "MIDDLE");
    QCOMPARE(writer.write(0, 1, edited.toStdString()).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT body FROM n"), edited);
    // Someone else changes the text by one letter: the next edit is refused.
    QString theirs = edited;
    theirs[0] = 'x';
    changeElsewhere(server, "UPDATE n SET body = '" + theirs + "' WHERE id = 1");
    QCOMPARE(writer.write(0, 1, std::string("short")).status, db::WriteStatus::RowChanged);
    QCOMPARE(valueOf("SELECT body FROM n"), theirs);
}

void WriteRulesTest::shouldGiveUpOnALockHeldLongerThanTheWriteTimeOut() {
    testing::SampleServer server;
    auto data = openTable(server, "t",
                          {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, n int NULL)",
                           "INSERT INTO t VALUES (1, 5)"});
    db::RowWriter writer(data);
    writer.setWriteTimeout(1);
    db::Connection other;
    other.Open(testing::SampleServer::connectionString(testing::kCatalog));
    db::odbc::Statement(*other.driver()).execDirect("BEGIN TRANSACTION");
    db::odbc::Statement(*other.driver()).execDirect("UPDATE t SET n = 6");
    const db::CellWriteResult result = writer.write(0, 1, std::string("7"));
    QCOMPARE(result.status, db::WriteStatus::TimedOut);
    QVERIFY2(result.message.contains("did not finish in time"), qPrintable(result.message));
    db::odbc::Statement(*other.driver()).execDirect("ROLLBACK TRANSACTION");
    QCOMPARE(valueOf("SELECT n FROM t"), QString("5"));
    // Once the lock is gone the write goes through.
    QCOMPARE(writer.write(0, 1, std::string("7")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT n FROM t"), QString("7"));
}

QTEST_GUILESS_MAIN(WriteRulesTest)
#include "tst_writerules.moc"
