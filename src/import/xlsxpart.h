#pragma once

#include <memory>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QXmlStreamReader>

class KArchiveFile;
class QIODevice;

// One XML part of an .xlsx package, read as a stream of tokens while it is inflated, in chunks:
// the part is never held whole. The size the zip declares is checked before the first byte is
// read and the bytes actually inflated are counted against it, so that neither a large declared
// size nor a small declared size hiding a large one (a zip bomb) gets past the limit. A document
// type declaration is refused, and with it every entity but the five predefined ones.
class XlsxPart
{
public:
    // The files of a package by their names in lower case.
    using Files = QHash<QString, const KArchiveFile *>;

    // files and the archive they are in must outlive the part.
    explicit XlsxPart(const Files &files);
    ~XlsxPart();
    XlsxPart(const XlsxPart &) = delete;
    XlsxPart &operator=(const XlsxPart &) = delete;

    // Opens the part at path (compared without case, as the package format has it). False, with
    // error(), when the part is missing, cannot be inflated or declares more than maxBytes.
    bool open(const QString &path, qint64 maxBytes);
    // Moves to the next token; false at the end of the document and on any error.
    bool next();
    QXmlStreamReader &xml() { return m_xml; }
    // Empty unless reading failed.
    QString error() const { return m_error; }
    qint64 bytesRead() const { return m_read; }

    // A value of the last start element's attributes by local name, whatever their prefix; valid
    // until the next start element.
    QStringRef attribute(QLatin1String name) const;
    // The name relative to the package root of a part that the part at base refers to by target.
    static QString resolve(const QString &base, const QString &target);

private:
    bool refill();
    bool fail(const QString &error);

    const Files &m_files;
    std::unique_ptr<QIODevice> m_file;
    QXmlStreamReader m_xml;
    // The reader hands out copies; the values refer into the one kept here.
    QXmlStreamAttributes m_attributes;
    QByteArray m_chunk;
    QString m_path;
    QString m_error;
    qint64 m_declared = 0;
    qint64 m_read = 0;
    bool m_ended = false;
};
