#include "app/mainmodule.h"
#include "app/platform.h"
#include "db/recordset.h"
#include "editor/editorfixture.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/recordsetmodel.h"
#include "support/fakeplatform.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>

// The grid over a table's rows: what it shows, and when and what it writes.
class DataGridTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void shouldShowNullApartFromEmptyText();
    void shouldWriteOnlyWhatIsTypedWhenTheEditIsCommitted();
    void shouldSetNullByShortcutAndByMenuAction();
    void shouldShowTheServersMessageAndWhatTheTableHoldsWhenRefused();
    void shouldShowAReadOnlyTableWithItsReason();
    void shouldLetTheRowsGoWhenUnbound();

  private:
    QLineEdit* openEditor(int row, int column);

    std::unique_ptr<testing::PlatformGuard> platform_;
    std::unique_ptr<testing::SampleServer> server_;
    std::unique_ptr<pages::DataGrid> grid_;
};

using editor::valueOf;

void DataGridTest::init() {
    platform_ = std::make_unique<testing::PlatformGuard>();
    server_ = std::make_unique<testing::SampleServer>();
    server_->createDatabase(editor::kCatalog,
                            {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(255) NULL, "
                             "n int NULL CHECK (n >= 0))",
                             "INSERT INTO t VALUES (1, NULL, 1), (2, '', 2), (3, 'pen', NULL)",
                             "CREATE TABLE f (w float NULL, note text NULL)",
                             "INSERT INTO f VALUES (1.5, 'x')"});
    grid_ = std::make_unique<pages::DataGrid>();
    grid_->resize(400, 200);
    grid_->setDataSource(editor::openTable("t"));
}

void DataGridTest::cleanup() {
    grid_.reset();
    server_.reset();
    platform_.reset();
}

QLineEdit* DataGridTest::openEditor(int row, int column) {
    const QModelIndex index = grid_->model()->index(row, column);
    grid_->setCurrentIndex(index);
    grid_->edit(index);
    // Closed editors linger, hidden, until the event loop deletes them.
    for (QLineEdit* editor : grid_->viewport()->findChildren<QLineEdit*>())
        if (!editor->isHidden())
            return editor;
    return nullptr;
}

void DataGridTest::shouldShowNullApartFromEmptyText() {
    QAbstractItemModel* model = grid_->model();
    const QModelIndex null = model->index(0, 1);
    const QModelIndex empty = model->index(1, 1);
    QCOMPARE(null.data().toString(), pages::RecordsetModel::NullPlaceholder);
    QCOMPARE(null.data(pages::RecordsetModel::IsNullRole).toBool(), true);
    QCOMPARE(null.data(Qt::EditRole).toString(), QString());
    // Adaptive Server keeps an empty string as one blank: still not NULL.
    QCOMPARE(empty.data().toString(), QString(" "));
    QCOMPARE(empty.data(pages::RecordsetModel::IsNullRole).toBool(), false);
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("name"));
    QVERIFY(model->flags(null) & Qt::ItemIsEditable);
}

void DataGridTest::shouldWriteOnlyWhatIsTypedWhenTheEditIsCommitted() {
    // Passing through a NULL cell without typing leaves it NULL.
    QVERIFY(openEditor(0, 1));
    grid_->commitPendingEdit();
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("<NULL>"));
    QVERIFY(grid_->model()->index(0, 1).data(pages::RecordsetModel::IsNullRole).toBool());

    // Typed text goes on Enter.
    QLineEdit* editor = openEditor(0, 1);
    QVERIFY(editor);
    QTest::keyClicks(editor, "ink");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // Enter commits from the event queue
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("ink"));
    QCOMPARE(grid_->model()->index(0, 1).data().toString(), QString("ink"));

    // And when the edit is committed from outside (leaving the page).
    editor = openEditor(2, 1);
    editor->selectAll();
    QTest::keyClicks(editor, "nib");
    grid_->commitPendingEdit();
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 3"), QString("nib"));
    QVERIFY(!grid_->isEditing());
    QVERIFY(platform_->fake().boxes.isEmpty());
}

