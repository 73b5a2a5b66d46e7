#include "optiondialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "ideviceoptions.h"
#include "teamaddress.h"

OptionDialog::OptionDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Options"));

    edtDefaultName = new QLineEdit();
    edtDefaultName->setText(QStringLiteral("Defaule Name"));
    cmbGauge = new QComboBox();
    cmbGauge->setObjectName(QStringLiteral("cmbGauge"));
    edtTeamServer = new QLineEdit();
    edtTeamServer->setObjectName(QStringLiteral("edtTeamServer"));
    edtTeamServer->setPlaceholderText(tr("none: host=... dbname=... user=... sslmode=verify-full"));
    edtTeamServer->setToolTip(
        tr("A PostgreSQL connection string or postgresql:// address. The password is read from "
           "the PostgreSQL password file or the PGPASSWORD environment variable."));
    auto *form = new QFormLayout();
    form->addRow(tr("Defaule name"), edtDefaultName);
    form->addRow(tr("Gauge"), cmbGauge);

    wgtGaugeOptions = new QStackedWidget();
    wgtGaugeOptions->setObjectName(QStringLiteral("wgtGaugeOptions"));

    btnOk = new QPushButton(tr("Ok"));
    btnCancel = new QPushButton(tr("Cancel"));
    auto *buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout();
    layout->addLayout(form);
    layout->addWidget(wgtGaugeOptions);
    auto *team = new QFormLayout();
    team->addRow(tr("Team server"), edtTeamServer);
    layout->addLayout(team);
    layout->addLayout(buttons);
    setLayout(layout);

    connect(btnOk, &QPushButton::clicked, this, &OptionDialog::slotBtnClicked);
    connect(btnCancel, &QPushButton::clicked, this, &OptionDialog::slotBtnClicked);
    connect(cmbGauge, QOverload<int>::of(&QComboBox::currentIndexChanged), wgtGaugeOptions,
            &QStackedWidget::setCurrentIndex);
}

void OptionDialog::addGauge(const QString &id, const QString &name, QObject *plugin)
{
    auto *options = qobject_cast<IDeviceOptions *>(plugin);
    QWidget *page = options ? options->createOptionsPage(wgtGaugeOptions) : nullptr;
    if (page)
        pages.append({options, page});
    else
        page = new QLabel(tr("This gauge has no settings to change here."));
    wgtGaugeOptions->addWidget(page);
    cmbGauge->addItem(name, id);
}

void OptionDialog::setCurrentGauge(const QString &id)
{
    cmbGauge->setCurrentIndex(qMax(0, cmbGauge->findData(id)));
}

QString OptionDialog::currentGauge() const
{
    return cmbGauge->currentData().toString();
}

void OptionDialog::setTeamServer(const QString &address)
{
    edtTeamServer->setText(address);
}

QString OptionDialog::teamServer() const
{
    return edtTeamServer->text().trimmed();
}

void OptionDialog::slotBtnClicked()
{
    if (sender() != btnOk) {
        reject();
    } else if (TeamAddress::hasPassword(teamServer())) {
        edtTeamServer->setFocus();
        QMessageBox::warning(this, QString(), TeamAddress::passwordRefusal(), QMessageBox::Ok);
    } else if (savePages()) {
        accept();
    }
}

bool OptionDialog::savePages()
{
    for (const Page &page : qAsConst(pages)) {
        QString error;
        if (page.options->saveOptionsPage(page.widget, &error))
            continue;
        wgtGaugeOptions->setCurrentWidget(page.widget);
        cmbGauge->setCurrentIndex(wgtGaugeOptions->currentIndex());
        QMessageBox::warning(this, QString(), error, QMessageBox::Ok);
        return false;
    }
    return true;
}
