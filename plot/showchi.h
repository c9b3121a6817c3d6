#ifndef SHOWCHI_H
#define SHOWCHI_H

#include "ccolors.h"
#include "ui_showchi.h"

#include <QFrame>
#include <QVector>

class Job;
class QPainter;

// The plot window: the chi(k) curves of the jobs shown (their Show box ticked).
class ShowChi : public QFrame, private Ui_ShowChi
{
    Q_OBJECT

public:
    explicit ShowChi(QWidget *parent = nullptr);

    void registerJob(Job *job);
    // The drawing area, for tests and for saving pictures of the plot.
    DispA *plotArea() const { return DispChi; }

private slots:
    void resetScale();
    void draw(QPainter *p);

private:
    bool rescalePending = true;
    CColors chiColors;
    QVector<Job *> jobs;
};

#endif
