#include "inspectionreportdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include "filechooser.h"
#include "itemstore.h"
#include "teambranch.h"
#include "workspace.h"

namespace {

QCheckBox *checkBox(const QString &text, const char *name, QWidget *parent)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(true);
    return box;
}

} // namespace

InspectionReportDialog::InspectionReportDialog(ItemStore *items, Workspace *workspace,
                                               TeamBranch *team, RecentFolders *folders,
                                               QWidget *parent)
    : QDialog(parent)
    , m_items(items)
    , m_workspace(workspace)
    , m_team(team)
    , m_folders(folders)
{
    setWindowTitle(tr("Inspection report"));
    auto *layout = new QVBoxLayout(this);

    auto *itemBox = new QGroupBox(tr("Items"), this);
    auto *itemLayout = new QVBoxLayout(itemBox);
    m_itemList = new QListWidget(itemBox);
    m_itemList->setObjectName(QStringLiteral("listItems"));
    m_choices = items->items();
    m_choices.append(items->storeData());
    const int own = m_choices.size();
    if (team)
        m_choices += team->items();
    for (int i = 0; i < m_choices.size(); ++i) {
        ItemData *item = m_choices.at(i);
        auto *row = new QListWidgetItem(i < own ? item->name() : team->label(item), m_itemList);
        row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        row->setCheckState(item == items->active() ? Qt::Checked : Qt::Unchecked);
    }
    itemLayout->addWidget(m_itemList);
    layout->addWidget(itemBox);

    auto *sectionBox = new QGroupBox(tr("Sections"), this);
    auto *sections = new QFormLayout(sectionBox);
    m_cover = checkBox(tr("Cover page with the job details and a summary of the items"), "cbCover",
                       sectionBox);
    m_statistics = checkBox(tr("Statistics, requirement and verdict"), "cbStatistics", sectionBox);
    m_histogram = checkBox(tr("Histogram"), "cbHistogram", sectionBox);
    m_chart = checkBox(tr("Chart"), "cbChart", sectionBox);
    m_notes = checkBox(tr("Notes and photos"), "cbNotes", sectionBox);
    for (QCheckBox *box : {m_cover, m_statistics, m_histogram, m_chart, m_notes})
        sections->addRow(box);
    m_readings = new QComboBox(sectionBox);
    m_readings->setObjectName(QStringLiteral("cbReadings"));
    m_readings->addItem(tr("None"), InspectionReport::NoReadings);
    m_readings->addItem(tr("Only readings out of limits"), InspectionReport::ReadingsOutOfLimits);
    m_readings->addItem(tr("All"), InspectionReport::AllReadings);
    sections->addRow(tr("Readings table:"), m_readings);
    m_paper = new QComboBox(sectionBox);
    m_paper->setObjectName(QStringLiteral("cbPaper"));
    m_paper->addItem(tr("A4"), QPageSize::A4);
    m_paper->addItem(tr("Letter"), QPageSize::Letter);
    m_paper->setCurrentIndex(m_paper->findData(InspectionReport::defaultPaper(QLocale())));
    sections->addRow(tr("Paper:"), m_paper);
    layout->addWidget(sectionBox);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_save = buttons->addButton(tr("Save PDF..."), QDialogButtonBox::ActionRole);
    m_save->setObjectName(QStringLiteral("btnSavePdf"));
    m_print = buttons->addButton(tr("Print..."), QDialogButtonBox::ActionRole);
    m_print->setObjectName(QStringLiteral("btnPrint"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_save, &QPushButton::clicked, this, &InspectionReportDialog::savePdf);
    connect(m_print, &QPushButton::clicked, this, &InspectionReportDialog::print);
    // A report needs an item.
    const auto enable = [this] {
        const bool any = !chosenItems().isEmpty();
        m_save->setEnabled(any);
        m_print->setEnabled(any);
    };
    connect(m_itemList, &QListWidget::itemChanged, this, enable);
    enable();
}

QList<const ItemData *> InspectionReportDialog::chosenItems() const
{
    QList<const ItemData *> chosen;
    for (int i = 0; i < m_itemList->count(); ++i)
        if (m_itemList->item(i)->checkState() == Qt::Checked)
            chosen.append(m_choices.at(i));
    return chosen;
}

InspectionReport::Options InspectionReportDialog::options() const
{
    InspectionReport::Options options;
    options.cover = m_cover->isChecked();
    options.statistics = m_statistics->isChecked();
    options.histogram = m_histogram->isChecked();
    options.chart = m_chart->isChecked();
    options.notes = m_notes->isChecked();
    options.readings = InspectionReport::Readings(m_readings->currentData().toInt());
    options.paper = QPageSize::PageSizeId(m_paper->currentData().toInt());
    return options;
}

bool InspectionReportDialog::prepare()
{
    for (int i = 0; i < m_itemList->count(); ++i) {
        if (m_itemList->item(i)->checkState() != Qt::Checked)
            continue;
        ItemData *item = m_choices.at(i);
        QString error;
        if (m_workspace)
            m_workspace->loadReadings(item);
        if (m_team && item->isReadOnly() && !m_team->loadReadings(item, &error)) {
            tell(tr("The readings of %1 cannot be read from the team server: %2")
                     .arg(m_team->label(item), error),
                 true);
            return false;
        }
    }
    qint64 rows = 0;
    for (const ItemData *item : chosenItems())
        rows += InspectionReport::tableRows(*item, options().readings);
    if (rows <= LargeTable)
        return true;
    return QMessageBox::question(
               this, windowTitle(),
               tr("The readings table will have %1 rows, thousands of pages. Writing them takes "
                  "a while. Write the table?")
                   .arg(QLocale().toString(rows))) == QMessageBox::Yes;
}

void InspectionReportDialog::savePdf()
{
    const QString fileName =
        FileChooser::saveFileName(this, tr("Save the inspection report"), tr("PDF file(*.pdf)"),
                                  {QStringLiteral("pdf")}, m_folders, RecentFolders::Pdf);
    if (!fileName.isEmpty())
        saveTo(fileName);
}

bool InspectionReportDialog::saveTo(const QString &fileName)
{
    if (!prepare())
        return false;
    InspectionReport report(m_items->jobDetails(), chosenItems(), options());
    QProgressDialog progress(tr("Writing the inspection report..."), tr("Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const QString error = report.save(fileName, [&progress](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done);
        return !progress.wasCanceled();
    });
    progress.reset();
    if (error.isEmpty())
        tell(tr("The inspection report was saved to %1.").arg(QDir::toNativeSeparators(fileName)),
             false);
    else
        tell(error, true);
    return error.isEmpty();
}

void InspectionReportDialog::print()
{
    if (!prepare())
        return;
    InspectionReport report(m_items->jobDetails(), chosenItems(), options());
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report.title());
    printer.setCreator(InspectionReport::producer());
    report.setUp(&printer);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&report](QPrinter *target) { report.paint(target); });
    preview.exec();
}

void InspectionReportDialog::tell(const QString &text, bool failed)
{
    m_outcome = text;
    if (failed)
        QMessageBox::warning(this, windowTitle(), text);
    else
        QMessageBox::information(this, windowTitle(), text);
}
