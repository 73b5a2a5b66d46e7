#pragma once

#include <QByteArray>
#include <QList>

// Splits the bytes of a serial line into lines. A line ends at CR or LF; empty lines (the second
// half of CR LF) are skipped. At most maxLength bytes of an unfinished line are kept: a longer
// line is dropped up to its end and counted once, so noise without line ends cannot grow memory.
class LineBuffer
{
public:
    static constexpr int DefaultMaxLength = 1024;

    explicit LineBuffer(int maxLength = DefaultMaxLength);

    // Appends data and returns the lines it completed, in order, without their line ends.
    QList<QByteArray> append(const QByteArray &data);

    // The unfinished line so far (empty while an overlong one is being dropped).
    QByteArray partialLine() const { return m_line; }
    // Overlong lines met since the last call.
    int takeOverlongCount();
    void clear();

private:
    int m_maxLength;
    QByteArray m_line;
    bool m_dropping = false;
    int m_overlong = 0;
};
