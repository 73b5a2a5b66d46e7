#include "livepanel.h"

#include <QBoxLayout>
#include <QLabel>

#include "data/itemdata.h"
#include "dmmdata.h"

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

void LivePanel::addLabel(QLabel *label)
{
    m_labels.extra->addWidget(label);
}
