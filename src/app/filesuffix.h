#pragma once

#include <QString>
#include <QStringList>

// The suffix a file name typed into a save dialog ends up with. A name without one of the kind's
// own suffixes gets the chosen filter's, so that "store" is written as "store.xls" and the import
// dialog's *.xls filter shows it again.
class FileSuffix
{
public:
    // The suffix of a filter such as "Excel File(*.xls)": "xls"; empty when it names none.
    static QString ofFilter(const QString &filter);

    // fileName as given when its suffix is one of accepted (case-insensitive), else fileName with
    // "." and suffix appended.
    static QString complete(const QString &fileName, const QString &suffix,
                            const QStringList &accepted);
};
