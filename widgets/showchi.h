#ifndef SHOWCHI_H
#define SHOWCHI_H

#include "ccolors.h"
#include "chiplot.h"
#include "curvesource.h"
#include "ui_showchi.h"

#include <QFrame>
#include <QVector>

class FtDialog;
class JobModel;
class QPainter;
class QRubberBand;

// The plot window: the curves of the jobs shown (their Show box ticked), as k^w chi(k) or as
// |chi(R)|, with read-outs, the name of the curve under the mouse and an optional legend.
// It reads the jobs as the rows of a JobModel, whose rows take its palette's colours.
class ShowChi : public QFrame, private Ui_ShowChi
{
    Q_OBJECT

public:
    explicit ShowChi(QWidget *parent = nullptr);

    // The jobs to plot; the window repaints when their data, Show or colour change.
    void setModel(JobModel *model);
    JobModel *model() const { return jobs; }
    // The drawing area, for tests and for saving pictures of the plot.
    DispA *plotArea() const { return DispChi; }

    const PlotView &view() const { return plotView; }
    // Shows the given view, fitted as Reset Scale fits it.
    void setView(const PlotView &view);
    // The view as the window shows it: a PNG or SVG picture of the drawing area's size, or
    // (for a name ending in ".csv") its data. False and the cause in error when the file
    // could not be written.
    bool saveView(const QString &path, QString *error = nullptr);

signals:
    // A click on a curve: its job's row.
    void curveClicked(int jobIndex);

private slots:
    void resetScale();
    void draw(QPainter *p);

private:
    void rowsChanged(const QVector<int> &roles);
    PlotDecor decor() const;
    void viewChanged();
    void showReadoutLabels();
    void mousePressed();
    void mouseMoved();
    void mouseReleased();
    int curveAt(int x, int y) const;
    void showCurveName(int curve);
    void chooseFileAndSave();
    void showFtDialog();

    bool rescalePending = true;
    CColors chiColors;
    JobModel *jobs = nullptr;
    PlotView plotView;
    SeriesCache seriesCache;
    // The curves of the last paint and their rows, which the mouse picks from.
    QVector<PlotCurve> drawnCurves;
    QVector<int> drawnJobs;
    QRubberBand *zoomBand = nullptr;
    FtDialog *ftDialog = nullptr;
    QString saveDir;
};

#endif
