#include <functional>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "filechooser.h"
#include "filesuffix.h"
#include "recentfolders.h"

namespace {

// Runs answer on the next modal dialog as soon as the event loop shows it.
void answerNextModal(std::function<void(QWidget *)> answer)
{
    auto *timer = new QTimer();
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, answer]() {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        answer(modal);
    });
    timer->start();
}

// Types name into the file dialog and accepts it, noting the folder it started in.
void typeIntoFileDialog(const QString &name, QString *startFolder)
{
    answerNextModal([=](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog) {
            modal->close();
            return;
        }
        *startFolder = dialog->directory().absolutePath();
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(name);
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog hides its accept() as protected
    });
}

void touch(const QString &fileName)
{
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestFileChooser : public QObject
{
    Q_OBJECT

private slots:
    void filterSuffix_data();
    void filterSuffix();
    void completedName_data();
    void completedName();
    void foldersStartAtTheDocuments();
    void foldersAreKeptPerKind();
    void foldersThatAreGoneAreNotUsed();
    void saveAddsTheSuffixBeforeTheReplaceQuestion_data();
    void saveAddsTheSuffixBeforeTheReplaceQuestion();
    void openRemembersTheFolder();
    void cancelRemembersNothing();
};

void TestFileChooser::filterSuffix_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("workbook") << "Excel File(*.xls)"
                              << "xls";
    QTest::newRow("pdf") << "PDF file(*.pdf)"
                         << "pdf";
    QTest::newRow("picture") << "JPG File(*.jpg)"
                             << "jpg";
    QTest::newRow("several: the first") << "Images(*.png *.xpm *.jpg)"
                                        << "png";
    QTest::newRow("all files") << "All files(*)" << QString();
}

void TestFileChooser::filterSuffix()
{
    QFETCH(QString, filter);
    QFETCH(QString, suffix);
    QCOMPARE(FileSuffix::ofFilter(filter), suffix);
}

void TestFileChooser::completedName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QStringList>("accepted");
    QTest::addColumn<QString>("written");

    const QStringList xls{"xls"};
    const QStringList pictures{"jpg", "jpeg", "png"};
    QTest::newRow("no suffix") << "/d/store"
                               << "xls" << xls << "/d/store.xls";
    QTest::newRow("own suffix") << "/d/store.xls"
                                << "xls" << xls << "/d/store.xls";
    QTest::newRow("own suffix in capitals") << "/d/STORE.XLS"
                                            << "xls" << xls << "/d/STORE.XLS";
    QTest::newRow("a dot in the name") << "/d/run 1.5"
                                       << "pdf" << QStringList{"pdf"} << "/d/run 1.5.pdf";
    QTest::newRow("another suffix") << "/d/store.v2"
                                    << "xls" << xls << "/d/store.v2.xls";
    QTest::newRow("ends in a dot") << "/d/store."
                                   << "xls" << xls << "/d/store.xls";
    QTest::newRow("png stays") << "/d/chart.png"
                               << "jpg" << pictures << "/d/chart.png";
    QTest::newRow("picture without suffix") << "/d/chart"
                                            << "jpg" << pictures << "/d/chart.jpg";
    QTest::newRow("a dot in the folder only") << "/d.1/chart"
                                              << "jpg" << pictures << "/d.1/chart.jpg";
}

void TestFileChooser::completedName()
{
    QFETCH(QString, typed);
    QFETCH(QString, suffix);
    QFETCH(QStringList, accepted);
    QFETCH(QString, written);
    QCOMPARE(FileSuffix::complete(typed, suffix, accepted), written);
}

void TestFileChooser::foldersStartAtTheDocuments()
{
    const RecentFolders folders;
    QVERIFY(QFileInfo(RecentFolders::fallbackFolder()).isDir());
    QVERIFY(RecentFolders::fallbackFolder() != QCoreApplication::applicationDirPath());
    QCOMPARE(folders.folder(RecentFolders::Workbook), RecentFolders::fallbackFolder());
}

