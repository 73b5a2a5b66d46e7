#include "compoundfile.h"

#include <algorithm>

#include <QtEndian>

namespace {

constexpr int HeaderSize = 512;
constexpr int HeaderDifatSlots = 109;
constexpr int DirEntrySize = 128;
constexpr int MiniSectorShift = 6;
constexpr quint32 MaxRegularSector = 0xFFFFFFFA;
constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 NoStream = 0xFFFFFFFF;
constexpr quint8 StreamEntry = 2;
constexpr quint8 RootEntry = 5;

quint16 u16At(const char *p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 u32At(const char *p)
{
    return qFromLittleEndian<quint32>(p);
}

} // namespace

CompoundFile::CompoundFile(const QByteArray &data)
    : m_data(data)
{
}

bool CompoundFile::open()
{
    static const QByteArray signature = QByteArray::fromHex("D0CF11E0A1B11AE1");
    if (m_data.size() < HeaderSize || !m_data.startsWith(signature))
        return false;
    const char *h = m_data.constData();
    const quint16 major = u16At(h + 0x1A);
    const quint16 sectorShift = u16At(h + 0x1E);
    if (u16At(h + 0x1C) != 0xFFFE || u16At(h + 0x20) != MiniSectorShift)
        return false;
    if (!((major == 3 && sectorShift == 9) || (major == 4 && sectorShift == 12)))
        return false;
    m_sectorSize = 1 << sectorShift;
    if (m_data.size() <= m_sectorSize)
        return false;
    // Sector n starts after the header sector; a last sector cut short still counts.
    m_sectorCount = static_cast<quint32>((m_data.size() - 1) / m_sectorSize);
    m_miniCutoff = u32At(h + 0x38);
    return readFat() && readDirectory();
}

bool CompoundFile::readFat()
{
    const char *h = m_data.constData();
    const quint32 fatSectors = u32At(h + 0x2C);
    // Every FAT sector is a sector of the file: more of them than the file has is damage.
    if (fatSectors == 0 || fatSectors > m_sectorCount)
        return false;
    std::vector<quint32> fatIds;
    fatIds.reserve(fatSectors);
    for (int i = 0; i < HeaderDifatSlots && fatIds.size() < fatSectors; ++i)
        fatIds.push_back(u32At(h + 0x4C + 4 * i));

    const int idsPerSector = m_sectorSize / 4;
    quint32 difat = u32At(h + 0x44);
    quint32 difatRead = 0;
    while (fatIds.size() < fatSectors) {
        // Each DIFAT sector adds a sector's worth of FAT ids, so a chain longer than the file
        // has sectors loops.
        if (difat >= m_sectorCount || ++difatRead > m_sectorCount)
            return false;
        const qint64 offset = (static_cast<qint64>(difat) + 1) * m_sectorSize;
        if (offset + m_sectorSize > m_data.size())
            return false;
        const char *p = m_data.constData() + offset;
        for (int i = 0; i < idsPerSector - 1 && fatIds.size() < fatSectors; ++i)
            fatIds.push_back(u32At(p + 4 * i));
        difat = u32At(p + 4 * (idsPerSector - 1));
    }

    m_fat.reserve(static_cast<size_t>(fatSectors) * idsPerSector);
    for (const quint32 id : fatIds) {
        const qint64 offset = (static_cast<qint64>(id) + 1) * m_sectorSize;
        if (id >= m_sectorCount || offset + m_sectorSize > m_data.size())
            return false;
        const char *p = m_data.constData() + offset;
        for (int i = 0; i < idsPerSector; ++i)
            m_fat.push_back(u32At(p + 4 * i));
    }
    return true;
}

bool CompoundFile::readDirectory()
{
    const char *h = m_data.constData();
    QByteArray directory;
    if (!readChain(m_fat, m_data, m_sectorSize, true, u32At(h + 0x30), -1, &directory))
        return false;
    const int count = directory.size() / DirEntrySize;
    m_entries.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const char *p = directory.constData() + i * DirEntrySize;
        Entry entry;
        // The name's length counts its terminating zero, in bytes.
        const int nameBytes = u16At(p + 64);
        if (nameBytes >= 2 && nameBytes <= 64 && nameBytes % 2 == 0) {
            for (int c = 0; c < nameBytes / 2 - 1; ++c)
                entry.name.append(QChar(u16At(p + 2 * c)));
        }
        entry.type = static_cast<quint8>(p[66]);
        entry.left = u32At(p + 68);
        entry.right = u32At(p + 72);
        entry.child = u32At(p + 76);
        entry.start = u32At(p + 116);
        // Version 3 files may leave rubbish in the size's high half.
        entry.size =
            m_sectorSize == HeaderSize ? u32At(p + 120) : qFromLittleEndian<quint64>(p + 120);
        m_entries.push_back(entry);
    }
    if (m_entries.empty() || m_entries.front().type != RootEntry)
        return false;

