// The statement side driven as the TDS side drives it: batches and procedure calls into
// sessions, each on its own SQLite connection, and what the files hold afterwards.

#include "../sqlitebackend.h"
#include "recordingsink.h"

#include <cstdlib>
#include <functional>
#include <iostream>
#include <sqlite3.h>
#include <string>
#include <thread>
#include <unistd.h>

using namespace tds;
using namespace tds::sqlite;
using tds::sqlite::test::RecordingSink;

namespace {

int failures = 0;

std::ostream& operator<<(std::ostream& out, AseType type) {
    return out << int(type);
}

#define CHECK_EQ(actual, expected)                                                                 \
    do {                                                                                           \
        const auto a_ = (actual);                                                                  \
        const auto e_ = (expected);                                                                \
        if (!(a_ == e_)) {                                                                         \
            std::cerr << __FILE__ << ":" << __LINE__ << ": " #actual "\n  actual:   " << a_        \
                      << "\n  expected: " << e_ << "\n";                                           \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

struct Folder {
    std::string path;
    Folder() {
        char name[] = "/tmp/tds-sqlite-XXXXXX";
        path = mkdtemp(name);
    }
    ~Folder() { std::system(("rm -rf '" + path + "'").c_str()); }
};

// Creates <folder>/<name>.db the way the sample and the tests do: with SQLite itself.
void createDatabase(const std::string& folder, const std::string& name, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open((folder + "/" + name + ".db").c_str(), &db);
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::cerr << "setting up " << name << ": " << error << "\n";
        ++failures;
        sqlite3_free(error);
    }
    sqlite3_close(db);
}

RecordingSink run(Session& session, const std::string& batch) {
    RecordingSink sink;
    session.language(batch, sink);
    return sink;
}

// The first column of every row of `select`, read over a session of its own.
std::string column(Backend& backend, const std::string& select) {
    std::unique_ptr<Session> reader = backend.openSession("pubs");
    const RecordingSink sink = run(*reader, select);
    std::string out;
    for (std::size_t r = 0; r < sink.rows.size(); ++r)
        out += (r ? "|" : "") + sink.cell(r, 0);
    if (!sink.messages.empty())
        out += "!" + std::to_string(sink.messages.front().number);
    return out;
}

const char* const pubs = R"(
CREATE TABLE titles (title_id varchar(6) NOT NULL PRIMARY KEY, title varchar(20) NOT NULL,
  type char(12) NOT NULL, price numeric(10,2) NULL, advance money NULL,
  pubdate datetime NOT NULL, ytd int NULL, notes text NULL);
INSERT INTO titles VALUES ('BU1032', 'Busy Executive', 'business', 19.99, 5000, '1985-06-12 00:00:00', 4095, 'n');
INSERT INTO titles VALUES ('MC3026', 'Psychology', 'UNDECIDED', NULL, NULL, '1987-01-01', NULL, NULL);
CREATE TABLE audit (id int identity, title_id varchar(6) NOT NULL, stamp timestamp);
CREATE TABLE [order notes] (ord_num int NOT NULL PRIMARY KEY, note varchar(40) NULL,
  version timestamp NULL);
INSERT INTO [order notes] (ord_num, note) VALUES (1, 'first'), (2, 'second');
CREATE UNIQUE INDEX notes_by_text ON [order notes] (note);
CREATE VIEW titleview AS SELECT title, price FROM titles;
)";

struct Server {
    Folder folder;
    std::unique_ptr<SqliteBackend> backend;
    explicit Server(int lockWaitSeconds = -1) {
        createDatabase(folder.path, "pubs", pubs);
        BackendOptions options;
        options.folder = folder.path;
        options.lockWaitSeconds = lockWaitSeconds;
        backend = std::make_unique<SqliteBackend>(options);
    }
};

void shouldRunTheDriversCellWriteFromLoginToCommit() {
    Server server;
    std::unique_ptr<Session> session = server.backend->openSession("");
    RecordingSink setup = run(*session, "select @@spid use [pubs]");
    CHECK_EQ(setup.joined(), std::string("columns 1; done 1; database pubs from master; done"));
    CHECK_EQ(setup.formats.at(0).at(0).type, AseType::SmallInt);

    // What FreeTDS sends around one cell write, the literal pasted in as text.
    CHECK_EQ(run(*session, "BEGIN TRANSACTION").joined(), std::string("done"));
    RecordingSink update = run(*session, "UPDATE [titles] SET [price] = 21.50 WHERE "
                                         "[title_id] = 'BU1032' AND [price] = 19.99");
    CHECK_EQ(update.joined(), std::string("done 1"));
    // Not committed yet: a second session's read waits for the writer, here not at all.
    CHECK_EQ(column(*server.backend,
                    "set lock nowait SELECT price FROM titles WHERE title_id = 'BU1032'"),
             std::string("!12205"));
    CHECK_EQ(run(*session, "IF @@TRANCOUNT > 0 COMMIT BEGIN TRANSACTION").joined(),
             std::string("done; done"));
    CHECK_EQ(run(*session, "select @@trancount").cell(0, 0), std::string("1"));
    CHECK_EQ(run(*session, "IF @@TRANCOUNT > 0 ROLLBACK").joined(), std::string("done"));
    CHECK_EQ(run(*session, "select @@trancount").cell(0, 0), std::string("0"));
    CHECK_EQ(column(*server.backend, "SELECT [price] FROM [titles] WHERE [title_id] = 'BU1032'"),
             std::string("21.50"));

    // The re-read and the table as it opens: every row, every column, in its own form.
    RecordingSink all = run(*session, "SELECT * FROM [titles]");
    CHECK_EQ(all.joined(), std::string("columns 8; done 2"));
    CHECK_EQ(all.cell(0, 2), std::string("business    ")); // char(12), padded
    CHECK_EQ(all.cell(0, 4), std::string("5000.0000"));
    CHECK_EQ(all.cell(0, 5), std::string("1985-06-12 00:00:00.000"));
    CHECK_EQ(all.cell(1, 3), std::string("NULL"));
    const ColumnInfo& price = all.formats.at(0).at(3);
    CHECK_EQ(price.type, AseType::Numeric);
    CHECK_EQ(price.precision * 100 + price.scale, 1002);
    CHECK_EQ(price.table, std::string("titles"));
    CHECK_EQ(run(*session, "SELECT * FROM [titles] WHERE 1=0").joined(),
             std::string("columns 8; done 0"));
}

void shouldFindNoRowWhenASecondSessionChangedItFirst() {
    Server server;
    std::unique_ptr<Session> first = server.backend->openSession("pubs");
    std::unique_ptr<Session> second = server.backend->openSession("pubs");
    run(*second, "UPDATE [titles] SET [title] = 'Changed' WHERE [title_id] = 'BU1032'");
    run(*first, "BEGIN TRANSACTION");
    RecordingSink stale = run(*first, "UPDATE [titles] SET [title] = 'Mine' WHERE "
                                      "[title_id] = 'BU1032' AND [title] = 'Busy Executive'");
    CHECK_EQ(stale.joined(), std::string("done 0"));
    run(*first, "IF @@TRANCOUNT > 0 ROLLBACK");
    CHECK_EQ(column(*server.backend, "SELECT title FROM titles WHERE title_id = 'BU1032'"),
             std::string("Changed"));

    // The change lands while the first session's transaction still holds its read of the
    // row: its write looks at the row as it is now.
    run(*first, "BEGIN TRANSACTION");
    CHECK_EQ(run(*first, "SELECT title FROM titles WHERE title_id = 'BU1032'").cell(0, 0),
             std::string("Changed"));
    run(*second, "UPDATE titles SET title = 'Again' WHERE title_id = 'BU1032'");
    CHECK_EQ(run(*first, "UPDATE [titles] SET [title] = 'Mine' WHERE [title_id] = 'BU1032' "
                         "AND [title] = 'Changed'")
                 .joined(),
             std::string("done 0"));
    run(*first, "IF @@TRANCOUNT > 0 ROLLBACK");

    // The change commits while the first session waits for the second's lock.
    run(*second, "BEGIN TRANSACTION");
    run(*second, "UPDATE titles SET title = 'Third' WHERE title_id = 'BU1032'");
    std::atomic<int> polls{0};
    std::atomic<bool> finished{false};
    RecordingSink waited;
    waited.pollsSeen = &polls;
    std::thread writer([&] {
        first->language("UPDATE [titles] SET [title] = 'Mine' WHERE [title_id] = 'BU1032' AND "
                        "[title] = 'Again'",
                        waited);
        finished = true;
    });
    while (polls < 20 && !finished)
        std::this_thread::yield();
    run(*second, "COMMIT");
    writer.join();
    CHECK_EQ(waited.joined(), std::string("done 0"));
    CHECK_EQ(column(*server.backend, "SELECT title FROM titles WHERE title_id = 'BU1032'"),
             std::string("Third"));

    // A timestamp column changes with every write, so a locator holding it goes stale too.
    const std::string before = column(*server.backend, "SELECT version FROM [order notes] "
                                                       "WHERE ord_num = 1");
    run(*second, "UPDATE [order notes] SET note = 'again' WHERE ord_num = 1");
    const std::string after = column(*server.backend, "SELECT version FROM [order notes] "
                                                      "WHERE ord_num = 1");
    CHECK_EQ(after.size(), std::size_t(8));
    CHECK_EQ(before == after, false);
}

void shouldReportATriggersCountFirstAndHonourItsRollback() {
    Server server;
    createDatabase(server.folder.path, "pubs", R"(
CREATE TRIGGER titles_audit AFTER UPDATE ON titles BEGIN
  INSERT INTO audit (id, title_id) VALUES ((SELECT count(*) FROM audit) + 1, NEW.title_id);
  INSERT INTO audit (id, title_id) VALUES ((SELECT count(*) FROM audit) + 1, NEW.title_id);
END;
CREATE TRIGGER no_free_books BEFORE UPDATE OF price ON titles WHEN NEW.price = 0 BEGIN
  SELECT RAISE(ROLLBACK, 'Books are never free.');
END;
CREATE TRIGGER no_empty_titles BEFORE UPDATE OF title ON titles WHEN NEW.title = 'x' BEGIN
  SELECT RAISE(FAIL, 'Titles need a name.');
END;)");
    std::unique_ptr<Session> session = server.backend->openSession("pubs");
    RecordingSink update =
        run(*session, "UPDATE [titles] SET [ytd] = 1 WHERE [title_id] = 'BU1032'");
    CHECK_EQ(update.joined(), std::string("doneinproc 2; done 1"));

    // RAISE(FAIL) after one row has changed: the whole statement is undone, the
    // transaction stays.
    run(*session, "BEGIN TRANSACTION");
    run(*session, "UPDATE titles SET ytd = 7 WHERE title_id = 'BU1032'");
    RecordingSink fail = run(*session, "UPDATE titles SET title = 'x'");
    CHECK_EQ(fail.joined(), std::string("message 20000; done error"));
    CHECK_EQ(fail.messages.at(0).text, std::string("Titles need a name."));
    CHECK_EQ(run(*session, "select @@trancount").cell(0, 0), std::string("1"));

    // RAISE(ROLLBACK): the whole transaction goes, the earlier write in it too, and the
    // rest of the batch does not run.
    RecordingSink rollback = run(*session, "UPDATE titles SET price = 0 WHERE title_id = "
                                           "'BU1032' UPDATE titles SET ytd = 99");
    CHECK_EQ(rollback.joined(), std::string("message 20000; done error"));
    CHECK_EQ(run(*session, "select @@trancount").cell(0, 0), std::string("0"));
    CHECK_EQ(run(*session, "IF @@TRANCOUNT > 0 ROLLBACK").joined(), std::string("done"));
    CHECK_EQ(column(*server.backend, "SELECT ytd FROM titles ORDER BY title_id"),
             std::string("1|NULL"));
    CHECK_EQ(column(*server.backend, "SELECT count(*) FROM audit"), std::string("2"));
}

void shouldHoldWhatHoldlockReadsUntilTheTransactionEnds() {
    Server server;
    std::unique_ptr<Session> holder = server.backend->openSession("pubs");
    std::unique_ptr<Session> other = server.backend->openSession("pubs");
    const std::string update = "set lock wait 0 UPDATE titles SET ytd = 7 WHERE title_id = ";
    const std::string waited = "done; message 12205; done error";
    for (const std::string read : {"SELECT * FROM titles holdlock WHERE title_id = 'BU1032'",
                                   "SELECT * FROM titles WHERE title_id = 'BU1032' at isolation "
                                   "serializable"}) {
        run(*holder, "BEGIN TRANSACTION");
        CHECK_EQ(run(*holder, read).joined(), std::string("columns 8; done 1"));
        // Others still read, but no row read changes and none joins them until it ends.
        CHECK_EQ(run(*other, "SELECT count(*) FROM titles").joined(),
                 std::string("columns 1; done 1"));
        CHECK_EQ(run(*other, update + "'BU1032'").joined(), waited);
        CHECK_EQ(
            run(*other, "set lock wait 0 DELETE FROM titles WHERE title_id = 'MC3026'").joined(),
            waited);
        CHECK_EQ(run(*other, "set lock wait 0 INSERT INTO titles (title_id, title, type, pubdate) "
                             "VALUES ('BU1033', 'a', 'b', '2000-01-01')")
                     .joined(),
                 waited);
        // The holder writes what it read, and commits.
        CHECK_EQ(run(*holder, "UPDATE titles SET ytd = 5 WHERE title_id = 'BU1032'").joined(),
                 std::string("done 1"));
        run(*holder, "COMMIT");
        CHECK_EQ(run(*other, update + "'MC3026'").joined(), std::string("done; done 1"));
    }
    // Without holdlock a read in a transaction holds nothing.
    run(*holder, "BEGIN TRANSACTION");
    run(*holder, "SELECT * FROM titles WHERE title_id = 'BU1032'");
    CHECK_EQ(run(*other, update + "'BU1032'").joined(), std::string("done; done 1"));
    run(*holder, "ROLLBACK");
    CHECK_EQ(column(*server.backend, "SELECT ytd FROM titles ORDER BY title_id"),
             std::string("7|7"));
}

void shouldWaitForALockUntilCancelledOrTimedOut() {
    Server server;
    std::unique_ptr<Session> holder = server.backend->openSession("pubs");
    std::unique_ptr<Session> waiter = server.backend->openSession("pubs");
    run(*holder, "BEGIN TRANSACTION");
    run(*holder, "UPDATE titles SET ytd = 5 WHERE title_id = 'BU1032'");

    // The waiter waits as long as the holder keeps its lock, until the client cancels.
    RecordingSink cancelled;
    cancelled.cancelAfterPolls = 50;
    waiter->language("UPDATE titles SET ytd = 6 WHERE title_id = 'MC3026'", cancelled);
    CHECK_EQ(cancelled.joined(), std::string(""));
    CHECK_EQ(cancelled.polls >= 50, true);
    CHECK_EQ(run(*waiter, "select @@trancount").cell(0, 0), std::string("0"));

    // With a lock wait period the wait ends in 12205 and the waiter's transaction is gone.
    run(*waiter, "set lock wait 0");
    run(*waiter, "BEGIN TRANSACTION");
    RecordingSink timedOut = run(*waiter, "UPDATE titles SET ytd = 6 WHERE title_id = 'MC3026'");
    CHECK_EQ(timedOut.joined(), std::string("message 12205; done error"));
    CHECK_EQ(timedOut.messages.at(0).severity, 17);
    CHECK_EQ(timedOut.messages.at(0).text.substr(timedOut.messages.at(0).text.size() - 25),
             std::string("Aborting the transaction."));
    CHECK_EQ(run(*waiter, "select @@trancount").cell(0, 0), std::string("0"));

    // A reader waits for the holder's transaction too, until cancelled or timed out,
    // and sends nothing meanwhile.
    std::unique_ptr<Session> reader = server.backend->openSession("pubs");
    RecordingSink waitingRead;
    waitingRead.cancelAfterPolls = 30;
    reader->language("SELECT * FROM titles", waitingRead);
    CHECK_EQ(waitingRead.joined(), std::string(""));
    CHECK_EQ(waitingRead.polls, 30);
    CHECK_EQ(run(*reader, "set lock wait 0 SELECT * FROM titles").joined(),
             std::string("done; message 12205; done error"));
    // Another table is free to read.
    CHECK_EQ(run(*reader, "SELECT count(*) FROM audit").joined(), std::string("columns 1; done 1"));

    // The holder is untouched by either and commits; then the rows can be read.
    run(*holder, "COMMIT");
    CHECK_EQ(column(*server.backend, "SELECT ytd FROM titles ORDER BY title_id"),
             std::string("5|NULL"));
    CHECK_EQ(run(*reader, "SELECT * FROM titles").joined(), std::string("columns 8; done 2"));
}

void shouldKeepExactValuesExactAndRefuseWhatDoesNotFit() {
    Server server;
    createDatabase(server.folder.path, "pubs", R"(
CREATE TABLE exact (id int NOT NULL PRIMARY KEY, big numeric(38,10) NULL, price numeric(10,2) NULL,
  cash money NULL, little smallint NULL, stamp datetime NULL, day date NULL, clock time NULL,
  small smalldatetime NULL, fine bigdatetime NULL, serial numeric identity(10,0));
INSERT INTO exact (id, serial) VALUES (1, 1);)");
    std::unique_ptr<Session> s = server.backend->openSession("pubs");
    // The literal forms FreeTDS pastes for each bound type.
    CHECK_EQ(run(*s, "UPDATE [exact] SET [big] = 1234567890123456789012345678.0123456789, "
                     "[price] = 12345678.91, [cash] = 922337203685477.5807, [little] = -32768, "
                     "[stamp] = '2021-08-31 13:45:30.500000', "
                     "[day] = '2021-08-31 00:00:00.000000', "
                     "[clock] = '1900-01-01 23:59:59.997000', "
                     "[small] = '2021-08-31 13:45:40.000000', "
                     "[fine] = '2021-08-31 13:45:30.123456' WHERE [id] = 1")
                 .joined(),
             std::string("done 1"));
    RecordingSink row = run(*s, "SELECT * FROM [exact] WHERE [big] = "
                                "1234567890123456789012345678.0123456789 AND [price] = 12345678.91 "
                                "AND [cash] = 922337203685477.5807 AND [stamp] = '2021-08-31 "
                                "13:45:30.500000' AND [day] = '2021-08-31 00:00:00.000000' AND "
                                "[clock] = '1900-01-01 23:59:59.997000'");
    CHECK_EQ(row.rows.size(), std::size_t(1));
    if (row.rows.size() == 1) {
        CHECK_EQ(row.cell(0, 1), std::string("1234567890123456789012345678.0123456789"));
        CHECK_EQ(row.cell(0, 2), std::string("12345678.91"));
        CHECK_EQ(row.cell(0, 3), std::string("922337203685477.5807"));
        CHECK_EQ(row.cell(0, 4), std::string("-32768"));
        CHECK_EQ(row.cell(0, 5), std::string("2021-08-31 13:45:30.500"));
        CHECK_EQ(row.cell(0, 6), std::string("2021-08-31"));
        CHECK_EQ(row.cell(0, 7), std::string("23:59:59.997"));
        CHECK_EQ(row.cell(0, 8), std::string("2021-08-31 13:46:00.000"));
        CHECK_EQ(row.cell(0, 9), std::string("2021-08-31 13:45:30.123456"));
        CHECK_EQ(row.formats.at(0).at(10).identity, true);
    }
    // Datetime keeps 1/300 s: .999 becomes the next second, .002 shows as .003.
    run(*s, "UPDATE exact SET stamp = '2021-12-31 23:59:59.999' WHERE id = 1");
    CHECK_EQ(column(*server.backend, "SELECT stamp FROM exact"),
             std::string("2022-01-01 00:00:00.000"));
    run(*s, "UPDATE exact SET stamp = '2021-08-31 13:45:30.002' WHERE id = 1");
    CHECK_EQ(column(*server.backend, "SELECT stamp FROM exact"),
             std::string("2021-08-31 13:45:30.003"));

    // What does not fit is refused and changes nothing.
    auto refused = [&](const std::string& set) {
        RecordingSink sink = run(*s, "UPDATE exact SET " + set + " WHERE id = 1");
        return sink.messages.empty() ? 0 : sink.messages.front().number;
    };
    CHECK_EQ(refused("price = 19.999"), 241);
    CHECK_EQ(refused("price = 123456789.00"), 247);
    CHECK_EQ(refused("little = 32768"), 247);
    CHECK_EQ(refused("little = 1.5"), 241);
    CHECK_EQ(refused("stamp = '2024-02-30 00:00:00.000000'"), 249);
    CHECK_EQ(refused("price = '12.50'"), 257);
    CHECK_EQ(column(*server.backend, "SELECT price FROM exact"), std::string("12345678.91"));
    CHECK_EQ(column(*server.backend, "SELECT little FROM exact"), std::string("-32768"));
    // An overflow ends the transaction and the batch; a loss of scale only the statement.
    run(*s, "BEGIN TRANSACTION");
    run(*s, "UPDATE exact SET price = 1.00 WHERE id = 1");
    CHECK_EQ(run(*s, "UPDATE exact SET price = 1.001 UPDATE exact SET price = 2.00").joined(),
             std::string("message 241; done error; done 1"));
    CHECK_EQ(run(*s, "UPDATE exact SET little = 99999 UPDATE exact SET price = 3.00").joined(),
             std::string("message 247; done error"));
    CHECK_EQ(run(*s, "select @@trancount").cell(0, 0), std::string("0"));
    CHECK_EQ(column(*server.backend, "SELECT price FROM exact"), std::string("12345678.91"));
    // Comparing with a value the column cannot hold finds nothing, and is no error.
    CHECK_EQ(column(*server.backend, "SELECT count(*) FROM exact WHERE price = 12345678.911"),
             std::string("0"));

    // Identity values come from the server; one given by the client is refused.
    run(*s, "INSERT INTO exact (id) VALUES (2)");
    CHECK_EQ(column(*server.backend, "SELECT serial FROM exact ORDER BY id"), std::string("1|2"));
    CHECK_EQ(refused("id = 3") == 0, true);
    CHECK_EQ(run(*s, "INSERT INTO exact (id, serial) VALUES (4, 9)").messages.at(0).number, 584);
}

void shouldPadCharsAndCompareThemIgnoringTrailingBlanks() {
    Server server;
    createDatabase(server.folder.path, "pubs", R"(
CREATE TABLE codes (code char(6) NOT NULL PRIMARY KEY, label varchar(5) NULL, wide unichar(3) NULL,
  memo text NULL, raw varbinary(4) NULL, fixed binary(3) NOT NULL DEFAULT X'01', flag bit NOT NULL DEFAULT 0);
INSERT INTO codes (code) VALUES ('AB');)");
    std::unique_ptr<Session> s = server.backend->openSession("pubs");
    // A char key matches with or without its padding.
    CHECK_EQ(run(*s, "UPDATE [codes] SET [label] = 'far too long', [wide] = 'é', [raw] = "
                     "0xdeadbeef01 WHERE [code] = 'AB    '")
                 .joined(),
             std::string("done 1"));
    RecordingSink row = run(*s, "SELECT * FROM codes WHERE code = 'AB' AND label = 'far t   '");
    CHECK_EQ(row.rows.size(), std::size_t(1));
    if (row.rows.size() == 1) {
        CHECK_EQ(row.cell(0, 0), std::string("AB    "));
        CHECK_EQ(row.cell(0, 1), std::string("far t")); // cut to 5 without a message
        CHECK_EQ(row.cell(0, 2), std::string("é"));     // a char that allows nulls is not padded
        CHECK_EQ(row.cell(0, 4), std::string("\xde\xad\xbe\xef"));
    }
    // '' is kept as one blank; trailing blanks of a varchar are not kept.
    run(*s, "UPDATE codes SET label = '' WHERE code = 'AB'");
    CHECK_EQ(column(*server.backend, "SELECT label FROM codes WHERE label = ' '"),
             std::string(" "));
    run(*s, "UPDATE codes SET label = 'ab  ' WHERE code = 'AB'");
    CHECK_EQ(column(*server.backend, "SELECT label FROM codes WHERE label = 'ab'"),
             std::string("ab"));
    // unichar counts UTF-16 units, binary(n) is padded with zeros, bit takes any number.
    CHECK_EQ(run(*s, "UPDATE codes /* a comment */ SET wide = '\xF0\x9F\x98\x80"
                     "abc', flag = 5 "
                     "-- and another\n WHERE code = 'AB'")
                 .joined(),
             std::string("done 1"));
    RecordingSink more = run(*s, "SELECT wide, fixed, flag FROM codes");
    CHECK_EQ(more.cell(0, 0), std::string("\xF0\x9F\x98\x80"
                                          "a"));
    CHECK_EQ(more.cell(0, 1), std::string("\x01\0\0", 3));
    CHECK_EQ(more.cell(0, 2), std::string("1"));
    // text compares only with IS NULL.
    CHECK_EQ(run(*s, "SELECT * FROM codes WHERE memo = 'x'").messages.at(0).number, 306);
    CHECK_EQ(column(*server.backend, "SELECT count(*) FROM codes WHERE memo IS NULL"),
             std::string("1"));
}

void shouldAnswerFailuresWithAdaptiveServersNumbers() {
    Server server;
    std::unique_ptr<Session> s = server.backend->openSession("pubs");
    auto first = [&](const std::string& batch) {
        RecordingSink sink = run(*s, batch);
        if (sink.messages.empty())
            return std::string("none: ") + sink.joined();
        const Message& m = sink.messages.front();
        return std::to_string(m.number) + "/" + std::to_string(m.severity) + "/" + m.sqlstate +
               " " + sink.joined();
    };
    CHECK_EQ(first("SELECT * FROM [missing]"), std::string("208/16/42000 message 208; done error"));
    CHECK_EQ(first("SELECT [nope] FROM [titles]"),
             std::string("207/16/42000 message 207; done error"));
    CHECK_EQ(first("SELEC * FROM titles"), std::string("102/15/42000 message 102; done error"));
    CHECK_EQ(first("INSERT INTO titles (title_id, title, type, pubdate) VALUES ('BU1032', 'a', "
                   "'b', '2020-01-01')"),
             std::string("2601/14/23000 message 2601; done error"));
    CHECK_EQ(first("UPDATE [order notes] SET note = 'first' WHERE ord_num = 2"),
             std::string("2601/14/23000 message 2601; done error"));
    CHECK_EQ(first("UPDATE titles SET title = NULL"),
             std::string("233/16/23000 message 233; done error"));
    CHECK_EQ(first("use [nowhere]"), std::string("911/11/ZZZZZ message 911; done error"));
    CHECK_EQ(first("use [../pubs]"), std::string("911/11/ZZZZZ message 911; done error"));
    CHECK_EQ(first("COMMIT"), std::string("3902/16/ZZZZZ message 3902; done error"));
    // A statement's error leaves the batch going on; a syntax error stops all of it.
    CHECK_EQ(first("UPDATE titles SET title = NULL UPDATE titles SET ytd = 3"),
             std::string("233/16/23000 message 233; done error; done 2"));
    CHECK_EQ(first("UPDATE titles SET ytd = 4 SELEC"),
             std::string("102/15/42000 message 102; done error"));
    CHECK_EQ(column(*server.backend, "SELECT ytd FROM titles ORDER BY title_id"),
             std::string("3|3"));
    // Names with brackets, "]]" and quotes are the table's own, never SQL.
    createDatabase(server.folder.path, "pubs", "CREATE TABLE \"odd]name\"\"x\" (v int);");
    CHECK_EQ(first("INSERT INTO [odd]]name\"x] VALUES (1)"), std::string("none: done 1"));
    CHECK_EQ(first("SELECT * FROM [titles'; DROP TABLE titles; --]"),
             std::string("208/16/42000 message 208; done error"));
}

void shouldAnswerTheCatalogProceduresFromTheFile() {
    Server server;
    std::unique_ptr<Session> s = server.backend->openSession("pubs");
    RecordingSink tables;
    s->rpc("sp_tables", {}, tables);
    CHECK_EQ(tables.events.front(), std::string("doneinproc"));
    CHECK_EQ(tables.events.back(), std::string("status 0"));
    std::string listed;
    for (std::size_t r = 0; r < tables.rows.size(); ++r)
        if (tables.cell(r, 3) != "SYSTEM TABLE")
            listed += tables.cell(r, 3) + ":" + tables.cell(r, 2) + " ";
        else if (tables.cell(r, 2) == "sysobjects")
            listed += "SYSTEM TABLE:sysobjects ";
    CHECK_EQ(listed, std::string("SYSTEM TABLE:sysobjects TABLE:audit TABLE:order notes "
                                 "TABLE:titles VIEW:titleview "));
    CHECK_EQ(tables.cell(0, 0) + "." + tables.cell(0, 1), std::string("pubs.dbo"));

    RecordingSink keys;
    s->rpc("sp_pkeys", {{"@table_name", false, "titles"}}, keys);
    CHECK_EQ(keys.joined(), std::string("doneinproc; columns 6; doneinproc 1; status 0"));
    CHECK_EQ(keys.cell(0, 3) + "/" + keys.cell(0, 4), std::string("title_id/1"));

    RecordingSink stats;
    s->rpc("sp_statistics", {{"@table_name", false, "order notes"}, {"@is_unique", false, "Y"}},
           stats);
    std::string indexes;
    for (std::size_t r = 0; r < stats.rows.size(); ++r)
        indexes += stats.cell(r, 6) + ":" + stats.cell(r, 5) + ":" + stats.cell(r, 8) + " ";
    CHECK_EQ(indexes, std::string("0:NULL:NULL 1:order notes_pk:ord_num 3:notes_by_text:note "));
    CHECK_EQ(stats.cell(0, 10), std::string("2"));

    RecordingSink version;
    s->rpc("sp_special_columns", {{"", false, "order notes"}, {"@col_type", false, "V"}}, version);
    CHECK_EQ(version.rows.size(), std::size_t(1));
    if (!version.rows.empty())
        CHECK_EQ(version.cell(0, 1) + "/" + version.cell(0, 3), std::string("version/timestamp"));

    RecordingSink missing;
    s->rpc("sp_nothing", {}, missing);
    CHECK_EQ(missing.joined(), std::string("message 2812; done error"));
}

void shouldStopStreamingWhenTheClientStops() {
    Server server;
    createDatabase(server.folder.path, "pubs", R"(
CREATE TABLE many (n int NOT NULL);
WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 100000)
INSERT INTO many SELECT n FROM c;)");
    std::unique_ptr<Session> s = server.backend->openSession("pubs");
    RecordingSink sink;
    sink.stopAfterRows = 10;
    s->language("SELECT * FROM many SELECT count(*) FROM many", sink);
    CHECK_EQ(sink.joined(), std::string("columns 1"));
    CHECK_EQ(sink.rows.size(), std::size_t(10));
    // A long scan that sends nothing still ends on a cancel.
    RecordingSink scan;
    scan.cancelAfterPolls = 1;
    s->language("SELECT * FROM many WHERE n = -1", scan);
    CHECK_EQ(scan.joined(), std::string("columns 1"));
    // A long UPDATE cancelled in a transaction: nothing more is sent, the UPDATE is
    // undone, and what the transaction did before stays in it.
    run(*s, "BEGIN TRANSACTION");
    run(*s, "INSERT INTO many VALUES (-5)");
    RecordingSink update;
    update.cancelAfterPolls = 1;
    s->language("UPDATE many SET n = 0 SELECT count(*) FROM many", update);
    CHECK_EQ(update.joined(), std::string(""));
    CHECK_EQ(run(*s, "SELECT count(*) FROM many WHERE n = 0 OR n = -5").cell(0, 0),
             std::string("1"));
    CHECK_EQ(run(*s, "select @@trancount").cell(0, 0), std::string("1"));
    run(*s, "IF @@TRANCOUNT > 0 ROLLBACK");
    CHECK_EQ(column(*server.backend, "SELECT count(*) FROM many WHERE n <= 0"), std::string("0"));
    CHECK_EQ(run(*s, "SELECT count(*) FROM many WHERE n > 0").cell(0, 0), std::string("100000"));
    // A procedure's rows stop the same way.
    RecordingSink tables;
    tables.stopAfterRows = 1;
    s->language("exec sp_tables select 1", tables);
    CHECK_EQ(tables.joined(), std::string("doneinproc; columns 5"));
}

