#include "db/connect/connection.h"
#include "db/connect/provider.h"
#include "db/connect/servercharset.h"
#include "db/odbc/odbc.h"
#include "db/read/recordset.h"
#include "db/write/rowdelete.h"
#include "db/write/rowwriter.h"
#include "support/sampledb.h"

#include <QTest>

// A server whose default character set is iso_1, as many Adaptive Server sites run: the
// driver converts on the client, a varchar(10) holds ten bytes of iso_1, and a character
// the set lacks cannot travel in a statement at all. Every case goes through FreeTDS and
// reads what the table holds afterwards over a second connection.
class ServerCharsetTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { db::restoreDefaultProviders(); }
    void shouldCountTheServersBytesInCharAndVarchar();
    void shouldWriteATextThatFitsTheColumnInTheServersBytes();
    void shouldRefuseACharacterTheSetLacksBeforeSendingAnything();
    void shouldFindAKeylessRowByTheValuesTheServerCanBeSent();
    void shouldMeasureTextInTheSetsSitesRun();
};

namespace {

const QString kShop = QStringLiteral("shop");

std::shared_ptr<db::RecordsetData> openTable(const QString& table) {
    db::Connection connection;
    connection.Open(testing::SampleServer::connectionString(kShop));
    db::Recordset recordset;
    recordset.Open("SELECT * FROM [" + table + "]", connection, db::adOpenDynamic,
                   db::adLockOptimistic);
    return recordset.DataSource();
}

QString valueOf(const QString& sql) {
    return testing::SampleServer::firstValue(kShop, sql);
}

// Requests of every connection so far that hold `text`.
int requestsHolding(testing::SampleServer& server, const std::string& text) {
    int count = 0;
    for (const tds::ConnectionLog& log : server.server().logs())
        for (const std::string& request : log.requests)
            count += request.find(text) != std::string::npos;
    return count;
}

} // namespace

void ServerCharsetTest::shouldCountTheServersBytesInCharAndVarchar() {
    testing::SampleServer server(tds::Charset::Iso1);
    server.createDatabase(kShop, {"CREATE TABLE people (id int NOT NULL PRIMARY KEY, "
                                  "name varchar(10) NULL, code char(8) NOT NULL)"});
    db::Connection connection;
    connection.Open(testing::SampleServer::connectionString(kShop));
    db::odbc::Statement insert(*connection.driver());
    insert.execDirect("INSERT INTO people VALUES (1, 'Müller-Lüdenscheid', 'Öl')");
    // Cut at ten bytes of iso_1, as the server keeps them; padded to eight of them.
    QCOMPARE(valueOf("SELECT name FROM people"), QString("Müller-Lüd"));
    QCOMPARE(valueOf("SELECT code FROM people"), QString("Öl      "));
    QCOMPARE(valueOf("SELECT @@client_csname"), QString("iso_1"));
    // The driver describes the column in the server's bytes.
    QCOMPARE(openTable("people")->rows.columns()[1].size, std::uint64_t(10));
}

void ServerCharsetTest::shouldWriteATextThatFitsTheColumnInTheServersBytes() {
    testing::SampleServer server(tds::Charset::Iso1);
    server.createDatabase(kShop, {"CREATE TABLE people (id int NOT NULL PRIMARY KEY, "
                                  "name varchar(10) NULL)",
                                  "INSERT INTO people VALUES (1, 'Maier')"});
    db::RowWriter writer(openTable("people"));
    // Ten characters, twelve bytes in UTF-8, ten in iso_1.
    const db::CellWriteResult fits = writer.write(0, 1, std::string("Müller-Lüd"));
    QVERIFY2(fits.status == db::WriteStatus::Written, qPrintable(fits.message));
    QCOMPARE(valueOf("SELECT name FROM people WHERE id = 1"), QString("Müller-Lüd"));
    const db::CellWriteResult longer = writer.write(0, 1, std::string("Müller-Lüde"));
    QCOMPARE(longer.status, db::WriteStatus::DoesNotFit);
    QVERIFY2(longer.message.contains("at most 10 bytes") && longer.message.contains("takes 11"),
             qPrintable(longer.message));
    QCOMPARE(valueOf("SELECT name FROM people WHERE id = 1"), QString("Müller-Lüd"));
}

void ServerCharsetTest::shouldRefuseACharacterTheSetLacksBeforeSendingAnything() {
    testing::SampleServer server(tds::Charset::Iso1);
    server.createDatabase(kShop, {"CREATE TABLE people (id int NOT NULL PRIMARY KEY, "
                                  "name varchar(40) NULL, native univarchar(20) NULL)",
                                  "INSERT INTO people VALUES (1, 'Walesa', 'Walesa')"});
    db::RowWriter writer(openTable("people"));
    const int updatesBefore = requestsHolding(server, "UPDATE");
    // The driver would send the literal emptied; the server would store nothing of it.
    // A univarchar column holds any character, but the statement carrying it is iso_1.
    for (const int column : {1, 2}) {
        const db::CellWriteResult refused = writer.write(0, column, std::string("Wałęsa"));
        QCOMPARE(refused.status, db::WriteStatus::DoesNotFit);
        QVERIFY2(refused.message.contains("iso_1") && refused.message.contains("“ł”"),
                 qPrintable(refused.message));
    }
    QCOMPARE(requestsHolding(server, "UPDATE"), updatesBefore);
    QCOMPARE(valueOf("SELECT name FROM people"), QString("Walesa"));
    QCOMPARE(valueOf("SELECT native FROM people"), QString("Walesa"));
    // What the set holds goes through, in both.
    QCOMPARE(writer.write(0, 1, std::string("Ærø")).status, db::WriteStatus::Written);
    QCOMPARE(writer.write(0, 2, std::string("Ærø")).status, db::WriteStatus::Written);
    QCOMPARE(requestsHolding(server, "UPDATE"), updatesBefore + 2);
    QCOMPARE(valueOf("SELECT name FROM people"), QString("Ærø"));
    QCOMPARE(valueOf("SELECT native FROM people"), QString("Ærø"));
}

