#include "db/connect/connection.h"
#include "db/connect/provider.h"
#include "db/odbc/dberror.h"
#include "db/read/recordset.h"
#include "db/read/recordsetstream.h"
#include "db/values/valuerules.h"
#include "db/write/rowwriter.h"
#include "support/sampledb.h"

#include <QTest>

// The data layer through FreeTDS against a server that breaks off, stalls, ignores
// cancels or sends slowly: no partial table is shown as whole, no edit is left half done,
// every wait ends, and what the table holds afterwards is read over a second connection.
class ServerFaultsTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { db::restoreDefaultProviders(); }
    void shouldRefuseATableWhoseResultBreaksOffAndConnectAgain();
    void shouldTakeRowsSentSlowlyWithinTheTimeout();
    void shouldCancelAStalledEditAndLeaveTheRowAsItWas();
    void shouldGiveUpOnAServerThatIgnoresTheCancel();
    void shouldReadAgainOverTheKeptConnectionOrAFreshLogin();
};

namespace {

const QString kShop = QStringLiteral("shop");

void createItems(testing::SampleServer& server, int rows) {
    QStringList script = {
        "CREATE TABLE items (id int NOT NULL PRIMARY KEY, name varchar(40) NULL)"};
    for (int i = 1; i <= rows; ++i)
        script << QString("INSERT INTO items VALUES (%1, 'item %1')").arg(i);
    server.createDatabase(kShop, script);
}

std::shared_ptr<db::RecordsetData> openItems(int commandTimeout) {
    db::Connection connection;
    connection.setCommandTimeout(commandTimeout);
    connection.Open(testing::SampleServer::connectionString(kShop));
    db::Recordset recordset;
    recordset.Open("SELECT * FROM [items]", connection, db::adOpenDynamic, db::adLockOptimistic);
    return recordset.DataSource();
}

QString nameOf(int id) {
    return testing::SampleServer::firstValue(
        kShop, QString("SELECT name FROM items WHERE id = %1").arg(id));
}

} // namespace

void ServerFaultsTest::shouldRefuseATableWhoseResultBreaksOffAndConnectAgain() {
    testing::SampleServer server;
    createItems(server, 50);
    tds::Faults faults;
    faults.dropAfterRows = 20;
    server.server().setFaults(faults);
    try {
        openItems(5);
        QFAIL("a result that broke off was taken as the whole table");
    } catch (const db::DbError& e) {
        // The driver's words for a connection that closed under it.
        QCOMPARE(e.nativeCode(), 20017);
        QVERIFY2(e.description().contains("Unexpected EOF from the server"),
                 qPrintable(e.description()));
    }
    server.server().setFaults({});
    QCOMPARE(openItems(5)->rows.rowCount(), 50);
}

void ServerFaultsTest::shouldTakeRowsSentSlowlyWithinTheTimeout() {
    testing::SampleServer server;
    createItems(server, 4);
    tds::Faults faults;
    faults.rowDelayMs = 300; // 1.2 s in all, never more than 0.3 s without a byte
    server.server().setFaults(faults);
    const auto rows = openItems(1);
    QCOMPARE(rows->rows.rowCount(), 4);
    QCOMPARE(rows->rows.text(3, 1), QString("item 4"));
}

void ServerFaultsTest::shouldCancelAStalledEditAndLeaveTheRowAsItWas() {
    testing::SampleServer server;
    createItems(server, 3);
    const auto rows = openItems(1);
    db::RowWriter writer(rows);
    QVERIFY2(writer.readOnlyReason().isEmpty(), qPrintable(writer.readOnlyReason()));
    tds::Faults faults;
    faults.stallOn = "UPDATE";
    faults.stallMs = 60000;
    server.server().setFaults(faults);
    writer.setWriteTimeout(1);
    const db::CellWriteResult stalled = writer.write(1, 1, std::string("changed"));
    QCOMPARE(stalled.status, db::WriteStatus::TimedOut);
    server.server().setFaults({});
    QCOMPARE(nameOf(2), QString("item 2"));
    // The cancel was answered: the same connection writes the next edit.
    QCOMPARE(writer.write(1, 1, std::string("changed")).status, db::WriteStatus::Written);
    QCOMPARE(nameOf(2), QString("changed"));
}

