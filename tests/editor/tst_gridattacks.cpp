#include "db/read/recordset.h"
#include "editor/gridfixture.h"
#include "model/gridcopy.h"
#include "model/recordsetmodel.h"
#include "pages/editor/copynull.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/gridedits.h"
#include "pages/editor/gridrefresh.h"
#include "pages/editor/loadband.h"
#include "support/fakeplatform.h"
#include "support/readhold.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <chrono>
#include <thread>

// The grid's actions under attack, driven by the keys a user presses, through FreeTDS
// against the test server; what the table holds is read over a second connection.
class GridAttacksTest : public QObject, testing::GridFixture {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    // Refresh: another user's lock, a looked-for row arriving under an open editor.
    void shouldRefreshWhileAnotherUserHoldsTheTableAndStopOnRequest();
    void shouldLeaveAnOpenEditorWhereItIsWhenTheLookedForRowArrives();
    // Paste, fill and NULL where the user selected, all or nothing.
    void shouldPasteFillAndNullTheSelectedCellsInOneTransaction();
    void shouldRefuseANewRowBlockThatDoesNotFitAndAddSeveralRowsAllOrNothing();
    void shouldKeepTheTextNullApartFromNullAndTakeUnquotedTextAsItStands();
    // Undo: only rows still shown, and only while the table holds what was written.
    void shouldUndoOnlyWhileTheRowIsAsWrittenAndShown();
    // Twins: marked as they arrive, deleted together only when all are selected and held.
    void shouldMarkTwinsAndDeleteThemOnlyAllTogetherWhileAnotherUserAddsOne();
    // A refused delete or paste repaints the rows it read again, as the table holds them.
    void shouldRepaintTheRowsARefusedDeleteOrPasteReadAgain();

  private:
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : grid_.get(),
                        Qt::Key(key), modifiers);
    }
    void type(const QString& text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    // Puts the current cell on a cell, selecting it alone.
    void go(int row, int column) {
        // The modifiers of the last key pressed (Shift, Ctrl) let go first.
        QTest::keyRelease(grid_.get(), Qt::Key_Shift, Qt::NoModifier);
        grid_->setCurrentIndex(model().index(row, column));
        grid_->setFocus();
    }
    // Enter in an editor: the delegate commits on the next turn of the event loop.
    void enter() {
        press(Qt::Key_Return);
        QVERIFY(QTest::qWaitFor([&] { return !grid_->isEditing(); }, 20000));
    }
    QString boxes() { return GridFixture::boxes().join(QLatin1Char('\n')); }
    static QString value(const QString& sql) { return testing::valueOf(sql); }
    // Whether a view row's header marks it as a twin.
    bool marked(int row) {
        return model().headerData(row, Qt::Vertical).toString().contains(QChar(0x2261));
    }
    std::vector<int> markedRows() {
        std::vector<int> rows;
        for (int row = 0; row < model().shownRows(); ++row)
            if (marked(row))
                rows.push_back(row);
        return rows;
    }
    // A click on a row's header, with Ctrl: the row joins the selection.
    void addRow(int row) {
        QHeaderView* header = grid_->verticalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          QPoint(4, header->sectionViewportPosition(row) + 4));
    }
};

void GridAttacksTest::init() {
    makeGrid(600, 400);
    confirmDeletes();
    showGrid();
    grid_->setFocus();
}

void GridAttacksTest::cleanup() {
    pages::setCopyNullWord(QString());
    dropGrid();
    QVERIFY(QTest::qWaitFor([] { return db::recordsetReadsUnderWay() == 0; }, 20000));
}

