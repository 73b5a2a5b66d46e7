#include "requirementdialog.h"

#include <cmath>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "itemdata.h"

namespace {

// The roughness choices in the order of the combo box; the last one is a free value.
const double RoughnessPresets[] = {0.0, CoatingRequirement::FineRoughness,
                                   CoatingRequirement::MediumRoughness,
                                   CoatingRequirement::CoarseRoughness};
constexpr int FreeRoughness = 4;
// Far above any group size a requirement accepts, far below what an int holds.
constexpr double MaxCount = 1e6;

QString micrometres()
{
    return QStringLiteral("\u03BCm");
}

// Items take their unit from their readings; one that never had any shows micrometres.
QString unitOf(const ItemData *item)
{
    return item->unit().isEmpty() ? micrometres() : item->unit();
}

QString number(double value)
{
    return QLocale().toString(value, 'g', 12);
}

} // namespace

RequirementDialog::RequirementDialog(const ItemData *item, QWidget *parent)
    : QDialog(parent)
    , m_item(item)
    , m_unit(unitOf(item))
    , m_form(new QFormLayout)
    , m_rule(new QComboBox(this))
    , m_roughnessChoice(new QComboBox(this))
    , m_note(new QLabel(this))
    , m_message(new QLabel(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setWindowTitle(tr("Coating requirements of %1").arg(item->name()));
    m_rule->setObjectName(QStringLiteral("cbRule"));
    for (int rule = CoatingRequirement::NoRule; rule <= CoatingRequirement::SspcPa2; ++rule)
        m_rule->addItem(CoatingRequirement::ruleName(CoatingRequirement::Rule(rule)));
    m_form->addRow(tr("Rule:"), m_rule);

    m_nominal = addField("edtNominal", tr("Nominal thickness (NDFT) (%1):").arg(m_unit));
    m_minimum = addField("edtMinimum", tr("Minimum (%1):").arg(m_unit));
    m_maximum = addField("edtMaximum", tr("Maximum (%1):").arg(m_unit));

    m_roughnessChoice->setObjectName(QStringLiteral("cbRoughness"));
    m_roughnessChoice->addItems({tr("None"), tr("Fine (10 \u03BCm)"), tr("Medium (25 \u03BCm)"),
                                 tr("Coarse (40 \u03BCm)"), tr("Other")});
    m_roughness = new QLineEdit(this);
    m_roughness->setObjectName(QStringLiteral("edtRoughness"));
    auto *roughnessRow = new QWidget(this);
    roughnessRow->setObjectName(QStringLiteral("wgtRoughness"));
    auto *roughnessLayout = new QHBoxLayout(roughnessRow);
    roughnessLayout->setContentsMargins(0, 0, 0, 0);
    roughnessLayout->addWidget(m_roughnessChoice);
    roughnessLayout->addWidget(m_roughness);
    m_form->addRow(tr("Roughness correction (%1):").arg(m_unit), roughnessRow);

    m_readingsPerSpot = addField("edtReadingsPerSpot", tr("Readings per spot:"));
    m_spotsPerArea = addField("edtSpotsPerArea", tr("Spots per area:"));
    m_spotLower = addField("edtSpotLower", tr("Spot minimum, % of the minimum:"));
    m_spotUpper = addField("edtSpotUpper", tr("Spot maximum, % of the maximum:"));

    m_note->setObjectName(QStringLiteral("lblNote"));
    m_note->setWordWrap(true);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setWordWrap(true);
    m_message->setStyleSheet(QStringLiteral("color: rgb(200, 0, 0)"));

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_form);
    layout->addWidget(m_note);
    layout->addWidget(m_message);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &RequirementDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &RequirementDialog::reject);

    CoatingRequirement values = item->requirement();
    if (values.isSet() && values.unit != m_unit) {
        m_note->setText(tr("The requirement was entered in %1; its values are shown converted "
                           "to %2, the item's unit now.")
                            .arg(values.unit, m_unit));
        values = values.convertedTo(m_unit);
    }
    m_note->setVisible(!m_note->text().isEmpty());
    setValues(values);

    connect(m_rule, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &RequirementDialog::updateForm);
    connect(m_roughnessChoice, QOverload<int>::of(&QComboBox::activated), this,
            &RequirementDialog::roughnessChosen);
    for (QLineEdit *field : {m_nominal, m_minimum, m_maximum, m_roughness, m_readingsPerSpot,
                             m_spotsPerArea, m_spotLower, m_spotUpper})
        connect(field, &QLineEdit::textChanged, this, &RequirementDialog::updateForm);
    updateForm();
}

