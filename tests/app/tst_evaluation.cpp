#include <cmath>
#include <functional>
#include <memory>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>
#include <QtTest>

#include "coatingrules.h"
#include "datamodel.h"
#include "dmmchart.h"
#include "exclusiondialog.h"
#include "histogram.h"
#include "itemdata.h"
#include "requirementdialog.h"
#include "tvitemmodel.h"
#include "widget.h"
#include "windowfixture.h"

using namespace WindowFixture;

namespace {

const QString Micrometre = QStringLiteral("\u03BCm");

// "edtMinimum=100;edtMaximum=200" -> the fields to fill, in order.
QList<QPair<QString, QString>> fieldsOf(const QString &text)
{
    QList<QPair<QString, QString>> fields;
    for (const QString &pair : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int eq = pair.indexOf(QLatin1Char('='));
        fields.append({pair.left(eq), pair.mid(eq + 1)});
    }
    return fields;
}

QPushButton *okButton(QWidget *dialog)
{
    return dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
}

void fill(QWidget *dialog, int rule, const QString &fields)
{
    dialog->findChild<QComboBox *>(QStringLiteral("cbRule"))->setCurrentIndex(rule);
    for (const auto &field : fieldsOf(fields)) {
        auto *edit = dialog->findChild<QLineEdit *>(field.first);
        QVERIFY2(edit, qPrintable(field.first));
        edit->setText(field.second);
    }
}

QString message(QWidget *dialog)
{
    const auto *label = dialog->findChild<QLabel *>(QStringLiteral("lblMessage"));
    return label->isVisibleTo(dialog) ? label->text() : QString();
}

} // namespace

// The requirement dialog of an item and the judgement of its readings in the window.
class TestEvaluation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void verdictFollowsTheReadings_data();
    void verdictFollowsTheReadings();
    void withoutRequirementNothingIsJudged();
    void spreadInTheLivePanel();
    void deletingTheJudgedItemClearsItsLimits();
    void badInput_data();
    void badInput();
    void formShowsTheRulesFields_data();
    void formShowsTheRulesFields();
    void roughnessPresetFillsTheField();
    void unitChangeWhileTheDialogIsOpen();
    void requirementShownInTheItemsUnit();
    void okKeepsWhatWasEntered_data();
    void okKeepsWhatWasEntered();
    void excludingReadingsFromTheTable();

private:
    ItemData *activeItem() { return TvItemModel::itemAt(activeRow(*window)); }
    // Opens the dialog of the current row, lets `answer` act on it, then closes it.
    void openDialog(std::function<void(QWidget *)> answer);
    void setRequirement(int rule, const QString &fields);
    QString verdict() { return label(*window, "lcdVerdict"); }
    bool verdictShown()
    {
        return window->findChild<QLabel *>("lcdVerdict")->isVisibleTo(window.get());
    }
    QStringList markedRows() const;

    std::unique_ptr<Widget> window;
};

void TestEvaluation::init()
{
    resetGauge();
    freshWorkspace();
    window = std::make_unique<Widget>();
}

void TestEvaluation::cleanup()
{
    window.reset();
}

void TestEvaluation::openDialog(std::function<void(QWidget *)> answer)
{
    bool answered = false;
    answerNextModal([&](QWidget *modal) {
        answered = true;
        QVERIFY(qobject_cast<RequirementDialog *>(modal));
        answer(modal);
        if (modal->isVisible())
            static_cast<QDialog *>(modal)->reject();
    });
    action(*window, "actionItemRequirement")->trigger();
    QVERIFY(answered);
}

void TestEvaluation::setRequirement(int rule, const QString &fields)
{
    openDialog([&](QWidget *dialog) {
        fill(dialog, rule, fields);
        QVERIFY2(message(dialog).isEmpty(), qPrintable(message(dialog)));
        okButton(dialog)->click();
    });
}

QStringList TestEvaluation::markedRows() const
{
    QStringList marks;
    const QAbstractItemModel *model = table(*window);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QVariant brush = model->index(row, 2).data(Qt::BackgroundRole);
        if (!brush.isValid())
            marks << QStringLiteral(".");
        else if (brush.value<QBrush>().color().rgba() == DataModel::OutOfLimitColor)
            marks << QStringLiteral("X");
        else if (brush.value<QBrush>().color().rgba() == DataModel::BelowNominalColor)
            marks << QStringLiteral("n");
        else
            marks << QStringLiteral("O");
    }
    return marks;
}

