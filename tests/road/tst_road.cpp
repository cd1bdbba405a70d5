#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "db/connect/connection.h"
#include "db/read/recordset.h"
#include "model/recordsetmodel.h"
#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/editor/celldelegate.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"
#include "pages/program.h"
#include "pages/wizard.h"
#include "sample/sampleserver.h"
#include "support/fakeplatform.h"
#include "support/sampledb.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

// The whole road a user walks on the bundled sample database: start-up with the saved
// values, the chooser, the editor, back and forth, and the end of the program.
class RoadTest : public QObject {
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void shouldEditTwoTablesFromSavedValuesAndCommitTheOpenEditOnClose();
    void shouldStayOnConnectionPageUntilTheFixedValuesLogIn();
    void shouldListTheDatabaseTypedAfterGoingBack();
    void shouldEditTablesWithServerSetColumnsAndATrigger();

  private:
    std::unique_ptr<testing::PlatformGuard> platform_;
    std::unique_ptr<testing::SampleServer> server_;
};

namespace {

const QString kPubs = QStringLiteral("pubs");
const QStringList kPubsTables = {"authors",    "discounts",   "inventory", "inventory_log",
                                 "joe.orders", "order notes", "orders",    "publishers",
                                 "sales",      "stores",      "titles"};

void saveValues(const db::ConnectionFields& f) {
    QVERIFY(testing::saveConnectionValues(f));
}

// The first value of a query on `catalog`, read through a connection of its own.
QString valueOf(const QString& sql, const QString& catalog = kPubs) {
    return testing::SampleServer::firstValue(catalog, sql);
}

QStringList listed() {
    QStringList names;
    for (int i = 0; i < pages::form2().List1->count(); ++i)
        names << pages::form2().List1->item(i)->text();
    names.sort();
    return names;
}

void choose(const QString& table) {
    const auto found = pages::form2().List1->findItems(table, Qt::MatchExactly);
    QVERIFY2(found.size() == 1, qPrintable(table));
    pages::form2().List1->setCurrentItem(found.first());
}

// The table's rows the editor's grid shows (not its new-row line).
int shownRows() {
    return static_cast<model::RecordsetModel*>(pages::form3().DataGrid1->model())->shownRows();
}

// The grid's cell in the row whose first column holds `key`.
QModelIndex cell(const QString& key, int column) {
    const QAbstractItemModel* model = pages::form3().DataGrid1->model();
    for (int row = 0; row < model->rowCount(); ++row)
        if (model->index(row, 0).data(Qt::EditRole).toString() == key)
            return model->index(row, column);
    return {};
}

// Opens the cell's editor as a double click would and types over its text; the edit
// stays open.
void typeInto(const QModelIndex& index, const QString& text) {
    QVERIFY(index.isValid());
    pages::DataGrid* grid = pages::form3().DataGrid1;
    grid->setCurrentIndex(index);
    grid->edit(index);
    auto* editor = qobject_cast<QLineEdit*>(
        qobject_cast<pages::CellDelegate*>(grid->itemDelegate())->openEditor());
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QVERIFY(grid->isEditing());
}

// Types into the cell and presses Enter (the grid commits once the key has reached the
// editor, from the event loop).
void editCell(const QModelIndex& index, const QString& text) {
    typeInto(index, text);
    pages::DataGrid* grid = pages::form3().DataGrid1;
    QTest::keyClick(qobject_cast<pages::CellDelegate*>(grid->itemDelegate())->openEditor(),
                    Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!grid->isEditing(), 5000);
}

} // namespace

void RoadTest::init() {
    platform_ = std::make_unique<testing::PlatformGuard>();
    server_ = std::make_unique<testing::SampleServer>();
    server_->createSampleDatabase();
}

void RoadTest::cleanup() {
    pages::resetPages();
    server_.reset();
    platform_.reset();
}

