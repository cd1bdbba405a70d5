#include "db/recordset.h"
#include "editor/editorfixture.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/recordsetmodel.h"
#include "support/fakeplatform.h"

#include <QTest>

// The rows the grid shows, in an order of their own: edits, reasons and arrivals follow
// the row the user sees.
class GridSortTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void shouldWriteTheRowTheUserSeesWhenRowsLeaveAndEnterTheView();

  private:
    pages::RecordsetModel& model() { return *static_cast<pages::RecordsetModel*>(grid_->model()); }
    QString shown(int viewRow, int column) {
        return model().index(viewRow, column).data().toString();
    }

    std::unique_ptr<testing::PlatformGuard> platform_;
    std::unique_ptr<testing::SampleServer> server_;
    std::unique_ptr<pages::DataGrid> grid_;
};

using editor::valueOf;

void GridSortTest::init() {
    platform_ = std::make_unique<testing::PlatformGuard>();
    server_ = std::make_unique<testing::SampleServer>();
    server_->createDatabase(
        editor::kCatalog,
        {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(40) NULL, "
         "amount numeric(38,2) NULL, seen datetime NULL, w float NULL)",
         "INSERT INTO t VALUES (1, 'pear', 10.50, '2024-03-01 10:00:00', 2.5), "
         "(2, 'apple', 9, '2023-12-31 23:59:59', -1), (3, NULL, NULL, NULL, NULL), "
         "(4, 'fig  ', 123456789012345678901234567890123456.01, '2024-03-01 09:00:00', 1e10), "
         "(5, 'Fig', -0.5, '1999-01-01 00:00:00', 0.25)"});
    grid_ = std::make_unique<pages::DataGrid>();
    grid_->resize(500, 300);
    grid_->setDataSource(editor::openTable("t"));
}

void GridSortTest::cleanup() {
    grid_.reset();
    server_.reset();
    platform_.reset();
}

void GridSortTest::shouldWriteTheRowTheUserSeesWhenRowsLeaveAndEnterTheView() {
    pages::RecordsetModel& rows = model();
    rows.hideStoredRows({1, 3});
    QCOMPARE(rows.rowCount(), 3 + 1); // and the new-row line
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
    rows.showAppendedRow(5);
    QCOMPARE(rows.rowCount(), 4 + 1);
    QCOMPARE(shown(3, 0), QStringLiteral("6"));
    QCOMPARE(rows.viewRow(5), 3);
    // The row after it still writes its own row.
    QVERIFY(rows.setData(rows.index(2, 1), QStringLiteral("date")));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 5"), QStringLiteral("date"));
    QCOMPARE(platform_->fake().boxes.size(), 0);
}

QTEST_MAIN(GridSortTest)
#include "tst_gridsort.moc"
