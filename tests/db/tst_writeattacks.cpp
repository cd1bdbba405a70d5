#include "db/write/cellblockwrite.h"
#include "db/write/rowdelete.h"
#include "db/write/rowinsert.h"
#include "db/write/rowwriter.h"
#include "support/tablefixture.h"

#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

// Writes under attack, through the FreeTDS driver against the test server, each checked
// by reading the table afterwards over a connection of its own: a column the block read
// could step through wrongly, another user acting between the check of a row and its
// write, a trigger that changes the row written, a value the column cannot hold.
class WriteAttacksTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldReadEveryTypeInOneBlockAndWriteTheRowShown();
    void shouldDeleteExactlyTheRowsShownWhileAnotherUserChangesOne();
    void shouldNeverChangeTwoRowsOfAKeylessTableWhenATwinArrives();
    void shouldTellTheRowWrittenFromRowsLikeItUnderATrigger();
    void shouldRefuseApproximateNumbersTheColumnCannotHoldAsTyped();
};

using testing::changeElsewhere;
using testing::openTable;
using testing::valueOf;

namespace {

// Another user's statement, sent over a connection of its own as soon as the server holds
// a request of the write whose text holds `held` (the stall fault mode), on a thread of
// its own: it may have to wait for the write's locks.
class ActWhileHeld {
  public:
    ActWhileHeld(testing::SampleServer& server, const std::string& held, const QString& sql)
        : server_(server), held_(held) {
        tds::Faults faults;
        faults.stallOn = held;
        faults.stallMs = 2500;
        server.server().setFaults(faults);
        seen_ = heldRequests();
        thread_ = std::thread([this, sql] {
            db::Connection connection;
            connection.Open(testing::SampleServer::connectionString(testing::kCatalog));
            if (!waitForHeldRequest())
                return;
            db::odbc::Statement statement(*connection.driver());
            statement.execDirect(sql);
            db::drainResults(statement);
            acted_ = true;
        });
    }
    ~ActWhileHeld() { finish(); }
    ActWhileHeld(const ActWhileHeld&) = delete;
    ActWhileHeld& operator=(const ActWhileHeld&) = delete;

    // Waits for the other user's statement to end; true when it was sent while held.
    bool finish() {
        if (thread_.joinable())
            thread_.join();
        server_.server().setFaults({});
        return acted_;
    }

  private:
    int heldRequests() const {
        int count = 0;
        for (const tds::ConnectionLog& log : server_.server().logs())
            for (const std::string& request : log.requests)
                count += request.find(held_) != std::string::npos;
        return count;
    }
    bool waitForHeldRequest() const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < end) {
            if (heldRequests() > seen_)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    testing::SampleServer& server_;
    std::string held_;
    int seen_ = 0; // requests holding `held_` before the write
    std::thread thread_;
    std::atomic<bool> acted_{false};
};

int countOf(const QString& where = {}) {
    return valueOf(QStringLiteral("SELECT count(*) FROM t") +
                   (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where))
        .toInt();
}

} // namespace