void TestEvaluation::verdictFollowsTheReadings_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QList<double>>("readings");
    QTest::addColumn<QStringList>("verdicts");
    QTest::addColumn<QStringList>("marks");

    QTest::newRow("limits") << 1 << "edtMinimum=100;edtMaximum=200" << QList<double>{150, 90}
                            << QStringList{"PENDING", "PASS", "FAIL"} << QStringList{".", "X"};
    QTest::newRow("iso 19840") << 2 << "edtNominal=100;edtMaximum=300"
                               << QList<double>{120, 120, 120, 120, 120, 70}
                               << QStringList{"PENDING", "PASS", "PASS", "PASS",
                                              "PASS",    "PASS", "FAIL"}
                               << QStringList{".", ".", ".", ".", ".", "X"};
    QTest::newRow("sspc-pa 2")
        << 3 << "edtMinimum=100;edtMaximum=200;edtReadingsPerSpot=1;edtSpotsPerArea=2"
        << QList<double>{150, 150, 85, 85}
        << QStringList{"PENDING", "PENDING", "PASS", "PENDING", "FAIL"}
        << QStringList{".", ".", "X", "X"};
    QTest::newRow("imo pspc 90/10")
        << 4 << "edtNominal=100;edtMaximum=200"
        << QList<double>{95, 120, 120, 120, 120, 120, 120, 120, 120, 120, 85, 210}
        << QStringList{"PENDING", "FAIL", "FAIL", "FAIL", "FAIL", "FAIL", "FAIL",
                       "FAIL",    "FAIL", "FAIL", "PASS", "FAIL", "FAIL"}
        << QStringList{"n", ".", ".", ".", ".", ".", ".", ".", ".", ".", "X", "X"};
    // -1 stands for an over-range reading: counted, marked, never judged.
    QTest::newRow("over range") << 1 << "edtMinimum=100;edtMaximum=200"
                                << QList<double>{-1, 150, -1}
                                << QStringList{"PENDING", "PENDING", "PASS", "PASS"}
                                << QStringList{"O", ".", "O"};
}

void TestEvaluation::verdictFollowsTheReadings()
{
    QFETCH(int, rule);
    QFETCH(QString, fields);
    QFETCH(QList<double>, readings);
    QFETCH(QStringList, verdicts);
    QFETCH(QStringList, marks);

    setRequirement(rule, fields);
    QCOMPARE(CoatingRules::indexOf(activeItem()->requirement().ruleKey()) + 1, rule);
    QVERIFY(verdictShown());
    QVERIFY2(verdict().startsWith(verdicts.first()), qPrintable(verdict()));
    startAcquiring(*window);
    for (int i = 0; i < readings.size(); ++i) {
        if (readings.at(i) < 0)
            emitOverRange(1);
        else
            emitReading(readings.at(i), QString::number(readings.at(i), 'f', 1));
        QVERIFY2(verdict().startsWith(verdicts.at(i + 1)), qPrintable(verdict()));
    }
    QCOMPARE(markedRows(), marks);
    if (marks.contains(QStringLiteral("O")))
        QVERIFY2(verdict().contains(QStringLiteral("over range, not judged")),
                 qPrintable(verdict()));
}

void TestEvaluation::withoutRequirementNothingIsJudged()
{
    startAcquiring(*window);
    emitReading(5, QStringLiteral("5.0"));
    QVERIFY(!verdictShown());
    QCOMPARE(markedRows(), QStringList{"."});
    QCOMPARE(histogram(*window)->barCount(), 8);
    setRequirement(1, "edtMinimum=100;edtMaximum=200");
    QVERIFY(verdict().startsWith(QStringLiteral("FAIL")));
    QCOMPARE(markedRows(), QStringList{"X"});
    // The chart draws the limits and spans them; the histogram lays its bars out around them.
    QCOMPARE(chart(*window)->markLines().size(), 2);
    chart(*window)->computeScales();
    QVERIFY(chart(*window)->yMax() > 200);
    QCOMPARE(histogram(*window)->barCount(), 14);
    QCOMPARE(histogram(*window)->count(1), 1);
    QCOMPARE(histogram(*window)->markLines().size(), 2);
    setRequirement(0, QString());
    QVERIFY(!verdictShown());
    QCOMPARE(markedRows(), QStringList{"."});
    QVERIFY(chart(*window)->markLines().isEmpty());
    QCOMPARE(histogram(*window)->barCount(), 8);
}

