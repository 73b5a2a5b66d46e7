#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The Options dialog. Its one field is not stored anywhere yet: it opens, closes and changes
// nothing.
class OptionDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(OptionDialog)

public:
    explicit OptionDialog(QWidget *parent = nullptr);

public slots:
    void slotBtnClicked();

private:
    QLineEdit *edtDefaultName;
    QPushButton *btnOk;
    QPushButton *btnCancel;
};
