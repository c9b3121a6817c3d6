// The plot window's measured spectrum: loading it (a file chosen, dropped or named on the
// command line), its background dialog, and the ranking's five best.
#include "jobmodel.h"
#include "jobranking.h"
#include "measureddialog.h"
#include "showchi.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMetaMethod>
#include <QMimeData>

namespace {

// The first local file of a drag, or empty.
QString droppedFile(const QMimeData *mime)
{
    if (mime && mime->hasUrls())
        for (const QUrl &url : mime->urls())
            if (url.isLocalFile())
                return url.toLocalFile();
    return QString();
}

} // namespace

void ShowChi::log(const QString &line)
{
    if (isSignalConnected(QMetaMethod::fromSignal(&ShowChi::logLine)))
        emit logLine(line);
    else
        qWarning("%s", qPrintable(line));
}

bool ShowChi::loadMeasured(const QString &path, const MeasuredOptions &options, QString *error)
{
    QString message;
    if (!measuredSpectrum.load(path, options, &message)) {
        log(message);
        if (error)
            *error = message;
        return false;
    }
    measuredOptions = options;
    const QString file = path.section('#', 0, 0);
    measuredDir = QFileInfo(file).absolutePath();
    const QStringList groups = measuredSpectrum.groups();
    if (!groups.isEmpty())
        log(tr("%1: an Athena project with the groups %2; shown: %3")
                .arg(file, groups.join(QStringLiteral(", ")), measuredSpectrum.group()));
    if (ranking) {
        ranking->setMeasured(measuredSpectrum, measuredSpectrum.element(), measuredSpectrum.edge());
        if (!ranking->measuredProblem().isEmpty())
            log(tr("No job is ranked against %1 : %2").arg(file, ranking->measuredProblem()));
    }
    measuredChanged();
    return true;
}

void ShowChi::measuredChanged()
{
    MeasuredStatus->setText(measuredSpectrum.summary());
    MeasuredStatus->setToolTip(measuredSpectrum.path());
    fitted.rankingChanged();
    resetScale();
}

void ShowChi::chooseMeasured()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Load a measured spectrum"),
        measuredDir.isEmpty() ? startDir : measuredDir,
        tr("Spectra (*.xdi *.prj *.chi *.chik *.dat *.xmu *.txt);;All files (*)"));
    if (!path.isEmpty())
        loadMeasured(path, measuredOptions);
}

void ShowChi::showMeasuredDialog()
{
    if (!measuredDialog) {
        measuredDialog = new MeasuredDialog(this);
        connect(measuredDialog, &QDialog::accepted, this, [this] {
            measuredOptions = measuredDialog->options();
            if (measuredSpectrum.isLoaded())
                loadMeasured(measuredSpectrum.path(), measuredOptions);
        });
    }
    measuredDialog->setOptions(measuredOptions);
    measuredDialog->open();
}

// The five jobs ranked best are shown, and no other.
void ShowChi::tickBest()
{
    if (!ranking || !jobs)
        return;
    const QVector<Job *> best = ranking->best(5);
    if (best.isEmpty()) {
        log(ranking->hasMeasured() ? tr("No job is ranked against the measured spectrum yet")
                                   : tr("Load a measured spectrum to rank the jobs against"));
        return;
    }
    for (int row = 0; row < jobs->rowCount(); ++row)
        jobs->setShown(row, best.contains(jobs->job(row)));
    resetScale();
}

void ShowChi::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void ShowChi::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    loadMeasured(path, measuredOptions);
}
