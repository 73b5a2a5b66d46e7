#pragma once

#include <QDialog>
#include <QString>
#include <QVector>

#include "coatingrequirement.h"
#include "coatingrule.h"

class ItemData;
class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;

// Edits the coating requirement of one item, in the item's unit. The form has a row for every
// field any rule declares, and shows the rows of the chosen rule. The values are checked as they
// are typed; OK takes them only when they make a usable requirement and the item still shows the
// unit they were entered in.
class RequirementDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(RequirementDialog)

public:
    // The item is read, never changed: the caller stores requirement() after exec().
    explicit RequirementDialog(const ItemData *item, QWidget *parent = nullptr);

    // The values as entered; meaningful when problem() is empty.
    CoatingRequirement requirement() const;
    // What keeps the values from being saved, for the user; empty when they can be.
    QString problem() const;

public slots:
    void accept() override;

private slots:
    void updateForm();

private:
    // The row of one field key, shared by the rules that have that key.
    struct Row
    {
        CoatingRule::Field field;
        QLineEdit *edit = nullptr;
        // The presets of the field and a last, free choice; nullptr without presets.
        QComboBox *presets = nullptr;
        // What the form lays out: the edit, or the presets and the edit side by side.
        QWidget *widget = nullptr;
    };

    // The chosen rule; nullptr for none.
    const CoatingRule *currentRule() const;
    void addRow(const CoatingRule::Field &field);
    const Row &rowOf(const QString &key) const;
    // The label of a row, with the unit for thicknesses and without the colon.
    QString labelText(const Row &row) const;
    void setValues(const CoatingRequirement &values);
    // A preset of the row in the fields' unit.
    double presetValue(const Row &row, int preset) const;
    void presetChosen(const Row &row, int preset);
    void setRowVisible(const Row &row, bool visible);
    // Reads a row; false with the message set when it is empty or no number.
    bool readNumber(const Row &row, double *value, QString *message) const;
    double readCount(const Row &row) const;

    // Notes what the fields show now: a field left as it is keeps the value as it was entered.
    void rememberShown();

    const ItemData *m_item;
    // The unit the fields are in.
    QString m_unit;
    // The requirement as it was entered, in its own unit, and the fields' texts it was shown as.
    CoatingRequirement m_entered;
    QStringList m_shown;
    QFormLayout *m_form;
    QComboBox *m_rule;
    QVector<Row> m_rows;
    QLabel *m_note;
    QLabel *m_message;
    QDialogButtonBox *m_buttons;
};
