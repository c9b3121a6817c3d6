#include "chiplot.h"

#include "ccolors.h"
#include "chcoord.h"
#include "drawtext.h"
#include "jobfiles.h"
#include "ticks.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cmath>

namespace {

// std::trunc is a library call on baseline x86-64; a conversion through a 64-bit integer
// truncates the same way for every value that can be a pixel (and -0.5 gives pixel 0).
inline double truncPixel(double v)
{
    return std::fabs(v) < 9e15 ? double(qint64(v)) : std::trunc(v);
}

double segmentDistance2(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
    t = std::max(0.0, std::min(1.0, t));
    const double ex = ax + t * dx - px, ey = ay + t * dy - py;
    return ex * ex + ey * ey;
}

bool usable(double lo, double hi)
{
    return std::isfinite(lo) && std::isfinite(hi) && lo < hi && std::isfinite(hi - lo);
}

// The mapping every item draws with: ChCoord's, with its scales taken once per paint, so
// that a point costs no call and no division (the values are the same to the last bit).
struct PlotMapping
{
    explicit PlotMapping(const ChCoord &c)
        : coord(c)
        , scaleX((c.plotX1 - c.plotX0) / (c.dataX1 - c.dataX0))
        , scaleY((c.plotY1 - c.plotY0) / (c.dataY1 - c.dataY0))
    {
    }
    bool usableMapping() const
    {
        return usable(coord.dataX0, coord.dataX1) && usable(coord.dataY0, coord.dataY1)
            && coord.plotX0 != coord.plotX1 && coord.plotY0 != coord.plotY1;
    }
    double x(double v) const { return coord.plotX0 + (v - coord.dataX0) * scaleX; }
    double y(double v) const { return coord.plotY0 + (v - coord.dataY0) * scaleY; }
    // The plot area in whole pixels, its edges included.
    QRect plotRect() const
    {
        return QRect(QPoint(int(std::min(coord.plotX0, coord.plotX1)),
                         int(std::min(coord.plotY0, coord.plotY1))),
            QPoint(int(std::max(coord.plotX0, coord.plotX1)),
                int(std::max(coord.plotY0, coord.plotY1))));
    }

