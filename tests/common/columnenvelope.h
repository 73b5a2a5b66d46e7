#pragma once

#include <QPolygon>

namespace charttest {

// Thins a polyline whose x never decreases: of the vertices in one pixel column it keeps the
// first, the last, the first and last change of row and the highest and lowest in between (the
// first and last column stay whole). Stroked with a one-pixel aliased pen it covers the same
// pixels as the input with at most six vertices per column, however many readings share it: the
// thinning the chart's line is checked against, vertex by vertex.
QPolygon columnEnvelope(const QPolygon &polyline);

} // namespace charttest
