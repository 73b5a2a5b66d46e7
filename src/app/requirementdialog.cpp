#include "requirementdialog.h"

#include <algorithm>
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

#include "coatingrules.h"
#include "itemdata.h"
#include "thicknessunit.h"

namespace {

// Far above any group size a requirement accepts, far below what an int holds.
constexpr double MaxCount = 1e6;

// Items take their unit from their readings; one that never had any shows micrometres.
QString unitOf(const ItemData *item)
{
    return item->unit().isEmpty() ? ThicknessUnit::micrometre() : item->unit();
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
    , m_note(new QLabel(this))
    , m_message(new QLabel(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setWindowTitle(tr("Coating requirements of %1").arg(item->name()));
    m_rule->setObjectName(QStringLiteral("cbRule"));
    m_rule->addItem(tr("None"));
    for (const CoatingRule *rule : CoatingRules::all())
        m_rule->addItem(rule->name());
    m_form->addRow(tr("Rule:"), m_rule);
    for (const CoatingRule *rule : CoatingRules::all()) {
        for (const CoatingRule::Field &field : rule->fields()) {
            const bool known = std::any_of(m_rows.cbegin(), m_rows.cend(), [&](const Row &row) {
                return row.field.key == field.key;
            });
            if (!known)
                addRow(field);
        }
    }

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
    if (values.isSet() && values.unit() != m_unit) {
        m_note->setText(tr("The requirement was entered in %1; its values are shown converted "
                           "to %2, the item's unit now.")
                            .arg(values.unit(), m_unit));
        values = values.convertedTo(m_unit);
    }
    m_note->setVisible(!m_note->text().isEmpty());
    setValues(values);
    m_entered = item->requirement();
    rememberShown();

    connect(m_rule, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &RequirementDialog::updateForm);
    for (int i = 0; i < m_rows.size(); ++i) {
        connect(m_rows.at(i).edit, &QLineEdit::textChanged, this, &RequirementDialog::updateForm);
        if (m_rows.at(i).presets)
            connect(m_rows.at(i).presets, QOverload<int>::of(&QComboBox::activated), this,
                    [this, i](int preset) { presetChosen(m_rows.at(i), preset); });
    }
    updateForm();
}

void RequirementDialog::addRow(const CoatingRule::Field &field)
{
    Row row;
    row.field = field;
    row.edit = new QLineEdit(this);
    row.edit->setObjectName(QStringLiteral("edt") + field.name);
    row.widget = row.edit;
    if (!field.presets.isEmpty()) {
        row.presets = new QComboBox(this);
        row.presets->setObjectName(QStringLiteral("cb") + field.name);
        for (const auto &preset : field.presets)
            row.presets->addItem(preset.first);
        row.presets->addItem(tr("Other"));
        row.widget = new QWidget(this);
        row.widget->setObjectName(QStringLiteral("wgt") + field.name);
        auto *layout = new QHBoxLayout(row.widget);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(row.presets);
        layout->addWidget(row.edit);
    }
    m_form->addRow(labelText(row) + QLatin1Char(':'), row.widget);
    m_rows.append(row);
}

const CoatingRule *RequirementDialog::currentRule() const
{
    const int index = m_rule->currentIndex() - 1;
    return index >= 0 && index < CoatingRules::all().size() ? CoatingRules::all().at(index)
                                                            : nullptr;
}

const RequirementDialog::Row &RequirementDialog::rowOf(const QString &key) const
{
    return *std::find_if(m_rows.cbegin(), m_rows.cend(),
                         [&](const Row &row) { return row.field.key == key; });
}

QString RequirementDialog::labelText(const Row &row) const
{
    if (row.field.kind == CoatingRule::Field::Thickness)
        return QStringLiteral("%1 (%2)").arg(row.field.label, m_unit);
    return row.field.label;
}

void RequirementDialog::setRowVisible(const Row &row, bool visible)
{
    row.widget->setVisible(visible);
    if (QWidget *label = m_form->labelForField(row.widget))
        label->setVisible(visible);
}

void RequirementDialog::setValues(const CoatingRequirement &values)
{
    const CoatingRule *rule = values.rule();
    m_rule->setCurrentIndex(rule ? CoatingRules::indexOf(rule->key()) + 1 : 0);
    for (const Row &row : qAsConst(m_rows)) {
        const int field = rule ? rule->fieldIndex(row.field.key) : -1;
        double value = row.field.initial;
        bool shown = row.field.prefilled;
        if (field >= 0) {
            value = rule->value(field);
            shown = rule->has(field) || !rule->fields().at(field).optional;
        }
        row.edit->setText(shown ? number(value) : QString());
        if (!row.presets)
            continue;
        row.presets->setCurrentIndex(row.field.presets.size());
        for (int i = 0; i < row.field.presets.size(); ++i) {
            if (value == presetValue(row, i))
                row.presets->setCurrentIndex(i);
        }
    }
}

double RequirementDialog::presetValue(const Row &row, int preset) const
{
    return ThicknessUnit::converted(row.field.presets.at(preset).second,
                                    ThicknessUnit::micrometre(), m_unit);
}

void RequirementDialog::presetChosen(const Row &row, int preset)
{
    if (preset >= 0 && preset < row.field.presets.size())
        row.edit->setText(number(presetValue(row, preset)));
}

void RequirementDialog::updateForm()
{
    const CoatingRule *rule = currentRule();
    for (const Row &row : qAsConst(m_rows)) {
        const int field = rule ? rule->fieldIndex(row.field.key) : -1;
        setRowVisible(row, field >= 0);
        row.edit->setPlaceholderText(field >= 0 && rule->fields().at(field).optional ? tr("none")
                                                                                     : QString());
    }

    const QString message = problem();
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(message.isEmpty());
    adjustSize();
}

bool RequirementDialog::readNumber(const Row &row, double *value, QString *message) const
{
    const QString text = row.edit->text().trimmed();
    if (text.isEmpty()) {
        *message = tr("Enter a value for \"%1\".").arg(labelText(row));
        return false;
    }
    bool ok = false;
    *value = QLocale().toDouble(text, &ok);
    if (!ok)
        *value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        *message = tr("\"%1\" is not a number: %2").arg(labelText(row), text);
    return ok;
}

double RequirementDialog::readCount(const Row &row) const
{
    double count = 0.0;
    QString ignored;
    // Anything but a whole number in range reads as 0, which the rules refuse.
    if (!readNumber(row, &count, &ignored) || !(count >= 1.0 && count <= MaxCount) ||
        count != std::floor(count))
        return 0.0;
    return count;
}

void RequirementDialog::rememberShown()
{
    m_shown.clear();
    for (const Row &row : qAsConst(m_rows))
        m_shown.append(row.edit->text());
}

CoatingRequirement RequirementDialog::requirement() const
{
    const CoatingRule *chosen = currentRule();
    if (!chosen)
        return CoatingRequirement();
    // Shown converted to the item's unit, the values are rounded: what the user leaves as it is
    // keeps the value and unit it was entered in, and only what is typed here changes, exactly.
    const bool sameRule = m_entered.isSet() && m_entered.ruleKey() == chosen->key();
    std::unique_ptr<CoatingRule> rule = sameRule ? m_entered.rule()->clone() : chosen->clone();
    if (!sameRule)
        rule->setUnit(m_unit);
    const double toRuleUnit = ThicknessUnit::factor(m_unit, rule->unit());
    QString ignored;
    for (int field = 0; field < rule->fields().size(); ++field) {
        const Row &row = rowOf(rule->fields().at(field).key);
        const int shownIndex = int(&row - m_rows.constData());
        if (sameRule && row.edit->text() == m_shown.value(shownIndex))
            continue;
        double value = rule->value(field);
        if (row.field.kind == CoatingRule::Field::Count) {
            value = readCount(row);
        } else if (readNumber(row, &value, &ignored) &&
                   row.field.kind == CoatingRule::Field::Thickness) {
            value *= toRuleUnit;
        }
        rule->setValue(field, value);
        rule->setPresent(field, !row.edit->text().trimmed().isEmpty());
    }
    return CoatingRequirement(std::move(rule));
}

QString RequirementDialog::problem() const
{
    const CoatingRule *rule = currentRule();
    if (!rule)
        return QString();
    // The required fields first; optional ones count once something is typed in them.
    QString message;
    double value = 0.0;
    for (const bool optional : {false, true}) {
        for (const CoatingRule::Field &field : rule->fields()) {
            const Row &row = rowOf(field.key);
            if (field.optional != optional || (optional && row.edit->text().trimmed().isEmpty()))
                continue;
            if (!readNumber(row, &value, &message))
                return message;
        }
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
        if (problemBefore.isEmpty()) {
            setValues(typed.convertedTo(unit));
            m_entered = typed;
            rememberShown();
        }
        for (const Row &row : qAsConst(m_rows))
            m_form->labelForField(row.widget)
                ->setProperty("text", labelText(row) + QLatin1Char(':'));
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