void shouldLocateRowsSqliteWroteAndKeepTheirConstraints() {
    Server server;
    createDatabase(server.folder.path, "pubs", R"(
CREATE TABLE stores (stor_id CHAR(4) NOT NULL PRIMARY KEY, name VARCHAR(20) NULL);
CREATE TABLE sales (stor_id CHAR(4) NOT NULL REFERENCES stores (stor_id), ord_num VARCHAR(20) NOT NULL,
  ord_date DATETIME NOT NULL, qty SMALLINT NOT NULL CHECK (qty > 0), discount NUMERIC(4,2) NOT NULL,
  day DATE NULL, PRIMARY KEY (stor_id, ord_num));
INSERT INTO stores VALUES ('7066', 'Barnum'), ('8042', 'Bookbeat');
INSERT INTO sales VALUES ('7066', 'A2976', '1993-05-24 00:00:00', 50, 5, '1985-06-12'),
  ('7066', 'QA7442.3', '1994-09-13 00:00:00', 75, 6.7, NULL);)");
    std::unique_ptr<Session> s = server.backend->openSession("pubs");
    // Every column as the locator, each in the literal form FreeTDS pastes for its type, on
    // values SQLite stored in its own forms (5 as INTEGER, 6.7 as REAL, dates without
    // fractions).
    CHECK_EQ(run(*s, "UPDATE [sales] SET [qty] = 51 WHERE [stor_id] = '7066' AND [ord_num] = "
                     "'A2976' AND [ord_date] = '1993-05-24 00:00:00.000000' AND [qty] = 50 AND "
                     "[discount] = 5.00 AND [day] = '1985-06-12 00:00:00.000000'")
                 .joined(),
             std::string("done 1"));
    CHECK_EQ(run(*s, "UPDATE [sales] SET [discount] = 6.75 WHERE [ord_num] = 'QA7442.3' AND "
                     "[discount] = 6.70 AND [day] IS NULL")
                 .joined(),
             std::string("done 1"));
    RecordingSink reread =
        run(*s, "SELECT * FROM [sales] WHERE [stor_id] = '7066' ORDER BY ord_num");
    CHECK_EQ(reread.rows.size(), std::size_t(2));
    if (reread.rows.size() == 2) {
        CHECK_EQ(reread.cell(0, 2) + " " + reread.cell(0, 3) + " " + reread.cell(0, 4) + " " +
                     reread.cell(0, 5),
                 std::string("1993-05-24 00:00:00.000 51 5.00 1985-06-12"));
        CHECK_EQ(reread.cell(1, 4), std::string("6.75"));
    }

    // Declared constraints answer with Adaptive Server's numbers and leave the row alone.
    auto number = [&](const std::string& batch) {
        RecordingSink sink = run(*s, batch);
        return sink.messages.empty() ? 0 : sink.messages.front().number;
    };
    CHECK_EQ(number("INSERT INTO sales VALUES ('9999', 'X1', '2020-01-01', 1, 0, NULL)"), 546);
    CHECK_EQ(number("DELETE FROM stores WHERE stor_id = '7066'"), 547);
    CHECK_EQ(number("UPDATE sales SET qty = 0 WHERE ord_num = 'A2976'"), 548);
    CHECK_EQ(column(*server.backend, "SELECT qty FROM sales ORDER BY ord_num"),
             std::string("51|75"));

    // Deletes and inserts count their rows; a new database is reached with use.
    CHECK_EQ(run(*s, "DELETE sales WHERE qty = 75").joined(), std::string("done 1"));
    CHECK_EQ(run(*s, "INSERT sales (stor_id, ord_num, ord_date, qty, discount) VALUES "
                     "('8042', 'N1', '2021-08-31 13:45:30.500000', 3, 1.5)")
                 .joined(),
             std::string("done 1"));
    createDatabase(server.folder.path, "other", "CREATE TABLE only_here (v int);");
    CHECK_EQ(run(*s, "use other select count(*) from only_here").joined(),
             std::string("database other from pubs; done; columns 1; done 1"));
    CHECK_EQ(run(*s, "SELECT * FROM sales").messages.at(0).number, 208);
}