void TestEvaluation::spreadInTheLivePanel()
{
    QCOMPARE(label(*window, "lcdSd"), QStringLiteral("SD:-"));
    QCOMPARE(label(*window, "lcdCv"), QStringLiteral("CV:-"));
    startAcquiring(*window);
    for (const int value : {10, 20, 30})
        emitReading(value, QString::number(value));
    QCOMPARE(label(*window, "lcdSd"), QStringLiteral("SD:10.0"));
    QCOMPARE(label(*window, "lcdCv"), QStringLiteral("CV:50.0%"));
}

void TestEvaluation::deletingTheJudgedItemClearsItsLimits()
{
    setRequirement(1, "edtMinimum=100;edtMaximum=200");
    QVERIFY(verdictShown());
    QCOMPARE(histogram(*window)->barCount(), 14);
    // The row that becomes current is "Live Data": no item is active afterwards.
    answerNextModal(
        [](QWidget *box) { static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click(); });
    action(*window, "actionItemDelete")->trigger();
    QVERIFY(!activeRow(*window).isValid());
    QVERIFY(!verdictShown());
    QVERIFY(chart(*window)->markLines().isEmpty());
    QCOMPARE(histogram(*window)->barCount(), 8);
}

void TestEvaluation::badInput_data()
{
    QTest::addColumn<int>("rule");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("expected");

    QTest::newRow("minimum above maximum") << 1 << "edtMinimum=200;edtMaximum=100"
                                           << "must not be above the maximum";
    QTest::newRow("negative") << 1 << "edtMinimum=-5;edtMaximum=100"
                              << "0 or more";
    QTest::newRow("empty") << 1 << "edtMinimum=;edtMaximum=100"
                           << "Enter a value for \"Minimum";
    QTest::newRow("no number") << 1 << "edtMinimum=abc;edtMaximum=100"
                               << "is not a number";
    QTest::newRow("iso without NDFT") << 2 << "edtNominal="
                                      << "Enter a value";
    QTest::newRow("iso, maximum below NDFT") << 2 << "edtNominal=100;edtMaximum=90"
                                             << "must not be below the nominal";
    QTest::newRow("percentage 0") << 3 << "edtMinimum=100;edtMaximum=200;edtSpotLower=0"
                                  << "between 1 and 1000";
    QTest::newRow("percentage 1001") << 3 << "edtMinimum=100;edtMaximum=200;edtSpotUpper=1001"
                                     << "between 1 and 1000";
    QTest::newRow("half a reading per spot")
        << 3 << "edtMinimum=100;edtMaximum=200;edtReadingsPerSpot=2.5"
        << "whole numbers";
    QTest::newRow("pspc without NDFT") << 4 << "edtNominal=;edtMaximum=200"
                                       << "Enter a value for \"Nominal thickness (NDFT)";
    QTest::newRow("pspc, NDFT 0") << 4 << "edtNominal=0"
                                  << "IMO PSPC 90/10 needs a nominal dry film thickness above 0";
    QTest::newRow("pspc, maximum below NDFT") << 4 << "edtNominal=100;edtMaximum=90"
                                              << "must not be below the nominal";
    QTest::newRow("pspc, maximum no number") << 4 << "edtNominal=100;edtMaximum=x"
                                             << "\"Maximum (" + Micrometre + ")\" is not a number";
}

void TestEvaluation::badInput()
{
    QFETCH(int, rule);
    QFETCH(QString, fields);
    QFETCH(QString, expected);
    openDialog([&](QWidget *dialog) {
        fill(dialog, rule, fields);
        QVERIFY2(message(dialog).contains(expected), qPrintable(message(dialog)));
        QVERIFY(!okButton(dialog)->isEnabled());
        static_cast<QDialog *>(dialog)->accept();
        QVERIFY(dialog->isVisible());
    });
    QVERIFY(!activeItem()->requirement().isSet());
    QVERIFY(!verdictShown());
}

