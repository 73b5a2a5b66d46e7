#include "optiondialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

OptionDialog::OptionDialog(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Options"));

    edtDefaultName = new QLineEdit();
    edtDefaultName->setText(QStringLiteral("Defaule Name"));
    auto *form = new QFormLayout();
    form->addRow(tr("Defaule name"), edtDefaultName);

    btnOk = new QPushButton(tr("Ok"));
    btnCancel = new QPushButton(tr("Cancel"));
    auto *buttons = new QHBoxLayout();
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout();
    layout->addLayout(form);
    layout->addLayout(buttons);
    setLayout(layout);

    connect(btnOk, &QPushButton::clicked, this, &OptionDialog::slotBtnClicked);
    connect(btnCancel, &QPushButton::clicked, this, &OptionDialog::slotBtnClicked);
}

void OptionDialog::slotBtnClicked()
{
    if (sender() == btnOk)
        accept();
    else
        reject();
}
