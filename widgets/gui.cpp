#include "gui.h"

#include "demeter.h"
#include "job.h"
#include "joblist.h"
#include "jobmodel.h"
#include "showchi.h"
#include "textappend.h"

#include <QCloseEvent>
#include <QDebug>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>

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
    showChi = new ShowChi(nullptr);
    showChi->setModel(model);
    showChi->show();
    connect(DropCif, &DropArea::dropped, this, &Gui::droppedCifFiles);
    connect(DropFeff, &DropArea::dropped, this, &Gui::droppedFeffFiles);
    connect(showChi, &ShowChi::curveClicked, this, &Gui::revealJob);
    addPlotMenu();
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

void Gui::revealJob(int index)
{
    jobs->markJob(index);
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
    const int frames = 2 * (gridLayout->contentsMargins().left() + frame->frameWidth()
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
