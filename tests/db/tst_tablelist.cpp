#include "db/odbc/dberror.h"
#include "db/read/tablelist.h"
#include "support/sampledb.h"

#include <QTest>

class TableListTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void shouldListOnlyUserTablesInProviderOrder();
    void shouldRebuildTheListOnEveryCall();
    void shouldReportFailedOpeningAndLeaveTheListEmpty();
    void shouldKeepOldNamesUntilTheSchemaIsFetched();
    void shouldReportUnreadableRowsOnceAndStillClose();
    void shouldFilterByExactTypeAndCaseBlindSubstring();
};

namespace {

struct FakeList : db::ListTarget {
    QStringList items;
    QStringList* log = nullptr;
    void Clear() override {
        items.clear();
        if (log)
            *log << QStringLiteral("clear");
    }
    void AddItem(const QString& item) override { items << item; }
    int ListCount() const override { return int(items.size()); }
};

struct Reports {
    QStringList lines;
    db::Handler handler() {
        return db::Handler(
            QStringLiteral("in Quorvane2021/08/31.SybaseASE.AddTablesToSybaseASEListbox "),
            [this](const QString&, int line, const QString& text) {
                lines << QStringLiteral("%1 %2").arg(line).arg(text);
            });
    }
    QList<int> numbers() const {
        QList<int> result;
        for (const QString& line : lines)
            result << line.section(QLatin1Char(' '), 0, 0).toInt();
        return result;
    }
};

// A scripted stand-in for the connection and its schema recordset.
struct Script {
    QList<QPair<QString, QString>> rows; // type, name
    bool openFails = false;
    int fieldFailsAt = -1;
    int eofFailsAt = -1;
    int moveFailsAt = -1;
    QStringList log;
};
Script* script = nullptr;

struct FakeField {
    QString value;
    QVariant Value() const { return value; }
};

struct FakeRecordset {
    bool open = false;
    int row = 0;
    bool Eof() const {
        if (row == script->eofFailsAt)
            throw db::DbError(QStringLiteral("link lost at eof"));
        return row >= script->rows.size();
    }
    void MoveNext() {
        if (row == script->moveFailsAt)
            throw db::DbError(QStringLiteral("link lost at move"));
        ++row;
    }
    FakeField Fields(const QString& name) const {
        if (row == script->fieldFailsAt)
            throw db::DbError(QStringLiteral("link lost at field"));
        const auto& r = script->rows.at(row);
        if (name == QLatin1String("TABLE_SCHEM"))
            return {QStringLiteral("dbo")};
        return {name == QLatin1String("TABLE_TYPE") ? r.first : r.second};
    }
    void Close() { script->log << (open ? "close recordset" : "close closed recordset"); }
};

struct FakeConnection {
    bool open = false;
    void Open(const QString& text) {
        script->log << QStringLiteral("open ") + text;
        if (script->openFails)
            throw db::DbError(QStringLiteral("Login failed."));
        open = true;
    }
    FakeRecordset OpenSchema(int schema) {
        script->log << QStringLiteral("schema %1").arg(schema);
        if (!open)
            throw db::DbError(QString::fromLatin1(db::kObjectClosed));
        return FakeRecordset{true, 0};
    }
    void Close() { script->log << (open ? "close connection" : "close closed connection"); }
};

void listWithScript(Script& s, FakeList& list, Reports& reports) {
    script = &s;
    list.log = &s.log;
    auto h = reports.handler();
    db::listUserTables<FakeConnection>(
        list, [] { return QStringLiteral("cs"); }, [] { script->log << QStringLiteral("pump"); },
        h);
    script = nullptr;
}

const QStringList kTables = {
    QStringLiteral("CREATE TABLE Physics (id int NOT NULL PRIMARY KEY, title varchar(255) NULL)"),
    QStringLiteral("CREATE TABLE SYSLOG (x int NULL)"),
    QStringLiteral("CREATE TABLE mysysdata (x int NULL)"),
    QStringLiteral("CREATE TABLE Crisys (x int NULL)"),
    QStringLiteral("CREATE TABLE \"Order Details\" (x int NULL)"),
    QStringLiteral("CREATE TABLE zebraCase (x int NULL)"),
    QStringLiteral("CREATE VIEW PhysicsView AS SELECT * FROM Physics"),
};

} // namespace

void TableListTest::init() {
    QVERIFY(script == nullptr);
}

void TableListTest::shouldListOnlyUserTablesInProviderOrder() {
    testing::SampleServer server;
    server.createDatabase(QStringLiteral("lab"), kTables);
    FakeList list;
    Reports reports;
    auto h = reports.handler();
    QList<int> countsAtPump;
    db::AddTablesToSybaseASEListbox(
        list, [] { return testing::SampleServer::connectionString(QStringLiteral("lab")); },
        [&] { countsAtPump << list.ListCount(); }, h);
    QCOMPARE(reports.lines, QStringList());
    // One pump per "TABLE" row ("sys" names too, the view and the server's own tables
    // not), each before its row is added.
    QCOMPARE(countsAtPump, QList<int>({0, 0, 1, 2, 2, 2}));
    // The server's order (by name, upper case first, as a binary sort order gives) and
    // letter case; views and every name holding "sys" left out.
    QCOMPARE(list.items, QStringList({"Order Details", "Physics", "zebraCase"}));
}

