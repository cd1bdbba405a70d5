#include "chooserfixture.h"

#include "db/read/recordset.h"
#include "db/read/recordsetstream.h"
#include "model/recordsetmodel.h"
#include "pages/chooser/form2.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/form3.h"
#include "pages/editor/loadband.h"
#include "support/readhold.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

using chooser::Fixture;

// A big table opened with "Next >": the first rows show at once and the rest streams in
// behind them; the grid can be used meanwhile, a load can be stopped, and rebinding or
// closing ends it.
class TableLoadTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup();
    void shouldLetTheGridBeUsedAndEditedWhileRowsStreamInAndKeepThemWhenStopped();
    void shouldWriteAnEditWhileTheServerIsStillSendingTheRows();
    void shouldReadEveryRowExactlyBehindTheFirstOnes();
    void shouldEndALoadAtOnceWhenReboundOrClosed();
};

namespace {

constexpr int kRows = 5000;
constexpr int kLongRow = 4000; // its note is longer than a block's buffer for it
const QString kLongName = QString(3000, QLatin1Char('w')) + QStringLiteral("end");

QStringList bigTable() {
    return {
        QStringLiteral("CREATE TABLE big (id int NOT NULL PRIMARY KEY, name varchar(40) NULL, "
                       "qty int NULL, note text NULL)"),
        QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                       "WHERE x < %1) INSERT INTO big SELECT x, 'name ' || x, x % 10, "
                       "'note ' || x FROM c")
            .arg(kRows),
        QStringLiteral("UPDATE big SET note = '%1' WHERE id = %2").arg(kLongName).arg(kLongRow)};
}

using testing::ReadHold;

pages::DataGrid& grid() {
    return *pages::form3().DataGrid1;
}
// The table's rows the grid shows (not its new-row line).
int shownRows() {
    return static_cast<model::RecordsetModel*>(grid().model())->shownRows();
}
QString bandText() {
    return grid().loadBand()->text();
}
QString cell(int row, int column, int role = Qt::DisplayRole) {
    return grid().model()->index(row, column).data(role).toString();
}
// Waits for the reading threads to end (each ends on its own once stopped).
bool readsEnded() {
    return QTest::qWaitFor([] { return db::recordsetReadsUnderWay() == 0; }, 20000);
}
// Runs the event loop until the read of `rows` has ended, for as long as it takes while
// rows keep arriving (a loaded machine reads slowly); false only when nothing has moved
// for a minute.
bool loadEnded(const db::RecordsetData& rows) {
    int seen = -1;
    QElapsedTimer still;
    while (rows.load() == db::RecordsetData::Load::Reading) {
        if (rows.rows.rowCount() != seen) {
            seen = rows.rows.rowCount();
            still.start();
        } else if (still.hasExpired(60000)) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QTest::qSleep(1);
    }
    return true;
}
QString valueOf(const QString& sql) {
    return testing::SampleServer::firstValue(QStringLiteral("shop"), sql);
}

} // namespace

void TableLoadTest::cleanup() {
    QVERIFY(readsEnded());
}

void TableLoadTest::shouldLetTheGridBeUsedAndEditedWhileRowsStreamInAndKeepThemWhenStopped() {
    Fixture run(QStringLiteral("shop"), bigTable());
    ReadHold hold(100);
    pages::form2().Show();
    pages::form2().PushButton3_Click();

    // The editor is there with the first block while the rest is still to come.
    QVERIFY(QTest::qWaitFor([&] { return hold.held(); }, 20000));
    QVERIFY(pages::form3().isVisible());
    const int first = shownRows();
    QVERIFY2(first >= 100 && first < kRows, qPrintable(QString::number(first)));
    QCOMPARE(cell(0, 1), QStringLiteral("name 1"));
    QVERIFY(grid().loadBand()->isVisible());
    QCOMPARE(bandText(), QStringLiteral("Reading rows: %1 so far").arg(first));
    QVERIFY(grid().loadBand()->findChild<QPushButton*>(QStringLiteral("StopLoad"))->isVisible());

    // Once the first rows are on screen the table's keys are learnt and cells can be edited.
    QVERIFY(QTest::qWaitFor(
        [] { return grid().model()->flags(grid().model()->index(5, 1)) & Qt::ItemIsEditable; },
        20000));

    // Scrolling, resizing and editing work meanwhile; the edit is in the table.
    grid().scrollToBottom();
    pages::form3().resize(pages::form3().width() + 80, pages::form3().height() + 60);
    QCoreApplication::processEvents();
    QVERIFY(grid().verticalScrollBar()->value() > 0);
    const bool edited =
        grid().model()->setData(grid().model()->index(5, 1), QStringLiteral("edited"));
    QVERIFY2(edited, qPrintable(run.boxTexts().join("; ")));
    QCOMPARE(valueOf(QStringLiteral("SELECT name FROM big WHERE id = 6")),
             QStringLiteral("edited"));
    QCOMPARE(cell(5, 1), QStringLiteral("edited"));

    // Stop: the rows read so far stay, the band says the table was not read to its end.
    QTest::mouseClick(grid().loadBand()->findChild<QPushButton*>(QStringLiteral("StopLoad")),
                      Qt::LeftButton);
    QCOMPARE(
        bandText(),
        QStringLiteral("Stopped after %1 rows: the table was not read to its end.").arg(first));
    hold.release();
    QVERIFY(readsEnded());
    QCoreApplication::processEvents();
    QCOMPARE(shownRows(), first);
    QCOMPARE(grid().DataSource()->load(), db::RecordsetData::Load::Stopped);
    QCOMPARE(cell(first - 1, 1), QStringLiteral("name %1").arg(first));
    // An edit after the stop is written as well.
    QVERIFY(grid().model()->setData(grid().model()->index(first - 1, 2), QStringLiteral("77")));
    QCOMPARE(valueOf(QStringLiteral("SELECT qty FROM big WHERE id = %1").arg(first)),
             QStringLiteral("77"));
    QCOMPARE(run.boxTexts(), QStringList());
}

