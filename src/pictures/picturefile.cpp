#include "picturefile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace {

int maxSide(PictureFile::Use use)
{
    return use == PictureFile::Logo ? PictureFile::LogoMaxSide : PictureFile::PhotoMaxSide;
}

// JPEG has no transparency: what was transparent shows the page's white, not black.
QImage onWhite(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB32);
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    return opaque;
}

} // namespace

QByteArray PictureFile::read(const QString &path, Use use, QString *error)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    // A folder or a device is no file to read; a pipe would wait for a writer forever.
    if (info.exists() && !info.isFile()) {
        *error = tr("%1 is not taken: it is not a file.").arg(name);
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("%1 cannot be opened: %2.").arg(name, file.errorString());
        return {};
    }
    if (file.size() > MaxFileBytes) {
        *error = tr("%1 is not taken: it is larger than the %2 MB a picture may have.")
                     .arg(name)
                     .arg(MaxFileBytes / (1024 * 1024));
        return {};
    }

    // The content decides, not the name: a text file named .png is no picture.
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) {
        *error = tr("%1 is not taken: it is not a picture in a format the logger reads "
                    "(PNG, JPEG, BMP or GIF).")
                     .arg(name);
        return {};
    }
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty()) {
        *error =
            tr("%1 is not taken: the picture is damaged (%2).").arg(name, reader.errorString());
        return {};
    }
    if (qint64(size.width()) * size.height() > MaxPixels) {
        *error = tr("%1 is not taken: it is %2 × %3 pixels, and a picture may have at most %4 "
                    "megapixels.")
                     .arg(name)
                     .arg(size.width())
                     .arg(size.height())
                     .arg(MaxPixels / 1000000);
        return {};
    }

    // Scaled while decoding: a JPEG reader then decodes no more pixels than are kept.
    const int side = maxSide(use);
    if (size.width() > side || size.height() > side)
        reader.setScaledSize(size.scaled(side, side, Qt::KeepAspectRatio).expandedTo({1, 1}));
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull()) {
        *error =
            tr("%1 is not taken: the picture is damaged (%2).").arg(name, reader.errorString());
        return {};
    }

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, use == Logo ? "png" : "jpeg");
    if (use == Photo)
        writer.setQuality(PhotoQuality);
    if (!writer.write(use == Logo ? image : onWhite(image))) {
        *error =
            tr("%1 is not taken: it cannot be encoded again (%2).").arg(name, writer.errorString());
        return {};
    }
    return bytes;
}

QString PictureFile::filter()
{
    return tr("Pictures (*.png *.jpg *.jpeg *.bmp *.gif)");
}