void TestEvaluation::formShowsTheRulesFields_data()
{
    QTest::addColumn<int>("rule");
    // The rows shown under the rule: the field's name, "?" when it may stay empty, and its label.
    QTest::addColumn<QString>("rows");

    const QString um = QStringLiteral(" (") + Micrometre + QStringLiteral("):");
    QTest::newRow("none") << 0 << "";
    QTest::newRow("limits") << 1
                            << "edtNominal? Nominal thickness (NDFT)" + um + "|edtMinimum Minimum" +
                                   um + "|edtMaximum Maximum" + um;
    QTest::newRow("iso 19840") << 2
                               << "edtNominal Nominal thickness (NDFT)" + um +
                                      "|edtMaximum? Maximum" + um +
                                      "|wgtRoughness Roughness correction" + um;
    QTest::newRow("sspc-pa 2") << 3
                               << "edtNominal? Nominal thickness (NDFT)" + um +
                                      "|edtMinimum Minimum" + um + "|edtMaximum Maximum" + um +
                                      "|edtReadingsPerSpot Readings per spot:|edtSpotsPerArea "
                                      "Spots per area:|edtSpotLower Spot minimum, % of the "
                                      "minimum:|edtSpotUpper Spot maximum, % of the maximum:";
    QTest::newRow("imo pspc 90/10")
        << 4 << "edtNominal Nominal thickness (NDFT)" + um + "|edtMaximum? Maximum" + um;
}

void TestEvaluation::formShowsTheRulesFields()
{
    QFETCH(int, rule);
    openDialog([&](QWidget *dialog) {
        auto *rules = dialog->findChild<QComboBox *>(QStringLiteral("cbRule"));
        QCOMPARE(rules->count(), CoatingRules::all().size() + 1);
        rules->setCurrentIndex(rule);
        const auto *form = dialog->findChild<QFormLayout *>();
        QStringList rows;
        for (int row = 1; row < form->rowCount(); ++row) {
            QWidget *field = form->itemAt(row, QFormLayout::FieldRole)->widget();
            if (!field->isVisibleTo(dialog))
                continue;
            auto *edit = qobject_cast<QLineEdit *>(field) ? qobject_cast<QLineEdit *>(field)
                                                          : field->findChild<QLineEdit *>();
            const auto *label =
                qobject_cast<QLabel *>(form->itemAt(row, QFormLayout::LabelRole)->widget());
            QVERIFY(label->isVisibleTo(dialog));
            rows << field->objectName() +
                        (edit->placeholderText() == QStringLiteral("none") ? "? " : " ") +
                        label->text();
        }
        QTEST(rows.join(QLatin1Char('|')), "rows");
    });
}

void TestEvaluation::roughnessPresetFillsTheField()
{
    openDialog([&](QWidget *dialog) {
        fill(dialog, 2, "edtNominal=100");
        auto *presets = dialog->findChild<QComboBox *>(QStringLiteral("cbRoughness"));
        QCOMPARE(presets->currentText(), QStringLiteral("None"));
        QCOMPARE(presets->count(), 5);
        presets->setCurrentIndex(2);
        emit presets->activated(2);
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("edtRoughness"))->text(),
                 QStringLiteral("25"));
        okButton(dialog)->click();
    });
    QCOMPARE(activeItem()->requirement().value("roughness"), 25.0);
    QCOMPARE(activeItem()->requirement().lines().first().value, 105.0);
}

void TestEvaluation::unitChangeWhileTheDialogIsOpen()
{
    startAcquiring(*window);
    emitReading(150, QStringLiteral("150.0"));
    openDialog([&](QWidget *dialog) {
        fill(dialog, 1, "edtMinimum=100;edtMaximum=200");
        // The gauge is switched to mils while the user types.
        emitMilReading(5.0, QStringLiteral("5.00"));
        QCOMPARE(activeItem()->unit(), QStringLiteral("mil"));
        okButton(dialog)->click();
        QVERIFY(dialog->isVisible());
        QVERIFY(!activeItem()->requirement().isSet());
        const QString note = dialog->findChild<QLabel *>(QStringLiteral("lblNote"))->text();
        QVERIFY2(note.contains(QStringLiteral("changed to mil")), qPrintable(note));
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("edtMinimum"))->text(),
                 QLocale().toString(3.94));
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("edtMaximum"))->text(),
                 QLocale().toString(7.87));
        okButton(dialog)->click();
        QVERIFY(!dialog->isVisible());
    });
    // OK on the values as shown keeps them as they were typed, in micrometres; the mil views show
    // them converted.
    const CoatingRequirement requirement = activeItem()->requirement();
    QCOMPARE(requirement.unit(), Micrometre);
    QCOMPARE(requirement.value("minimum"), 100.0);
    QCOMPARE(requirement.value("maximum"), 200.0);
    QVERIFY2(verdict().startsWith(QStringLiteral("PASS")), qPrintable(verdict()));
    QVERIFY(qAbs(chart(*window)->markLines().first().value - 100 / 25.4) < 1e-9);
}

