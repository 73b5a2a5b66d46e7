#pragma once

#include <QDialog>
#include <QString>

#include "coatingrequirement.h"

class ItemData;
class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;

// Edits the coating requirement of one item, in the item's unit. The values are checked as
// they are typed; OK takes them only when they make a usable requirement and the item still
// shows the unit they were entered in.
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
    void roughnessChosen(int index);

private:
    void setValues(const CoatingRequirement &values);
    // A roughness choice of the combo box in the fields' unit.
    double roughnessPreset(int index) const;
    QLineEdit *addField(const char *name, const QString &label);
    void setRowVisible(QLineEdit *field, bool visible);
    // Reads a field; false with the message set when it is empty or no number.
    bool readNumber(QLineEdit *field, double *value, QString *message) const;
    int readCount(QLineEdit *field) const;

    const ItemData *m_item;
    // The unit the fields are in.
    QString m_unit;
    QFormLayout *m_form;
    QComboBox *m_rule;
    QComboBox *m_roughnessChoice;
    QLineEdit *m_nominal;
    QLineEdit *m_minimum;
    QLineEdit *m_maximum;
    QLineEdit *m_roughness;
    QLineEdit *m_readingsPerSpot;
    QLineEdit *m_spotsPerArea;
    QLineEdit *m_spotLower;
    QLineEdit *m_spotUpper;
    QLabel *m_note;
    QLabel *m_message;
    QDialogButtonBox *m_buttons;
};
