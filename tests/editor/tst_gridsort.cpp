#include "db/read/recordset.h"
#include "editor/gridfixture.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "support/fakeplatform.h"
#include "support/readhold.h"

#include <QHeaderView>
#include <QTest>

// The rows the grid shows, in an order of their own: edits, reasons and arrivals follow
// the row the user sees.
class GridSortTest : public QObject, testing::GridFixture {
    Q_OBJECT
  private slots:
    void init();
    void cleanup() { dropGrid(); }
    void shouldWriteTheRowTheUserSeesWhenRowsLeaveAndEnterTheView();
    void shouldSortEachTypeByItsValuesStablyAndWriteTheRowTheUserSees();
    void shouldSortRowsThatArriveBeforeAndWhileASortRuns();

  private:
    // The ids (column 0) of the rows shown, in order.
    QStringList ids() {
        QStringList list;
        for (int r = 0; r < model().shownRows(); ++r)
            list << shown(r, 0);
        return list;
    }
    // Clicks a column's header and waits for the rows to show sorted.
    bool clickHeader(int column) {
        QHeaderView* header = grid_->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 4, 4));
        return QTest::qWaitFor([this] { return !model().sorting(); }, 20000);
    }
};

using testing::valueOf;

void GridSortTest::init() {
    makeGrid(500, 300,
             {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(40) NULL, "
              "amount numeric(38,2) NULL, seen datetime NULL, w float NULL)",
              "INSERT INTO t VALUES (1, 'pear', 10.50, '2024-03-01 10:00:00', 2.5), "
              "(2, 'apple', 9, '2023-12-31 23:59:59', -1), (3, NULL, NULL, NULL, NULL), "
              "(4, 'fig  ', 0, '2024-03-01 09:00:00', 1e10), "
              "(5, 'Fig', -0.5, '1999-01-01 00:00:00', 0.25)"});
    grid_->setDataSource(testing::openTable("t"));
    grid_->show();
}

void GridSortTest::shouldWriteTheRowTheUserSeesWhenRowsLeaveAndEnterTheView() {
    model::RecordsetModel& rows = model();
    rows.hideStoredRows({1, 3});
    QCOMPARE(rows.shownRows(), 3);
    QCOMPARE(shown(1, 0), QStringLiteral("3"));
    QCOMPARE(rows.storedRow(2), 4);
    QCOMPARE(rows.viewRow(4), 2);
    QCOMPARE(rows.viewRow(1), -1);
    QCOMPARE(rows.storedRow(3), -1);

    QVERIFY(rows.setData(rows.index(1, 1), QStringLiteral("plum")));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 3"), QStringLiteral("plum"));
    QCOMPARE(valueOf("SELECT count(*) FROM t WHERE name = 'plum'"), QStringLiteral("1"));
    QCOMPARE(shown(1, 1), QStringLiteral("plum"));

    // A row appended to the stored rows enters the view at the end.
    const std::shared_ptr<db::RecordsetData> data = grid_->DataSource();
    data->rows.append(0, "6");
    for (int c = 1; c < data->rows.columnCount(); ++c)
        data->rows.appendNull(c);
    data->rows.finishRow();
    rows.showAppendedRows({5});
    QCOMPARE(rows.shownRows(), 4);
    QCOMPARE(shown(3, 0), QStringLiteral("6"));
    QCOMPARE(rows.viewRow(5), 3);
    // The row after it still writes its own row.
    QVERIFY(rows.setData(rows.index(2, 1), QStringLiteral("date")));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 5"), QStringLiteral("date"));
    QCOMPARE(platform_->fake().boxes.size(), 0);
}

