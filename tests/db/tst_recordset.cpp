#include "db/connection.h"
#include "db/dberror.h"
#include "db/recordset.h"
#include "support/sampledb.h"

#include <QTest>

// The layer over a real database (SQLite through its ODBC driver).
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
        QCOMPARE(e.description(), QString("Login failed."));
    }
}

void RecordsetTest::shouldListTablesAndViewsInTheSchema() {
    testing::SampleServer server;
    server.createDatabase("shop",
                          {"CREATE TABLE Orders (a INT)", "CREATE VIEW v AS SELECT a FROM Orders",
                           "CREATE TABLE [with blank] (b TEXT)"});
    db::Connection connection;
    connection.Open(server.connectionString("shop"));
    db::Recordset rs = connection.OpenSchema(db::adSchemaTables);
    QStringList seen;
    while (!rs.Eof()) {
        seen << rs.Fields("TABLE_TYPE").Value().toString() + ":" +
                    rs.Fields("TABLE_NAME").Value().toString();
        rs.MoveNext();
    }
    seen.sort();
    QCOMPARE(seen, QStringList({"TABLE:Orders", "TABLE:with blank", "VIEW:v"}));
    QVERIFY_THROWS_EXCEPTION(db::DbError, rs.MoveNext());
}

void RecordsetTest::shouldReadRowsWithExactTextAndNulls() {
    testing::SampleServer server;
    const QString longText(10000, QChar(0x00e9));
    server.createDatabase(
        "shop", {"CREATE TABLE t (id INTEGER PRIMARY KEY, big BIGINT, name TEXT, d DATE, x INT)",
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
    QVERIFY(rs.Fields("name").Value().isValid());
    QCOMPARE(rs.Fields("name").Value().toString(), QString());
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
        // The driver's own text, not one of ours.
        QVERIFY2(e.description().startsWith("[SQLite]"), qPrintable(e.description()));
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
