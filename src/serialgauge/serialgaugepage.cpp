#include "serialgaugepage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QSpinBox>

#include "lineparser.h"

namespace {

QComboBox *combo(const char *name, const QList<QPair<QString, int>> &items, int current)
{
    auto *box = new QComboBox();
    box->setObjectName(QLatin1String(name));
    for (const auto &item : items)
        box->addItem(item.first, item.second);
    box->setCurrentIndex(qMax(0, box->findData(current)));
    return box;
}

QLineEdit *edit(const char *name, const QString &text)
{
    auto *line = new QLineEdit(text);
    line->setObjectName(QLatin1String(name));
    return line;
}

} // namespace

SerialGaugePage::SerialGaugePage(const SerialGaugeSettings &settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("wgtSerialGauge"));

    cmbPort = new QComboBox();
    cmbPort->setObjectName(QStringLiteral("cmbPort"));
    cmbPort->setEditable(true);
    cmbPort->addItem(QStringLiteral("auto"));
    cmbPort->setItemData(0, tr("The gauge's own USB port"), Qt::ToolTipRole);
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        cmbPort->addItem(info.portName());
        cmbPort->setItemData(cmbPort->count() - 1, info.description(), Qt::ToolTipRole);
    }
    cmbPort->setEditText(settings.port);

    cmbBaudRate = new QComboBox();
    cmbBaudRate->setObjectName(QStringLiteral("cmbBaudRate"));
    cmbBaudRate->setEditable(true);
    cmbBaudRate->setValidator(new QIntValidator(50, 4000000, cmbBaudRate));
    for (int rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
        cmbBaudRate->addItem(QString::number(rate));
    cmbBaudRate->setEditText(QString::number(settings.baudRate));

    cmbDataBits = combo("cmbDataBits",
                        {{QStringLiteral("8"), QSerialPort::Data8},
                         {QStringLiteral("7"), QSerialPort::Data7},
                         {QStringLiteral("6"), QSerialPort::Data6},
                         {QStringLiteral("5"), QSerialPort::Data5}},
                        settings.dataBits);
    cmbParity = combo("cmbParity",
                      {{tr("None"), QSerialPort::NoParity},
                       {tr("Even"), QSerialPort::EvenParity},
                       {tr("Odd"), QSerialPort::OddParity},
                       {tr("Space"), QSerialPort::SpaceParity},
                       {tr("Mark"), QSerialPort::MarkParity}},
                      settings.parity);
    cmbStopBits = combo("cmbStopBits",
                        {{QStringLiteral("1"), QSerialPort::OneStop},
                         {QStringLiteral("1.5"), QSerialPort::OneAndHalfStop},
                         {QStringLiteral("2"), QSerialPort::TwoStop}},
                        settings.stopBits);
    cmbFlowControl = combo("cmbFlowControl",
                           {{tr("None"), QSerialPort::NoFlowControl},
                            {tr("Hardware (RTS/CTS)"), QSerialPort::HardwareControl},
                            {tr("Software (XON/XOFF)"), QSerialPort::SoftwareControl}},
                           settings.flowControl);

    cmbFormat = new QComboBox();
    cmbFormat->setObjectName(QStringLiteral("cmbFormat"));
    for (const LineFormat::Preset &preset : LineFormat::presets())
        cmbFormat->addItem(preset.example, preset.id);
    cmbFormat->addItem(tr("Custom"), QStringLiteral("custom"));
    edtPattern = edit("edtPattern", settings.format.pattern);
    cmbUnit = combo("cmbUnit", {{QStringLiteral("\u03BCm"), 0}, {QStringLiteral("mil"), 1}},
                    settings.format.milByDefault ? 1 : 0);
    edtBasis = edit("edtBasis", settings.format.basis);
    edtOverRange = edit("edtOverRange", settings.format.overRangeTokens.join(QStringLiteral(", ")));
    spnRange = new QSpinBox();
    spnRange->setObjectName(QStringLiteral("spnRange"));
    spnRange->setRange(1, int(LineParser::MaxMicrometres));
    spnRange->setSuffix(QStringLiteral(" \u03BCm"));
    spnRange->setValue(settings.rangeUm);
    patternEdited(settings.format.pattern);

    edtMemoryCommand =
        edit("edtMemoryCommand", SerialGaugeSettings::escape(settings.memoryCommand));
    edtMemoryCount = edit("edtMemoryCount", settings.memoryCountPattern);
    edtMemoryEnd = edit("edtMemoryEnd", settings.memoryEndLine);
    spnMemoryQuiet = new QSpinBox();
    spnMemoryQuiet->setObjectName(QStringLiteral("spnMemoryQuiet"));
    spnMemoryQuiet->setRange(100, 60000);
    spnMemoryQuiet->setSuffix(QStringLiteral(" ms"));
    spnMemoryQuiet->setValue(settings.memoryQuietMs);
    spnMemoryExpected = new QSpinBox();
    spnMemoryExpected->setObjectName(QStringLiteral("spnMemoryExpected"));
    spnMemoryExpected->setRange(0, 10000000);
    spnMemoryExpected->setSpecialValueText(tr("unknown"));
    spnMemoryExpected->setValue(settings.memoryExpected);

    auto *port = new QFormLayout();
    port->addRow(tr("Port"), cmbPort);
    port->addRow(tr("Baud rate"), cmbBaudRate);
    port->addRow(tr("Data bits"), cmbDataBits);
    port->addRow(tr("Parity"), cmbParity);
    port->addRow(tr("Stop bits"), cmbStopBits);
    port->addRow(tr("Flow control"), cmbFlowControl);
    auto *portBox = new QGroupBox(tr("Serial port"));
    portBox->setLayout(port);

    auto *line = new QFormLayout();
    line->addRow(tr("Line format"), cmbFormat);
    line->addRow(tr("Pattern"), edtPattern);
    line->addRow(tr("Unit without one"), cmbUnit);
    line->addRow(tr("Basis without one"), edtBasis);
    line->addRow(tr("Over-range words"), edtOverRange);
    line->addRow(tr("Measures up to"), spnRange);
    auto *lineBox = new QGroupBox(tr("Readings"));
    lineBox->setLayout(line);

    auto *memory = new QFormLayout();
    memory->addRow(tr("Command"), edtMemoryCommand);
    memory->addRow(tr("Count line"), edtMemoryCount);
    memory->addRow(tr("End line"), edtMemoryEnd);
    memory->addRow(tr("Ends after quiet"), spnMemoryQuiet);
    memory->addRow(tr("Expected readings"), spnMemoryExpected);
    auto *memoryBox = new QGroupBox(tr("Memory download"));
    memoryBox->setLayout(memory);

    // Room for a pattern of some length without scrolling.
    const int wide = edtPattern->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40;
    edtPattern->setMinimumWidth(wide);
    edtMemoryCount->setMinimumWidth(wide);
    auto *layout = new QGridLayout();
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(portBox, 0, 0);
    layout->addWidget(lineBox, 0, 1);
    layout->addWidget(memoryBox, 1, 0, 1, 2);
    layout->setRowStretch(2, 1);
    setLayout(layout);

    connect(cmbFormat, QOverload<int>::of(&QComboBox::activated), this,
            &SerialGaugePage::presetChosen);
    connect(edtPattern, &QLineEdit::textEdited, this, &SerialGaugePage::patternEdited);
}