void WriteAttacksTest::shouldReadEveryTypeInOneBlockAndWriteTheRowShown() {
    testing::SampleServer server;
    server.createDatabase(
        testing::kCatalog,
        {"CREATE TABLE every (i int NOT NULL, si smallint NULL, ti tinyint NULL, bi bigint NULL, "
         "nu numeric(10,3) NULL, de decimal(8,2) NULL, mo money NULL, sm smallmoney NULL, "
         "fl float NULL, re real NULL, r4 float(4) NULL, dt datetime NULL, "
         "sd smalldatetime NULL, da date NULL, tm time NULL, bd bigdatetime NULL, "
         "ch char(6) NULL, vc varchar(20) NULL, uc unichar(4) NULL, uv univarchar(10) NULL, "
         "tx text NULL, im image NULL, bt bit NULL, bn binary(3) NULL, vb varbinary(5) NULL, "
         "ts timestamp)",
         "CREATE TABLE t (name varchar(10) NULL, ratio real NULL)"});
    const QStringList ratios = {"0.25", "0.5", "1.5", "2", "-3", "7.75"};
    for (int r = 1; r <= 6; ++r) {
        // Row 4 holds NULL in every column but the first.
        QString values =
            r == 4 ? QStringLiteral("4, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
                                    "NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
                                    "NULL, NULL, NULL, NULL, NULL")
                   : QStringLiteral("#, -#, %1, %2, #.125, #.5, #.2345, -#.25, #.0625, %3, "
                                    "-#.75, '2024-0#-0# 0#:1#:2#', '2023-0#-1# 0#:0#', "
                                    "'200#-0#-2#', '1#:2#:3#', '2022-0#-1# 0#:00:00', "
                                    "'c#', 'text # of 20', 'é#', 'ü#ß', 'long text #', 0x0#, "
                                    "%4, 0x0#0#, 0x0#ff");
        values.replace(QLatin1Char('#'), QString::number(r));
        if (r != 4)
            values = values.arg(r * 40)
                         .arg(qint64(r) * 1000000000000LL + r)
                         .arg(ratios[r - 1])
                         .arg(r % 2);
        changeElsewhere(server,
                        QStringLiteral("INSERT INTO every (i, si, ti, bi, nu, de, mo, sm, fl, re, "
                                       "r4, dt, sd, da, tm, bd, ch, vc, uc, uv, tx, im, bt, bn, "
                                       "vb) VALUES (") +
                            values + QLatin1Char(')'));
        changeElsewhere(
            server,
            QStringLiteral("INSERT INTO t VALUES ('row %1', %2)").arg(r).arg(ratios[r - 1]));
    }

    // One block of rows, compared cell by cell with the same rows read one cell at a time.
    const auto every = openTable("every");
    QCOMPARE(every->rows.rowCount(), 6);
    db::BoundQuery query;
    query.sql = QStringLiteral("SELECT * FROM [every]");
    db::Connection connection;
    connection.Open(testing::SampleServer::connectionString(testing::kCatalog));
    const std::vector<db::RowValues> cells =
        query.select(*connection.driver(), every->rows.columns(), 30, 100);
    QCOMPARE(int(cells.size()), 6);
    for (int r = 0; r < 6; ++r) {
        for (int c = 0; c < every->rows.columnCount(); ++c) {
            const db::CellValue block = every->rows.isNull(r, c)
                                            ? db::CellValue()
                                            : db::CellValue(std::string(every->rows.bytes(r, c)));
            QVERIFY2(
                block == cells[std::size_t(r)][std::size_t(c)],
                qPrintable(QStringLiteral("row %1, column %2: %3 read in a block, %4 alone")
                               .arg(r + 1)
                               .arg(every->rows.columns()[std::size_t(c)].name,
                                    QString::fromStdString(block.value_or("NULL")),
                                    QString::fromStdString(
                                        cells[std::size_t(r)][std::size_t(c)].value_or("NULL")))));
        }
        QCOMPARE(every->rows.isNull(r, 1), r == 3);
    }
    QCOMPARE(every->rows.text(5, 9), QString("7.75"));
    QCOMPARE(every->rows.text(4, 10), QString("-5.75"));

    // In a table without a key, an edit and a delete reach the row shown.
    const auto rows = openTable("t");
    for (int r = 0; r < 6; ++r)
        QCOMPARE(rows->rows.text(r, 1), ratios[r]);
    db::RowWriter writer(rows);
    QCOMPARE(writer.write(1, 0, std::string("edited")).status, db::WriteStatus::Written);
    QCOMPARE(valueOf("SELECT name FROM t WHERE ratio = 0.5"), QString("edited"));
    QCOMPARE(valueOf("SELECT name FROM t WHERE ratio = 1.5"), QString("row 3"));
    db::RowDeleter deleter(writer);
    QCOMPARE(deleter.remove({2}).status, db::WriteStatus::Written);
    QCOMPARE(countOf("ratio = 1.5"), 0);
    QCOMPARE(countOf("ratio = 2"), 1);
    QCOMPARE(countOf(), 5);
}

