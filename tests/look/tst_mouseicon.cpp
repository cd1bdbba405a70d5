// The hand pointer file: where it is looked for, how it is read, and what cannot be read.

#include "app/lookandfeel.h"
#include "support/fakeplatform.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <stdexcept>

namespace {

// A Windows cursor (type 2) or icon (type 1) file with one 32-bit image; for a cursor the
// directory entry carries the hot spot.
QByteArray iconFile(const QImage& image, quint16 type, quint16 hotX = 0, quint16 hotY = 0) {
    const int w = image.width();
    const int h = image.height();
    QByteArray dib;
    QDataStream bits(&dib, QIODevice::WriteOnly);
    bits.setByteOrder(QDataStream::LittleEndian);
    bits << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32) << quint32(0)
         << quint32(0) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) {
            const QRgb pixel = image.pixel(x, y);
            bits << quint8(qBlue(pixel)) << quint8(qGreen(pixel)) << quint8(qRed(pixel))
                 << quint8(qAlpha(pixel));
        }
    const int maskStride = ((w + 31) / 32) * 4;
    for (int i = 0; i < maskStride * h; ++i)
        bits << quint8(0);

    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << type << quint16(1) << quint8(w) << quint8(h) << quint8(0) << quint8(0)
        << (type == 2 ? hotX : quint16(1)) << (type == 2 ? hotY : quint16(32))
        << quint32(dib.size()) << quint32(22);
    out.writeRawData(dib.constData(), int(dib.size()));
    return file;
}

QImage handImage() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 4; y < 28; ++y)
        for (int x = 8; x < 20; ++x)
            image.setPixel(x, y, qRgba(0x20, 0x40, 0x80, 0xff));
    return image;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(content);
    return path;
}

} // namespace

class MouseIconTest : public QObject {
    Q_OBJECT
  private slots:
    void shouldLookBesideTheProgram() {
        testing::PlatformGuard guard;
        QCOMPARE(app::handCursorPath(),
                 QDir::toNativeSeparators(guard.fake().folder + QStringLiteral("/HAND-M.CUR")));
    }

    void shouldLoadCursorWithItsHotSpot() {
        QTemporaryDir dir;
        const QString path =
            writeFile(dir, QStringLiteral("HAND-M.CUR"), iconFile(handImage(), 2, 9, 5));

        const QCursor cursor = app::LoadMouseIcon(path);

        QCOMPARE(cursor.shape(), Qt::BitmapCursor);
        QCOMPARE(cursor.hotSpot(), QPoint(9, 5));
        const QImage shown = cursor.pixmap().toImage();
        QCOMPARE(shown.size(), QSize(32, 32));
        QCOMPARE(shown.pixel(10, 10), qRgba(0x20, 0x40, 0x80, 0xff));
        QCOMPARE(qAlpha(shown.pixel(2, 2)), 0);
    }

    void shouldKeepAHotSpotBeyondTheImageInsideIt() {
        QTemporaryDir dir;
        const QString path =
            writeFile(dir, QStringLiteral("HAND-M.CUR"), iconFile(handImage(), 2, 40, 31));
        QCOMPARE(app::LoadMouseIcon(path).hotSpot(), QPoint(31, 31));
    }

    void shouldCentreTheHotSpotOfAnIcon() {
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("HAND-M.CUR"), iconFile(handImage(), 1));
        QCOMPARE(app::LoadMouseIcon(path).hotSpot(), QPoint(16, 16));
    }

    void shouldFailOnFilesThatAreNoPicture_data() {
        QTest::addColumn<QByteArray>("content");
        const QByteArray cursor = iconFile(handImage(), 2, 1, 1);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("not a cursor at all\n");
        QTest::newRow("header only") << cursor.left(22);
        QTest::newRow("cut short") << cursor.left(200);
        QTest::newRow("broken image") << cursor.left(22) + QByteArray(4200, '\x7f');
    }
    void shouldFailOnFilesThatAreNoPicture() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = writeFile(dir, QStringLiteral("HAND-M.CUR"), content);
        QVERIFY(QFile::exists(path));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, app::LoadMouseIcon(path));
    }

    void shouldNameTheFileItCannotRead() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("HAND-M.CUR"));
        QVERIFY(QDir().mkpath(path)); // a folder: it exists, but holds no picture
        try {
            app::LoadMouseIcon(path);
            QFAIL("a folder was read as a picture");
        } catch (const std::runtime_error& error) {
            const QString text = QString::fromStdString(error.what());
            QVERIFY2(text.startsWith(QStringLiteral("Invalid picture")), qPrintable(text));
            QVERIFY2(text.contains(path), qPrintable(text));
        }
    }
};

QTEST_MAIN(MouseIconTest)
#include "tst_mouseicon.moc"
