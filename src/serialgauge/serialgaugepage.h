#pragma once

#include <QWidget>

#include "serialgaugesettings.h"

class QComboBox;
class QLineEdit;
class QSpinBox;

// The serial gauge's page in the logger's Options dialog: the port, the line format and the
// memory transfer. It edits a copy of the settings; the plug-in saves them.
class SerialGaugePage : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY(SerialGaugePage)

public:
    explicit SerialGaugePage(const SerialGaugeSettings &settings, QWidget *parent = nullptr);

    // The settings as the page shows them.
    SerialGaugeSettings settings() const;
    // Empty when the settings can be used, else what is wrong, for the user.
    QString check() const;

private:
    void presetChosen(int index);
    void patternEdited(const QString &pattern);

    SerialGaugeSettings m_settings;
    QComboBox *cmbPort;
    QComboBox *cmbBaudRate;
    QComboBox *cmbDataBits;
    QComboBox *cmbParity;
    QComboBox *cmbStopBits;
    QComboBox *cmbFlowControl;
    QComboBox *cmbFormat;
    QLineEdit *edtPattern;
    QComboBox *cmbUnit;
    QLineEdit *edtBasis;
    QLineEdit *edtOverRange;
    QSpinBox *spnRange;
    QLineEdit *edtMemoryCommand;
    QLineEdit *edtMemoryCount;
    QLineEdit *edtMemoryEnd;
    QSpinBox *spnMemoryQuiet;
    QSpinBox *spnMemoryExpected;
};