void WriteAttacksTest::shouldDeleteExactlyTheRowsShownWhileAnotherUserChangesOne() {
    testing::SampleServer server;
    server.createDatabase(testing::kCatalog,
                          {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(20) NULL)",
                           "INSERT INTO t VALUES (1, 'pen'), (2, 'ink'), (3, 'nib')"});
    const auto rows = openTable("t");
    db::RowWriter writer(rows);
    db::RowDeleter deleter(writer);
    // Row 1 changes after it was checked and before its DELETE runs.
    ActWhileHeld other(server, "DELETE", "UPDATE t SET name = 'changed' WHERE id = 1");
    const db::CellWriteResult result = deleter.remove({0, 1});
    QVERIFY(other.finish());
    // Either both rows went, before the change could land, or neither did and the grid
    // says so: never "deleted" with a row left behind.
    if (result.status == db::WriteStatus::Written) {
        QCOMPARE(countOf("id = 1 OR id = 2"), 0);
    } else {
        QCOMPARE(countOf("id = 2"), 1);
        QVERIFY2(!result.message.isEmpty(), "a refusal without a reason");
    }
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 3"), QString("nib"));
}

void WriteAttacksTest::shouldNeverChangeTwoRowsOfAKeylessTableWhenATwinArrives() {
    testing::SampleServer server;
    server.createDatabase(testing::kCatalog,
                          {"CREATE TABLE t (name varchar(20) NULL, n int NULL)",
                           "INSERT INTO t VALUES ('pen', 1), ('ink', 2), ('nib', 3)"});
    const auto rows = openTable("t");
    db::RowWriter writer(rows);
    QVERIFY2(writer.readOnlyReason().isEmpty(), qPrintable(writer.readOnlyReason()));
    // Each time another user adds a twin of the row between its check and its write: the
    // write changes the one row it checked (the twin keeps its values), or nothing.
    {
        ActWhileHeld other(server, "UPDATE", "INSERT INTO t VALUES ('ink', 2)");
        const db::CellWriteResult edit = writer.write(1, 0, std::string("edited"));
        QVERIFY(other.finish());
        QCOMPARE(countOf("name = 'edited'"), edit.status == db::WriteStatus::Written ? 1 : 0);
        QCOMPARE(countOf("n = 2"), 2);
    }
    {
        ActWhileHeld other(server, "UPDATE", "INSERT INTO t VALUES ('pen', 1)");
        db::CellBlockWriter paste(writer);
        const db::CellWriteResult pasted = paste.write({{0, 0, std::string("pasted"), {}, {}}});
        QVERIFY(other.finish());
        QCOMPARE(countOf("name = 'pasted'"), pasted.status == db::WriteStatus::Written ? 1 : 0);
        QCOMPARE(countOf("n = 1"), 2);
    }
    {
        ActWhileHeld other(server, "DELETE", "INSERT INTO t VALUES ('nib', 3)");
        db::RowDeleter deleter(writer);
        const db::CellWriteResult removed = deleter.remove({2});
        QVERIFY(other.finish());
        QCOMPARE(countOf("name = 'nib'"), removed.status == db::WriteStatus::Written ? 1 : 2);
    }
    QCOMPARE(countOf(), 5);
}

