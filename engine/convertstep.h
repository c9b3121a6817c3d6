#ifndef CONVERTSTEP_H
#define CONVERTSTEP_H

#include "feffinputs.h"
#include "problem.h"
#include "programrun.h"

#include <QObject>

// A job's converter run: starts the converter, keeps its output (the text the Atoms area
// shows and the bytes feff.inp is cut from) and, once it has ended, tells what it gave:
// one FEFF input, several (one per site or configuration), or a problem.
class ConvertStep : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        ProgramRun::End end;
        // Empty when the converter gave FEFF input.
        Problem problem;
        JobCodes::Outcome outcome = JobCodes::Outcome::None;
        // One FEFF input: its bytes; several: each with its name and weight.
        QByteArray input;
        QVector<ConvertedInput> inputs;
    };

    explicit ConvertStep(QObject *parent = nullptr);

    ProgramRun &program() { return run; }
    const ProgramRun &program() const { return run; }
    void setDirectory(const QString &dir, int timeLimit);
    void start();
    QString outputText() const { return text; }
    // Output is no longer needed beyond feff.inp: a batch shows none.
    void dropOutputText() { text = QString(); }
    void clearOutput();

signals:
    void output(const QString &text);
    // The converter ran and ended; the problem, if any, has been logged.
    void ended(const ConvertStep::Result &result);
    void log(const QString &msg);

private:
    void takeEnd(const ProgramRun::End &end);

    ProgramRun run;
    QString workDir;
    int limit = 0;
    QString text;
    QByteArray bytes;
};

#endif
