#include "windows.h"

#include "body.h"
#include "gui.h"
#include "job.h"
#include "showchi.h"

Windows::Windows(Body *body, bool showMainWindow)
    : gui(new Gui(nullptr))
{
    QObject::connect(gui, &Gui::finishing, body, &Body::finishing);
    // Closing the main window ends the program: no outside program may outlive it.
    QObject::connect(gui, &Gui::finishing, body, &Body::stopAll);
    QObject::connect(body, &Body::log, gui, &Gui::log);
    QObject::connect(gui, &Gui::droppedCifFiles, body, &Body::droppedCifFiles);
    QObject::connect(gui, &Gui::droppedFeffFiles, body, &Body::droppedFeffFiles);
    QObject::connect(body, &Body::jobAdded, gui, &Gui::addJob);
    for (Job *job : body->jobs())
        gui->addJob(job);
    if (showMainWindow)
        gui->show();
}

void Windows::setPlotView(const PlotView &view) { gui->plotWindow()->setView(view); }

Windows::~Windows()
{
    delete gui->plotWindow();
    delete gui;
}
