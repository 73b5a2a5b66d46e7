#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// Spaces the time chart's redraws after new points. Every new point redraws the whole line, and
// a gauge downloading its memory sends readings faster than a large line can be redrawn, so
// redraws take a bounded share of the time, and while readings arrive in bulk, come at a frame
// interval at most; a reading at a time is still drawn at once.
class RepaintPacer
{
public:
    void addPoints(int count) { m_pointsSinceRecompose += count; }
    // Nanoseconds until the next redraw is due; 0 or less: now.
    qint64 waitNs() const;
    // Around a recomposition of the axes and lines, whose cost spaces the redraws after it.
    void recomposeStarted();
    void recomposeFinished() { m_recomposeNs = m_sinceRecompose.nsecsElapsed(); }

private:
    QElapsedTimer m_sinceRecompose; // started when the axes and lines were last recomposed
    qint64 m_recomposeNs = 0;       // what that recomposition took
    int m_pointsSinceRecompose = 0;
    bool m_bulk = false; // the last recomposition showed readings that arrived in bulk
};
