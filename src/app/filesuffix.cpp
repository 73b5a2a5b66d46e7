#include "filesuffix.h"

#include <QFileInfo>
#include <QRegularExpression>

QString FileSuffix::ofFilter(const QString &filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    return pattern.match(filter).captured(1);
}

QString FileSuffix::complete(const QString &fileName, const QString &suffix,
                             const QStringList &accepted)
{
    if (fileName.isEmpty() || suffix.isEmpty())
        return fileName;
    const QString own = QFileInfo(fileName).suffix();
    if (!own.isEmpty() && accepted.contains(own, Qt::CaseInsensitive))
        return fileName;
    // "name." would give "name..xls".
    const QString base = fileName.endsWith(QLatin1Char('.')) ? fileName.chopped(1) : fileName;
    return base + QLatin1Char('.') + suffix;
}
