#include "db/connect/connection.h"
#include "db/dialect/tablename.h"
#include "db/dialect/tsql.h"
#include "db/odbc/dberror.h"
#include "db/odbc/odbc.h"
#include "db/read/recordset.h"
#include "db/read/tablelist.h"
#include "editor/gridfixture.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/gridedits.h"
#include "support/fakeplatform.h"

#include <QAction>
#include <QTest>

// Tables of several owners, and logins of several rights, through FreeTDS against the
// test server: the list names each table so that it opens the one it names, every write
// lands in that table, and what a login may not do is read-only before it is tried. What
// the tables hold is read over a second connection.
class OwnersTest : public QObject, testing::GridFixture {
    Q_OBJECT
  private slots:
    void init();
    void cleanup() { dropGrid(); }
    void shouldListEachOwnersTableAndWriteToTheOneItNames();
    void shouldShowWhatTheLoginMayNotDoAsReadOnly();

  private:
    // A list that keeps what each line names.
    struct Listed : db::ListTarget {
        QStringList items;
        std::vector<db::TableName> tables;
        void Clear() override {
            items.clear();
            tables.clear();
        }
        void AddItem(const QString& item) override { AddItem(item, {QString(), item}); }
        void AddItem(const QString& item, const db::TableName& table) override {
            items << item;
            tables.push_back(table);
        }
        int ListCount() const override { return int(items.size()); }
    };

    static QString login(const QString& user) {
        return user == QLatin1String("sa")
                   ? testing::SampleServer::connectionString(testing::kCatalog)
                   : testing::SampleServer::connectionString(testing::kCatalog, user, user);
    }
    // The chooser's list as `user` sees it.
    Listed list(const QString& user) {
        Listed listed;
        QStringList reports;
        db::Handler h(QStringLiteral("listing "),
                      [&](const QString&, int line, const QString& text) {
                          reports << QStringLiteral("%1 %2").arg(line).arg(text);
                      });
        db::AddTablesToSybaseASEListbox(
            listed, [&] { return login(user); }, [] {}, h);
        [&] { QCOMPARE(reports, QStringList()); }();
        return listed;
    }
    // Opens what line `item` of `user`'s list names, as "Next >" does, in the grid.
    void open(const QString& user, const QString& item) {
        const Listed listed = list(user);
        const qsizetype line = listed.items.indexOf(item);
        QVERIFY2(line >= 0, qPrintable(listed.items.join(QLatin1Char(','))));
        db::Connection connection;
        connection.Open(login(user));
        connection.setCursorLocation(db::adUseClient);
        db::Recordset recordset;
        recordset.Open(db::tsql::selectAllFrom(listed.tables[std::size_t(line)]), connection,
                       db::adOpenDynamic, db::adLockOptimistic);
        grid_->setDataSource(recordset.DataSource());
        grid_->readOnlyReason(); // learns the keys and rights: the new-row line follows
        QVERIFY(model().keysKnown());
        QTest::qWait(100);
    }
    // Runs a statement as `user` over a connection of its own.
    static void run(const QString& user, const QString& sql) {
        db::Connection connection;
        connection.Open(login(user));
        db::odbc::Statement statement(*connection.driver());
        statement.execDirect(sql);
        db::drainResults(statement);
    }
    QAction* action(const char* name) { return grid_->findChild<QAction*>(QLatin1String(name)); }
    bool editable(int row, int column) {
        return model().flags(model().index(row, column)) & Qt::ItemIsEditable;
    }
    QString note(int row, int column) {
        return model().cellReadOnlyReason(model().index(row, column));
    }
};

using testing::valueOf;

void OwnersTest::init() {
    // dbo's orders and joe's orders side by side; joe's file name is the server's own.
    makeGrid(
        600, 300,
        {QStringLiteral("CREATE TABLE orders (id int NOT NULL PRIMARY KEY, item varchar(20) NULL)"),
         QStringLiteral("INSERT INTO orders VALUES (1, 'dbo one'), (2, 'dbo two')"),
         QStringLiteral("CREATE TABLE \"joe.orders\" (id int NOT NULL PRIMARY KEY, "
                        "item varchar(20) NULL)"),
         QStringLiteral("INSERT INTO \"joe.orders\" VALUES (1, 'joe one'), (2, 'joe two')"),
         // Names the column catalog takes as patterns: "_" matches the "x" of joe's.
         QStringLiteral("CREATE TABLE order_lines (id int NOT NULL PRIMARY KEY, qty int NOT NULL)"),
         QStringLiteral("CREATE TABLE \"joe.orderxlines\" (id int NOT NULL PRIMARY KEY, "
                        "qty int NOT NULL DEFAULT 1)")});
    confirmDeletes();
}

