#pragma once

#include <memory>

#include <QDialog>
#include <QString>

#include "recentfolders.h"

namespace Ui {
class dlgExport;
}

// Asks which export to run: the readings workbook, the histogram or chart picture, or the PDF
// report, for which it also takes the scene picture shown on the report's first page.
class dlgExport : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(dlgExport)

public:
    // The values of exportType().
    enum ExportType { Table = 0, HistogramPicture = 1, ChartPicture = 2, Pdf = 3 };

    explicit dlgExport(QWidget *parent = nullptr);
    ~dlgExport() override;

    int exportType() const { return m_exportType; }
    QString sceneFile() const { return m_sceneFile; }
    void setSceneFile(const QString &fileName);
    // Where the scene picture's file dialog starts, and what it remembers; not owned.
    void setFolders(RecentFolders *folders) { m_folders = folders; }

public slots:
    void on_rbTable_toggled(bool checked);
    void on_rbHistogram_toggled(bool checked);
    void on_rbChart_toggled(bool checked);
    void on_rbPdf_toggled(bool checked);
    void on_btnScenePic_clicked();

private:
    std::unique_ptr<Ui::dlgExport> ui;
    int m_exportType = Table;
    // Only what "..." chose or the window handed in; the line edit merely shows it.
    QString m_sceneFile;
    RecentFolders m_ownFolders;
    RecentFolders *m_folders = &m_ownFolders;
};
