#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include "csvexporter.h"

class DmmData;
class ItemData;
class ItemStore;
class QIODevice;

// Turns an .xlsx workbook or a CSV file, in the layouts XlsxExporter and CsvExporter write and as
// spreadsheets save them again after an edit, into items to add: a sheet of readings each (the
// Summary sheet and sheets in another layout aside, a sheet that continues a full one joined to
// it), or an item per Item value of a CSV file. Columns are found by their headers: Time, Value
// and Unit must be there, Item, Basis and Over range may be. Any row that gives no reading
// rejects the whole file, with a message that names the sheet or line: nothing half-read is
// handed on. No window is needed.
class DataImporter
{
    Q_DECLARE_TR_FUNCTIONS(DataImporter)

public:
    struct Item
    {
        QString name;
        // The unit of its last reading: the unit the item is shown in.
        QString unit;
        QList<DmmData *> readings;
    };

    DataImporter() = default;
    // Deletes the readings of items that were not taken.
    ~DataImporter();
    DataImporter(const DataImporter &) = delete;
    DataImporter &operator=(const DataImporter &) = delete;

    // "Readings (*.xlsx *.csv)" and the like, for a file dialog.
    static QString fileFilter();

    // Reads fileName by its suffix, .xlsx or .csv. False, with errorString() and no items, for
    // a file that is rejected or when progress cancelled (errorString() then empty).
    bool read(const QString &fileName, const CsvExporter::Progress &progress = {});
    // A CSV file's content; items without an Item column are named baseName.
    bool readCsv(QIODevice *device, const QString &baseName,
                 const CsvExporter::Progress &progress = {});

    QString errorString() const { return m_error; }
    // What the user should know of a successful read, such as sheets left out.
    QStringList notes() const { return m_notes; }
    const QList<Item> &items() const { return m_items; }
    // Hands the items and their readings to the caller.
    QList<Item> takeItems();

    // name, or "name (2)", "name (3)"... the first that is not in taken (compared with case).
    static QString uniqueName(const QString &name, const QStringList &taken);
    // Adds items to store as imported items, each under its name made unique among the store's,
    // with their readings, which the store then owns. A file does not say which gauge measured:
    // each item keeps the range it has. The items added, in order.
    static QList<ItemData *> addTo(ItemStore *store, const QList<Item> &items);

private:
    bool readXlsx(const QString &fileName, const CsvExporter::Progress &progress);
    bool fail(const QString &error);
    void clear();

    QList<Item> m_items;
    QStringList m_notes;
    QString m_error;
};
