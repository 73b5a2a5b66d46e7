#pragma once

#include <QObject>
#include <QString>

class ItemData;
class QBoxLayout;
class QLabel;

// The live panel's reading: the active item's name, its newest reading large with unit and basis,
// or no value while the item holds no reading. The statistics labels below belong to the window.
// Other parts of the window put labels of their own into the panel with addLabel.
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
        QBoxLayout *extra; // the row under the statistics
    };

    LivePanel(const Labels &labels, QObject *parent);

    // Name, unit and newest reading of item (by its unit: micrometre or mil text).
    void showItem(const ItemData *item);
    void showReading(const QString &text, const QString &unit, const QString &basis);
    void addLabel(QLabel *label);

private:
    Labels m_labels;
};
