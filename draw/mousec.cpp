#include "mousec.h"

#include <QMouseEvent>
#include <QWheelEvent>

MouseC::MouseC(QObject *parent)
    : QObject(parent)
{
}

int MouseC::wheelStep(int delta) { return static_cast<int>(delta * 0.125 / 15.0); }

void MouseC::recordMove(QMouseEvent *e)
{
    prevX = nowX;
    prevY = nowY;
    nowX = qRound(e->localPos().x());
    nowY = qRound(e->localPos().y());
    moveButton = e->button();
    moveModifiers = e->modifiers();
    emit mMoved();
}

void MouseC::recordPress(QMouseEvent *e)
{
    prevX = nowX;
    prevY = nowY;
    pressX = nowX = qRound(e->localPos().x());
    pressY = nowY = qRound(e->localPos().y());
    pressed = true;
    pressButton = e->button();
    pressModifiers = e->modifiers();
    emit mPressed();
}

void MouseC::recordRelease(QMouseEvent *e)
{
    prevX = nowX;
    prevY = nowY;
    releaseX = nowX = qRound(e->localPos().x());
    releaseY = nowY = qRound(e->localPos().y());
    pressed = false;
    releaseButton = e->button();
    releaseModifiers = e->modifiers();
    emit mReleased();
}

void MouseC::recordDClick(QMouseEvent *e)
{
    dClickX = qRound(e->localPos().x());
    dClickY = qRound(e->localPos().y());
    dClickButton = e->button();
    dClickModifiers = e->modifiers();
    emit mDClicked();
}

void MouseC::recordWheel(QWheelEvent *e)
{
    // A horizontal wheel reports its turn in x only.
    const QPoint angle = e->angleDelta();
    emit wheelMoved(wheelStep(angle.y() != 0 ? angle.y() : angle.x()));
}
