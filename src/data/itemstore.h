#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

#include "exclusionevent.h"
#include "itemdata.h"
#include "jobdetails.h"

class DmmData;
class QTimer;
struct CoatingRequirement;

// The items of the workspace and the one that is active. The store owns every item and every
// reading appended to one, and announces each change by a signal: the item tree, the views of the
// active item and the workspace on disk follow those signals instead of being told one by one.
// Live readings, downloads and imports all arrive through append().
class ItemStore : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(ItemStore)

public:
    explicit ItemStore(QObject *parent = nullptr);
    ~ItemStore() override;

    // The gauge's memory, filled by a download; always there, never removed.
    ItemData *storeData() const { return m_storeData; }
    // Stands for the group of live items in the tree; it holds no readings.
    ItemData *liveGroup() const { return m_liveGroup; }
    // The measurement and import items, in tree order.
    const QList<ItemData *> &items() const { return m_items; }
    ItemData *active() const { return m_active; }
    // prefix and one more than the items whose names begin with it, as the tree counts them: with
    // Import1 and Import3 there, "Import3".
    QString nextName(const QString &prefix) const;

    // The mutators below leave a read-only item (ItemData::isReadOnly) as it is: its readings,
    // name and requirement are the team server's, and only the receive functions change them.

    // Items the workspace restored: the store takes them over and announces each as added.
    void adopt(const QList<ItemData *> &items);
    ItemData *add(const QString &name, ItemData::DataType type);
    void rename(ItemData *item, const QString &name);
    void setRequirement(ItemData *item, const CoatingRequirement &requirement);
    void setNotes(ItemData *item, const ItemNotes &notes);
    // The details of the job the items belong to.
    const JobDetails &jobDetails() const { return m_job; }
    void setJobDetails(const JobDetails &details);
    // Announces the removal, then deletes the item and its readings. The active item stops being
    // active first, so that nothing shows it while it goes.
    void remove(ItemData *item);
    // Makes item the active one, shown in micrometres, as every item is when it is activated.
    void activate(ItemData *item);

    // Takes ownership of readings and appends them to item, which from then on shows them in unit
    // and takes rangeUm, the range of the gauge that measured them, as its own.
    void append(ItemData *item, const QList<DmmData *> &readings, const QString &unit,
                double rangeUm);
    void append(ItemData *item, DmmData *reading, const QString &unit, double rangeUm);
    void clear(ItemData *item);

    // Excludes the readings at indexes of item for reason, or includes them again when reason is
    // empty, and writes each change into the item's trail with who() and the time. Readings
    // already in that state are left as they are, without an entry.
    void setExcluded(ItemData *item, const QVector<int> &indexes, const QString &reason);
    // Who changes exclusions: the inspector of the job details when set, else the user logged in
    // to the system.
    QString who() const;

    // A replacement of item's readings that can be taken back. setAside() empties the item as
    // clear() does, but keeps its readings aside; new readings are then appended as usual, until
    // dropAside() deletes the earlier ones or restoreAside() deletes the new ones and brings the
    // earlier back. Setting aside again first drops what was aside.
    void setAside(ItemData *item);
    void dropAside(ItemData *item);
    void restoreAside(ItemData *item);
    // The readings kept aside for item, also those kept elsewhere.
    int asideCount(const ItemData *item) const;
    // Called on readingsSetAside by whoever keeps item's readings elsewhere and keeps the count
    // set aside there: the store lets go of its own copies, so that neither a large item nor one
    // still loading has to be read in first, and ends the item's load, whose held readings are
    // among them. restoreAside() then only empties the item and announces asideRestored; the
    // keeper brings the earlier readings back.
    void keepAsideElsewhere(ItemData *item, int count);

    // Readings kept elsewhere come into item in parts, total in all, while the window goes on.
    // Until finishLoading(), readings appended to the item are held back: they follow the loaded
    // ones, in the order they came.
    void startLoading(ItemData *item, int total);
    // Loaded readings come with the reasons of those excluded by index, as ItemData takes them.
    void appendLoaded(ItemData *item, const QList<DmmData *> &readings,
                      const QVector<QString> &exclusions);
    void finishLoading(ItemData *item);
    bool isLoading(const ItemData *item) const { return m_loading.contains(item); }
    // The readings the load of item brings in all.
    int loadTotal(const ItemData *item) const { return m_loading.value(item).total; }
    // A read-only item's readings as the server holds them from first on, with why each was
    // excluded (empty for one that counts), taken over by the store; first 0 replaces those it
    // had. Refused for any other item, and when first is not where its readings end.
    bool receive(ItemData *item, int first, const QList<DmmData *> &readings,
                 const QVector<QString> &exclusions);
    // Why each of a read-only item's readings is excluded as the server now holds it, by index
    // as ItemData::exclusions() gives them; the readings that changed are announced.
    void receiveExclusions(ItemData *item, const QVector<QString> &reasons);
    // A read-only item's name and requirement as the server now holds them.
    void receiveDetails(ItemData *item, const QString &name, const CoatingRequirement &requirement);
    // A read-only item is no longer on the server: it stops being active and its removal is
    // announced; its owner deletes it.
    void release(ItemData *item);