void TableLoadTest::shouldWriteAnEditWhileTheServerIsStillSendingTheRows() {
    // The server sends the rows one by one, so its reading session stays inside the
    // SELECT (its database read open) for far longer than the test runs.
    Fixture run(QStringLiteral("shop"), bigTable());
    pages::form2().Show();
    tds::Faults slow;
    slow.rowDelayMs = 20;
    run.server.server().setFaults(slow);
    pages::form2().PushButton3_Click();
    QVERIFY(pages::form3().isVisible());
    const std::shared_ptr<db::RecordsetData> rows = grid().DataSource();
    QCOMPARE(rows->load(), db::RecordsetData::Load::Reading);

    // The write goes over the table's own login while the reading one is mid-result.
    QVERIFY(QTest::qWaitFor(
        [] { return grid().model()->flags(grid().model()->index(5, 1)) & Qt::ItemIsEditable; },
        20000));
    QVERIFY2(grid().model()->setData(grid().model()->index(5, 1), QStringLiteral("beside")),
             qPrintable(run.boxTexts().join("; ")));
    run.server.server().setFaults({});
    QCOMPARE(valueOf(QStringLiteral("SELECT name FROM big WHERE id = 6")),
             QStringLiteral("beside"));
    // Had the write waited for the read's lock, most rows would be in by now (one row
    // every 20 ms): it went beside the read instead.
    rows->appendArrived();
    QCOMPARE(rows->load(), db::RecordsetData::Load::Reading);
    QVERIFY2(rows->rows.rowCount() < kRows / 2, qPrintable(QString::number(rows->rows.rowCount())));

    rows->stopLoad();
    QVERIFY(readsEnded());
    QCOMPARE(cell(5, 1), QStringLiteral("beside"));
    QCOMPARE(run.boxTexts(), QStringList());
}

void TableLoadTest::shouldReadEveryRowExactlyBehindTheFirstOnes() {
    Fixture run(QStringLiteral("shop"), bigTable());
    pages::form2().Show();
    pages::form2().PushButton3_Click();
    const std::shared_ptr<db::RecordsetData> rows = grid().DataSource();
    QVERIFY(loadEnded(*rows));

    QCOMPARE(rows->load(), db::RecordsetData::Load::Complete);
    QCOMPARE(shownRows(), kRows);
    // The band keeps the count once the read has ended.
    QCOMPARE(bandText(), QStringLiteral("%1 rows").arg(QLocale().toString(kRows)));
    QVERIFY(grid().loadBand()->findChild<QPushButton*>(QStringLiteral("StopLoad"))->isHidden());
    for (int r : {0, 127, 128, kLongRow - 2, kLongRow, kRows - 1}) {
        QCOMPARE(cell(r, 0), QString::number(r + 1));
        QCOMPARE(cell(r, 2), QString::number((r + 1) % 10));
        QCOMPARE(cell(r, 1), QStringLiteral("name %1").arg(r + 1));
        if (r != kLongRow - 1)
            QCOMPARE(cell(r, 3), QStringLiteral("note %1").arg(r + 1));
    }
    // The long value is held whole; its cell shows a bounded prefix and a mark.
    QCOMPARE(cell(kLongRow - 1, 3, Qt::EditRole), kLongName);
    const QString shown = cell(kLongRow - 1, 3);
    QCOMPARE(shown.size(), model::RecordsetModel::ShownCharacters + 1);
    QVERIFY(kLongName.startsWith(shown.chopped(1)));
    QCOMPARE(shown.back(), QChar(0x2026));

    // An edit after the load goes to its row.
    QVERIFY(grid().model()->setData(grid().model()->index(kRows - 1, 1), QStringLiteral("last")));
    QCOMPARE(valueOf(QStringLiteral("SELECT name FROM big WHERE id = %1").arg(kRows)),
             QStringLiteral("last"));
    QCOMPARE(run.boxTexts(), QStringList());
}

void TableLoadTest::shouldEndALoadAtOnceWhenReboundOrClosed() {
    Fixture run(QStringLiteral("shop"), bigTable());
    {
        ReadHold hold(100);
        pages::form2().Show();
        pages::form2().PushButton3_Click();
        QVERIFY(QTest::qWaitFor([&] { return hold.held(); }, 20000));
        std::weak_ptr<db::RecordsetData> loading = grid().DataSource();

        // Rebinding does not wait for the held read: the rows go at once.
        grid().setDataSource(nullptr);
        QVERIFY(loading.expired());
        QCOMPARE(db::recordsetReadsUnderWay(), 1);
    }
    QVERIFY(readsEnded());

    ReadHold hold(100);
    pages::form3().Hide();
    pages::form2().Show();
    pages::form2().PushButton3_Click();
    QVERIFY(QTest::qWaitFor([&] { return hold.held(); }, 20000));
    const std::shared_ptr<db::RecordsetData> rows = grid().DataSource();
    const int first = rows->rows.rowCount();
    pages::form3().close(); // the program ends
    QCOMPARE(run.fake->programEnds, 1);
    QCOMPARE(rows->load(), db::RecordsetData::Load::Stopped);
    hold.release();
    QVERIFY(readsEnded());
    QCoreApplication::processEvents();
    QCOMPARE(rows->rows.rowCount(), first);
}

QTEST_MAIN(TableLoadTest)
#include "tst_tableload.moc"
