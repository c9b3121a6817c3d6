#include "drawtext.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

DrawText::DrawText(QObject *parent)
    : QObject(parent)
{
}

QRectF DrawText::centredRect(double cx, double cy, double w, double h) const
{
    return QRectF(cx - 0.5 * w, cy - 0.5 * h, w, h);
}

double DrawText::fittedPointSize(double w, double h, double mw, double mh, double maxPointSize)
{
    const double rx = mw != 0 ? w / mw : 1;
    const double ry = mh != 0 ? h / mh : 1;
    double size = 10 * std::min(rx, ry);
    if (maxPointSize > 0)
        size = std::min(size, maxPointSize);
    return size;
}

void DrawText::drawFittedText(QPainter *painter, const QRectF &target, const QFont &font, int flags,
    int fitMode, const QString &text, double maxPointSize)
{
    const QRectF box = target.normalized();
    QFont scaled(font);
    if (fitMode == 1) {
        scaled.setPointSize(10);
        painter->setFont(scaled);
        const QRectF measured = painter->boundingRect(QRectF(0, 0, 5000, 5000), flags, text);
        const double size = fittedPointSize(
            box.width(), box.height(), measured.width(), measured.height(), maxPointSize);
        // A size of 0 or less (an empty target) keeps the label at 10 points.
        if (size > 0 && std::isfinite(size))
            scaled.setPointSizeF(size);
        painter->setFont(scaled);
    } else {
        painter->setFont(font);
    }
    painter->drawText(box, flags, text);
    painter->setFont(font);
}
