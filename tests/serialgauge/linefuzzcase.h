#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "lineformat.h"

class DmmData;

// One input of the line parser's fuzz target, also replayed by the tests: the first byte chooses
// the line format (a preset or one of a few custom patterns), the second whether a line without a
// unit is in mils (bit 0) and in chunks of how many bytes the rest arrives (the other bits, plus
// one). The rest is what the gauge sends.
class LineFuzzCase
{
public:
    explicit LineFuzzCase(const QByteArray &input);

    // Splits and parses the lines; empty when every reading is one a gauge could have sent, else
    // what is wrong with the first that is not.
    QString run() const;
    // Empty when the reading is finite, within the parser's limits and agrees with its texts.
    static QString check(const DmmData &reading);

private:
    LineFormat m_format;
    QList<QByteArray> m_chunks;
};
