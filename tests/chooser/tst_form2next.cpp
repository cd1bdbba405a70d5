#include "chooserfixture.h"

#include "db/connect/connectionstate.h"
#include "db/dialect/tablename.h"
#include "db/dialect/tsql.h"
#include "db/odbc/dberror.h"
#include "db/read/recordset.h"
#include "pages/chooser/form2.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"
#include "pages/globals.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

using chooser::Fixture;

class Form2NextTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldBuildTheQueryWithClosingBracketsDoubled();
    void shouldOpenTheChosenTableInTheEditor();
    void shouldOpenATableByEnterOrDoubleClickAndKeepItOnAClickBesideTheNames();
    void shouldReleaseTheEarlierTableWhenAnotherIsChosen();
    void shouldLandOnAnEmptyEditorWhenTheConnectionFails();
    void shouldAskForATableWhenTheListIsEmpty();
    void shouldReportANameWithABracketCleanlyAndRunNothingOfIt();
};

namespace {
QListWidgetItem* itemNamed(const QString& name) {
    const auto found = pages::form2().List1->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}
void choose(const QString& name) {
    QListWidgetItem* item = itemNamed(name);
    QVERIFY2(item, qPrintable(name));
    pages::form2().List1->setCurrentItem(item);
}
} // namespace

void Form2NextTest::shouldBuildTheQueryWithClosingBracketsDoubled() {
    const auto query = [](const QString& owner, const QString& name) {
        return db::tsql::selectAllFrom(db::TableName{owner, name});
    };
    QCOMPARE(query({}, QStringLiteral("Physics")), QStringLiteral("SELECT * FROM [Physics]"));
    QCOMPARE(query({}, QStringLiteral("Order Details")),
             QStringLiteral("SELECT * FROM [Order Details]"));
    QCOMPARE(query({}, QStringLiteral("a]b")), QStringLiteral("SELECT * FROM [a]]b]"));
    QCOMPARE(query({}, QStringLiteral("x]; DROP TABLE t; --")),
             QStringLiteral("SELECT * FROM [x]]; DROP TABLE t; --]"));
    QCOMPARE(query({}, QStringLiteral("]]")), QStringLiteral("SELECT * FROM []]]]]"));
    QCOMPARE(query({}, QStringLiteral("[a")), QStringLiteral("SELECT * FROM [[a]"));
    // Another owner's table: both parts bracketed, a dot in either kept inside its own.
    QCOMPARE(query(QStringLiteral("joe"), QStringLiteral("orders")),
             QStringLiteral("SELECT * FROM [joe].[orders]"));
    QCOMPARE(query(QStringLiteral("j].o"), QStringLiteral("a.b")),
             QStringLiteral("SELECT * FROM [j]].o].[a.b]"));
}

void Form2NextTest::shouldOpenTheChosenTableInTheEditor() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::form2().Show();
    choose(QStringLiteral("Order Details"));
    QTest::mouseClick(pages::form2().PushButton3, Qt::LeftButton);

    QCOMPARE(run.boxTexts(), QStringList());
    QCOMPARE(Globals::SelectedTableName, QStringLiteral("Order Details"));
    pages::Form3& editor = pages::form3();
    QVERIFY(editor.isVisible());
    QVERIFY(!pages::form2().isVisible());
    QCOMPARE(pages::form2().MousePointer(), app::kPointerDefault);
    QCOMPARE(editor.Label2->text(), QStringLiteral(" Now Editing: Order Details"));
    const auto source = editor.DataGrid1->DataSource();
    QVERIFY(source);
    QCOMPARE(source->source, QStringLiteral("SELECT * FROM [Order Details]"));
    QCOMPARE(source->cursorType, 2);
    QCOMPARE(source->lockType, 3);
    QCOMPARE(source->rows.rowCount(), 1);
    QVERIFY(source->connection && source->connection->driver);
    QCOMPARE(source->connection->cursorLocation, short(3));
    QCOMPARE(source->connection->commandTimeout, 5000);
    QCOMPARE(source->connection->connectionTimeout, 5000);
}

void Form2NextTest::shouldOpenATableByEnterOrDoubleClickAndKeepItOnAClickBesideTheNames() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::Form2& chooser = pages::form2();
    chooser.Show();
    QListWidget* list = chooser.List1;
    QWidget* names = list->viewport();
    // A click below the last name keeps the selection; "Next >" opens it.
    choose(QStringLiteral("Order Details"));
    const QPoint beside(names->width() / 2, names->height() - 2);
    QVERIFY(!list->indexAt(beside).isValid());
    QTest::mouseClick(names, Qt::LeftButton, {}, beside);
    QCOMPARE(list->selectedItems().size(), 1);

    // Enter on the list does what "Next >" does.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(run.boxTexts(), QStringList());
    QVERIFY(pages::form3().isVisible());
    QVERIFY(!chooser.isVisible());
    QCOMPARE(Globals::SelectedTableName, QStringLiteral("Order Details"));

    // And so does a double-click on another name.
    pages::form3().PushButton1_Click();
    QVERIFY(chooser.isVisible());
    QListWidgetItem* other = itemNamed(QStringLiteral("Physics"));
    QVERIFY(other && other->text() != QStringLiteral("Order Details"));
    const QPoint at = list->visualItemRect(other).center();
    QTest::mouseClick(names, Qt::LeftButton, {}, at);
    QTest::mouseDClick(names, Qt::LeftButton, {}, at);
    QCOMPARE(run.boxTexts(), QStringList());
    QVERIFY(pages::form3().isVisible());
    QCOMPARE(Globals::SelectedTableName, other->text());
    QCOMPARE(pages::form3().Label2->text(), QStringLiteral(" Now Editing: ") + other->text());
}