void GridAttacksTest::shouldRefreshWhileAnotherUserHoldsTheTableAndStopOnRequest() {
    server_->createDatabase(testing::kCatalog,
                            {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(20) NULL)",
                             "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c')"});
    open("t");
    const std::shared_ptr<db::RecordsetData> old = grid_->DataSource();
    go(1, 1);
    // Another user changes a row and keeps the transaction open: a read waits for them.
    db::Connection holder;
    holder.Open(testing::SampleServer::connectionString(testing::kCatalog));
    db::odbc::Statement holding(*holder.driver());
    holding.execDirect(QStringLiteral("BEGIN TRAN"));
    db::drainResults(holding);
    holding.execDirect(QStringLiteral("UPDATE t SET name = 'held' WHERE id = 2"));
    db::drainResults(holding);

    // F5 returns at once; the rows shown stay, nothing can be typed over them, and the
    // band says what goes on, with Stop.
    QElapsedTimer clock;
    clock.start();
    press(Qt::Key_F5);
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QTest::qWait(300);
    QCOMPARE(grid_->DataSource(), old);
    QCOMPARE(shown(1, 1), QString("b"));
    QVERIFY2(grid_->loadBand()->text().contains("again"), qPrintable(grid_->loadBand()->text()));
    type("zz");
    QVERIFY(!grid_->isEditing());
    auto* stop = grid_->loadBand()->findChild<QPushButton*>("StopLoad");
    QVERIFY(stop && stop->isVisible());
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([&] { return stop->isHidden(); }, 5000));
    QCOMPARE(grid_->DataSource(), old);
    QCOMPARE(boxes(), QString());

    // Again; the other user commits meanwhile: the rows come, the current cell on its row.
    press(Qt::Key_F5);
    QTest::qWait(300);
    QCOMPARE(grid_->DataSource(), old);
    holding.execDirect(QStringLiteral("COMMIT TRAN"));
    db::drainResults(holding);
    QVERIFY(QTest::qWaitFor([&] { return grid_->DataSource() != old; }, 20000));
    QCOMPARE(shown(1, 1), QString("held"));
    QCOMPARE(grid_->currentIndex().row(), 1);
    QCOMPARE(value("SELECT name FROM t WHERE id = 2"), QString("held"));
    QCOMPARE(value("SELECT count(*) FROM t"), QString("3"));
    QCOMPARE(boxes(), QString());
}

void GridAttacksTest::shouldLeaveAnOpenEditorWhereItIsWhenTheLookedForRowArrives() {
    server_->createDatabase(
        testing::kCatalog,
        {"CREATE TABLE big (name varchar(40) NULL, id int NOT NULL PRIMARY KEY)",
         "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 3000) "
         "INSERT INTO big SELECT 'name ' || x, x FROM c"});
    testing::ReadHold hold(100);
    open("big");
    QVERIFY(QTest::qWaitFor([&] { return hold.held(); }, 20000));
    const std::shared_ptr<db::RecordsetData> old = grid_->DataSource();
    old->appendArrived();
    go(49, 0);
    // Row 50 is written anew elsewhere: it comes last in the new read.
    server_->createDatabase(testing::kCatalog, {"DELETE FROM big WHERE id = 50",
                                                "INSERT INTO big VALUES ('name 50', 50)"});
    press(Qt::Key_F5);
    QVERIFY(QTest::qWaitFor([&] { return grid_->DataSource() != old; }, 20000));
    QCOMPARE(grid_->currentIndex().row(), 0);
    QVERIFY(grid_->readOnlyReason().isEmpty()); // the new rows' keys, learnt

    // The user types into the cell the new rows put the current cell on; row 50 arrives.
    press(Qt::Key_F2);
    QVERIFY(grid_->isEditing());
    press(Qt::Key_A, Qt::ControlModifier);
    type("typed");
    hold.release();
    QVERIFY(QTest::qWaitFor(
        [&] { return grid_->DataSource()->load() == db::RecordsetData::Load::Complete; }, 20000));
    QTest::qWait(200);
    // The editor is still where it was: the next keys go into it.
    QVERIFY(grid_->isEditing());
    type(" on");
    enter();
    QCOMPARE(value("SELECT name FROM big WHERE id = 1"), QString("typed on"));
    QCOMPARE(value("SELECT name FROM big WHERE id = 50"), QString("name 50"));
    QCOMPARE(shown(grid_->currentIndex().row(), 1), QString("1"));
    QCOMPARE(boxes(), QString());
}

