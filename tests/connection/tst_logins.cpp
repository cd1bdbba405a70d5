#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "db/connect/connectfailure.h"
#include "db/connect/connection.h"
#include "db/odbc/dberror.h"
#include "db/odbc/odbc.h"
#include "db/read/recordset.h"
#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/editor/form3.h"
#include "pages/wizard.h"
#include "support/closedport.h"
#include "support/connectionpage.h"
#include "support/fakeplatform.h"
#include "support/loginbackend.h"
#include "support/sampledb.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

// Logging in as real servers demand it: the password never on the wire in clear, a server
// that insists on that reached, each refusal named in the "Test Connection" box, and the
// password kept in the desktop's secret store when there is one.
class LoginsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { app::SetApplicationTitle(); }
    void cleanup() { pages::resetPages(); }

    void shouldSendNoPasswordInClearOnAnyConnectionOfTheProgram();
    void shouldNameTheReasonOfEachRefusalInTheTestConnectionBox();
    void shouldKeepThePasswordInTheSecretStoreAndMoveAnOldOneThere();
};

namespace {

// The same login as the program's, but with the password in clear, as a client that does
// not ask for the exchange sends it.
QString clearLoginString(quint16 port, const QString& password) {
    return QStringLiteral("Driver=FreeTDS;Server=127.0.0.1;Port=%1;UID=sa;PWD={%2};"
                          "ClientCharset=UTF-8;Encryption=off;TDS_Version=5.0")
        .arg(port)
        .arg(password);
}

} // namespace

void LoginsTest::shouldSendNoPasswordInClearOnAnyConnectionOfTheProgram() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    server.createSampleDatabase();
    // The server as sites set "net password encryption reqd".
    server.server().setPasswordEncryption(tds::PasswordEncryption::Required);
    const db::ConnectionFields f = testing::SampleServer::fields(QStringLiteral("pubs"));
    QVERIFY(testing::saveConnectionValues(f));

    // Start-up test, the table list, the table and its rows, then "Test Connection".
    pages::form1().Load();
    QVERIFY(pages::form2().isVisible());
    const auto found = pages::form2().List1->findItems(QStringLiteral("authors"), Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    pages::form2().List1->setCurrentItem(found.first());
    QTest::mouseClick(pages::form2().PushButton3, Qt::LeftButton);
    QVERIFY(pages::form3().isVisible());
    pages::form1().PushButton7_Click();
    QCOMPARE(guard.fake().boxes.size(), 1);
    QCOMPARE(guard.fake().boxes.first().text, QStringLiteral("Connection successful."));

    const std::vector<tds::ConnectionLog> logs = server.server().logs();
    QVERIFY(logs.size() >= 4);
    for (const tds::ConnectionLog& log : logs) {
        QVERIFY(log.loggedIn);
        QVERIFY(log.encryptedPassword);
        QVERIFY(log.password.empty());
        QVERIFY(log.remotePassword.empty());
        QVERIFY(log.loginBytes.find(f.password.toStdString()) == std::string::npos);
    }

    // The server is no kinder than a real one: a clear password is refused, with its reason.
    db::odbc::DriverConnection clear(std::make_shared<db::odbc::Environment>());
    try {
        clear.connect(clearLoginString(server.server().port(), f.password), 0);
        QFAIL("a clear password was taken");
    } catch (const db::DbError& e) {
        QCOMPARE(e.nativeCode(), 1640);
        QCOMPARE(db::connectFailureReason(e),
                 QStringLiteral("Adaptive Server requires encryption of the login password on "
                                "the network."));
    }
    QCOMPARE(server.server().logs().back().password, f.password.toStdString());
    QVERIFY(!server.server().logs().back().loggedIn);
}

