#ifndef DEMETER_H
#define DEMETER_H

#include "chidata.h"
#include "feffinp.h"
#include "filestamp.h"
#include "runsettings.h"
#include "ui_demeter.h"

#include <QColor>
#include <QFileInfo>
#include <QFrame>
#include <QProcess>

// One input file's job: runs Atoms (for a CIF input) and FEFF in its own working
// directory, reads chi.dat, and is the job's row in the main window.
class Demeter : public QFrame, private Ui_Demeter
{
    Q_OBJECT
    friend class Gui;
    friend class ShowChi;

public:
    Demeter(const RunSettings *settings, const QFileInfo &file, int kind, QWidget *parent = nullptr);
    ~Demeter() override;

    int state() const { return jobState; }
    const ChiData &chi() const { return chiData; }
    QString workingDirectory() const { return workDir; }
    QString inputPath() const { return inputFile.absoluteFilePath(); }
    QString atomsStatus() const;
    QString feffStatus() const;
    QColor color() const { return curveColor; }

signals:
    void log(const QString &msg);
    void procStarted();
    void procStopped();
    void newChi();
    void showChanged();
    // A FEFF run left no valid data where the job had a curve before.
    void chiCleared();

private slots:
    void showResAtoms(bool f);
    void showResFeff(bool f);
    void msgFromAtoms();
    void msgFromFeff();
    void showAtomsState(QProcess::ProcessState stat);
    void showFeffState(QProcess::ProcessState stat);
    void setupFeffInpFile();
    void prepareFeffInpFile();
    void logLater(const QString &msg);
    void reportStartFailure(QProcess *proc, QProcess::ProcessError error);

public slots:
    void start();
    void reStartFeff();
    void showProcs();

private:
    void removeOldFeffDat();
    void fitFieldsToTexts();
    void startFeff();
    void reportAbnormalEnd(const QProcess *proc, const QString &programName);
    void readFeffResult();
    static QString claimWorkDir(const QString &resFiles, const QString &baseName);

    RunSettings settings;
    QFileInfo inputFile;
    QString baseName;
    QString workDir;
    QProcess *atomsProc = nullptr;
    QProcess *feffProc = nullptr;
    TroubleLines feffTrouble;
    int feffOutputColumn = 0;
    bool atomsRan = false;
    bool feffRan = false;
    int jobState = 0;
    ChiData chiData;
    QColor curveColor;
    // chi.dat as it was when FEFF was last started
    FileStamp chiBeforeRun;
};

#endif
