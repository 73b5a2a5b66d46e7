#include "statuspanel.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

StatusPanel::StatusPanel(QStatusBar *statusBar, QAction *showMessages)
    : QObject(statusBar)
    , m_bar(statusBar)
    , m_state(new QLabel(statusBar))
    , m_message(new QLabel(statusBar))
{
    m_state->setObjectName(QStringLiteral("lblConnection"));
    m_state->setMargin(2);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    // A long message must not widen the window; the full text is in the list and the tool tip.
    m_message->setMinimumWidth(1);
    m_message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *messages = new QToolButton(statusBar);
    messages->setObjectName(QStringLiteral("btnMessages"));
    messages->setDefaultAction(showMessages);
    messages->setToolButtonStyle(Qt::ToolButtonTextOnly);
    messages->setAutoRaise(true);
    statusBar->addWidget(m_state);
    statusBar->addWidget(m_message, 1);
    statusBar->addPermanentWidget(messages);
    setState(State::Disconnected);
}

void StatusPanel::setState(State state, const QString &itemName)
{
    m_state->setText(stateText(state, itemName));
}

void StatusPanel::showMessage(const QString &message)
{
    m_message->setText(message);
    m_message->setToolTip(message);
}

void StatusPanel::addField(QLabel *field)
{
    // The bar holds the state and the message, then the fields, then the button.
    m_bar->insertPermanentWidget(2 + m_fields++, field);
}

QString StatusPanel::stateText(State state, const QString &itemName)
{
    switch (state) {
    case State::Disconnected:
        return tr("Not connected");
    case State::Connected:
        return tr("Connected");
    case State::Recording:
        return tr("Recording into %1").arg(itemName);
    }
    return QString();
}
