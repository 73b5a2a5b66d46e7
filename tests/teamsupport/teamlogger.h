#pragma once

#include <QString>

#include "itemstore.h"
#include "teamsync.h"
#include "workspace.h"

// A logger's side of a sync, as the window has it: a workspace file followed by an item store,
// whose commits wake the sync.
struct TeamLogger
{
    // Restores what the file holds; with keywords the sync starts at once.
    explicit TeamLogger(const QString &path, const QString &keywords = QString());

    ItemStore items;
    Workspace workspace;
    TeamSync sync;
};
