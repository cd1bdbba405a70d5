#include "app/mainmodule.h"
#include "app/page.h"
#include "app/platform.h"
#include "db/odbc/odbc.h"
#include "db/read/recordset.h"
#include "editor/gridfixture.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/writewait.h"
#include "support/fakeplatform.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

// The grid over a table's rows: what it shows, and when and what it writes.
class DataGridTest : public QObject, testing::GridFixture {
    Q_OBJECT
  private slots:
    void init();
    void cleanup() { dropGrid(); }
    void shouldShowNullApartFromEmptyText();
    void shouldWriteOnlyWhatIsTypedWhenTheEditIsCommitted();
    void shouldSetNullByShortcutAndByMenuAction();
    void shouldShowTheServersMessageAndWhatTheTableHoldsWhenRefused();
    void shouldShowAReadOnlyTableWithItsReason();
    void shouldLetTheRowsGoWhenUnbound();
    void shouldEditLongTextsWholeAndKeepAnErasedNullNull();
    void shouldKeepCellsItCannotCarryBackReadOnlyWithTheReason();
    void shouldShowTheHourglassAndLetTheUserCancelASlowWrite();

  private:
    QLineEdit* openEditor(int row, int column);
};

using testing::valueOf;

void DataGridTest::init() {
    makeGrid(400, 200,
             {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name varchar(255) NULL, "
              "n int NULL CHECK (n >= 0))",
              "INSERT INTO t VALUES (1, NULL, 1), (2, '', 2), (3, 'pen', NULL)",
              "CREATE TABLE f (w float NULL, note text NULL)", "INSERT INTO f VALUES (1.5, 'x')"});
    grid_->setDataSource(testing::openTable("t"));
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
    QCOMPARE(null.data().toString(), model::RecordsetModel::NullPlaceholder);
    QCOMPARE(null.data(model::RecordsetModel::IsNullRole).toBool(), true);
    QCOMPARE(null.data(Qt::EditRole).toString(), QString());
    // Adaptive Server keeps an empty string as one blank: still not NULL.
    QCOMPARE(empty.data().toString(), QString(" "));
    QCOMPARE(empty.data(model::RecordsetModel::IsNullRole).toBool(), false);
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("name"));
    QVERIFY(model->flags(null) & Qt::ItemIsEditable);
}

