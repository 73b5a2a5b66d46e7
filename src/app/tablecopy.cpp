#include "tablecopy.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>

namespace {
// A tab or a line break inside a cell would split it.
QString cell(const QVariant &value)
{
    QString text = value.toString().trimmed();
    for (QChar &c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}
} // namespace

TableCopy::TableCopy(QAbstractItemView *view)
    : QObject(view)
    , m_view(view)
{
    auto *action = new QAction(tr("Copy"), view);
    action->setObjectName(QStringLiteral("actionCopyRows"));
    action->setShortcut(QKeySequence::Copy);
    action->setShortcutContext(Qt::WidgetShortcut);
    view->addAction(action);
    connect(action, &QAction::triggered, this, &TableCopy::copy);
}

QString TableCopy::text(const QAbstractItemModel *model, QModelIndexList rows)
{
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    const int columns = model->columnCount();
    QString text;
    for (int column = 0; column < columns; ++column) {
        text += cell(model->headerData(column, Qt::Horizontal));
        text += column + 1 < columns ? QLatin1Char('\t') : QLatin1Char('\n');
    }
    for (const QModelIndex &row : qAsConst(rows)) {
        for (int column = 0; column < columns; ++column) {
            text += cell(model->index(row.row(), column).data());
            text += column + 1 < columns ? QLatin1Char('\t') : QLatin1Char('\n');
        }
    }
    return text;
}

void TableCopy::copy()
{
    const QModelIndexList rows = m_view->selectionModel()->selectedRows();
    if (!rows.isEmpty())
        QApplication::clipboard()->setText(text(m_view->model(), rows));
}
