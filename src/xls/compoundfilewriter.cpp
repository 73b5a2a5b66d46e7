#include "compoundfilewriter.h"

#include <vector>

#include "biffbuffer.h"

namespace {

constexpr int SectorSize = 512;
constexpr int IdsPerSector = SectorSize / 4;
constexpr int HeaderDifatSlots = 109;
constexpr int DirEntrySize = 128;
// Streams below this size would have to live in the mini stream.
constexpr int MiniStreamCutoff = 4096;
constexpr quint32 FreeSect = 0xFFFFFFFF;
constexpr quint32 EndOfChain = 0xFFFFFFFE;
constexpr quint32 FatSect = 0xFFFFFFFD;
constexpr quint32 DifatSect = 0xFFFFFFFC;
constexpr quint32 NoStream = 0xFFFFFFFF;

} // namespace

QByteArray CompoundFileWriter::write(QByteArray stream)
{
    // Padding keeps a small workbook out of the mini stream; readers stop at the EOF record.
    if (stream.size() < MiniStreamCutoff)
        stream.append(MiniStreamCutoff - stream.size(), '\0');
    const quint32 streamSize = static_cast<quint32>(stream.size());
    const int streamSectors = (stream.size() + SectorSize - 1) / SectorSize;
    stream.append(streamSectors * SectorSize - stream.size(), '\0');

    int fatSectors = 0;
    int difatSectors = 0;
    for (;;) {
        const int total = streamSectors + fatSectors + difatSectors + 1;
        const int fat = (total + IdsPerSector - 1) / IdsPerSector;
        const int difat = fat > HeaderDifatSlots
                              ? (fat - HeaderDifatSlots + IdsPerSector - 2) / (IdsPerSector - 1)
                              : 0;
        if (fat == fatSectors && difat == difatSectors)
            break;
        fatSectors = fat;
        difatSectors = difat;
    }
    const quint32 firstFat = static_cast<quint32>(streamSectors);
    const quint32 firstDifat = firstFat + static_cast<quint32>(fatSectors);
    const quint32 dirSector = firstDifat + static_cast<quint32>(difatSectors);

    std::vector<quint32> fat(static_cast<size_t>(fatSectors) * IdsPerSector, FreeSect);
    for (int i = 0; i < streamSectors; ++i)
        fat[i] = i + 1 < streamSectors ? static_cast<quint32>(i + 1) : EndOfChain;
    for (int i = 0; i < fatSectors; ++i)
        fat[firstFat + i] = FatSect;
    for (int i = 0; i < difatSectors; ++i)
        fat[firstDifat + i] = DifatSect;
    fat[dirSector] = EndOfChain;

    BiffBuffer out;
    out.reserve(SectorSize * (2 + static_cast<int>(dirSector)));
    out.bytes(QByteArray::fromHex("D0CF11E0A1B11AE1"));
    out.zeros(16);
    out.u16(0x003E); // minor version
    out.u16(0x0003); // major version 3: 512-byte sectors
    out.u16(0xFFFE); // little-endian
    out.u16(9);      // sector size 2^9
    out.u16(6);      // mini sector size 2^6
    out.zeros(6);
    out.u32(0); // directory sectors (always 0 in version 3)
    out.u32(static_cast<quint32>(fatSectors));
    out.u32(dirSector);
    out.u32(0); // transactions
    out.u32(MiniStreamCutoff);
    out.u32(EndOfChain); // no mini FAT
    out.u32(0);
    out.u32(difatSectors > 0 ? firstDifat : EndOfChain);
    out.u32(static_cast<quint32>(difatSectors));
    for (int i = 0; i < HeaderDifatSlots; ++i)
        out.u32(i < fatSectors ? firstFat + static_cast<quint32>(i) : FreeSect);

    out.bytes(stream);
    for (const quint32 id : fat)
        out.u32(id);
    int nextFat = HeaderDifatSlots;
    for (int d = 0; d < difatSectors; ++d) {
        for (int i = 0; i < IdsPerSector - 1; ++i, ++nextFat)
            out.u32(nextFat < fatSectors ? firstFat + static_cast<quint32>(nextFat) : FreeSect);
        out.u32(d + 1 < difatSectors ? firstDifat + static_cast<quint32>(d + 1) : EndOfChain);
    }
    putDirEntry(out, QStringLiteral("Root Entry"), 5, 1, EndOfChain, 0);
    putDirEntry(out, QStringLiteral("Workbook"), 2, NoStream, 0, streamSize);
    putDirEntry(out, QString(), 0, NoStream, 0, 0);
    putDirEntry(out, QString(), 0, NoStream, 0, 0);
    return out.data();
}

void CompoundFileWriter::putDirEntry(BiffBuffer &out, const QString &name, quint8 type,
                                     quint32 child, quint32 start, quint32 size)
{
    const int before = out.size();
    for (const QChar c : name)
        out.u16(c.unicode());
    out.zeros(64 - 2 * name.size());
    out.u16(static_cast<quint16>(name.isEmpty() ? 0 : 2 * (name.size() + 1)));
    out.u8(type);
    out.u8(1); // black: a tree of one node per level needs no balancing
    out.u32(NoStream);
    out.u32(NoStream);
    out.u32(child);
    out.zeros(16 + 4 + 8 + 8); // class id, state bits, creation and modification times
    out.u32(start);
    out.u32(size);
    out.u32(0);
    Q_ASSERT(out.size() - before == DirEntrySize);
}
