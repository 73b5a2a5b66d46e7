#include "optionsfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

QString OptionsFile::defaultPath()
{
    // An installation folder the user cannot write would make every close fail to save; the
    // settings then live in the user's own configuration folder instead.
    const QString appDir = QCoreApplication::applicationDirPath();
    const QFileInfo beside(appDir + QStringLiteral("/options.xml"));
    if (QFileInfo(appDir).isWritable() && (!beside.exists() || beside.isWritable()))
        return beside.filePath();
    const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(userDir);
    return userDir + QStringLiteral("/options.xml");
}

bool OptionsFile::write(const QString &path, const QByteArray &geometry, const QByteArray &state,
                        const QString &sceneFileName, const QString &devicePlugin,
                        const QMap<QString, QString> &folders, const QString &teamServer)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument(QStringLiteral("1.0"));
    xml.writeStartElement(QStringLiteral("options"));
    xml.writeTextElement(QStringLiteral("Geometry"), QString::fromLatin1(geometry.toHex()));
    xml.writeTextElement(QStringLiteral("State"), QString::fromLatin1(state.toHex()));
    xml.writeTextElement(QStringLiteral("SceneFileName"), sceneFileName);
    if (!devicePlugin.isEmpty())
        xml.writeTextElement(QStringLiteral("DevicePlugin"), devicePlugin);
    if (!folders.isEmpty()) {
        xml.writeStartElement(QStringLiteral("Folders"));
        for (auto it = folders.cbegin(); it != folders.cend(); ++it) {
            xml.writeStartElement(QStringLiteral("Folder"));
            xml.writeAttribute(QStringLiteral("kind"), it.key());
            xml.writeCharacters(it.value());
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    if (!teamServer.isEmpty())
        xml.writeTextElement(QStringLiteral("TeamServer"), teamServer);
    xml.writeEndElement();
    xml.writeEndDocument();
    file.close();
    return file.error() == QFileDevice::NoError && !xml.hasError();
}

OptionsFile::Contents OptionsFile::read(const QString &path)
{
    Contents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return contents;

    QXmlStreamReader xml(&file);
    QString element;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("Folder")) {
            const QString kind = xml.attributes().value(QLatin1String("kind")).toString();
            const QString folder = xml.readElementText(QXmlStreamReader::SkipChildElements);
            if (!kind.isEmpty() && !folder.isEmpty())
                contents.folders.insert(kind, folder);
            element.clear();
        } else if (xml.isStartElement()) {
            if (xml.name() != QLatin1String("options") && xml.name() != QLatin1String("Folders"))
                element = xml.name().toString();
        } else if (xml.isCharacters() && !xml.isWhitespace() && !element.isEmpty()) {
            const QString text = xml.text().toString();
            if (element == QLatin1String("Geometry"))
                contents.geometry = QByteArray::fromHex(text.toLatin1());
            else if (element == QLatin1String("State"))
                contents.state = QByteArray::fromHex(text.toLatin1());
            else if (element == QLatin1String("SceneFileName"))
                contents.sceneFileName = text;
            else if (element == QLatin1String("DevicePlugin"))
                contents.devicePlugin = text;
            else if (element == QLatin1String("TeamServer"))
                contents.teamServer = text;
            element.clear();
        }
    }
    return contents;
}
