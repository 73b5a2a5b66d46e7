#pragma once

#include <QKeySequence>

class QAction;

// Gives an action its keyboard shortcut and names the shortcut in its tool tip, as menus name it
// beside the action's text.
class ActionShortcut
{
public:
    static void assign(QAction *action, const QKeySequence &shortcut);
    // "Start (F5)": the action's text without its mnemonic, then the shortcut in native form.
    static QString toolTip(const QAction *action);
};