void shouldRunChainedSessionsCutTextsAndRefuseCatalogCallsAsAdaptiveServerDoes() {
    Server server;
    std::unique_ptr<Session> s = server.backend->openSession("pubs");
    RecordingSink start = run(*s, "select @@tranchained, @@textsize, user_name()");
    CHECK_EQ(start.cell(0, 0) + " " + start.cell(0, 1) + " " + start.cell(0, 2),
             std::string("0 32768 dbo"));

    // Texts go out cut to @@textsize.
    const std::string note(40000, 'n');
    run(*s, "UPDATE titles SET notes = '" + note + "' WHERE title_id = 'BU1032'");
    const std::string read = "SELECT notes FROM titles WHERE title_id = 'BU1032'";
    CHECK_EQ(run(*s, read).cell(0, 0).size(), std::size_t(32768));
    run(*s, "set textsize 2147483647");
    CHECK_EQ(run(*s, read).cell(0, 0).size(), std::size_t(40000));
    run(*s, "set textsize 100");
    CHECK_EQ(run(*s, read).cell(0, 0).size(), std::size_t(100));
    run(*s, "set textsize 0");
    CHECK_EQ(run(*s, "select @@textsize").cell(0, 0), std::string("32768"));

    // Chained: the first data statement begins a transaction, a begin nests in it, and
    // only the outermost commit commits; a closed session rolls back what stays open.
    run(*s, "set chained on");
    CHECK_EQ(run(*s, "select @@trancount, @@tranchained").cell(0, 1), std::string("1"));
    CHECK_EQ(run(*s, "select @@trancount").cell(0, 0), std::string("0"));
    run(*s, "UPDATE titles SET title = 'Chained' WHERE title_id = 'BU1032'");
    run(*s, "BEGIN TRANSACTION");
    CHECK_EQ(run(*s, "select @@trancount").cell(0, 0), std::string("2"));
    run(*s, "COMMIT TRANSACTION");
    CHECK_EQ(run(*s, "select @@trancount").cell(0, 0), std::string("1"));
    CHECK_EQ(run(*s, "set chained off").messages.at(0).number, 226);
    CHECK_EQ(run(*s, "exec sp_tables").messages.at(0).number, 7713);
    s->close();
    CHECK_EQ(column(*server.backend, "SELECT title FROM titles WHERE title_id = 'BU1032'"),
             std::string("Busy Executive"));

    // Unchained, inside a transaction: the procedures that build work tables refuse.
    std::unique_ptr<Session> t = server.backend->openSession("pubs");
    run(*t, "BEGIN TRANSACTION");
    RecordingSink pkeys = run(*t, "exec sp_pkeys 'titles'");
    CHECK_EQ(pkeys.messages.at(0).number, 20001);
    CHECK_EQ(pkeys.messages.at(0).text,
             std::string("Catalog procedure sp_pkeys can not be run in a transaction."));
    CHECK_EQ(run(*t, "exec sp_statistics 'titles'").messages.at(0).number, 20001);
    CHECK_EQ(run(*t, "exec sp_tables").messages.empty(), true);
    run(*t, "ROLLBACK");
    CHECK_EQ(run(*t, "exec sp_pkeys 'titles'").messages.empty(), true);
}

} // namespace

