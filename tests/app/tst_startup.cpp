#include "app/mainmodule.h"
#include "app/settingsstore.h"
#include "pages/chooser/form2.h"
#include "pages/connection/form1.h"
#include "pages/program.h"
#include "pages/wizard.h"
#include "sample/sampleserver.h"
#include "support/fakeplatform.h"
#include "support/sampledb.h"

#include <QDir>
#include <QLineEdit>
#include <QTest>

class StartupTest : public QObject {
    Q_OBJECT
  private slots:
    void cleanup() { pages::resetPages(); }

    void shouldStartOnConnectionPageWithPort5000WhenStoreIsEmpty();
    void shouldStartOnChooserWhenStoredValuesConnect();
    void shouldReportEachUnreadableFieldAndGoOn();
    void shouldOpenHomePageWhenTheDrawGivesSeven();
    void shouldReportAHomePageVisitThatCannotStartAtItsStatement();
    void shouldEndProgramWhenClosed();
};

namespace {
QString stored(const char* key) {
    return app::GetSetting(app::ApplicationKey, app::ProductName, QString::fromLatin1(key),
                           QStringLiteral("<missing>"));
}
} // namespace

void StartupTest::shouldStartOnConnectionPageWithPort5000WhenStoreIsEmpty() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    pages::startProgram();
    pages::Form1& page = pages::form1();
    QVERIFY(page.isVisible());
    QCOMPARE(page.windowTitle(), QStringLiteral("Quorvane Software"));
    QCOMPARE(app::ApplicationTitle(), QStringLiteral("Quorvane"));
    const db::ConnectionFields f = page.connectionFields();
    QCOMPARE(QStringList({f.server, f.port, f.user, f.password, f.database}),
             QStringList({"", "5000", "", "", ""}));
    QCOMPARE(stored("Port"), QStringLiteral("5000"));
    QCOMPARE(stored("Server"), QStringLiteral("<missing>"));
    QVERIFY(guard.fake().boxes.isEmpty());
    QVERIFY(guard.fake().urls.isEmpty());
    QVERIFY(!page.MouseIcon());
}

void StartupTest::shouldStartOnChooserWhenStoredValuesConnect() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    server.createSampleDatabase();
    const db::ConnectionFields f = testing::SampleServer::fields(QStringLiteral("pubs"));
    testing::saveConnectionValues(f);

    pages::startProgram();
    QVERIFY(pages::form2().isVisible());
    QVERIFY(!pages::form1().isVisible());
    QVERIFY(pages::form1().hiddenByLoad());
    QCOMPARE(pages::form1().Text4->text(), QString::fromLatin1(sample::kPassword));
}

void StartupTest::shouldReportEachUnreadableFieldAndGoOn() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    // A folder where the settings file should be: the store cannot be read.
    QVERIFY(QDir().mkpath(guard.fake().settingsDir + QStringLiteral("/Halvetri.ini")));
    pages::startProgram();
    QStringList lines;
    for (const auto& box : guard.fake().boxes) {
        QCOMPARE(box.title, QStringLiteral("Application Error"));
        lines << box.text.section(QStringLiteral("at line "), 1).left(3);
    }
    QCOMPARE(lines, QStringList({"128", "130", "132", "134", "136"}));
    QVERIFY(guard.fake().boxes[0].text.contains(
        QStringLiteral("\r\nin Quorvane2021/08/31.Form1.Form_Load at line 128\r\r")));
    QVERIFY(pages::form1().isVisible());
    QCOMPARE(pages::form1().Text2->text(), QString());
}

void StartupTest::shouldOpenHomePageWhenTheDrawGivesSeven() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    guard.fake().draw = 0.065;
    pages::startProgram();
    QCOMPARE(guard.fake().urls, QStringList{app::homePageAddress()});
    QVERIFY(pages::form1().isVisible());
}

void StartupTest::shouldReportAHomePageVisitThatCannotStartAtItsStatement() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    guard.fake().draw = 0.065;
    guard.fake().browserFails = true;
    pages::startProgram();
    QCOMPARE(guard.fake().boxes.size(), 1);
    QVERIFY2(guard.fake().boxes[0].text.contains(
                 QStringLiteral("in Quorvane2021/08/31.Form1.Form_Load at line 110")),
             qPrintable(guard.fake().boxes[0].text));
    QVERIFY(pages::form1().isVisible()); // the start-up went on
}

void StartupTest::shouldEndProgramWhenClosed() {
    testing::PlatformGuard guard;
    testing::SampleServer server;
    pages::startProgram();
    pages::form2(); // loaded pages elsewhere do not keep the program alive
    QVERIFY(pages::form1().close());
    QCOMPARE(guard.fake().programEnds, 1);
    QVERIFY(guard.fake().boxes.isEmpty());
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