void SerialGaugePage::presetChosen(int index)
{
    if (const LineFormat::Preset *preset =
            LineFormat::presetForId(cmbFormat->itemData(index).toString()))
        edtPattern->setText(preset->pattern);
}

void SerialGaugePage::patternEdited(const QString &pattern)
{
    const LineFormat::Preset *preset = LineFormat::presetForPattern(pattern);
    cmbFormat->setCurrentIndex(cmbFormat->findData(preset ? preset->id : QStringLiteral("custom")));
}

SerialGaugeSettings SerialGaugePage::settings() const
{
    SerialGaugeSettings s = m_settings;
    s.port = cmbPort->currentText().trimmed();
    if (s.port.isEmpty())
        s.port = QStringLiteral("auto");
    s.baudRate = cmbBaudRate->currentText().toInt();
    s.dataBits = QSerialPort::DataBits(cmbDataBits->currentData().toInt());
    s.parity = QSerialPort::Parity(cmbParity->currentData().toInt());
    s.stopBits = QSerialPort::StopBits(cmbStopBits->currentData().toInt());
    s.flowControl = QSerialPort::FlowControl(cmbFlowControl->currentData().toInt());
    s.format.pattern = edtPattern->text();
    s.format.milByDefault = cmbUnit->currentData().toInt() == 1;
    s.format.basis = edtBasis->text().trimmed();
    s.format.overRangeTokens.clear();
    for (const QString &token : edtOverRange->text().split(QLatin1Char(',')))
        if (!token.trimmed().isEmpty())
            s.format.overRangeTokens << token.trimmed();
    s.rangeUm = spnRange->value();
    s.memoryCommand = SerialGaugeSettings::unescape(edtMemoryCommand->text());
    s.memoryCountPattern = edtMemoryCount->text().trimmed();
    s.memoryEndLine = edtMemoryEnd->text().trimmed();
    s.memoryQuietMs = spnMemoryQuiet->value();
    s.memoryExpected = spnMemoryExpected->value();
    s.warnings.clear();
    return s;
}

QString SerialGaugePage::check() const
{
    const SerialGaugeSettings s = settings();
    if (s.baudRate <= 0)
        return tr("The baud rate is a whole number.");
    const LineParser parser(s.format);
    if (!parser.isValid())
        return tr("The line format: %1.").arg(parser.error());
    if (!s.memoryCountPattern.isEmpty()) {
        const QRegularExpression count(s.memoryCountPattern);
        if (!count.isValid() || !count.namedCaptureGroups().contains(QStringLiteral("count")))
            return tr("The count line needs a valid pattern with a group named count.");
    }
    return {};
}
