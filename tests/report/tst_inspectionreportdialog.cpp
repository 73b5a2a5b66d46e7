#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "dmmdata.h"
#include "inspectionreportdialog.h"
#include "itemstore.h"
#include "recentfolders.h"

namespace {

// Presses button on the next message box.
void answerNextBox(QMessageBox::StandardButton button, QString *text)
{
    auto *timer = new QTimer();
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [=]() {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        *text = box->text();
        box->button(button)->click();
    });
    timer->start();
}

void fill(ItemStore &store, ItemData *item, int count)
{
    QList<DmmData *> readings;
    for (int i = 0; i < count; ++i) {
        auto *reading = new DmmData;
        reading->setUmValue(120);
        reading->setUmText(QStringLiteral("120"));
        readings.append(reading);
    }
    store.append(item, readings, QStringLiteral("\u03BCm"), 1250);
}

} // namespace

class tst_InspectionReportDialog : public QObject
{
    Q_OBJECT

private slots:
    void choicesStartFromTheStore();
    void paperFollowsTheLocale_data();
    void paperFollowsTheLocale();
    void largeTableIsConfirmed_data();
    void largeTableIsConfirmed();

private:
    RecentFolders m_folders;
};

void tst_InspectionReportDialog::choicesStartFromTheStore()
{
    ItemStore store;
    ItemData *first = store.add(QStringLiteral("First"), ItemData::MeasureData);
    ItemData *second = store.add(QStringLiteral("Second"), ItemData::ImportData);
    store.activate(second);
    InspectionReportDialog dialog(&store, nullptr, nullptr, &m_folders);
    auto *list = dialog.findChild<QListWidget *>(QStringLiteral("listItems"));
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(2)->text(), QStringLiteral("Store Data"));
    QCOMPARE(dialog.chosenItems(), (QList<const ItemData *>{second}));
    list->item(0)->setCheckState(Qt::Checked);
    QCOMPARE(dialog.chosenItems(), (QList<const ItemData *>{first, second}));
    auto *save = dialog.findChild<QPushButton *>(QStringLiteral("btnSavePdf"));
    QVERIFY(save->isEnabled());
    list->item(0)->setCheckState(Qt::Unchecked);
    list->item(1)->setCheckState(Qt::Unchecked);
    QVERIFY(!save->isEnabled());
    QVERIFY(!dialog.findChild<QPushButton *>(QStringLiteral("btnPrint"))->isEnabled());
    list->item(1)->setCheckState(Qt::Checked);

    InspectionReport::Options options = dialog.options();
    QVERIFY(options.cover && options.statistics && options.histogram && options.chart &&
            options.notes);
    QCOMPARE(options.readings, InspectionReport::NoReadings);
    dialog.findChild<QComboBox *>(QStringLiteral("cbReadings"))->setCurrentIndex(1);
    QCOMPARE(dialog.options().readings, InspectionReport::ReadingsOutOfLimits);
}

void tst_InspectionReportDialog::paperFollowsTheLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("paper");
    QTest::newRow("United States") << "en_US"
                                   << "Letter";
    QTest::newRow("France") << "fr_FR"
                            << "A4";
}

void tst_InspectionReportDialog::paperFollowsTheLocale()
{
    QFETCH(QString, locale);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    ItemStore store;
    InspectionReportDialog dialog(&store, nullptr, nullptr, &m_folders);
    QLocale::setDefault(before);
    QTEST(dialog.findChild<QComboBox *>(QStringLiteral("cbPaper"))->currentText(), "paper");
}

void tst_InspectionReportDialog::largeTableIsConfirmed_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("written");
    QTest::newRow("declined") << int(QMessageBox::No) << false;
    QTest::newRow("confirmed") << int(QMessageBox::Yes) << true;
}

void tst_InspectionReportDialog::largeTableIsConfirmed()
{
    QFETCH(int, answer);
    QFETCH(bool, written);
    ItemStore store;
    ItemData *item = store.add(QStringLiteral("Large"), ItemData::MeasureData);
    store.activate(item);
    fill(store, item, InspectionReportDialog::LargeTable + 1);
    InspectionReportDialog dialog(&store, nullptr, nullptr, &m_folders);
    for (const char *name : {"cbCover", "cbStatistics", "cbHistogram", "cbChart", "cbNotes"})
        dialog.findChild<QCheckBox *>(QLatin1String(name))->setChecked(false);
    dialog.findChild<QComboBox *>(QStringLiteral("cbReadings"))->setCurrentIndex(2);

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("large.pdf"));
    QString question;
    QString outcome;
    answerNextBox(QMessageBox::StandardButton(answer), &question);
    if (written)
        answerNextBox(QMessageBox::Ok, &outcome);
    QCOMPARE(dialog.saveTo(file), written);
    QVERIFY2(
        question.contains(QLocale().toString(InspectionReportDialog::LargeTable + 1) + " rows"),
        qPrintable(question));
    QCOMPARE(QFileInfo::exists(file), written);
    QCOMPARE(dialog.outcome(), outcome);
}

QTEST_MAIN(tst_InspectionReportDialog)
#include "tst_inspectionreportdialog.moc"
