#include "exportdatadialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "itemstore.h"
#include "teambranch.h"

ExportDataDialog::ExportDataDialog(const ItemStore &items, const TeamBranch *team,
                                   const QList<const ItemData *> &ticked, QWidget *parent)
    : QDialog(parent)
    , m_list(new QListWidget(this))
    , m_format(new QComboBox(this))
    , m_oneFile(new QCheckBox(tr("One file for all items, with an Item column"), this))
    , m_decimal(new QComboBox(this))
    , m_byteOrderMark(new QCheckBox(tr("Mark the file as UTF-8 (for Excel)"), this))
{
    setWindowTitle(tr("Export data"));
    setObjectName(QStringLiteral("ExportDataDialog"));
    m_list->setObjectName(QStringLiteral("items"));
    m_oneFile->setObjectName(QStringLiteral("oneFile"));
    m_decimal->setObjectName(QStringLiteral("decimal"));
    m_byteOrderMark->setObjectName(QStringLiteral("byteOrderMark"));

    m_items << items.storeData();
    for (const ItemData *item : items.items())
        m_items << item;
    const int own = m_items.size();
    if (team) {
        for (const ItemData *item : team->items())
            m_items << item;
    }
    for (int i = 0; i < m_items.size(); ++i) {
        const ItemData *item = m_items.at(i);
        // No count of readings: an item of an earlier session has them on disk until exported,
        // a Team item on the server.
        auto *row = new QListWidgetItem(i < own ? item->name() : team->label(item), m_list);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        const bool tick = ticked.isEmpty() ? item == items.active() : ticked.contains(item);
        row->setCheckState(tick ? Qt::Checked : Qt::Unchecked);
    }

    m_format->setObjectName(QStringLiteral("format"));
    m_format->addItem(tr("CSV (.csv)"));
    m_format->addItem(tr("Excel workbook (.xlsx), a sheet per item"));
    m_decimal->addItem(tr("Decimal point: 12.5, fields separated by ,"));
    m_decimal->addItem(tr("Decimal comma: 12,5, fields separated by ;"));
    m_decimal->setCurrentIndex(
        CsvExporter::localeOptions(QLocale()).decimal == QLatin1Char(',') ? 1 : 0);
    m_byteOrderMark->setChecked(true);

    auto *form = new QFormLayout;
    form->addRow(tr("Format:"), m_format);
    form->addRow(tr("Numbers:"), m_decimal);
    form->addRow(QString(), m_oneFile);
    form->addRow(QString(), m_byteOrderMark);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_export = buttons->addButton(tr("Export..."), QDialogButtonBox::AcceptRole);
    m_export->setObjectName(QStringLiteral("export"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemChanged, this, &ExportDataDialog::updateButtons);
    // A workbook holds every item, with numbers as numbers: the CSV choices do not apply.
    connect(m_format, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
        for (QWidget *csvOnly :
             {static_cast<QWidget *>(m_decimal), static_cast<QWidget *>(m_oneFile),
              static_cast<QWidget *>(m_byteOrderMark)})
            csvOnly->setEnabled(format() == Csv);
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Items to export:"), this));
    layout->addWidget(m_list);
    layout->addLayout(form);
    layout->addWidget(buttons);
    updateButtons();
}

QList<const ItemData *> ExportDataDialog::chosen() const
{
    QList<const ItemData *> chosen;
    for (int row = 0; row < m_list->count(); ++row) {
        if (m_list->item(row)->checkState() == Qt::Checked)
            chosen << m_items.at(row);
    }
    return chosen;
}

ExportDataDialog::Format ExportDataDialog::format() const
{
    return m_format->currentIndex() == 1 ? Xlsx : Csv;
}

bool ExportDataDialog::oneFile() const
{
    return format() == Xlsx || m_oneFile->isChecked();
}

CsvExporter::Options ExportDataDialog::options() const
{
    CsvExporter::Options options;
    if (m_decimal->currentIndex() == 1) {
        options.decimal = QLatin1Char(',');
        options.separator = QLatin1Char(';');
    }
    options.byteOrderMark = m_byteOrderMark->isChecked();
    options.itemColumn = oneFile();
    return options;
}

void ExportDataDialog::updateButtons()
{
    m_export->setEnabled(!chosen().isEmpty());
}
