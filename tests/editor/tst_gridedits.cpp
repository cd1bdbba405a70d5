#include "db/read/recordset.h"
#include "editor/gridfixture.h"
#include "model/newrowline.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/gridedits.h"
#include "support/fakeplatform.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QTest>

// Adding, deleting, pasting and taking edits back in the grid, through FreeTDS against
// the test server, each checked over a second connection.
class GridEditsTest : public QObject, testing::GridFixture {
    Q_OBJECT
  private slots:
    void init() {
        makeGrid(600, 300);
        confirmDeletes();
    }
    void cleanup() { dropGrid(); }
    void shouldAddDeletePasteAndUndoWhileRowsStreamIn();
    void shouldKeepARefusedNewRowForCorrectionAndDropItOnEscape();
    void shouldRefuseBlocksThatDoNotFitAndUndoOverSomeoneElsesChange();
    void shouldDeleteAndPasteTheRowsShownWhenSorted();

  private:
    // Types into the new-row line as the cell's editor does.
    void type(int column, const QString& text) {
        const int line = grid_->edits()->newRowLineRow();
        QVERIFY(line >= 0);
        QVERIFY(model().setData(model().index(line, column), text));
    }
};

using testing::changeElsewhere;
using testing::valueOf;

void GridEditsTest::shouldAddDeletePasteAndUndoWhileRowsStreamIn() {
    constexpr int kRows = 2000;
    QStringList setup{"CREATE TABLE item (id numeric identity(10,0), name varchar(20) NOT NULL, "
                      "qty int NULL, stamp timestamp)"};
    QString rows = "INSERT INTO item (id, name, qty) VALUES ";
    for (int i = 1; i <= kRows; ++i)
        rows += QStringLiteral("%1(%2, 'n%2', %2)").arg(i > 1 ? ", " : "").arg(i);
    setup << rows;
    server_->createDatabase(testing::kCatalog, setup);
    tds::Faults slow;
    slow.rowDelayMs = 20; // the rows keep coming for far longer than the test runs
    server_->server().setFaults(slow);
    open("item");
    QCOMPARE(model().load(), db::RecordsetData::Load::Reading);
    const int line = grid_->edits()->newRowLineRow();
    QCOMPARE(model().headerData(line, Qt::Vertical).toString(), model::NewRowLine::Mark);
    QVERIFY(!(model().flags(model().index(line, 0)) & Qt::ItemIsEditable));
    QVERIFY(model().index(line, 0).data(Qt::ToolTipRole).toString().contains("identity"));
    QVERIFY(model().index(line, 1).data().toString().contains("needs a value"));

    // Add: Insert goes to the line; leaving it writes one INSERT.
    trigger("AddRowAction");
    QCOMPARE(grid_->currentIndex().row(), grid_->edits()->newRowLineRow());
    QCOMPARE(grid_->currentIndex().column(), 1);
    type(1, "ink");
    grid_->setCurrentIndex(model().index(0, 1));
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT name FROM item WHERE id = 2001"), QString("ink"));
    const int added = model().viewRow(grid_->DataSource()->rows.rowCount() - 1);
    QVERIFY(added >= 0);
    QCOMPARE(shown(added, 0), QString("2001"));
    QVERIFY(!model().index(added, 3).data(model::RecordsetModel::IsNullRole).toBool());
    QCOMPARE(shown(grid_->edits()->newRowLineRow(), 1), QString("(needs a value)"));

    // Delete: the selected rows, after the question.
    grid_->selectionModel()->select(model().index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid_->selectionModel()->select(model().index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    trigger("DeleteRowsAction");
    QCOMPARE(questions_, QStringList{"Delete 2 rows from the table?"});
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT count(*) FROM item WHERE id = 1 OR id = 3"), QString("0"));
    QCOMPARE(valueOf("SELECT count(*) FROM item"), QString("1999"));
    QCOMPARE(shown(0, 1), QString("n2"));
    QCOMPARE(shown(1, 1), QString("n4"));

    // Paste a block at the current cell; undo takes it back, redo writes it again.
    grid_->selectionModel()->clearSelection();
    QGuiApplication::clipboard()->setText("\"a\tb\"\t5\nc\t\n");
    grid_->setCurrentIndex(model().index(1, 1));
    trigger("PasteAction");
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT name FROM item WHERE id = 4"), QString("a\tb"));
    QCOMPARE(valueOf("SELECT qty FROM item WHERE id = 4"), QString("5"));
    QCOMPARE(valueOf("SELECT qty FROM item WHERE id = 5"), QString("<NULL>"));
    trigger("UndoAction");
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT name FROM item WHERE id = 4"), QString("n4"));
    QCOMPARE(valueOf("SELECT qty FROM item WHERE id = 5"), QString("5"));
    QCOMPARE(shown(2, 2), QString("5"));
    trigger("RedoAction");
    QCOMPARE(valueOf("SELECT name FROM item WHERE id = 5"), QString("c"));
    // A cell edit is a step of its own.
    QVERIFY(model().setData(model().index(1, 2), QStringLiteral("9")));
    trigger("UndoAction");
    QCOMPARE(valueOf("SELECT qty FROM item WHERE id = 4"), QString("5"));
    QCOMPARE(boxes(), QStringList());

    QCOMPARE(model().load(), db::RecordsetData::Load::Reading);
    server_->server().setFaults({});
    grid_->stopLoading();
}

void GridEditsTest::shouldKeepARefusedNewRowForCorrectionAndDropItOnEscape() {
    server_->createDatabase(testing::kCatalog,
                            {"CREATE TABLE part (code varchar(5) NOT NULL PRIMARY KEY, qty int "
                             "NOT NULL CHECK (qty >= 0), note varchar(10) NULL)",
                             "INSERT INTO part VALUES ('pen', 1, NULL)"});
    open("part");
    const int line = grid_->edits()->newRowLineRow();
    QCOMPARE(line, 1);
    type(0, "cap");
    type(2, "blue");
    grid_->setCurrentIndex(model().index(line, 0));
    grid_->setCurrentIndex(model().index(0, 0)); // leaves the line: refused before it is sent
    QCOMPARE(valueOf("SELECT count(*) FROM part"), QString("1"));
    QVERIFY(!grid_->readOnlyNotice()->isHidden());
    QVERIFY2(grid_->readOnlyNotice()->toolTip().contains("qty needs a value"),
             qPrintable(grid_->readOnlyNotice()->toolTip()));
    QCOMPARE(shown(line, 0), QString("cap")); // kept for correction
    QCOMPARE(shown(line, 2), QString("blue"));

    // Corrected, the row lands when the line is left (here: the page is left).
    type(1, "-1");
    grid_->setCurrentIndex(model().index(line, 1));
    grid_->commitPendingEdit();
    QVERIFY(grid_->readOnlyNotice()->toolTip().contains("Check constraint"));
    type(1, "3");
    grid_->commitPendingEdit();
    QCOMPARE(valueOf("SELECT qty FROM part WHERE code = 'cap'"), QString("3"));
    QCOMPARE(valueOf("SELECT note FROM part WHERE code = 'cap'"), QString("blue"));
    QCOMPARE(shown(1, 0), QString("cap"));
    QCOMPARE(grid_->edits()->newRowLineRow(), 2);

    // Esc drops what the line holds; nothing is written.
    grid_->setCurrentIndex(model().index(2, 0));
    type(0, "nib");
    QTest::keyClick(grid_.get(), Qt::Key_Escape);
    QCOMPARE(shown(2, 0), QString("(needs a value)"));
    grid_->setCurrentIndex(model().index(0, 0));
    QCOMPARE(valueOf("SELECT count(*) FROM part"), QString("2"));

    // The keys people expect: Insert goes to the line, Ctrl+Z takes an edit back.
    grid_->show();
    QVERIFY(QTest::qWaitForWindowActive(grid_.get()));
    QVERIFY(model().setData(model().index(0, 2), QStringLiteral("red")));
    QTest::keyClick(grid_.get(), Qt::Key_Insert);
    QCOMPARE(grid_->currentIndex().row(), grid_->edits()->newRowLineRow());
    QTest::keyClick(grid_.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(valueOf("SELECT note FROM part WHERE code = 'pen'"), QString("<NULL>"));
    QTest::keyClick(grid_.get(), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(valueOf("SELECT note FROM part WHERE code = 'pen'"), QString("red"));
    QCOMPARE(boxes(), QStringList());
}

void GridEditsTest::shouldRefuseBlocksThatDoNotFitAndUndoOverSomeoneElsesChange() {
    server_->createDatabase(
        testing::kCatalog, {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(10) NULL, "
                            "qty int NULL, n numeric identity(10,0))",
                            "INSERT INTO t VALUES (1, 'a', 1, 1), (2, 'b', 2, 2), (3, 'c', 3, 3)"});
    open("t");
    const auto paste = [&](const QString& text, int row, int column) {
        QGuiApplication::clipboard()->setText(text);
        // The cell alone selected, whatever modifier an earlier key click left held.
        grid_->selectionModel()->setCurrentIndex(model().index(row, column),
                                                 QItemSelectionModel::ClearAndSelect);
        trigger("PasteAction");
        return boxes().join("\n");
    };
    const auto unchanged = [&] {
        QCOMPARE(valueOf("SELECT count(*) FROM t WHERE name = 'a' AND qty = 1 AND id = 1"),
                 QString("1"));
        QCOMPARE(valueOf("SELECT count(*) FROM t WHERE name = 'b' AND qty = 2 AND id = 2"),
                 QString("1"));
    };
    QString refused = paste("x\t1\ny\tmany\n", 0, 1);
    QVERIFY2(refused.contains("row 2, column qty") && refused.contains("whole number"),
             qPrintable(refused));
    unchanged();
    refused = paste("x\ny\nz\nw\n", 1, 1);
    QVERIFY2(refused.contains("only 2 rows"), qPrintable(refused));
    refused = paste("x\t1\t9\n", 0, 1);
    QVERIFY2(refused.contains("column n") && refused.contains("identity"), qPrintable(refused));
    refused = paste("1\t2\t3\t4\t5\n", 0, 1);
    QVERIFY2(refused.contains("only 3 columns"), qPrintable(refused));
    unchanged();
    QVERIFY(!grid_->edits()->history().canUndo());

    QCOMPARE(paste("x\t7\ny\t8", 0, 1), QString());
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 2"), QString("y"));
    // Someone else changes a pasted cell: the undo is refused, with the reason, and stays.
    changeElsewhere(*server_, "UPDATE t SET qty = 80 WHERE id = 2");
    trigger("UndoAction");
    const QString undo = boxes().join("\n");
    QVERIFY2(undo.contains("undo was refused") && undo.contains("80"), qPrintable(undo));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("x"));
    QCOMPARE(valueOf("SELECT qty FROM t WHERE id = 2"), QString("80"));
    QCOMPARE(shown(1, 2), QString("80")); // the grid shows what the table holds
    QVERIFY(grid_->edits()->history().canUndo());
    // Rebinding ends the history.
    open("t");
    QVERIFY(!grid_->edits()->history().canUndo());
}

QTEST_MAIN(GridEditsTest)
// Sorted, the rows shown are not the table's order: a delete and a paste must still
// reach the rows the user sees, and no other.
void GridEditsTest::shouldDeleteAndPasteTheRowsShownWhenSorted() {
    server_->createDatabase(testing::kCatalog,
                            {"CREATE TABLE s (id int NOT NULL PRIMARY KEY, name varchar(10) NULL, "
                             "qty int NULL)",
                             "INSERT INTO s VALUES (1, 'a', 30), (2, 'b', NULL), (3, 'c', 50), "
                             "(4, 'd', 10), (5, 'e', 40), (6, 'f', 20)"});
    open("s");
    grid_->sortBy(2, Qt::DescendingOrder); // 3, 5, 1, 6, 4, then NULL (2)
    QVERIFY(QTest::qWaitFor([this] { return !model().sorting(); }, 20000));
    QCOMPARE(shown(0, 0), QString("3"));
    QCOMPARE(shown(5, 0), QString("2"));

    // Rows 1 and 3 as shown: ids 5 and 6.
    grid_->selectionModel()->clearSelection();
    grid_->selectionModel()->select(model().index(1, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid_->selectionModel()->select(model().index(3, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    trigger("DeleteRowsAction");
    QCOMPARE(questions_, QStringList{"Delete 2 rows from the table?"});
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT count(*) FROM s"), QString("4"));
    QCOMPARE(valueOf("SELECT count(*) FROM s WHERE id = 5 OR id = 6"), QString("0"));
    QCOMPARE(shown(0, 0) + shown(1, 0) + shown(2, 0) + shown(3, 0), QString("3142"));

    // A block pasted at the second row shown goes to ids 1 and 4, in that order.
    grid_->selectionModel()->clearSelection();
    QGuiApplication::clipboard()->setText("x\ny\n");
    grid_->setCurrentIndex(model().index(1, 1));
    trigger("PasteAction");
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT name FROM s WHERE id = 1"), QString("x"));
    QCOMPARE(valueOf("SELECT name FROM s WHERE id = 4"), QString("y"));
    QCOMPARE(valueOf("SELECT count(*) FROM s WHERE name = 'c' AND id = 3"), QString("1"));
    QCOMPARE(valueOf("SELECT count(*) FROM s WHERE name = 'b' AND id = 2"), QString("1"));
    trigger("UndoAction");
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT name FROM s WHERE id = 1") +
                 valueOf("SELECT name FROM s WHERE id = 4"),
             QString("ad"));
}

#include "tst_gridedits.moc"
