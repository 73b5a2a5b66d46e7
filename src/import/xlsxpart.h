#pragma once

#include <memory>

#include <QByteArray>
#include <QHash>
#include <QLatin1String>
#include <QString>
#include <QVarLengthArray>

class KArchiveFile;
class QIODevice;

// One XML part of an .xlsx package, read as a stream of tokens while it is inflated, in chunks:
// the part is never held whole. The size the zip declares is checked before the first byte is
// read and the bytes actually inflated are counted against it, so that neither a large declared
// size nor a small declared size hiding a large one (a zip bomb) gets past the limit.
//
// The tokens are cut by hand from the UTF-8 bytes: a sheet of a million readings is some 200 MB
// of XML, which a general XML reader takes many seconds over. What a part may hold is checked as
// it goes: nesting, matching end tags, one root element, quoted attributes, the five predefined
// entities and character references. A document type declaration is refused, and with it every
// other entity; so is a part in another encoding than UTF-8 (Excel, LibreOffice and openpyxl
// write UTF-8 alone).
class XlsxPart
{
public:
    // The files of a package by their names in lower case.
    using Files = QHash<QString, const KArchiveFile *>;

    // Elements nested in one another, and attributes of one element.
    static constexpr int MaxDepth = 256;
    static constexpr int MaxAttributes = 256;
    // A tag with its attributes, or a text between two tags: a cell's text of 32,767 characters
    // is at most 96 KB of UTF-8, and far more than that with character references.
    static constexpr int MaxTokenBytes = 1 << 20;

    // files and the archive they are in must outlive the part.
    explicit XlsxPart(const Files &files);
    ~XlsxPart();
    XlsxPart(const XlsxPart &) = delete;
    XlsxPart &operator=(const XlsxPart &) = delete;

    // Opens the part at path (compared without case, as the package format has it). False, with
    // error(), when the part is missing, cannot be inflated or declares more than maxBytes.
    bool open(const QString &path, qint64 maxBytes);
    // Moves to the next start element, end element or text; an empty element gives both a start
    // and an end. False at the end of the document and on any error.
    bool next();
    bool isStartElement() const { return m_token == Token::Start; }
    bool isEndElement() const { return m_token == Token::End; }
    bool isCharacters() const { return m_token == Token::Characters; }
    // The element's name without its namespace prefix; valid until the next token.
    QLatin1String name() const { return m_name; }
    // The text, UTF-8 with its references resolved; valid until the next token.
    const QByteArray &text() const { return m_text; }
    // A value of the start element's attributes by local name, whatever their prefix, in UTF-8
    // with its references resolved; empty when the element has no such attribute. Valid until
    // the next token.
    QByteArray attribute(QLatin1String name) const;
    QString attributeText(QLatin1String name) const;
    // Empty unless reading failed.
    QString error() const { return m_error; }
    qint64 bytesRead() const { return m_read; }

    // The name relative to the package root of a part that the part at base refers to by target.
    static QString resolve(const QString &base, const QString &target);

private:
    enum class Token { None, Start, End, Characters };
    enum class Cut { Done, Incomplete, Failed };
    struct Attribute
    {
        QLatin1String name;
        int at;
        int size;
        bool plain;
    };

    Cut cut();
    Cut cutMarkup();
    Cut cutStartTag();
    Cut cutEndTag();
    Cut cutText();
    bool refill();
    bool fail(const QString &error);
    Cut broken(const QString &why);

    const Files &m_files;
    std::unique_ptr<QIODevice> m_file;
    QByteArray m_buffer;
    // Where the next token begins in m_buffer.
    int m_at = 0;
    Token m_token = Token::None;
    QLatin1String m_name;
    QByteArray m_text;
    QVarLengthArray<Attribute, 8> m_attributes;
    // The qualified names of the open elements, one after the other, and where each begins.
    QByteArray m_open;
    QVarLengthArray<int, 16> m_openAt;
    bool m_endPending = false;
    bool m_rootDone = false;
    QString m_path;
    QString m_error;
    qint64 m_declared = 0;
    qint64 m_read = 0;
    bool m_ended = false;
};
