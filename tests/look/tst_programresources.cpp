// The program's icon and the version it reports to the desktop.

#include "app/lookandfeel.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

namespace {

const QString kVersion = QStringLiteral("7.0.0.0");

QByteArray sourceFile(const QString& name) {
    QFile file(QFINDTESTDATA(QStringLiteral("../../resources/") + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The key = value lines of the desktop entry's main group.
QMap<QString, QString> desktopEntry(const QByteArray& text) {
    QMap<QString, QString> keys;
    for (const QByteArray& line : text.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && !line.startsWith('#'))
            keys.insert(QString::fromUtf8(line.left(equals)),
                        QString::fromUtf8(line.mid(equals + 1)));
    }
    return keys;
}

} // namespace

class ProgramResourcesTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldOfferTheIconInFourSizes() {
        const QIcon icon = app::programIcon();
        QCOMPARE(icon.availableSizes(), (QList<QSize>{{32, 32}, {48, 48}, {128, 128}, {256, 256}}));
        for (const int size : {32, 48, 128, 256}) {
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            QCOMPARE(qAlpha(image.pixel(size / 4, size / 2)), 255); // the sheet is opaque
        }
    }

    void shouldCarryTheSameIconForWindowsBuilds() {
        const QByteArray ico = sourceFile(QStringLiteral("quorvane.ico"));
        QVERIFY(ico.size() > 6 + 4 * 16);
        QCOMPARE(qFromLittleEndian<quint16>(ico.constData() + 4), quint16(4));
        const int expected[4][2] = {{32, 24}, {48, 32}, {128, 32}, {256, 32}};
        for (int i = 0; i < 4; ++i) {
            const char* entry = ico.constData() + 6 + 16 * i;
            QCOMPARE(quint8(entry[0]) == 0 ? 256 : int(quint8(entry[0])), expected[i][0]);
            QCOMPARE(int(qFromLittleEndian<quint16>(entry + 6)), expected[i][1]);
        }
        QFile file(QFINDTESTDATA("../../resources/quorvane.ico"));
        QImageReader reader(&file, "ico");
        QCOMPARE(reader.imageCount(), 4);
        QVERIFY(!reader.read().isNull());
    }

    void shouldNameProgramAndVersionInTheDesktopEntry() {
        const QMap<QString, QString> entry = desktopEntry(sourceFile("quorvane.desktop"));
        QCOMPARE(entry.value("Type"), QStringLiteral("Application"));
        QCOMPARE(entry.value("Name"), QStringLiteral("Quorvane Software"));
        QCOMPARE(entry.value("Exec"), QStringLiteral("quorvane"));
        QCOMPARE(entry.value("Icon"), QStringLiteral("quorvane"));
        QCOMPARE(entry.value("X-AppVersion"), kVersion);
    }

    void shouldReleaseTheVersionInTheAppStreamMetadata() {
        QXmlStreamReader xml(sourceFile(QStringLiteral("com.halvetri.quorvane.metainfo.xml")));
        QStringList releases;
        QString launchable;
        QString developer;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("release"))
                releases << xml.attributes().value("version").toString();
            else if (xml.name() == QLatin1String("launchable"))
                launchable = xml.readElementText();
            else if (xml.name() == QLatin1String("developer"))
                developer = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(releases, QStringList{kVersion});
        QCOMPARE(launchable, QStringLiteral("quorvane.desktop"));
        QCOMPARE(developer, QStringLiteral("Halvetri"));
    }

    void shouldNameProductAndCompanyInTheVersionRecord() {
        const QString rc = QString::fromUtf8(sourceFile(QStringLiteral("quorvane.rc.in")));
        QVERIFY(rc.contains(QStringLiteral("\"CompanyName\", \"Halvetri\"")));
        QVERIFY(rc.contains(QStringLiteral("\"ProductName\", \"Quorvane Software\"")));
        QVERIFY(rc.contains(QStringLiteral("\"InternalName\", \"Quorvane Software\"")));
        QVERIFY(rc.contains(QStringLiteral("\"ProductVersion\", \"@QUORVANE_VERSION_SHORT@\"")));
    }
};

QTEST_MAIN(ProgramResourcesTest)
#include "tst_programresources.moc"
