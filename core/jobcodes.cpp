#include "jobcodes.h"

#include <QCoreApplication>

namespace {

// The texts of a job belong to the row's translation context, where the catalogue has them.
QString demeterTr(const char *text) { return QCoreApplication::translate("Demeter", text); }

} // namespace

QString JobCodes::statusText(Program program, Status status)
{
    if (program == Program::Atoms) {
        switch (status) {
        case Status::NotRunning:
            return demeterTr("A. Not Running");
        case Status::Starting:
            return demeterTr("A. Starting");
        case Status::Running:
            return demeterTr("A. Running");
        case Status::Finished:
            return demeterTr("A. Finished");
        case Status::Failed:
            return demeterTr("A. Failed");
        }
    }
    switch (status) {
    case Status::NotRunning:
        return demeterTr("F. Not Running");
    case Status::Starting:
        return demeterTr("F. Starting");
    case Status::Running:
        return demeterTr("F. Running");
    case Status::Finished:
        return demeterTr("F. Finished");
    case Status::Failed:
        return demeterTr("F. Failed");
    }
    return QString();
}

QString JobCodes::programName(Program program)
{
    return program == Program::Atoms ? QStringLiteral("Atoms") : QStringLiteral("FeFF");
}

QString JobCodes::resultWord(Outcome outcome, int exitCode, bool warned)
{
    switch (outcome) {
    case Outcome::None:
        return QStringLiteral("unfinished");
    case Outcome::Ok:
        return warned ? QStringLiteral("ok-warned") : QStringLiteral("ok");
    case Outcome::NoChi:
        return QStringLiteral("no-chi");
    case Outcome::Crashed:
        return QStringLiteral("crashed");
    case Outcome::ExitCode:
        return QStringLiteral("exit-%1").arg(exitCode);
    case Outcome::Timeout:
        return QStringLiteral("timeout");
    case Outcome::CannotStart:
        return QStringLiteral("cannot-start");
    case Outcome::Stopped:
        return QStringLiteral("stopped");
    case Outcome::Skipped:
        return QStringLiteral("skipped");
    case Outcome::Resumed:
        return QStringLiteral("resumed");
    }
    return QString();
}
