#include "db/connect/connectionstate.h"
#include "db/connect/provider.h"
#include "db/write/rowinsert.h"
#include "db/write/rowwriter.h"
#include "sample/server/sqlite/sqlitebackend.h"
#include "support/tablefixture.h"

#include <QElapsedTimer>

#include <QTest>

// Sessions as servers run them: a login that starts its session chained, texts longer
// than the server sends unasked, an insert whose trigger takes another identity, and a
// deadlock's victim. Every case is written through FreeTDS and checked over a second
// connection.
class SessionsTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { db::restoreDefaultProviders(); }
    void shouldSaveForGoodOnASessionItsLoginStartsChained();
    void shouldNeverReportSavedWhileATransactionStaysOpen();
    void shouldEditLongTextsWholeAndNeverWriteOneReadCut();
    void shouldFindAnAddedRowWhoseTriggerTookAnotherIdentity();
    void shouldTellADeadlocksVictimFromATimeOut();
    void shouldWaitForAnAllpagesReadNoLongerThanTheWriteTimeOut();
};

using testing::openTable;
using testing::valueOf;

namespace {

const QStringList kNotes = {"CREATE TABLE notes (id int NOT NULL PRIMARY KEY, note varchar(40) "
                            "NULL)",
                            "INSERT INTO notes VALUES (1, 'first'), (2, 'second')"};

// Every row read, not only the first block.
std::shared_ptr<db::RecordsetData> readWhole(std::shared_ptr<db::RecordsetData> data) {
    while (data->load() == db::RecordsetData::Load::Reading)
        data->appendArrived(true);
    data->appendArrived();
    return data;
}

// The FreeTDS string as a program that sets no text size sends it: the session keeps
// the server's default @@textsize.
class DefaultTextSizeProvider : public db::Provider {
  public:
    QString odbcConnectionString(const db::ConnectionProperties& properties) const override {
        QString text = ase_->odbcConnectionString(properties);
        text.remove(QStringLiteral("TextSize=2147483647;"));
        return text;
    }
    void afterConnect(db::odbc::DriverConnection& connection) const override {
        ase_->afterConnect(connection);
    }

  private:
    std::shared_ptr<const db::Provider> ase_ = db::findProvider(QStringLiteral("ASEOLEDB"));
};

} // namespace

void SessionsTest::shouldSaveForGoodOnASessionItsLoginStartsChained() {
    testing::SampleServer server;
    server.createDatabase(testing::kCatalog, kNotes);
    server.server().setLoginScript("sa", "set chained on");
    {
        auto data = readWhole(openTable("notes"));
        QVERIFY(!data->connection->driver->sessionFacts().chained);
        db::RowWriter writer(data);
        QVERIFY2(writer.readOnlyReason().isEmpty(), qPrintable(writer.readOnlyReason()));
        QCOMPARE(writer.write(0, 1, std::string("changed")).status, db::WriteStatus::Written);
        db::RowInserter inserter(writer);
        QCOMPARE(inserter.insert({std::string("3"), std::string("added")}).status,
                 db::WriteStatus::Written);
    } // the program's connection closes: a transaction left open would be rolled back now
    QCOMPARE(valueOf("SELECT note FROM notes WHERE id = 1"), QString("changed"));
    QCOMPARE(valueOf("SELECT note FROM notes WHERE id = 3"), QString("added"));

    // A login script that reads a table in chained mode leaves a transaction open that
    // no commit of the program's would end (such a login can only keep its default
    // database): nothing is written over such a session.
    server.createDatabase(QStringLiteral("pubs"), kNotes);
    server.server().setLoginScript("sa", "set chained on select id from notes");
    {
        db::Connection connection;
        connection.Open(testing::SampleServer::connectionString(QString()));
        db::Recordset recordset;
        recordset.Open(QStringLiteral("SELECT * FROM [notes]"), connection, db::adOpenDynamic,
                       db::adLockOptimistic);
        auto data = readWhole(recordset.DataSource());
        db::RowWriter writer(data);
        QVERIFY2(writer.readOnlyReason().contains("transaction open"),
                 qPrintable(writer.readOnlyReason()));
        QCOMPARE(writer.write(1, 1, std::string("lost")).status, db::WriteStatus::ReadOnly);
    }
    server.server().setLoginScript("sa", "");
    QCOMPARE(testing::SampleServer::firstValue(QString(), "SELECT note FROM notes WHERE id = 2"),
             QString("second"));
}

