#include "db/read/recordset.h"
#include "editor/gridfixture.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/findbar.h"
#include "support/fakeplatform.h"
#include "support/readhold.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// Ctrl+F: finding a text in the grid's values, from the current cell on, while the
// window goes on.
class FindBarTest : public QObject, testing::GridFixture {
    Q_OBJECT
  private slots:
    void init() {
        makeGrid(600, 300);
        showGrid();
    }
    void cleanup() { dropGrid(); }
    void shouldFindWholeValuesByTheOptionsAndWrapWithANote();
    void shouldFindRowsThatArriveWhileTheTableIsRead();

  private:
    template <class T> T* child(const char* name) {
        return grid_->findChild<T*>(QLatin1String(name));
    }
    pages::FindBar& bar() { return *grid_->findBar(); }
    // Presses a key in the focused widget and waits for the search it starts to end.
    bool press(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        return QTest::qWaitFor([this] { return !bar().searching(); }, 20000);
    }
    // The current cell, as "id:column".
    QString current() {
        const QModelIndex index = grid_->currentIndex();
        return grid_->model()->index(index.row(), 0).data().toString() + QLatin1Char(':') +
               QString::number(index.column());
    }
};

void FindBarTest::shouldFindWholeValuesByTheOptionsAndWrapWithANote() {
    server_->createDatabase(
        testing::kCatalog,
        {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(40) NULL, note text NULL)",
         QStringLiteral("INSERT INTO t VALUES (1, 'Fig', NULL), (2, 'apple', 'a fig tree'), "
                        "(3, NULL, '%1 fig at the end'), (4, 'fig', 'NULL'), (5, 'pear', 'x')")
             .arg(QString(400, QLatin1Char('w')))});
    grid_->setDataSource(testing::openTable("t"));
    grid_->setFocus();
    grid_->setCurrentIndex(grid_->model()->index(0, 0));

    // Ctrl+F opens the bar with the focus in its text; Enter finds the next match.
    QTest::keyClick(grid_.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar().isVisible());
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>("FindText"));
    QTest::keyClicks(child<QLineEdit>("FindText"), "fig");
    QVERIFY(press(Qt::Key_Return));
    QCOMPARE(current(), QStringLiteral("1:1")); // case does not matter by default
    QCOMPARE(bar().status(), QString());
    QVERIFY(press(Qt::Key_F3));
    QCOMPARE(current(), QStringLiteral("2:2"));
    // The whole value is searched, not the part the cell shows.
    QVERIFY(press(Qt::Key_F3));
    QCOMPARE(current(), QStringLiteral("3:2"));
    QVERIFY(press(Qt::Key_F3));
    QCOMPARE(current(), QStringLiteral("4:1"));
    // Past the last row the search goes on at the top, and says so.
    QVERIFY(press(Qt::Key_F3));
    QCOMPARE(current(), QStringLiteral("1:1"));
    QCOMPARE(bar().status(), pages::FindBar::WrappedText);
    QCOMPARE(child<QLabel>("FindStatus")->text(), pages::FindBar::WrappedText);
    // Back past the first row, to the bottom.
    QVERIFY(press(Qt::Key_F3, Qt::ShiftModifier));
    QCOMPARE(current(), QStringLiteral("4:1"));
    QCOMPARE(bar().status(), pages::FindBar::WrappedBackText);

    // Match case and whole cell.
    child<QCheckBox>("FindMatchCase")->setChecked(true);
    child<QCheckBox>("FindWholeCell")->setChecked(true);
    QTest::mouseClick(child<QPushButton>("FindNext"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this] { return !bar().searching(); }, 20000));
    QCOMPARE(current(), QStringLiteral("4:1")); // the only one: found again, past the end
    child<QCheckBox>("FindWholeCell")->setChecked(false);
    child<QLineEdit>("FindText")->setText(QStringLiteral("Fig"));
    QTest::mouseClick(child<QPushButton>("FindPrevious"), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this] { return !bar().searching(); }, 20000));
    QCOMPARE(current(), QStringLiteral("1:1"));

    // NULL is no text: "NULL" finds only the cell that holds the word.
    child<QCheckBox>("FindMatchCase")->setChecked(false);
    child<QLineEdit>("FindText")->setText(QStringLiteral("null"));
    QVERIFY(press(Qt::Key_F3));
    QCOMPARE(current(), QStringLiteral("4:2"));
    QVERIFY(press(Qt::Key_F3));
    QCOMPARE(current(), QStringLiteral("4:2"));
    // Nothing matching: said in the bar, the current cell stays, no message box.
    child<QLineEdit>("FindText")->setText(QStringLiteral("plum"));
    QVERIFY(press(Qt::Key_F3));
    QCOMPARE(bar().status(), pages::FindBar::NotFoundText);
    QCOMPARE(current(), QStringLiteral("4:2"));

    // Esc closes the bar; the grid has the focus again.
    child<QLineEdit>("FindText")->setFocus();
    QTest::keyClick(child<QLineEdit>("FindText"), Qt::Key_Escape);
    QVERIFY(bar().isHidden());
    QCOMPARE(QApplication::focusWidget(), grid_.get());
    QCOMPARE(platform_->fake().boxes.size(), 0);
}

void FindBarTest::shouldFindRowsThatArriveWhileTheTableIsRead() {
    constexpr int kRows = 3000;
    server_->createDatabase(
        testing::kCatalog,
        {"CREATE TABLE big (id int NOT NULL PRIMARY KEY, name varchar(40) NULL)",
         QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
                        "%1) INSERT INTO big SELECT x, 'name ' || x FROM c")
             .arg(kRows),
         "UPDATE big SET name = 'needle' WHERE id IN (2900, 20)"});
    testing::ReadHold hold(100);
    grid_->setDataSource(testing::openTable("big"));
    QVERIFY(QTest::qWaitFor([&] { return hold.held(); }, 20000));
    const std::shared_ptr<db::RecordsetData> data = grid_->DataSource();
    data->appendArrived();
    QVERIFY(grid_->model()->rowCount() < 2900);
    grid_->setFocus();
    grid_->setCurrentIndex(grid_->model()->index(30, 0));

    // Past the rows read so far the search says so and waits for more, the window free.
    grid_->findBar()->open();
    QTest::keyClicks(child<QLineEdit>("FindText"), "needle");
    QTest::keyClick(child<QLineEdit>("FindText"), Qt::Key_Return);
    QVERIFY(
        QTest::qWaitFor([this] { return bar().status() == pages::FindBar::WaitingText; }, 20000));
    QVERIFY(bar().searching());
    QCOMPARE(current(), QStringLiteral("31:0"));

    // The row it looks for comes in: it is found there.
    hold.release();
    QVERIFY(QTest::qWaitFor([this] { return !bar().searching(); }, 20000));
    QCOMPARE(current(), QStringLiteral("2900:1"));
    QCOMPARE(bar().status(), QString());
    // Once the read has ended, the next one is found past the end, from the top.
    QVERIFY(
        QTest::qWaitFor([&] { return data->load() != db::RecordsetData::Load::Reading; }, 20000));
    QVERIFY(press(Qt::Key_F3));
    QCOMPARE(current(), QStringLiteral("20:1"));
    QCOMPARE(bar().status(), pages::FindBar::WrappedText);
    QCOMPARE(platform_->fake().boxes.size(), 0);
}

QTEST_MAIN(FindBarTest)
#include "tst_findbar.moc"
