#pragma once

#include <QDialog>
#include <QList>

class IDeviceOptions;
class QComboBox;
class QLineEdit;
class QPushButton;
class QStackedWidget;

// The Options dialog: which gauge plug-in the logger talks to, the settings page of each plug-in
// that offers one, and the team server's address. OK keeps every page's settings through its
// plug-in; the caller keeps the choice of plug-in and the address, which OK refuses while it holds
// a password. The default-name field is not stored anywhere.
class OptionDialog : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(OptionDialog)

public:
    explicit OptionDialog(QWidget *parent = nullptr);

    // Offers a gauge; the plug-in's settings page, if it has one, shows while it is chosen.
    void addGauge(const QString &id, const QString &name, QObject *plugin);
    void setCurrentGauge(const QString &id);
    QString currentGauge() const;
    void setTeamServer(const QString &address);
    QString teamServer() const;

public slots:
    void slotBtnClicked();

private:
    // False, after telling the user why, when a page's settings cannot be kept.
    bool savePages();

    struct Page
    {
        IDeviceOptions *options;
        QWidget *widget;
    };

    QLineEdit *edtDefaultName;
    QLineEdit *edtTeamServer;
    QPushButton *btnOk;
    QPushButton *btnCancel;
    QComboBox *cmbGauge;
    QStackedWidget *wgtGaugeOptions;
    QList<Page> pages;
};