    const ChCoord &coord;
    const double scaleX;
    const double scaleY;
};

const QColor gridColour(200, 200, 240, 255);
const QColor frameColour(200, 200, 200, 255);
const QColor titleColour(90, 90, 110, 255);
const QColor windowColour(120, 120, 120, 255);
constexpr int legendNames = 20;

// Curves: one polyline per curve through its points truncated to whole pixels (or exact,
// for a vector picture), limited to the points that reach the visible x range and clipped
// to the plot area.
void drawCurves(QPainter *p, const PlotMapping &m, const QVector<PlotCurve> &curves, bool exact)
{
    p->save();
    p->setClipRect(m.plotRect());
    const QVector<Qt::PenStyle> styles = curveStyles(curves);
    QPolygonF line;
    for (int i = 0; i < curves.size(); ++i) {
        const PlotCurve &curve = curves[i];
        const QVector<double> &x = curve.series.x;
        const QVector<double> &y = curve.series.y;
        if (x.isEmpty())
            continue;
        int first, last;
        visibleRange(curve.series, m.coord.dataX0, m.coord.dataX1, first, last);
        p->setPen(QPen(curve.color, curve.width, styles[i]));
        line.resize(last - first + 1);
        QPointF *point = line.data();
        int used = 0;
        for (int j = first; j <= last; ++j) {
            const double sx = exact ? m.x(x[j]) : truncPixel(m.x(x[j]));
            const double sy = exact ? m.y(y[j]) : truncPixel(m.y(y[j]));
            if (std::isfinite(sx) && std::isfinite(sy))
                point[used++] = QPointF(sx, sy);
        }
        p->drawPolyline(point, used);
    }
    p->restore();
}

// The FT window over the visible k range, as a dashed grey outline from zero (or the plot's
// bottom, when zero is out of view) up to windowHeight of the y range.
void drawWindow(QPainter *p, const PlotMapping &m, const FtParams &ft, bool exact)
{
    const ChCoord &c = m.coord;
    const double lo = std::min(c.dataY0, c.dataY1), hi = std::max(c.dataY0, c.dataY1);
    const double base = lo <= 0 && 0 <= hi ? 0.0 : lo;
    const double height = windowHeight * (hi - lo);
    const double k0 = std::max(std::min(c.dataX0, c.dataX1), ft.kmin - ft.dk);
    const double k1 = std::min(std::max(c.dataX0, c.dataX1), ft.kmax + ft.dk);
    if (!(k0 < k1))
        return;
    // Two pixels a step: smooth enough for the tapers at any zoom.
    const int steps = std::max(2, std::min(4000, int(std::abs(m.x(k1) - m.x(k0)) / 2)));
    QPolygonF line;
    line.reserve(steps + 1);
    for (int i = 0; i <= steps; ++i) {
        const double k = k0 + (k1 - k0) * i / steps;
        const double sx = m.x(k), sy = m.y(base + height * windowValue(ft, k));
        line << (exact ? QPointF(sx, sy) : QPointF(truncPixel(sx), truncPixel(sy)));
    }
    p->save();
    p->setClipRect(m.plotRect());
    p->setPen(QPen(windowColour, 1, Qt::DashLine));
    p->drawPolyline(line);
    p->restore();
}

// Grid lines with their labels: x labels one step wide under the plot area, y labels
// right-aligned in the left margin. The labels are drawn with the grid's pen.
void drawGrid(QPainter *p, const PlotMapping &m)
{
    const ChCoord &coord = m.coord;
    p->setPen(QPen(gridColour, 1));
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
        text.drawFittedText(
            p, box, QFont(font), Qt::AlignHCenter | Qt::AlignVCenter, 1, xTickLabel(v, step), 15);
    }
    computeTicks(coord.dataY0, coord.dataY1, step, first, last);
    for (double v : tickValues(coord.dataY0, coord.dataY1)) {
        const double sy = coord.toScreenY(v);
        p->drawLine(QLineF(
            std::trunc(coord.plotX0), std::trunc(sy), std::trunc(coord.plotX1), std::trunc(sy)));
        const QRectF box = text.centredRect(0.5 * marginW, sy, 0.9 * marginW, boxH);
        text.drawFittedText(
            p, box, QFont(font), Qt::AlignRight | Qt::AlignVCenter, 1, yTickLabel(v, step), 15);
    }
}

void drawFrame(QPainter *p, const PlotMapping &m)
{
    const ChCoord &coord = m.coord;
    p->setPen(QPen(frameColour, 2));
    const QRectF frame(std::trunc(coord.plotX0), std::trunc(coord.plotY0),
        std::trunc(coord.plotX1 - coord.plotX0), std::trunc(coord.plotY1 - coord.plotY0));
    p->drawRects(&frame, 1);
}

// The x title right-aligned under the x labels, the y title left-aligned above the plot
// area: both in margins that the labels leave free.
void drawTitles(QPainter *p, const PlotMapping &m, const PlotDecor &decor)
{
    const ChCoord &coord = m.coord;
    const QRect plot = m.plotRect();
    const double rowH = std::abs(std::trunc((coord.plotY1 - coord.plotY0) / coord.labelRows));
    const double bottom = std::max(coord.winY0, coord.winY1);
    const double top = std::min(coord.winY0, coord.winY1);
    const double titleH = std::min(18.0, std::max(8.0, bottom - plot.bottom() - rowH));
    DrawText text(nullptr);
    p->setPen(titleColour);
    if (!decor.xTitle.isEmpty()) {
        const QRectF box(plot.left(), plot.bottom() + rowH, plot.width(), titleH);
        text.drawFittedText(
            p, box, QFont(), Qt::AlignRight | Qt::AlignVCenter, 1, decor.xTitle, 10);
    }
    if (!decor.yTitle.isEmpty()) {
        const double h = std::min(18.0, std::max(8.0, plot.top() - top - 1));
        const QRectF box(plot.left(), plot.top() - h - 1, plot.width() / 2.0, h);
        text.drawFittedText(p, box, QFont(), Qt::AlignLeft | Qt::AlignVCenter, 1, decor.yTitle, 10);
    }
}

