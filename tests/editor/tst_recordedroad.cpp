#include "db/connect/handler.h"
#include "db/read/recordset.h"
#include "db/read/tablelist.h"
#include "editor/gridfixture.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/gridedits.h"
#include "support/fakeplatform.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QTest>

// The whole road (list, open, sort, edit, add, delete, paste, undo) through FreeTDS
// against the server as recorded Adaptive Servers answer: CONTROL and ORDERBY tokens,
// nullable columns with their base user types, server messages ending in a line end, a
// unitext column the driver cannot describe. Each write is checked over a second
// connection.
class RecordedRoadTest : public QObject, testing::GridFixture {
    Q_OBJECT
  private slots:
    void init() {
        makeGrid(700, 300);
        confirmDeletes();
    }
    void cleanup() { dropGrid(); }
    void shouldWalkTheWholeRoadOverTheRecordedStream();

  private:
    int rowOf(const QString& id) {
        for (int row = 0; row < model().rowCount(); ++row)
            if (shown(row, 0) == id)
                return row;
        return -1;
    }
};

namespace {

struct Names : db::ListTarget {
    QStringList items;
    void Clear() override { items.clear(); }
    void AddItem(const QString& item) override { items << item; }
    int ListCount() const override { return int(items.size()); }
};

} // namespace

using testing::valueOf;

void RecordedRoadTest::shouldWalkTheWholeRoadOverTheRecordedStream() {
    server_->createDatabase(
        testing::kCatalog,
        {"CREATE TABLE note (id int NOT NULL PRIMARY KEY, big bigint NULL, price decimal(10,2) "
         "NULL, name varchar(10) NULL, body unitext NULL)",
         "INSERT INTO note VALUES (1, 10, 1.5, 'a', 'x'), (2, NULL, NULL, 'b', NULL), "
         "(3, 30, 3.25, 'c', 'zz')",
         "CREATE TABLE other (k int NOT NULL PRIMARY KEY)",
         "CREATE TRIGGER note_guard BEFORE UPDATE OF name ON note WHEN NEW.name = 'bad' "
         "BEGIN SELECT RAISE(ABORT, 'No bad names.'); END"});

    // List.
    Names names;
    QStringList reports;
    db::Handler handler(QStringLiteral("list "),
                        [&](const QString&, int, const QString& text) { reports << text; });
    db::AddTablesToSybaseASEListbox(
        names, [] { return testing::SampleServer::connectionString(testing::kCatalog); }, [] {},
        handler);
    QCOMPARE(reports, QStringList());
    QCOMPARE(names.items, QStringList({"note", "other"}));

    // Open: every row, the unitext cells read-only with the reason.
    grid_->setDataSource(testing::openTable("note"));
    QVERIFY(QTest::qWaitFor([&] { return model().load() == db::RecordsetData::Load::Complete; },
                            10000));
    QVERIFY(grid_->readOnlyReason().isEmpty());
    QCOMPARE(model().shownRows(), 3);
    QCOMPARE(shown(0, 2), QString("1.50"));
    QVERIFY(model().flags(model().index(0, 3)) & Qt::ItemIsEditable);
    QVERIFY(!(model().flags(model().index(0, 4)) & Qt::ItemIsEditable));
    QVERIFY2(model()
                 .index(0, 4)
                 .data(Qt::ToolTipRole)
                 .toString()
                 .contains("the driver cannot describe this column's type"),
             qPrintable(model().index(0, 4).data(Qt::ToolTipRole).toString()));

    // Sort by the nullable bigint, highest first: 3, 1, then NULL (2).
    grid_->sortBy(1, Qt::DescendingOrder);
    QVERIFY(QTest::qWaitFor([this] { return !model().sorting(); }, 20000));
    QCOMPARE(shown(0, 0) + shown(1, 0) + shown(2, 0), QString("312"));

    // Edit; then two refusals, in the server's own words: its message without the driver's
    // prefixes or the line end it sends, and a trigger's raiserror.
    QVERIFY(model().setData(model().index(rowOf("1"), 3), QStringLiteral("q")));
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT name FROM note WHERE id = 1"), QString("q"));
    QVERIFY(!model().setData(model().index(rowOf("3"), 0), QStringLiteral("1")));
    const QStringList duplicate = boxes();
    QCOMPARE(duplicate.size(), 1);
    QVERIFY2(duplicate[0].endsWith("The server answered:\n\nAttempt to insert duplicate key row "
                                   "in object 'note' with unique index 'note_pk'"),
             qPrintable(duplicate[0]));
    QVERIFY(!model().setData(model().index(rowOf("3"), 3), QStringLiteral("bad")));
    QCOMPARE(boxes(), QStringList{"The change was not saved. The server answered:\n\n"
                                  "No bad names."});
    QCOMPARE(valueOf("SELECT count(*) FROM note WHERE id = 3 AND name = 'c'"), QString("1"));

    // Add on the new-row line.
    trigger("AddRowAction");
    const int line = grid_->edits()->newRowLineRow();
    QVERIFY(line >= 0);
    QVERIFY(model().setData(model().index(line, 0), QStringLiteral("4")));
    QVERIFY(model().setData(model().index(line, 1), QStringLiteral("40")));
    QVERIFY(model().setData(model().index(line, 3), QStringLiteral("d")));
    grid_->setCurrentIndex(model().index(0, 3));
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT name FROM note WHERE id = 4 AND big = 40"), QString("d"));

    // Delete the row without a bigint.
    grid_->selectionModel()->clearSelection();
    grid_->selectionModel()->select(model().index(rowOf("2"), 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    trigger("DeleteRowsAction");
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT count(*) FROM note WHERE id = 2"), QString("0"));
    QCOMPARE(valueOf("SELECT count(*) FROM note"), QString("3"));

    // Paste two names from the first row shown down; undo takes both back.
    grid_->selectionModel()->clearSelection();
    const QString first = shown(0, 0), second = shown(1, 0);
    QGuiApplication::clipboard()->setText("p\nr\n");
    grid_->setCurrentIndex(model().index(0, 3));
    trigger("PasteAction");
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT name FROM note WHERE id = " + first), QString("p"));
    QCOMPARE(valueOf("SELECT name FROM note WHERE id = " + second), QString("r"));
    const QString firstBefore = first == "1" ? "q" : first == "3" ? "c" : "d";
    trigger("UndoAction");
    QCOMPARE(boxes(), QStringList());
    QCOMPARE(valueOf("SELECT name FROM note WHERE id = " + first), firstBefore);
    QCOMPARE(valueOf("SELECT count(*) FROM note WHERE name = 'p' OR name = 'r'"), QString("0"));
    QCOMPARE(valueOf("SELECT body FROM note WHERE id = 3"), QString("zz"));
}

QTEST_MAIN(RecordedRoadTest)
#include "tst_recordedroad.moc"