void RoadTest::shouldEditTwoTablesFromSavedValuesAndCommitTheOpenEditOnClose() {
    saveValues(testing::SampleServer::fields(kPubs));
    pages::startProgram();

    // Start-up lands on the chooser with the first table selected.
    pages::Form2& chooser = pages::form2();
    QVERIFY(chooser.isVisible());
    QVERIFY(!pages::form1().isVisible());
    QCOMPARE(listed(), kPubsTables);
    QCOMPARE(chooser.List1->currentRow(), 0);
    QVERIFY(chooser.List1->item(0)->isSelected());

    choose(QStringLiteral("titles"));
    QTest::mouseClick(chooser.PushButton3, Qt::LeftButton);
    pages::Form3& editor = pages::form3();
    QVERIFY(editor.isVisible());
    QVERIFY(!chooser.isVisible());
    QCOMPARE(editor.Label2->text(), QStringLiteral(" Now Editing: titles"));
    QCOMPARE(editor.focusWidget(), editor.DataGrid1);
    QCOMPARE(shownRows(), 7);

    editCell(cell("BU1032", 1), QStringLiteral("The Busy Executive's Guide"));
    editCell(cell("MC3026", 4), QStringLiteral("12.50")); // a NULL price
    QCOMPARE(valueOf("SELECT title FROM titles WHERE title_id = 'BU1032'"),
             QStringLiteral("The Busy Executive's Guide"));
    QCOMPARE(valueOf("SELECT COUNT(*) FROM titles WHERE title = 'Cooking with Computers'"),
             QStringLiteral("1"));
    QCOMPARE(valueOf("SELECT price FROM titles WHERE title_id = 'MC3026'"),
             QStringLiteral("12.5000")); // money: four decimals, exactly
    // The grid shows the row as the table holds it after the write.
    QCOMPARE(cell("MC3026", 4).data().toString(),
             valueOf("SELECT price FROM titles WHERE title_id = 'MC3026'"));
    QCOMPARE(valueOf("SELECT COUNT(*) FROM titles WHERE price IS NULL"), QStringLiteral("0"));

    // An edit still open when going back is written, not lost.
    typeInto(cell("TC7777", 1), QStringLiteral("Sushi, Everyone?"));
    QTest::mouseClick(editor.PushButton1, Qt::LeftButton);
    QVERIFY(chooser.isVisible());
    QVERIFY(!editor.isVisible());
    QCOMPARE(valueOf("SELECT title FROM titles WHERE title_id = 'TC7777'"),
             QStringLiteral("Sushi, Everyone?"));
    QCOMPARE(listed(), kPubsTables);

    choose(QStringLiteral("order notes"));
    QTest::mouseClick(chooser.PushButton3, Qt::LeftButton);
    QVERIFY(editor.isVisible());
    QCOMPARE(editor.Label2->text(), QStringLiteral(" Now Editing: order notes"));
    QCOMPARE(shownRows(), 4);
    // The long packing list is there whole, past the 32,768 bytes a server sends unasked.
    QCOMPARE(cell("P3087a", 1).data(Qt::EditRole).toString().size(), 57030);
    editCell(cell("D4482", 1), QStringLiteral("Ring first"));
    QCOMPARE(valueOf("SELECT note FROM [order notes] WHERE ord_num = 'D4482'"),
             QStringLiteral("Ring first"));

    // Closing the window with an open edit: the edit is written, then the program ends.
    typeInto(cell("N914008", 1), QStringLiteral("Leave at the door"));
    QVERIFY(editor.close());
    QCOMPARE(platform_->fake().programEnds, 1);
    QCOMPARE(valueOf("SELECT note FROM [order notes] WHERE ord_num = 'N914008'"),
             QStringLiteral("Leave at the door"));
    QCOMPARE(valueOf("SELECT note FROM [order notes] WHERE ord_num = 'A2976'"),
             QStringLiteral("Deliver before noon"));
    QCOMPARE(valueOf("SELECT title FROM titles WHERE title_id = 'BU1032'"),
             QStringLiteral("The Busy Executive's Guide"));
    QVERIFY(platform_->fake().boxes.isEmpty());
}

void RoadTest::shouldStayOnConnectionPageUntilTheFixedValuesLogIn() {
    db::ConnectionFields wrong = testing::SampleServer::fields(kPubs);
    wrong.password = QStringLiteral("not the password");
    saveValues(wrong);
    pages::startProgram();

    pages::Form1& connection = pages::form1();
    QVERIFY(connection.isVisible());
    QVERIFY(!pages::form2().isVisible());
    QCOMPARE(connection.Text4->text(), QStringLiteral("not the password"));
    QVERIFY(platform_->fake().boxes.isEmpty());

    // The user types the right password; the store follows each keystroke.
    connection.Text4->selectAll();
    QTest::keyClicks(connection.Text4, QString::fromLatin1(sample::kPassword));
    QCOMPARE(app::GetSetting(app::ApplicationKey, app::ProductName, QStringLiteral("Password")),
             QString::fromLatin1(sample::kPassword));

    // "Next >" shows the chooser and loads it once more: the list is filled once.
    QTest::mouseClick(connection.PushButton3, Qt::LeftButton);
    QVERIFY(pages::form2().isVisible());
    QVERIFY(!connection.isVisible());
    QCOMPARE(listed(), kPubsTables);
    QCOMPARE(pages::form2().List1->currentRow(), 0);
    QVERIFY(platform_->fake().boxes.isEmpty());
}

