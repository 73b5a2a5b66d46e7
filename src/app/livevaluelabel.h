#pragma once

#include <QLabel>

// The live reading: the largest text in the window, readable from a step away. Its font grows
// and shrinks with the room the live panel gives it.
class LiveValueLabel : public QLabel
{
    Q_OBJECT
    Q_DISABLE_COPY(LiveValueLabel)

public:
    // No smaller than this, however small the panel: twice a usual window font.
    static constexpr int MinPixelSize = 28;

    explicit LiveValueLabel(QWidget *parent = nullptr);

    // The largest pixel size, at least MinPixelSize, at which sample fits box in font's family.
    static int fittingPixelSize(const QFont &font, const QString &sample, const QSize &box);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitFont();
};
