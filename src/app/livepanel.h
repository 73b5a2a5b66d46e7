#pragma once

#include <QObject>
#include <QString>

class ItemData;
class QBoxLayout;
class QLabel;

// The live panel: the active item's name, its newest reading large with unit and basis (or no
// value while the item holds no reading), its statistics and its verdict. Other parts of the
// window put labels of their own into the panel with addLabel.
class LivePanel : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(LivePanel)

public:
    struct Labels
    {
        QLabel *item;
        QLabel *value;
        QLabel *unit;
        QLabel *basis;
        QLabel *num;
        QLabel *avg;
        QLabel *min;
        QLabel *max;
        QLabel *overRange; // shown only while there are over-range readings
        QLabel *excluded;  // shown only while readings are excluded
        QLabel *sd;
        QLabel *cv;
        QLabel *verdict;   // shown only while the item has a requirement
        QBoxLayout *extra; // the row under the statistics
    };

    LivePanel(const Labels &labels, QObject *parent);

    // Name, unit and newest reading of item (by its unit: micrometre or mil text).
    void showItem(const ItemData *item);
    void showReading(const QString &text, const QString &unit, const QString &basis);
    // The item's statistics texts and its verdict.
    void showStatistics(const ItemData &item);
    void hideVerdict();
    void addLabel(QLabel *label);

private:
    void showVerdict(const ItemData &item);

    Labels m_labels;
};
