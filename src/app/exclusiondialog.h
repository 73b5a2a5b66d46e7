#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

class QComboBox;
class QPushButton;

// Asks why readings are to be excluded: one of the usual reasons, or a text of the inspector's
// own typed into the same box.
class ExclusionDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(ExclusionDialog)

public:
    // The longest reason kept; the workspace and the reports hold it whole.
    static constexpr int MaxReasonLength = 200;

    ExclusionDialog(int count, QWidget *parent = nullptr);

    // The reasons offered, in the order shown.
    static QStringList reasons();
    // The reason chosen or typed, without surrounding blanks.
    QString reason() const;

private:
    QComboBox *m_reason;
    QPushButton *m_ok;
};