void TestEvaluation::requirementShownInTheItemsUnit()
{
    CoatingRequirement requirement(QStringLiteral("iso19840"), QStringLiteral("mil"));
    requirement.setValue(QStringLiteral("nominal"), 4.72);
    activeItem()->setRequirement(requirement);
    QCOMPARE(activeItem()->unit(), Micrometre);
    openDialog([&](QWidget *dialog) {
        const QString note = dialog->findChild<QLabel *>(QStringLiteral("lblNote"))->text();
        QVERIFY2(note.contains(QStringLiteral("entered in mil")), qPrintable(note));
        QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("edtNominal"))->text(),
                 QLocale().toString(119.9));
        QCOMPARE(dialog->findChild<QComboBox *>(QStringLiteral("cbRule"))->currentIndex(), 2);
    });
    // Cancelled: the requirement stays in mils, and the micrometre views show it converted.
    QCOMPARE(activeItem()->requirement(), requirement);
    const QPersistentModelIndex measure1 = activeRow(*window);
    addItem(*window, QStringLiteral("B"));
    QVERIFY(chart(*window)->markLines().isEmpty());
    QMetaObject::invokeMethod(window.get(), "itemSetToActive", Q_ARG(QModelIndex, measure1));
    QVERIFY(qAbs(chart(*window)->markLines().last().value - 4.72 * 25.4) < 1e-9);
}

void TestEvaluation::okKeepsWhatWasEntered_data()
{
    QTest::addColumn<QString>("maximumTyped");
    QTest::addColumn<double>("maximum");
    QTest::newRow("OK without an edit") << QString() << -1.0;
    // 10 mil is 254 micrometres exactly; the requirement stays in the unit it was entered in.
    QTest::newRow("an edited maximum, typed in mil") << QStringLiteral("10") << 254.0;
}

void TestEvaluation::okKeepsWhatWasEntered()
{
    QFETCH(QString, maximumTyped);
    QFETCH(double, maximum);
    CoatingRequirement iso(QStringLiteral("iso19840"), Micrometre);
    iso.setValue(QStringLiteral("nominal"), 100);
    activeItem()->setRequirement(iso);
    startAcquiring(*window);
    for (int i = 0; i < 5; ++i)
        emitReading(100, QStringLiteral("100"));
    // 3.94 mil is 100.076 micrometres; the NDFT shown in mil, 3.94, is 100.076 micrometres too.
    emitMilReading(3.94, QStringLiteral("3.94"));
    QCOMPARE(activeItem()->unit(), QStringLiteral("mil"));
    QVERIFY2(verdict().startsWith(QStringLiteral("PASS")), qPrintable(verdict()));

    openDialog([&](QWidget *dialog) {
        if (!maximumTyped.isEmpty())
            dialog->findChild<QLineEdit *>(QStringLiteral("edtMaximum"))->setText(maximumTyped);
        okButton(dialog)->click();
    });
    const CoatingRequirement &stored = activeItem()->requirement();
    QCOMPARE(stored.unit(), Micrometre);
    QCOMPARE(stored.value(QStringLiteral("nominal")), 100.0);
    QCOMPARE(stored.has(QStringLiteral("maximum")), maximum > 0);
    if (maximum > 0)
        QCOMPARE(stored.value(QStringLiteral("maximum")), maximum);
    QVERIFY2(verdict().startsWith(QStringLiteral("PASS")), qPrintable(verdict()));
}

