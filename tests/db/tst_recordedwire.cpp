#include "db/connect/connection.h"
#include "db/odbc/dberror.h"
#include "db/odbc/odbc.h"
#include "db/read/recordset.h"
#include "db/write/boundquery.h"
#include "support/sampledb.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The test server's stream as FreeTDS itself reads it (its protocol dump): the tokens,
// user types, message texts and login order recorded from real Adaptive Servers, and the
// program's data layer reading through all of it unchanged.
class RecordedWireTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldBeReadAsRecordedServersAreRead();
};

namespace {

const QString kCatalog = QStringLiteral("shop");

// The protocol dump FreeTDS writes while `TDSDUMP` names a file: set for the connections
// opened during its life.
class DriverDump {
  public:
    DriverDump() : path_(dir_.filePath(QStringLiteral("tds.dump"))) {
        qputenv("TDSDUMP", QFile::encodeName(path_));
    }
    ~DriverDump() { qunsetenv("TDSDUMP"); }
    QString text() const {
        QFile file(path_);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

  private:
    QTemporaryDir dir_;
    QString path_;
};

// The rows of a query as "a|b" lines, through the program's recordset.
QStringList rowsOf(db::Connection& connection, const QString& sql) {
    db::Recordset recordset;
    recordset.Open(sql, connection, db::adOpenForwardOnly, db::adLockReadOnly);
    const std::shared_ptr<db::RecordsetData> data = recordset.DataSource();
    QStringList lines;
    for (int r = 0; r < data->rows.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < int(data->rows.columns().size()); ++c)
            cells << (data->rows.isNull(r, c) ? QStringLiteral("NULL") : data->rows.text(r, c));
        lines << cells.join(QLatin1Char('|'));
    }
    return lines;
}

} // namespace

void RecordedWireTest::shouldBeReadAsRecordedServersAreRead() {
    testing::SampleServer server;
    server.createDatabase(kCatalog, {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, big bigint "
                                     "NULL, price decimal(10,2) NULL, name varchar(10) NULL)",
                                     "INSERT INTO t VALUES (1, 5, NULL, 'a')",
                                     "INSERT INTO t VALUES (2, NULL, 1.5, 'b')"});
    QString dump;
    {
        DriverDump driverDump;
        db::Connection connection;
        connection.Open(testing::SampleServer::connectionString(kCatalog));
        // A sorted select (ORDERBY after its format), an expression, and a `use` of the
        // database already in use.
        QCOMPARE(rowsOf(connection, "SELECT * FROM [t] ORDER BY [name] DESC"),
                 QStringList({"2|NULL|1.50|b", "1|5|NULL|a"}));
        QCOMPARE(rowsOf(connection, "select @@trancount"), QStringList{"0"});
        db::odbc::Statement use(*connection.driver());
        use.execDirect(QStringLiteral("use shop"));
        db::drainResults(use);
        // A server message reaches the program in the server's words alone.
        try {
            rowsOf(connection, "SELECT * FROM [nowhere]");
            QFAIL("a missing table was read");
        } catch (const db::DbError& e) {
            QCOMPARE(e.description(),
                     QString("nowhere not found. Specify owner.objectname or use sp_help to "
                             "check whether the object exists (sp_help may produce lots of "
                             "output)."));
            QCOMPARE(e.nativeCode(), 208);
        }
        connection.Close();
        dump = driverDump.text();
    }
    QVERIFY2(!dump.isEmpty(), "FreeTDS wrote no dump");
    QVERIFY(dump.contains("Eating ORDERBY token"));
    QVERIFY(dump.contains("Eating CONTROL/FEATUREEXTACK token"));
    // The login's messages in the order recorded from 16.0.
    const qsizetype charset = dump.indexOf("reading message 5704");
    const qsizetype database = dump.indexOf("reading message 5701");
    const qsizetype language = dump.indexOf("reading message 5703");
    QVERIFY(charset >= 0 && charset < database && database < language);
    QVERIFY2(dump.indexOf("reading message 5701", language) > language, "use sent no 5701");
    // A nullable bigint keeps its user type 43 as an INTN; a nullable decimal keeps 26;
    // an expression comes as a nullable INTN (flags 0x30).
    const QRegularExpression big(R"(column_name=\[big\]\s*\n.*utype=43 type=38 )");
    QVERIFY2(big.match(dump).hasMatch(), "bigint NULL was not INTN with user type 43");
    const QRegularExpression price(R"(column_name=\[price\]\s*\n.*utype=26 type=106 )");
    QVERIFY2(price.match(dump).hasMatch(), "decimal NULL did not keep user type 26");
    const QRegularExpression expression(R"(column_name=\[\]\s*\n.*flags=3\d* utype=7 type=38 )");
    QVERIFY2(expression.match(dump).hasMatch(), "@@trancount was not a nullable INTN");
}

QTEST_GUILESS_MAIN(RecordedWireTest)
#include "tst_recordedwire.moc"
