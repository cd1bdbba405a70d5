#include "db/read/recordset.h"
#include "editor/gridfixture.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/filterbar.h"
#include "pages/editor/gridedits.h"
#include "pages/editor/gridrefresh.h"
#include "pages/editor/loadband.h"
#include "support/fakeplatform.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// Ctrl+Shift+F: the rows that match every condition, read by the server's WHERE; the grid
// works on them as on all rows, and touches no other row of the table.
class FilterBarTest : public QObject, testing::GridFixture {
    Q_OBJECT
  private slots:
    void init() {
        makeGrid(700, 400,
                 {"CREATE TABLE item (id int NOT NULL PRIMARY KEY, name varchar(20) NULL, "
                  "qty int NULL)",
                  "INSERT INTO item VALUES (1, 'a', 1), (2, 'b', 5), (3, 'c', 1), (4, 'd', 5), "
                  "(5, 'e', NULL), (6, 'f', 5)",
                  "CREATE TRIGGER item_z AFTER UPDATE OF name ON item WHEN NEW.name = 'z' "
                  "BEGIN UPDATE item SET qty = 0 WHERE id = NEW.id; END"});
        showGrid();
        confirmDeletes();
    }
    void cleanup() { dropGrid(); }
    void shouldReadWriteAndRefreshOnlyTheMatchingRows();
    void shouldRefuseAConditionKeepingTheRowsAndOfferTheRememberedFilterUnapplied();

  private:
    template <class T> T* child(const char* name) {
        return grid_->filterBar()->findChild<T*>(QLatin1String(name));
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    // Waits for the grid to be bound to other rows than `old`, read to their end.
    bool reboundFrom(const std::shared_ptr<db::RecordsetData>& old) {
        return QTest::qWaitFor(
            [&] {
                return grid_->DataSource() != old &&
                       grid_->DataSource()->load() == db::RecordsetData::Load::Complete &&
                       !grid_->refresher()->waiting();
            },
            10000);
    }
    // Whether the row header marks the row shown at `row` as no longer matching the filter.
    bool marked(int row) {
        return model().outsideFilter(model().storedRow(row)) &&
               model().headerData(row, Qt::Vertical).toString().endsWith(QChar(0x2209));
    }
    // Types into the new-row line as the cell's editor does.
    void typeInLine(int column, const QString& text) {
        const int line = grid_->edits()->newRowLineRow();
        QVERIFY(line >= 0);
        QVERIFY(model().setData(model().index(line, column), text));
    }
    // The ids of the rows shown, in order.
    QStringList ids() {
        QStringList shownIds;
        for (int row = 0; row < model().shownRows(); ++row)
            shownIds << shown(row, 0);
        return shownIds;
    }
    // Types "qty = <value>" into the bar's only condition by keys, and presses Enter.
    void filterQtyByKeys(const char* value) {
        QTest::keyClick(grid_.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(grid_->filterBar()->isVisible());
        QCOMPARE(QApplication::focusWidget(), child<QComboBox>("FilterColumn"));
        key(Qt::Key_Down); // id, name, qty
        key(Qt::Key_Down);
        key(Qt::Key_Tab); // the operator: "=" is first
        QCOMPARE(child<QComboBox>("FilterOperator")->currentText(), QStringLiteral("="));
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>("FilterValue"));
        child<QLineEdit>("FilterValue")->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), value);
        key(Qt::Key_Return);
    }
};

