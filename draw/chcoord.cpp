#include "chcoord.h"
#include "mousec.h"

#include <algorithm>
#include <cmath>

// Held at the press, these keep a drag from panning or zooming.
static const Qt::KeyboardModifiers blocking
    = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

ChCoord::ChCoord(QObject *parent)
    : QObject(parent)
{
}

void ChCoord::attachMouse(MouseC *m)
{
    mouse = m;
    connect(m, &MouseC::mMoved, this, &ChCoord::mMoved);
    connect(m, &MouseC::mPressed, this, &ChCoord::mPressed);
    connect(m, &MouseC::mReleased, this, &ChCoord::mReleased);
    connect(m, &MouseC::mDClicked, this, &ChCoord::mDClicked);
    connect(m, &MouseC::wheelMoved, this, &ChCoord::wheelMoved);
}

void ChCoord::setWindow(double x0, double y0, double x1, double y1)
{
    winX0 = plotX0 = x0;
    winY0 = plotY0 = y0;
    winX1 = plotX1 = x1;
    winY1 = plotY1 = y1;
}

void ChCoord::updatePlotArea()
{
    plotX0 = winX0 + std::trunc(marginLeft * (winX1 - winX0));
    plotX1 = winX1 - std::trunc(marginRight * (winX1 - winX0));
    plotY0 = winY0 + std::trunc(marginBottom * (winY1 - winY0));
    plotY1 = winY1 - std::trunc(marginTop * (winY1 - winY0));
}

void ChCoord::setDataRange(double x0, double y0, double x1, double y1)
{
    dataX0 = x0;
    dataY0 = y0;
    dataX1 = x1;
    dataY1 = y1;
}

double ChCoord::toScreenX(double x) const
{
    return plotX0 + (x - dataX0) * ((plotX1 - plotX0) / (dataX1 - dataX0));
}

double ChCoord::toScreenY(double y) const
{
    return plotY0 + (y - dataY0) * ((plotY1 - plotY0) / (dataY1 - dataY0));
}

double ChCoord::toScreenDX(double d) const { return ((plotX1 - plotX0) / (dataX1 - dataX0)) * d; }

double ChCoord::toDataX(double s) const
{
    return dataX0 + (s - plotX0) * ((dataX1 - dataX0) / (plotX1 - plotX0));
}

double ChCoord::toDataY(double s) const
{
    return dataY0 + (s - plotY0) * ((dataY1 - dataY0) / (plotY1 - plotY0));
}

bool ChCoord::nearXEdge(double x) const
{
    const double band = std::fabs(plotX1 - plotX0) * edgeBand;
    const double lo = std::min(plotX0, plotX1);
    const double hi = std::max(plotX0, plotX1);
    return x < lo + band || x > hi - band;
}

bool ChCoord::nearYEdge(double y) const
{
    const double band = std::fabs(plotY1 - plotY0) * edgeBand;
    const double lo = std::min(plotY0, plotY1);
    const double hi = std::max(plotY0, plotY1);
    return y < lo + band || y > hi - band;
}

void ChCoord::clearScale() { dataX0 = dataX1 = dataY0 = dataY1 = 0; }

void ChCoord::mMoved()
{
    if (!mouse) {
        emit updated();
        return;
    }
    const double cx = toDataX(mouse->nowX);
    const double cy = toDataY(mouse->nowY);
    emit nowPos(cx, cy);
    if (mouse->pressed && mouse->pressButton == Qt::LeftButton
        && !(mouse->pressModifiers & blocking)) {
        const double dx = toDataX(mouse->prevX) - cx;
        const double dy = toDataY(mouse->prevY) - cy;
        dataX0 += dx;
        dataX1 += dx;
        dataY0 += dy;
        dataY1 += dy;
    }
    emit updated();
}

void ChCoord::mPressed() { emit updated(); }

void ChCoord::mReleased()
{
    if (mouse && mouse->pressButton == Qt::RightButton && !(mouse->pressModifiers & blocking)) {
        const int x1 = mouse->pressX, y1 = mouse->pressY;
        const int x2 = mouse->releaseX, y2 = mouse->releaseY;
        const double nx0 = toDataX(std::min(x1, x2));
        const double nx1 = toDataX(std::max(x1, x2));
        const double ny0 = toDataY(std::max(y1, y2));
        const double ny1 = toDataY(std::min(y1, y2));
        // A click, or a box flat in x or y, gives an axis equal bounds, and the mapping
        // divides by the extent of the data range: such a box is ignored.
        if (usableRange(nx0, nx1) && usableRange(ny0, ny1))
            setDataRange(nx0, ny0, nx1, ny1);
    }
    emit updated();
}

void ChCoord::mDClicked() { emit updated(); }

void ChCoord::wheelMoved(int step)
{
    if (!mouse) {
        emit updated();
        return;
    }
    const double factor = step < 0 ? 1.1 : 1 / 1.1;
    const double cx = toDataX(mouse->nowX);
    const double cy = toDataY(mouse->nowY);
    const bool nx = nearXEdge(mouse->nowX);
    const bool ny = nearYEdge(mouse->nowY);
    const bool zoomX = !(nx && !ny);
    const bool zoomY = !(ny && !nx);
    if (zoomX)
        zoomAxis(cx, factor, dataX0, dataX1);
    if (zoomY)
        zoomAxis(cy, factor, dataY0, dataY1);
    emit updated();
}

bool ChCoord::usableRange(double lo, double hi) { return lo != hi && std::isfinite(hi - lo); }

// Scales lo..hi about centre by factor, unless the mapping could no longer use the result:
// bounds or a span that overflow, a span too small against the bounds for neighbouring pixels
// to get distinct values (the bounds themselves would soon fall on one double), or one so
// small that the pixels-per-unit scale overflows.
void ChCoord::zoomAxis(double centre, double factor, double &lo, double &hi)
{
    const double newLo = centre + (lo - centre) * factor;
    const double newHi = centre + (hi - centre) * factor;
    if (!usableRange(newLo, newHi) || (newLo < newHi) != (lo < hi))
        return;
    if (factor < 1) {
        const double span = std::fabs(newHi - newLo);
        const double magnitude = std::max(std::fabs(newLo), std::fabs(newHi));
        if (span < 1e-9 * magnitude || span < 1e-200)
            return;
    }
    lo = newLo;
    hi = newHi;
}
