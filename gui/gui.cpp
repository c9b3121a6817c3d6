#include "gui.h"

#include "demeter.h"
#include "showchi.h"

#include <QCloseEvent>
#include <QDebug>
#include <QScrollBar>

Gui::Gui(QWidget *parent)
    : QMainWindow(parent)
    , resGroup(nullptr)
{
    setupUi(this);
    showChi = new ShowChi(nullptr);
    showChi->show();
    connect(DropCif, &DropArea::dropped, this, &Gui::droppedCifFiles);
    connect(DropFeff, &DropArea::dropped, this, &Gui::droppedFeffFiles);
    resGroup.setExclusive(true);
}

void Gui::log(const QString &msg)
{
    qDebug().noquote() << msg;
    LogMsg->insertPlainText(msg + "\n");
}

void Gui::addDemeter(Demeter *job)
{
    connect(job, &Demeter::log, this, &Gui::log);
    resGroup.addButton(job->ShowResAtoms, -1);
    resGroup.addButton(job->ShowResFeff, -1);
    ScrollA1->verticalScrollBar()->setValue(ScrollA1->verticalScrollBar()->maximum());
    showChi->registerDemeter(job);
    ProcList->addWidget(job, ProcList->count(), 0);
}

void Gui::closeEvent(QCloseEvent *event)
{
    emit finishing();
    QMainWindow::closeEvent(event);
}
