#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QVector>

class QIODevice;

// Splits comma-separated values (RFC 4180) in UTF-8 into records, reading the device in chunks:
// fields quoted or not, quotes doubled inside quoted fields, line breaks inside them, CR LF, LF or
// CR at the ends of lines, an optional byte-order mark. The separator is ',' or ';', whichever the
// first record holds more of outside quotes. A record is never held beyond MaxRecordBytes, so a
// line of any length costs no more memory than that.
class CsvReader
{
    Q_DECLARE_TR_FUNCTIONS(CsvReader)

public:
    static constexpr int MaxRecordBytes = 64 * 1024;
    static constexpr int MaxFields = 256;

    // device must stay open while the reader reads.
    explicit CsvReader(QIODevice *device);

    // Moves to the next record that has a field with text; false at the end of the device and on
    // errors (errorString() then says which, with the line).
    bool readRecord();
    int fieldCount() const { return m_ends.size(); }
    // The bytes of a field, valid until the next readRecord().
    QByteArray field(int index) const;
    QString text(int index) const;
    // The line the current record begins on, from 1.
    qint64 line() const { return m_recordLine; }
    // Bytes taken from the device so far.
    qint64 position() const { return m_position; }
    QString errorString() const { return m_error; }

private:
    enum class State { FieldStart, Unquoted, Quoted, QuoteInQuoted };

    bool fill();
    bool detectSeparator();
    bool endField();
    bool endRecord();
    bool fail(const QString &error);

    QIODevice *m_device;
    QByteArray m_chunk;
    int m_at = 0;
    bool m_atEnd = false;
    bool m_started = false;
    char m_separator = ',';
    QByteArray m_record;
    QVector<int> m_ends;
    qint64 m_line = 1;
    qint64 m_recordLine = 1;
    qint64 m_position = 0;
    QString m_error;
};
