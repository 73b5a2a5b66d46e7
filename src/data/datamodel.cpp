#include "datamodel.h"

#include <QBrush>
#include <QColor>
#include <QFont>

#include "dmmdata.h"
#include "itemdata.h"

namespace {
constexpr int ColumnCount = 5;
} // namespace

DataModel::DataModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int DataModel::rowCount(const QModelIndex &parent) const
{
    // A flat table: a cell has no children.
    return parent.isValid() ? 0 : m_rows.size();
}

int DataModel::columnCount(const QModelIndex &parent) const
{
    Q_UNUSED(parent)
    return ColumnCount;
}

QVariant DataModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role == Qt::BackgroundRole)
        return markBrush(index.row());
    if (role == Qt::FontRole || role == Qt::ForegroundRole || role == Qt::ToolTipRole)
        return exclusionData(index.row(), role);
    if (role != Qt::DisplayRole)
        return QVariant();

    const DmmData *reading = m_rows.at(index.row());
    switch (index.column()) {
    case 0:
        return index.row() + 1;
    case 1:
        return reading->time().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case 2:
        return m_item && m_item->isMicrometre() ? reading->umText() : reading->milText();
    case 3:
        return m_item ? m_item->unit() : QString();
    default:
        return reading->basis();
    }
}

QVariant DataModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return tr("NO.");
    case 1:
        return tr("Time");
    case 2:
        return tr("Value");
    case 3:
        return tr("Unit");
    case 4:
        return tr("Basis");
    default:
        return QVariant();
    }
}

bool DataModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (parent.isValid() || row < 0 || row >= m_rows.size() || count <= 0)
        return false;
    const int last = qMin(row + count, m_rows.size()) - 1;
    beginRemoveRows(QModelIndex(), row, last);
    m_rows.erase(m_rows.begin() + row, m_rows.begin() + last + 1);
    endRemoveRows();
    return true;
}

void DataModel::setItem(ItemData *item)
{
    m_item = item;
}

void DataModel::appendReadingRow(DmmData *reading)
{
    const int row = m_rows.size();
    beginInsertRows(QModelIndex(), row, row);
    m_rows.append(reading);
    endInsertRows();
    // Completing a spot or an area of readings judges the rows before this one as well.
    const int first =
        m_item && m_item->requirement().isSet() ? m_item->evaluation().firstChanged() : row;
    if (first >= 0 && first < row)
        emit dataChanged(index(first, 0), index(row - 1, ColumnCount - 1), {Qt::BackgroundRole});
}

int DataModel::setReadings(const QList<DmmData *> &readings)
{
    if (readings.isEmpty())
        return m_rows.size();
    const int first = m_rows.size();
    beginInsertRows(QModelIndex(), first, first + readings.size() - 1);
    m_rows.append(readings);
    endInsertRows();
    return m_rows.size();
}

void DataModel::clearRows()
{
    if (m_rows.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_rows.size() - 1);
    m_rows.clear();
    endRemoveRows();
}

void DataModel::refreshMarks()
{
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows.size() - 1, ColumnCount - 1),
                         {Qt::BackgroundRole});
}

void DataModel::refreshExclusions(int first, int last)
{
    if (m_rows.isEmpty() || first > last)
        return;
    const int bottom = m_item && m_item->requirement().isSet() ? m_rows.size() - 1 : last;
    emit dataChanged(index(qMax(first, 0), 0),
                     index(qMin(bottom, m_rows.size() - 1), ColumnCount - 1),
                     {Qt::FontRole, Qt::ForegroundRole, Qt::ToolTipRole, Qt::BackgroundRole});
}

QVariant DataModel::exclusionData(int row, int role) const
{
    if (!m_item || !m_item->isExcluded(row))
        return QVariant();
    switch (role) {
    case Qt::FontRole: {
        QFont font;
        font.setStrikeOut(true);
        return font;
    }
    case Qt::ForegroundRole:
        return QBrush(ExcludedColor);
    default:
        return tr("Excluded: %1").arg(m_item->exclusionReason(row));
    }
}

QVariant DataModel::markBrush(int row) const
{
    if (!m_item || !m_item->requirement().isSet())
        return QVariant();
    switch (m_item->evaluation().mark(row)) {
    case CoatingEvaluator::Low:
    case CoatingEvaluator::High:
        return QBrush(OutOfLimitColor);
    case CoatingEvaluator::BelowNominal:
        return QBrush(BelowNominalColor);
    case CoatingEvaluator::OverRange:
        return QBrush(OverRangeColor);
    case CoatingEvaluator::Excluded:
    case CoatingEvaluator::Unmarked:
        break;
    }
    return QVariant();
}

DmmData *DataModel::reading(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : nullptr;
}
