#pragma once

#include <QFont>
#include <QRectF>
#include <QString>

class QPaintDevice;
class QPainter;

// A text wrapped into a width at a device's resolution: words that do not fit move to the next
// line, a word longer than the width breaks anywhere, line breaks in the text stay. Right-to-left
// paragraphs run and align from the right. Lines can be drawn in runs, so that a long text can
// continue on the next page.
class ReportText
{
public:
    ReportText(const QString &text, const QFont &font, qreal width, QPaintDevice *device);

    int lineCount() const { return m_lineCount; }
    qreal lineHeight() const { return m_lineHeight; }
    qreal height() const { return m_lineCount * m_lineHeight; }
    // How many lines from first on fit into height; at least one, so that a page always advances.
    int linesFitting(int first, qreal height) const;

    // Draws lines first to first + count - 1 with the top of the first at topLeft.
    void draw(QPainter &painter, const QPointF &topLeft, int first, int count) const;

    // The font for text: without the letter spacing that turns ligatures off where the text has
    // a joining script (Arabic, Hebrew), whose letters must touch.
    static QFont fontFor(const QString &text, const QFont &font);
    // A single line cut with "…" to fit width.
    static QString elided(const QString &text, const QFont &font, qreal width,
                          QPaintDevice *device);

private:
    QString m_text;
    QFont m_font;
    qreal m_width;
    QPaintDevice *m_device;
    qreal m_lineHeight = 0;
    int m_lineCount = 0;
};
