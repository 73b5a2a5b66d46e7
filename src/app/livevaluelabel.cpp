#include "livevaluelabel.h"

#include <algorithm>

#include <QFontMetricsF>

namespace {

// As wide as the widest reading the gauge shows ("1250", "49.21", "-OL"), so that the size does
// not jump from reading to reading.
const char WidestReading[] = "00000";
constexpr double ReferencePixels = 100.0;
// Cap height and descenders need room above and below the digits.
constexpr double HeightShare = 0.8;
constexpr double WidthShare = 0.95;

} // namespace

LiveValueLabel::LiveValueLabel(QWidget *parent)
    : QLabel(parent)
{
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(MinPixelSize);
    setFont(bold);
    setAlignment(Qt::AlignCenter);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

int LiveValueLabel::fittingPixelSize(const QFont &font, const QString &sample, const QSize &box)
{
    QFont reference = font;
    reference.setPixelSize(int(ReferencePixels));
    const QFontMetricsF metrics(reference);
    const double width = std::max<double>(1.0, metrics.horizontalAdvance(sample));
    const double byWidth = box.width() * WidthShare * ReferencePixels / width;
    const double byHeight = box.height() * HeightShare;
    return std::max(MinPixelSize, int(std::min(byWidth, byHeight)));
}

QSize LiveValueLabel::sizeHint() const
{
    return minimumSizeHint();
}

QSize LiveValueLabel::minimumSizeHint() const
{
    // From the smallest font, not the current one: a hint that grew with the font would make
    // the layout grow the label again.
    QFont smallest = font();
    smallest.setPixelSize(MinPixelSize);
    const QFontMetrics metrics(smallest);
    return QSize(metrics.horizontalAdvance(QLatin1String(WidestReading)), metrics.height());
}

void LiveValueLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fitFont();
}

void LiveValueLabel::fitFont()
{
    const QString shown = text().trimmed();
    const QString sample =
        shown.size() > int(sizeof(WidestReading)) - 1 ? shown : QString::fromLatin1(WidestReading);
    const int pixels = fittingPixelSize(font(), sample, contentsRect().size());
    if (pixels == font().pixelSize())
        return;
    QFont fitted = font();
    fitted.setPixelSize(pixels);
    setFont(fitted);
}
