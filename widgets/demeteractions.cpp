// The row's questions, dialogs and context menu.
#include "demeter.h"

#include "job.h"
#include "jobmodel.h"

#include <QColorDialog>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

// A restart runs the feff.inp on disk. Edits of the Atoms area that were not written to
// it would be silently left out: the user chooses.
void Demeter::reStartFeff()
{
    if (!shownJob || !shownJob->canRestartFeff())
        return;
    const QString areaText = atomsFilled ? ResAtoms->toPlainText() : atomsAreaText();
    if (areaText == shownJob->feffInpSourceText()) {
        shownJob->reStartFeff();
        return;
    }
    auto *question = new QMessageBox(QMessageBox::Question, tr("FeFF restart"),
        tr("The Atoms area of %1 differs from the feff.inp on disk.").arg(shownJob->inputName()),
        QMessageBox::NoButton, this);
    question->setObjectName("RestartQuestion");
    question->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *update = question->addButton(tr("Update and run"), QMessageBox::AcceptRole);
    QPushButton *onDisk = question->addButton(tr("Run the file on disk"), QMessageBox::AcceptRole);
    question->addButton(QMessageBox::Cancel);
    question->setDefaultButton(update);
    const QPointer<Job> job = shownJob;
    connect(question, &QMessageBox::buttonClicked, this,
        [job, areaText, update, onDisk](QAbstractButton *button) {
            if (!job || !job->canRestartFeff() || (button != update && button != onDisk))
                return;
            if (button == update && !job->writeFeffInp(areaText))
                return;
            job->reStartFeff();
        });
    question->open();
}

void Demeter::chooseColor()
{
    if (!shownJob)
        return;
    auto *dialog = new QColorDialog(ColorDisp->bgColor, this);
    dialog->setObjectName("CurveColorDialog");
    dialog->setWindowTitle(tr("Curve colour of %1").arg(shownJob->inputName()));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QPersistentModelIndex row = shownRow;
    connect(dialog, &QColorDialog::colorSelected, this, [row](const QColor &colour) {
        if (row.isValid() && colour.isValid())
            const_cast<QAbstractItemModel *>(row.model())
                ->setData(row, uint(colour.rgba()), JobModel::ColorRole);
    });
    dialog->open();
}

void Demeter::editConverterOptions()
{
    if (!shownJob)
        return;
    auto *dialog = new QInputDialog(this);
    dialog->setObjectName("ConverterOptionsDialog");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("Converter options"));
    dialog->setLabelText(tr("Options of the converter for %1, after those of ATOMS_ARG:")
                             .arg(shownJob->inputName()));
    dialog->setTextValue(shownJob->inputOptions().join(QLatin1Char(' ')));
    const QPointer<Job> job = shownJob;
    connect(dialog, &QInputDialog::textValueSelected, this, [job](const QString &line) {
        if (job)
            job->setInputOptions(line.trimmed());
    });
    dialog->open();
}

QMenu *Demeter::makeContextMenu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName("RowMenu");
    if (!shownJob)
        return menu;
    const QString dir = shownJob->workingDirectory();
    const QPointer<Job> job = shownJob;
    menu->addAction(tr("Open working folder"), this, [job, dir] {
        // The row's messages are its job's: they go to the log with the job's own.
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(dir)) && job)
            emit job->log(
                tr("Can not open the working folder %1 : no file manager answered").arg(dir));
    });
    QAction *options
        = menu->addAction(tr("Converter options…"), this, &Demeter::editConverterOptions);
    // A FEFF input has no converter; a running one keeps the options it started with.
    options->setEnabled(shownJob->kind() == Job::AtomsInput && !shownJob->isRunning());
    // Job::stop() ends a running program or takes a waiting job out of the queue.
    if (shownJob->isRunning() || shownJob->isWaiting()) {
        menu->addSeparator();
        menu->addAction(shownJob->isRunning() ? tr("Stop") : tr("Skip"), this, [job] {
            if (job)
                job->stop();
        });
    }
    return menu;
}

void Demeter::contextMenuEvent(QContextMenuEvent *event)
{
    if (!shownJob)
        return;
    QMenu *menu = makeContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
