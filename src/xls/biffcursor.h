#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

// Walks the records of a BIFF8 workbook stream and reads the fields of the current one.
//
// A record is a 16-bit type, a 16-bit body length and the body; the CONTINUE records that follow
// it are read as part of its body. Every read checks the length left before it touches a byte:
// a read past the end of the record returns zero or an empty text and marks the record as
// overrun(), which the caller treats as damage.
class BiffCursor
{
public:
    static constexpr quint16 ContinueRecord = 0x003C;
    // Enough for every record of a full sheet; more means the stream is not a sane workbook.
    static constexpr int MaxRecords = 1 << 23;

    // stream must outlive the cursor.
    explicit BiffCursor(const QByteArray &stream);

    // The next call of next() reads the record that starts at offset.
    void seek(qint64 offset);
    // Moves to the next record. False at the end of the stream, and when a record header or
    // body runs past it or the record limit is reached, which sets damaged().
    bool next();
    bool damaged() const { return m_damaged; }

    quint16 type() const { return m_type; }
    qint64 offset() const { return m_offset; }
    // Bytes of the body, CONTINUE records included, and the bytes not read yet.
    int size() const { return m_size; }
    int remaining() const { return m_size - m_read; }
    bool overrun() const { return m_overrun; }

    quint8 u8();
    quint16 u16();
    quint32 u32();
    double f64();
    void skip(int count);
    // An Excel text: its character count in countBytes (1 or 2) bytes, its option flags,
    // optional rich-text runs and phonetic data (skipped) and its characters, one byte each or
    // UTF-16. Where the characters run on into a CONTINUE record, that record starts with new
    // option flags.
    QString text(int countBytes);

private:
    struct Segment
    {
        qint64 begin;
        qint64 end;
    };

    bool take(char *out, int count);
    // Moves to the next segment when the current one is used up; false when none is left.
    bool nextSegment();

    const QByteArray &m_stream;
    qint64 m_nextRecord = 0;
    int m_records = 0;
    bool m_damaged = false;

    quint16 m_type = 0;
    qint64 m_offset = 0;
    int m_size = 0;
    int m_read = 0;
    bool m_overrun = false;
    std::vector<Segment> m_segments;
    size_t m_segment = 0;
    qint64 m_pos = 0;
};
