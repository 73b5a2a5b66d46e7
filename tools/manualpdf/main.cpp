// manualpdf <manual.md> <output.pdf> <picture folder>
// Renders the Markdown user manual to an A4 PDF; its pictures are named relative to the picture
// folder. Runs at build time, without a display.

#include <cstdio>
#include <utility>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>

namespace {

// The offscreen platform has no fixed-pitch system font, so the Markdown importer's code font
// comes out proportional; name a monospace family explicitly. The importer sets a font family
// only on code spans and code blocks.
void useMonospaceForCode(QTextDocument &document)
{
    std::vector<std::pair<int, int>> ranges; // position, length
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const bool codeBlock = block.blockFormat().hasProperty(QTextFormat::BlockCodeFence);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (codeBlock || fragment.charFormat().hasProperty(QTextFormat::FontFamily))
                ranges.emplace_back(fragment.position(), fragment.length());
        }
    }
    QTextCharFormat mono;
    mono.setFontFamily(QStringLiteral("monospace"));
    mono.setFontStyleHint(QFont::Monospace);
    mono.setFontFixedPitch(true);
    mono.setFontPointSize(document.defaultFont().pointSizeF());
    QTextCursor cursor(&document);
    for (const auto &range : ranges) {
        cursor.setPosition(range.first);
        cursor.setPosition(range.first + range.second, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(mono);
    }
}

void ruleTables(QTextDocument &document)
{
    for (QTextFrame *frame : document.rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setBorder(1);
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderBrush(Qt::darkGray);
        format.setBorderCollapse(true);
        format.setCellSpacing(0);
        format.setCellPadding(3);
        table->setFormat(format);
    }
}

// Window pictures are wider than the text; they shrink to its width and keep their proportions.
void fitPictures(QTextDocument &document, double textWidth)
{
    QTextCursor cursor(&document);
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QImage picture =
                document.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            if (picture.isNull() || picture.width() <= textWidth)
                continue;
            image.setWidth(textWidth);
            image.setHeight(textWidth * picture.height() / picture.width());
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: manualpdf <manual.md> <output.pdf> <picture folder>\n");
        return 2;
    }

    QFile source(args.at(1));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "manualpdf: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    QTextDocument document;
    QFont font = document.defaultFont();
    font.setPointSize(10);
    document.setDefaultFont(font);
    const QUrl pictures = QUrl::fromLocalFile(QDir(args.at(3)).absolutePath() + QLatin1Char('/'));
    document.setBaseUrl(pictures);
    document.setMetaInformation(QTextDocument::DocumentUrl, pictures.toString());
    document.setMarkdown(QString::fromUtf8(source.readAll()));
    useMonospaceForCode(document);
    ruleTables(document);

    QFile target(args.at(2));
    if (!target.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "manualpdf: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    {
        QPdfWriter writer(&target);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setTitle(QStringLiteral("RQ-6814 Logger - Software User Manual"));
        writer.setCreator(QStringLiteral("RQ-6814 Logger"));
        // print() lays the document out in screen pixels of 96 per inch, with 2 cm margins.
        const double textWidth =
            writer.pageLayout().paintRect(QPageLayout::Inch).width() * 96.0 - 2 * 2 / 2.54 * 96.0;
        fitPictures(document, textWidth);
        document.print(&writer);
    }
    target.close();
    if (target.error() != QFileDevice::NoError) {
        target.remove();
        std::fprintf(stderr, "manualpdf: writing %s failed\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
