#pragma once

#include <cstring>

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A little-endian byte sink for BIFF8 records and the compound file around them, with the string
// and cell-format pieces that several workbook records share.
class BiffBuffer
{
public:
    void u8(quint8 v) { m_data.append(static_cast<char>(v)); }
    void u16(quint16 v)
    {
        const char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        m_data.append(b, 2);
    }
    void u32(quint32 v)
    {
        u16(static_cast<quint16>(v & 0xFFFF));
        u16(static_cast<quint16>(v >> 16));
    }
    void f64(double v)
    {
        quint64 bits = 0;
        std::memcpy(&bits, &v, sizeof bits);
        u32(static_cast<quint32>(bits & 0xFFFFFFFF));
        u32(static_cast<quint32>(bits >> 32));
    }
    void zeros(int n) { m_data.append(n, '\0'); }
    void bytes(const QByteArray &b) { m_data.append(b); }
    void record(quint16 type, int size)
    {
        u16(type);
        u16(static_cast<quint16>(size));
    }
    // Characters of a BIFF8 string: one byte each when compressed, else UTF-16LE.
    void chars(const QString &s, int from, int count, bool wide)
    {
        for (int i = from; i < from + count; ++i) {
            const ushort c = s.at(i).unicode();
            if (wide)
                u16(c);
            else
                u8(static_cast<quint8>(c));
        }
    }
    void setU32(int pos, quint32 v)
    {
        for (int i = 0; i < 4; ++i)
            m_data[pos + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    int size() const { return m_data.size(); }
    void reserve(int n) { m_data.reserve(n); }
    void clear() { m_data.clear(); }
    const QByteArray &data() const { return m_data; }

    // A BIFF8 string's characters fit in one byte each only up to U+00FF.
    static bool needsWide(const QString &s);
    // XLUnicodeString: 16-bit length, option flags, characters.
    void putString16(const QString &s);
    static int string16Size(const QString &s);
    // XF: every cell format points at the Normal style (XF 0) and changes only the number format.
    void putXf(quint16 format, bool style);

private:
    QByteArray m_data;
};
