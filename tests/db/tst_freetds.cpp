#include "db/connect/connection.h"
#include "db/connect/provider.h"
#include "db/connect/sybasease.h"
#include "db/odbc/dberror.h"
#include "db/read/recordset.h"
#include "support/closedport.h"
#include "support/loginbackend.h"
#include "support/sampledb.h"

#include <QElapsedTimer>
#include <QTest>
#include <algorithm>

// The layer against the real FreeTDS driver, talking to the test server on 127.0.0.1 (or
// to nothing at all), which can also misbehave as broken servers do. Every wait is
// bounded.
class FreeTdsTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { db::restoreDefaultProviders(); }
    void shouldFailFastOnAClosedPort();
    void shouldAnswerFalseWhenTheServerHangsUp();
    void shouldAnswerFalseForAnEmptyUserName();
    void shouldGiveUpAtTheDeadlineAndStillConnectAfterwards();
    void shouldCarryEveryValueUnchanged_data();
    void shouldCarryEveryValueUnchanged();
    void shouldSendNothingForAValueItCannotCarry_data();
    void shouldSendNothingForAValueItCannotCarry();
    void shouldStopACommandAtItsTimeout();
    void shouldReachTheTypedPortOnlyWithBlanksAroundIt();
};

namespace {
db::ConnectionFields peerFields(quint16 port, const QString& user = "sa",
                                const QString& password = "secret",
                                const QString& database = "pubs") {
    return {"127.0.0.1", QString::number(port), user, password, database};
}

bool waitForAbandonedAttempts(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (db::connectAttemptsUnderWay() > 0 && timer.elapsed() < timeoutMs)
        QTest::qSleep(20);
    return db::connectAttemptsUnderWay() == 0;
}
} // namespace

void FreeTdsTest::shouldFailFastOnAClosedPort() {
    testing::ClosedPort closed;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!db::TestSybaseASEConnection(peerFields(closed.port())));
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    try {
        db::Connection connection;
        connection.Open(db::BuildSybaseASEConnectionString(peerFields(closed.port())));
        QFAIL("nothing listens there");
    } catch (const db::DbError& e) {
        // The driver's own words.
        QVERIFY2(e.description().contains("Unable to connect"), qPrintable(e.description()));
    }
}

void FreeTdsTest::shouldAnswerFalseWhenTheServerHangsUp() {
    const auto server = testing::startLoginServer();
    tds::Faults faults;
    faults.closeAtOnce = true;
    server->setFaults(faults);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!db::TestSybaseASEConnection(peerFields(server->port())));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(server->connectionsAccepted(), 1); // counted before it hung up
}

void FreeTdsTest::shouldAnswerFalseForAnEmptyUserName() {
    // TDS 5.0 has no login without a name; the driver gives up before sending one.
    const auto server = testing::startLoginServer("", "");
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!db::TestSybaseASEConnection(peerFields(server->port(), "", "")));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    for (const tds::ConnectionLog& log : server->logs())
        QVERIFY(!log.loggedIn);
}

void FreeTdsTest::shouldGiveUpAtTheDeadlineAndStillConnectAfterwards() {
    QVERIFY(waitForAbandonedAttempts(5000));
    {
        const auto silent = testing::startLoginServer();
        tds::Faults faults;
        faults.neverAnswer = true;
        silent->setFaults(faults);
        for (int round = 1; round <= 2; ++round) {
            db::Connection connection;
            connection.setConnectionTimeout(2);
            QElapsedTimer timer;
            timer.start();
            try {
                connection.Open(db::BuildSybaseASEConnectionString(peerFields(silent->port())));
                QFAIL("a server that never answers cannot log in");
            } catch (const db::DbError& e) {
                QCOMPARE(e.description(), QString("Login timeout expired"));
            }
            const qint64 waited = timer.elapsed();
            QVERIFY2(waited >= 1900 && waited < 3500, qPrintable(QString::number(waited)));
            QVERIFY(!connection.isOpen());
            QCOMPARE(silent->connectionsAccepted(), round);
        }
        QCOMPARE(db::connectAttemptsUnderWay(), 2); // abandoned, still waiting on the server

        // The abandoned attempts do not stand in the way of the next connection.
        testing::SampleServer server;
        server.createDatabase("shop", {"CREATE TABLE t (a INT)"});
        QElapsedTimer timer;
        timer.start();
        QVERIFY(db::TestSybaseASEConnection(testing::SampleServer::fields("shop")));
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    }
    // Once the server hangs up, each abandoned attempt ends and frees its handles.
    QVERIFY2(waitForAbandonedAttempts(10000),
             qPrintable(QString::number(db::connectAttemptsUnderWay())));
}

