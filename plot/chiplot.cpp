#include "chiplot.h"

#include "ccolors.h"
#include "chcoord.h"
#include "chidata.h"
#include "drawtext.h"
#include "job.h"
#include "ticks.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cmath>

namespace {

void widenIfEmpty(double &lo, double &hi)
{
    if (lo < hi)
        return;
    const double half = lo == 0 ? 1.0 : std::abs(lo) * 0.1;
    const double centre = lo;
    lo = centre - half;
    hi = centre + half;
}

// std::trunc is a library call on baseline x86-64; a conversion through a 64-bit integer
// truncates the same way for every value that can be a pixel (and -0.5 gives pixel 0).
inline double truncPixel(double v)
{
    return std::fabs(v) < 9e15 ? double(qint64(v)) : std::trunc(v);
}

bool usable(double lo, double hi)
{
    return std::isfinite(lo) && std::isfinite(hi) && lo < hi && std::isfinite(hi - lo);
}

bool usableMapping(const ChCoord &c)
{
    return usable(c.dataX0, c.dataX1) && usable(c.dataY0, c.dataY1) && c.plotX0 != c.plotX1
        && c.plotY0 != c.plotY1;
}

} // namespace

bool fitChiRange(
    const QVector<const ChiData *> &shown, double &x0, double &y0, double &x1, double &y1)
{
    if (shown.isEmpty())
        return false;
    double xmin = 1e300, xmax = -1e300, ymin = 1e300, ymax = -1e300;
    for (const ChiData *data : shown) {
        xmin = std::min(xmin, data->kMin());
        xmax = std::max(xmax, data->kMax());
        ymin = std::min(ymin, data->chiMin());
        ymax = std::max(ymax, data->chiMax());
    }
    // Symmetric about zero, so that the zero line sits in the middle.
    double ylo, yhi;
    if (ymax < std::abs(ymin)) {
        ylo = ymin;
        yhi = -ymin;
    } else {
        ylo = -ymax;
        yhi = ymax;
    }
    widenIfEmpty(xmin, xmax);
    widenIfEmpty(ylo, yhi);
    if (!usable(xmin, xmax)) {
        xmin = 0;
        xmax = 20;
    }
    if (!usable(ylo, yhi)) {
        ylo = -1;
        yhi = 1;
    }
    x0 = xmin;
    x1 = xmax;
    y0 = ylo;
    y1 = yhi;
    return true;
}

void drawChiPlot(QPainter *p, const ChCoord &coord, const QVector<ChiCurve> &curves)
{
    // A view that cannot be mapped would put NaN or infinity into the painter.
    if (!usableMapping(coord))
        return;

    // The mapping of ChCoord::toScreenX/Y with its scales taken once per paint; the
    // points are the same to the last bit, without a call and a division per point.
    const double scaleX = (coord.plotX1 - coord.plotX0) / (coord.dataX1 - coord.dataX0);
    const double scaleY = (coord.plotY1 - coord.plotY0) / (coord.dataY1 - coord.dataY0);
    QPolygonF line;
    for (const ChiCurve &curve : curves) {
        const QVector<double> &k = curve.data->kValues;
        const QVector<double> &chi = curve.data->chiValues;
        if (k.isEmpty())
            continue;
        p->setPen(QPen(curve.color, 1, Qt::SolidLine));
        line.resize(k.size());
        QPointF *point = line.data();
        int used = 0;
        for (int j = 0; j < k.size(); ++j) {
            const double x = truncPixel(coord.plotX0 + (k[j] - coord.dataX0) * scaleX);
            const double y = truncPixel(coord.plotY0 + (chi[j] - coord.dataY0) * scaleY);
            if (std::isfinite(x) && std::isfinite(y))
                point[used++] = QPointF(x, y);
        }
        p->drawPolyline(point, used);
    }

    p->setPen(QPen(QColor(200, 200, 240, 255), 1));
    const double rowH = std::abs(std::trunc((coord.plotY1 - coord.plotY0) / coord.labelRows));
    const double boxH = std::abs(
        std::trunc(std::trunc((coord.plotY1 - coord.plotY0) / coord.labelRows) * coord.labelFill));
    const double marginW = std::abs(std::trunc((coord.winX1 - coord.winX0) * coord.marginLeft));
    DrawText text(nullptr);
    const QFont font;

    double step = 0, first = 0, last = 0;
    computeTicks(coord.dataX0, coord.dataX1, step, first, last);
    for (double v : tickValues(coord.dataX0, coord.dataX1)) {
        const double sx = coord.toScreenX(v);
        p->drawLine(QLineF(
            std::trunc(sx), std::trunc(coord.plotY0), std::trunc(sx), std::trunc(coord.plotY1)));
        const QRectF box
            = text.centredRect(sx, coord.plotY0 + rowH - 0.5 * boxH, coord.toScreenDX(step), boxH);
        text.drawFittedText(p, box, QFont(font), Qt::AlignHCenter | Qt::AlignVCenter, 1,
            QString::number(v, 'g', 6), 15);
    }
    for (double v : tickValues(coord.dataY0, coord.dataY1)) {
        const double sy = coord.toScreenY(v);
        p->drawLine(QLineF(
            std::trunc(coord.plotX0), std::trunc(sy), std::trunc(coord.plotX1), std::trunc(sy)));
        const QRectF box = text.centredRect(0.5 * marginW, sy, 0.9 * marginW, boxH);
        text.drawFittedText(
            p, box, QFont(font), Qt::AlignRight | Qt::AlignVCenter, 1, formatTickLabel(v), 15);
    }

    p->setPen(QPen(QColor(200, 200, 200, 255), 2));
    const QRectF frame(std::trunc(coord.plotX0), std::trunc(coord.plotY0),
        std::trunc(coord.plotX1 - coord.plotX0), std::trunc(coord.plotY1 - coord.plotY0));
    p->drawRects(&frame, 1);
}

namespace {

void paintFitted(QPainter *p, const QVector<ChiCurve> &curves, const QSize &size)
{
    p->fillRect(QRect(QPoint(0, 0), size), Qt::white);
    ChCoord coord;
    coord.setWindow(0, size.height(), size.width(), 0);
    coord.updatePlotArea();
    QVector<const ChiData *> shown;
    for (const ChiCurve &curve : curves)
        shown << curve.data;
    double x0 = 0, y0 = -1, x1 = 20, y1 = 1;
    if (fitChiRange(shown, x0, y0, x1, y1))
        coord.setDataRange(x0, y0, x1, y1);
    drawChiPlot(p, coord, curves);
}

} // namespace

bool saveChiPlot(const QString &path, const QVector<ChiCurve> &curves, const QSize &size)
{
    if (path.endsWith(".svg", Qt::CaseInsensitive)) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle("chi(k)");
        QPainter p(&svg);
        paintFitted(&p, curves, size);
        p.end();
        return file.error() == QFile::NoError;
    }
    QImage image(size, QImage::Format_ARGB32);
    QPainter p(&image);
    paintFitted(&p, curves, size);
    p.end();
    return image.save(path, "PNG");
}

QVector<ChiCurve> jobCurves(const QVector<Job *> &jobs)
{
    const CColors palette;
    QVector<ChiCurve> curves;
    for (int i = 0; i < jobs.size(); ++i) {
        const Job *job = jobs.at(i);
        if (!job->chi().valid)
            continue;
        const QColor colour = job->curveColor() != 0 ? QColor::fromRgba(job->curveColor())
                                                     : palette.color(i % palette.count());
        curves.append(ChiCurve{&job->chi(), colour});
    }
    return curves;
}