void GridSortTest::shouldSortEachTypeByItsValuesStablyAndWriteTheRowTheUserSees() {
    // Numbers past a double's digits, written through the server so that it keeps them exact.
    testing::changeElsewhere(*server_, "INSERT INTO t VALUES (6, 'fig', 10.5, "
                                       "'2024-03-01 10:00:00', 2.5)");
    testing::changeElsewhere(*server_, "INSERT INTO t VALUES (7, 'fig ', "
                                       "123456789012345678901234567890123456.00, NULL, 1e-3)");
    testing::changeElsewhere(*server_, "UPDATE t SET amount = "
                                       "123456789012345678901234567890123456.01 WHERE id = 4");
    grid_->setDataSource(testing::openTable("t"));
    QHeaderView* header = grid_->horizontalHeader();

    // Texts by their bytes, trailing blanks ignored (the figs are equal: table order).
    QVERIFY(clickHeader(1));
    QCOMPARE(ids(), QStringList({"3", "5", "2", "4", "6", "7", "1"}));
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
    QVERIFY(header->isSortIndicatorShown());
    // A second click reverses; equal rows keep their table order.
    QVERIFY(clickHeader(1));
    QCOMPARE(ids(), QStringList({"1", "4", "6", "7", "2", "5", "3"}));
    QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // An edit in the sorted view writes the row the user sees, and that row only.
    grid_->setCurrentIndex(model().index(3, 1));
    QCOMPARE(shown(3, 0), QStringLiteral("7"));
    QVERIFY(model().setData(grid_->currentIndex(), QStringLiteral("kiwi")));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 7"), QStringLiteral("kiwi"));
    QCOMPARE(valueOf("SELECT count(*) FROM t WHERE name = 'kiwi'"), QStringLiteral("1"));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 6"), QStringLiteral("fig"));
    QCOMPARE(shown(3, 1), QStringLiteral("kiwi"));
    QCOMPARE(model().cellReadOnlyReason(model().index(3, 1)), QString());

    // Exact numbers as decimals, whatever their digits; NULL first.
    QVERIFY(clickHeader(2));
    QCOMPARE(ids(), QStringList({"3", "5", "2", "1", "6", "7", "4"}));
    QCOMPARE(shown(6, 2), QStringLiteral("123456789012345678901234567890123456.01"));
    // The current cell stays with its row.
    QCOMPARE(shown(grid_->currentIndex().row(), 0), QStringLiteral("7"));
    // Dates as moments.
    QVERIFY(clickHeader(3));
    QCOMPARE(ids(), QStringList({"3", "7", "5", "2", "4", "1", "6"}));
    // Approximate numbers as numbers.
    QVERIFY(clickHeader(4));
    QCOMPARE(ids(), QStringList({"3", "2", "7", "5", "1", "6", "4"}));
    QVERIFY(clickHeader(4));
    QCOMPARE(ids(), QStringList({"4", "1", "6", "5", "7", "2", "3"}));
    // Numbers stored as integers.
    QVERIFY(clickHeader(0));
    QCOMPARE(ids(), QStringList({"1", "2", "3", "4", "5", "6", "7"}));

    // The table itself is as it was, save for the edit.
    QCOMPARE(valueOf("SELECT count(*) FROM t"), QStringLiteral("7"));

    // A cell that cannot be carried back stays read-only, with its reason, wherever it shows.
    server_->createDatabase(testing::kCatalog,
                            {"UPDATE t SET name = CAST(X'7AFF' AS TEXT) WHERE id = 2"});
    grid_->setDataSource(testing::openTable("t"));
    QVERIFY(clickHeader(1));
    QVERIFY(clickHeader(1));
    QCOMPARE(shown(0, 0), QStringLiteral("2"));
    QVERIFY(!(model().flags(model().index(0, 1)) & Qt::ItemIsEditable));
    QVERIFY(model().flags(model().index(1, 1)) & Qt::ItemIsEditable);
    grid_->setCurrentIndex(model().index(0, 1));
    QVERIFY(grid_->readOnlyNotice()->isVisible());
    QVERIFY(!model().cellReadOnlyReason(model().index(0, 1)).isEmpty());
    QCOMPARE(grid_->readOnlyNotice()->toolTip(),
             model().index(0, 1).data(Qt::ToolTipRole).toString());
    grid_->setCurrentIndex(model().index(1, 1));
    QVERIFY(grid_->readOnlyNotice()->isHidden());
    QCOMPARE(platform_->fake().boxes.size(), 0);
}

void GridSortTest::shouldSortRowsThatArriveBeforeAndWhileASortRuns() {
    constexpr int kRows = 20000; // enough that the rows arriving during a sort are sorted again
    server_->createDatabase(
        testing::kCatalog,
        {"CREATE TABLE big (id int NOT NULL PRIMARY KEY, name varchar(40) NULL, qty int NULL)",
         QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                        "%1) INSERT INTO big SELECT x, printf('n%04d', (x * 7919) % %1), x % 7 "
                        "FROM c")
             .arg(kRows)});
    testing::ReadHold hold(100);
    grid_->setDataSource(testing::openTable("big"));
    QVERIFY(QTest::qWaitFor([&] { return hold.held(); }, 20000));
    const std::shared_ptr<db::RecordsetData> data = grid_->DataSource();
    data->appendArrived();
    const int first = model().shownRows();
    QVERIFY2(first >= 100 && first < kRows, qPrintable(QString::number(first)));
    QCOMPARE(data->load(), db::RecordsetData::Load::Reading);

    // A sort of the rows read so far; the rest comes while it runs.
    grid_->setCurrentIndex(model().index(41, 2));
    model().sort(2, Qt::DescendingOrder);
    QVERIFY(model().sorting());
    hold.release();
    while (data->load() == db::RecordsetData::Load::Reading)
        data->appendArrived(true);
    QCOMPARE(model().shownRows(), kRows);
    QVERIFY(QTest::qWaitFor([this] { return !model().sorting(); }, 20000));

    // Every row once, by qty downwards, equal ones in table order.
    const auto sortedByQty = [this] {
        QSet<int> seen;
        for (int r = 0; r < model().shownRows(); ++r) {
            seen.insert(shown(r, 0).toInt());
            if (r == 0)
                continue;
            const int qty = shown(r, 2).toInt(), before = shown(r - 1, 2).toInt();
            if (qty > before || (qty == before && shown(r, 0).toInt() < shown(r - 1, 0).toInt()))
                return false;
        }
        return seen.size() == kRows;
    };
    QVERIFY(sortedByQty());
    QCOMPARE(shown(grid_->currentIndex().row(), 0), QStringLiteral("42"));

    // Rows that arrive once sorted go to their places too.
    grid_->setDataSource(nullptr);
    testing::ReadHold second(100);
    grid_->setDataSource(testing::openTable("big"));
    QVERIFY(QTest::qWaitFor([&] { return second.held(); }, 20000));
    QVERIFY(clickHeader(1));
    QVERIFY(clickHeader(2));
    QVERIFY(clickHeader(2));
    QCOMPARE(model().sortOrder(), Qt::DescendingOrder);
    second.release();
    QVERIFY(QTest::qWaitFor(
        [&] { return grid_->DataSource()->load() != db::RecordsetData::Load::Reading; }, 20000));
    // Many rows at once are sorted again with the others, off the window's thread.
    QVERIFY(QTest::qWaitFor([this] { return !model().sorting(); }, 20000));
    QCOMPARE(model().shownRows(), kRows);
    QVERIFY(sortedByQty());
    QCOMPARE(platform_->fake().boxes.size(), 0);
}

QTEST_MAIN(GridSortTest)
#include "tst_gridsort.moc"
