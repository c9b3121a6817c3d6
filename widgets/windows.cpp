#include "windows.h"

#include "body.h"
#include "comparison.h"
#include "gui.h"
#include "job.h"
#include "jobfiles.h"
#include "jobranking.h"
#include "showchi.h"

Windows::Windows(Body *body, bool showMainWindow, JobRanking *jobRanking)
    : gui(new Gui(nullptr))
    , ranking(jobRanking)
{
    QObject::connect(gui, &Gui::finishing, body, &Body::finishing);
    // Closing the main window ends the program: no outside program may outlive it.
    QObject::connect(gui, &Gui::finishing, body, &Body::stopAll);
    QObject::connect(body, &Body::log, gui, &Gui::log);
    QObject::connect(gui->plotWindow(), &ShowChi::logLine, gui, &Gui::log);
    if (ranking) {
        // The ranking takes each job before the windows show it.
        QObject::connect(body, &Body::jobAdded, ranking, &JobRanking::addJob);
        for (Job *job : body->jobs())
            ranking->addJob(job);
        gui->plotWindow()->setRanking(ranking);
        gui->setRanking(ranking);
    }
    QObject::connect(gui, &Gui::droppedCifFiles, body, &Body::droppedCifFiles);
    QObject::connect(gui, &Gui::droppedFeffFiles, body, &Body::droppedFeffFiles);
    QObject::connect(body, &Body::jobAdded, gui, &Gui::addJob);
    for (Job *job : body->jobs())
        gui->addJob(job);
    if (showMainWindow)
        gui->show();
}

void Windows::setPlotView(const PlotView &view) { gui->plotWindow()->setView(view); }

void Windows::loadMeasured(const ComparisonOptions &options)
{
    ShowChi *plot = gui->plotWindow();
    if (!plot->loadMeasured(options.measuredPath, options.read))
        return;
    const MeasuredSpectrum &measured = plot->measured();
    QString error;
    if (!options.measuredChiPath.isEmpty()
        && !writeOutputFile(options.measuredChiPath, measured.chiFileText(), &error))
        gui->log(QStringLiteral("Can not write %1 : %2").arg(options.measuredChiPath, error));
    if (ranking && !options.element.isEmpty())
        rankAgainst(ranking, measured, options.element);
}

Windows::~Windows()
{
    delete gui->plotWindow();
    delete gui;
}