// Readings excluded from the table leave the statistics, the verdict and the histogram, stay in
// the table struck through with their reason and in the chart as hollow points, and come back
// with undo; redo excludes them again.
void TestEvaluation::excludingReadingsFromTheTable()
{
    window->show();
    setRequirement(1, "edtMinimum=100;edtMaximum=200");
    // The keys go to the table of the active window, as they do for the user.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    startAcquiring(*window);
    for (double value : {150.0, 20.0, 170.0})
        emitReading(value, QString::number(value, 'f', 1));
    QVERIFY(verdict().startsWith(QStringLiteral("FAIL")));
    const auto histogramTotal = [this] {
        int total = 0;
        for (int bin = 0; bin < histogram(*window)->barCount(); ++bin)
            total += histogram(*window)->count(bin);
        return total;
    };
    QCOMPARE(histogramTotal(), 3);

    auto *tv = window->findChild<QTableView *>(QStringLiteral("tv"));
    auto *tabs = window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    for (int tab = 0; tab < tabs->count(); ++tab) {
        if (tabs->widget(tab)->isAncestorOf(tv))
            tabs->setCurrentIndex(tab);
    }
    tv->setFocus();
    tv->selectRow(1);
    QStringList offered;
    answerNext<ExclusionDialog>([&](ExclusionDialog *dialog) {
        auto *reasons = dialog->findChild<QComboBox *>(QStringLiteral("cbReason"));
        for (int i = 0; i < reasons->count(); ++i)
            offered << reasons->itemText(i);
        reasons->setEditText(QStringLiteral("  reading on the flange  "));
        okButton(dialog)->click();
    });
    QTest::keyClick(tv, Qt::Key_Delete);
    QCOMPARE(offered, ExclusionDialog::reasons());
    QCOMPARE(activeItem()->exclusionReason(1), QStringLiteral("reading on the flange"));
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:3"));
    QCOMPARE(label(*window, "lcdExcluded"), QStringLiteral("Excl:1"));
    QCOMPARE(label(*window, "lcdAvg"), QStringLiteral("Avg:160.0"));
    QVERIFY2(verdict().startsWith(QStringLiteral("PASS")), qPrintable(verdict()));
    const QModelIndex row1 = table(*window)->index(1, 2);
    QVERIFY(row1.data(Qt::FontRole).value<QFont>().strikeOut());
    QCOMPARE(row1.data(Qt::ToolTipRole).toString(),
             QStringLiteral("Excluded: reading on the flange"));
    QCOMPARE(markedRows(), (QStringList{".", ".", "."}));
    QCOMPARE(histogramTotal(), 2);
    DMMChart *plot = chart(*window);
    plot->resize(600, 300);
    plot->renderPixmap();
    // The line runs straight from the reading before to the one after.
    QCOMPARE(plot->line(0)->values().at(1), 160.0);
    const QVector<QPoint> hollow = plot->excludedPoints();
    QCOMPARE(hollow.size(), 1);
    QCOMPARE(hollow.first().x(), plot->plotRect().left() + plot->line(0)->pixelX(1));
    // The axis spans the readings that count and the limits: 20 sits on the plot's lower edge.
    QCOMPARE(hollow.first().y(), std::min(plot->valueY(20), plot->plotRect().bottom()));

    // Every reading excluded: the panel says so, and the verdict waits.
    tv->selectAll();
    answerNext<ExclusionDialog>([&](ExclusionDialog *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("cbReason"))->setCurrentIndex(2);
        okButton(dialog)->click();
    });
    action(*window, "actionExcludeReadings")->trigger();
    QCOMPARE(label(*window, "lcdExcluded"), QStringLiteral("Excl:3, no readings in range"));
    QCOMPARE(label(*window, "lcdAvg"), QStringLiteral("Avg:-"));
    QVERIFY2(verdict().contains(QStringLiteral("no readings in range")), qPrintable(verdict()));
    QCOMPARE(histogramTotal(), 0);

    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(activeItem()->excludedCount(), 1);
    QCOMPARE(activeItem()->exclusionReason(1), QStringLiteral("reading on the flange"));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(activeItem()->excludedCount(), 0);
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:3"));
    QVERIFY(!window->findChild<QLabel *>("lcdExcluded")->isVisibleTo(window.get()));
    QVERIFY(verdict().startsWith(QStringLiteral("FAIL")));
    QVERIFY(plot->excludedPoints().isEmpty());
    QCOMPARE(histogramTotal(), 3);
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(activeItem()->excludedCount(), 1);
    // Include again takes the selected rows back in; the trail kept every step.
    tv->selectRow(1);
    QTest::keyClick(tv, Qt::Key_Insert);
    QCOMPARE(activeItem()->excludedCount(), 0);
    QCOMPARE(activeItem()->exclusionTrail().size(), 1 + 3 + 3 + 1 + 1 + 1);
    const ExclusionEvent last = activeItem()->exclusionTrail().constLast();
    QCOMPARE(last.reading, 1);
    QVERIFY(!last.excluded);
    QVERIFY(!last.who.isEmpty());
    // A new reading during acquisition after the exclusions counts as usual.
    emitReading(160, QStringLiteral("160.0"));
    QCOMPARE(label(*window, "lcdNum"), QStringLiteral("Num:4"));
}

QTEST_MAIN(TestEvaluation)
#include "tst_evaluation.moc"
