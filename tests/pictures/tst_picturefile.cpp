#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "picturefile.h"

namespace {

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A picture with detail, so that its PNG is long enough to cut short.
QImage gradient(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x * y) % 256));
    return image;
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A small PNG whose header declares width × height: enough for a reader that looks at the size
// first, and gigabytes for one that would decode it.
QByteArray declaredPng(quint32 width, quint32 height)
{
    QByteArray png = encoded(gradient(4, 4), "png");
    // The signature (8), the header's length and type (8), then width and height.
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    qToBigEndian(crc32(png.mid(12, 17)), png.data() + 29);
    return png;
}

} // namespace

class TestPictureFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reads_data();
    void reads();
    void transparentPhotoLiesOnWhite();

private:
    std::unique_ptr<QTemporaryDir> dir;
};

void TestPictureFile::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestPictureFile::reads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    // The file's length when it is made longer than its content (a sparse file); 0 to keep it.
    QTest::addColumn<qint64>("length");
    QTest::addColumn<int>("use");
    // The size taken, or the reason of a refusal.
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("refusal");

    const QByteArray png = encoded(gradient(300, 200), "png");
    const QByteArray widePng = encoded(gradient(2500, 1000), "png");
    const QByteArray jpeg = encoded(gradient(3000, 1500), "jpeg");
    QTest::newRow("png logo kept as it is")
        << "logo.png" << png << qint64(0) << int(PictureFile::Logo) << QSize(300, 200) << "";
    QTest::newRow("png photo") << "photo.png" << png << qint64(0) << int(PictureFile::Photo)
                               << QSize(300, 200) << "";
    QTest::newRow("wide logo scaled to its side")
        << "wide.png" << widePng << qint64(0) << int(PictureFile::Logo) << QSize(1000, 400) << "";
    QTest::newRow("wide png photo scaled")
        << "wide.png" << widePng << qint64(0) << int(PictureFile::Photo) << QSize(2000, 800) << "";
    QTest::newRow("jpeg photo scaled")
        << "site.jpg" << jpeg << qint64(0) << int(PictureFile::Photo) << QSize(2000, 1000) << "";
    QTest::newRow("jpeg named png")
        << "named.png" << jpeg << qint64(0) << int(PictureFile::Logo) << QSize(1000, 500) << "";
    QTest::newRow("text named png")
        << "notes.png" << QByteArray("Inspection notes, not a picture.\n") << qint64(0)
        << int(PictureFile::Photo) << QSize() << "not a picture";
    QTest::newRow("empty file") << "empty.jpg" << QByteArray() << qint64(0)
                                << int(PictureFile::Logo) << QSize() << "not a picture";
    QTest::newRow("truncated png") << "cut.png" << widePng.left(widePng.size() / 2) << qint64(0)
                                   << int(PictureFile::Photo) << QSize() << "damaged";
    QTest::newRow("20000 x 20000 declared")
        << "huge.png" << declaredPng(20000, 20000) << qint64(0) << int(PictureFile::Photo)
        << QSize() << "20000 × 20000 pixels";
    QTest::newRow("over the byte limit")
        << "large.png" << png << PictureFile::MaxFileBytes + 1 << int(PictureFile::Logo) << QSize()
        << "larger than the 20 MB";
    QTest::newRow("missing") << "" << QByteArray() << qint64(0) << int(PictureFile::Logo) << QSize()
                             << "cannot be opened";
    QTest::newRow("folder") << "folder.png/" << QByteArray() << qint64(0) << int(PictureFile::Photo)
                            << QSize() << "not a file";
}

void TestPictureFile::reads()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(qint64, length);
    QFETCH(int, use);
    QFETCH(QSize, size);
    QFETCH(QString, refusal);

    QString path = dir->filePath(QStringLiteral("missing.png"));
    if (name.endsWith(QLatin1Char('/'))) {
        path = dir->filePath(name.chopped(1));
        QVERIFY(QDir().mkdir(path));
    } else if (!name.isEmpty()) {
        path = dir->filePath(name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), qint64(content.size()));
        if (length > 0)
            QVERIFY(file.resize(length));
    }

    QString error;
    const QByteArray bytes = PictureFile::read(path, PictureFile::Use(use), &error);
    if (!refusal.isEmpty()) {
        QVERIFY(bytes.isEmpty());
        QVERIFY2(error.contains(QFileInfo(path).fileName()), qPrintable(error));
        QVERIFY2(error.contains(refusal), qPrintable(error));
        return;
    }
    QVERIFY2(!bytes.isEmpty(), qPrintable(error));
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    QCOMPARE(reader.format(), QByteArray(use == PictureFile::Logo ? "png" : "jpeg"));
    QCOMPARE(reader.read().size(), size);
}

void TestPictureFile::transparentPhotoLiesOnWhite()
{
    QImage image(40, 30, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const QString path = dir->filePath(QStringLiteral("cut-out.png"));
    QVERIFY(image.save(path));
    QString error;
    const QImage photo = QImage::fromData(PictureFile::read(path, PictureFile::Photo, &error));
    QCOMPARE(photo.size(), image.size());
    QCOMPARE(photo.pixelColor(20, 15), QColor(Qt::white));
}

QTEST_GUILESS_MAIN(TestPictureFile)
#include "tst_picturefile.moc"