void OwnersTest::shouldListEachOwnersTableAndWriteToTheOneItNames() {
    const auto both = [] {
        return valueOf(QStringLiteral("select item from dbo.orders where id = 1")) + " | " +
               valueOf(QStringLiteral("select item from joe.orders where id = 1")) + " | " +
               valueOf(QStringLiteral("select count(*) from dbo.orders")) + " | " +
               valueOf(QStringLiteral("select count(*) from joe.orders"));
    };
    // sa: dbo's table by its bare name, joe's with its owner.
    QCOMPARE(list(QStringLiteral("sa")).items,
             QStringList({"order_lines", "orders", "joe.orders", "joe.orderxlines"}));
    // The column catalog's rows of joe's look-alike do not count for dbo's table: its
    // column without a default still needs a value on the new-row line.
    open(QStringLiteral("sa"), QStringLiteral("order_lines"));
    QCOMPARE(model().index(grid_->edits()->newRowLineRow(), 1).data().toString(),
             QStringLiteral("(needs a value)"));

    open(QStringLiteral("sa"), QStringLiteral("joe.orders"));
    QVERIFY(grid_->readOnlyReason().isEmpty());
    QVERIFY(model().setData(model().index(0, 1), QStringLiteral("joe edited")));
    QCOMPARE(both(), QStringLiteral("dbo one | joe edited | 2 | 2"));
    // A row deleted and one added go to joe's table too.
    grid_->setCurrentIndex(model().index(1, 0));
    action("DeleteRowsAction")->trigger();
    QCOMPARE(both(), QStringLiteral("dbo one | joe edited | 2 | 1"));
    action("AddRowAction")->trigger();
    const int line = grid_->edits()->newRowLineRow();
    QVERIFY(line >= 0);
    QVERIFY(model().setData(model().index(line, 0), QStringLiteral("7")));
    QVERIFY(model().setData(model().index(line, 1), QStringLiteral("joe added")));
    QVERIFY(grid_->edits()->commitNewRow());
    QCOMPARE(valueOf(QStringLiteral("select item from joe.orders where id = 7")),
             QStringLiteral("joe added"));
    QCOMPARE(both(), QStringLiteral("dbo one | joe edited | 2 | 2"));

    // joe: its own table by the bare name, dbo's (which it may read) with its owner.
    run(QStringLiteral("sa"), QStringLiteral("grant select on dbo.orders to joe"));
    QCOMPARE(list(QStringLiteral("joe")).items,
             QStringList({"dbo.orders", "orders", "orderxlines"}));
    open(QStringLiteral("joe"), QStringLiteral("orders"));
    QVERIFY(model().setData(model().index(0, 1), QStringLiteral("joe's own")));
    QCOMPARE(both(), QStringLiteral("dbo one | joe's own | 2 | 2"));
    // A login that may read neither sees neither.
    QCOMPARE(list(QStringLiteral("reader")).items, QStringList());
}

void OwnersTest::shouldShowWhatTheLoginMayNotDoAsReadOnly() {
    // The server refuses as Adaptive Server does, in its words.
    run(QStringLiteral("sa"), QStringLiteral("grant select on orders to reader"));
    try {
        run(QStringLiteral("reader"), QStringLiteral("update orders set item = 'x' where id = 1"));
        QFAIL("the update was not refused");
    } catch (const db::DbError& e) {
        QCOMPARE(e.nativeCode(), 229);
        QCOMPARE(e.sqlState(), QStringLiteral("42000"));
        QVERIFY2(e.description().contains(QLatin1String(
                     "UPDATE permission denied on object orders, database shop, owner dbo")),
                 qPrintable(e.description()));
    }

    // Select only: the grid is read-only, with the reason, and offers no row changes.
    open(QStringLiteral("reader"), QStringLiteral("orders"));
    QVERIFY2(grid_->readOnlyReason().contains(QLatin1String("select permission only")),
             qPrintable(grid_->readOnlyReason()));
    QVERIFY(!editable(0, 1));
    QVERIFY(!model().setData(model().index(0, 1), QStringLiteral("reader's")));
    QCOMPARE(grid_->edits()->newRowLineRow(), -1);
    QVERIFY(!action("AddRowAction")->isEnabled());
    QVERIFY(!action("DeleteRowsAction")->isEnabled());

    // Update on one column and delete, no insert: the other column is read-only with its
    // reason, the band says rows cannot be added, and what is allowed is written.
    run(QStringLiteral("sa"), QStringLiteral("grant select, delete on orders to joe"));
    run(QStringLiteral("sa"), QStringLiteral("grant update on orders (item) to joe"));
    try {
        run(QStringLiteral("joe"), QStringLiteral("update dbo.orders set id = 9 where id = 2"));
        QFAIL("the update was not refused");
    } catch (const db::DbError& e) {
        QCOMPARE(e.nativeCode(), 230);
        QVERIFY2(e.description().contains(QLatin1String("UPDATE permission denied on column id of "
                                                        "object orders, database shop, owner "
                                                        "dbo")),
                 qPrintable(e.description()));
    }
    open(QStringLiteral("joe"), QStringLiteral("dbo.orders"));
    QVERIFY(grid_->readOnlyReason().isEmpty());
    QVERIFY(!editable(0, 0));
    QCOMPARE(note(0, 0),
             QStringLiteral("Read-only: this login has no update permission on this column."));
    QCOMPARE(note(0, 1), QStringLiteral("Rows cannot be added: this login has no insert "
                                        "permission on this table."));
    QCOMPARE(grid_->edits()->newRowLineRow(), -1);
    QVERIFY(!action("AddRowAction")->isEnabled());
    QVERIFY(action("DeleteRowsAction")->isEnabled());
    QVERIFY(model().setData(model().index(0, 1), QStringLiteral("joe wrote")));
    grid_->setCurrentIndex(model().index(1, 1));
    action("DeleteRowsAction")->trigger();
    QCOMPARE(valueOf(QStringLiteral("select item from orders where id = 1")),
             QStringLiteral("joe wrote"));
    QCOMPARE(valueOf(QStringLiteral("select count(*) from orders")), QStringLiteral("1"));
    // joe's own table stays as it was.
    QCOMPARE(valueOf(QStringLiteral("select item from joe.orders where id = 1")),
             QStringLiteral("joe one"));
    QCOMPARE(valueOf(QStringLiteral("select item from orders where id = 1")),
             QStringLiteral("joe wrote"));
}

QTEST_MAIN(OwnersTest)
#include "tst_owners.moc"