void ServerCharsetTest::shouldFindAKeylessRowByTheValuesTheServerCanBeSent() {
    testing::SampleServer server(tds::Charset::Iso1);
    // A univarchar keeps what iso_1 lacks; the statements that look for the row cannot
    // carry it.
    server.createDatabase(kShop, {"CREATE TABLE notes (author varchar(20) NOT NULL, "
                                  "title univarchar(20) NULL, pages int NULL)",
                                  "INSERT INTO notes VALUES ('Zoë', 'Жанна', 1)",
                                  "INSERT INTO notes VALUES ('Anna', 'Ольга', 2)",
                                  "INSERT INTO notes VALUES ('Ida', 'Вера', 3)",
                                  "INSERT INTO notes VALUES ('Ida', 'Нина', 3)",
                                  "INSERT INTO notes VALUES ('Eva', 'Мария', 4)"});
    const auto data = openTable("notes");
    db::RowWriter writer(data);
    QVERIFY2(writer.readOnlyReason().isEmpty(), qPrintable(writer.readOnlyReason()));
    // Found by its author and pages; the title is compared once read.
    const db::CellWriteResult pages = writer.write(0, 2, std::string("5"));
    QVERIFY2(pages.status == db::WriteStatus::Written, qPrintable(pages.message));
    QCOMPARE(valueOf("SELECT pages FROM notes WHERE author = 'Zoë'"), QString("5"));
    const db::CellWriteResult title = writer.write(0, 1, std::string("Jana"));
    QVERIFY2(title.status == db::WriteStatus::Written, qPrintable(title.message));
    QCOMPARE(valueOf("SELECT title FROM notes WHERE author = 'Zoë'"), QString("Jana"));
    // A title changed elsewhere is seen, though the server was not asked about it.
    {
        db::Connection other;
        other.Open(testing::SampleServer::connectionString(kShop));
        db::odbc::Statement(*other.driver())
            .execDirect("UPDATE notes SET title = 'Olga' WHERE author = 'Anna'");
    }
    const db::CellWriteResult changed = writer.write(1, 2, std::string("7"));
    QCOMPARE(changed.status, db::WriteStatus::RowChanged);
    QCOMPARE(valueOf("SELECT pages FROM notes WHERE author = 'Anna'"), QString("2"));
    // Twins but for what cannot be sent: nothing tells them apart, nothing is changed.
    QCOMPARE(writer.write(2, 2, std::string("4")).status, db::WriteStatus::Ambiguous);
    db::RowDeleter deleter(writer);
    QCOMPARE(deleter.remove({3}).status, db::WriteStatus::Ambiguous);
    QCOMPARE(valueOf("SELECT count(*) FROM notes WHERE author = 'Ida' AND pages = 3"),
             QString("2"));
    // Deleted by the values the server can be sent.
    const db::CellWriteResult removed = deleter.remove({4});
    QVERIFY2(removed.status == db::WriteStatus::Written, qPrintable(removed.message));
    QCOMPARE(valueOf("SELECT count(*) FROM notes"), QString("4"));
    QCOMPARE(valueOf("SELECT count(*) FROM notes WHERE author = 'Eva'"), QString("0"));
}

void ServerCharsetTest::shouldMeasureTextInTheSetsSitesRun() {
    // The sets the test server does not speak, by Adaptive Server's names, converted as
    // the driver converts them.
    struct Case {
        const char* set;
        const char* text;
        std::size_t bytes;
        const char* missing;
    };
    const Case cases[] = {
        {"utf8", "Müller-Lüd 中文", 19, ""},
        {"iso_1", "Müller-Lüd", 10, ""},
        {"iso_1", "Müller €", 0, "€"},
        {"cp850", "Müller-Lüd", 10, ""},
        {"cp850", "Zürich €", 0, "€"},
        {"roman8", "Ærø", 3, ""},
        {"iso15", "€uro", 4, ""},
        {"sjis", "日本語", 6, ""},
        {"sjis", "Łódź", 0, "Ł"},
        {"no such set", "Müller", 7, ""},
    };
    for (const Case& c : cases) {
        const db::ServerCharset set{QString::fromUtf8(c.set)};
        const db::ServerCharset::Encoded encoded = set.encode(c.text);
        QCOMPARE(encoded.missing, QString::fromUtf8(c.missing));
        if (encoded.missing.isEmpty())
            QCOMPARE(encoded.bytes, c.bytes);
    }
}

QTEST_GUILESS_MAIN(ServerCharsetTest)
#include "tst_servercharset.moc"
