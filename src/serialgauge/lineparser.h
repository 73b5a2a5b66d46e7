#pragma once

#include <limits>
#include <memory>

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include "lineformat.h"

class DmmData;
class QDateTime;

// Turns one line from the gauge into a reading with every field set: the value in micrometres and
// mils (1 mil = 25.4 μm) with the texts the gauge would display, the over-range state, the unit
// ("μm" or "mil") and the basis. Millimetres become micrometres and inches mils, keeping the digits
// the gauge sent. A plain class: it never sees a port.
class LineParser
{
public:
    // No coating gauge measures beyond 100 mm; a larger value is noise or a wrong format.
    static constexpr double MaxMicrometres = 100000.0;
    // Digits beyond these would be stored as a different number than the gauge sent.
    static constexpr int MaxSignificantDigits = std::numeric_limits<double>::digits10;
    // A nanometre in micrometres: finer than any gauge resolves.
    static constexpr int MaxDecimals = 6;

    explicit LineParser(const LineFormat &format);

    // False when the pattern does not compile or has no `value` group; error() says why.
    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    // The reading on the line, taken at time; null when the line does not match.
    std::unique_ptr<DmmData> parse(const QByteArray &line, const QDateTime &time) const;

    // The line as text: UTF-8 when it is valid UTF-8, else Latin-1, which many gauges send.
    static QString decode(const QByteArray &line);
    // "μm" for the micrometre and millimetre spellings, "mil" for the mil and inch ones, else
    // empty.
    static QString unitText(const QString &written);
    // "Fe" and "NFe" in the gauge's spelling; other texts as sent.
    static QString basisText(const QString &written);

private:
    // A unit as written: the unit shown and the powers of ten to it (3 for mm and inches).
    struct Unit
    {
        QString shown;
        int shift = 0;
    };
    static Unit unitOf(const QString &written);

    std::unique_ptr<DmmData> overRange(const QString &text, const QDateTime &time) const;
    std::unique_ptr<DmmData> reading(const QString &value, const QString &unit,
                                     const QString &basis, const QDateTime &time) const;

    LineFormat m_format;
    QRegularExpression m_pattern;
    QString m_error;
};
