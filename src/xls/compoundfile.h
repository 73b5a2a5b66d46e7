#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

// Reads streams out of an OLE2 compound file held in memory, the container of .xls workbooks:
// the header, the sector allocation table (FAT) with its DIFAT extension, the directory, and the
// mini stream with its own table for streams below the cut-off size.
//
// Made for untrusted input: every sector number is checked against the file before it is read,
// every chain is followed at most once through each sector, and a stream grows only with the
// sectors actually present, whatever size its directory entry declares.
class CompoundFile
{
public:
    // data must outlive the object.
    explicit CompoundFile(const QByteArray &data);

    // Reads the header, the FAT and the directory; false for anything that is not a sound
    // compound file.
    bool open();

    // The stream called name (compared without regard to case) directly in the root storage;
    // false when there is none or its sectors are damaged.
    bool readStream(const QString &name, QByteArray *stream);

private:
    struct Entry
    {
        QString name;
        quint8 type = 0;
        quint32 left = 0;
        quint32 right = 0;
        quint32 child = 0;
        quint32 start = 0;
        quint64 size = 0;
    };

    bool readFat();
    bool readDirectory();
    // Follows the chain from start through table, appending each sector (of sectorSize bytes,
    // taken from container) until limit bytes are read or the chain ends; limit < 0 reads to
    // the end of the chain.
    bool readChain(const std::vector<quint32> &table, const QByteArray &container, int sectorSize,
                   bool inFile, quint32 start, qint64 limit, QByteArray *out) const;
    int findInRoot(const QString &name) const;

    const QByteArray &m_data;
    int m_sectorSize = 0;
    quint32 m_sectorCount = 0;
    quint32 m_miniCutoff = 0;
    std::vector<quint32> m_fat;
    std::vector<quint32> m_miniFat;
    std::vector<Entry> m_entries;
    QByteArray m_miniStream;
    bool m_miniStreamRead = false;
};
