#include "biffbuffer.h"

#include <algorithm>

#include "biffrecord.h"

bool BiffBuffer::needsWide(const QString &s)
{
    return std::any_of(s.cbegin(), s.cend(), [](QChar c) { return c.unicode() > 0xFF; });
}

void BiffBuffer::putString16(const QString &s)
{
    const bool wide = needsWide(s);
    u16(static_cast<quint16>(s.size()));
    u8(wide ? 1 : 0);
    chars(s, 0, s.size(), wide);
}

int BiffBuffer::string16Size(const QString &s)
{
    return 3 + s.size() * (needsWide(s) ? 2 : 1);
}

void BiffBuffer::putXf(quint16 format, bool style)
{
    record(RecXf, 20);
    u16(0); // font
    u16(format);
    u16(style ? 0xFFF5 : 0x0001); // locked; a style has no parent
    u8(0x20);                     // bottom aligned
    u8(0);                        // rotation
    u8(0);                        // indent, shrink, reading order
    u8(style ? 0x00 : 0x04);      // a cell format overrides the number format
    u32(0);                       // borders
    u32(0);
    u16(0x20C0); // pattern colours: system window text and background
}
