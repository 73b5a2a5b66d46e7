#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>

#include "lineformat.h"

// What the serial gauge's plug-in needs to know about the port, the lines and the memory, kept in
// serialgauge.ini (INI format, [General]). Missing or unusable keys take the defaults below, and
// each problem is noted in warnings for the user.
struct SerialGaugeSettings
{
    // "auto": the first port of the gauge's own USB interface (vendor 0x0483, product 0x5740).
    QString port = QStringLiteral("auto");
    qint32 baudRate = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;

    LineFormat format;
    // The top of the gauge's measuring range in micrometres, from 0.
    int rangeUm = 1250;

    // Sent to ask for the memory; empty when the gauge sends it from its own keys.
    QByteArray memoryCommand;
    // A line that announces how many stored readings follow, with the group `count`.
    QString memoryCountPattern = QStringLiteral(R"(^\s*N\s*=\s*(?<count>\d+)\s*$)");
    // The line that ends the transfer; empty when only the quiet time ends it.
    QString memoryEndLine = QStringLiteral("END");
    // The transfer ends when the gauge has been quiet this long.
    int memoryQuietMs = 2000;
    // The progress bar's length when the gauge does not announce a count; 0 when unknown.
    int memoryExpected = 0;

    bool fileFound = false;
    QStringList warnings;

    static SerialGaugeSettings load(const QString &fileName);
    // False when the file cannot be written.
    bool save(const QString &fileName) const;

    // Lib/serialgauge.ini beside the logger, or the user's configuration folder when Lib cannot be
    // written (an installation folder).
    static QString defaultFileName();

    // "\r", "\n", "\t", "\\" and "\xNN" in a command as typed, and back.
    static QByteArray unescape(const QString &text);
    static QString escape(const QByteArray &bytes);
};
