#include "db/connect/connection.h"
#include "db/connect/sybasease.h"
#include "db/odbc/dberror.h"
#include "db/odbc/odbc.h"
#include "db/read/recordset.h"
#include "db/write/boundquery.h"
#include "sample/server/server.h"

#include <QTest>

#include <mutex>

// The test server's TDS side through the real FreeTDS driver, over a backend that
// knows one table: every type's wire form read back as the program reads it, a
// procedure's result, an UPDATE inside a transaction, errors and attentions.
class TdsServerTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldCarryEveryTypeToTheProgram();
    void shouldStoreAnUpdateSentInsideATransaction();
    void shouldListTablesAndReportErrorsAsTheServerSendsThem();
    void shouldRefuseAnUnknownLoginAndHangUpAtOnce();
    void shouldAnswerAnAttentionAndStayUsable();
};

namespace {

using tds::AseType;

tds::ColumnInfo column(const char* name, AseType type, int length = 0, int precision = 0,
                       int scale = 0, bool nullable = true) {
    tds::ColumnInfo c;
    c.name = name;
    c.table = "t";
    c.type = type;
    c.length = length;
    c.precision = precision;
    c.scale = scale;
    c.nullable = nullable;
    return c;
}

// One table "t" of one row; statements recognised by their text alone.
class OneTableBackend : public tds::Backend {
  public:
    std::mutex mutex;
    std::vector<tds::ColumnInfo> columns;
    std::vector<tds::Value> row;
    std::vector<std::string> batches;
    int rowRepeat = 1;

    OneTableBackend() {
        using tds::Value;
        auto id = column("id", AseType::Numeric, 0, 10, 0, false);
        id.identity = true;
        columns = {id,
                   column("price", AseType::Numeric, 0, 10, 2),
                   column("cash", AseType::Money),
                   column("small", AseType::SmallMoney, 0, 0, 0, false),
                   column("seen", AseType::DateTime),
                   column("minute", AseType::SmallDateTime),
                   column("day", AseType::Date, 0, 0, 0, false),
                   column("clock", AseType::Time),
                   column("stamp", AseType::BigDateTime),
                   column("code", AseType::Char, 5),
                   column("name", AseType::VarChar, 40),
                   column("wide", AseType::UniVarChar, 20),
                   column("flag", AseType::Bit, 0, 0, 0, false),
                   column("ratio", AseType::Float),
                   column("tiny", AseType::TinyInt),
                   column("big", AseType::BigInt, 0, 0, 0, false),
                   column("missing", AseType::Int),
                   column("bytes", AseType::VarBinary, 8),
                   column("notes", AseType::Text),
                   column("version", AseType::Timestamp)};
        row = {Value::Text("1"),
               Value::Text("-12345678.91"),
               Value::Text("922337203685477.5807"),
               Value::Text("-214748.3648"),
               Value::Text("2021-08-31 13:45:30.500"),
               Value::Text("2021-08-31 13:45:00"),
               Value::Text("1899-12-31"),
               Value::Text("23:59:59.997"),
               Value::Text("2021-08-31 13:45:30.123456"),
               Value::Text("ab   "),
               Value::Text("it's"),
               Value::Text("中文 😀"),
               Value::Integer(1),
               Value::Real(3.25),
               Value::Integer(255),
               Value::Integer(INT64_MIN),
               Value::Null(),
               Value::Text(std::string("\xde\xad\0\xef", 4)),
               Value::Text(std::string(3000, 'x')),
               Value::Text(std::string("\0\0\0\0\0\0\x07\xd1", 8))};
    }