    m_miniFat.clear();
    const quint32 miniFatStart = u32At(h + 0x3C);
    if (miniFatStart != EndOfChain) {
        QByteArray table;
        if (!readChain(m_fat, m_data, m_sectorSize, true, miniFatStart, -1, &table))
            return false;
        m_miniFat.reserve(static_cast<size_t>(table.size() / 4));
        for (int i = 0; i + 4 <= table.size(); i += 4)
            m_miniFat.push_back(u32At(table.constData() + i));
    }
    return true;
}

bool CompoundFile::readChain(const std::vector<quint32> &table, const QByteArray &container,
                             int sectorSize, bool inFile, quint32 start, qint64 limit,
                             QByteArray *out) const
{
    out->clear();
    if (limit == 0)
        return true;
    // A sector visited twice means the chain loops.
    std::vector<bool> visited(table.size(), false);
    quint32 sector = start;
    for (;;) {
        if (sector == EndOfChain)
            return limit < 0;
        if (sector > MaxRegularSector || sector >= table.size() || visited[sector])
            return false;
        visited[sector] = true;
        const qint64 offset = (static_cast<qint64>(sector) + (inFile ? 1 : 0)) * sectorSize;
        if (offset >= container.size())
            return false;
        const qint64 available = std::min<qint64>(sectorSize, container.size() - offset);
        qint64 take = available;
        if (limit >= 0)
            take = std::min<qint64>(take, limit - out->size());
        out->append(container.constData() + offset, static_cast<int>(take));
        if (limit >= 0 && out->size() >= limit)
            return true;
        // Only the file's last sector may be cut short, and then nothing may follow it.
        if (available < sectorSize)
            return false;
        sector = table[sector];
    }
}

int CompoundFile::findInRoot(const QString &name) const
{
    // The root's children form a binary tree through their left and right links.
    std::vector<bool> visited(m_entries.size(), false);
    std::vector<quint32> pending{m_entries.front().child};
    while (!pending.empty()) {
        const quint32 id = pending.back();
        pending.pop_back();
        if (id == NoStream || id >= m_entries.size() || visited[id])
            continue;
        visited[id] = true;
        const Entry &entry = m_entries[id];
        if (entry.type == StreamEntry && entry.name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(id);
        pending.push_back(entry.left);
        pending.push_back(entry.right);
    }
    return -1;
}

bool CompoundFile::readStream(const QString &name, QByteArray *stream)
{
    stream->clear();
    const int id = findInRoot(name);
    if (id < 0)
        return false;
    const Entry &entry = m_entries[static_cast<size_t>(id)];
    // No stream can be larger than the file that holds it.
    if (entry.size > static_cast<quint64>(m_data.size()))
        return false;
    const qint64 size = static_cast<qint64>(entry.size);
    if (entry.size >= m_miniCutoff)
        return readChain(m_fat, m_data, m_sectorSize, true, entry.start, size, stream);

    if (!m_miniStreamRead) {
        const Entry &root = m_entries.front();
        if (root.size > static_cast<quint64>(m_data.size()) ||
            !readChain(m_fat, m_data, m_sectorSize, true, root.start,
                       static_cast<qint64>(root.size), &m_miniStream))
            return false;
        m_miniStreamRead = true;
    }
    return readChain(m_miniFat, m_miniStream, 1 << MiniSectorShift, false, entry.start, size,
                     stream) &&
           stream->size() == size;
}