void DataGridTest::shouldSetNullByShortcutAndByMenuAction() {
    grid_->show();
    grid_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(grid_.get()));
    grid_->setFocus();

    grid_->setCurrentIndex(grid_->model()->index(1, 1));
    QTest::keyClick(grid_.get(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 2"), QString("<NULL>"));
    QCOMPARE(grid_->model()->index(1, 1).data().toString(), pages::RecordsetModel::NullPlaceholder);

    // While editing, the shortcut drops the typed text.
    QLineEdit* editor = openEditor(2, 1);
    QVERIFY(editor);
    QTest::keyClicks(editor, "typed");
    QTest::keyClick(editor, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 3"), QString("<NULL>"));
    QVERIFY(!grid_->isEditing());

    grid_->setCurrentIndex(grid_->model()->index(0, 2));
    QVERIFY(grid_->setNullAction()->isEnabled());
    grid_->setNullAction()->trigger();
    QCOMPARE(valueOf("SELECT n FROM t WHERE id = 1"), QString("<NULL>"));
}

void DataGridTest::shouldShowTheServersMessageAndWhatTheTableHoldsWhenRefused() {
    QLineEdit* editor = openEditor(1, 2);
    QTest::keyClicks(editor, "-5");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // Enter commits from the event queue
    QCOMPARE(platform_->fake().boxes.size(), 1);
    const testing::ShownBox box = platform_->fake().boxes.first();
    QVERIFY2(box.text.contains("Check constraint violation occurred"), qPrintable(box.text));
    QCOMPARE(box.style, app::kStyleExclamation);
    QCOMPARE(box.title, app::ApplicationTitle());
    QCOMPARE(grid_->model()->index(1, 2).data().toString(), QString("2"));
    QCOMPARE(valueOf("SELECT n FROM t WHERE id = 2"), QString("2"));

    editor::changeElsewhere(*server_, "UPDATE t SET n = 9 WHERE id = 2");
    editor = openEditor(1, 2);
    QTest::keyClicks(editor, "7");
    grid_->commitPendingEdit();
    QCOMPARE(platform_->fake().boxes.size(), 2);
    QVERIFY(platform_->fake().boxes.last().text.contains("changed this row"));
    QCOMPARE(grid_->model()->index(1, 2).data().toString(), QString("9"));
    QCOMPARE(valueOf("SELECT n FROM t WHERE id = 2"), QString("9"));
}

void DataGridTest::shouldShowAReadOnlyTableWithItsReason() {
    QVERIFY(grid_->readOnlyReason().isEmpty());
    QVERIFY(grid_->readOnlyNotice()->isHidden());
    grid_->setDataSource(editor::openTable("f"));
    grid_->show();
    QVERIFY(grid_->readOnlyReason().contains("no key"));
    QVERIFY(grid_->readOnlyNotice()->isVisible());
    QCOMPARE(grid_->readOnlyNotice()->toolTip(), grid_->readOnlyReason());
    const QModelIndex cell = grid_->model()->index(0, 1);
    QVERIFY(!(grid_->model()->flags(cell) & Qt::ItemIsEditable));
    grid_->setCurrentIndex(cell);
    QVERIFY(!grid_->setNullAction()->isEnabled());
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    grid_->edit(cell);
    QVERIFY(!grid_->isEditing());
    // The band sits below the cells, not over them.
    QVERIFY(grid_->readOnlyNotice()->geometry().top() > grid_->viewport()->geometry().bottom());
}

void DataGridTest::shouldLetTheRowsGoWhenUnbound() {
    std::weak_ptr<db::RecordsetData> rows = grid_->DataSource();
    QVERIFY(!rows.expired());
    QLineEdit* editor = openEditor(0, 1);
    QTest::keyClicks(editor, "kept");
    grid_->setDataSource(nullptr);
    QVERIFY(rows.expired());
    QCOMPARE(grid_->model(), nullptr);
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("kept"));
}

QTEST_MAIN(DataGridTest)
#include "tst_datagrid.moc"
