#include "linebuffer.h"

LineBuffer::LineBuffer(int maxLength)
    : m_maxLength(maxLength)
{
    m_line.reserve(maxLength);
}

QList<QByteArray> LineBuffer::append(const QByteArray &data)
{
    QList<QByteArray> lines;
    int start = 0;
    const int size = data.size();
    while (start < size) {
        int end = start;
        while (end < size && data.at(end) != '\n' && data.at(end) != '\r')
            ++end;
        if (!m_dropping) {
            const int take = end - start;
            if (m_line.size() + take > m_maxLength) {
                m_line.clear();
                m_dropping = true;
                lines.append(QByteArray());
            } else {
                m_line.append(data.constData() + start, take);
            }
        }
        if (end == size)
            break;
        // A line end: the line is complete, or the dropped one is over.
        if (!m_dropping && !m_line.isEmpty())
            lines.append(m_line);
        m_line.clear();
        m_dropping = false;
        start = end + 1;
    }
    return lines;
}

void LineBuffer::clear()
{
    m_line.clear();
    m_dropping = false;
}