void TestFileChooser::foldersAreKeptPerKind()
{
    QTemporaryDir a;
    QTemporaryDir b;
    RecentFolders folders;
    folders.remember(RecentFolders::Pdf, a.filePath(QStringLiteral("report.pdf")));
    folders.remember(RecentFolders::Picture, b.filePath(QStringLiteral("chart.jpg")));
    QCOMPARE(folders.folder(RecentFolders::Pdf), a.path());
    QCOMPARE(folders.folder(RecentFolders::Picture), b.path());
    QCOMPARE(folders.folder(RecentFolders::Import), RecentFolders::fallbackFolder());

    RecentFolders restored;
    QMap<QString, QString> map = folders.toMap();
    map.insert(QStringLiteral("unknown kind"), a.path());
    restored.setMap(map);
    QCOMPARE(restored.toMap(), folders.toMap());
    QCOMPARE(restored.folder(RecentFolders::Pdf), a.path());
}

void TestFileChooser::foldersThatAreGoneAreNotUsed()
{
    RecentFolders folders;
    {
        QTemporaryDir gone;
        folders.remember(RecentFolders::Workbook, gone.filePath(QStringLiteral("a.xls")));
    }
    QCOMPARE(folders.folder(RecentFolders::Workbook), RecentFolders::fallbackFolder());
}

void TestFileChooser::saveAddsTheSuffixBeforeTheReplaceQuestion_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("answer"); // to the replace question
    QTest::addColumn<QString>("chosen");

    QTest::newRow("new file") << "store" << false << 0 << "store.xls";
    QTest::newRow("replace") << "store" << true << int(QMessageBox::Yes) << "store.xls";
    QTest::newRow("keep") << "store" << true << int(QMessageBox::No) << QString();
    QTest::newRow("full name, replace")
        << "store.xls" << true << int(QMessageBox::Yes) << "store.xls";
}

void TestFileChooser::saveAddsTheSuffixBeforeTheReplaceQuestion()
{
    QFETCH(QString, typed);
    QFETCH(bool, exists);
    QFETCH(int, answer);
    QFETCH(QString, chosen);

    QTemporaryDir dir;
    RecentFolders folders;
    folders.remember(RecentFolders::Workbook, dir.filePath(QStringLiteral("earlier.xls")));
    if (exists)
        touch(dir.filePath(QStringLiteral("store.xls")));

    QString startFolder;
    QString question;
    typeIntoFileDialog(typed, &startFolder);
    if (exists) {
        // The question comes after the file dialog has closed.
        QTimer::singleShot(0, [&]() {
            answerNextModal([&](QWidget *modal) {
                auto *box = qobject_cast<QMessageBox *>(modal);
                if (!box) {
                    modal->close();
                    return;
                }
                question = box->text();
                box->button(QMessageBox::StandardButton(answer))->click();
            });
        });
    }
    const QString fileName = FileChooser::saveFileName(nullptr, QStringLiteral("Save"),
                                                       QStringLiteral("Excel File(*.xls)"), {"xls"},
                                                       &folders, RecentFolders::Workbook);

    QCOMPARE(startFolder, dir.path());
    QCOMPARE(fileName, chosen.isEmpty() ? QString() : dir.filePath(chosen));
    if (exists)
        QVERIFY2(
            question.contains(QDir::toNativeSeparators(dir.filePath(QStringLiteral("store.xls")))),
            qPrintable(question));
}

void TestFileChooser::openRemembersTheFolder()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("readings.xls"));
    touch(file);
    RecentFolders folders;
    QString startFolder;
    typeIntoFileDialog(file, &startFolder);
    QCOMPARE(FileChooser::openFileName(nullptr, QStringLiteral("Open"),
                                       QStringLiteral("Excel File(*.xls)"), &folders,
                                       RecentFolders::Import),
             file);
    QCOMPARE(startFolder, RecentFolders::fallbackFolder());
    QCOMPARE(folders.folder(RecentFolders::Import), dir.path());
    QCOMPARE(folders.folder(RecentFolders::Workbook), RecentFolders::fallbackFolder());
}

void TestFileChooser::cancelRemembersNothing()
{
    RecentFolders folders;
    answerNextModal([](QWidget *modal) { modal->close(); });
    QCOMPARE(FileChooser::saveFileName(nullptr, QStringLiteral("Save"),
                                       QStringLiteral("PDF file(*.pdf)"), {"pdf"}, &folders,
                                       RecentFolders::Pdf),
             QString());
    QVERIFY(folders.toMap().isEmpty());
}

QTEST_MAIN(TestFileChooser)
#include "tst_filechooser.moc"
