#include "showchi.h"

#include "chiplot.h"
#include "job.h"

#include <QPainter>

ShowChi::ShowChi(QWidget *parent)
    : QFrame(parent)
    , chiColors(nullptr)
{
    setupUi(this);
    rescalePending = true;
    connect(DispChi, &DispA::drawImage1, this, &ShowChi::draw);
    connect(ResetScale, &QPushButton::clicked, this, &ShowChi::resetScale);
}

void ShowChi::registerJob(Job *job)
{
    job->setCurveColor(chiColors.color(jobs.size() % chiColors.count()).rgba());
    jobs.append(job);
    connect(job, &Job::newChi, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Job::showChanged, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Job::chiCleared, this, QOverload<>::of(&ShowChi::update));
    connect(job, &Job::colorChanged, this, QOverload<>::of(&ShowChi::update));
}

void ShowChi::resetScale()
{
    rescalePending = true;
    update();
}

// Every paint sets the read-outs; a field whose text stays is left alone.
static void setReadout(QLineEdit *field, const QString &text)
{
    if (field->text() != text)
        field->setText(text);
}

void ShowChi::draw(QPainter *p)
{
    ChCoord &coord = DispChi->coord;
    coord.updatePlotArea();

    QVector<ChiCurve> curves;
    QVector<const ChiData *> shown;
    for (const Job *job : qAsConst(jobs)) {
        if (job->isShown()) {
            curves.append(ChiCurve { &job->chi(), QColor::fromRgba(job->curveColor()) });
            shown.append(&job->chi());
        }
    }

    if (rescalePending) {
        if (jobs.isEmpty())
            return;
        double x0, y0, x1, y1;
        if (!fitChiRange(shown, x0, y0, x1, y1))
            return;
        coord.setDataRange(x0, y0, x1, y1);
        rescalePending = false;
    }

    drawChiPlot(p, coord, curves);

    setReadout(CurK, QString::number(coord.toDataX(DispChi->mouseC.nowX), 'g', 6));
    setReadout(CurChi, QString::number(coord.toDataY(DispChi->mouseC.nowY), 'g', 6));
}
