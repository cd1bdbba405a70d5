#include "app/mainmodule.h"
#include "app/platform.h"
#include "support/fakeplatform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cmath>

class MainModuleTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldCutTitleAtLeastOnceAndUntilFortyCharacters_data();
    void shouldCutTitleAtLeastOnceAndUntilFortyCharacters();
    void shouldSetApplicationTitleFromProductName();
    void shouldTellExistingPathsAndNeverFail();
    void shouldAddressFilesBesideTheProgram();
    void shouldOpenHomePageOnlyWhenTheDrawGivesSeven_data();
    void shouldOpenHomePageOnlyWhenTheDrawGivesSeven();
    void shouldDrawUniformlyAndRepeatablyFromTheSeed();
};

void MainModuleTest::shouldCutTitleAtLeastOnceAndUntilFortyCharacters_data() {
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("title");
    QTest::newRow("product") << "Quorvane Software"
                             << "Quorvane";
    QTest::newRow("short name still cut") << "A B C"
                                          << "A B";
    const QString forty = QString(40, QLatin1Char('x'));
    QTest::newRow("forty plus a word") << forty + " tail" << forty;
    const QString words = QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota");
    QTest::newRow("cut until at most forty") << words << "alpha beta gamma delta epsilon zeta eta";
    QTest::newRow("no blank, long")
        << QString(50, QLatin1Char('y')) << QString(40, QLatin1Char('y'));
    QTest::newRow("no blank, short") << "Quorvane"
                                     << "Quorvane";
}

void MainModuleTest::shouldCutTitleAtLeastOnceAndUntilFortyCharacters() {
    QFETCH(QString, product);
    QFETCH(QString, title);
    QCOMPARE(app::titleFromProductName(product), title);
}

void MainModuleTest::shouldSetApplicationTitleFromProductName() {
    app::SetApplicationTitle();
    QCOMPARE(app::ApplicationTitle(), QStringLiteral("Quorvane"));
}

void MainModuleTest::shouldTellExistingPathsAndNeverFail() {
    QTemporaryDir dir;
    const QString file = dir.path() + QStringLiteral("/HAND-M.CUR");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(app::FileExists(file));
    QVERIFY(app::FileExists(dir.path()));
    QVERIFY(!app::FileExists(dir.path() + QStringLiteral("/missing.cur")));
    QVERIFY(!app::FileExists(QString()));
    QVERIFY(!app::FileExists(QString::fromUtf8("bad\0name", 8)));
    QVERIFY(!app::FileExists(QString(5000, QLatin1Char('z'))));
}

void MainModuleTest::shouldAddressFilesBesideTheProgram() {
    testing::PlatformGuard guard;
    guard.fake().folder = QStringLiteral("/opt/quorvane/bin/");
    QCOMPARE(app::ProgramFolder(), QStringLiteral("/opt/quorvane/bin"));
    QCOMPARE(app::besideProgram(QStringLiteral("\\HAND-M.CUR")),
             QDir::toNativeSeparators(QStringLiteral("/opt/quorvane/bin/HAND-M.CUR")));
    QCOMPARE(app::besideProgram(QStringLiteral("\\x\\o.cjs")),
             QDir::toNativeSeparators(QStringLiteral("/opt/quorvane/bin/x/o.cjs")));
}

void MainModuleTest::shouldOpenHomePageOnlyWhenTheDrawGivesSeven_data() {
    QTest::addColumn<double>("draw");
    QTest::addColumn<bool>("opens");
    QTest::newRow("n=7 low edge") << 0.06 << true;
    QTest::newRow("n=7 high edge") << 0.0699999 << true;
    QTest::newRow("n=6") << 0.0599999 << false;
    QTest::newRow("n=8") << 0.07 << false;
    QTest::newRow("n=1") << 0.0 << false;
    QTest::newRow("n=100") << 0.9999999 << false;
}

void MainModuleTest::shouldOpenHomePageOnlyWhenTheDrawGivesSeven() {
    QFETCH(double, draw);
    QFETCH(bool, opens);
    testing::PlatformGuard guard;
    guard.fake().draw = draw;
    app::OpenHomePageOccasionally();
    QCOMPARE(guard.fake().urls, opens ? QStringList{app::homePageAddress()} : QStringList{});
    const QUrl address(app::homePageAddress());
    QVERIFY(address.isValid());
    QVERIFY(address.scheme().startsWith(QStringLiteral("http")));
}

void MainModuleTest::shouldDrawUniformlyAndRepeatablyFromTheSeed() {
    const auto desktop = app::makeDesktopPlatform();
    QCOMPARE(desktop->randomDraw(4321.5), desktop->randomDraw(4321.5));
    QVERIFY(desktop->randomDraw(4321.5) != desktop->randomDraw(4321.51));
    // Seeds as the clock gives them, one per hundredth of a second.
    int sevens = 0;
    const int starts = 20000;
    for (int i = 0; i < starts; ++i) {
        const double r = desktop->randomDraw(30000.0 + i / 100.0);
        QVERIFY(r >= 0.0 && r < 1.0);
        if (int(std::floor(r * 100)) + 1 == 7)
            ++sevens;
    }
    QVERIFY2(sevens > starts / 200 && sevens < starts * 3 / 200,
             qPrintable(QString::number(sevens)));
    const double seconds = desktop->secondsSinceMidnight();
    QVERIFY(seconds >= 0 && seconds < 86400);
}

QTEST_MAIN(MainModuleTest)
#include "tst_mainmodule.moc"
