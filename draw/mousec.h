#ifndef MOUSEC_H
#define MOUSEC_H

#include <QObject>

class QMouseEvent;
class QWheelEvent;

// Latest mouse state of one drawing area, announced by a signal on every change.
class MouseC : public QObject
{
    Q_OBJECT
public:
    explicit MouseC(QObject *parent = nullptr);

    void recordMove(QMouseEvent *e);
    void recordPress(QMouseEvent *e);
    void recordRelease(QMouseEvent *e);
    void recordDClick(QMouseEvent *e);
    void recordWheel(QWheelEvent *e);

    // Whole 15-degree wheel steps in a delta given in eighths of a degree, truncated.
    static int wheelStep(int delta);

    int prevX = 0, prevY = 0;
    int nowX = 0, nowY = 0;
    int pressX = 0, pressY = 0;
    int releaseX = 0, releaseY = 0;
    int dClickX = 0, dClickY = 0;
    bool pressed = false;
    Qt::MouseButton moveButton = Qt::NoButton;
    Qt::MouseButton pressButton = Qt::NoButton;
    Qt::MouseButton releaseButton = Qt::NoButton;
    Qt::MouseButton dClickButton = Qt::NoButton;
    Qt::KeyboardModifiers moveModifiers = Qt::NoModifier;
    Qt::KeyboardModifiers pressModifiers = Qt::NoModifier;
    Qt::KeyboardModifiers releaseModifiers = Qt::NoModifier;
    Qt::KeyboardModifiers dClickModifiers = Qt::NoModifier;

signals:
    void mMoved();
    void mPressed();
    void mReleased();
    void mDClicked();
    void wheelMoved(int step);
};

#endif
