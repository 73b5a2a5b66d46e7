#pragma once

#include <QDialog>
#include <QList>

#include "csvexporter.h"

class ItemData;
class ItemStore;
class QCheckBox;
class QComboBox;
class QListWidget;
class TeamBranch;

// File > "Export data...": which items go out, as CSV or as an Excel workbook, and how the CSV is
// written. The decimal mark follows the locale until the user picks another.
class ExportDataDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(ExportDataDialog)

public:
    enum Format { Csv, Xlsx };

    // ticked: the items ticked at first; none ticks the active one. The team's items, if any,
    // follow the own ones.
    ExportDataDialog(const ItemStore &items, const TeamBranch *team,
                     const QList<const ItemData *> &ticked, QWidget *parent = nullptr);

    // The ticked items, in tree order.
    QList<const ItemData *> chosen() const;
    Format format() const;
    // All chosen items in one file with an Item column, or a file per item.
    bool oneFile() const;
    CsvExporter::Options options() const;

private:
    void updateButtons();

    QList<const ItemData *> m_items;
    QListWidget *m_list;
    QComboBox *m_format;
    QCheckBox *m_oneFile;
    QComboBox *m_decimal;
    QCheckBox *m_byteOrderMark;
    QPushButton *m_export;
};