void RoadTest::shouldListTheDatabaseTypedAfterGoingBack() {
    server_->createDatabase(
        QStringLiteral("shop"),
        {"CREATE TABLE shelves (id int NOT NULL PRIMARY KEY, label varchar(255) NULL)",
         "INSERT INTO shelves VALUES (1, 'top')"});
    saveValues(testing::SampleServer::fields(kPubs));
    pages::startProgram();
    QCOMPARE(listed(), kPubsTables);

    QTest::mouseClick(pages::form2().PushButton2, Qt::LeftButton);
    pages::Form1& connection = pages::form1();
    QVERIFY(connection.isVisible());
    QVERIFY(!pages::form2().isVisible());

    // A database that does not exist: "Next >" does nothing.
    connection.Text5->setText(QStringLiteral("nowhere"));
    QTest::mouseClick(connection.PushButton3, Qt::LeftButton);
    QVERIFY(connection.isVisible());
    QVERIFY(!pages::form2().isVisible());

    connection.Text5->setText(QStringLiteral("shop"));
    QTest::mouseClick(connection.PushButton3, Qt::LeftButton);
    QVERIFY(pages::form2().isVisible());
    QCOMPARE(listed(), QStringList{"shelves"});

    QTest::mouseClick(pages::form2().PushButton3, Qt::LeftButton);
    QCOMPARE(pages::form3().Label2->text(), QStringLiteral(" Now Editing: shelves"));
    editCell(cell("1", 1), QStringLiteral("middle"));
    QCOMPARE(valueOf("SELECT label FROM shelves", QStringLiteral("shop")),
             QStringLiteral("middle"));
    QVERIFY(platform_->fake().boxes.isEmpty());
}

void RoadTest::shouldEditTablesWithServerSetColumnsAndATrigger() {
    saveValues(testing::SampleServer::fields(kPubs));
    pages::startProgram();
    pages::Form2& chooser = pages::form2();
    pages::Form3& editor = pages::form3();

    // Identity and timestamp columns are the server's, binary ones are not typed in;
    // every other column is editable.
    choose(QStringLiteral("orders"));
    QTest::mouseClick(chooser.PushButton3, Qt::LeftButton);
    QCOMPARE(shownRows(), 2);
    const QAbstractItemModel* model = editor.DataGrid1->model();
    const int columns = model->columnCount();
    QCOMPARE(model->headerData(columns - 1, Qt::Horizontal).toString(), QStringLiteral("version"));
    QVERIFY(!(model->flags(cell("1", 0)) & Qt::ItemIsEditable));
    QVERIFY(!(model->flags(cell("1", columns - 1)) & Qt::ItemIsEditable));
    const int firstBinary = 14; // region, barcode, label
    for (int c = 1; c < columns - 1; ++c)
        QVERIFY2(bool(model->flags(cell("1", c)) & Qt::ItemIsEditable) == (c < firstBinary),
                 qPrintable(QString::number(c)));
    const QString version = valueOf("SELECT version FROM orders WHERE order_id = 1");
    editCell(cell("1", 2), QStringLiteral("7"));
    QCOMPARE(valueOf("SELECT quantity FROM orders WHERE order_id = 1"), QStringLiteral("7"));
    QVERIFY(valueOf("SELECT version FROM orders WHERE order_id = 1") != version);
    QCOMPARE(valueOf("SELECT quantity FROM orders WHERE order_id = 2"), QStringLiteral("12"));

    // A trigger's own row counts come before the edit's: the edit still lands once.
    QTest::mouseClick(editor.PushButton1, Qt::LeftButton);
    choose(QStringLiteral("inventory"));
    QTest::mouseClick(chooser.PushButton3, Qt::LeftButton);
    editCell(cell("BU1111", 1), QStringLiteral("30"));
    QCOMPARE(valueOf("SELECT on_hand FROM inventory WHERE title_id = 'BU1111'"),
             QStringLiteral("30"));
    QCOMPARE(valueOf("SELECT COUNT(*) FROM inventory_log"), QStringLiteral("1"));
    QCOMPARE(valueOf("SELECT new_on_hand FROM inventory_log WHERE title_id = 'BU1111'"),
             QStringLiteral("30"));
    QVERIFY(platform_->fake().boxes.isEmpty());
}

QTEST_MAIN(RoadTest)
#include "tst_road.moc"
