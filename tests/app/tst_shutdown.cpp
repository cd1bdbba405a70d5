// The end of the program when a page is closed in the middle of a handler: while a
// connection attempt waits and while the table list is filled. Nothing of any handler
// may run afterwards, and the wait must not outlast the close.

#include "app/connectwait.h"
#include "app/shutdown.h"
#include "chooser/chooserfixture.h"
#include "db/connect/connection.h"
#include "db/connect/provider.h"
#include "pages/chooser/form2.h"
#include "pages/editor/form3.h"
#include "pages/globals.h"
#include "support/loginbackend.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using chooser::Fixture;

class ShutdownTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { app::installConnectWait(); }
    void cleanup() { db::setConnectWaitHook({}); }

    void shouldEndDuringTheChoosersLongConnectWaitAndOpenNothing();
    void shouldEndDuringTheListingAndRunNoSecondListing();
    void shouldHoldClicksDuringAConnectWaitAndDeliverThemAfterwards();
};

namespace {
// Points the connection page at a server that accepts and never answers, through the
// real driver.
void pointAtSilentServer(const tds::Server& peer) {
    pages::Form1& page = pages::form1();
    page.Text1->setText(QStringLiteral("127.0.0.1"));
    page.Text2->setText(QString::number(peer.port()));
    page.Text3->setText(QStringLiteral("sa"));
    page.Text4->setText(QStringLiteral("secret"));
    page.Text5->setText(QStringLiteral("pubs"));
}
} // namespace

void ShutdownTest::shouldEndDuringTheChoosersLongConnectWaitAndOpenNothing() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::Form2& chooser = pages::form2();
    chooser.Show();
    QCOMPARE(chooser.List1->currentRow(), 0);
    const auto silentOwner = testing::startSilentServer();
    tds::Server& silent = *silentOwner;
    pointAtSilentServer(silent);

    // The user closes the chooser once its "Next >" waits for the server (5000 seconds).
    QTimer::singleShot(0, &chooser, [&] {
        QVERIFY(silent.waitForConnections(1, 10000));
        chooser.close();
    });
    chooser.PushButton3_Click();

    QVERIFY(app::programEnded());
    QCOMPARE(run.fake->programEnds, 1);
    QCOMPARE(run.boxTexts(), QStringList()); // the given-up connection is no failure
    QVERIFY(!pages::form3().isLoaded());
    QCOMPARE(Globals::SelectedTableName, QString());
    QCOMPARE(chooser.MousePointer(), app::kPointerHourglass); // statement 134 never ran
    // A further click on a page runs nothing either.
    chooser.PushButton2_Click();
    QVERIFY(!pages::form1().isVisible());
}

void ShutdownTest::shouldEndDuringTheListingAndRunNoSecondListing() {
    QStringList statements;
    for (int i = 0; i < 40; ++i)
        statements << QStringLiteral("CREATE TABLE t%1 (id INTEGER PRIMARY KEY)").arg(i);
    Fixture run(QStringLiteral("many"), statements);
    pages::Form1& connectionPage = pages::form1();
    connectionPage.Show();
    int pumps = 0;
    run.fake->onPump = [&] {
        // The chooser lists before it shows; the connection page is still on screen and
        // is closed while the third table is listed.
        if (++pumps == 3)
            connectionPage.close();
    };

    connectionPage.PushButton3_Click(); // "Next >": test, show the chooser, list again

    QCOMPARE(run.fake->programEnds, 1);
    QCOMPARE(pumps, 3); // the listing stopped, and no second one ran
    QCOMPARE(pages::form2().List1->count(), 2);
    QVERIFY(!pages::form2().isVisible());
    QVERIFY(!pages::form2().isEnabled()); // nothing of the load ran after the close
    QCOMPARE(run.boxTexts(), QStringList());
}

void ShutdownTest::shouldHoldClicksDuringAConnectWaitAndDeliverThemAfterwards() {
    Fixture run(QStringLiteral("lab"), chooser::kLabTables);
    pages::Form2& chooser = pages::form2();
    chooser.Show();
    QVERIFY(QTest::qWaitForWindowExposed(&chooser));
    int backs = 0;
    connect(chooser.PushButton2, &QPushButton::clicked, &chooser, [&] { ++backs; });

    // A click on "< Back" through the window system while a connect waits.
    QTimer::singleShot(0, &chooser, [&] {
        const QPoint centre = chooser.PushButton2->mapTo(&chooser, QPoint(20, 10));
        QTest::mouseClick(chooser.windowHandle(), Qt::LeftButton, {}, centre);
    });
    app::runConnectWait();
    QCOMPARE(backs, 0);
    QVERIFY(chooser.isVisible());

    // Once the wait is over the click arrives and "< Back" runs.
    QTRY_COMPARE(backs, 1);
    QVERIFY(!chooser.isVisible());
    QVERIFY(pages::form1().isVisible());
    QVERIFY(!app::programEnded());
}

QTEST_MAIN(ShutdownTest)
#include "tst_shutdown.moc"
