#include "xlsxpart.h"

#include <algorithm>
#include <cstring>

#include <KArchive>
#include <KArchiveFile>

#include <QCoreApplication>
#include <QStringList>

namespace {
// Inflated at a time.
constexpr qint64 ChunkBytes = 64 * 1024;
// "&#x10FFFF;" and the like.
constexpr int MaxReferenceBytes = 12;

QString tr(const char *text)
{
    return QCoreApplication::translate("XlsxReader", text);
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isNameChar(char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The name without its namespace prefix.
QLatin1String localName(const char *name, int size)
{
    const void *colon = std::memchr(name, ':', size_t(size));
    if (!colon)
        return QLatin1String(name, size);
    const int prefix = int(static_cast<const char *>(colon) - name) + 1;
    return QLatin1String(name + prefix, size - prefix);
}

// A character XML allows, as UTF-8 into *out.
bool appendCharacter(uint c, QByteArray *out)
{
    if (!(c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
          (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF)))
        return false;
    if (c < 0x80) {
        out->append(char(c));
    } else if (c < 0x800) {
        out->append(char(0xC0 | (c >> 6)));
        out->append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->append(char(0xE0 | (c >> 12)));
        out->append(char(0x80 | ((c >> 6) & 0x3F)));
        out->append(char(0x80 | (c & 0x3F)));
    } else {
        out->append(char(0xF0 | (c >> 18)));
        out->append(char(0x80 | ((c >> 12) & 0x3F)));
        out->append(char(0x80 | ((c >> 6) & 0x3F)));
        out->append(char(0x80 | (c & 0x3F)));
    }
    return true;
}

// The character a reference such as "amp" or "#x41" (without '&' and ';') stands for.
bool appendReference(const char *name, int size, QByteArray *out)
{
    const QLatin1String reference(name, size);
    static const std::pair<QLatin1String, char> predefined[] = {{QLatin1String("lt"), '<'},
                                                                {QLatin1String("gt"), '>'},
                                                                {QLatin1String("amp"), '&'},
                                                                {QLatin1String("quot"), '"'},
                                                                {QLatin1String("apos"), '\''}};
    for (const auto &[entity, c] : predefined) {
        if (reference == entity) {
            out->append(c);
            return true;
        }
    }
    if (size < 2 || name[0] != '#')
        return false;
    const bool hex = name[1] == 'x';
    const int from = hex ? 2 : 1;
    if (from >= size)
        return false;
    uint value = 0;
    for (int i = from; i < size; ++i) {
        const char c = name[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0 || value > 0x10FFFF)
            return false;
        value = value * (hex ? 16 : 10) + uint(digit);
    }
    return appendCharacter(value, out);
}

// count bytes of text with their references and line ends resolved, into *out; false for an
// unknown entity or a character XML does not allow.
bool resolveText(const char *data, int count, QByteArray *out)
{
    if (!std::memchr(data, '&', size_t(count)) && !std::memchr(data, '\r', size_t(count))) {
        *out = QByteArray::fromRawData(data, count);
        return true;
    }
    out->clear();
    out->reserve(count);
    for (int i = 0; i < count; ++i) {
        const char c = data[i];
        if (c == '\r') {
            // Line ends become '\n', as XML has them.
            out->append('\n');
            if (i + 1 < count && data[i + 1] == '\n')
                ++i;
        } else if (c == '&') {
            const int limit = std::min(count, i + MaxReferenceBytes);
            int end = i + 1;
            while (end < limit && data[end] != ';')
                ++end;
            if (end >= limit || !appendReference(data + i + 1, end - i - 1, out))
                return false;
            i = end;
        } else {
            out->append(c);
        }
    }
    return true;
}

} // namespace

XlsxPart::XlsxPart(const Files &files)
    : m_files(files)
{
}

XlsxPart::~XlsxPart() = default;

bool XlsxPart::open(const QString &path, qint64 maxBytes)
{
    m_path = path;
    const KArchiveFile *file = m_files.value(path.toLower());
    if (!file)
        return fail(tr("the part %1 is missing").arg(path));
    if (file->size() > maxBytes || file->size() < 0)
        return fail(tr("the part %1 is larger than %2 MB").arg(path).arg(maxBytes >> 20));
    m_declared = file->size();
    m_file.reset(file->createDevice());
    if (!m_file || !m_file->isOpen())
        return fail(tr("the part %1 cannot be inflated").arg(path));
    return true;
}

bool XlsxPart::next()
{
    if (!m_error.isEmpty() || !m_file)
        return false;
    m_token = Token::None;
    m_text.clear();
    m_attributes.clear();
    if (m_endPending) {
        m_endPending = false;
        m_token = Token::End;
        return true;
    }
    for (;;) {
        if (m_at == m_buffer.size()) {
            if (m_ended) {
                if (!m_openAt.isEmpty() || !m_rootDone)
                    return fail(tr("the part %1 ends early").arg(m_path));
                return false;
            }
            if (!refill())
                return false;
            continue;
        }
        switch (cut()) {
        case Cut::Failed:
            return false;
        case Cut::Incomplete:
            if (m_ended)
                return fail(tr("the part %1 ends early").arg(m_path));
            if (m_buffer.size() - m_at > MaxTokenBytes) {
                broken(tr("a tag or text is longer than %1 bytes").arg(MaxTokenBytes));
                return false;
            }
            if (!refill())
                return false;
            continue;
        case Cut::Done:
            if (m_token != Token::None)
                return true;
            continue;
        }
    }
}

// Reads one token from m_at on if the buffer holds all of it: a tag, a text, or markup that
// gives no token (a comment, a processing instruction), and moves m_at past it.
XlsxPart::Cut XlsxPart::cut()
{
    if (m_buffer.at(m_at) != '<')
        return cutText();
    if (m_at + 1 >= m_buffer.size())
        return Cut::Incomplete;
    const char second = m_buffer.at(m_at + 1);
    if (second == '/')
        return cutEndTag();
    if (second == '?' || second == '!')
        return cutMarkup();
    return cutStartTag();
}

XlsxPart::Cut XlsxPart::cutMarkup()
{
    const char *data = m_buffer.constData();
    const int size = m_buffer.size();
    const auto find = [&](const char *end) {
        const QByteArray::const_iterator from = m_buffer.cbegin() + m_at + 2;
        const auto found = std::search(from, m_buffer.cend(), end, end + std::strlen(end));
        return found == m_buffer.cend() ? -1 : int(found - m_buffer.cbegin());
    };
    // Whether the markup begins with text, as far as the buffer tells.
    const auto startsWith = [&](const char *text) {
        const int length = std::min(int(std::strlen(text)), size - m_at);
        return std::memcmp(data + m_at, text, size_t(length)) == 0;
    };
    if (data[m_at + 1] == '?') {
        const int end = find("?>");
        if (end < 0)
            return Cut::Incomplete;
        // The declaration may name an encoding; anything but UTF-8 would be misread.
        const QByteArray instruction = m_buffer.mid(m_at, end - m_at).toLower();
        if (instruction.startsWith("<?xml") && instruction.contains("encoding") &&
            !instruction.contains("utf-8")) {
            fail(tr("the part %1 is not in UTF-8").arg(m_path));
            return Cut::Failed;
        }
        m_at = end + 2;
        return Cut::Done;
    }
    if (startsWith("<!--")) {
        if (size - m_at < 4)
            return Cut::Incomplete;
        const int end = find("-->");
        if (end < 0)
            return Cut::Incomplete;
        m_at = end + 3;
        return Cut::Done;
    }
    if (startsWith("<![CDATA[")) {
        if (size - m_at < 9)
            return Cut::Incomplete;
        if (m_openAt.isEmpty())
            return broken(tr("text outside the root element"));
        const int end = find("]]>");
        if (end < 0)
            return Cut::Incomplete;
        m_text = QByteArray(data + m_at + 9, end - m_at - 9);
        m_token = Token::Characters;
        m_at = end + 3;
        return Cut::Done;
    }
    fail(tr("the part %1 declares a document type").arg(m_path));
    return Cut::Failed;
}

XlsxPart::Cut XlsxPart::cutStartTag()
{
    // A tag cut short by the end of the buffer is read again from its start.
    m_attributes.clear();
    const char *data = m_buffer.constData();
    const int size = m_buffer.size();
    int at = m_at + 1;
    if (!isNameStart(data[at]))
        return broken(tr("a tag without a name"));
    const int nameAt = at;
    while (at < size && isNameChar(data[at]))
        ++at;
    const int nameSize = at - nameAt;
    for (;;) {
        const int before = at;
        while (at < size && isSpace(data[at]))
            ++at;
        if (at >= size)
            return Cut::Incomplete;
        if (data[at] == '>' || data[at] == '/')
            break;
        if (at == before || !isNameStart(data[at]))
            return broken(tr("an attribute without a name"));
        const int attributeAt = at;
        while (at < size && isNameChar(data[at]))
            ++at;
        const int attributeSize = at - attributeAt;
        while (at < size && isSpace(data[at]))
            ++at;
        if (at >= size)
            return Cut::Incomplete;
        if (data[at] != '=')
            return broken(tr("an attribute without a value"));
        ++at;
        while (at < size && isSpace(data[at]))
            ++at;
        if (at >= size)
            return Cut::Incomplete;
        const char quote = data[at];
        if (quote != '"' && quote != '\'')
            return broken(tr("an attribute value without quotes"));
        const int valueAt = ++at;
        bool plain = true;
        while (at < size && data[at] != quote) {
            if (data[at] == '<')
                return broken(tr("'<' in an attribute value"));
            plain = plain && data[at] != '&' && data[at] != '\r' && data[at] != '\n' &&
                    data[at] != '\t';
            ++at;
        }
        if (at >= size)
            return Cut::Incomplete;
        QByteArray value;
        if (!plain && !resolveText(data + valueAt, at - valueAt, &value))
            return broken(tr("an unknown entity or a character XML does not allow"));
        if (m_attributes.size() >= MaxAttributes)
            return broken(tr("more than %1 attributes").arg(MaxAttributes));
        m_attributes.append(
            {localName(data + attributeAt, attributeSize), valueAt, at - valueAt, plain});
        ++at;
    }
    const bool empty = data[at] == '/';
    if (empty && (at + 1 >= size))
        return Cut::Incomplete;
    if (empty && data[at + 1] != '>')
        return broken(tr("'/' inside a tag"));
    if (m_rootDone && m_openAt.isEmpty())
        return broken(tr("a second root element"));
    if (m_openAt.size() >= MaxDepth)
        return broken(tr("elements nested deeper than %1").arg(MaxDepth));
    m_name = localName(data + nameAt, nameSize);
    m_token = Token::Start;
    m_at = at + (empty ? 2 : 1);
    if (empty) {
        m_endPending = true;
        m_rootDone = m_rootDone || m_openAt.isEmpty();
    } else {
        m_openAt.append(m_open.size());
        m_open.append(data + nameAt, nameSize);
    }
    return Cut::Done;
}

XlsxPart::Cut XlsxPart::cutEndTag()
{
    const char *data = m_buffer.constData();
    const int size = m_buffer.size();
    const int nameAt = m_at + 2;
    int at = nameAt;
    while (at < size && isNameChar(data[at]))
        ++at;
    const int nameSize = at - nameAt;
    while (at < size && isSpace(data[at]))
        ++at;
    if (at >= size)
        return Cut::Incomplete;
    if (data[at] != '>' || m_openAt.isEmpty())
        return broken(tr("an end tag out of place"));
    const int openAt = m_openAt.last();
    if (m_open.size() - openAt != nameSize ||
        std::memcmp(m_open.constData() + openAt, data + nameAt, size_t(nameSize)) != 0)
        return broken(tr("an end tag that closes no open element"));
    m_open.truncate(openAt);
    m_openAt.removeLast();
    m_rootDone = m_rootDone || m_openAt.isEmpty();
    m_name = localName(data + nameAt, nameSize);
    m_token = Token::End;
    m_at = at + 1;
    return Cut::Done;
}

XlsxPart::Cut XlsxPart::cutText()
{
    const char *data = m_buffer.constData();
    const void *tag = std::memchr(data + m_at, '<', size_t(m_buffer.size() - m_at));
    // Blanks may follow the root element up to the end.
    if (!tag && !(m_ended && m_openAt.isEmpty()))
        return Cut::Incomplete;
    const int end = tag ? int(static_cast<const char *>(tag) - data) : m_buffer.size();
    if (m_openAt.isEmpty()) {
        // Outside the root element only blanks may stand.
        for (int i = m_at; i < end; ++i) {
            if (!isSpace(data[i]))
                return broken(tr("text outside the root element"));
        }
        m_at = end;
        return Cut::Done;
    }
    if (!resolveText(data + m_at, end - m_at, &m_text))
        return broken(tr("an unknown entity or a character XML does not allow"));
    m_token = Token::Characters;
    m_at = end;
    return Cut::Done;
}

QByteArray XlsxPart::attribute(QLatin1String name) const
{
    for (const Attribute &attribute : m_attributes) {
        if (attribute.name != name)
            continue;
        if (attribute.plain)
            return QByteArray::fromRawData(m_buffer.constData() + attribute.at, attribute.size);
        // Checked when the tag was read.
        QByteArray value;
        resolveText(m_buffer.constData() + attribute.at, attribute.size, &value);
        // Blanks in a value are read as spaces, as XML has them.
        for (char &c : value) {
            if (c == '\n' || c == '\t')
                c = ' ';
        }
        return value;
    }
    return QByteArray();
}

QString XlsxPart::attributeText(QLatin1String name) const
{
    return QString::fromUtf8(attribute(name));
}

bool XlsxPart::refill()
{
    // The tokens before m_at are read: their bytes make room for the next chunk.
    m_buffer.remove(0, m_at);
    m_at = 0;
    // One byte more than declared is enough to tell that the declaration lied.
    const qint64 wanted = std::min(ChunkBytes, m_declared - m_read + 1);
    const int kept = m_buffer.size();
    m_buffer.resize(kept + int(wanted));
    const qint64 got = m_file->read(m_buffer.data() + kept, wanted);
    if (got < 0)
        return fail(tr("the part %1 cannot be inflated").arg(m_path));
    m_buffer.resize(kept + int(got));
    m_read += got;
    if (m_read > m_declared)
        return fail(tr("the part %1 holds more than its declared size").arg(m_path));
    m_ended = got == 0;
    // A byte-order mark may begin the part.
    if (m_read == got && m_buffer.startsWith("\xEF\xBB\xBF"))
        m_at = 3;
    return true;
}

bool XlsxPart::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    return false;
}

XlsxPart::Cut XlsxPart::broken(const QString &why)
{
    fail(tr("the part %1 is not well-formed XML (%2)").arg(m_path, why));
    return Cut::Failed;
}

QString XlsxPart::resolve(const QString &base, const QString &target)
{
    QStringList parts;
    if (!target.startsWith(QLatin1Char('/'))) {
        parts = base.split(QLatin1Char('/'));
        parts.removeLast();
    }
    for (const QString &part : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (part != QLatin1String(".")) {
            parts.append(part);
        }
    }
    return parts.join(QLatin1Char('/'));
}
