#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// A logo or photo file the user picks, read with care: the file may be anything. A file too large
// to read, one that is no picture or a damaged one, and a picture whose declared size would take
// gigabytes to decode are refused before they are decoded. What is taken is scaled down to a size
// fit for a report page and encoded again.
class PictureFile
{
    Q_DECLARE_TR_FUNCTIONS(PictureFile)

public:
    enum Use { Logo, Photo };

    // No logo or photo a report needs comes near this; larger files are refused unread.
    static constexpr qint64 MaxFileBytes = 20 * 1024 * 1024;
    // 100 megapixels decode to 400 MB; the declared size is checked before anything is decoded.
    static constexpr qint64 MaxPixels = 100 * 1000 * 1000;
    // The longest side kept: a logo sits in a page's corner, a photo spans at most a page.
    static constexpr int LogoMaxSide = 1000;
    static constexpr int PhotoMaxSide = 2000;
    static constexpr int PhotoQuality = 85;

    // The picture at path as a PNG (logo, which may be transparent) or JPEG (photo) file's bytes,
    // no side longer than the use allows. Empty on refusal, with *error naming the file and why.
    static QByteArray read(const QString &path, Use use, QString *error);

    // A dialog's filter for the formats that read() takes.
    static QString filter();
};
