#include "db/connect/connection.h"
#include "db/connect/provider.h"
#include "db/connect/sybasease.h"
#include "db/odbc/dberror.h"

#include <QTest>

// The ASEOLEDB provider: the FreeTDS connection string it writes, and the values it
// refuses because the driver could not receive them unchanged.
class ProviderTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { db::restoreDefaultProviders(); }
    void shouldWriteTheFreeTdsStringWithEveryValueBraced();
    void shouldRefuseValuesTheDriverWouldAlter_data();
    void shouldRefuseValuesTheDriverWouldAlter();
    void shouldAcceptLoginFieldsUpToThirtyBytes();
    void shouldApplyDefaultTimeoutsAndRefuseNegativeOnes();
    void shouldReportAMissingDriver();
};

namespace {
QString odbcString(const db::ConnectionFields& fields) {
    const auto provider = db::findProvider("ASEOLEDB");
    return provider->odbcConnectionString(
        db::ConnectionProperties::parse(db::BuildSybaseASEConnectionString(fields)));
}
} // namespace

void ProviderTest::shouldWriteTheFreeTdsStringWithEveryValueBraced() {
    QCOMPARE(odbcString({"db.example", "5000", "sa", "a;b=c", "pubs"}),
             QString("Driver=FreeTDS;Server={db.example};Port={5000};UID={sa};PWD={a;b=c};"
                     "Database={pubs};APP=Quorvane;ClientCharset=UTF-8;TextSize=2147483647;"
                     "Encryption=require;TDS_Version=5.0"));
    // No database: the login's default database; the host is split at the last colon.
    QCOMPARE(odbcString({"::1", "05000", "sa", "p}", ""}),
             QString("Driver=FreeTDS;Server={::1};Port={05000};UID={sa};PWD={p}};"
                     "APP=Quorvane;ClientCharset=UTF-8;TextSize=2147483647;Encryption=require;TDS_"
                     "Version=5.0"));
    // Blanks around the port's digits: the driver is given the digits alone.
    QVERIFY(odbcString({"srv", " \t5000  ", "sa", "p", ""}).contains(";Port={5000};"));
    QVERIFY_THROWS_EXCEPTION(db::DbError, db::findProvider("NoSuchProvider"));
}

void ProviderTest::shouldRefuseValuesTheDriverWouldAlter_data() {
    QTest::addColumn<db::ConnectionFields>("fields");
    QTest::addColumn<QString>("mentions");
    const auto base = db::ConnectionFields{"srv", "5000", "sa", "pw", "pubs"};
    auto f = base;
    f.password = "a};b";
    QTest::newRow("password with };") << f << "password";
    f = base;
    f.user = "};";
    QTest::newRow("user with };") << f << "user name";
    f = base;
    f.database = "x};Database={master";
    QTest::newRow("database with };") << f << "database";
    f = base;
    f.user = "";
    QTest::newRow("empty user: no Kerberos attempt") << f << "user name";
    f = base;
    f.password = QString("a") + QChar(0) + "b";
    QTest::newRow("password with NUL") << f << "password";
    f = base;
    f.password = QString(31, 'p');
    QTest::newRow("password of 31 bytes") << f << "password";
    f = base;
    f.user = QString(16, QChar(0x00e9)); // 32 bytes in UTF-8
    QTest::newRow("user of 16 two-byte letters") << f << "user name";
    for (const QString port :
         {"", "50x0", "0", "65536", "+5000", "50 00", "5000 x", "\u00a05000", " "}) {
        f = base;
        f.port = port;
        QTest::newRow(qPrintable(QString("port [%1]").arg(port))) << f << "port";
    }
    f = base;
    f.server = "host\\instance";
    QTest::newRow("named instance") << f << "server name";
    f = base;
    f.server = "host,4100";
    QTest::newRow("host with its own port") << f << "server name";
}

void ProviderTest::shouldRefuseValuesTheDriverWouldAlter() {
    QFETCH(db::ConnectionFields, fields);
    QFETCH(QString, mentions);
    try {
        odbcString(fields);
        QFAIL("the value must be refused");
    } catch (const db::DbError& e) {
        QVERIFY2(e.description().contains(mentions), qPrintable(e.description()));
        QVERIFY2(!e.description().contains(fields.password) || fields.password == "pw",
                 "a refusal never repeats the password");
    }
    QVERIFY(!db::TestSybaseASEConnection(fields)); // refused, silently
}

void ProviderTest::shouldAcceptLoginFieldsUpToThirtyBytes() {
    const QString user(15, QChar(0x00e9)); // 30 bytes in UTF-8
    const QString password(30, '}');
    const QString text = odbcString({"srv", "1", user, password, ""});
    QVERIFY(text.contains("UID={" + user + "};"));
    QVERIFY(text.contains("PWD={" + password + "};"));
}

void ProviderTest::shouldApplyDefaultTimeoutsAndRefuseNegativeOnes() {
    db::Connection connection;
    QCOMPARE(connection.ConnectionTimeout(), 15);
    QCOMPARE(connection.CommandTimeout(), 30);
    QCOMPARE(connection.CursorLocation(), short(db::adUseServer));
    QVERIFY_THROWS_EXCEPTION(db::DbError, connection.setConnectionTimeout(-1));
    QVERIFY_THROWS_EXCEPTION(db::DbError, connection.setCommandTimeout(-5));
    connection.setConnectionTimeout(5000);
    connection.setCommandTimeout(0);
    QCOMPARE(connection.ConnectionTimeout(), 5000);
    QCOMPARE(connection.CommandTimeout(), 0);
}

void ProviderTest::shouldReportAMissingDriver() {
    struct Missing : db::Provider {
        QString odbcConnectionString(const db::ConnectionProperties&) const override {
            return "Driver={Quorvane No Such Driver};Server={srv}";
        }
    };
    db::registerProvider("ASEOLEDB", std::make_shared<Missing>());
    const db::ConnectionFields fields{"srv", "5000", "sa", "pw", "pubs"};
    QVERIFY(!db::TestSybaseASEConnection(fields));
    try {
        db::Connection connection;
        connection.Open(db::BuildSybaseASEConnectionString(fields));
        QFAIL("there is no such driver");
    } catch (const db::DbError& e) {
        // The driver manager's own words.
        QVERIFY2(e.description().contains("Driver Manager"), qPrintable(e.description()));
    }
}

QTEST_GUILESS_MAIN(ProviderTest)
#include "tst_provider.moc"
