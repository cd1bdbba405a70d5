// Draws the program's icon (a table sheet with a pen) and writes it as
// quorvane-32.png, quorvane-48.png, quorvane-128.png and quorvane-256.png into the folder
// given as the first argument, and all four as one Windows icon to the file given second.
//
// The .ico holds the 32x32 image with 24-bit colour and a transparency mask, the 48x48
// image with 32-bit colour (alpha), and the 128x128 and 256x256 images as PNG.

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <cstdio>

namespace {

const QColor kBlue(0x1f, 0x4e, 0x8c);
const QColor kAmber(0xf2, 0xa9, 0x00);
const QColor kPaper(0xff, 0xff, 0xff);

// The design is drawn on a 32-unit square.
QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    // The sheet: a white table with a blue header row and blue rules.
    // Edges and rules lie on whole units, so the 32-pixel image stays sharp.
    const QRectF sheet(2, 3, 25, 24);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(sheet, 2.5, 2.5);
    p.setBrush(kPaper);
    p.drawRect(QRectF(3, 9, 23, 17));
    for (const int y : {14, 20})
        p.fillRect(QRectF(3, y, 23, 1), kBlue);
    for (const int x : {10, 18})
        p.fillRect(QRectF(x, 9, 1, 17), kBlue);

    // The pen, lying from the lower left of the last cell up to the right edge.
    p.translate(20.5, 22.5);
    p.rotate(-45);
    QPainterPath body;
    body.addRoundedRect(QRectF(2.5, -3, 15, 6), 1.2, 1.2);
    QPainterPath nib;
    nib.moveTo(2.8, -3);
    nib.lineTo(-4.5, 0);
    nib.lineTo(2.8, 3);
    nib.closeSubpath();
    p.setPen(QPen(kBlue, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kPaper);
    p.drawPath(nib);
    p.setBrush(kAmber);
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(-3.2, 0), 1.3, 1.3); // the point
    p.fillRect(QRectF(14, -3, 1.4, 6), kBlue); // the cap ring
    return image;
}

// One image as a device-independent bitmap (bottom-up, with the AND mask after it).
QByteArray dibEntry(const QImage& image, int bitCount) {
    const int size = image.width();
    QByteArray dib;
    QDataStream out(&dib, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(size) << qint32(2 * size) << quint16(1) << quint16(bitCount)
        << quint32(0) << quint32(0) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    const int colourStride = ((size * bitCount / 8) + 3) / 4 * 4;
    for (int y = size - 1; y >= 0; --y) {
        QByteArray row(colourStride, '\0');
        for (int x = 0; x < size; ++x) {
            const QRgb pixel = image.pixel(x, y);
            char* at = row.data() + x * bitCount / 8;
            at[0] = char(qBlue(pixel));
            at[1] = char(qGreen(pixel));
            at[2] = char(qRed(pixel));
            if (bitCount == 32)
                at[3] = char(qAlpha(pixel));
        }
        out.writeRawData(row.constData(), int(row.size()));
    }
    const int maskStride = ((size + 31) / 32) * 4;
    for (int y = size - 1; y >= 0; --y) {
        QByteArray row(maskStride, '\0');
        for (int x = 0; x < size; ++x)
            if (qAlpha(image.pixel(x, y)) < 128)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out.writeRawData(row.constData(), int(row.size()));
    }
    return dib;
}

QByteArray pngEntry(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

bool writeIco(const QString& path, const QList<QImage>& images) {
    QList<QByteArray> entries;
    QList<int> bitCounts;
    for (const QImage& image : images) {
        const int bitCount = image.width() == 32 ? 24 : 32;
        bitCounts << bitCount;
        entries << (image.width() <= 48 ? dibEntry(image, bitCount) : pngEntry(image));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    quint32 offset = 6 + 16 * quint32(images.size());
    for (int i = 0; i < images.size(); ++i) {
        const int size = images[i].width();
        out << quint8(size >= 256 ? 0 : size) << quint8(size >= 256 ? 0 : size) << quint8(0)
            << quint8(0) << quint16(1) << quint16(bitCounts[i]) << quint32(entries[i].size())
            << offset;
        offset += quint32(entries[i].size());
    }
    for (const QByteArray& entry : entries)
        out.writeRawData(entry.constData(), int(entry.size()));
    return out.status() == QDataStream::Ok;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: makeicons <png folder> <ico file>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    QList<QImage> images;
    for (const int size : {32, 48, 128, 256}) {
        images << drawIcon(size);
        const QString name = folder.filePath(QStringLiteral("quorvane-%1.png").arg(size));
        if (!images.back().save(name, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(name));
            return 1;
        }
    }
    if (!writeIco(QString::fromLocal8Bit(argv[2]), images)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
