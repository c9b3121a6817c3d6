#include "convertstep.h"

#include "feffinp.h"

ConvertStep::ConvertStep(QObject *parent)
    : QObject(parent)
{
    connect(&run, &ProgramRun::output, this, [this](const QByteArray &chunk) {
        const QString decoded = decodeOutputLines(chunk);
        text += decoded;
        bytes += chunk;
        emit output(decoded);
    });
    connect(&run, &ProgramRun::ended, this, &ConvertStep::takeEnd);
}

void ConvertStep::setDirectory(const QString &dir, int timeLimit)
{
    workDir = dir;
    limit = timeLimit;
    run.setTimeLimit(timeLimit);
}

void ConvertStep::clearOutput()
{
    text.clear();
    bytes.clear();
}

void ConvertStep::start()
{
    clearOutput();
    run.start();
}

void ConvertStep::takeEnd(const ProgramRun::End &end)
{
    Result result;
    result.end = end;
    Problem &problem = result.problem;
    problem = end.problem(JobCodes::Program::Atoms, workDir, limit);
    // A stop was logged when it was asked for.
    if (!problem.isNone() && !end.stopped)
        emit log(problem.text());
    // A converter that ends with an error status names the error in its last line (for an
    // option it does not take, too); the log and the failure reason carry that line.
    if (problem.kind == Problem::Kind::ExitCode) {
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
            if (it->trimmed().isEmpty())
                continue;
            problem.programSaid = it->trimmed().left(300);
            emit log(problem.saidLine());
            break;
        }
    }
    const int marker = markerOffset(bytes);
    const FeffInputs split = problem.isNone() ? FeffInputs::split(bytes) : FeffInputs();
    if (!split.error.isEmpty()) {
        problem.kind = Problem::Kind::InputsAmbiguous;
        problem.detail = split.error;
        emit log(problem.text());
    } else if (problem.isNone() && marker < 0) {
        problem.kind = Problem::Kind::NoFeffInput;
        emit log(problem.text());
    }
    if (!problem.isNone()) {
        result.outcome = end.normal() ? JobCodes::Outcome::NoChi : end.outcome();
    } else if (split.inputs.size() > 1) {
        result.inputs = split.inputs;
    } else {
        // feff.inp keeps the converter's bytes from the marker on (a lone input's, from its
        // marker to its END).
        result.input = split.inputs.isEmpty() ? bytes.mid(marker) : split.inputs.first().text;
    }
    bytes.clear();
    emit ended(result);
}
