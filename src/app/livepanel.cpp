#include "livepanel.h"

#include <QBoxLayout>
#include <QLabel>

#include "dmmdata.h"
#include "itemdata.h"

namespace {

// Green for a coat that passes, red for one that fails, amber while the verdict is open.
QString verdictStyle(CoatingVerdict::State state)
{
    switch (state) {
    case CoatingVerdict::Pass:
        return QStringLiteral("color: rgb(0, 130, 0); font-weight: bold");
    case CoatingVerdict::Fail:
        return QStringLiteral("color: rgb(200, 0, 0); font-weight: bold");
    case CoatingVerdict::Pending:
        return QStringLiteral("color: rgb(180, 110, 0); font-weight: bold");
    case CoatingVerdict::NotJudged:
        break;
    }
    return QString();
}

} // namespace

LivePanel::LivePanel(const Labels &labels, QObject *parent)
    : QObject(parent)
    , m_labels(labels)
{
}

void LivePanel::showItem(const ItemData *item)
{
    m_labels.item->setText(item ? item->name() : QString());
    const QList<DmmData *> readings = item ? item->readings() : QList<DmmData *>();
    if (readings.isEmpty()) {
        m_labels.value->clear();
        m_labels.basis->clear();
        m_labels.unit->setText(item ? item->unit() : QString());
        return;
    }
    const DmmData *newest = readings.constLast();
    showReading(item->textOf(newest), item->unit(), newest->basis());
}

void LivePanel::showReading(const QString &text, const QString &unit, const QString &basis)
{
    m_labels.value->setText(text);
    m_labels.unit->setText(unit);
    m_labels.basis->setText(basis);
}

void LivePanel::showStatistics(const ItemData &item)
{
    const StatData *s = item.statistics();
    m_labels.num->setText(QStringLiteral("Num:%1").arg(s->num));
    m_labels.avg->setText(QStringLiteral("Avg:") + s->avg);
    m_labels.min->setText(QStringLiteral("Min:") + s->min);
    m_labels.max->setText(QStringLiteral("Max:") + s->max);
    m_labels.overRange->setText(QStringLiteral("OL:%1").arg(s->overRange));
    m_labels.overRange->setVisible(s->overRange > 0);
    m_labels.excluded->setText(s->excluded + s->overRange == s->num
                                   ? tr("Excl:%1, no readings in range").arg(s->excluded)
                                   : tr("Excl:%1").arg(s->excluded));
    m_labels.excluded->setVisible(s->excluded > 0);
    m_labels.sd->setText(QStringLiteral("SD:") + s->sd);
    m_labels.cv->setText(QStringLiteral("CV:") + s->cv);
    showVerdict(item);
}

void LivePanel::hideVerdict()
{
    m_labels.verdict->hide();
}

void LivePanel::showVerdict(const ItemData &item)
{
    const CoatingVerdict verdict = item.evaluation().verdict();
    m_labels.verdict->setVisible(verdict.state != CoatingVerdict::NotJudged);
    QString text = verdict.headline();
    if (verdict.overRange > 0)
        text += tr(" (%1 over range, not judged)").arg(verdict.overRange);
    m_labels.verdict->setText(text);
    // A new style sheet restyles the label: only when the state changes, not every reading.
    const QString style = verdictStyle(verdict.state);
    if (m_labels.verdict->styleSheet() != style)
        m_labels.verdict->setStyleSheet(style);
}

void LivePanel::addLabel(QLabel *label)
{
    m_labels.extra->addWidget(label);
}
