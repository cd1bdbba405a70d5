#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "model/gridcopy.h"
#include "model/recordsetmodel.h"
#include "pages/editor/copynull.h"
#include "pages/editor/datagrid.h"
#include "support/fakeplatform.h"
#include "support/tablefixture.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QTest>

// Ctrl+C: the selected cells on the clipboard as a spreadsheet takes them, and the
// grid's context menu.
class GridCopyTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldCopyTheSelectedRectangleWholeInTheOrderShown();
    void shouldOfferEveryReadActionInTheContextMenu();
};

void GridCopyTest::shouldCopyTheSelectedRectangleWholeInTheOrderShown() {
    testing::PlatformGuard platform;
    testing::SampleServer server;
    const QString longText = QString(300, QLatin1Char('w')) + QStringLiteral("END");
    server.createDatabase(testing::kCatalog,
                          {"CREATE TABLE t (id int NOT NULL PRIMARY KEY, name text NULL, "
                           "b varbinary(400) NULL)",
                           QStringLiteral("INSERT INTO t VALUES (1, 'a\tb', NULL), (2, 'say "
                                          "\"hi\" <b>', X'00FF'), (3, NULL, NULL), "
                                          "(4, 'line1' || char(10) || 'line2', NULL), "
                                          "(5, '%1', X'%2')")
                               .arg(longText, QString(300, QLatin1Char('A')))});
    pages::DataGrid grid;
    grid.resize(500, 300);
    grid.show();
    grid.setDataSource(testing::openTable("t"));
    auto& model = *static_cast<model::RecordsetModel*>(grid.model());
    grid.sortBy(0, Qt::DescendingOrder);
    QVERIFY(QTest::qWaitFor([&] { return !model.sorting(); }, 20000));

    // Two corners selected: the rectangle between them is copied, as the rows are shown.
    grid.setFocus();
    grid.selectionModel()->select(model.index(0, 1), QItemSelectionModel::ClearAndSelect);
    grid.selectionModel()->select(model.index(3, 0), QItemSelectionModel::Select);
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    QVERIFY(copied);
    QCOMPARE(copied->text(), QStringLiteral("5\t%1\n4\t\"line1\nline2\"\n3\t\n2\t\"say "
                                            "\"\"hi\"\" <b>\"\n")
                                 .arg(longText));
    QVERIFY(copied->hasHtml());
    QVERIFY(copied->html().startsWith(
        QStringLiteral("<table><tr><td>5</td><td>%1</td></tr>").arg(longText)));
    QVERIFY(copied->html().contains(QStringLiteral("<td>line1<br>line2</td>")));
    QVERIFY(copied->html().contains(QStringLiteral("<td>say &quot;hi&quot; &lt;b&gt;</td>")));

    // A right click on a selected cell keeps the selection for the menu's Copy.
    const QString first = copied->text();
    QGuiApplication::clipboard()->clear();
    const QPoint inside = grid.visualRect(model.index(3, 0)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, inside, grid.viewport()->mapToGlobal(inside));
    QCoreApplication::sendEvent(grid.viewport(), &click);
    QCOMPARE(grid.currentIndex(), model.index(3, 0));
    QCOMPARE(grid.selectionModel()->selectedIndexes().size(), 2);
    grid.findChild<QMenu*>("GridMenu")->close();
    grid.findChild<QAction*>("CopyAction")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), first);

    // NULL as the chosen word; binary values whole, in hexadecimal.
    pages::setCopyNullWord(QStringLiteral("NULL"));
    grid.selectionModel()->select(QItemSelection(model.index(0, 2), model.index(3, 2)),
                                  QItemSelectionModel::ClearAndSelect);
    grid.copySelection();
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("0x%1\nNULL\nNULL\n0x00FF\n").arg(QString(300, QLatin1Char('A'))));
    pages::setCopyNullWord(QString());
    QCOMPARE(pages::copyNullWord(), QString());

    // The menu's sorts, by the current cell's column, and back to table order.
    grid.setCurrentIndex(model.index(0, 1));
    grid.findChild<QAction*>("SortAscendingAction")->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !model.sorting(); }, 20000));
    QCOMPARE(model.sortColumn(), 1);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("3")); // NULL first
    grid.findChild<QAction*>("TableOrderAction")->trigger();
    QCOMPARE(model.sortColumn(), -1);
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("1"));
    QVERIFY(!grid.horizontalHeader()->isSortIndicatorShown());
    QCOMPARE(platform.fake().boxes.size(), 0);
}

void GridCopyTest::shouldOfferEveryReadActionInTheContextMenu() {
    testing::PlatformGuard platform;
    pages::DataGrid grid;
    QStringList names;
    for (QAction* action : grid.actions()) {
        names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
        if (!action->isSeparator() && !action->menu())
            QCOMPARE(action->shortcutContext(), Qt::WidgetWithChildrenShortcut);
    }
    QCOMPARE(names, QStringList({"SetNullAction",
                                 "-",
                                 "CopyAction",
                                 "CopyNullAsAction",
                                 "-",
                                 "SortAscendingAction",
                                 "SortDescendingAction",
                                 "TableOrderAction",
                                 "-",
                                 "FindAction",
                                 "FindNextAction",
                                 "FindPreviousAction",
                                 "RefreshAction",
                                 "-",
                                 "FilterAction",
                                 "FilterByValueAction",
                                 "FilterExcludingValueAction",
                                 "ClearFilterAction",
                                 "-",
                                 "AddRowAction",
                                 "DeleteRowsAction",
                                 "PasteAction",
                                 "UndoAction",
                                 "RedoAction"}));
    QCOMPARE(grid.findChild<QAction*>("CopyAction")->shortcut(), QKeySequence(QKeySequence::Copy));
    QCOMPARE(grid.findChild<QAction*>("RefreshAction")->shortcut(), QKeySequence(Qt::Key_F5));
    QCOMPARE(grid.findChild<QAction*>("FilterAction")->shortcut(),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    QCOMPARE(grid.findChild<QAction*>("FindPreviousAction")->shortcut(),
             QKeySequence(Qt::SHIFT | Qt::Key_F3));

    // The menu shows them all, in that order; choosing "NULL" keeps the word.
    grid.resize(300, 200);
    grid.show();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                            grid.viewport()->mapToGlobal(QPoint(10, 10)));
    QCoreApplication::sendEvent(grid.viewport(), &event);
    auto* menu = grid.findChild<QMenu*>("GridMenu");
    QVERIFY(menu);
    QCOMPARE(menu->actions(), grid.actions());
    menu->close();
    grid.findChild<QAction*>("CopyNullAsWord")->trigger();
    QCOMPARE(pages::copyNullWord(), QStringLiteral("NULL"));
    // Kept with the view's choices, not with the five connection values.
    QCOMPARE(app::GetSetting(app::ApplicationKey, "Grid", "CopyNullAs", "none"), QString("none"));
    QCOMPARE(app::GetSetting("Halvetri/View", "Grid", "CopyNullAs"), QString("NULL"));
    grid.findChild<QAction*>("CopyNullAsEmpty")->trigger();
    QCOMPARE(pages::copyNullWord(), QString());
}

QTEST_MAIN(GridCopyTest)
#include "tst_gridcopy.moc"
