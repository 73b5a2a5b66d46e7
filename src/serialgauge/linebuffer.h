#pragma once

#include <QByteArray>
#include <QList>

// Splits the bytes of a serial line into lines. A line ends at CR or LF; empty lines (the second
// half of CR LF) are skipped. At most maxLength bytes of an unfinished line are kept: a longer
// line is dropped up to its end, so noise without line ends cannot grow memory, and stands in the
// lines as one empty line, in its place among them.
class LineBuffer
{
public:
    static constexpr int DefaultMaxLength = 1024;

    explicit LineBuffer(int maxLength = DefaultMaxLength);

    // Appends data and returns the lines it completed, in order, without their line ends; an
    // empty one for each line that became too long.
    QList<QByteArray> append(const QByteArray &data);

    // The unfinished line so far (empty while an overlong one is being dropped).
    QByteArray partialLine() const { return m_line; }
    void clear();

private:
    int m_maxLength;
    QByteArray m_line;
    bool m_dropping = false;
};
