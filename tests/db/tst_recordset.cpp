#include "db/connect/connection.h"
#include "db/odbc/dberror.h"
#include "db/read/recordset.h"
#include "support/sampledb.h"

#include <QTest>

// The layer over the test server through the real provider and FreeTDS driver.
class RecordsetTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldOpenWithTheSampleValuesAndRefuseOthers();
    void shouldListTablesAndViewsInTheSchema();
    void shouldReadRowsWithExactTextAndNulls();
    void shouldReportTheServersMessageForABadQuery();
    void shouldRefuseWorkOnClosedObjects();
};

void RecordsetTest::shouldOpenWithTheSampleValuesAndRefuseOthers() {
    testing::SampleServer server;
    server.createDatabase("shop", {"CREATE TABLE t (a INT)"});
    db::Connection connection;
    connection.Open(server.connectionString("shop"));
    QVERIFY(connection.isOpen());
    connection.Close();
    connection.Close(); // twice is harmless
    QVERIFY(!connection.isOpen());

    auto wrong = testing::SampleServer::fields("shop");
    wrong.password = "x;Catalog=shop";
    QVERIFY(!db::TestSybaseASEConnection(wrong));
    QVERIFY(!db::TestSybaseASEConnection(testing::SampleServer::fields("missing")));
    QVERIFY(db::TestSybaseASEConnection(testing::SampleServer::fields("shop")));
    try {
        db::Connection c;
        wrong.password = "nope";
        c.Open(db::BuildSybaseASEConnectionString(wrong));
        QFAIL("a wrong password must not log in");
    } catch (const db::DbError& e) {
        QCOMPARE(e.nativeCode(), 4002);
        QVERIFY2(e.description().contains("Login failed."), qPrintable(e.description()));
    }
}

void RecordsetTest::shouldListTablesAndViewsInTheSchema() {
    testing::SampleServer server;
    server.createDatabase("shop",
                          {"CREATE TABLE Orders (a INT)", "CREATE VIEW v AS SELECT a FROM Orders",
                           "CREATE TABLE [with blank] (b varchar(10))"});
    db::Connection connection;
    connection.Open(server.connectionString("shop"));
    db::Recordset rs = connection.OpenSchema(db::adSchemaTables);
    QStringList seen;
    int system = 0;
    while (!rs.Eof()) {
        const QString type = rs.Fields("TABLE_TYPE").Value().toString();
        if (type == "SYSTEM TABLE")
            ++system; // the server's own catalog, listed as Adaptive Server lists it
        else
            seen << type + ":" + rs.Fields("TABLE_NAME").Value().toString();
        rs.MoveNext();
    }
    seen.sort();
    QCOMPARE(seen, QStringList({"TABLE:Orders", "TABLE:with blank", "VIEW:v"}));
    QVERIFY(system > 0);
    QVERIFY_THROWS_EXCEPTION(db::DbError, rs.MoveNext());
}

void RecordsetTest::shouldReadRowsWithExactTextAndNulls() {
    testing::SampleServer server;
    const QString longText(10000, QChar(0x00e9));
    server.createDatabase(
        "shop",
        {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, big bigint, name text, d date, x int)",
         QString("INSERT INTO t VALUES (1, 9007199254740993, '%1', '2024-02-29', NULL)")
             .arg(longText),
         "INSERT INTO t VALUES (2, -1, '', '1999-12-31', 7)"});
    db::Connection connection;
    connection.Open(server.connectionString("shop"));
    db::Recordset rs;
    rs.Open("SELECT * FROM [t]", connection, db::adOpenDynamic, db::adLockOptimistic);
    QCOMPARE(rs.Fields("big").Value().toString(), QString("9007199254740993"));
    QCOMPARE(rs.Fields("name").Value().toString(), longText);
    QCOMPARE(rs.Fields("d").Value().toString(), QString("2024-02-29"));
    QVERIFY(!rs.Fields("x").Value().isValid());
    rs.MoveNext();
    // Adaptive Server keeps an empty string as one blank.
    QCOMPARE(rs.Fields("name").Value().toString(), QString(" "));
    rs.MoveNext();
    QVERIFY(rs.Eof());
    auto data = rs.DataSource();
    rs.Close();
    QCOMPARE(data->rows.rowCount(), 2); // the grid's copy outlives the recordset
}

void RecordsetTest::shouldReportTheServersMessageForABadQuery() {
    testing::SampleServer server;
    server.createDatabase("shop", {"CREATE TABLE t (a INT)"});
    db::Connection connection;
    connection.Open(server.connectionString("shop"));
    db::Recordset rs;
    try {
        rs.Open("SELECT * FROM [a]]b]", connection, 2, 3);
        QFAIL("the query must fail");
    } catch (const db::DbError& e) {
        // The server's own message, as the driver words it, not one of ours.
        QCOMPARE(e.nativeCode(), 208);
        QVERIFY2(e.description().startsWith("a]b not found."), qPrintable(e.description()));
    }
    QVERIFY(!rs.isOpen());
}

void RecordsetTest::shouldRefuseWorkOnClosedObjects() {
    db::Connection connection;
    db::Recordset rs;
    QVERIFY_THROWS_EXCEPTION(db::DbError, rs.Eof());
    QVERIFY_THROWS_EXCEPTION(db::DbError, connection.OpenSchema(db::adSchemaTables));
    QVERIFY_THROWS_EXCEPTION(db::DbError, rs.Open("SELECT 1", connection, 2, 3));
    rs.Close();
}

QTEST_GUILESS_MAIN(RecordsetTest)
#include "tst_recordset.moc"