void GridAttacksTest::shouldPasteFillAndNullTheSelectedCellsInOneTransaction() {
    server_->createDatabase(testing::kCatalog,
                            {"CREATE TABLE p (id int NOT NULL PRIMARY KEY, name varchar(10) NULL, "
                             "qty int NULL)",
                             "INSERT INTO p VALUES (1, 'a', 1), (2, 'b', 2), (3, 'c', 3), "
                             "(4, 'd', 4), (5, 'e', 5)"});
    open("p");
    const auto names = [] {
        QString all;
        for (int id = 1; id <= 5; ++id)
            all += value(QStringLiteral("SELECT name FROM p WHERE id = %1").arg(id));
        return all;
    };
    // Rows 1-2 selected with Shift+Down: two values land on them, not below.
    go(0, 1);
    press(Qt::Key_Down, Qt::ShiftModifier);
    QApplication::clipboard()->setText("x\ny\n");
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(boxes(), QString());
    QCOMPARE(names(), QString("xycde"));

    // One value over three selected cells fills each of them.
    go(2, 1);
    press(Qt::Key_Down, Qt::ShiftModifier);
    press(Qt::Key_Down, Qt::ShiftModifier);
    QApplication::clipboard()->setText("z");
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(boxes(), QString());
    QCOMPARE(names(), QString("xyzzz"));

    // Ctrl+0 sets every selected cell to NULL, as one step that Ctrl+Z takes back.
    go(0, 2);
    press(Qt::Key_Down, Qt::ShiftModifier);
    press(Qt::Key_Down, Qt::ShiftModifier);
    press(Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(boxes(), QString());
    QCOMPARE(value("SELECT count(*) FROM p WHERE qty IS NULL"), QString("3"));
    QCOMPARE(value("SELECT qty FROM p WHERE id = 4"), QString("4"));
    press(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(boxes(), QString());
    QCOMPARE(value("SELECT qty FROM p WHERE id = 1") + value("SELECT qty FROM p WHERE id = 2") +
                 value("SELECT qty FROM p WHERE id = 3"),
             QString("123"));

    // Someone else changes the middle row: the fill is refused whole, nothing lands.
    testing::changeElsewhere(*server_, "UPDATE p SET qty = 20 WHERE id = 2");
    go(0, 1);
    press(Qt::Key_Down, Qt::ShiftModifier);
    press(Qt::Key_Down, Qt::ShiftModifier);
    QApplication::clipboard()->setText("w");
    press(Qt::Key_V, Qt::ControlModifier);
    const QString refused = boxes();
    QVERIFY2(refused.contains("paste was refused") && refused.contains("20"), qPrintable(refused));
    QCOMPARE(names(), QString("xyzzz"));
    QCOMPARE(shown(1, 2), QString("20"));
}

void GridAttacksTest::shouldRefuseANewRowBlockThatDoesNotFitAndAddSeveralRowsAllOrNothing() {
    server_->createDatabase(testing::kCatalog,
                            {"CREATE TABLE n (id int NOT NULL PRIMARY KEY, name varchar(10) NOT "
                             "NULL, qty int NULL)",
                             "INSERT INTO n VALUES (1, 'a', 1)"});
    open("n");
    // Wider than the table: refused, and leaving the line adds nothing.
    press(Qt::Key_Insert);
    QCOMPARE(grid_->currentIndex().row(), grid_->edits()->newRowLineRow());
    QCOMPARE(grid_->currentIndex().column(), 0);
    QApplication::clipboard()->setText("5\te\t7\t99\n");
    press(Qt::Key_V, Qt::ControlModifier);
    const QString wide = boxes();
    QVERIFY2(wide.contains("only 3 columns"), qPrintable(wide));
    press(Qt::Key_Up);
    QCOMPARE(value("SELECT count(*) FROM n"), QString("1"));
    QCOMPARE(boxes(), QString());

    // Two rows pasted on the line are two rows added, at once.
    press(Qt::Key_Insert);
    QApplication::clipboard()->setText("6\tf\t1\n7\tg\t\n");
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(boxes(), QString());
    QCOMPARE(value("SELECT count(*) FROM n"), QString("3"));
    QCOMPARE(value("SELECT name FROM n WHERE id = 7"), QString("g"));
    QCOMPARE(value("SELECT qty FROM n WHERE id = 7"), QString("<NULL>"));
    QCOMPARE(model().shownRows(), 3);
    QCOMPARE(shown(2, 1), QString("g"));

    // A block whose second row the server refuses adds none of them.
    press(Qt::Key_Insert);
    QApplication::clipboard()->setText("8\th\t1\n1\ti\t2\n");
    press(Qt::Key_V, Qt::ControlModifier);
    const QString duplicate = boxes();
    QVERIFY2(duplicate.contains("pasted row 2"), qPrintable(duplicate));
    QCOMPARE(value("SELECT count(*) FROM n"), QString("3"));
    QCOMPARE(value("SELECT count(*) FROM n WHERE id = 8"), QString("0"));
    QCOMPARE(model().shownRows(), 3);
}

void GridAttacksTest::shouldKeepTheTextNullApartFromNullAndTakeUnquotedTextAsItStands() {
    server_->createDatabase(
        testing::kCatalog,
        {"CREATE TABLE q (id int NOT NULL PRIMARY KEY, name varchar(20) NULL, "
         "note varchar(20) NULL)",
         "INSERT INTO q VALUES (1, 'NULL', NULL), (2, 'b', 'c'), (3, 'x', 'y')"});
    open("q");
    pages::setCopyNullWord(QStringLiteral("NULL"));
    // The text NULL and a NULL, copied and pasted onto row 2.
    go(0, 1);
    press(Qt::Key_Right, Qt::ShiftModifier);
    press(Qt::Key_C, Qt::ControlModifier);
    go(1, 1);
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(boxes(), QString());
    QCOMPARE(value("SELECT name FROM q WHERE id = 2"), QString("NULL"));
    QCOMPARE(value("SELECT note FROM q WHERE id = 2"), QString("<NULL>"));
    QCOMPARE(value("SELECT count(*) FROM q WHERE id = 2 AND name IS NULL"), QString("0"));

    // Quotes that do not enclose a whole cell are part of the text; quoted cells are read
    // as spreadsheets write them.
    go(2, 1);
    QApplication::clipboard()->setText("\"5\" inch\t\"a\"\"b\tc\"\n");
    press(Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(boxes(), QString());
    QCOMPARE(value("SELECT name FROM q WHERE id = 3"), QString("\"5\" inch"));
    QCOMPARE(value("SELECT note FROM q WHERE id = 3"), QString("a\"b\tc"));
}

void GridAttacksTest::shouldUndoOnlyWhileTheRowIsAsWrittenAndShown() {
    server_->createDatabase(
        testing::kCatalog,
        {"CREATE TABLE u (id int NOT NULL PRIMARY KEY, name varchar(10) NULL, qty int NULL, "
         "stamp timestamp)",
         "INSERT INTO u (id, name, qty) VALUES (1, 'a', 1), (2, 'b', 2), (3, 'c', 3)",
         "CREATE TABLE v (id int NOT NULL PRIMARY KEY, name varchar(10) NULL, qty int NULL)",
         "INSERT INTO v VALUES (1, 'a', 1), (2, 'b', 2)"});
    const auto edit = [&](int row, int column, const QString& text) {
        go(row, column);
        press(Qt::Key_F2);
        press(Qt::Key_A, Qt::ControlModifier);
        type(text);
        enter();
    };
    open("u");
    // Two edits of one row (its timestamp moves with each): both taken back in turn.
    edit(0, 1, "x");
    edit(0, 2, "9");
    QCOMPARE(value("SELECT name FROM u WHERE id = 1") + value("SELECT qty FROM u WHERE id = 1"),
             QString("x9"));
    press(Qt::Key_Z, Qt::ControlModifier);
    press(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(boxes(), QString());
    QCOMPARE(value("SELECT name FROM u WHERE id = 1") + value("SELECT qty FROM u WHERE id = 1"),
             QString("a1"));

    // A row deleted here, then the same values added again by someone else: the undo
    // of the edit before the delete is refused, and the new row keeps its values.
    edit(2, 1, "z");
    go(2, 0);
    press(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(boxes(), QString());
    QCOMPARE(value("SELECT count(*) FROM u WHERE id = 3"), QString("0"));
    testing::changeElsewhere(*server_, "INSERT INTO u (id, name, qty) VALUES (3, 'z', 3)");
    press(Qt::Key_Z, Qt::ControlModifier);
    const QString deleted = boxes();
    QVERIFY2(deleted.contains("undo was refused") && deleted.contains("deleted"),
             qPrintable(deleted));
    QCOMPARE(value("SELECT name FROM u WHERE id = 3"), QString("z"));

    // Someone else changes another column of an edited row: refused, and refused again
    // when asked again; once they put it back as it was written, the undo goes ahead.
    open("v");
    edit(1, 1, "y");
    testing::changeElsewhere(*server_, "UPDATE v SET qty = 20 WHERE id = 2");
    press(Qt::Key_Z, Qt::ControlModifier);
    QString refused = boxes();
    QVERIFY2(refused.contains("undo was refused") && refused.contains("20"), qPrintable(refused));
    press(Qt::Key_Z, Qt::ControlModifier);
    refused = boxes();
    QVERIFY2(refused.contains("undo was refused") && refused.contains("20"), qPrintable(refused));
    QCOMPARE(value("SELECT name FROM v WHERE id = 2"), QString("y"));
    testing::changeElsewhere(*server_, "UPDATE v SET qty = 2 WHERE id = 2");
    press(Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(boxes(), QString());
    QCOMPARE(value("SELECT name FROM v WHERE id = 2"), QString("b"));
    QCOMPARE(value("SELECT qty FROM v WHERE id = 2"), QString("2"));
}

void GridAttacksTest::shouldMarkTwinsAndDeleteThemOnlyAllTogetherWhileAnotherUserAddsOne() {
    // A table without a key: three twins among the first rows, a fourth beyond the rows
    // read when the read is stopped.
    server_->createDatabase(
        testing::kCatalog,
        {"CREATE TABLE t (name varchar(20) NULL, n int NULL)",
         "INSERT INTO t VALUES ('pen', 1), ('ink', 2), ('pen', 1), ('ink', 3), ('pen', 1)",
         "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 3000) "
         "INSERT INTO t SELECT 'filler', x FROM c",
         "INSERT INTO t VALUES ('pen', 1)"});
    const auto pens = [] { return value("SELECT count(*) FROM t WHERE name = 'pen'"); };
    {
        testing::ReadHold hold(100);
        grid_->setDataSource(testing::openTable("t"));
        QVERIFY(QTest::qWaitFor([&] { return hold.held(); }, 20000));
        grid_->DataSource()->appendArrived();
        model().stopLoading();
    }
    QVERIFY(QTest::qWaitFor([&] { return model().keysKnown(); }, 5000));
    QVERIFY(model().shownRows() < 3006);
    QCOMPARE(markedRows(), (std::vector<int>{0, 2, 4}));
    QVERIFY(model().headerData(0, Qt::Vertical, Qt::ToolTipRole).toString().contains("delete"));

    // 1. Two of the three twins selected: refused before anything is sent.
    go(0, 0);
    addRow(2);
    press(Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY2(boxes().contains("Select all 3"), "a partial selection of twins was not refused");
    // 2. All three the grid shows: the table holds a fourth beyond the rows read.
    addRow(4);
    press(Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY(boxes().contains("has not read the whole table"));
    QCOMPARE(pens(), QString("4"));

    // 3. Read whole again and sorted downwards by name: the four twins come first, marked.
    press(Qt::Key_F5);
    QVERIFY(QTest::qWaitFor(
        [&] { return grid_->DataSource()->load() == db::RecordsetData::Load::Complete; }, 20000));
    QTest::qWait(100);
    model().sort(0, Qt::DescendingOrder);
    QVERIFY(QTest::qWaitFor([&] { return !model().sorting(); }, 20000));
    QCOMPARE(markedRows(), (std::vector<int>{0, 1, 2, 3}));
    // An edit that makes a row like another marks both; its undo is refused then (the row
    // written is one of two twins now), and the marks stay.
    const int ink = 5; // ('ink', 3), below the four twins and ('ink', 2)
    QCOMPARE(shown(ink, 1), QString("3"));
    go(ink, 1);
    press(Qt::Key_F2);
    press(Qt::Key_A, Qt::ControlModifier);
    type("2");
    enter();
    QCOMPARE(value("SELECT count(*) FROM t WHERE name = 'ink' AND n = 2"), QString("2"));
    QCOMPARE(markedRows(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    press(Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(QTest::qWaitFor([&] { return !platform_->fake().boxes.empty(); }, 20000));
    QVERIFY(boxes().contains("exactly like"));
    QCOMPARE(value("SELECT count(*) FROM t WHERE name = 'ink' AND n = 2"), QString("2"));
    QCOMPARE(markedRows(), (std::vector<int>{0, 1, 2, 3, 4, 5}));

    // 4. All four selected; while the DELETE is held, another user adds a fifth twin. It
    // waits for the delete's locks: the four go, the fifth stays.
    go(0, 0);
    for (int row = 1; row < 4; ++row)
        addRow(row);
    tds::Faults faults;
    faults.stallOn = "DELETE";
    faults.stallMs = 2500;
    server_->server().setFaults(faults);
    const auto deletes = [&] {
        int count = 0;
        for (const tds::ConnectionLog& log : server_->server().logs())
            for (const std::string& request : log.requests)
                count += request.find("DELETE") != std::string::npos;
        return count;
    };
    const int before = deletes();
    std::atomic<bool> added{false};
    std::thread other([&] {
        for (int i = 0; i < 6000 && deletes() == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (deletes() == before)
            return;
        testing::changeElsewhere(*server_, "INSERT INTO t VALUES ('pen', 1)");
        added = true;
    });
    press(Qt::Key_Delete, Qt::ControlModifier);
    other.join();
    server_->server().setFaults({});
    QVERIFY(added);
    QCOMPARE(boxes(), QString());
    QCOMPARE(pens(), QString("1"));
    QCOMPARE(value("SELECT count(*) FROM t"), QString("3003"));
    // The four leave the grid; the two ink twins stay marked.
    QCOMPARE(shown(0, 0), QString("ink"));
    QCOMPARE(markedRows(), (std::vector<int>{0, 1}));
}

void GridAttacksTest::shouldRepaintTheRowsARefusedDeleteOrPasteReadAgain() {
    server_->createDatabase(testing::kCatalog,
                            {"CREATE TABLE r (id int NOT NULL PRIMARY KEY, name varchar(10) NULL)",
                             "INSERT INTO r VALUES (1, 'a'), (2, 'b'), (3, 'c')"});
    open("r");
    QSignalSpy changed(&model(), &QAbstractItemModel::dataChanged);
    const auto repainted = [&](int view) {
        for (const QList<QVariant>& signal : changed) {
            const QModelIndex from = signal[0].toModelIndex();
            const QModelIndex to = signal[1].toModelIndex();
            if (from.row() <= view && view <= to.row() && from.column() <= 1 && 1 <= to.column())
                return true;
        }
        return false;
    };
    // Someone else changes row 2: deleting it is refused, and it shows their value.
    testing::changeElsewhere(*server_, "UPDATE r SET name = 'other' WHERE id = 2");
    go(1, 0);
    changed.clear();
    press(Qt::Key_Delete, Qt::ControlModifier);
    const QString deleted = boxes();
    QVERIFY2(deleted.contains("Nothing was deleted") && deleted.contains("other"),
             qPrintable(deleted));
    QVERIFY(repainted(1));
    QCOMPARE(shown(1, 1), QString("other"));
    QCOMPARE(value("SELECT name FROM r WHERE id = 2"), QString("other"));

    // The same for a paste over a row someone else changed.
    testing::changeElsewhere(*server_, "UPDATE r SET name = 'third' WHERE id = 3");
    go(2, 1);
    QApplication::clipboard()->setText("x");
    changed.clear();
    press(Qt::Key_V, Qt::ControlModifier);
    const QString pasted = boxes();
    QVERIFY2(pasted.contains("paste was refused") && pasted.contains("third"), qPrintable(pasted));
    QVERIFY(repainted(2));
    QCOMPARE(shown(2, 1), QString("third"));
    QCOMPARE(value("SELECT name FROM r WHERE id = 3"), QString("third"));
}

QTEST_MAIN(GridAttacksTest)
#include "tst_gridattacks.moc"
