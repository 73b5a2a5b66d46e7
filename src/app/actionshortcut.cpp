#include "actionshortcut.h"

#include <QAction>

void ActionShortcut::assign(QAction *action, const QKeySequence &shortcut)
{
    action->setShortcut(shortcut);
    action->setToolTip(toolTip(action));
}

QString ActionShortcut::toolTip(const QAction *action)
{
    QString text = action->text();
    // "&&" is a literal ampersand, any other "&" marks the mnemonic.
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    if (action->shortcut().isEmpty())
        return text;
    return QStringLiteral("%1 (%2)").arg(text,
                                         action->shortcut().toString(QKeySequence::NativeText));
}
