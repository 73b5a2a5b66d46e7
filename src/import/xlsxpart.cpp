#include "xlsxpart.h"

#include <KArchive>
#include <KArchiveFile>

#include <QCoreApplication>
#include <QStringList>

namespace {
// Inflated and handed to the XML reader at a time.
constexpr qint64 ChunkBytes = 64 * 1024;

QString tr(const char *text)
{
    return QCoreApplication::translate("XlsxReader", text);
}
} // namespace

XlsxPart::XlsxPart(const Files &files)
    : m_files(files)
{
}

XlsxPart::~XlsxPart() = default;

bool XlsxPart::open(const QString &path, qint64 maxBytes)
{
    m_path = path;
    const KArchiveFile *file = m_files.value(path.toLower());
    if (!file)
        return fail(tr("the part %1 is missing").arg(path));
    if (file->size() > maxBytes || file->size() < 0)
        return fail(tr("the part %1 is larger than %2 MB").arg(path).arg(maxBytes >> 20));
    m_declared = file->size();
    m_file.reset(file->createDevice());
    if (!m_file || !m_file->isOpen())
        return fail(tr("the part %1 cannot be inflated").arg(path));
    return true;
}

bool XlsxPart::next()
{
    if (!m_error.isEmpty() || !m_file)
        return false;
    for (;;) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        if (token == QXmlStreamReader::DTD)
            return fail(tr("the part %1 declares a document type").arg(m_path));
        if (token == QXmlStreamReader::EndDocument)
            return false;
        if (token == QXmlStreamReader::StartElement)
            m_attributes = m_xml.attributes();
        if (token != QXmlStreamReader::Invalid)
            return true;
        if (m_xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            return fail(
                tr("the part %1 is not well-formed XML (%2)").arg(m_path, m_xml.errorString()));
        if (m_ended)
            return fail(tr("the part %1 ends early").arg(m_path));
        if (!refill())
            return false;
    }
}

bool XlsxPart::refill()
{
    // One byte more than declared is enough to tell that the declaration lied.
    const qint64 wanted = std::min(ChunkBytes, m_declared - m_read + 1);
    m_chunk.resize(int(wanted));
    const qint64 got = m_file->read(m_chunk.data(), wanted);
    if (got < 0)
        return fail(tr("the part %1 cannot be inflated").arg(m_path));
    m_read += got;
    if (m_read > m_declared)
        return fail(tr("the part %1 holds more than its declared size").arg(m_path));
    if (got == 0) {
        m_ended = true;
        return true;
    }
    m_chunk.resize(int(got));
    m_xml.addData(m_chunk);
    return true;
}

bool XlsxPart::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    return false;
}

QStringRef XlsxPart::attribute(QLatin1String name) const
{
    for (const QXmlStreamAttribute &attribute : m_attributes) {
        if (attribute.name() == name)
            return attribute.value();
    }
    return QStringRef();
}

QString XlsxPart::resolve(const QString &base, const QString &target)
{
    QStringList parts;
    if (!target.startsWith(QLatin1Char('/'))) {
        parts = base.split(QLatin1Char('/'));
        parts.removeLast();
    }
    for (const QString &part : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else if (part != QLatin1String(".")) {
            parts.append(part);
        }
    }
    return parts.join(QLatin1Char('/'));
}
