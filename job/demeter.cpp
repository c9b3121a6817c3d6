#include "demeter.h"

#include "feffinp.h"
#include "textcodec.h"

#include <QDebug>
#include <QDir>
#include <QSet>
#include <QStyleOptionFrame>
#include <QTextStream>

namespace {

const char *const startingStyle = "background-color: rgb(255, 255, 128);";
const char *const runningStyle = "background-color: rgb(96, 255, 181);";
const char *const stoppedStyle = "background-color: rgb(213, 230, 255);";
const int feffOutputLinesKept = 10000;
const int feffOutputWidthKept = 1000;

void setStatus(QLineEdit *field, const QString &text, const char *style)
{
    field->setText(text);
    field->setStyleSheet(QString::fromLatin1(style));
}

// QProcess on Linux reports the running state from the event loop, after start() has
// returned. Waiting for it here makes procStarted() arrive while the job's start() is
// still running, as the manager's process limit needs during a burst of starts (the
// start-up scan, a drop of many files). A program that cannot be started reports
// NotRunning here instead and so is never counted.
void startAndWait(QProcess *proc)
{
    proc->start(QIODevice::ReadWrite);
    proc->waitForStarted();
}

void configureProcess(QProcess *proc, const QString &program, const QStringList &args,
                      const RunSettings &settings, const QString &workDir)
{
    proc->setProgram(program);
    proc->setArguments(args);
    proc->setProcessEnvironment(settings.environment);
    proc->setProcessChannelMode(QProcess::MergedChannels);
    proc->setWorkingDirectory(workDir);
}

// Inserts at the area's cursor outside the undo history: program output and copied
// inputs are no edits of the user's, and recording them costs time and memory. (Turning
// the history off clears it, so edits made before the insertion cannot be undone.)
void insertUnrecorded(QTextEdit *area, const QString &text)
{
    const bool undo = area->isUndoRedoEnabled();
    area->setUndoRedoEnabled(false);
    area->insertPlainText(text);
    area->setUndoRedoEnabled(undo);
}

// All output available now, inserted in one go: far cheaper than a line at a time
// for programs that print thousands of lines, and the same text.
void appendOutput(QProcess *proc, QTextEdit *area)
{
    const QByteArray bytes = proc->readAll();
    if (!bytes.isEmpty())
        insertUnrecorded(area, decodeOutputLines(bytes));
}

} // namespace

Demeter::Demeter(const RunSettings *runSettings, const QFileInfo &file, int kind, QWidget *parent)
    : QFrame(parent)
{
    setupUi(this);
    fitFieldsToTexts();
    settings = *runSettings;
    inputFile = file;
    jobState = kind;
    connect(Show, &QCheckBox::toggled, this, &Demeter::showChanged);

    baseName = inputFile.completeBaseName();
    workDir = claimWorkDir(settings.resFiles, baseName);
    if (!QDir(QDir::currentPath()).mkpath(workDir))
        logLater(tr("Can not create the working directory %1").arg(workDir));

    TargetName->setText(inputFile.absoluteFilePath());
    TargetName->end(false);

    ResAtoms->setVisible(ShowResAtoms->isChecked());
    ResFeff->setVisible(ShowResFeff->isChecked());
    connect(ShowResAtoms, &QCheckBox::toggled, this, &Demeter::showResAtoms);
    connect(ShowResFeff, &QCheckBox::toggled, this, &Demeter::showResFeff);

    atomsProc = new QProcess;
    atomsRan = false;
    showAtomsState(atomsProc->state());
    if (kind == 1) {
        QStringList args = settings.atomsArgs;
        args << "-c" << nativePath(inputFile.canonicalFilePath());
        configureProcess(atomsProc, nativePath(settings.atomsExe), args, settings, workDir);
        connect(atomsProc, &QProcess::readyReadStandardOutput, this, &Demeter::msgFromAtoms);
        connect(atomsProc, &QProcess::readyReadStandardError, this, &Demeter::msgFromAtoms);
        connect(atomsProc, &QProcess::stateChanged, this, &Demeter::showAtomsState);
        connect(atomsProc, &QProcess::errorOccurred, this,
                [this](QProcess::ProcessError error) { reportStartFailure(atomsProc, error); });
    } else if (kind == 6) {
        prepareFeffInpFile();
    }

    // FEFF's output panel keeps the last lines, as a terminal does: a run that floods it
    // would otherwise make every insertion lay out millions of lines.
    ResFeff->document()->setMaximumBlockCount(feffOutputLinesKept);
    feffProc = new QProcess;
    feffRan = false;
    showFeffState(feffProc->state());
    configureProcess(feffProc, nativePath(settings.feffExe), settings.feffArgs, settings, workDir);
    connect(feffProc, &QProcess::readyReadStandardOutput, this, &Demeter::msgFromFeff);
    connect(feffProc, &QProcess::readyReadStandardError, this, &Demeter::msgFromFeff);
    connect(feffProc, &QProcess::stateChanged, this, &Demeter::showFeffState);
    connect(feffProc, &QProcess::errorOccurred, this,
            [this](QProcess::ProcessError error) { reportStartFailure(feffProc, error); });

    connect(SaveFeffInp, &QPushButton::clicked, this, &Demeter::setupFeffInpFile);
    connect(FeffRestart, &QPushButton::clicked, this, &Demeter::reStartFeff);
}

