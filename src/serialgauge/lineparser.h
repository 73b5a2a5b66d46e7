#pragma once

#include <memory>

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include "lineformat.h"

class DmmData;
class QDateTime;

// Turns one line from the gauge into a reading with every field set: the value in micrometres and
// mils (1 mil = 25.4 μm) with the texts the gauge would display, the over-range state, the unit
// ("μm" or "mil") and the basis. A plain class: it never sees a port.
class LineParser
{
public:
    explicit LineParser(const LineFormat &format);

    // False when the pattern does not compile or has no `value` group; error() says why.
    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    // The reading on the line, taken at time; null when the line does not match.
    std::unique_ptr<DmmData> parse(const QByteArray &line, const QDateTime &time) const;

    // The line as text: UTF-8 when it is valid UTF-8, else Latin-1, which many gauges send.
    static QString decode(const QByteArray &line);
    // "μm" for the micrometre spellings, "mil" for the mil ones, else empty.
    static QString unitText(const QString &written);
    // "Fe" and "NFe" in the gauge's spelling; other texts as sent.
    static QString basisText(const QString &written);

private:
    std::unique_ptr<DmmData> overRange(const QString &text, const QDateTime &time) const;
    std::unique_ptr<DmmData> reading(const QString &value, const QString &unit,
                                     const QString &basis, const QDateTime &time) const;

    LineFormat m_format;
    QRegularExpression m_pattern;
    QString m_error;
};