QLineEdit *RequirementDialog::addField(const char *name, const QString &label)
{
    auto *field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    m_form->addRow(label, field);
    return field;
}

void RequirementDialog::setRowVisible(QLineEdit *field, bool visible)
{
    QWidget *row = field == m_roughness ? m_roughness->parentWidget() : field;
    row->setVisible(visible);
    if (QWidget *label = m_form->labelForField(row))
        label->setVisible(visible);
}

void RequirementDialog::setValues(const CoatingRequirement &values)
{
    const bool sspc = values.rule == CoatingRequirement::SspcPa2;
    const bool limits = values.rule == CoatingRequirement::Limits || sspc;
    m_rule->setCurrentIndex(values.rule);
    m_nominal->setText(values.hasNominal ? number(values.nominal) : QString());
    m_minimum->setText(limits ? number(values.minimum) : QString());
    m_maximum->setText(limits || values.hasMaximum ? number(values.maximum) : QString());
    m_roughness->setText(number(values.roughness));
    m_roughnessChoice->setCurrentIndex(FreeRoughness);
    for (int i = 0; i < FreeRoughness; ++i) {
        if (values.roughness == roughnessPreset(i))
            m_roughnessChoice->setCurrentIndex(i);
    }
    m_readingsPerSpot->setText(QString::number(values.readingsPerSpot));
    m_spotsPerArea->setText(QString::number(values.spotsPerArea));
    m_spotLower->setText(number(values.spotLowerPercent));
    m_spotUpper->setText(number(values.spotUpperPercent));
}

double RequirementDialog::roughnessPreset(int index) const
{
    CoatingRequirement preset;
    preset.roughness = RoughnessPresets[index];
    return preset.convertedTo(m_unit).roughness;
}

void RequirementDialog::roughnessChosen(int index)
{
    if (index >= 0 && index < FreeRoughness)
        m_roughness->setText(number(roughnessPreset(index)));
}

void RequirementDialog::updateForm()
{
    const int rule = m_rule->currentIndex();
    setRowVisible(m_nominal, rule != CoatingRequirement::NoRule);
    setRowVisible(m_minimum,
                  rule == CoatingRequirement::Limits || rule == CoatingRequirement::SspcPa2);
    setRowVisible(m_maximum, rule != CoatingRequirement::NoRule);
    setRowVisible(m_roughness, rule == CoatingRequirement::Iso19840);
    for (QLineEdit *field : {m_readingsPerSpot, m_spotsPerArea, m_spotLower, m_spotUpper})
        setRowVisible(field, rule == CoatingRequirement::SspcPa2);
    m_nominal->setPlaceholderText(rule == CoatingRequirement::Iso19840 ? QString() : tr("none"));
    m_maximum->setPlaceholderText(rule == CoatingRequirement::Iso19840 ? tr("none") : QString());

    const QString message = problem();
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(message.isEmpty());
    adjustSize();
}

bool RequirementDialog::readNumber(QLineEdit *field, double *value, QString *message) const
{
    const QString text = field->text().trimmed();
    const QString label = m_form->labelForField(field)
                              ? m_form->labelForField(field)->property("text").toString()
                              : QString();
    const QString name = label.endsWith(QLatin1Char(':')) ? label.chopped(1) : label;
    if (text.isEmpty()) {
        *message = tr("Enter a value for \"%1\".").arg(name);
        return false;
    }
    bool ok = false;
    *value = QLocale().toDouble(text, &ok);
    if (!ok)
        *value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        *message = tr("\"%1\" is not a number: %2").arg(name, text);
    return ok;
}

