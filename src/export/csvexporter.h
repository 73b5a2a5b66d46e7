#pragma once

#include <functional>

#include <QChar>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

class ItemData;
class QIODevice;
class QLocale;

// Writes items' readings as comma-separated values (RFC 4180) in UTF-8: one line per reading with
// No., Time, Value, Unit, Basis, Over range and Excluded (the reason a reading was left out of
// the statistics), after a header line; with several items in one
// file an Item column comes first. Times are ISO 8601 with their UTC offset; values are numbers in
// the item's unit as exactly as a double keeps them, with the decimal point or, for spreadsheets of
// such locales, the decimal comma and ';' between fields. An over-range reading has no value and
// "OL" or "-OL" as Over range.
class CsvExporter
{
    Q_DECLARE_TR_FUNCTIONS(CsvExporter)

public:
    struct Options
    {
        QChar separator = QLatin1Char(',');
        QChar decimal = QLatin1Char('.');
        // Lets spreadsheets that assume a local code page recognise UTF-8.
        bool byteOrderMark = false;
        bool itemColumn = false;
    };
    // Told readings written so far of the total; returning false cancels the export.
    using Progress = std::function<bool(qint64 written, qint64 total)>;

    CsvExporter() = delete;

    // The decimal mark of locale, with ';' between fields when that mark is the comma.
    static Options localeOptions(const QLocale &locale);
    // The field as it goes between separators: quoted when it holds the separator, a quote or a
    // line break, inner quotes doubled.
    static QString field(const QString &text, QChar separator);

    // "Measure1.csv": the item's name made valid as a file name on every system, and unique among
    // taken (compared without case, as Windows does), which it joins.
    static QString fileNameFor(const QString &itemName, QStringList *taken);

    // False when cancelled or when out cannot be written; *error then says why (empty when
    // cancelled).
    static bool write(QIODevice *out, const QList<const ItemData *> &items, const Options &options,
                      const Progress &progress, QString *error);
    // Writes to fileName through a save file: a failed or cancelled export leaves whatever was
    // there before.
    static bool writeFile(const QString &fileName, const QList<const ItemData *> &items,
                          const Options &options, const Progress &progress, QString *error);
};
