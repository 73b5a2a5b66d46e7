#include "teamlink.h"

#include <QFontMetrics>
#include <QLabel>

#include "statuspanel.h"
#include "teamreaderstatus.h"
#include "teamsync.h"
#include "workspace.h"

TeamLink::TeamLink(StatusPanel *status, Workspace *workspace, QObject *parent)
    : QObject(parent)
    , m_workspace(workspace)
    , m_sync(new TeamSync(this))
    , m_field(new QLabel)
    , m_readerField(new QLabel)
{
    m_readerField->setObjectName(QStringLiteral("lblTeamBranch"));
    m_readerField->setMargin(2);
    m_readerField->hide();
    status->addField(m_readerField);
    m_field->setObjectName(QStringLiteral("lblTeamServer"));
    m_field->setMargin(2);
    m_field->hide();
    status->addField(m_field);
    connect(workspace, &Workspace::committed, m_sync, &TeamSync::wake);
    connect(m_sync, &TeamSync::statusChanged, this, &TeamLink::show);
}

void TeamLink::setAddress(const QString &address)
{
    if (address == m_address)
        return;
    m_address = address;
    m_sync->stop();
    m_field->setVisible(!address.isEmpty());
    m_readerField->hide();
    m_field->setToolTip(QString());
    if (address.isEmpty())
        return;
    if (!m_workspace->isSaving()) {
        m_field->setText(tr("Team server: not synced: this session's readings are not saved"));
        return;
    }
    m_sync->start(m_workspace->path(), address);
}

void TeamLink::showReader(const TeamReaderStatus &status)
{
    showCut(m_readerField, status.text(), QString());
    m_readerField->setVisible(!status.text().isEmpty());
}

void TeamLink::show(const TeamSyncStatus &status)
{
    showCut(m_field, status.text(), status.detail);
}

void TeamLink::showCut(QLabel *field, const QString &text, const QString &detail)
{
    // libpq's words can be long; the window must not grow with them: all of it in the tool tip.
    const QFontMetrics metrics = field->fontMetrics();
    const QString shown =
        metrics.elidedText(text, Qt::ElideRight, metrics.averageCharWidth() * FieldChars);
    field->setText(shown);
    QString tip = shown == text ? QString() : text;
    if (!detail.isEmpty() && !tip.contains(detail))
        tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + detail;
    field->setToolTip(tip);
}