int RequirementDialog::readCount(QLineEdit *field) const
{
    double count = 0.0;
    QString ignored;
    // Anything but a whole number in range reads as 0, which the requirement refuses.
    if (!readNumber(field, &count, &ignored) || !(count >= 1.0 && count <= MaxCount) ||
        count != std::floor(count))
        return 0;
    return int(count);
}

CoatingRequirement RequirementDialog::requirement() const
{
    CoatingRequirement values;
    QString ignored;
    values.rule = CoatingRequirement::Rule(m_rule->currentIndex());
    values.unit = m_unit;
    values.hasNominal = !m_nominal->text().trimmed().isEmpty();
    readNumber(m_nominal, &values.nominal, &ignored);
    readNumber(m_minimum, &values.minimum, &ignored);
    values.hasMaximum = !m_maximum->text().trimmed().isEmpty();
    readNumber(m_maximum, &values.maximum, &ignored);
    readNumber(m_roughness, &values.roughness, &ignored);
    values.readingsPerSpot = readCount(m_readingsPerSpot);
    values.spotsPerArea = readCount(m_spotsPerArea);
    readNumber(m_spotLower, &values.spotLowerPercent, &ignored);
    readNumber(m_spotUpper, &values.spotUpperPercent, &ignored);
    if (values.rule != CoatingRequirement::Iso19840)
        values.roughness = 0.0;
    if (values.rule != CoatingRequirement::NoRule)
        return values;
    CoatingRequirement none;
    none.unit = m_unit;
    return none;
}

QString RequirementDialog::problem() const
{
    const int rule = m_rule->currentIndex();
    if (rule == CoatingRequirement::NoRule)
        return QString();
    QList<QLineEdit *> required;
    if (rule == CoatingRequirement::Iso19840)
        required = {m_nominal, m_roughness};
    else
        required = {m_minimum, m_maximum};
    if (rule == CoatingRequirement::SspcPa2)
        required += {m_readingsPerSpot, m_spotsPerArea, m_spotLower, m_spotUpper};
    // Optional fields count once something is typed in them.
    for (QLineEdit *optional : {m_nominal, m_maximum}) {
        if (!required.contains(optional) && !optional->text().trimmed().isEmpty())
            required.append(optional);
    }
    QString message;
    double value = 0.0;
    for (QLineEdit *field : qAsConst(required)) {
        if (!readNumber(field, &value, &message))
            return message;
    }
    return requirement().problem();
}

void RequirementDialog::accept()
{
    // Readings keep arriving while the dialog is open, and one in another unit switches the
    // item to it: values typed for the old unit would then be read in the new one.
    const QString unit = unitOf(m_item);
    if (unit != m_unit) {
        const QString problemBefore = problem();
        const CoatingRequirement typed = requirement();
        m_unit = unit;
        if (problemBefore.isEmpty())
            setValues(typed.convertedTo(unit));
        for (QLineEdit *field : {m_nominal, m_minimum, m_maximum}) {
            QWidget *label = m_form->labelForField(field);
            const QString text = label->property("text").toString();
            label->setProperty("text", text.left(text.lastIndexOf(QLatin1Char('('))) +
                                           QStringLiteral("(%1):").arg(unit));
        }
        QWidget *roughnessLabel = m_form->labelForField(m_roughness->parentWidget());
        roughnessLabel->setProperty("text", tr("Roughness correction (%1):").arg(unit));
        m_note->setText(tr("The item's unit changed to %1 while this dialog was open. The values "
                           "are now shown in %1: check them and press OK again.")
                            .arg(unit));
        m_note->setVisible(true);
        updateForm();
        return;
    }
    if (!problem().isEmpty()) {
        updateForm();
        return;
    }
    QDialog::accept();
}
