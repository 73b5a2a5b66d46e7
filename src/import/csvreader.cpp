#include "csvreader.h"

#include <QIODevice>

namespace {

constexpr int ChunkBytes = 64 * 1024;

bool special(char c, char separator)
{
    return c == separator || c == '"' || c == '\r' || c == '\n';
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF, and no NUL, which no
// text has and UTF-16 text has in every other byte.
bool isUtf8Text(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c >= 0x01 && c < 0x80) {
            ++p;
            continue;
        }
        int length = 0;
        unsigned int lowest = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            lowest = 0x80;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            lowest = 0x800;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            lowest = 0x10000;
        } else {
            return false;
        }
        if (end - p < length)
            return false;
        unsigned int code = c & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        p += length;
    }
    return true;
}

} // namespace

CsvReader::CsvReader(QIODevice *device)
    : m_device(device)
{
}

bool CsvReader::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    return false;
}

bool CsvReader::fill()
{
    if (m_atEnd)
        return false;
    m_chunk.remove(0, m_at);
    m_at = 0;
    const int kept = m_chunk.size();
    m_chunk.resize(kept + ChunkBytes);
    const qint64 got = m_device->read(m_chunk.data() + kept, ChunkBytes);
    m_chunk.resize(kept + int(std::max<qint64>(got, 0)));
    if (got < 0)
        return fail(tr("the file cannot be read (%1)").arg(m_device->errorString()));
    if (got == 0) {
        m_atEnd = true;
        return false;
    }
    m_position += got;
    return true;
}

bool CsvReader::detectSeparator()
{
    // Enough of the file in hand to hold the first line, or as much as a record may be.
    while (!m_chunk.contains('\n') && !m_chunk.contains('\r') && m_chunk.size() < MaxRecordBytes &&
           fill()) {
    }
    if (!m_error.isEmpty())
        return false;
    if (m_chunk.startsWith("\xEF\xBB\xBF"))
        m_at = 3;
    int commas = 0;
    int semicolons = 0;
    bool quoted = false;
    for (int i = m_at; i < m_chunk.size() && i < MaxRecordBytes; ++i) {
        const char c = m_chunk.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted && c == ',')
            ++commas;
        else if (!quoted && c == ';')
            ++semicolons;
    }
    m_separator = semicolons > commas ? ';' : ',';
    return true;
}

bool CsvReader::endField()
{
    if (m_ends.size() >= MaxFields)
        return fail(tr("line %1 has more than %2 fields").arg(m_recordLine).arg(MaxFields));
    m_ends.append(m_record.size());
    return true;
}

bool CsvReader::endRecord()
{
    if (!endField())
        return false;
    if (!isUtf8Text(m_record))
        return fail(
            tr("line %1 is not UTF-8 text: the file must be saved as UTF-8").arg(m_recordLine));
    return true;
}

QByteArray CsvReader::field(int index) const
{
    const int start = index > 0 ? m_ends.at(index - 1) : 0;
    return QByteArray::fromRawData(m_record.constData() + start, m_ends.at(index) - start);
}

QString CsvReader::text(int index) const
{
    return QString::fromUtf8(field(index));
}

bool CsvReader::readRecord()
{
    if (!m_error.isEmpty())
        return false;
    if (!m_started) {
        m_started = true;
        if (!detectSeparator())
            return false;
    }
    for (;;) {
        m_record.clear();
        m_ends.clear();
        m_recordLine = m_line;
        State state = State::FieldStart;
        bool ended = false;
        while (!ended) {
            if (m_at >= m_chunk.size() && !fill()) {
                if (!m_error.isEmpty())
                    return false;
                if (state == State::Quoted)
                    return fail(
                        tr("line %1: a quoted field has no closing quote").arg(m_recordLine));
                if (state == State::FieldStart && m_ends.isEmpty())
                    return false;
                if (!endRecord())
                    return false;
                break;
            }
            if (m_record.size() > MaxRecordBytes) {
                return fail(state == State::Quoted
                                ? tr("line %1: a quoted field runs on for more than %2 KB; is "
                                     "its closing quote missing?")
                                      .arg(m_recordLine)
                                      .arg(MaxRecordBytes / 1024)
                                : tr("line %1 is longer than %2 KB")
                                      .arg(m_recordLine)
                                      .arg(MaxRecordBytes / 1024));
            }
            const char *data = m_chunk.constData();
            const int size = m_chunk.size();
            const char c = data[m_at];
            switch (state) {
            case State::FieldStart:
            case State::Unquoted: {
                if (!special(c, m_separator)) {
                    const int start = m_at;
                    while (m_at < size && !special(data[m_at], m_separator))
                        ++m_at;
                    m_record.append(data + start, m_at - start);
                    state = State::Unquoted;
                    break;
                }
                ++m_at;
                if (c == '"') {
                    if (state == State::Unquoted)
                        return fail(tr("line %1: a quote inside a field that does not begin "
                                       "with one")
                                        .arg(m_recordLine));
                    state = State::Quoted;
                } else if (c == m_separator) {
                    if (!endField())
                        return false;
                    state = State::FieldStart;
                } else {
                    ++m_line;
                    // A CR LF pair ends one line.
                    if (c == '\r') {
                        if (m_at >= size)
                            fill();
                        if (m_at < m_chunk.size() && m_chunk.at(m_at) == '\n')
                            ++m_at;
                    }
                    if (!endRecord())
                        return false;
                    ended = true;
                }
                break;
            }
            case State::Quoted: {
                const int start = m_at;
                while (m_at < size && data[m_at] != '"') {
                    m_line += data[m_at] == '\n' ? 1 : 0;
                    ++m_at;
                }
                m_record.append(data + start, m_at - start);
                if (m_at < size) {
                    ++m_at;
                    state = State::QuoteInQuoted;
                }
                break;
            }
            case State::QuoteInQuoted:
                if (c == '"') {
                    ++m_at;
                    m_record.append('"');
                    state = State::Quoted;
                } else if (special(c, m_separator)) {
                    state = State::Unquoted;
                } else {
                    return fail(
                        tr("line %1: text after the closing quote of a field").arg(m_recordLine));
                }
                break;
            }
        }
        if (!m_error.isEmpty())
            return false;
        for (int i = 0; i < m_ends.size(); ++i) {
            if (m_ends.at(i) > (i > 0 ? m_ends.at(i - 1) : 0))
                return true;
        }
    }
}
