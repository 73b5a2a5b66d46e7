#include "serialgaugesettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "lineparser.h"

namespace {

// Bounds that keep a mistyped value from hanging the transfer or the port.
constexpr int MinQuietMs = 100;
constexpr int MaxQuietMs = 60000;
constexpr int MaxExpected = 10000000;
constexpr int MaxCommandLength = 256;
// No gauge's range reaches beyond the values the line parser takes.
constexpr int MaxRangeUm = int(LineParser::MaxMicrometres);
// Far beyond any settings file written by hand or by the logger.
constexpr qint64 MaxFileBytes = 1 << 20;

// Text, in any 8-bit encoding: no control characters but tabs and line ends, and not too long.
bool isText(const QByteArray &bytes)
{
    if (bytes.size() > MaxFileBytes)
        return false;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t' && c != '\n' && c != '\r') || byte == 0x7f)
            return false;
    }
    return true;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("SerialGauge", text);
}

struct Choice
{
    const char *key;
    int value;
};

const Choice ParityChoices[] = {{"none", QSerialPort::NoParity},
                                {"even", QSerialPort::EvenParity},
                                {"odd", QSerialPort::OddParity},
                                {"space", QSerialPort::SpaceParity},
                                {"mark", QSerialPort::MarkParity}};
const Choice StopBitsChoices[] = {
    {"1", QSerialPort::OneStop}, {"1.5", QSerialPort::OneAndHalfStop}, {"2", QSerialPort::TwoStop}};
const Choice FlowChoices[] = {{"none", QSerialPort::NoFlowControl},
                              {"hardware", QSerialPort::HardwareControl},
                              {"software", QSerialPort::SoftwareControl}};

template<std::size_t N>
int readChoice(const QSettings &ini, const char *key, const Choice (&choices)[N], int fallback,
               QStringList *warnings)
{
    if (!ini.contains(QLatin1String(key)))
        return fallback;
    const QString text = ini.value(QLatin1String(key)).toString().trimmed().toLower();
    QStringList keys;
    QString used;
    for (const Choice &choice : choices) {
        if (text == QLatin1String(choice.key))
            return choice.value;
        keys << QLatin1String(choice.key);
        if (choice.value == fallback)
            used = QLatin1String(choice.key);
    }
    warnings->append(tr("%1 \"%2\" is not one of %3; %4 is used instead")
                         .arg(QLatin1String(key), text, keys.join(QStringLiteral(", ")), used));
    return fallback;
}

template<std::size_t N>
QString choiceKey(const Choice (&choices)[N], int value)
{
    for (const Choice &choice : choices)
        if (choice.value == value)
            return QLatin1String(choice.key);
    return QLatin1String(choices[0].key);
}

int readInt(const QSettings &ini, const char *key, int fallback, int min, int max,
            QStringList *warnings)
{
    if (!ini.contains(QLatin1String(key)))
        return fallback;
    bool ok = false;
    const QString text = ini.value(QLatin1String(key)).toString().trimmed();
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max) {
        const int used = ok ? qBound(min, value, max) : fallback;
        warnings->append(tr("%1 \"%2\" is not a whole number from %3 to %4; %5 is used instead")
                             .arg(QLatin1String(key), text)
                             .arg(min)
                             .arg(max)
                             .arg(used));
        return used;
    }
    return value;
}

} // namespace

SerialGaugeSettings SerialGaugeSettings::load(const QString &fileName)
{
    SerialGaugeSettings s;
    s.fileFound = QFileInfo(fileName).isFile();
    if (!s.fileFound)
        return s;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        s.warnings.append(tr("the file cannot be read (%1); the default settings are used instead")
                              .arg(file.errorString()));
        return s;
    }
    // A damaged or foreign file would give settings made of noise.
    if (!isText(file.read(MaxFileBytes + 1))) {
        s.warnings.append(tr("the content is not text; the default settings are used instead"));
        return s;
    }
    file.close();
    const QSettings ini(fileName, QSettings::IniFormat);

    const QString port = ini.value(QStringLiteral("port"), s.port).toString().trimmed();
    if (!port.isEmpty())
        s.port = port;
    s.baudRate = readInt(ini, "baudRate", s.baudRate, 50, 4000000, &s.warnings);
    s.dataBits = QSerialPort::DataBits(readInt(ini, "dataBits", s.dataBits, 5, 8, &s.warnings));
    s.parity = QSerialPort::Parity(readChoice(ini, "parity", ParityChoices, s.parity, &s.warnings));
    s.stopBits = QSerialPort::StopBits(
        readChoice(ini, "stopBits", StopBitsChoices, s.stopBits, &s.warnings));
    s.flowControl = QSerialPort::FlowControl(
        readChoice(ini, "flowControl", FlowChoices, s.flowControl, &s.warnings));

    // A named preset, or "custom" with the pattern itself.
    const QString format = ini.value(QStringLiteral("format")).toString().trimmed();
    if (const LineFormat::Preset *preset = LineFormat::presetForId(format)) {
        s.format.pattern = preset->pattern;
    } else if (format.compare(QLatin1String("custom"), Qt::CaseInsensitive) == 0 ||
               (format.isEmpty() && ini.contains(QStringLiteral("pattern")))) {
        s.format.pattern = ini.value(QStringLiteral("pattern")).toString();
    } else if (!format.isEmpty()) {
        s.warnings.append(tr("format \"%1\" is unknown; %2 is used instead")
                              .arg(format, LineFormat::presets().constFirst().id));
    }
    if (ini.contains(QStringLiteral("unit"))) {
        const QString unit = ini.value(QStringLiteral("unit")).toString().trimmed().toLower();
        if (unit == QLatin1String("mil"))
            s.format.milByDefault = true;
        else if (unit != QLatin1String("um") && unit != QStringLiteral("\u03BCm") &&
                 unit != QStringLiteral("\u00B5m"))
            s.warnings.append(
                tr("unit \"%1\" is neither um nor mil; um is used instead").arg(unit));
    }
    s.format.basis = ini.value(QStringLiteral("basis")).toString().trimmed();
    if (ini.contains(QStringLiteral("overRange"))) {
        QStringList tokens;
        for (const QString &token : ini.value(QStringLiteral("overRange")).toStringList())
            if (!token.trimmed().isEmpty())
                tokens << token.trimmed();
        s.format.overRangeTokens = tokens;
    }
    s.rangeUm = readInt(ini, "rangeUm", s.rangeUm, 1, MaxRangeUm, &s.warnings);

    s.memoryCommand =
        unescape(ini.value(QStringLiteral("memoryCommand")).toString()).left(MaxCommandLength);
    s.memoryCountPattern =
        ini.value(QStringLiteral("memoryCount"), s.memoryCountPattern).toString();
    s.memoryEndLine = ini.value(QStringLiteral("memoryEnd"), s.memoryEndLine).toString().trimmed();
    s.memoryQuietMs =
        readInt(ini, "memoryQuietMs", s.memoryQuietMs, MinQuietMs, MaxQuietMs, &s.warnings);
    s.memoryExpected =
        readInt(ini, "memoryExpected", s.memoryExpected, 0, MaxExpected, &s.warnings);
    return s;
}

