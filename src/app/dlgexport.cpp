#include "dlgexport.h"

#include "ui_dlgexport.h"

#include "filechooser.h"

dlgExport::dlgExport(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::dlgExport>())
{
    ui->setupUi(this);
    m_exportType = Table;
    ui->rbTable->setChecked(true);
    ui->wgtScene->hide();
}

dlgExport::~dlgExport() = default;

void dlgExport::setSceneFile(const QString &fileName)
{
    m_sceneFile = fileName;
    ui->edtSceneName->setText(fileName);
}

void dlgExport::on_rbTable_toggled(bool checked)
{
    if (checked)
        m_exportType = Table;
}

void dlgExport::on_rbHistogram_toggled(bool checked)
{
    if (checked)
        m_exportType = HistogramPicture;
}

void dlgExport::on_rbChart_toggled(bool checked)
{
    if (checked)
        m_exportType = ChartPicture;
}

void dlgExport::on_rbPdf_toggled(bool checked)
{
    if (checked)
        m_exportType = Pdf;
    ui->wgtScene->setVisible(checked);
}

void dlgExport::on_btnScenePic_clicked()
{
    // A cancelled dialog answers an empty name, which clears the choice.
    setSceneFile(FileChooser::openFileName(this, tr("Please select a scene picture."),
                                           tr("Images(*.png *.xpm *.jpg)"), m_folders,
                                           RecentFolders::ScenePicture));
}
