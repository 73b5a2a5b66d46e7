#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include "dlgexport.h"

namespace {

struct FileDialogSeen
{
    QString caption;
    QStringList filters;
    QString directory;
};

// Cancels the file dialog as soon as it is the modal window, noting what it offered.
void rejectFileDialog(FileDialogSeen *seen, int triesLeft = 200)
{
    QTimer::singleShot(0, [seen, triesLeft] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (triesLeft > 0)
                rejectFileDialog(seen, triesLeft - 1);
            return;
        }
        seen->caption = dialog->windowTitle();
        seen->filters = dialog->nameFilters();
        dialog->reject();
    });
}

} // namespace

class tst_DlgExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void form();
    void opensOnTable();
    void choice_data();
    void choice();
    void sceneRowOnlyWithPdf();
    void storedSceneFileShown();
    void cancelledPickClearsSceneFile();
    void typedPathIgnored();
    void okAndCancel_data();
    void okAndCancel();
    void slotsInOrder();

private:
    template<typename T>
    T *child(const char *name) const
    {
        return m_dialog->findChild<T *>(QLatin1String(name));
    }
    // Near the left end: a radio button only reacts on its indicator and text.
    void click(const char *name) const
    {
        auto *button = child<QAbstractButton>(name);
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier,
                          QPoint(qMin(8, button->width() / 2), button->height() / 2));
    }
    bool sceneRowShown() const { return child<QWidget>("wgtScene")->isVisible(); }

    dlgExport *m_dialog = nullptr;
};

void tst_DlgExport::init()
{
    m_dialog = new dlgExport;
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
}

void tst_DlgExport::cleanup()
{
    delete m_dialog;
    m_dialog = nullptr;
}

void tst_DlgExport::form()
{
    QCOMPARE(m_dialog->size(), QSize(447, 192));
    QCOMPARE(m_dialog->windowTitle(), QString());
    QCOMPARE(child<QRadioButton>("rbTable")->text(), QStringLiteral("Table(XLS)"));
    QCOMPARE(child<QRadioButton>("rbHistogram")->text(), QStringLiteral("Histogram(JPG)"));
    QCOMPARE(child<QRadioButton>("rbChart")->text(), QStringLiteral("Chart(JPG)"));
    QCOMPARE(child<QRadioButton>("rbPdf")->text(), QStringLiteral("PDF"));
    QCOMPARE(child<QLabel>("label")->text(), QStringLiteral("Scene Picture"));
    auto *pick = child<QPushButton>("btnScenePic");
    QCOMPARE(pick->text(), QStringLiteral("..."));
    QCOMPARE(pick->maximumWidth(), 30);
    QVERIFY(child<QLineEdit>("edtSceneName"));
    const auto *box = child<QDialogButtonBox>("buttonBox");
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
}

void tst_DlgExport::opensOnTable()
{
    QCOMPARE(m_dialog->exportType(), 0);
    QVERIFY(child<QRadioButton>("rbTable")->isChecked());
    QVERIFY(!sceneRowShown());
    QCOMPARE(m_dialog->sceneFile(), QString());
}

void tst_DlgExport::choice_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("sceneRow");

    QTest::newRow("Table(XLS)") << "rbTable" << 0 << false;
    QTest::newRow("Histogram(JPG)") << "rbHistogram" << 1 << false;
    QTest::newRow("Chart(JPG)") << "rbChart" << 2 << false;
    QTest::newRow("PDF") << "rbPdf" << 3 << true;
}

void tst_DlgExport::choice()
{
    QFETCH(QString, button);
    QFETCH(int, type);
    QFETCH(bool, sceneRow);

    // Start from another choice, so that the click really toggles.
    click(button == "rbChart" ? "rbHistogram" : "rbChart");
    click(qPrintable(button));
    QCOMPARE(m_dialog->exportType(), type);
    QCOMPARE(sceneRowShown(), sceneRow);
    int checked = 0;
    for (auto *radio : m_dialog->findChildren<QRadioButton *>())
        checked += radio->isChecked() ? 1 : 0;
    QCOMPARE(checked, 1);
}

void tst_DlgExport::sceneRowOnlyWithPdf()
{
    for (const char *other : {"rbTable", "rbHistogram", "rbChart"}) {
        click("rbPdf");
        QVERIFY(sceneRowShown());
        click(other);
        QVERIFY2(!sceneRowShown(), other);
    }
}

void tst_DlgExport::storedSceneFileShown()
{
    m_dialog->setSceneFile(QStringLiteral("/data/site/bridge.png"));
    QCOMPARE(m_dialog->sceneFile(), QStringLiteral("/data/site/bridge.png"));
    QCOMPARE(child<QLineEdit>("edtSceneName")->text(), QStringLiteral("/data/site/bridge.png"));
}

void tst_DlgExport::cancelledPickClearsSceneFile()
{
    m_dialog->setSceneFile(QStringLiteral("/data/site/bridge.png"));
    click("rbPdf");

    FileDialogSeen seen;
    rejectFileDialog(&seen);
    click("btnScenePic");

    QCOMPARE(seen.caption, QStringLiteral("Please select a scene picture."));
    QCOMPARE(seen.filters, QStringList{QStringLiteral("Images(*.png *.xpm *.jpg)")});
    QCOMPARE(m_dialog->sceneFile(), QString());
    QCOMPARE(child<QLineEdit>("edtSceneName")->text(), QString());
}

void tst_DlgExport::typedPathIgnored()
{
    m_dialog->setSceneFile(QStringLiteral("/data/site/bridge.png"));
    click("rbPdf");
    auto *edit = child<QLineEdit>("edtSceneName");
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("/tmp/typed.jpg"));
    QCOMPARE(edit->text(), QStringLiteral("/tmp/typed.jpg"));
    QCOMPARE(m_dialog->sceneFile(), QStringLiteral("/data/site/bridge.png"));
}

void tst_DlgExport::okAndCancel_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << int(QDialogButtonBox::Ok) << int(QDialog::Accepted);
    QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << int(QDialog::Rejected);
}

void tst_DlgExport::okAndCancel()
{
    QFETCH(int, button);
    QFETCH(int, result);

    click("rbPdf");
    auto *box = child<QDialogButtonBox>("buttonBox");
    QTest::mouseClick(box->button(QDialogButtonBox::StandardButton(button)), Qt::LeftButton);
    QCOMPARE(m_dialog->result(), result);
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->exportType(), 3);
}

void tst_DlgExport::slotsInOrder()
{
    const QMetaObject *meta = m_dialog->metaObject();
    QStringList own;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        own.append(QString::fromLatin1(meta->method(i).methodSignature()));
    QCOMPARE(own, (QStringList{"on_rbTable_toggled(bool)", "on_rbHistogram_toggled(bool)",
                               "on_rbChart_toggled(bool)", "on_rbPdf_toggled(bool)",
                               "on_btnScenePic_clicked()"}));
}

QTEST_MAIN(tst_DlgExport)
#include "tst_dlgexport.moc"
