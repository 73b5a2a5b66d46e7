#include "workbookexporter.h"

#include <QAbstractItemModel>
#include <QDateTime>
#include <QStringList>
#include <QVariant>

#include "xlsdate.h"
#include "xlswriter.h"

namespace {

constexpr int NumberColumn = 0;
constexpr int TimeColumn = 1;
const QString TextFormat = QStringLiteral("@");

bool isNumber(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

// A time cell becomes a date-time value when it is one or reads as one; other text stays text.
void writeTime(XlsWriter *writer, int row, const QVariant &value)
{
    const QDateTime time = value.userType() == QMetaType::QDateTime
                               ? value.toDateTime()
                               : XlsDate::fromText(value.toString());
    if (!writer->setDateTime(row, TimeColumn, time, XlsWriter::DateTimeFormat))
        writer->setText(row, TimeColumn, value.toString(), XlsWriter::DateTimeFormat);
}

} // namespace

bool WorkbookExporter::exportTable(const QAbstractItemModel &model, const QString &fileName,
                                   const QList<QPair<QString, QString>> &summary)
{
    const int rows = model.rowCount();
    const int columns = model.columnCount();
    if (rows > MaxDataRows)
        return false;

    XlsWriter writer;
    const QStringList headers = {QStringLiteral("No."), QStringLiteral("Time"),
                                 QStringLiteral("Value"), QStringLiteral("Unit"),
                                 QStringLiteral("Basis")};
    for (int c = 0; c < headers.size(); ++c)
        writer.setText(0, c, headers.at(c));

    for (int r = 0; r < rows; ++r) {
        const int sheetRow = r + 1;
        for (int c = 0; c < columns; ++c) {
            const QVariant value = model.data(model.index(r, c), Qt::DisplayRole);
            if (value.isNull())
                continue;
            if (c == TimeColumn) {
                writeTime(&writer, sheetRow, value);
                continue;
            }
            const QString format = c == NumberColumn ? QString() : TextFormat;
            if (isNumber(value))
                writer.setNumber(sheetRow, c, value.toDouble(), format);
            else
                writer.setText(sheetRow, c, value.toString(), format);
        }
    }
    writer.autoFitColumns();
    if (!summary.isEmpty()) {
        writer.addSheet(QStringLiteral("Summary"));
        for (int r = 0; r < summary.size(); ++r) {
            writer.setText(r, 0, summary.at(r).first);
            writer.setText(r, 1, summary.at(r).second);
        }
        writer.autoFitColumns();
    }
    return writer.save(fileName);
}
