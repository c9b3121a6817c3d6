#include "problem.h"

#include <QCoreApplication>

namespace {

QString demeterTr(const char *text) { return QCoreApplication::translate("Demeter", text); }

} // namespace

QString Problem::saidLine() const { return demeterTr("Atoms in %1 : %2").arg(dir, programSaid); }

QString Problem::text() const
{
    const QString name = JobCodes::programName(program);
    QString line;
    switch (kind) {
    case Kind::None:
        return QString();
    case Kind::WorkDirNotMade:
        line = demeterTr("Can not create the working directory %1").arg(dir);
        break;
    case Kind::CannotStart:
        line = demeterTr("Can not start %1 : %2").arg(path, detail);
        break;
    case Kind::CannotStartNow:
        line = demeterTr("Can not start %1 now (%2) : tried again when a program ends")
                   .arg(path, detail);
        break;
    case Kind::TimeLimit:
        line = demeterTr("%1 stopped after its time limit of %2 s in %3")
                   .arg(name)
                   .arg(limit)
                   .arg(dir);
        break;
    case Kind::StoppedByUser:
        line = demeterTr("%1 stopped by the user in %2").arg(name, dir);
        break;
    case Kind::Crashed:
        line = demeterTr("%1 crashed in %2").arg(name, dir);
        break;
    case Kind::LeftProcesses:
        line = demeterTr("%1 ended in %2 while processes it started still ran: they were ended, "
                         "and the run counts as crashed")
                   .arg(name, dir);
        break;
    case Kind::ExitCode:
        line = demeterTr("%1 ended with exit code %2 in %3")
                   .arg(name, QString::number(exitCode), dir);
        break;
    case Kind::SkippedByUser:
        line = demeterTr("Skipped by the user: %1").arg(path);
        break;
    case Kind::NoFeffInp:
        line = demeterTr("FeFF not started in %1 : no feff.inp was written for it in this run")
                   .arg(dir);
        break;
    case Kind::NoNewChi:
        line = demeterTr("FeFF wrote no new chi.dat in %1").arg(dir);
        break;
    case Kind::NoChiData:
        line = demeterTr("chi.dat in %1 holds no data").arg(dir);
        break;
    case Kind::ChiNotFinite:
        line = demeterTr("%1 holds %2 rows with values that are not finite numbers (nan, inf): "
                         "no result from it")
                   .arg(path)
                   .arg(count);
        break;
    case Kind::CannotOpen:
        line = demeterTr("Can not open %1 : %2").arg(path, detail);
        break;
    case Kind::RunsWithoutChi:
        line = demeterTr("No average of the FeFF runs in %1 : %2 of %3 gave no chi(k) (%4)")
                   .arg(dir)
                   .arg(count)
                   .arg(total)
                   .arg(detail);
        break;
    case Kind::NoAverage:
        line = demeterTr("No average of the FeFF runs in %1 : %2").arg(dir, detail);
        break;
    case Kind::CannotWrite:
        line = demeterTr("Can not write %1 : %2").arg(path, detail);
        break;
    case Kind::InputsAmbiguous:
        line = demeterTr("Atoms printed FEFF inputs that can not be told apart in %1 : %2")
                   .arg(dir, detail);
        break;
    case Kind::NoFeffInput:
        line = demeterTr("Atoms printed no FEFF input (no line with the marker \" * This\") in %1")
                   .arg(dir);
        break;
    }
    if (!programSaid.isEmpty())
        line += QLatin1Char('\n') + saidLine();
    return line;
}