void DataGridTest::shouldWriteOnlyWhatIsTypedWhenTheEditIsCommitted() {
    // Passing through a NULL cell without typing leaves it NULL.
    QVERIFY(openEditor(0, 1));
    grid_->commitPendingEdit();
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 1"), QString("<NULL>"));
    QVERIFY(grid_->model()->index(0, 1).data(model::RecordsetModel::IsNullRole).toBool());

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
    showGrid();
    grid_->setFocus();

    grid_->setCurrentIndex(grid_->model()->index(1, 1));
    QTest::keyClick(grid_.get(), Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 2"), QString("<NULL>"));
    QCOMPARE(grid_->model()->index(1, 1).data().toString(), model::RecordsetModel::NullPlaceholder);

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
    // The refused text stays in its editor with the server's words under the cells; the
    // cell beneath shows what the table holds.
    QLineEdit* editor = openEditor(1, 2);
    QTest::keyClicks(editor, "-5");
    QTest::keyClick(editor, Qt::Key_Return);
    QVERIFY(platform_->fake().boxes.isEmpty());
    QVERIFY(grid_->isEditing());
    QCOMPARE(editor->text(), QString("-5"));
    const QString reason = grid_->readOnlyNotice()->toolTip();
    QVERIFY2(reason.contains("Check constraint violation occurred"), qPrintable(reason));
    QCOMPARE(grid_->model()->index(1, 2).data().toString(), QString("2"));
    QCOMPARE(valueOf("SELECT n FROM t WHERE id = 2"), QString("2"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!grid_->isEditing());

    testing::changeElsewhere(*server_, "UPDATE t SET n = 9 WHERE id = 2");
    editor = openEditor(1, 2);
    QTest::keyClicks(editor, "7");
    QVERIFY(!grid_->commitPendingEdit());
    QVERIFY(platform_->fake().boxes.isEmpty());
    QVERIFY(grid_->readOnlyNotice()->toolTip().contains("changed this row"));
    QCOMPARE(grid_->model()->index(1, 2).data().toString(), QString("9"));
    QCOMPARE(valueOf("SELECT n FROM t WHERE id = 2"), QString("9"));
}

void DataGridTest::shouldShowAReadOnlyTableWithItsReason() {
    QVERIFY(grid_->readOnlyReason().isEmpty());
    QVERIFY(grid_->readOnlyNotice()->isHidden());
    grid_->setDataSource(testing::openTable("f"));
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

void DataGridTest::shouldEditLongTextsWholeAndKeepAnErasedNullNull() {
    const QString longText = QString(50000, 'a') + QString(50000, 'b');
    server_->createDatabase(testing::kCatalog,
                            {"CREATE TABLE notes (id int NOT NULL PRIMARY KEY, body text NULL)",
                             "INSERT INTO notes VALUES (1, '" + longText + "'), (2, NULL)"});
    grid_->setDataSource(testing::openTable("notes"));
    const QModelIndex cell = grid_->model()->index(0, 1);
    grid_->setCurrentIndex(cell);
    grid_->edit(cell);
    auto* editor = grid_->viewport()->findChild<QPlainTextEdit*>("CellTextEditor");
    QVERIFY(editor);
    QCOMPARE(editor->toPlainText().size(), 100000);
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(50000);
    editor->setTextCursor(cursor);
    QTest::keyClicks(editor, "MIDDLE");
    QTest::keyClick(editor, Qt::Key_Return); // a line break, not the end of the edit
    QVERIFY(grid_->isEditing());
    grid_->commitPendingEdit();
    QCOMPARE(valueOf("SELECT body FROM notes WHERE id = 1"),
             QString(50000, 'a') + "MIDDLE\n" + QString(50000, 'b'));

    // A NULL cell typed into and erased again stays NULL.
    QLineEdit* line = openEditor(1, 1);
    QVERIFY(line);
    QTest::keyClicks(line, "x");
    QTest::keyClick(line, Qt::Key_Backspace);
    grid_->commitPendingEdit();
    QCOMPARE(valueOf("SELECT count(*) FROM notes WHERE id = 2 AND body IS NULL"), QString("1"));
    QVERIFY(platform_->fake().boxes.isEmpty());
}

void DataGridTest::shouldKeepCellsItCannotCarryBackReadOnlyWithTheReason() {
    server_->createDatabase(testing::kCatalog,
                            {"UPDATE t SET name = CAST(X'41FF42' AS TEXT) WHERE id = 3",
                             "UPDATE t SET name = CAST(X'61006263' AS TEXT) WHERE id = 2"});
    grid_->setDataSource(testing::openTable("t"));
    grid_->show();
    auto* model = grid_->model();
    for (int row : {1, 2}) {
        const QModelIndex cell = model->index(row, 1);
        QVERIFY(!(model->flags(cell) & Qt::ItemIsEditable));
        grid_->setCurrentIndex(cell);
        QVERIFY(grid_->readOnlyNotice()->isVisible());
        QCOMPARE(grid_->readOnlyNotice()->toolTip(), cell.data(Qt::ToolTipRole).toString());
    }
    QVERIFY(model->index(1, 1).data(Qt::ToolTipRole).toString().contains("NUL character"));
    QVERIFY(model->index(2, 1).data(Qt::ToolTipRole).toString().contains("UTF-8"));
    // Other cells of those rows stay editable, the band goes with the cell, and a write
    // there leaves the value that cannot be carried as it is.
    grid_->setCurrentIndex(model->index(2, 2));
    QVERIFY(model->flags(model->index(2, 2)) & Qt::ItemIsEditable);
    QVERIFY(grid_->readOnlyNotice()->isHidden());
    QVERIFY(model->setData(model->index(2, 2), "4"));
    QVERIFY(model->setData(model->index(1, 2), "5"));
    QCOMPARE(valueOf("SELECT count(*) FROM t WHERE id = 3 AND n = 4"), QString("1"));
    QCOMPARE(valueOf("SELECT name FROM t WHERE id = 2"), QString("a") + QChar(0) + "bc");
}

void DataGridTest::shouldShowTheHourglassAndLetTheUserCancelASlowWrite() {
    struct HostPage : app::Page {
        void Form_Load() override {}
    } page;
    grid_->setParent(&page);
    page.show();
    db::Connection other;
    other.Open(testing::SampleServer::connectionString(testing::kCatalog));
    db::odbc::Statement(*other.driver()).execDirect("BEGIN TRANSACTION");
    db::odbc::Statement(*other.driver()).execDirect("UPDATE t SET n = 5 WHERE id = 1");

    short pointer = -1;
    bool boxShown = false;
    // As the user would: wait for the box, then press its Cancel button.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = page.findChild<QProgressDialog*>("WriteProgress");
        if (!box || !box->isVisible())
            return;
        watch.stop();
        pointer = page.MousePointer();
        boxShown = true;
        emit box->canceled();
    });
    watch.start(50);
    QVERIFY(!grid_->model()->setData(grid_->model()->index(0, 2), "8"));
    db::odbc::Statement(*other.driver()).execDirect("ROLLBACK TRANSACTION");
    QCOMPARE(pointer, app::kPointerHourglass);
    QVERIFY(boxShown);
    QCOMPARE(page.MousePointer(), app::kPointerDefault);
    QCOMPARE(platform_->fake().boxes.size(), 1);
    QVERIFY2(platform_->fake().boxes.first().text.contains("cancelled"),
             qPrintable(platform_->fake().boxes.first().text));
    QCOMPARE(valueOf("SELECT n FROM t WHERE id = 1"), QString("1"));
    grid_->setParent(nullptr);
}

QTEST_MAIN(DataGridTest)
#include "tst_datagrid.moc"