// The caption in the top margin, right-aligned beside the y title.
void drawCaption(QPainter *p, const PlotMapping &m, const QString &caption)
{
    const ChCoord &coord = m.coord;
    const QRect plot = m.plotRect();
    const double top = std::min(coord.winY0, coord.winY1);
    const double h = std::min(18.0, std::max(8.0, plot.top() - top - 1));
    const QRectF box(plot.left() + plot.width() / 2.0, plot.top() - h - 1, plot.width() / 2.0, h);
    p->setPen(titleColour);
    DrawText(nullptr).drawFittedText(
        p, box, QFont(), Qt::AlignRight | Qt::AlignVCenter, 1, caption, 10);
}

// The legend in the plot area's top right corner: a short line in each curve's colour and
// style before its name, on white.
void drawLegend(QPainter *p, const PlotMapping &m, const QVector<PlotCurve> &all)
{
    // Only curves with points: a ticked job without data has nothing to explain.
    const QVector<Qt::PenStyle> allStyles = curveStyles(all);
    QVector<PlotCurve> drawn;
    QVector<Qt::PenStyle> styles;
    for (int i = 0; i < all.size(); ++i)
        if (!all[i].series.x.isEmpty()) {
            drawn << all[i];
            styles << allStyles[i];
        }
    const QVector<PlotCurve> &curves = drawn;
    if (curves.isEmpty())
        return;
    QVector<QString> names;
    for (const PlotCurve &c : curves)
        names << c.name;
    const QFont font;
    const QFontMetricsF fm(font);
    // Whole pixels, so that the window and a saved picture of it draw the same lines.
    const double rowH = std::ceil(fm.height());
    // As many names as the plot area has room for, the last line saying how many more.
    const int room = std::max(1, int((m.plotRect().height() - 16) / rowH));
    const int maxNames = names.size() <= std::min(room, legendNames)
        ? legendNames
        : std::max(1, std::min(room, legendNames + 1) - 1);
    const QStringList lines = legendLines(names, maxNames);
    const double swatch = std::ceil(2 * fm.averageCharWidth() + 6);
    double textW = 0;
    for (const QString &line : lines)
        textW = std::max(textW, std::ceil(fm.horizontalAdvance(line)));
    const QRect plot = m.plotRect();
    const double w = std::min(swatch + textW + 12, plot.width() - 8.0);
    const double h = std::min(lines.size() * rowH + 8, plot.height() - 8.0);
    const QRectF box(plot.right() - 4 - w, plot.top() + 4, w, h);
    p->save();
    p->setClipRect(box);
    p->setPen(QPen(frameColour, 1));
    p->setBrush(QColor(255, 255, 255, 235));
    p->drawRect(box);
    p->setFont(font);
    const int named = std::min(int(curves.size()), maxNames);
    for (int i = 0; i < lines.size(); ++i) {
        const double y = box.top() + 4 + i * rowH;
        if (i < named) {
            // Two lines one pixel apart: a wide line on a pixel edge may fall either side of it.
            const int mid = int(std::floor(y + rowH / 2));
            p->setPen(QPen(curves[i].color, curves[i].width, styles[i]));
            for (int row : { mid - 1, mid })
                p->drawLine(QLineF(box.left() + 4, row + 0.5, box.left() + swatch, row + 0.5));
        }
        p->setPen(Qt::black);
        p->drawText(QRectF(box.left() + swatch + 6, y, textW + 2, rowH),
            Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
    }
    p->restore();
}

} // namespace

QVector<Qt::PenStyle> curveStyles(const QVector<PlotCurve> &curves)
{
    static const Qt::PenStyle rounds[]
        = { Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine, Qt::DashDotDotLine };
    QHash<QPair<QRgb, int>, int> seen;
    QVector<Qt::PenStyle> styles;
    styles.reserve(curves.size());
    for (const PlotCurve &curve : curves)
        styles << rounds[seen[qMakePair(curve.color.rgba(), curve.width)]++ % 5];
    return styles;
}

QStringList legendLines(const QVector<QString> &names, int maxNames)
{
    QStringList lines;
    for (int i = 0; i < names.size() && i < maxNames; ++i)
        lines << names[i];
    if (names.size() > maxNames)
        lines << QCoreApplication::translate("ShowChi", "\u2026 and %1 more")
                     .arg(names.size() - maxNames);
    return lines;
}