void LoginsTest::shouldNameTheReasonOfEachRefusalInTheTestConnectionBox() {
    testing::PlatformGuard guard;
    pages::form1();
    const auto boxOf = [&](const db::ConnectionFields& f) {
        guard.fake().boxes.clear();
        testing::fillConnectionPage(f);
        pages::form1().PushButton7_Click();
        return guard.fake().boxes.size() == 1 ? guard.fake().boxes.first().text : QString();
    };
    const auto failed = [](const QString& reason) {
        return QStringLiteral("Could not connect.\n") + reason;
    };
    auto server = testing::startLoginServer("sa", "secret");
    const QString port = QString::number(server->port());

    // A wrong password: one encrypted attempt, never a second one in clear.
    QCOMPARE(boxOf({"127.0.0.1", port, "sa", "wrong", "pubs"}), failed("Login failed."));
    QCOMPARE(server->connectionsAccepted(), 1);
    QVERIFY(server->logs().front().password.empty());
    QVERIFY(server->logs().front().loginBytes.find("wrong") == std::string::npos);
    // "Next >" stays silent on the same refusal.
    guard.fake().boxes.clear();
    pages::form1().PushButton3_Click();
    QVERIFY(guard.fake().boxes.isEmpty());
    QVERIFY(!pages::form2().isVisible());

    // A server older than the exchange: refused with its reason, the password never sent.
    server->setPasswordEncryption(tds::PasswordEncryption::OlderOnly);
    QCOMPARE(boxOf({"127.0.0.1", port, "sa", "secret", "pubs"}),
             failed("The server offers no encryption of the password that this program can "
                    "use; the password was not sent."));
    QVERIFY(server->logs().back().loginBytes.find("secret") == std::string::npos);
    QVERIFY(!server->logs().back().loggedIn);
    server->setPasswordEncryption(tds::PasswordEncryption::Offered);

    // A listener that speaks only TLS hangs up on a plain login.
    tds::Faults faults;
    faults.tlsOnly = true;
    server->setFaults(faults);
    QCOMPARE(boxOf({"127.0.0.1", port, "sa", "secret", "pubs"}),
             failed("Unexpected EOF from the server"));
    server->setFaults({});

    const testing::ClosedPort closed;
    QCOMPARE(boxOf({"127.0.0.1", closed.text(), "sa", "secret", "pubs"}),
             failed("Unable to connect: Adaptive Server is unavailable or does not exist"));
    QCOMPARE(boxOf({"no-such-host.invalid", port, "sa", "secret", "pubs"}),
             failed("Unknown host machine name."));

    // No user name: refused before any connection (no Kerberos attempt).
    const int before = server->connectionsAccepted();
    QCOMPARE(boxOf({"127.0.0.1", port, "", "secret", "pubs"}),
             failed("The user name is empty; a login needs one."));
    QCOMPARE(server->connectionsAccepted(), before);

    // A login that is no user of the database.
    tds::ServerOptions options;
    options.accounts = {{"sa", "secret", {"master"}}};
    tds::Server narrow(testing::makeLoginBackend(), options);
    const QString narrowPort = QString::number(narrow.port());
    QCOMPARE(boxOf({"127.0.0.1", narrowPort, "sa", "secret", "pubs"}),
             failed("Server user id 1 is not a valid user in database 'pubs'."));
    QCOMPARE(boxOf({"127.0.0.1", narrowPort, "sa", "secret", "master"}),
             QStringLiteral("Connection successful."));
}

void LoginsTest::shouldKeepThePasswordInTheSecretStoreAndMoveAnOldOneThere() {
    testing::PlatformGuard guard;
    testing::FakeSecretStore& store = guard.fake().secretStore;
    testing::SampleServer server;
    server.createSampleDatabase();
    const db::ConnectionFields f = testing::SampleServer::fields(QStringLiteral("pubs"));
    const auto filed = [] {
        return app::GetSetting(app::ApplicationKey, app::ProductName, QStringLiteral("Password"),
                               QStringLiteral("<none>"));
    };
    // An earlier version kept the password in the settings file.
    QVERIFY(testing::saveConnectionValues(f));
    store.available = true;

    // The first start with a store: the password moves there, and still logs in.
    pages::form1().Load();
    QVERIFY(pages::form1().hiddenByLoad());
    QCOMPARE(store.values.value(QStringLiteral("Password")), f.password);
    QCOMPARE(filed(), QStringLiteral("<none>"));

    // Every key stroke reaches the store; the file holds none of them.
    pages::form1().Show();
    QTest::keyClick(pages::form1().Text4, Qt::Key_X);
    QCOMPARE(store.values.value(QStringLiteral("Password")), f.password + "x");
    QCOMPARE(filed(), QStringLiteral("<none>"));

    // A store that refuses a write: the file keeps that key stroke, until the store takes one.
    store.refuseWrites = true;
    QTest::keyClick(pages::form1().Text4, Qt::Key_Y);
    QCOMPARE(filed(), f.password + "xy");
    store.refuseWrites = false;
    pages::form1().Text4->setText(f.password);
    QCOMPARE(store.values.value(QStringLiteral("Password")), f.password);
    QCOMPARE(filed(), QStringLiteral("<none>"));

    // The next start reads it from the store and logs in with it.
    pages::resetPages();
    pages::form1().Load();
    QCOMPARE(pages::form1().Text4->text(), f.password);
    QVERIFY(pages::form1().hiddenByLoad());
}

QTEST_MAIN(LoginsTest)
#include "tst_logins.moc"
