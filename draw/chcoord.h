#ifndef CHCOORD_H
#define CHCOORD_H

#include <QObject>

class MouseC;

// Maps data (k, chi) to the pixels of one drawing area and pans and zooms with its mouse.
class ChCoord : public QObject
{
    Q_OBJECT
public:
    explicit ChCoord(QObject *parent = nullptr);

    void attachMouse(MouseC *m);
    void setWindow(double x0, double y0, double x1, double y1);
    void updatePlotArea();
    void setDataRange(double x0, double y0, double x1, double y1);

    double toScreenX(double x) const;
    double toScreenY(double y) const;
    double toScreenDX(double d) const;
    double toDataX(double s) const;
    double toDataY(double s) const;

    bool nearXEdge(double x) const;
    bool nearYEdge(double y) const;

    MouseC *mouse = nullptr;
    double winX0 = 0, winX1 = 1;
    double winY0 = 0, winY1 = 1;
    double plotX0 = 0, plotX1 = 1;
    double plotY0 = 0, plotY1 = 1;
    double dataX0 = 0, dataX1 = 1;
    double dataY0 = 0, dataY1 = 1;
    double marginLeft = 0.1;
    double marginRight = 0.05;
    double marginBottom = 0.1;
    double marginTop = 0.05;
    double edgeBand = 0.1;
    int labelRows = 20;
    double labelFill = 0.85;

signals:
    void updated();
    void nowPos(double x, double y);
    void newVLines();

public slots:
    void clearScale();
    void mMoved();
    void mPressed();
    void mReleased();
    void mDClicked();
    void wheelMoved(int step);

private:
    static bool usableRange(double lo, double hi);
    static void zoomAxis(double centre, double factor, double &lo, double &hi);
};

#endif