void Form2NextTest::shouldReleaseTheEarlierTableWhenAnotherIsChosen() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::form2().Show();
    pages::form2().PushButton3_Click(); // the first table is selected at load
    std::weak_ptr<db::RecordsetData> first = pages::form3().DataGrid1->DataSource();
    QVERIFY(!first.expired());
    QCOMPARE(first.lock()->source, QStringLiteral("SELECT * FROM [Order Details]"));

    pages::form3().Hide(); // back to the chooser, as the editor's "< Back" does
    pages::form2().Show();
    choose(QStringLiteral("Physics"));
    pages::form2().PushButton3_Click();
    QVERIFY(first.expired());
    QCOMPARE(pages::form3().Label2->text(), QStringLiteral(" Now Editing: Physics"));
    QCOMPARE(pages::form3().DataGrid1->DataSource()->rows.rowCount(), 2);
    QCOMPARE(run.boxTexts(), QStringList());
}

void Form2NextTest::shouldLandOnAnEmptyEditorWhenTheConnectionFails() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::form2().Show();
    pages::form1().Text4->setText(QStringLiteral("changed since the listing"));
    pages::form2().PushButton3_Click();

    QCOMPARE(run.boxTexts(),
             QStringList(
                 {chooser::reportText("Form2", "PushButton3_Click", 114, testing::kLoginFailedText),
                  chooser::reportText("Form2", "PushButton3_Click", 126,
                                      QString::fromLatin1(db::kObjectClosed))}));
    QVERIFY(pages::form3().isVisible());
    QCOMPARE(pages::form3().Label2->text(), QStringLiteral(" Now Editing: Order Details"));
    QVERIFY(!pages::form3().DataGrid1->DataSource());
    QVERIFY(!pages::form2().isVisible());
    QCOMPARE(pages::form2().MousePointer(), app::kPointerDefault);
}

void Form2NextTest::shouldAskForATableWhenTheListIsEmpty() {
    Fixture run(QStringLiteral("empty"), {});
    pages::form2().Show();
    QCOMPARE(pages::form2().List1->count(), 0);
    QTest::mouseClick(pages::form2().PushButton3, Qt::LeftButton);

    QCOMPARE(run.fake->boxes.size(), 1);
    QCOMPARE(run.fake->boxes.at(0).text, QStringLiteral("Please select a table"));
    QCOMPARE(run.fake->boxes.at(0).style, 0);
    QCOMPARE(run.fake->boxes.at(0).title, QStringLiteral("Quorvane"));
    QVERIFY(pages::form2().isVisible());
    QCOMPARE(pages::form2().MousePointer(), app::kPointerDefault);
    QVERIFY(!pages::form3().isLoaded());
}

void Form2NextTest::shouldReportANameWithABracketCleanlyAndRunNothingOfIt() {
    QStringList tables = chooser::kLabTables;
    tables << QStringLiteral("CREATE TABLE \"x]y\" (a int NULL)")
           << QStringLiteral("CREATE TABLE \"t] ; DELETE FROM Physics; --\" (a int NULL)");
    Fixture run(QStringLiteral("lab"), tables);
    pages::form2().Show();
    for (const QString& name :
         {QStringLiteral("x]y"), QStringLiteral("t] ; DELETE FROM Physics; --")}) {
        run.fake->boxes.clear();
        choose(name);
        pages::form2().PushButton3_Click();
        // The whole name is one bracketed identifier ("]" doubled): that table opens.
        QCOMPARE(run.boxTexts(), QStringList());
        QCOMPARE(pages::form3().Label2->text(), QStringLiteral(" Now Editing: ") + name);
        const auto source = pages::form3().DataGrid1->DataSource();
        QVERIFY(source);
        QCOMPARE(source->source,
                 QStringLiteral("SELECT * FROM [") + QString(name).replace("]", "]]") + "]");
        QCOMPARE(source->rows.rowCount(), 0);
        pages::form3().Hide();
        pages::form2().Show();
    }
    run.fake->boxes.clear();
    choose(QStringLiteral("Physics"));
    pages::form2().PushButton3_Click();
    QCOMPARE(run.boxTexts(), QStringList());
    QCOMPARE(pages::form3().DataGrid1->DataSource()->rows.rowCount(), 2); // nothing deleted
}

QTEST_MAIN(Form2NextTest)
#include "tst_form2next.moc"
