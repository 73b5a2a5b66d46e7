#pragma once

#include <QString>
#include <QStringList>

// The reports are checked with poppler's command-line tools, independent of Qt.
namespace PopplerTools {

// Whether pdfinfo, pdftotext, pdffonts and pdftoppm are all installed.
bool available();
// The program's standard output; empty when it failed.
QString run(const QString &program, const QStringList &args);
// pdfinfo's page count, or -1.
int pageCount(const QString &pdf);
// pdfinfo's value of a field ("Title", "Creator"), or a null string.
QString info(const QString &pdf, const QString &field);
// pdftotext -layout of pages first to last.
QString pageText(const QString &pdf, int first, int last);
QStringList tokens(const QString &text);

} // namespace PopplerTools