void FreeTdsTest::shouldCarryEveryValueUnchanged_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("database");
    QTest::newRow("plain") << "sa"
                           << "secret"
                           << "pubs";
    QTest::newRow("semicolons") << "a;b"
                                << "x;Catalog=master"
                                << "my;db";
    QTest::newRow("equals signs") << "u=1"
                                  << "p=q=r"
                                  << "=d=";
    QTest::newRow("braces") << "{u}"
                            << "{p}}"
                            << "}d{";
    QTest::newRow("quotes") << "\"u\""
                            << "'p'\""
                            << "d\"\"b'";
    QTest::newRow("blanks") << " u "
                            << "  "
                            << "d b ";
    QTest::newRow("non-ASCII letters") << "Zoë"
                                       << "łódź€"
                                       << "Ærø Straße";
    QTest::newRow("brackets") << "[u]"
                              << "]"
                              << "a]]b[";
    QTest::newRow("thirty bytes") << QString(15, QChar(0x00e9)) << "a;b=c{d}e\"f'g h;Catalog=master"
                                  << QString(40, 'd');
    QTest::newRow("no database") << "sa"
                                 << ""
                                 << "";
}

void FreeTdsTest::shouldCarryEveryValueUnchanged() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, database);
    // The server takes this one account only: a value that arrived altered is refused.
    const auto server = testing::startLoginServer(user.toStdString(), password.toStdString());
    QVERIFY(db::TestSybaseASEConnection(peerFields(server->port(), user, password, database)));
    const auto logs = server->logs();
    QCOMPARE(logs.size(), std::size_t(1));
    const auto& login = logs.front();
    QVERIFY(login.loggedIn);
    QCOMPARE(login.protocol, std::string("\x05\0\0\0", 4));
    QCOMPARE(QString::fromStdString(login.user), user);
    // Both passwords arrive encrypted; the login record carries neither.
    QVERIFY(login.encryptedPassword);
    QVERIFY(login.password.empty() && login.remotePassword.empty());
    QCOMPARE(QString::fromStdString(login.passwordReceived), password);
    QCOMPARE(QString::fromStdString(login.remotePasswordReceived), password);
    bool used = false;
    QCOMPARE(QString::fromStdString(testing::usedDatabase(login, used)), database);
    QCOMPARE(used, !database.isEmpty());
}

void FreeTdsTest::shouldSendNothingForAValueItCannotCarry_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("database");
    QTest::newRow("password with };") << "sa"
                                      << "a};b"
                                      << "pubs";
    QTest::newRow("user with };") << "sa};"
                                  << "secret"
                                  << "pubs";
    QTest::newRow("database with };") << "sa"
                                      << "secret"
                                      << "x};Database={master";
    QTest::newRow("password over 30 bytes") << "sa" << QString(31, 'p') << "pubs";
}

void FreeTdsTest::shouldSendNothingForAValueItCannotCarry() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, database);
    const auto server = testing::startLoginServer();
    try {
        db::Connection connection;
        connection.Open(db::BuildSybaseASEConnectionString(
            peerFields(server->port(), user, password, database)));
        QFAIL("the value must be refused");
    } catch (const db::DbError& e) {
        QVERIFY2(e.description().contains("it was not sent"), qPrintable(e.description()));
    }
    QVERIFY(!server->waitForConnections(1, 200));
    QCOMPARE(server->connectionsAccepted(), 0);
}

void FreeTdsTest::shouldStopACommandAtItsTimeout() {
    const auto server = testing::startLoginServer();
    tds::Faults faults;
    faults.stallOn = "SELECT * FROM [titles]";
    faults.stallMs = 60000;
    server->setFaults(faults);
    db::Connection connection;
    connection.setCommandTimeout(1);
    connection.Open(db::BuildSybaseASEConnectionString(peerFields(server->port())));
    db::Recordset rs;
    QElapsedTimer timer;
    timer.start();
    try {
        rs.Open("SELECT * FROM [titles]", connection, db::adOpenDynamic, db::adLockOptimistic);
        QFAIL("a query the server never answers must time out");
    } catch (const db::DbError& e) {
        QCOMPARE(e.sqlState(), QString("HYT00"));
    }
    QVERIFY2(timer.elapsed() >= 900 && timer.elapsed() < 5000,
             qPrintable(QString::number(timer.elapsed())));
    // The rows are read over a login of their own; the recordset's stays free for writes.
    const auto logs = server->logs();
    QVERIFY(std::any_of(logs.begin(), logs.end(), [](const auto& log) {
        return std::find(log.requests.begin(), log.requests.end(), "SELECT * FROM [titles]") !=
               log.requests.end();
    }));
}

void FreeTdsTest::shouldReachTheTypedPortOnlyWithBlanksAroundIt() {
    const auto server = testing::startLoginServer();
    const tds::Server& peer = *server;
    const QString digits = QString::number(peer.port());
    for (const QString& typed : {" " + digits, digits + " ", "  " + digits + "\t "}) {
        db::ConnectionFields fields = peerFields(peer.port());
        fields.port = typed;
        QVERIFY2(db::TestSybaseASEConnection(fields), qPrintable(typed));
    }
    QCOMPARE(peer.connectionsAccepted(), 3);
    // The driver would read these as the same port too, but the user typed another.
    for (const QString& typed :
         {digits + " 1", digits + "x", digits.left(1) + " " + digits.mid(1)}) {
        db::ConnectionFields fields = peerFields(peer.port());
        fields.port = typed;
        QVERIFY2(!db::TestSybaseASEConnection(fields), qPrintable(typed));
    }
    QCOMPARE(peer.connectionsAccepted(), 3);
}

QTEST_GUILESS_MAIN(FreeTdsTest)
#include "tst_freetds.moc"
