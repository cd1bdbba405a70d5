#include "db/connect/connectionstring.h"
#include "db/connect/sybasease.h"
#include "db/odbc/dberror.h"

#include <QTest>

// The one connection string: exact text for ordinary values, quoting for the values that
// would not survive as they are, and the parser that reads both back.
class ConnectionStringTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldBuildOrdinaryValuesByteForByte_data();
    void shouldBuildOrdinaryValuesByteForByte();
    void shouldQuoteValuesThatWouldNotSurvive_data();
    void shouldQuoteValuesThatWouldNotSurvive();
    void shouldReadEveryValueBackExactly_data();
    void shouldReadEveryValueBackExactly();
    void shouldNotLetAPasswordSwitchTheDatabase();
    void shouldReadHandWrittenStrings();
    void shouldRejectMalformedStrings_data();
    void shouldRejectMalformedStrings();
};

namespace {
db::ConnectionFields fields(const QString& server, const QString& port, const QString& user,
                            const QString& password, const QString& database) {
    return {server, port, user, password, database};
}
} // namespace

void ConnectionStringTest::shouldBuildOrdinaryValuesByteForByte_data() {
    QTest::addColumn<db::ConnectionFields>("fields");
    QTest::addColumn<QString>("expected");
    QTest::newRow("typical") << fields("srv", "5000", "sa", "pw", "pubs")
                             << "Provider=ASEOLEDB;Data Source=srv:5000;User Id=sa;"
                                "Password=pw;;Catalog=pubs";
    QTest::newRow("all empty") << fields("", "", "", "", "")
                               << "Provider=ASEOLEDB;Data Source=:;User Id=;Password=;;Catalog=";
    QTest::newRow("empty port") << fields("srv", "", "sa", "pw", "pubs")
                                << "Provider=ASEOLEDB;Data Source=srv:;User Id=sa;Password=pw;;"
                                   "Catalog=pubs";
    QTest::newRow("equals signs") << fields("a=b", "1=1", "u=", "=p=", "d=b")
                                  << "Provider=ASEOLEDB;Data Source=a=b:1=1;User Id=u=;"
                                     "Password==p=;;Catalog=d=b";
    QTest::newRow("inner blanks, quotes, braces, letters")
        << fields("my host", "5000", "o\"neil", "p 'w' {x}", "Zoë łódź")
        << "Provider=ASEOLEDB;Data Source=my host:5000;User Id=o\"neil;Password=p 'w' {x};;"
           "Catalog=Zoë łódź";
}

void ConnectionStringTest::shouldBuildOrdinaryValuesByteForByte() {
    QFETCH(db::ConnectionFields, fields);
    QFETCH(QString, expected);
    QCOMPARE(db::BuildSybaseASEConnectionString(fields), expected);
}

void ConnectionStringTest::shouldQuoteValuesThatWouldNotSurvive_data() {
    QTest::addColumn<db::ConnectionFields>("fields");
    QTest::addColumn<QString>("expected");
    QTest::newRow("semicolon") << fields("srv", "5000", "sa", "x;Catalog=master", "pubs")
                               << "Provider=ASEOLEDB;Data Source=srv:5000;User Id=sa;"
                                  "Password=\"x;Catalog=master\";;Catalog=pubs";
    QTest::newRow("leading quote, inner quotes doubled")
        << fields("srv", "5000", "\"sa\"", "'pw", "a\"b;")
        << "Provider=ASEOLEDB;Data Source=srv:5000;User Id=\"\"\"sa\"\"\";Password=\"'pw\";;"
           "Catalog=\"a\"\"b;\"";
    QTest::newRow("leading and trailing blanks")
        << fields(" srv", "5000 ", "sa ", " ", "\tpubs")
        << "Provider=ASEOLEDB;Data Source=\" srv:5000 \";User Id=\"sa \";Password=\" \";;"
           "Catalog=\"\tpubs\"";
    QTest::newRow("semicolon in the data source")
        << fields("a;b", "5000", "sa", "pw", "")
        << "Provider=ASEOLEDB;Data Source=\"a;b:5000\";User Id=sa;Password=pw;;Catalog=";
}