signals:
    void itemAdded(ItemData *item);
    void renamed(ItemData *item);
    void requirementChanged(ItemData *item);
    void notesChanged(ItemData *item);
    void jobDetailsChanged();
    void unitChanged(ItemData *item);
    // Before the readings that came with the new range are announced.
    void rangeChanged(ItemData *item);
    // Emitted before the item is deleted.
    void itemRemoved(ItemData *item);
    // Before activeChanged: whoever keeps readings elsewhere brings them into the item now.
    void activating(ItemData *item);
    // item is nullptr while no item is active.
    void activeChanged(ItemData *item);
    // The readings at indexes of item were excluded or included again; the entries of its trail
    // from firstEvent on tell how.
    void exclusionsChanged(ItemData *item, const QVector<int> &indexes, int firstEvent);
    // Readings first to first + count - 1 of item are new.
    void readingsAppended(ItemData *item, int first, int count);
    void readingsCleared(ItemData *item);
    // Before setAside() takes the readings: whoever keeps readings elsewhere brings them into the
    // item now, as for activating.
    void settingAside(ItemData *item);
    // The readings are aside; readingsCleared follows.
    void readingsSetAside(ItemData *item);
    void asideDropped(ItemData *item);
    // After readingsCleared has emptied the item of the new readings and before readingsAppended
    // announces the earlier ones, back in the item; when they are kept elsewhere, their keeper
    // brings them in from here on.
    void asideRestored(ItemData *item);
    // Of total readings, loaded are in the item; loaded equals total when the load has ended.
    void loadProgress(ItemData *item, int loaded, int total);
    // A reading for an item that is loading, held back until the loaded readings are in.
    void readingHeld(ItemData *item, const DmmData *reading);

private:
    void setUnit(ItemData *item, const QString &unit);
    // Deletes readings no longer needed a portion per turn of the event loop: a million at once
    // would hold up the window for a good part of a second.
    void dispose(const QList<DmmData *> &readings);
    void disposePortion();
    void setRange(ItemData *item, double rangeUm);

    ItemData *m_storeData;
    ItemData *m_liveGroup;
    QList<ItemData *> m_items;
    ItemData *m_active = nullptr;
    JobDetails m_job;
    // Readings set aside with their exclusions and trail, or only the count of those kept
    // elsewhere.
    struct Aside
    {
        QList<DmmData *> readings;
        QVector<QString> exclusions;
        QVector<ExclusionEvent> trail;
        int elsewhere = 0;
    };
    QHash<const ItemData *, Aside> m_aside;

    struct Load
    {
        int total = 0;
        struct Held
        {
            DmmData *reading;
            QString unit;
            double rangeUm;
        };
        QList<Held> held;
    };
    QHash<const ItemData *, Load> m_loading;
    QList<DmmData *> m_disposal;
    QTimer *m_disposalTimer;
};
