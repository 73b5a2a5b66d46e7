#pragma once

#include <QDialog>
#include <QList>
#include <QString>

#include "inspectionreport.h"

class ItemData;
class ItemStore;
class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class RecentFolders;
class TeamBranch;
class Workspace;

// Chooses what the inspection report holds (the items, the sections, the readings table, the
// paper) and saves it as a PDF or prints it. A readings table of many rows is confirmed first;
// writing shows its progress and can be cancelled.
class InspectionReportDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(InspectionReportDialog)

public:
    // A readings table of more rows than this is confirmed before it is written.
    static constexpr int LargeTable = 100000;

    // workspace and team may be nullptr; folders is not owned. The team's items follow the own
    // ones.
    InspectionReportDialog(ItemStore *items, Workspace *workspace, TeamBranch *team,
                           RecentFolders *folders, QWidget *parent = nullptr);

    QList<const ItemData *> chosenItems() const;
    InspectionReport::Options options() const;

    // Writes the report to fileName, after asking about a large table. The outcome is told in a
    // box; false when nothing was written.
    bool saveTo(const QString &fileName);
    // What the last save said to the user.
    QString outcome() const { return m_outcome; }

private:
    void savePdf();
    void print();
    // Reads the chosen items' readings where needed and asks about a large table; false when
    // the user does not want it.
    bool prepare();
    void tell(const QString &text, bool failed);

    ItemStore *m_items;
    Workspace *m_workspace;
    TeamBranch *m_team;
    RecentFolders *m_folders;
    QList<ItemData *> m_choices;
    QListWidget *m_itemList;
    QCheckBox *m_cover;
    QCheckBox *m_statistics;
    QCheckBox *m_histogram;
    QCheckBox *m_chart;
    QCheckBox *m_notes;
    QComboBox *m_readings;
    QComboBox *m_paper;
    QPushButton *m_save;
    QPushButton *m_print;
    QString m_outcome;
};
