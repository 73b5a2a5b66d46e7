#pragma once

#include <QObject>
#include <QString>

class QLabel;
class StatusPanel;
class TeamSync;
class TeamReaderStatus;
class TeamSyncStatus;
class Workspace;

// The window's side of the team server: runs the sync of the workspace while an address is set
// and shows its state in a status-bar field, hidden while no server is set; and in a second one,
// shown only then, why the Team branch cannot be read.
class TeamLink : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(TeamLink)

public:
    TeamLink(StatusPanel *status, Workspace *workspace, QObject *parent);

    // Starts, restarts or stops the sync; an unchanged address changes nothing.
    void setAddress(const QString &address);
    void showReader(const TeamReaderStatus &status);

private:
    void show(const TeamSyncStatus &status);
    // Shows the beginning of a long text, and all of it with the detail in the tool tip.
    static void showCut(QLabel *field, const QString &text, const QString &detail);

    static constexpr int FieldChars = 60;

    Workspace *m_workspace;
    TeamSync *m_sync;
    QLabel *m_field;
    QLabel *m_readerField;
    QString m_address;
};
