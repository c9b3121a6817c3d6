#include "gui.h"

#include "batchrun.h"
#include "demeter.h"
#include "job.h"
#include "joblist.h"
#include "jobmodel.h"
#include "showchi.h"
#include "textappend.h"

#include <QCloseEvent>
#include <QDebug>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>

Gui::Gui(QWidget *parent)
    : QMainWindow(parent)
{
    setupUi(this);
    model = new JobModel(this);
    jobs = new JobList(model, scrollAreaWidgetContents_2);
    ProcList->addWidget(jobs, 0, 0);
    // The log is a record: new lines go to its end, and nothing of it is edited or undone.
    LogMsg->setReadOnly(true);
    LogMsg->setUndoRedoEnabled(false);
    // A double click on a line of the log leads to the row of the job it names.
    LogMsg->viewport()->installEventFilter(this);
    showChi = new ShowChi(nullptr);
    showChi->setModel(model);
    showChi->show();
    connect(DropCif, &DropArea::dropped, this, &Gui::droppedCifFiles);
    connect(DropFeff, &DropArea::dropped, this, &Gui::droppedFeffFiles);
    connect(showChi, &ShowChi::curveClicked, this, &Gui::revealJob);
    addPlotMenu();
    makeProgressLine();
}

void Gui::makeProgressLine()
{
    progress = new QLabel(this);
    progress->setObjectName("JobProgress");
    statusBar()->addWidget(progress, 1);
    progressClock = new QTimer(this);
    progressClock->setInterval(1000);
    connect(progressClock, &QTimer::timeout, this, &Gui::showProgress);
    progressSoon = new QTimer(this);
    progressSoon->setSingleShot(true);
    progressSoon->setInterval(100);
    connect(progressSoon, &QTimer::timeout, this, &Gui::showProgress);
    auto soon = [this] {
        if (!progressSoon->isActive())
            progressSoon->start();
    };
    connect(model, &QAbstractItemModel::rowsInserted, this, soon);
    connect(model, &QAbstractItemModel::dataChanged, this, soon);
}

// "done/total, running, failed, elapsed" while jobs wait or run; once the last has ended,
// how the run went.
void Gui::showProgress()
{
    const JobModel::Tally tally = model->tally();
    if (tally.total == 0)
        return;
    // Jobs that come after the end of a run start a run of their own.
    if (!elapsed.isValid() || (runEnded && !tally.allEnded())) {
        elapsed.start();
        runEnded = false;
    }
    if (tally.allEnded()) {
        runEnded = true;
        progressClock->stop();
        progress->setText(tr("All %1 jobs ended: %2 with chi data, %3 failed")
                              .arg(tally.total)
                              .arg(tally.withChi)
                              .arg(tally.failed()));
        return;
    }
    if (!progressClock->isActive())
        progressClock->start();
    progress->setText(tr("%1/%2 done, %3 running, %4 failed, %5 elapsed")
                          .arg(tally.ended)
                          .arg(tally.total)
                          .arg(tally.running)
                          .arg(tally.failed())
                          .arg(BatchRun::duration(elapsed.elapsed() / 1000)));
}

// The plot window can be closed; this menu brings it back and ticks or clears every
// row's Show box.
void Gui::addPlotMenu()
{
    QMenu *menu = menuBar()->addMenu(tr("&Plot"));
    menu->setObjectName("PlotMenu");
    menu->addAction(tr("Show the plot window"), this, [this] {
        showChi->show();
        showChi->raise();
        showChi->activateWindow();
    });
    menu->addSeparator();
    menu->addAction(tr("Show all"), this, [this] { showEveryCurve(true); });
    menu->addAction(tr("Show none"), this, [this] { showEveryCurve(false); });
}

void Gui::showEveryCurve(bool shown)
{
    jobs->addPendingJobs();
    model->setAllShown(shown);
}

void Gui::revealJob(int index) { jobs->markJob(index); }

void Gui::setRanking(JobRanking *ranking) { model->setRanking(ranking); }

bool Gui::revealJobOf(const QString &line)
{
    jobs->addPendingJobs();
    const int row = model->rowNamedIn(line);
    if (row < 0)
        return false;
    revealJob(row);
    return true;
}

// The double click still selects its word, as in any text.
bool Gui::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LogMsg->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        const auto *click = static_cast<QMouseEvent *>(event);
        revealJobOf(LogMsg->cursorForPosition(click->pos()).block().text());
    }
    return QMainWindow::eventFilter(watched, event);
}

void Gui::log(const QString &msg)
{
    qDebug().noquote() << msg;
    appendAtEnd(LogMsg, msg + "\n");
}

void Gui::addJob(Job *job)
{
    connect(job, &Job::log, this, &Gui::log);
    jobs->addJob(job);
    if (!widthFitted) {
        widthFitted = true;
        fitWidthToRow(jobs->rowFor(job));
    }
}

// The window's 777 pixels suit a compact Windows font; with wider fonts a row does not
// fit, so the first row widens the window once (within the screen) to show a whole row.
void Gui::fitWidthToRow(const QWidget *row)
{
    if (!row)
        return;
    const int frames = 2
            * (gridLayout->contentsMargins().left() + frame->frameWidth()
                + gridLayout_2->contentsMargins().left())
        + ScrollA1->verticalScrollBar()->sizeHint().width();
    int wanted = row->minimumSizeHint().width() + frames;
    if (const QScreen *screen = this->screen())
        wanted = qMin(wanted, screen->availableGeometry().width());
    if (wanted > width())
        resize(wanted, height());
}

void Gui::closeEvent(QCloseEvent *event)
{
    emit finishing();
    QMainWindow::closeEvent(event);
}