void SessionsTest::shouldNeverReportSavedWhileATransactionStaysOpen() {
    testing::SampleServer server;
    server.createDatabase(testing::kCatalog, kNotes);
    {
        auto data = readWhole(openTable("notes"));
        db::RowWriter writer(data);
        QVERIFY2(writer.readOnlyReason().isEmpty(), qPrintable(writer.readOnlyReason()));
        // Someone switches the session to chained mode behind the program's back and
        // reads: the session now holds a transaction the program's commit only nests in.
        db::odbc::Statement statement(*data->connection->driver);
        statement.execDirect(QStringLiteral("set chained on select note from notes where id = 2"));
        db::drainResults(statement);
        const db::CellWriteResult result = writer.write(0, 1, std::string("changed"));
        QVERIFY2(result.status != db::WriteStatus::Written, qPrintable(result.message));
        QVERIFY2(result.message.contains("transaction open after the commit"),
                 qPrintable(result.message));
    }
    QCOMPARE(valueOf("SELECT note FROM notes WHERE id = 1"), QString("first"));
}

void SessionsTest::shouldEditLongTextsWholeAndNeverWriteOneReadCut() {
    testing::SampleServer server;
    server.createDatabase(testing::kCatalog,
                          {"CREATE TABLE letters (id int NOT NULL PRIMARY KEY, body text NULL)",
                           "INSERT INTO letters VALUES (1, printf('%.99990c', 'x') || "
                           "'THE END...')"});
    const QString bodyLength = QStringLiteral("SELECT body FROM letters WHERE id = 1");
    {
        auto data = readWhole(openTable("letters"));
        QCOMPARE(data->connection->driver->sessionFacts().textSize, 2147483647LL);
        QCOMPARE(int(data->rows.bytes(0, 1).size()), 100000);
        db::RowWriter writer(data);
        QVERIFY(writer.cellReadOnlyReason(0, 1).isEmpty());
        const std::string edited = std::string(data->rows.bytes(0, 1)) + "!";
        QCOMPARE(writer.write(0, 1, edited).status, db::WriteStatus::Written);
    }
    QString body = valueOf(bodyLength);
    QCOMPARE(body.size(), 100001);
    QVERIFY(body.endsWith("THE END...!"));

    // A session whose text size is the server's default reads the text cut: the cell is
    // read-only, and an edit of it sends nothing.
    db::registerProvider(QStringLiteral("DEFAULTTEXT"),
                         std::make_shared<DefaultTextSizeProvider>());
    {
        db::Connection connection;
        QString text = testing::SampleServer::connectionString(testing::kCatalog);
        text.replace(QStringLiteral("Provider=ASEOLEDB"), QStringLiteral("Provider=DEFAULTTEXT"));
        connection.Open(text);
        QCOMPARE(connection.driver()->sessionFacts().textSize, 32768LL);
        db::Recordset recordset;
        recordset.Open(QStringLiteral("SELECT * FROM [letters]"), connection, db::adOpenDynamic,
                       db::adLockOptimistic);
        auto data = readWhole(recordset.DataSource());
        QCOMPARE(int(data->rows.bytes(0, 1).size()), 32768);
        db::RowWriter writer(data);
        QVERIFY(writer.readOnlyReason().isEmpty());
        QVERIFY2(writer.cellReadOnlyReason(0, 1).contains("text size"),
                 qPrintable(writer.cellReadOnlyReason(0, 1)));
        const db::CellWriteResult result =
            writer.write(0, 1, std::string(data->rows.bytes(0, 1)) + "?");
        QCOMPARE(result.status, db::WriteStatus::ReadOnly);
    }
    body = valueOf(bodyLength);
    QCOMPARE(body.size(), 100001);
    QVERIFY(body.endsWith("THE END...!"));
}

