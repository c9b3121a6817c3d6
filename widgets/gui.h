#ifndef GUI_H
#define GUI_H

#include "ui_gui.h"

#include <QElapsedTimer>
#include <QMainWindow>

class Demeter;
class Job;
class QLabel;
class QTimer;
class JobList;
class JobModel;
class JobRanking;
class ShowChi;

// The main window: drop targets, the list of job rows, the log, and in the status bar
// how far the jobs are.
class Gui : public QMainWindow, private Ui_Gui
{
    Q_OBJECT

public:
    explicit Gui(QWidget *parent = nullptr);

    void addJob(Job *job);
    ShowChi *plotWindow() const { return showChi; }
    JobList *jobList() const { return jobs; }
    // The jobs as rows, with what the windows keep of each.
    JobModel *jobModel() const { return model; }
    // The fits of the jobs to a measured spectrum that the rows show and sort by.
    void setRanking(JobRanking *ranking);
    // Reveals and marks the row of the job a line of the log names (its working directory
    // or its input); false when it names none.
    bool revealJobOf(const QString &line);

signals:
    void finishing();
    void droppedCifFiles(const QStringList &files);
    void droppedFeffFiles(const QStringList &files);

public slots:
    void log(const QString &msg);
    // Scrolls the job list to the row of the job at index (in the order of adding) and
    // marks that row; the row marked before is unmarked.
    void revealJob(int index);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fitWidthToRow(const QWidget *row);
    void addPlotMenu();
    void showEveryCurve(bool shown);
    void makeProgressLine();
    void showProgress();

    JobModel *model = nullptr;
    JobList *jobs = nullptr;
    ShowChi *showChi = nullptr;
    bool widthFitted = false;
    QLabel *progress = nullptr;
    // Refreshes the progress line every second, and soon after a job changes.
    QTimer *progressClock = nullptr;
    QTimer *progressSoon = nullptr;
    // From the first job of a run of jobs to the end of its last.
    QElapsedTimer elapsed;
    bool runEnded = false;
};

#endif
