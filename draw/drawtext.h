#ifndef DRAWTEXT_H
#define DRAWTEXT_H

#include <QFont>
#include <QObject>
#include <QRectF>
#include <QString>

class QPainter;

// Draws a label into a box, scaling the font so that the label fits.
class DrawText : public QObject
{
    Q_OBJECT
public:
    explicit DrawText(QObject *parent = nullptr);

    QRectF centredRect(double cx, double cy, double w, double h) const;
    void drawFittedText(QPainter *painter, const QRectF &target, const QFont &font, int flags,
        int fitMode, const QString &text, double maxPointSize);

    // Point size at which a label measured mw x mh at 10 points fills a target of w x h,
    // limited to maxPointSize when that is above 0.
    static double fittedPointSize(double w, double h, double mw, double mh, double maxPointSize);
};

#endif
