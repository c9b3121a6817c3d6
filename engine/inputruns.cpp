#include "inputruns.h"

#include "runsettings.h"

QString InputRuns::Run::chiPath() const { return joinPath(dir, "chi.dat"); }

InputRuns::Run &InputRuns::add(const QString &name, double weight, const QString &dir)
{
    runs.push_back(std::make_unique<Run>());
    Run &run = *runs.back();
    run.name = name;
    run.weight = weight;
    run.dir = dir;
    return run;
}

int InputRuns::count(State state) const
{
    int n = 0;
    for (const auto &run : runs)
        n += run->state == state;
    return n;
}

InputRuns::Run *InputRuns::nextWaiting() const
{
    for (const auto &run : runs)
        if (run->state == State::Waiting)
            return run.get();
    return nullptr;
}

QStringList InputRuns::names() const
{
    QStringList list;
    for (const auto &run : runs)
        list << run->name;
    return list;
}

QStringList InputRuns::names(State state) const
{
    QStringList list;
    for (const auto &run : runs)
        if (run->state == state)
            list << run->name;
    return list;
}

void InputRuns::rewind()
{
    for (const auto &run : runs) {
        run->state = State::Waiting;
        run->outcome = Job::Outcome::None;
        run->exitCode = -1;
        run->signal = 0;
    }
}