void shouldMatchLikeAsAdaptiveServerDocumentsIt() {
    Server server;
    createDatabase(server.folder.path, "pubs", R"(
CREATE TABLE words (id int NOT NULL PRIMARY KEY, w varchar(12) NULL, c char(6) NOT NULL,
  memo text NULL, n int NULL);
INSERT INTO words VALUES (1, 'cat', 'cat', 'a cat', 1), (2, 'cot', 'cot', NULL, 2),
  (3, '5%', '5%', '50% off', 3), (4, '_n', 'an', NULL, 4), (5, '[x]', ']', NULL, 5),
  (6, 'Cat', 'Cut', NULL, 6), (7, NULL, '-', NULL, 7);
CREATE INDEX words_n ON words (n);)");
    const auto ids = [&](const std::string& where) {
        return column(*server.backend, "SELECT id FROM words WHERE " + where);
    };
    CHECK_EQ(ids("w LIKE 'c%'"), std::string("1|2")); // binary sort order: "C" is not "c"
    CHECK_EQ(ids("w LIKE 'c_t'"), std::string("1|2"));
    CHECK_EQ(ids("w LIKE '[ab]%' OR w LIKE '[a-c]at'"), std::string("1"));
    CHECK_EQ(ids("w LIKE 'c[^a]t'"), std::string("2"));
    CHECK_EQ(ids("w NOT LIKE 'c%'"), std::string("3|4|5|6")); // NULL matches neither
    // Wildcards as literals: brackets (a Transact-SQL extension) or an escape character.
    CHECK_EQ(ids("w LIKE '5[%]'"), std::string("3"));
    CHECK_EQ(ids("w LIKE '[_]n'"), std::string("4"));
    CHECK_EQ(ids("w LIKE '_n'"), std::string("4"));
    CHECK_EQ(ids("w LIKE '[[]x[]]'"), std::string("5"));
    CHECK_EQ(ids("w LIKE '[[]x]'"), std::string("5"));
    CHECK_EQ(ids("c LIKE '[]]'"), std::string("5"));
    CHECK_EQ(ids("c LIKE '[-]'"), std::string("7"));
    CHECK_EQ(ids("w LIKE '5@%' ESCAPE '@'"), std::string("3"));
    CHECK_EQ(ids("w LIKE '%@_%' escape '@'"), std::string("4"));
    // char values padded by their column still match without the padding.
    CHECK_EQ(ids("c LIKE 'cat'"), std::string("1"));
    // text compares with LIKE.
    CHECK_EQ(ids("memo LIKE '%[%]%'"), std::string("3"));
    // Exact numbers with a scale order by value, whatever their stored form.
    createDatabase(server.folder.path, "pubs",
                   "CREATE TABLE prices (id int NOT NULL, p numeric(10,2) NULL);"
                   "INSERT INTO prices VALUES (1, 19.99), (2, 5), (3, 100.5), (4, -7.25);");
    CHECK_EQ(column(*server.backend, "SELECT id FROM prices WHERE p > 5"), std::string("1|3"));
    CHECK_EQ(column(*server.backend, "SELECT id FROM prices WHERE p <= 5.00"), std::string("2|4"));
    CHECK_EQ(column(*server.backend, "SELECT id FROM prices WHERE p < -7"), std::string("4"));
    // A number column takes no pattern: 257.
    CHECK_EQ(ids("n LIKE '1'"), std::string("!257"));
    // A comparison on an indexed column searches the index.
    CHECK_EQ(column(*server.backend, "SELECT count(*) FROM words WHERE n = 3"), std::string("1"));
    sqlite3* db = nullptr;
    sqlite3_open((server.folder.path + "/pubs.db").c_str(), &db);
    sqlite3_stmt* plan = nullptr;
    sqlite3_prepare_v2(db, "EXPLAIN QUERY PLAN SELECT * FROM words WHERE n = ?", -1, &plan,
                       nullptr);
    std::string steps;
    while (sqlite3_step(plan) == SQLITE_ROW)
        steps += reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
    sqlite3_finalize(plan);
    sqlite3_close(db);
    CHECK_EQ(steps.find("USING INDEX words_n") != std::string::npos, true);
}

