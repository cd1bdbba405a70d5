#include "app/mainmodule.h"
#include "app/platform.h"
#include "app/settingsstore.h"
#include "support/fakeplatform.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

class SettingsStoreTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void shouldDefaultOnlyWhenKeyIsMissing();
    void shouldRoundTripAnyCharacters_data();
    void shouldRoundTripAnyCharacters();
    void shouldWriteEachValueThroughAtOnce();
    void shouldKeepSampleSettingsApartAndReadableByUserAlone();
};

namespace {
QString get(const QString& key, const QString& fallback = {}) {
    return app::GetSetting(app::ApplicationKey, app::ProductName, key, fallback);
}
bool save(const QString& key, const QString& value) {
    return app::SaveSetting(app::ApplicationKey, app::ProductName, key, value);
}
bool readableByUserAlone(const QString& path) {
    const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                        QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    const auto permissions = QFile::permissions(path);
    return (permissions & others) == 0 && (permissions & QFileDevice::ReadOwner) &&
           (permissions & QFileDevice::WriteOwner);
}
} // namespace

void SettingsStoreTest::shouldDefaultOnlyWhenKeyIsMissing() {
    testing::PlatformGuard guard;
    QCOMPARE(get(QStringLiteral("Port"), QStringLiteral("5000")), QStringLiteral("5000"));
    QCOMPARE(get(QStringLiteral("Server")), QString());
    // Reading a missing key creates nothing.
    QVERIFY(!app::platform()
                 .openSettings(app::ApplicationKey)
                 ->contains(QStringLiteral("Quorvane Software/Port")));

    QVERIFY(save(QStringLiteral("Port"), QString()));
    const QString port = get(QStringLiteral("Port"), QStringLiteral("5000"));
    QVERIFY(port.isEmpty());
}

void SettingsStoreTest::shouldRoundTripAnyCharacters_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("semicolons") << "x;Catalog=master;";
    QTest::newRow("quotes") << "\"quoted\" and 'single'";
    QTest::newRow("braces") << "{a};}b";
    QTest::newRow("blanks") << "  padded  ";
    QTest::newRow("non-ASCII") << QStringLiteral("P\u00e4ssw\u00f6rd \u0416\u4e2d\U0001F600");
    QTest::newRow("list-like") << "a, b, c";
    QTest::newRow("variant-like") << "@Variant(\\0\\0)";
    QTest::newRow("backslashes") << "C:\\dir\\\\x";
    QTest::newRow("line breaks") << "one\r\ntwo\rthree\n";
    QTest::newRow("number") << "05000";
    QTest::newRow("equals and hash") << "=a#b[c]";
    QTest::newRow("long") << QString(100000, QLatin1Char('q'));
}

void SettingsStoreTest::shouldRoundTripAnyCharacters() {
    QFETCH(QString, value);
    testing::PlatformGuard guard;
    QVERIFY(save(QStringLiteral("Password"), value));
    QCOMPARE(get(QStringLiteral("Password")), value);
}

void SettingsStoreTest::shouldWriteEachValueThroughAtOnce() {
    testing::PlatformGuard guard;
    const auto reader = app::platform().openSettings(app::ApplicationKey);
    for (const QString& value :
         {QStringLiteral("a"), QStringLiteral("ab"), QStringLiteral("abc")}) {
        QVERIFY(save(QStringLiteral("Server"), value));
        // Another reader (another copy of the program) sees it without any flush of ours.
        QSettings file(reader->fileName(), QSettings::IniFormat);
        QCOMPARE(file.value(QStringLiteral("Quorvane Software/Server")).toString(), value);
    }
}

void SettingsStoreTest::shouldKeepSampleSettingsApartAndReadableByUserAlone() {
    const auto real = app::makeDesktopPlatform();
    const auto sample = app::makeDesktopPlatform(QStringLiteral("Quorvane Sample"));
    const QString realFile = real->openSettings(app::ApplicationKey)->fileName();
    const QString sampleFile = sample->openSettings(app::ApplicationKey)->fileName();
    QVERIFY(realFile != sampleFile);
    QFile::remove(realFile);

    auto previous = app::setPlatform(app::makeDesktopPlatform());
    QVERIFY(save(QStringLiteral("Password"), QStringLiteral("secret")));
    app::setPlatform(std::move(previous));
    QVERIFY(readableByUserAlone(realFile));

    // A file left readable by others is tightened when the store opens it.
    QVERIFY(QFile::setPermissions(realFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadOther | QFileDevice::ReadGroup));
    QCOMPARE(QSettings(realFile, QSettings::IniFormat)
                 .value(QStringLiteral("Quorvane Software/Password"))
                 .toString(),
             QStringLiteral("secret"));
    QVERIFY(!readableByUserAlone(realFile));
    real->openSettings(app::ApplicationKey);
    QVERIFY(readableByUserAlone(realFile));
    QFile::remove(realFile);
    QFile::remove(sampleFile);
}

QTEST_MAIN(SettingsStoreTest)
#include "tst_settingsstore.moc"
