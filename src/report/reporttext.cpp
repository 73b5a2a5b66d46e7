#include "reporttext.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

namespace {

// QTextLayout breaks lines at QChar::LineSeparator only.
QString withLineSeparators(QString text)
{
    text.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return text;
}

// Lays out the whole text; the caller draws or counts the lines.
void layOut(QTextLayout &layout, qreal width, bool rightToLeft)
{
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setAlignment((rightToLeft ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignAbsolute);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
        line.setLineWidth(width);
    layout.endLayout();
}

} // namespace

ReportText::ReportText(const QString &text, const QFont &font, qreal width, QPaintDevice *device)
    : m_text(withLineSeparators(text))
    , m_font(fontFor(text, font))
    , m_width(width)
    , m_device(device)
{
    m_lineHeight = QFontMetricsF(m_font, device).lineSpacing();
    QTextLayout layout(m_text, m_font, m_device);
    layOut(layout, m_width, m_text.isRightToLeft());
    m_lineCount = std::max(1, layout.lineCount());
}

int ReportText::linesFitting(int first, qreal height) const
{
    const int room = m_lineHeight > 0 ? int(std::floor(height / m_lineHeight)) : 1;
    return std::clamp(room, 1, std::max(1, m_lineCount - first));
}

void ReportText::draw(QPainter &painter, const QPointF &topLeft, int first, int count) const
{
    QTextLayout layout(m_text, m_font, m_device);
    layOut(layout, m_width, m_text.isRightToLeft());
    painter.save();
    painter.setFont(m_font);
    const int last = std::min(layout.lineCount(), first + count);
    for (int i = first; i < last; ++i) {
        const QTextLine line = layout.lineAt(i);
        // Every line sits at its own slot, whatever the font fallback did to its height.
        const QPointF slot(topLeft.x(), topLeft.y() + (i - first) * m_lineHeight);
        line.draw(&painter, slot - QPointF(0, line.y()));
    }
    painter.restore();
}

QFont ReportText::fontFor(const QString &text, const QFont &font)
{
    const bool joining = std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c.unicode() >= 0x0590 && c.unicode() < 0x0900) ||
               (c.unicode() >= 0xFB1D && c.unicode() < 0xFF00);
    });
    if (!joining)
        return font;
    QFont plain = font;
    plain.setLetterSpacing(QFont::AbsoluteSpacing, 0);
    return plain;
}

QString ReportText::elided(const QString &text, const QFont &font, qreal width,
                           QPaintDevice *device)
{
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QFontMetricsF(fontFor(line, font), device).elidedText(line, Qt::ElideRight, width);
}
