#include "exclusiondialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

ExclusionDialog::ExclusionDialog(int count, QWidget *parent)
    : QDialog(parent)
    , m_reason(new QComboBox(this))
{
    setWindowTitle(tr("Exclude readings"));
    m_reason->setObjectName(QStringLiteral("cbReason"));
    m_reason->setEditable(true);
    m_reason->setInsertPolicy(QComboBox::NoInsert);
    m_reason->addItems(reasons());
    m_reason->lineEdit()->setMaxLength(MaxReasonLength);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setText(tr("Exclude"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // A reading is never excluded without a reason.
    connect(m_reason, &QComboBox::editTextChanged, this,
            [this](const QString &text) { m_ok->setEnabled(!text.trimmed().isEmpty()); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Exclude %n reading(s) from the statistics and the verdict. "
                                    "They stay in the item, and the exclusion can be undone.",
                                    nullptr, count),
                                 this));
    layout->addWidget(new QLabel(tr("Reason:"), this));
    layout->addWidget(m_reason);
    layout->addWidget(buttons);
}

QStringList ExclusionDialog::reasons()
{
    return {tr("Probe lifted or tilted"), tr("On a weld or edge"), tr("Wrong part"),
            tr("Operator error")};
}

QString ExclusionDialog::reason() const
{
    return m_reason->currentText().trimmed();
}