void drawChiPlot(
    QPainter *p, const ChCoord &coord, const QVector<PlotCurve> &curves, const PlotDecor &decor)
{
    const PlotMapping mapping(coord);
    // A view that cannot be mapped would put NaN or infinity into the painter.
    if (!mapping.usableMapping())
        return;
    drawCurves(p, mapping, curves, decor.exact);
    if (decor.showWindow)
        drawWindow(p, mapping, decor.window, decor.exact);
    drawGrid(p, mapping);
    drawFrame(p, mapping);
    drawTitles(p, mapping, decor);
    if (!decor.caption.isEmpty())
        drawCaption(p, mapping, decor.caption);
    if (decor.legend)
        drawLegend(p, mapping, curves);
}

namespace {

void paintPicture(QPainter *p, const QSize &size, const ChCoord &view,
    const QVector<PlotCurve> &curves, const PlotDecor &decor)
{
    p->fillRect(QRect(QPoint(0, 0), size), Qt::white);
    ChCoord coord;
    coord.setWindow(0, size.height(), size.width(), 0);
    coord.updatePlotArea();
    coord.setDataRange(view.dataX0, view.dataY0, view.dataX1, view.dataY1);
    drawChiPlot(p, coord, curves, decor);
}

} // namespace

bool savePlotPicture(const QString &path, const QSize &size, const ChCoord &view,
    const QVector<PlotCurve> &curves, const PlotDecor &decor, QString *error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(".svg", Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(decor.yTitle.isEmpty() ? QStringLiteral("chi(k)") : decor.yTitle);
        QPainter p(&svg);
        PlotDecor exact = decor;
        exact.exact = true;
        paintPicture(&p, size, view, curves, exact);
        p.end();
    } else {
        QImage image(size, QImage::Format_ARGB32);
        QPainter p(&image);
        paintPicture(&p, size, view, curves, decor);
        p.end();
        image.save(&buffer, "PNG");
    }
    QString cause;
    if (bytes.isEmpty())
        cause = QStringLiteral("the picture could not be drawn");
    else if (writeOutputFile(path, bytes, &cause))
        return true;
    if (error)
        *error = cause;
    return false;
}

bool saveFittedPlot(const QString &path, const QSize &size, PlotSpace space,
    const QVector<PlotCurve> &curves, const PlotDecor &decor, QString *error)
{
    QVector<Series> shown;
    for (const PlotCurve &curve : curves)
        shown << curve.series;
    ChCoord view;
    double x0 = 0, y0 = -1, x1 = 20, y1 = 1;
    fitView(space, shown, x0, y0, x1, y1);
    view.setDataRange(x0, y0, x1, y1);
    return savePlotPicture(path, size, view, curves, decor, error);
}

int nearestSeries(
    const QVector<Series> &series, const ChCoord &coord, double px, double py, double maxPixels)
{
    if (!usable(coord.dataX0, coord.dataX1) || !usable(coord.dataY0, coord.dataY1)
        || coord.plotX0 == coord.plotX1)
        return -1;
    // Only the points within maxPixels of the mouse in x can carry a segment that near.
    const double reach = std::abs(maxPixels / coord.toScreenDX(1));
    const double at = coord.toDataX(px);
    int best = -1;
    double bestD2 = maxPixels * maxPixels;
    for (int i = 0; i < series.size(); ++i) {
        const Series &s = series[i];
        if (s.x.isEmpty())
            continue;
        int first, last;
        visibleRange(s, at - reach, at + reach, first, last);
        double ax = coord.toScreenX(s.x[first]), ay = coord.toScreenY(s.y[first]);
        if (first == last && std::isfinite(ax) && std::isfinite(ay)) {
            const double d2 = segmentDistance2(px, py, ax, ay, ax, ay);
            if (d2 <= bestD2) {
                bestD2 = d2;
                best = i;
            }
        }
        for (int j = first + 1; j <= last; ++j) {
            const double bx = coord.toScreenX(s.x[j]), by = coord.toScreenY(s.y[j]);
            if (std::isfinite(ax + ay + bx + by)) {
                const double d2 = segmentDistance2(px, py, ax, ay, bx, by);
                if (d2 <= bestD2) {
                    bestD2 = d2;
                    best = i;
                }
            }
            ax = bx;
            ay = by;
        }
    }
    return best;
}
