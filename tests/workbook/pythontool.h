#pragma once

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTest>

// Runs one of the Python scripts beside the tests with Debian's python3, which has xlrd and xlwt.
inline bool runPythonScript(const QString &script, const QStringList &arguments,
                            QByteArray *output = nullptr)
{
    QProcess process;
    // Unbuffered, Python hands a large text to the pipe in one write and drops whatever a signal
    // to the process (a stop and continue, say) cut short; buffered, it writes the rest too.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("PYTHONUNBUFFERED"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(RQ_SYSTEM_PYTHON),
                  QStringList{QStringLiteral(RQ_TEST_SOURCE_DIR "/") + script} + arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning().noquote() << script << "failed:" << process.readAllStandardError();
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

inline bool pythonHasXlsModules()
{
    QProcess process;
    process.start(QStringLiteral(RQ_SYSTEM_PYTHON),
                  {QStringLiteral("-c"), QStringLiteral("import xlrd, xlwt")});
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// A sheet of a workbook as xlrd reads it (see xlsdump.py); empty when xlrd refuses it.
inline QJsonObject dumpWorkbook(const QString &fileName, int sheet = 0)
{
    QByteArray json;
    if (!runPythonScript(QStringLiteral("xlsdump.py"), {fileName, QString::number(sheet)}, &json))
        return QJsonObject();
    return QJsonDocument::fromJson(json).object();
}