void WriteAttacksTest::shouldTellTheRowWrittenFromRowsLikeItUnderATrigger() {
    testing::SampleServer server;
    // Triggers that change the row written, in a table where another row already holds
    // the values typed.
    server.createDatabase(
        testing::kCatalog,
        {"CREATE TABLE t (name varchar(20) NULL, n int NULL)",
         "INSERT INTO t VALUES ('pen', 1), ('ink', 2), ('nib', 2), ('cap', 3)",
         "CREATE TRIGGER marked AFTER INSERT ON t BEGIN "
         "UPDATE t SET name = name || '!' WHERE rowid = NEW.rowid AND NEW.n = 1; END",
         "CREATE TRIGGER stamped AFTER UPDATE OF name ON t BEGIN "
         "UPDATE t SET name = name || '?' WHERE rowid = NEW.rowid AND NEW.n = 2; END"});
    const auto rows = openTable("t");
    db::RowWriter writer(rows);
    db::RowInserter inserter(writer);
    // 1. An insert whose row the trigger changes, while an older row holds what was typed.
    const db::CellWriteResult added = inserter.insert({std::string("pen"), std::string("1")});
    QCOMPARE(added.status, db::WriteStatus::NotKept);
    QCOMPARE(countOf(), 4);
    QCOMPARE(countOf("name = 'pen!'"), 0);
    QCOMPARE(rows->rows.rowCount(), 4);
    // 2. An edit whose row the trigger changes, while another row holds the value typed.
    const db::CellWriteResult edited = writer.write(1, 0, std::string("nib"));
    QCOMPARE(edited.status, db::WriteStatus::NotKept);
    QCOMPARE(countOf("name = 'ink'"), 1);
    QCOMPARE(countOf("name = 'nib?'"), 0);
    // 3. Rows the triggers leave alone are added and edited, also beside a twin.
    const db::CellWriteResult twin = inserter.insert({std::string("cap"), std::string("3")});
    QCOMPARE(twin.status, db::WriteStatus::Written);
    QCOMPARE(countOf("name = 'cap'"), 2);
    QCOMPARE(writer.write(0, 0, std::string("lid")).status, db::WriteStatus::Written);
    QCOMPARE(countOf("name = 'lid' AND n = 1"), 1);
    QCOMPARE(countOf("name = 'pen'"), 0);
}

void WriteAttacksTest::shouldRefuseApproximateNumbersTheColumnCannotHoldAsTyped() {
    testing::SampleServer server;
    server.createDatabase(testing::kCatalog,
                          {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, re real NULL, "
                           "fl float NULL)",
                           "INSERT INTO t VALUES (1, 1.5, 2.5)"});
    const auto rows = openTable("t");
    db::RowWriter writer(rows);
    struct Case {
        int column;
        const char* typed;
        bool fits;
    };
    const Case cases[] = {
        {1, "1e-50", false},   {1, "16777217", false}, {1, "0.1", true},
        {1, "16777216", true}, {1, "-0.0025", true},   {2, "9007199254740993", false},
        {2, "1e-400", false},  {2, "1e-50", true},     {2, "0.30000000000000004", true},
    };
    for (const Case& c : cases) {
        const QString before =
            valueOf(QStringLiteral("SELECT %1 FROM t").arg(c.column == 1 ? "re" : "fl"));
        const db::CellWriteResult result = writer.write(0, c.column, std::string(c.typed));
        QVERIFY2((result.status == db::WriteStatus::Written) == c.fits,
                 qPrintable(QStringLiteral("%1: %2").arg(c.typed, result.message)));
        const QString after =
            valueOf(QStringLiteral("SELECT %1 FROM t").arg(c.column == 1 ? "re" : "fl"));
        if (!c.fits) {
            QCOMPARE(result.status, db::WriteStatus::DoesNotFit);
            QCOMPARE(after, before);
        } else {
            QCOMPARE(rows->rows.text(0, c.column), QString(c.typed));
        }
    }
    QCOMPARE(valueOf("SELECT count(*) FROM t WHERE fl = 0.30000000000000004"), QString("1"));
}

QTEST_GUILESS_MAIN(WriteAttacksTest)
#include "tst_writeattacks.moc"