bool SerialGaugeSettings::save(const QString &fileName) const
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSettings ini(fileName, QSettings::IniFormat);
    ini.clear();
    ini.setValue(QStringLiteral("port"), port);
    ini.setValue(QStringLiteral("baudRate"), baudRate);
    ini.setValue(QStringLiteral("dataBits"), int(dataBits));
    ini.setValue(QStringLiteral("parity"), choiceKey(ParityChoices, parity));
    ini.setValue(QStringLiteral("stopBits"), choiceKey(StopBitsChoices, stopBits));
    ini.setValue(QStringLiteral("flowControl"), choiceKey(FlowChoices, flowControl));
    if (const LineFormat::Preset *preset = LineFormat::presetForPattern(format.pattern)) {
        ini.setValue(QStringLiteral("format"), preset->id);
    } else {
        ini.setValue(QStringLiteral("format"), QStringLiteral("custom"));
        ini.setValue(QStringLiteral("pattern"), format.pattern);
    }
    ini.setValue(QStringLiteral("unit"),
                 format.milByDefault ? QStringLiteral("mil") : QStringLiteral("um"));
    ini.setValue(QStringLiteral("basis"), format.basis);
    ini.setValue(QStringLiteral("overRange"), format.overRangeTokens);
    ini.setValue(QStringLiteral("rangeUm"), rangeUm);
    ini.setValue(QStringLiteral("memoryCommand"), escape(memoryCommand));
    ini.setValue(QStringLiteral("memoryCount"), memoryCountPattern);
    ini.setValue(QStringLiteral("memoryEnd"), memoryEndLine);
    ini.setValue(QStringLiteral("memoryQuietMs"), memoryQuietMs);
    ini.setValue(QStringLiteral("memoryExpected"), memoryExpected);
    ini.sync();
    return ini.status() == QSettings::NoError;
}

QString SerialGaugeSettings::defaultFileName()
{
    const QString libDir = QCoreApplication::applicationDirPath() + QStringLiteral("/Lib");
    const QFileInfo beside(libDir + QStringLiteral("/serialgauge.ini"));
    if (QFileInfo(libDir).isWritable() && (!beside.exists() || beside.isWritable()))
        return beside.filePath();
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/serialgauge.ini");
}

QByteArray SerialGaugeSettings::unescape(const QString &text)
{
    const QByteArray in = text.toUtf8();
    QByteArray out;
    for (int i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c != '\\' || i + 1 == in.size()) {
            out.append(c);
            continue;
        }
        const char next = in.at(++i);
        if (next == 'r') {
            out.append('\r');
        } else if (next == 'n') {
            out.append('\n');
        } else if (next == 't') {
            out.append('\t');
        } else if (next == 'x' && i + 2 < in.size()) {
            bool ok = false;
            const int value = in.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out.append(char(value));
                i += 2;
            } else {
                out.append("\\x");
            }
        } else if (next == '\\') {
            out.append('\\');
        } else {
            out.append('\\');
            out.append(next);
        }
    }
    return out;
}

QString SerialGaugeSettings::escape(const QByteArray &bytes)
{
    QString out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            out += QStringLiteral("\\r");
        else if (c == '\n')
            out += QStringLiteral("\\n");
        else if (c == '\t')
            out += QStringLiteral("\\t");
        else if (c == '\\')
            out += QStringLiteral("\\\\");
        else if (byte < 0x20 || byte >= 0x7f)
            out += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        else
            out += QLatin1Char(c);
    }
    return out;
}