// The form's widths (80 pixels for a status, 45 for "Color") suit a compact Windows font;
// with wider fonts, or in a narrow window, a status would be cut to a misleading
// "Running" or "Finished". The fields keep the room their longest text needs.
void Demeter::fitFieldsToTexts()
{
    // Every row has the same font and language: measure once, for the first row.
    struct Widths
    {
        QString key;
        int status = 0;
        int color = 0;
        int target = 0;
    };
    static Widths widths;
    const QString key = AtomsStat->font().key() + tr("A. Not Running");
    if (widths.key != key) {
        const QStringList statuses = {tr("A. Not Running"), tr("A. Starting"), tr("A. Running"),
                                      tr("A. Finished"),    tr("F. Not Running"), tr("F. Starting"),
                                      tr("F. Running"),     tr("F. Finished")};
        int widest = 0;
        for (const QString &status : statuses)
            widest = qMax(widest, AtomsStat->fontMetrics().horizontalAdvance(status));
        QStyleOptionFrame option;
        option.initFrom(AtomsStat);
        option.lineWidth =
            AtomsStat->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, AtomsStat);
        widths.status = AtomsStat->style()
                            ->sizeFromContents(QStyle::CT_LineEdit, &option,
                                               QSize(widest + 4, AtomsStat->sizeHint().height()),
                                               AtomsStat)
                            .width();
        widths.color = ColorSel->fontMetrics().horizontalAdvance(ColorSel->text())
            + 2 * ColorSel->style()->pixelMetric(QStyle::PM_ButtonMargin) + 4;
        // Room for the end of the input path, the file name, however narrow the window.
        widths.target = TargetName->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 16;
        widths.key = key;
    }
    for (QLineEdit *field : {AtomsStat, FeffStat}) {
        field->setMaximumWidth(qMax(field->maximumWidth(), widths.status));
        field->setMinimumWidth(qMin(field->maximumWidth(), widths.status));
    }
    ColorSel->setMaximumWidth(qMax(ColorSel->maximumWidth(), widths.color));
    ColorSel->setMinimumWidth(qMin(ColorSel->maximumWidth(), widths.color));
    TargetName->setMinimumWidth(widths.target);
}

// The process objects are left alone: programs still running go on after the program ends.
Demeter::~Demeter() = default;

QString Demeter::atomsStatus() const
{
    return AtomsStat->text();
}

QString Demeter::feffStatus() const
{
    return FeffStat->text();
}

// Jobs of one run never share a working directory: a second input with the same base
// name (Cu.cif and Cu.inp, or one file dropped twice) works in Cu_2, so that the FEFF
// runs cannot overwrite each other's files. A later run of the program reuses Cu.
QString Demeter::claimWorkDir(const QString &resFiles, const QString &name)
{
    static QSet<QString> claimed;
    // A file of the user's with the name is no working directory; it is left alone.
    auto unusable = [](const QString &path) {
        const QFileInfo info(path);
        return info.exists() && !info.isDir();
    };
    QString dir = joinPath(resFiles, name);
    for (int n = 2; claimed.contains(dir) || unusable(dir); ++n)
        dir = joinPath(resFiles, name + "_" + QString::number(n));
    claimed.insert(dir);
    return dir;
}

void Demeter::showResAtoms(bool f)
{
    ResAtoms->setVisible(f);
}

void Demeter::showResFeff(bool f)
{
    ResFeff->setVisible(f);
}

void Demeter::msgFromAtoms()
{
    appendOutput(atomsProc, ResAtoms);
}

void Demeter::msgFromFeff()
{
    const QByteArray bytes = feffProc->readAll();
    if (bytes.isEmpty())
        return;
    const QString text = decodeOutputLines(bytes);
    feffTrouble.add(text);
    // One endless line would be laid out anew with every piece that lengthens it.
    insertUnrecorded(ResFeff, breakLongLines(text, feffOutputWidthKept, &feffOutputColumn));
}

void Demeter::start()
{
    if (jobState == 1) {
        jobState = 2;
        startAndWait(atomsProc);
    } else if (jobState == 6) {
        jobState = 7;
        startFeff();
    }
}

void Demeter::reStartFeff()
{
    if (jobState != 0)
        return;
    ResFeff->clear();
    feffOutputColumn = 0;
    jobState = 7;
    // Counted again only once the new run reports running; a restart that fails to
    // start must not report a stop the manager never saw start.
    feffRan = false;
    startFeff();
}

void Demeter::startFeff()
{
    removeOldFeffDat();
    QDir::setCurrent(workDir);
    chiBeforeRun = FileStamp::of(joinPath(workDir, "chi.dat"));
    startAndWait(feffProc);
}

