#include "teamlogger.h"

#include <QObject>

TeamLogger::TeamLogger(const QString &path, const QString &keywords)
{
    workspace.open(path);
    workspace.follow(&items);
    ItemData *active = nullptr;
    items.adopt(workspace.restore(items.storeData(), &active));
    QObject::connect(&workspace, &Workspace::committed, &sync, &TeamSync::wake);
    if (!keywords.isEmpty())
        sync.start(path, keywords);
}
