#ifndef DISPA_H
#define DISPA_H

#include "chcoord.h"
#include "mousec.h"

#include <QColor>
#include <QFrame>

class QPainter;

// A framed drawing area: fills its background, lets subscribers draw on it, and turns its
// mouse into panning and zooming of its coordinate system.
class DispA : public QFrame
{
    Q_OBJECT
public:
    explicit DispA(QWidget *parent = nullptr);

    ChCoord coord;
    MouseC mouseC;
    QColor bgColor;
    // The mouse is over the area: it has moved there and not left since.
    bool mouseInside = false;

signals:
    void drawImage1(QPainter *p);
    void drawImage2(QPainter *p);
    void mouseMoved0();
    void mousePressed0();
    void mouseReleased0();
    void mouseDoubleClicked0();
    void wheelMoved0();
    void mouseLeft0();

private slots:
    void paintEvent(QPaintEvent *p) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void leaveEvent(QEvent *e) override;
};

#endif
