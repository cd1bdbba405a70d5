#include "db/read/recordset.h"
#include "editor/gridfixture.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/gridrefresh.h"
#include "support/fakeplatform.h"
#include "support/readhold.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTest>

// F5: the table read again, the current cell back on its row.
class GridRefreshTest : public QObject, testing::GridFixture {
    Q_OBJECT
  private slots:
    void init();
    void cleanup() {
        dropGrid();
        QVERIFY(QTest::qWaitFor([] { return db::recordsetReadsUnderWay() == 0; }, 20000));
    }
    void shouldShowWhatTheTableHoldsNowSortedAsBeforeOnTheSameRow();
    void shouldFindAKeylessRowByItsValuesAndLeaveAGoneOne();
    void shouldStopTheOldReadAndFindTheRowWhenItArrivesLater();

  private:
    QString current() {
        const QModelIndex index = grid_->currentIndex();
        return shown(index.row(), 0) + QLatin1Char(':') + QString::number(index.column());
    }
    // F5, and the grid bound to the rows read again (not the window's wait).
    bool pressF5() {
        const std::shared_ptr<db::RecordsetData> before = grid_->DataSource();
        QTest::keyClick(grid_.get(), Qt::Key_F5);
        return QTest::qWaitFor([&] { return grid_->DataSource() != before && !model().sorting(); },
                               20000);
    }
};

using testing::valueOf;

void GridRefreshTest::init() {
    makeGrid(500, 300,
             {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(40) NULL)",
              "INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c'), (4, 'd')",
              "CREATE TABLE k (a int NULL, b varchar(10) NULL)",
              "INSERT INTO k VALUES (1, 'x'), (2, 'y'), (2, 'y'), (3, 'z')"});
    showGrid();
    grid_->setFocus();
}

void GridRefreshTest::shouldShowWhatTheTableHoldsNowSortedAsBeforeOnTheSameRow() {
    grid_->setDataSource(testing::openTable("t"));
    grid_->sortBy(1, Qt::DescendingOrder);
    QVERIFY(QTest::qWaitFor([this] { return !model().sorting(); }, 20000));
    // An edit still open on row 3 when F5 comes.
    const QModelIndex third = model().index(1, 1);
    QCOMPARE(shown(1, 0), QStringLiteral("3"));
    grid_->setCurrentIndex(third);
    grid_->edit(third);
    auto* editor = grid_->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "typed");
    // Meanwhile someone else adds a row and deletes another.
    testing::changeElsewhere(*server_, "INSERT INTO t VALUES (5, 'zz')");
    testing::changeElsewhere(*server_, "DELETE FROM t WHERE id = 4");

    QVERIFY(pressF5());
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 3"), QStringLiteral("typed"));
    QCOMPARE(model().shownRows(), 4);
    // Sorted as before: by name, downwards.
    QCOMPARE(shown(0, 0), QStringLiteral("5"));
    QCOMPARE(shown(1, 0), QStringLiteral("3"));
    QCOMPARE(shown(1, 1), QStringLiteral("typed"));
    QCOMPARE(grid_->horizontalHeader()->sortIndicatorSection(), 1);
    QCOMPARE(grid_->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(current(), QStringLiteral("3:1"));
    // The new rows are written as any: the edit lands on the row it shows.
    QVERIFY(model().setData(grid_->currentIndex(), QStringLiteral("again")));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 3"), QStringLiteral("again"));
    QCOMPARE(platform_->fake().boxes.size(), 0);
}

void GridRefreshTest::shouldFindAKeylessRowByItsValuesAndLeaveAGoneOne() {
    grid_->setDataSource(testing::openTable("k"));
    grid_->setCurrentIndex(model().index(3, 1));
    testing::changeElsewhere(*server_, "DELETE FROM k WHERE a = 1");
    QVERIFY(pressF5());
    QCOMPARE(model().shownRows(), 3);
    QCOMPARE(current(), QStringLiteral("3:1"));
    QVERIFY(!grid_->refresher()->lookingForRow());

    // A row that is gone leaves the current cell where the new rows put it.
    testing::changeElsewhere(*server_, "UPDATE k SET b = 'w' WHERE a = 3");
    QVERIFY(pressF5());
    QCOMPARE(grid_->currentIndex().row(), 0);
    QVERIFY(!grid_->refresher()->lookingForRow());
    QCOMPARE(platform_->fake().boxes.size(), 0);
}

void GridRefreshTest::shouldStopTheOldReadAndFindTheRowWhenItArrivesLater() {
    server_->createDatabase(
        testing::kCatalog,
        {"CREATE TABLE big (id int NOT NULL PRIMARY KEY, name varchar(40) NULL)",
         "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 3000) "
         "INSERT INTO big SELECT x, 'name ' || x FROM c"});
    testing::ReadHold hold(100);
    grid_->setDataSource(testing::openTable("big"));
    QVERIFY(QTest::qWaitFor([&] { return hold.held(); }, 20000));
    const std::shared_ptr<db::RecordsetData> old = grid_->DataSource();
    old->appendArrived();
    grid_->setCurrentIndex(model().index(49, 1));
    // Row 50 is written anew elsewhere: it comes last in the new read.
    server_->createDatabase(testing::kCatalog, {"DELETE FROM big WHERE id = 50",
                                                "INSERT INTO big VALUES (50, 'name 50')"});

    QVERIFY(pressF5());
    QCOMPARE(old->load(), db::RecordsetData::Load::Stopped);
    QVERIFY(grid_->DataSource() != old);
    QCOMPARE(grid_->DataSource()->load(), db::RecordsetData::Load::Reading);
    QVERIFY(grid_->refresher()->lookingForRow());
    QVERIFY(model().shownRows() < 3000);

    hold.release();
    QVERIFY(QTest::qWaitFor([this] { return !grid_->refresher()->lookingForRow(); }, 20000));
    QCOMPARE(current(), QStringLiteral("50:1"));
    QVERIFY(QTest::qWaitFor(
        [this] { return grid_->DataSource()->load() == db::RecordsetData::Load::Complete; },
        20000));
    QCOMPARE(model().shownRows(), 3000);
    QCOMPARE(current(), QStringLiteral("50:1"));
    QCOMPARE(platform_->fake().boxes.size(), 0);
}

QTEST_MAIN(GridRefreshTest)
#include "tst_gridrefresh.moc"
