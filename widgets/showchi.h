#ifndef SHOWCHI_H
#define SHOWCHI_H

#include "ccolors.h"
#include "chiplot.h"
#include "curvesource.h"
#include "fittedmodels.h"
#include "measurement.h"
#include "ui_showchi.h"

#include <QFrame>
#include <QHash>
#include <QVector>

#include <memory>

class FtDialog;
class Job;
class JobModel;
class JobRanking;
class MeasuredDialog;
class QPainter;
class QRubberBand;

// The plot window: the curves of the jobs shown (their Show box ticked), as k^w chi(k) or as
// a part of chi(R), with read-outs, the name of the curve under the mouse and an optional
// legend; and a measured spectrum, drawn first in black, beside which each shown job is
// drawn as its model fitted to it once the ranking has one.
// It reads the jobs as the rows of a JobModel, whose rows take its palette's colours.
class ShowChi : public QFrame, private Ui_ShowChi
{
    Q_OBJECT

public:
    explicit ShowChi(QWidget *parent = nullptr);
    ~ShowChi() override;

    // The jobs to plot; the window repaints when their data, Show or colour change.
    void setModel(JobModel *model);
    JobModel *model() const { return jobs; }
    // The fits of the jobs to the measured spectrum: a measured spectrum loaded here is
    // handed to it, and shown jobs are drawn as their fitted models; "Best 5" ticks its
    // five best. None: raw chi(k) only.
    void setRanking(JobRanking *ranking);
    // The drawing area, for tests and for saving pictures of the plot.
    DispA *plotArea() const { return DispChi; }

    const PlotView &view() const { return plotView; }
    // Shows the given view, fitted as Reset Scale fits it.
    void setView(const PlotView &view);
    // The view as the window shows it: a PNG or SVG picture of the drawing area's size with
    // the view's caption, or (for a name ending in ".csv") its data. False and the cause in
    // error when the file could not be written.
    bool saveView(const QString &path, QString *error = nullptr);

    // Reads a measured spectrum with the given options (which the window keeps for its
    // Background dialog), draws it in place of the one before and names it in the status
    // line. False, keeping what was shown, with the message (also logged) in error.
    bool loadMeasured(
        const QString &path, const MeasuredOptions &options, QString *error = nullptr);
    const MeasuredSpectrum &measured() const { return measuredSpectrum; }
    // The folder Save... offers first: the one the program started in (taken when the
    // window is made, before any job runs), then the last one saved to.
    QString saveFolder() const { return saveDir; }

signals:
    // A click on a curve: its job's row.
    void curveClicked(int jobIndex);
    // A line for the main window's log (a measured file that gave nothing, an Athena
    // project's groups).
    void logLine(const QString &line);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    void resetScale();
    void draw(QPainter *p);

private:

    void rowsChanged(const QVector<int> &roles);
    PlotDecor decor() const;
    void viewChanged();
    void showReadoutLabels();
    void clearReadouts();
    void mousePressed();
    void mouseMoved();
    void mouseReleased();
    int curveAt(int x, int y) const;
    void showCurveName(int curve);
    void chooseFileAndSave();
    void showFtDialog();
    void chooseMeasured();
    void showMeasuredDialog();
    void tickBest();
    void measuredChanged();
    void log(const QString &line);
    // The curves the view shows, in the legend's order (the measured spectrum first), each
    // moved up by the view's offset times its place; rows gets each curve's row, -1 for the
    // measured spectrum.
    QVector<PlotCurve> shownCurves(QVector<int> *rows = nullptr);

    bool rescalePending = true;
    bool nameStale = false;
    CColors chiColors;
    JobModel *jobs = nullptr;
    JobRanking *ranking = nullptr;
    PlotView plotView;
    SeriesCache seriesCache;
    MeasuredSpectrum measuredSpectrum;
    MeasuredOptions measuredOptions;
    FittedModels fitted;
    // The curves of the last paint and their rows, which the mouse picks from.
    QVector<PlotCurve> drawnCurves;
    QVector<int> drawnJobs;
    QRubberBand *zoomBand = nullptr;
    FtDialog *ftDialog = nullptr;
    MeasuredDialog *measuredDialog = nullptr;
    QString saveDir;
    QString measuredDir;
    QString startDir;
};

#endif
