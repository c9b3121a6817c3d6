#include "gui.h"

#include "demeter.h"
#include "showchi.h"

#include <QCloseEvent>
#include <QDebug>
#include <QMenuBar>
#include <QScreen>
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
    for (int i = 0; i < ProcList->count(); ++i)
        if (auto *job = qobject_cast<Demeter *>(ProcList->itemAt(i)->widget()))
            job->Show->setChecked(shown);
}

void Gui::revealJob(int index)
{
    QLayoutItem *item = ProcList->itemAtPosition(index, 0);
    QWidget *row = item ? item->widget() : nullptr;
    if (!row)
        return;
    if (markedRow && markedRow != row)
        markedRow->setAutoFillBackground(false);
    // A light tint of the highlight colour, under which the row's texts stay readable.
    QPalette tinted = row->palette();
    const QColor mark = palette().color(QPalette::Highlight);
    const QColor base = palette().color(QPalette::Window);
    tinted.setColor(QPalette::Window,
        QColor((mark.red() + 2 * base.red()) / 3, (mark.green() + 2 * base.green()) / 3,
            (mark.blue() + 2 * base.blue()) / 3));
    row->setPalette(tinted);
    row->setAutoFillBackground(true);
    markedRow = row;
    ScrollA1->ensureWidgetVisible(row, 0, 0);
}

void Gui::log(const QString &msg)
{
    qDebug().noquote() << msg;
    LogMsg->insertPlainText(msg + "\n");
}

void Gui::addDemeter(Demeter *job)
{
    connect(job, &Demeter::log, this, &Gui::log);
    // The ids the group would give itself for id -1 (one below the lowest so far,
    // starting at -2), without its search of every id: adding stays cheap for long lists.
    const int nextId = -2 - resGroup.buttons().size();
    resGroup.addButton(job->ShowResAtoms, nextId);
    resGroup.addButton(job->ShowResFeff, nextId - 1);
    ScrollA1->verticalScrollBar()->setValue(ScrollA1->verticalScrollBar()->maximum());
    showChi->registerDemeter(job);
    ProcList->addWidget(job, ProcList->count(), 0);
    if (ProcList->count() == 1)
        fitWidthToRow(job);
}

// The window's 777 pixels suit a compact Windows font; with wider fonts a row does not
// fit, so the first row widens the window once (within the screen) to show a whole row.
void Gui::fitWidthToRow(const QWidget *row)
{
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