    class OneSession : public tds::Session {
      public:
        explicit OneSession(OneTableBackend& b) : b_(b) {}
        void language(const std::string& batch, tds::ResultSink& sink) override {
            std::lock_guard lock(b_.mutex);
            b_.batches.push_back(batch);
            if (batch.find("@@spid") != std::string::npos) {
                sink.columns({column("", AseType::SmallInt, 0, 0, 0, false)});
                sink.row({tds::Value::Integer(17)});
                sink.done(false, 1, false);
                if (batch.find("use [pubs]") != std::string::npos)
                    sink.databaseChanged("pubs", "master");
                sink.done(false, std::nullopt, false);
            } else if (batch == "set chained off") {
                sink.done(false, std::nullopt, false);
            } else if (batch.find("@@tranchained") != std::string::npos) {
                // What the program asks of every session after its login.
                sink.columns({column("", AseType::Int, 0, 0, 0, false),
                              column("", AseType::Int, 0, 0, 0, false),
                              column("", AseType::VarChar, 30, 0, 0, false),
                              column("", AseType::Int, 0, 0, 0, false),
                              column("", AseType::VarChar, 255, 0, 0, true)});
                sink.row({tds::Value::Integer(0), tds::Value::Integer(0), tds::Value::Text("dbo"),
                          tds::Value::Integer(2147483647), tds::Value::Null()});
                sink.done(false, 1, false);
            } else if (batch.rfind("SELECT * FROM [t]", 0) == 0) {
                sink.columns(b_.columns);
                const int rows = batch.find("1=0") != std::string::npos ? 0 : b_.rowRepeat;
                for (int i = 0; i < rows; ++i)
                    if (!sink.row(b_.row))
                        return;
                sink.done(false, rows, false);
            } else if (batch.rfind("UPDATE [t] SET [name] = '", 0) == 0) {
                const std::size_t end = batch.find("' WHERE [id] = 1");
                if (end == std::string::npos)
                    return fail(sink, 102, 15, "Incorrect syntax near 'WHERE'.");
                std::string value;
                for (std::size_t i = 25; i < end; ++i) {
                    value += batch[i];
                    i += batch[i] == '\'';
                }
                b_.row[10] = tds::Value::Text(value);
                sink.done(true, 3, false); // a trigger's statement
                sink.done(false, 1, false);
            } else if (batch.find("TRANCOUNT") != std::string::npos ||
                       batch == "BEGIN TRANSACTION") {
                sink.done(false, std::nullopt, false);
            } else {
                fail(sink, 208, 16,
                     "nowhere not found. Specify owner.objectname or use "
                     "sp_help to check whether the object exists (sp_help may "
                     "produce lots of output).");
            }
        }
        void rpc(const std::string& procedure, const std::vector<tds::RpcParameter>&,
                 tds::ResultSink& sink) override {
            if (procedure != "sp_tables")
                return fail(sink, 2812, 16, "Stored procedure '" + procedure + "' not found.");
            sink.done(true, std::nullopt, false);
            sink.columns({column("table_qualifier", AseType::VarChar, 32),
                          column("table_owner", AseType::VarChar, 32),
                          column("table_name", AseType::VarChar, 255, 0, 0, false),
                          column("table_type", AseType::VarChar, 32, 0, 0, false),
                          column("remarks", AseType::VarChar, 254)});
            sink.row({tds::Value::Text("pubs"), tds::Value::Text("dbo"), tds::Value::Text("t"),
                      tds::Value::Text("TABLE"), tds::Value::Null()});
            sink.done(true, 1, false);
            sink.returnStatus(0);
        }
        void close() override {}

      private:
        static void fail(tds::ResultSink& sink, int number, int severity, std::string text) {
            tds::Message m;
            m.number = number;
            m.severity = severity;
            m.sqlstate = "ZZZZZ";
            m.text = std::move(text);
            sink.message(m);
            sink.done(false, std::nullopt, true);
        }
        OneTableBackend& b_;
    };

    bool hasDatabase(const std::string& name) const override { return name == "pubs"; }
    std::unique_ptr<tds::Session> openSession(const std::string&, const std::string&) override {
        return std::make_unique<OneSession>(*this);
    }
};

struct Running {
    std::shared_ptr<OneTableBackend> backend = std::make_shared<OneTableBackend>();
    tds::Server server{backend, {0, {{"sa", "secret", {}}}}};

    QString connectionString(const QString& user = "sa", const QString& password = "secret") {
        return db::BuildSybaseASEConnectionString(
            {"127.0.0.1", QString::number(server.port()), user, password, "pubs"});
    }
};

std::shared_ptr<db::RecordsetData> selectAll(const db::Connection& connection) {
    db::Recordset rs;
    rs.Open("SELECT * FROM [t]", connection, db::adOpenForwardOnly, db::adLockReadOnly);
    const std::shared_ptr<db::RecordsetData> data = rs.DataSource();
    while (data->load() == db::RecordsetData::Load::Reading) // the rows behind the first ones
        data->appendArrived(true);
    return data;
}

} // namespace

void TdsServerTest::shouldCarryEveryTypeToTheProgram() {
    Running run;
    db::Connection connection;
    connection.Open(run.connectionString());
    const auto data = selectAll(connection);
    QCOMPARE(data->rows.rowCount(), 1);
    const QStringList expected = {"1",
                                  "-12345678.91",
                                  "922337203685477.5807",
                                  "-214748.3648",
                                  "2021-08-31 13:45:30.500",
                                  "2021-08-31 13:45:00",
                                  "1899-12-31",
                                  "23:59:59.997",
                                  "2021-08-31 13:45:30.123456",
                                  "ab   ",
                                  "it's",
                                  "中文 😀",
                                  "1",
                                  "3.25",
                                  "255",
                                  "-9223372036854775808"};
    for (int c = 0; c < expected.size(); ++c)
        QCOMPARE(data->rows.text(0, c), expected[c]);
    QVERIFY(data->rows.isNull(0, 16));
    QCOMPARE(data->rows.bytes(0, 17), std::string_view("\xde\xad\0\xef", 4));
    QCOMPARE(data->rows.text(0, 18), QString(3000, 'x'));
    QCOMPARE(data->rows.bytes(0, 19), std::string_view("\0\0\0\0\0\0\x07\xd1", 8));

    const auto& columns = data->rows.columns();
    QVERIFY(columns[0].autoIncrement);
    QVERIFY(!columns[0].nullable);
    QVERIFY(columns[1].nullable);
    QCOMPARE(columns[1].size, std::uint64_t(10));
    QCOMPARE(columns[1].decimalDigits, short(2));
    QCOMPARE(columns[9].size, std::uint64_t(5));
    QVERIFY(!columns[12].nullable);
}

