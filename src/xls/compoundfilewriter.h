#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class BiffBuffer;

// Writes an OLE2 compound file, the container of .xls workbooks, holding one stream named
// "Workbook": the stream's sectors first, then the FAT, the DIFAT sectors that a FAT of more than
// 109 sectors needs, and the directory. Version 3, 512-byte sectors, no mini stream.
class CompoundFileWriter
{
public:
    static QByteArray write(QByteArray stream);

private:
    static void putDirEntry(BiffBuffer &out, const QString &name, quint8 type, quint32 child,
                            quint32 start, quint32 size);
};