void SessionsTest::shouldFindAnAddedRowWhoseTriggerTookAnotherIdentity() {
    testing::SampleServer server;
    server.createDatabase(
        testing::kCatalog,
        {"CREATE TABLE orders (order_id numeric identity(10,0) NOT NULL PRIMARY KEY, item "
         "varchar(20) NOT NULL)",
         "INSERT INTO orders VALUES (1, 'pen'), (2, 'ink'), (3, 'nib')",
         "CREATE TABLE order_log (log_id numeric identity(10,0) NOT NULL PRIMARY KEY, "
         "order_id numeric(10,0) NOT NULL)",
         // The log numbers its rows as the server numbers identities: largest + 1.
         "CREATE TRIGGER logged AFTER INSERT ON orders BEGIN INSERT INTO order_log VALUES "
         "((SELECT coalesce(max(log_id), 0) + 1 FROM order_log), new.order_id); END"});
    {
        // The server's own rule: @@identity is the trigger's insert, into the log.
        db::Connection connection;
        connection.Open(testing::SampleServer::connectionString(testing::kCatalog));
        db::BoundQuery insert;
        insert.sql = QStringLiteral("INSERT INTO orders (item) VALUES ('cap')");
        insert.execute(*connection.driver(), 30);
        db::BoundQuery identity;
        identity.sql = QStringLiteral("SELECT @@identity");
        db::ColumnInfo number;
        number.sqlType = SQL_NUMERIC;
        const auto rows = identity.select(*connection.driver(), {number}, 30, 1);
        QCOMPARE(rows.size(), std::size_t(1));
        QCOMPARE(QString::fromStdString(rows[0][0].value_or("NULL")), QString("1"));
    }
    {
        auto data = readWhole(openTable("orders"));
        db::RowWriter writer(data);
        db::RowInserter inserter(writer);
        // @@identity now names the log's second row, and orders' row 2 answers for it.
        const db::CellWriteResult result = inserter.insert({std::nullopt, std::string("quill")});
        QVERIFY2(result.status == db::WriteStatus::Written, qPrintable(result.message));
        QCOMPARE(data->rows.rowCount(), 5);
        QCOMPARE(data->rows.text(4, 0), QString("5"));
        QCOMPARE(data->rows.text(4, 1), QString("quill"));
    }
    QCOMPARE(valueOf("SELECT count(*) FROM orders WHERE item = 'quill'"), QString("1"));
    QCOMPARE(valueOf("SELECT item FROM orders WHERE order_id = 2"), QString("ink"));
}

void SessionsTest::shouldTellADeadlocksVictimFromATimeOut() {
    testing::SampleServer server;
    server.createDatabase(testing::kCatalog, kNotes);
    auto data = readWhole(openTable("notes"));
    db::RowWriter writer(data);
    tds::Faults faults;
    faults.deadlockOn = "UPDATE";
    server.server().setFaults(faults);
    const db::CellWriteResult victim = writer.write(0, 1, std::string("changed"));
    QCOMPARE(victim.status, db::WriteStatus::Deadlocked);
    QVERIFY2(victim.message.contains("chosen as the victim of a deadlock; nothing was saved"),
             qPrintable(victim.message));
    QVERIFY(!victim.message.contains("in time"));
    QCOMPARE(valueOf("SELECT note FROM notes WHERE id = 1"), QString("first"));
    // The server ended the transaction and the program found none open: it writes on.
    QVERIFY2(writer.readOnlyReason().isEmpty(), qPrintable(writer.readOnlyReason()));
    server.server().setFaults({});
    QCOMPARE(writer.write(0, 1, std::string("changed")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT note FROM notes WHERE id = 1"), QString("changed"));
}

void SessionsTest::shouldWaitForAnAllpagesReadNoLongerThanTheWriteTimeOut() {
    testing::SampleServer server;
    server.createDatabase(testing::kCatalog,
                          {"CREATE TABLE notes (id int NOT NULL PRIMARY KEY, note varchar(40) "
                           "NULL)",
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < 2000) INSERT INTO notes SELECT i, 'note ' || i FROM n"});
    std::dynamic_pointer_cast<tds::sqlite::SqliteBackend>(server.server().backend())
        ->setAllpagesReadLocks(true);
    tds::Faults slow;
    slow.rowDelayMs = 20; // the read goes on far longer than the test
    server.server().setFaults(slow);
    auto data = openTable("notes");
    QCOMPARE(data->load(), db::RecordsetData::Load::Reading);
    db::RowWriter writer(data);
    QVERIFY2(writer.readOnlyReason().isEmpty(), qPrintable(writer.readOnlyReason()));
    // The read's scan holds its shared lock: the edit waits for it, up to its time-out.
    writer.setWriteTimeout(1);
    QElapsedTimer timer;
    timer.start();
    const db::CellWriteResult waited = writer.write(0, 1, std::string("changed"));
    QCOMPARE(waited.status, db::WriteStatus::TimedOut);
    QVERIFY2(timer.elapsed() >= 900 && timer.elapsed() < 5000,
             qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(valueOf("SELECT note FROM notes WHERE id = 1"), QString("note 1"));
    // Once the read has stopped, the same edit goes through.
    data->stopLoad();
    writer.setWriteTimeout(10);
    const db::CellWriteResult written = writer.write(0, 1, std::string("changed"));
    QVERIFY2(written.status == db::WriteStatus::Written, qPrintable(written.message));
    QCOMPARE(valueOf("SELECT note FROM notes WHERE id = 1"), QString("changed"));
}

QTEST_GUILESS_MAIN(SessionsTest)
#include "tst_sessions.moc"