void ConnectionStringTest::shouldQuoteValuesThatWouldNotSurvive() {
    QFETCH(db::ConnectionFields, fields);
    QFETCH(QString, expected);
    QCOMPARE(db::BuildSybaseASEConnectionString(fields), expected);
}

void ConnectionStringTest::shouldReadEveryValueBackExactly_data() {
    QTest::addColumn<QString>("value");
    const QStringList values = {"",
                                ";",
                                "=",
                                "{",
                                "}",
                                "};",
                                "{x}",
                                "\"",
                                "\"\"",
                                "'",
                                "''x''",
                                " lead",
                                "trail ",
                                "  ",
                                "\t",
                                "a\"b;c",
                                "x;Catalog=master",
                                ";;",
                                "=;=",
                                "Zoë łódź €",
                                "日本語",
                                "a;b\"c'd{e}f=g h"};
    for (const QString& v : values)
        QTest::newRow(qPrintable(QStringLiteral("[%1]").arg(v))) << v;
}

void ConnectionStringTest::shouldReadEveryValueBackExactly() {
    QFETCH(QString, value);
    const auto f = fields(value, value, value, value, value);
    const auto p = db::ConnectionProperties::parse(db::BuildSybaseASEConnectionString(f));
    QCOMPARE(p.items().size(), std::size_t(5)); // no element more or less
    QCOMPARE(p.value("Provider"), QString("ASEOLEDB"));
    QCOMPARE(p.value("Data Source"), value + ":" + value);
    QCOMPARE(p.value("User Id"), value);
    QCOMPARE(p.value("Password"), value);
    QCOMPARE(p.value("Catalog"), value);
}

void ConnectionStringTest::shouldNotLetAPasswordSwitchTheDatabase() {
    const auto f = fields("srv", "5000", "sa", "x;Catalog=master", "pubs");
    const auto p = db::ConnectionProperties::parse(db::BuildSybaseASEConnectionString(f));
    QCOMPARE(p.value("Password"), QString("x;Catalog=master"));
    QCOMPARE(p.value("Catalog"), QString("pubs"));
    int catalogs = 0;
    for (const auto& [key, value] : p.items())
        catalogs += key.compare("Catalog", Qt::CaseInsensitive) == 0;
    QCOMPARE(catalogs, 1);
}

void ConnectionStringTest::shouldReadHandWrittenStrings() {
    const auto p = db::ConnectionProperties::parse(
        " provider = ASEOLEDB ;;; DATA SOURCE= h:1 ;User Id='o''k';Password= \"a;\"\"b\" ;"
        "Catalog=first;catalog=last;");
    QCOMPARE(p.value("Provider"), QString("ASEOLEDB"));
    QCOMPARE(p.value("Data Source"), QString("h:1")); // blanks around a plain value go
    QCOMPARE(p.value("user id"), QString("o'k"));
    QCOMPARE(p.value("Password"), QString("a;\"b"));
    QCOMPARE(p.value("Catalog"), QString("last")); // the last one wins
    QVERIFY(!p.contains("Initial Catalog"));
    QVERIFY(db::ConnectionProperties::parse(QString()).items().empty());
}

void ConnectionStringTest::shouldRejectMalformedStrings_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("no equals sign") << "Provider=ASEOLEDB;Catalog";
    QTest::newRow("empty key") << "Provider=ASEOLEDB;=pubs";
    QTest::newRow("open double quote") << "Password=\"abc;Catalog=pubs";
    QTest::newRow("open single quote") << "Password='abc";
    QTest::newRow("text after the closing quote") << "Password=\"a\"b;Catalog=pubs";
}

void ConnectionStringTest::shouldRejectMalformedStrings() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(db::DbError, db::ConnectionProperties::parse(text));
}

QTEST_GUILESS_MAIN(ConnectionStringTest)
#include "tst_connectionstring.moc"
