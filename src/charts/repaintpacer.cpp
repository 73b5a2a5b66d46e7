#include "repaintpacer.h"

#include <algorithm>

namespace {

// Redrawing the line after new points takes at most this share (1 / n) of the time.
const qint64 RecomposeCostShare = 4;
// While readings arrive in bulk, more than one in this time (a download, a fast serial gauge),
// the chart follows them at the frame interval at most, which the eye cannot tell from more
// frames. A gauge's live readings, ten or so a second, are drawn one by one.
const qint64 BulkPointSpacingNs = 4 * 1000 * 1000;
const qint64 BulkFrameNs = 20 * 1000 * 1000;

} // namespace

qint64 RepaintPacer::waitNs() const
{
    qint64 spacingNs = RecomposeCostShare * m_recomposeNs;
    if (m_bulk)
        spacingNs = std::max(spacingNs, BulkFrameNs);
    return m_sinceRecompose.isValid() ? spacingNs - m_sinceRecompose.nsecsElapsed() : 0;
}

void RepaintPacer::recomposeStarted()
{
    const qint64 sinceLast = m_sinceRecompose.isValid() ? m_sinceRecompose.nsecsElapsed() : 0;
    m_bulk = m_pointsSinceRecompose > 1 && sinceLast < m_pointsSinceRecompose * BulkPointSpacingNs;
    m_pointsSinceRecompose = 0;
    m_sinceRecompose.start();
}