void ServerFaultsTest::shouldGiveUpOnAServerThatIgnoresTheCancel() {
    testing::SampleServer server;
    createItems(server, 3);
    const auto rows = openItems(1);
    db::RowWriter writer(rows);
    tds::Faults faults;
    faults.stallOn = "UPDATE";
    faults.stallMs = 60000;
    faults.ignoreAttentions = true;
    server.server().setFaults(faults);
    writer.setWriteTimeout(1);
    QCOMPARE(writer.write(0, 1, std::string("changed")).status, db::WriteStatus::TimedOut);
    // The driver gave the connection up: the program cannot tell whether a transaction is
    // still open there, so it writes nothing more through it.
    QVERIFY2(writer.readOnlyReason().contains("could not be ended"),
             qPrintable(writer.readOnlyReason()));
    server.server().setFaults({});
    QCOMPARE(nameOf(1), QString("item 1"));
    QCOMPARE(openItems(1)->rows.rowCount(), 3); // a new connection is served
}

// A read that ended, at the end or stopped, keeps its connection for the next read; a kept
// connection the server has dropped meanwhile gives way to a new login.
void ServerFaultsTest::shouldReadAgainOverTheKeptConnectionOrAFreshLogin() {
    testing::SampleServer server;
    createItems(server, 300);
    const std::shared_ptr<db::RecordsetData> data = openItems(5);
    while (data->load() == db::RecordsetData::Load::Reading)
        data->appendArrived(true);
    const auto readAgain = [&] {
        const std::shared_ptr<db::RecordsetData> rows = db::requery(*data);
        while (rows->load() == db::RecordsetData::Load::Reading)
            rows->appendArrived(true);
        return rows;
    };
    QCOMPARE(server.server().connectionsAccepted(), 2); // the page's and the read's
    QCOMPARE(readAgain()->rows.rowCount(), 300);
    QCOMPARE(readAgain()->rows.rowCount(), 300);
    QCOMPARE(server.server().connectionsAccepted(), 2);

    // Stopped part way: the rest is cancelled, and the next read over the same connection
    // gets its own rows, whole.
    tds::Faults slow;
    slow.rowDelayMs = 5;
    server.server().setFaults(slow);
    {
        const std::shared_ptr<db::RecordsetData> rows = db::requery(*data);
        rows->stopLoad();
        QCOMPARE(rows->load(), db::RecordsetData::Load::Stopped);
    }
    QVERIFY(QTest::qWaitFor([] { return db::recordsetReadsUnderWay() == 0; }, 10000));
    server.server().setFaults({});
    const std::shared_ptr<db::RecordsetData> after = readAgain();
    QCOMPARE(after->rows.rowCount(), 300);
    QCOMPARE(after->load(), db::RecordsetData::Load::Complete);
    QCOMPARE(server.server().connectionsAccepted(), 2);
    QCOMPARE(db::storedValue(after->rows, 299, 1), db::CellValue("item 300"));

    // The server drops every session: the kept one fails before the query is taken, and the
    // read logs in again, once, and reads every row.
    server.server().dropConnections();
    QCOMPARE(readAgain()->rows.rowCount(), 300);
    QCOMPARE(server.server().connectionsAccepted(), 3);

    // Stopped while the server ignores the cancel and goes on sending: the driver gives the
    // connection up, and it is not kept; the next read logs in and gets its own rows.
    tds::Faults deaf;
    deaf.rowDelayMs = 5;
    deaf.ignoreAttentions = true;
    server.server().setFaults(deaf);
    {
        const std::shared_ptr<db::RecordsetData> rows = db::requery(*data);
        rows->stopLoad();
    }
    QVERIFY(QTest::qWaitFor([] { return db::recordsetReadsUnderWay() == 0; }, 30000));
    server.server().setFaults({});
    const std::shared_ptr<db::RecordsetData> last = readAgain();
    QCOMPARE(last->rows.rowCount(), 300);
    QCOMPARE(db::storedValue(last->rows, 299, 1), db::CellValue("item 300"));
    QCOMPARE(server.server().connectionsAccepted(), 4);
    QCOMPARE(nameOf(300), QStringLiteral("item 300"));
}

QTEST_GUILESS_MAIN(ServerFaultsTest)
#include "tst_serverfaults.moc"