void FilterBarTest::shouldReadWriteAndRefreshOnlyTheMatchingRows() {
    open("item");
    grid_->setFocus();
    QCOMPARE(grid_->loadBand()->text(), QStringLiteral("6 rows"));

    // 1. The filter by keys: the server's rows that match, the band counts them; a column
    // the user widened keeps its width.
    grid_->setColumnWidth(1, 222);
    std::shared_ptr<db::RecordsetData> old = grid_->DataSource();
    filterQtyByKeys("5");
    QVERIFY(reboundFrom(old));
    QCOMPARE(ids(), QStringList({"2", "4", "6"}));
    QCOMPARE(grid_->columnWidth(1), 222);
    QCOMPARE(grid_->loadBand()->text(), QStringLiteral("3 rows match the filter"));
    QCOMPARE(boxes(), QStringList());

    // 2. A delete under the filter: only the selected filtered row goes from the table.
    grid_->setFocus();
    grid_->setCurrentIndex(model().index(0, 0));
    grid_->selectionModel()->select(model().index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    trigger("DeleteRowsAction");
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(testing::valueOf("SELECT count(*) FROM item"), QString("5"));
    QCOMPARE(testing::valueOf("SELECT count(*) FROM item WHERE id = 2"), QString("0"));
    QCOMPARE(ids(), QStringList({"4", "6"}));

    // 3. A paste of two lines under the filter: the two filtered rows, not the rows between.
    grid_->selectionModel()->clearSelection();
    QGuiApplication::clipboard()->setText("x\ny\n");
    grid_->setCurrentIndex(model().index(0, 1));
    trigger("PasteAction");
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(testing::valueOf("SELECT name FROM item WHERE id = 4"), QString("x"));
    QCOMPARE(testing::valueOf("SELECT name FROM item WHERE id = 6"), QString("y"));
    QCOMPARE(testing::valueOf("SELECT count(*) FROM item WHERE name = 'x' OR name = 'y'"),
             QString("2"));
    QCOMPARE(testing::valueOf("SELECT name FROM item WHERE id = 5"), QString("e"));

    QVERIFY(!marked(0) && !marked(1)); // still qty 5: both still match

    // 4. An edit that takes a row out of the filter: the row stays where it is, marked,
    // until F5; its undo brings it back in, and the mark goes.
    grid_->setCurrentIndex(model().index(0, 2));
    QTest::keyClicks(grid_.get(), "9");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(testing::valueOf("SELECT qty FROM item WHERE id = 4"), QString("9"));
    QCOMPARE(ids(), QStringList({"4", "6"}));
    QCOMPARE(grid_->currentIndex().row(), 0);
    QVERIFY(marked(0) && !marked(1));
    QCOMPARE(model().headerData(0, Qt::Vertical).toString(), QString("1 \u2209"));
    QCOMPARE(model().headerData(0, Qt::Vertical, Qt::ToolTipRole).toString(),
             model::RecordsetModel::OutsideFilterTip);
    trigger("UndoAction");
    QCOMPARE(testing::valueOf("SELECT qty FROM item WHERE id = 4"), QString("5"));
    QVERIFY(!marked(0));
    trigger("RedoAction");
    QVERIFY(marked(0));
    // A row added with a value the filter does not hold: shown, marked. A trigger that
    // takes a written row out of the filter behind the edit: marked as the table holds it.
    trigger("AddRowAction");
    typeInLine(0, "7");
    typeInLine(2, "3");
    grid_->setCurrentIndex(model().index(1, 1));
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(testing::valueOf("SELECT qty FROM item WHERE id = 7"), QString("3"));
    QCOMPARE(ids(), QStringList({"4", "6", "7"}));
    QVERIFY(marked(2));
    grid_->setCurrentIndex(model().index(1, 1));
    QTest::keyClicks(grid_.get(), "z"); // the trigger sets qty 0
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(testing::valueOf("SELECT qty FROM item WHERE id = 6"), QString("0"));
    QCOMPARE(shown(1, 2), QString("0"));
    QVERIFY(marked(1));
    testing::changeElsewhere(*server_, "UPDATE item SET name = 'y', qty = 5 WHERE id = 6");
    testing::changeElsewhere(*server_, "DELETE FROM item WHERE id = 7");
    // Another user's row that now matches comes with the refresh, the row edited away goes.
    testing::changeElsewhere(*server_, "UPDATE item SET qty = 5 WHERE id = 1");
    old = grid_->DataSource();
    QTest::keyClick(grid_.get(), Qt::Key_F5);
    QVERIFY(reboundFrom(old));
    QCOMPARE(ids(), QStringList({"1", "6"}));
    QCOMPARE(grid_->loadBand()->text(), QStringLiteral("2 rows match the filter"));

    // 5. "Filter by This Value" narrows the filter by the current cell's value.
    grid_->setCurrentIndex(model().index(1, 1)); // y
    old = grid_->DataSource();
    trigger("FilterByValueAction");
    QVERIFY(reboundFrom(old));
    QCOMPARE(ids(), QStringList({"6"}));
    QCOMPARE(grid_->loadBand()->text(), QStringLiteral("1 row matches the filter"));

    // 6. "Clear Filter": every row again.
    old = grid_->DataSource();
    trigger("ClearFilterAction");
    QVERIFY(reboundFrom(old));
    QCOMPARE(ids(), QStringList({"1", "3", "4", "5", "6"}));
    QCOMPARE(grid_->loadBand()->text(), QStringLiteral("5 rows"));
    QCOMPARE(boxes(), QStringList());
}

void FilterBarTest::shouldRefuseAConditionKeepingTheRowsAndOfferTheRememberedFilterUnapplied() {
    open("item");
    grid_->setFocus();
    std::shared_ptr<db::RecordsetData> old = grid_->DataSource();

    // 1. A value the column cannot hold: refused in the bar, nothing read, the rows stay.
    filterQtyByKeys("five");
    QTest::qWait(200);
    QCOMPARE(grid_->DataSource(), old);
    QVERIFY2(!grid_->filterBar()->status().isEmpty(), "no reason shown");
    QCOMPARE(child<QLabel>("FilterStatus")->text(), grid_->filterBar()->status());
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>("FilterValue"));
    QCOMPARE(ids().size(), 6);
    QCOMPARE(boxes(), QStringList());

    // 2. Mended by keys, a second condition added by keys (id > 1), both applied; Esc
    // closes the bar, the filter stays.
    child<QLineEdit>("FilterValue")->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), "1");
    key(Qt::Key_Tab); // the condition's remove button
    key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QPushButton>("FilterAdd"));
    key(Qt::Key_Space);
    QCOMPARE(grid_->filterBar()->filter().conditions.size(), std::size_t(2));
    key(Qt::Key_Tab); // the new condition's column is id; its operator:
    for (int i = 0; i < 4; ++i)
        key(Qt::Key_Down);
    key(Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), "1");
    key(Qt::Key_Return);
    QVERIFY(reboundFrom(old));
    QCOMPARE(ids(), QStringList({"3"}));
    QCOMPARE(grid_->filterBar()->status(), QString());
    key(Qt::Key_Escape);
    QVERIFY(grid_->filterBar()->isHidden());
    QCOMPARE(QApplication::focusWidget(), grid_.get());

    // 3. The table opened again: the filter is offered in the bar, not applied.
    grid_->setDataSource(nullptr);
    open("item");
    QCOMPARE(ids().size(), 6);
    QVERIFY(grid_->DataSource()->filter.empty());
    QVERIFY(grid_->filterBar()->isVisible());
    QCOMPARE(grid_->filterBar()->status(), pages::DataGrid::OfferedFilterText);
    QCOMPARE(grid_->loadBand()->text(), QStringLiteral("6 rows"));
    const db::Filter offered = grid_->filterBar()->filter();
    QCOMPARE(offered.conditions.size(), std::size_t(2));
    QCOMPARE(offered.conditions[0].column, 2);
    QCOMPARE(offered.conditions[0].value, QStringLiteral("1"));
    QVERIFY(offered.conditions[1].op == db::FilterOp::Greater);
    // Apply takes it.
    old = grid_->DataSource();
    QTest::mouseClick(child<QPushButton>("FilterApply"), Qt::LeftButton);
    QVERIFY(reboundFrom(old));
    QCOMPARE(ids(), QStringList({"3"}));
}

QTEST_MAIN(FilterBarTest)
#include "tst_filterbar.moc"