void TableListTest::shouldRebuildTheListOnEveryCall() {
    testing::SampleServer server;
    server.createDatabase(QStringLiteral("lab"), kTables);
    FakeList list;
    list.items = {QStringLiteral("stale")};
    Reports reports;
    for (int round = 0; round < 2; ++round) {
        auto h = reports.handler();
        db::AddTablesToSybaseASEListbox(
            list, [] { return testing::SampleServer::connectionString(QStringLiteral("lab")); },
            [] {}, h);
        QCOMPARE(list.items, QStringList({"Order Details", "Physics", "zebraCase"}));
    }
    QCOMPARE(reports.lines, QStringList());
}

void TableListTest::shouldReportFailedOpeningAndLeaveTheListEmpty() {
    testing::SampleServer server;
    server.createDatabase(QStringLiteral("lab"), kTables);
    FakeList list;
    list.items = {QStringLiteral("stale")};
    int pumps = 0;
    Reports reports;
    auto h = reports.handler();
    db::AddTablesToSybaseASEListbox(
        list,
        [] {
            return testing::SampleServer::connectionString(QStringLiteral("lab"))
                .replace(QStringLiteral("Password=sample"), QStringLiteral("Password=wrong"));
        },
        [&] { ++pumps; }, h);
    // The opening and the schema request fail; nothing else does, the loop is skipped.
    QCOMPARE(reports.numbers(), QList<int>({104, 106}));
    QCOMPARE(reports.lines.at(0), QStringLiteral("104 ") + testing::kLoginFailedText);
    QCOMPARE(reports.lines.at(1), QStringLiteral("106 ") + QLatin1String(db::kObjectClosed));
    QCOMPARE(list.items, QStringList());
    QCOMPARE(pumps, 0);
}

void TableListTest::shouldKeepOldNamesUntilTheSchemaIsFetched() {
    Script s;
    s.rows = {{"TABLE", "a"}};
    FakeList list;
    Reports reports;
    listWithScript(s, list, reports);
    QCOMPARE(s.log, QStringList({"open cs", "schema 20", "clear", "pump", "close recordset",
                                 "close connection"}));

    Script failing;
    failing.openFails = true;
    FakeList other;
    Reports failed;
    listWithScript(failing, other, failed);
    QCOMPARE(failed.numbers(), QList<int>({104, 106}));
    QCOMPARE(failing.log, QStringList({"open cs", "schema 20", "clear", "close closed recordset",
                                       "close closed connection"}));
}

void TableListTest::shouldReportUnreadableRowsOnceAndStillClose() {
    const QList<QPair<QString, QString>> rows = {{"TABLE", "a"}, {"TABLE", "b"}, {"TABLE", "c"}};
    const QStringList closing = {"close recordset", "close connection"};

    Script field;
    field.rows = rows;
    field.fieldFailsAt = 1;
    FakeList list;
    Reports reports;
    listWithScript(field, list, reports);
    QCOMPARE(reports.lines, QStringList({"112 link lost at field"}));
    QCOMPARE(list.items, QStringList({"a"}));
    QCOMPARE(field.log.mid(field.log.size() - 2), closing);

    Script eof;
    eof.rows = rows;
    eof.eofFailsAt = 2;
    FakeList list2;
    Reports reports2;
    listWithScript(eof, list2, reports2);
    QCOMPARE(reports2.lines, QStringList({"110 link lost at eof"}));
    QCOMPARE(list2.items, QStringList({"a", "b"}));
    QCOMPARE(eof.log.mid(eof.log.size() - 2), closing);

    Script move;
    move.rows = rows;
    move.moveFailsAt = 0;
    FakeList list3;
    Reports reports3;
    listWithScript(move, list3, reports3);
    QCOMPARE(reports3.lines, QStringList({"120 link lost at move"}));
    QCOMPARE(list3.items, QStringList({"a"}));
    QCOMPARE(move.log.mid(move.log.size() - 2), closing);
}

void TableListTest::shouldFilterByExactTypeAndCaseBlindSubstring() {
    Script s;
    s.rows = {{"TABLE", "Physics"},   {"table", "lower"},
              {"TABLE ", "padded"},   {"SYSTEM TABLE", "sysobjects"},
              {"VIEW", "v"},          {"TABLE", "SYSLOG"},
              {"TABLE", "mysysdata"}, {"TABLE", "Crisys"},
              {"TABLE", "sYs"},       {"TABLE", "S_Y_S"},
              {"TABLE", "Übersys"},   {"TABLE", "MiXeD"}};
    FakeList list;
    Reports reports;
    listWithScript(s, list, reports);
    QCOMPARE(list.items, QStringList({"Physics", "S_Y_S", "MiXeD"}));
    QCOMPARE(s.log.count(QStringLiteral("pump")), 8);
    QCOMPARE(reports.lines, QStringList());
}

QTEST_GUILESS_MAIN(TableListTest)
#include "tst_tablelist.moc"