void TdsServerTest::shouldStoreAnUpdateSentInsideATransaction() {
    Running run;
    db::Connection connection;
    connection.Open(run.connectionString());
    const auto data = selectAll(connection);
    auto& driver = *connection.driver();
    driver.setAutoCommit(false);
    db::BoundQuery update;
    update.sql = "UPDATE [t] SET [name] = ";
    update.appendParameter(data->rows.columns()[10], "o'neil é");
    update.sql += " WHERE [id] = 1";
    // A trigger's count arrives before the statement's own; the driver reports the
    // trigger's.
    QCOMPARE(update.execute(driver, 5), SQLLEN(3));
    driver.commit();
    driver.setAutoCommit(true);
    QCOMPARE(selectAll(connection)->rows.text(0, 10), QString("o'neil é"));

    std::lock_guard lock(run.backend->mutex);
    const auto& b = run.backend->batches;
    QCOMPARE(QString::fromStdString(b.front()),
             QString("set textsize 2147483647 select @@spid use [pubs]"));
    QVERIFY(std::find(b.begin(), b.end(), "BEGIN TRANSACTION") != b.end());
    QVERIFY(std::find(b.begin(), b.end(), "IF @@TRANCOUNT > 0 COMMIT BEGIN TRANSACTION") !=
            b.end());
}

void TdsServerTest::shouldListTablesAndReportErrorsAsTheServerSendsThem() {
    Running run;
    db::Connection connection;
    connection.Open(run.connectionString());
    db::Recordset tables = connection.OpenSchema(db::adSchemaTables);
    QVERIFY(!tables.Eof());
    QCOMPARE(tables.Fields("TABLE_NAME").Value().toString(), QString("t"));
    QCOMPARE(tables.Fields("TABLE_TYPE").Value().toString(), QString("TABLE"));
    tables.MoveNext();
    QVERIFY(tables.Eof());

    db::Recordset missing;
    try {
        missing.Open("SELECT * FROM [nowhere]", connection, db::adOpenForwardOnly,
                     db::adLockReadOnly);
        QFAIL("a missing table was read");
    } catch (const db::DbError& e) {
        QCOMPARE(e.nativeCode(), 208);
        QVERIFY(e.description().contains("nowhere not found."));
    }
    QCOMPARE(selectAll(connection)->rows.rowCount(), 1); // still usable
}

void TdsServerTest::shouldRefuseAnUnknownLoginAndHangUpAtOnce() {
    Running run;
    db::Connection connection;
    try {
        connection.Open(run.connectionString("sa", "wrong"));
        QFAIL("a wrong password logged in");
    } catch (const db::DbError& e) {
        QCOMPARE(e.nativeCode(), 4002);
        QVERIFY(e.description().contains("Login failed."));
    }
    QVERIFY(!connection.isOpen());
    QCOMPARE(run.server.connectionsAccepted(), 1);
    // The password went encrypted: the login record carries none.
    QVERIFY(run.server.logs().front().password.empty());
    QVERIFY(run.server.logs().front().encryptedPassword);
    QVERIFY(!run.server.logs().front().loggedIn);
}

void TdsServerTest::shouldAnswerAnAttentionAndStayUsable() {
    Running run;
    run.backend->rowRepeat = 2000;
    db::Connection connection;
    connection.Open(run.connectionString());
    {
        // Closed with rows unread: the driver sends an attention after the last DONE.
        db::odbc::Statement statement(*connection.driver());
        statement.execDirect("SELECT * FROM [t]");
        QCOMPARE(SQLFetch(statement.handle().get()), SQLRETURN(SQL_SUCCESS));
        statement.closeCursor();
    }
    QCOMPARE(selectAll(connection)->rows.rowCount(), 2000);

    // A statement held past its time-out is cancelled; the connection goes on.
    tds::Faults faults;
    faults.stallOn = "WHERE 1=0";
    faults.stallMs = 60000;
    run.server.setFaults(faults);
    connection.setCommandTimeout(1);
    db::Recordset held;
    QVERIFY_THROWS_EXCEPTION(db::DbError, held.Open("SELECT * FROM [t] WHERE 1=0", connection,
                                                    db::adOpenForwardOnly, db::adLockReadOnly));
    run.server.setFaults({});
    QCOMPARE(selectAll(connection)->rows.rowCount(), 2000);
}

QTEST_GUILESS_MAIN(TdsServerTest)
#include "tst_tdsserver.moc"