int main() {
    const std::pair<const char*, void (*)()> tests[] = {
        {"shouldRunTheDriversCellWriteFromLoginToCommit",
         shouldRunTheDriversCellWriteFromLoginToCommit},
        {"shouldFindNoRowWhenASecondSessionChangedItFirst",
         shouldFindNoRowWhenASecondSessionChangedItFirst},
        {"shouldReportATriggersCountFirstAndHonourItsRollback",
         shouldReportATriggersCountFirstAndHonourItsRollback},
        {"shouldWaitForALockUntilCancelledOrTimedOut", shouldWaitForALockUntilCancelledOrTimedOut},
        {"shouldHoldWhatHoldlockReadsUntilTheTransactionEnds",
         shouldHoldWhatHoldlockReadsUntilTheTransactionEnds},
        {"shouldKeepExactValuesExactAndRefuseWhatDoesNotFit",
         shouldKeepExactValuesExactAndRefuseWhatDoesNotFit},
        {"shouldPadCharsAndCompareThemIgnoringTrailingBlanks",
         shouldPadCharsAndCompareThemIgnoringTrailingBlanks},
        {"shouldAnswerFailuresWithAdaptiveServersNumbers",
         shouldAnswerFailuresWithAdaptiveServersNumbers},
        {"shouldAnswerTheCatalogProceduresFromTheFile",
         shouldAnswerTheCatalogProceduresFromTheFile},
        {"shouldStopStreamingWhenTheClientStops", shouldStopStreamingWhenTheClientStops},
        {"shouldLocateRowsSqliteWroteAndKeepTheirConstraints",
         shouldLocateRowsSqliteWroteAndKeepTheirConstraints},
        {"shouldRunChainedSessionsCutTextsAndRefuseCatalogCallsAsAdaptiveServerDoes",
         shouldRunChainedSessionsCutTextsAndRefuseCatalogCallsAsAdaptiveServerDoes},
        {"shouldMatchLikeAsAdaptiveServerDocumentsIt", shouldMatchLikeAsAdaptiveServerDocumentsIt},
    };
    for (const auto& [name, test] : tests) {
        const int before = failures;
        test();
        std::cout << (failures == before ? "PASS   " : "FAIL!  ") << name << std::endl;
    }
    std::cout << (failures ? "FAILED" : "All passed") << "\n";
    return failures ? 1 : 0;
}
