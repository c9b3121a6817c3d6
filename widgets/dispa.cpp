#include "dispa.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

DispA::DispA(QWidget *parent)
    : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setMouseTracking(true);
    bgColor = QColor(255, 255, 255);
    coord.attachMouse(&mouseC);
}

void DispA::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(0, 0, width(), height(), bgColor);
    coord.setWindow(0, height(), width(), 0);
    emit drawImage1(&painter);
    emit drawImage2(&painter);
}

void DispA::mouseMoveEvent(QMouseEvent *e)
{
    // Alt frees the mouse to move without disturbing the plot.
    if (e->modifiers() & Qt::AltModifier)
        return;
    mouseInside = true;
    mouseC.recordMove(e);
    emit mouseMoved0();
    update();
}

void DispA::mousePressEvent(QMouseEvent *e)
{
    mouseC.recordPress(e);
    emit mousePressed0();
    update();
}

void DispA::mouseReleaseEvent(QMouseEvent *e)
{
    mouseC.recordRelease(e);
    emit mouseReleased0();
    update();
}

void DispA::mouseDoubleClickEvent(QMouseEvent *e)
{
    mouseC.recordDClick(e);
    emit mouseDoubleClicked0();
    update();
}

void DispA::wheelEvent(QWheelEvent *e)
{
    mouseC.recordWheel(e);
    emit wheelMoved0();
    update();
}

void DispA::leaveEvent(QEvent *)
{
    mouseInside = false;
    emit mouseLeft0();
    update();
}
