#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// How the gauge writes a reading on its line: a regular expression with the named groups `value`,
// optionally `unit` and `basis`, what to assume when a line carries no unit or basis, and the
// words the gauge sends instead of a number when it is over range.
struct LineFormat
{
    struct Preset
    {
        QString id;      // the key kept in the settings file
        QString example; // a line of this form, as shown to the user
        QString pattern;
    };

    QString pattern = presets().constFirst().pattern;
    bool milByDefault = false; // a line without a unit is in mils, else in micrometres
    QString basis;             // the basis of a line without one
    QStringList overRangeTokens = {QStringLiteral("OL"), QStringLiteral("OV")};

    // The common forms. The first reads all the others.
    static const QList<Preset> &presets();
    // The preset with that pattern, or null.
    static const Preset *presetForPattern(const QString &pattern);
    static const Preset *presetForId(const QString &id);
};
