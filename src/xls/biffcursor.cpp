#include "biffcursor.h"

#include <algorithm>
#include <cstring>

#include <QtEndian>

namespace {

constexpr int HeaderSize = 4;

} // namespace

BiffCursor::BiffCursor(const QByteArray &stream)
    : m_stream(stream)
{
}

void BiffCursor::seek(qint64 offset)
{
    m_nextRecord = offset;
}

bool BiffCursor::next()
{
    m_type = 0;
    m_size = 0;
    m_read = 0;
    m_overrun = false;
    m_segments.clear();
    m_segment = 0;
    if (m_damaged)
        return false;
    const qint64 streamSize = m_stream.size();
    qint64 pos = m_nextRecord;
    if (pos < 0 || pos > streamSize || pos + HeaderSize > streamSize || ++m_records > MaxRecords) {
        // A stream that simply ends is no damage; one that ends inside a header is.
        m_damaged = pos != streamSize;
        return false;
    }
    const char *data = m_stream.constData();
    m_offset = pos;
    m_type = qFromLittleEndian<quint16>(data + pos);
    for (;;) {
        const qint64 length = qFromLittleEndian<quint16>(data + pos + 2);
        if (pos + HeaderSize + length > streamSize) {
            m_damaged = true;
            return false;
        }
        m_segments.push_back({pos + HeaderSize, pos + HeaderSize + length});
        m_size += static_cast<int>(length);
        pos += HeaderSize + length;
        if (pos + HeaderSize > streamSize ||
            qFromLittleEndian<quint16>(data + pos) != ContinueRecord || m_type == ContinueRecord)
            break;
        if (++m_records > MaxRecords) {
            m_damaged = true;
            return false;
        }
    }
    m_nextRecord = pos;
    m_pos = m_segments.front().begin;
    return true;
}

bool BiffCursor::nextSegment()
{
    if (m_segment + 1 >= m_segments.size())
        return false;
    ++m_segment;
    m_pos = m_segments[m_segment].begin;
    return true;
}

bool BiffCursor::take(char *out, int count)
{
    if (m_overrun || count > remaining()) {
        m_overrun = true;
        std::memset(out, 0, static_cast<size_t>(count));
        return false;
    }
    while (count > 0) {
        const qint64 available = m_segments[m_segment].end - m_pos;
        if (available == 0) {
            nextSegment();
            continue;
        }
        const int n = static_cast<int>(std::min<qint64>(available, count));
        std::memcpy(out, m_stream.constData() + m_pos, static_cast<size_t>(n));
        out += n;
        count -= n;
        m_pos += n;
        m_read += n;
    }
    return true;
}

quint8 BiffCursor::u8()
{
    char b[1];
    take(b, 1);
    return static_cast<quint8>(b[0]);
}

quint16 BiffCursor::u16()
{
    char b[2];
    take(b, 2);
    return qFromLittleEndian<quint16>(b);
}

quint32 BiffCursor::u32()
{
    char b[4];
    take(b, 4);
    return qFromLittleEndian<quint32>(b);
}

double BiffCursor::f64()
{
    char b[8];
    take(b, 8);
    const quint64 bits = qFromLittleEndian<quint64>(b);
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void BiffCursor::skip(int count)
{
    if (m_overrun || count < 0 || count > remaining()) {
        m_overrun = true;
        return;
    }
    while (count > 0) {
        const qint64 available = m_segments[m_segment].end - m_pos;
        if (available == 0) {
            nextSegment();
            continue;
        }
        const int n = static_cast<int>(std::min<qint64>(available, count));
        count -= n;
        m_pos += n;
        m_read += n;
    }
}

QString BiffCursor::text(int countBytes)
{
    const int count = countBytes == 1 ? u8() : u16();
    quint8 flags = u8();
    const int runs = (flags & 0x08) ? u16() : 0;
    const quint32 phonetic = (flags & 0x04) ? u32() : 0;
    if (m_overrun)
        return QString();

    QString result;
    // Never more than the record can hold, whatever the count says.
    result.reserve(std::min(count, remaining()));
    int left = count;
    while (left > 0) {
        qint64 available = m_segments[m_segment].end - m_pos;
        if (available == 0) {
            if (!nextSegment()) {
                m_overrun = true;
                return QString();
            }
            flags = u8();
            continue;
        }
        const bool wide = flags & 0x01;
        const int n = static_cast<int>(std::min<qint64>(left, wide ? available / 2 : available));
        if (n == 0) {
            // A character split between two records.
            m_overrun = true;
            return QString();
        }
        const char *p = m_stream.constData() + m_pos;
        if (wide) {
            for (int i = 0; i < n; ++i)
                result.append(QChar(qFromLittleEndian<quint16>(p + 2 * i)));
        } else {
            result.append(QString::fromLatin1(p, n));
        }
        const int bytes = wide ? 2 * n : n;
        m_pos += bytes;
        m_read += bytes;
        left -= n;
    }
    skip(4 * runs);
    if (phonetic > static_cast<quint32>(remaining()))
        m_overrun = true;
    else
        skip(static_cast<int>(phonetic));
    return m_overrun ? QString() : result;
}
