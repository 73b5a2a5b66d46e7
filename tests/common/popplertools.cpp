#include "popplertools.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace PopplerTools {

bool available()
{
    for (const char *tool : {"pdfinfo", "pdftotext", "pdffonts", "pdftoppm"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            return false;
    }
    return true;
}

QString run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString info(const QString &pdf, const QString &field)
{
    const QRegularExpression line(QStringLiteral("^%1:\\s+(.*)$").arg(field),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(run(QStringLiteral("pdfinfo"), {pdf}));
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

int pageCount(const QString &pdf)
{
    const QString pages = info(pdf, QStringLiteral("Pages"));
    return pages.isNull() ? -1 : pages.toInt();
}

QString pageText(const QString &pdf, int first, int last)
{
    return run(QStringLiteral("pdftotext"),
               {"-layout", "-f", QString::number(first), "-l", QString::number(last), pdf, "-"});
}

QStringList tokens(const QString &text)
{
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

} // namespace PopplerTools