void Demeter::showAtomsState(QProcess::ProcessState stat)
{
    switch (stat) {
    case QProcess::Starting:
        jobState = 3;
        setStatus(AtomsStat, tr("A. Starting"), startingStyle);
        break;
    case QProcess::Running:
        emit procStarted();
        jobState = 4;
        atomsRan = true;
        setStatus(AtomsStat, tr("A. Running"), runningStyle);
        break;
    case QProcess::NotRunning:
        if (atomsRan) {
            emit procStopped();
            jobState = 6;
            reportAbnormalEnd(atomsProc, "Atoms");
            setupFeffInpFile();
            start();
            setStatus(AtomsStat, tr("A. Finished"), stoppedStyle);
        } else {
            setStatus(AtomsStat, tr("A. Not Running"), stoppedStyle);
        }
        break;
    }
}

void Demeter::showFeffState(QProcess::ProcessState stat)
{
    switch (stat) {
    case QProcess::Starting:
        jobState = 8;
        setStatus(FeffStat, tr("F. Starting"), startingStyle);
        break;
    case QProcess::Running:
        emit procStarted();
        jobState = 9;
        feffRan = true;
        setStatus(FeffStat, tr("F. Running"), runningStyle);
        break;
    case QProcess::NotRunning:
        if (feffRan) {
            emit procStopped();
            jobState = 0;
            setStatus(FeffStat, tr("F. Finished"), stoppedStyle);
            reportAbnormalEnd(feffProc, "FeFF");
            for (const QString &line : feffTrouble.finish())
                emit log(tr("FeFF in %1 : %2").arg(workDir, line));
            readFeffResult();
        } else {
            setStatus(FeffStat, tr("F. Not Running"), stoppedStyle);
        }
        break;
    }
}

// FEFF 6 exits with 0 even after a fatal input error and leaves an older chi.dat
// in place, so only a chi.dat rewritten by this run counts as its result.
void Demeter::readFeffResult()
{
    const bool hadCurve = chiData.valid;
    const QString chiPath = joinPath(workDir, "chi.dat");
    if (FileStamp::of(chiPath) == chiBeforeRun) {
        chiData.reset();
        emit log(tr("FeFF wrote no new chi.dat in %1").arg(workDir));
    } else {
        chiData.read(chiPath);
        if (!chiData.valid)
            emit log(tr("chi.dat in %1 holds no data").arg(workDir));
    }
    if (chiData.valid)
        emit newChi();
    else if (hadCurve)
        emit chiCleared();
}

void Demeter::reportAbnormalEnd(const QProcess *proc, const QString &programName)
{
    if (proc->exitStatus() == QProcess::CrashExit)
        emit log(tr("%1 crashed in %2").arg(programName, workDir));
    else if (proc->exitCode() != 0)
        emit log(tr("%1 ended with exit code %2 in %3")
                     .arg(programName, QString::number(proc->exitCode()), workDir));
}

void Demeter::reportStartFailure(QProcess *proc, QProcess::ProcessError error)
{
    if (error == QProcess::FailedToStart)
        emit log(tr("Can not start %1 : %2").arg(proc->program(), proc->errorString()));
}

void Demeter::setupFeffInpFile()
{
    const QString text = textFromMarker(ResAtoms->toPlainText());
    QFile file(joinPath(workDir, "feff.inp"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        emit log(tr("Can not open feff.inp for %1").arg(file.fileName()));
        return;
    }
    QTextStream out(&file);
    out.setCodec(fileTextCodec());
    out << text;
    out.flush();
    file.close();
}

// For messages from inside the constructor, before anything listens to log(): they are
// delivered from the event loop, once the job has been wired up.
void Demeter::logLater(const QString &msg)
{
    QMetaObject::invokeMethod(this, [this, msg] { emit log(msg); }, Qt::QueuedConnection);
}

void Demeter::prepareFeffInpFile()
{
    QFile source(inputFile.canonicalFilePath());
    if (source.fileName().isEmpty() || !source.open(QIODevice::ReadOnly | QIODevice::Text)) {
        // A file that is gone has no canonical path; name the one the user gave.
        logLater(tr("Can not open feff input file : %1 to read.")
                     .arg(source.fileName().isEmpty() ? inputFile.absoluteFilePath() : source.fileName()));
        return;
    }
    // Read before the target is opened: the input may itself be this job's feff.inp,
    // which opening for writing would empty.
    QTextStream in(&source);
    in.setCodec(fileTextCodec());
    const QString text = in.readAll();

    QFile target(joinPath(workDir, "feff.inp"));
    if (!target.open(QIODevice::WriteOnly | QIODevice::Text)) {
        source.close();
        logLater(tr("Can not open feff input file : %1 to write.").arg(target.fileName()));
        return;
    }
    QTextStream out(&target);
    out.setCodec(fileTextCodec());
    out << text;
    out.flush();
    target.close();
    source.close();

    insertUnrecorded(ResAtoms, copiedHeaderLine + text);
}

void Demeter::removeOldFeffDat()
{
    removeFeffDatFiles(workDir);
}

void Demeter::showProcs()
{
    qDebug() << "Atoms:";
    qDebug() << atomsProc->program();
    qDebug() << atomsProc->arguments();
    qDebug() << "FeFF:";
    qDebug() << feffProc->program();
    qDebug() << feffProc->arguments();
}
