#include "jobmodel.h"

#include <QCoreApplication>

namespace {

// What a change of a job's run can change of its row.
const QVector<int> &stateRoles()
{
    static const QVector<int> roles { JobModel::AtomsStatusRole, JobModel::AtomsTextRole,
        JobModel::FeffStatusRole, JobModel::FeffTextRole, JobModel::FailureReasonRole,
        JobModel::OutcomeRole, JobModel::PhaseRole, JobModel::FeffWarningsRole };
    return roles;
}

// What a change of the ranking can change of a row.
const QVector<int> &fitRoles()
{
    static const QVector<int> roles { JobModel::RankRole, JobModel::RankStatusRole,
        JobModel::RFactorRole, JobModel::S02Role, JobModel::DE0Role, JobModel::Sigma2Role,
        JobModel::Sigma2FarRole, JobModel::AtBoundRole, JobModel::AbsorberRole,
        JobModel::FitTextRole, JobModel::FitToolTipRole };
    return roles;
}

bool hasEnded(const Job *job) { return !job->isRunning() && !job->isWaiting(); }

QString rowTr(const char *text) { return QCoreApplication::translate("Demeter", text); }

bool sameFit(const JobRanking::Entry &a, const JobRanking::Entry &b)
{
    return a.fitted == b.fitted && a.status == b.status && a.rank == b.rank
        && a.element == b.element && a.edge == b.edge && a.fit.ok == b.fit.ok
        && a.fit.error == b.fit.error && a.fit.rfactor == b.fit.rfactor && a.fit.s02 == b.fit.s02
        && a.fit.de0 == b.fit.de0 && a.fit.sigma2 == b.fit.sigma2
        && a.fit.sigma2Far == b.fit.sigma2Far && a.fit.shells == b.fit.shells
        && a.fit.atBound == b.fit.atBound;
}

QStringList atBoundNames(const FitResult &fit)
{
    QStringList names;
    for (const std::string &name : fit.atBound)
        names << QString::fromStdString(name);
    return names;
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-');
}

// Whether the length characters of line from `from` on are a whole name, not a part of a
// longer one: a line with "/res/Cu_2" or "/res/Cu.cif" does not name "/res/Cu"; one with
// "/res/Cu." at the end of a sentence or "/res/Cu/site-Fe1" (a run's directory) does.
bool isWholeName(const QString &line, int from, int length)
{
    if (from > 0) {
        const QChar before = line.at(from - 1);
        if (isNameChar(before) || before == QLatin1Char('.') || before == QLatin1Char('/'))
            return false;
    }
    const int end = from + length;
    if (end == line.size())
        return true;
    if (line.at(end) == QLatin1Char('.'))
        return end + 1 == line.size() || !isNameChar(line.at(end + 1));
    return !isNameChar(line.at(end));
}

bool namesWhole(const QString &line, const QString &name)
{
    if (name.isEmpty())
        return false;
    for (int at = line.indexOf(name); at >= 0; at = line.indexOf(name, at + 1))
        if (isWholeName(line, at, name.size()))
            return true;
    return false;
}

} // namespace

JobModel::JobModel(QObject *parent, Changes told)
    : QAbstractListModel(parent)
    , changes(told)
{
}

void JobModel::addJob(Job *job) { addJobs({ job }); }

void JobModel::addJobs(const QVector<Job *> &jobs)
{
    if (jobs.isEmpty())
        return;
    const int first = jobList.size();
    beginInsertRows(QModelIndex(), first, first + jobs.size() - 1);
    for (Job *job : jobs) {
        rowOf.insert(job, jobList.size());
        jobList.append(job);
        RowState state;
        state.name = job->inputName();
        state.chiGeneration = job->chi().generation();
        if (fits)
            state.fit = fits->entry(job);
        rows.append(state);
        if (changes == Changes::Told)
            watch(job);
    }
    endInsertRows();
}

// Each connection names its job: QObject::sender() would look through the connections of
// every job to find it.
void JobModel::watch(Job *job)
{
    for (auto signal : { &Job::statusChanged, &Job::ended, &Job::startRequested,
             &Job::skipRequested, &Job::newChi, &Job::chiCleared })
        connect(job, signal, this, [this, job] { jobChanged(job); });
    connect(job, &Job::atomsOutputCleared, this, [this, job] { atomsCleared(job); });
}

void JobModel::jobChanged(const Job *job)
{
    const int at = row(job);
    if (at < 0)
        return;
    RowState &state = rows[at];
    QVector<int> roles = stateRoles();
    if (job->chi().generation() != state.chiGeneration) {
        state.chiGeneration = job->chi().generation();
        roles << ChiRole << FitTextRole;
    }
    // Atoms runs again: its new output replaces what the user made of the old.
    if (state.edited && job->status(Job::Program::Atoms) == Job::Status::Starting) {
        clearEdit(at);
        roles << AtomsEditRole;
    }
    changed(at, roles);
}

void JobModel::atomsCleared(const Job *job)
{
    const int at = row(job);
    if (at >= 0 && rows[at].edited) {
        clearEdit(at);
        changed(at, { AtomsEditRole });
    }
}

void JobModel::clearEdit(int row)
{
    rows[row].edited = false;
    rows[row].atomsEdit = QString();
}

void JobModel::changed(int row, const QVector<int> &roles)
{
    const QModelIndex at = index(row);
    emit dataChanged(at, at, roles);
}

bool JobModel::isShown(int row) const { return hasRow(row) && rows.at(row).shown; }

void JobModel::setShown(int row, bool shown)
{
    if (!hasRow(row) || rows[row].shown == shown)
        return;
    rows[row].shown = shown;
    changed(row, { Qt::CheckStateRole });
}

void JobModel::setAllShown(bool shown)
{
    if (rows.isEmpty())
        return;
    for (RowState &state : rows)
        state.shown = shown;
    emit dataChanged(index(0), index(rows.size() - 1), { Qt::CheckStateRole });
}

quint32 JobModel::colour(int row) const
{
    if (!hasRow(row))
        return 0;
    if (rows[row].colour != 0 || palette.isEmpty())
        return rows[row].colour;
    return palette.at(row % palette.size());
}

void JobModel::setColour(int row, quint32 argb)
{
    if (!hasRow(row) || rows[row].colour == argb)
        return;
    rows[row].colour = argb;
    changed(row, { ColorRole });
}

void JobModel::setPalette(const QVector<quint32> &argb)
{
    palette = argb;
    if (!rows.isEmpty())
        emit dataChanged(index(0), index(rows.size() - 1), { ColorRole });
}

void JobModel::setRanking(JobRanking *ranking)
{
    if (fits == ranking)
        return;
    if (fits)
        disconnect(fits, nullptr, this, nullptr);
    fits = ranking;
    if (fits) {
        connect(fits, &JobRanking::changed, this, &JobModel::rankingChanged);
        connect(fits, &QObject::destroyed, this, &JobModel::rankingChanged);
    }
    rankingChanged();
}

// The ranking changes as a whole: a new best moves every rank below it. The rows that
// changed are told in one range.
void JobModel::rankingChanged()
{
    const bool nowMeasured = fits && fits->hasMeasured();
    const int rankedBefore = rankedCount;
    int first = -1;
    int last = -1;
    rankedCount = 0;
    for (int at = 0; at < rows.size(); ++at) {
        JobRanking::Entry entry = fits ? fits->entry(jobList.at(at)) : JobRanking::Entry();
        if (entry.rank > 0)
            ++rankedCount;
        if (sameFit(entry, rows.at(at).fit))
            continue;
        rows[at].fit = std::move(entry);
        if (first < 0)
            first = at;
        last = qMax(last, at);
    }
    // Every row's field or tooltip ("Rank 3 of 120") changes with these.
    if (nowMeasured != measured || rankedCount != rankedBefore) {
        first = 0;
        last = rows.size() - 1;
    }
    measured = nowMeasured;
    if (first >= 0 && last >= first)
        emit dataChanged(index(first), index(last), fitRoles());
}

QString JobModel::fitText(int row) const
{
    if (!measured)
        return QString();
    const JobRanking::Entry &e = rows.at(row).fit;
    if (!e.fitted)
        return jobList.at(row)->chi().valid ? rowTr("fitting…") : QString();
    switch (e.status) {
    case RankStatus::Ranked:
        return rowTr("#%1 R %2").arg(e.rank).arg(e.fit.rfactor, 0, 'f', 3);
    case RankStatus::OtherAbsorber:
        return rowTr("other absorber");
    case RankStatus::FitFailed:
        return rowTr("fit failed");
    case RankStatus::NoChi:
        break;
    }
    return QString();
}

QString JobModel::fitToolTip(int row) const
{
    if (!measured)
        return QString();
    const JobRanking::Entry &e = rows.at(row).fit;
    if (!e.fitted)
        return QString();
    QStringList lines;
    switch (e.status) {
    case RankStatus::Ranked:
        lines << rowTr("Rank %1 of %2, R-factor %3")
                     .arg(e.rank)
                     .arg(rankedCount)
                     .arg(e.fit.rfactor, 0, 'f', 4);
        lines << rowTr("S0² %1, ΔE0 %2 eV, σ² %3 Å²")
                     .arg(e.fit.s02, 0, 'f', 2)
                     .arg(e.fit.de0, 0, 'f', 1)
                     .arg(e.fit.sigma2, 0, 'f', 4);
        if (e.fit.shells)
            lines << rowTr("σ² beyond the first shell %1 Å²").arg(e.fit.sigma2Far, 0, 'f', 4);
        if (!e.fit.atBound.empty())
            lines << rowTr("At a bound, not to be trusted: %1")
                         .arg(atBoundNames(e.fit).join(QLatin1String(", ")));
        break;
    case RankStatus::OtherAbsorber:
        lines << rowTr("Not ranked: its absorber is not the measured spectrum's");
        break;
    case RankStatus::FitFailed:
        lines << rowTr("The fit failed: %1").arg(QString::fromStdString(e.fit.error));
        break;
    case RankStatus::NoChi:
        return QString();
    }
    const QString absorber = data(index(row), AbsorberRole).toString();
    if (!absorber.isEmpty())
        lines << rowTr("Absorber: %1").arg(absorber);
    return lines.join(QLatin1Char('\n'));
}

QVariant JobModel::fitData(int row, int role) const
{
    const JobRanking::Entry &e = rows.at(row).fit;
    switch (role) {
    case RankRole:
        return e.rank;
    case RankStatusRole:
        return int(e.status);
    case AbsorberRole:
        return (e.element + QLatin1Char(' ') + e.edge).trimmed();
    case FitTextRole:
        return measured ? QVariant(fitText(row)) : QVariant();
    case FitToolTipRole:
        return fitToolTip(row);
    default:
        break;
    }
    if (!e.fitted || !e.fit.ok)
        return QVariant();
    switch (role) {
    case RFactorRole:
        return e.fit.rfactor;
    case S02Role:
        return e.fit.s02;
    case DE0Role:
        return e.fit.de0;
    case Sigma2Role:
        return e.fit.sigma2;
    case Sigma2FarRole:
        return e.fit.sigma2Far;
    case AtBoundRole:
        return atBoundNames(e.fit);
    default:
        return QVariant();
    }
}

int JobModel::rowNamedIn(const QString &line) const
{
    int best = -1;
    int bestLength = 0;
    for (int at = 0; at < jobList.size(); ++at) {
        const Job *job = jobList.at(at);
        for (const QString &name : { job->workingDirectory(), job->inputPath() }) {
            if (name.size() > bestLength && namesWhole(line, name)) {
                best = at;
                bestLength = name.size();
            }
        }
    }
    return best;
}

JobModel::Phase JobModel::phase(const Job *job)
{
    if (job->isRunning())
        return Phase::Running;
    if (job->isWaiting())
        return Phase::Waiting;
    switch (job->outcome()) {
    case Job::Outcome::None:
        return Phase::Waiting;
    case Job::Outcome::Ok:
    case Job::Outcome::Resumed:
        return Phase::Finished;
    case Job::Outcome::Stopped:
        return Phase::Stopped;
    case Job::Outcome::Skipped:
        return Phase::Skipped;
    case Job::Outcome::NoChi:
    case Job::Outcome::Crashed:
    case Job::Outcome::ExitCode:
    case Job::Outcome::Timeout:
    case Job::Outcome::CannotStart:
        break;
    }
    return Phase::Failed;
}

JobModel::Tally JobModel::tally() const
{
    Tally tally;
    tally.total = jobList.size();
    for (const Job *job : jobList) {
        switch (phase(job)) {
        case Phase::Waiting:
            ++tally.waiting;
            break;
        case Phase::Running:
            ++tally.running;
            break;
        case Phase::Finished:
            ++tally.withChi;
            ++tally.ended;
            break;
        case Phase::Failed:
        case Phase::Stopped:
        case Phase::Skipped:
            ++tally.ended;
            break;
        }
    }
    return tally;
}

Job::Status JobModel::statusLook(const Job *job, Job::Program program)
{
    if (program == Job::Program::Feff && hasEnded(job)) {
        if (job->outcome() == Job::Outcome::Skipped)
            return Job::Status::NotRunning;
        if (job->outcome() == Job::Outcome::Stopped)
            return Job::Status::Failed;
    }
    return job->status(program);
}

QString JobModel::statusText(const Job *job, Job::Program program)
{
    const QString end
        = program == Job::Program::Feff && hasEnded(job) ? endText(job->outcome()) : QString();
    return end.isEmpty() ? job->statusText(program) : end;
}

QString JobModel::endText(Job::Outcome outcome)
{
    // The row's texts are in the row's translation context.
    if (outcome == Job::Outcome::Skipped)
        return QCoreApplication::translate("Demeter", "F. Skipped");
    if (outcome == Job::Outcome::Stopped)
        return QCoreApplication::translate("Demeter", "F. Stopped");
    return QString();
}

int JobModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : jobList.size();
}

QVariant JobModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const int at = index.row();
    const Job *job = jobList.at(at);
    switch (role) {
    case Qt::DisplayRole:
        return rows.at(at).name;
    case Qt::CheckStateRole:
        return rows.at(at).shown ? Qt::Checked : Qt::Unchecked;
    case JobRole:
        return QVariant::fromValue(jobList.at(at));
    case InputPathRole:
        return job->inputPath();
    case WorkingDirectoryRole:
        return job->workingDirectory();
    case NumberRole:
        return at + 1;
    case AtomsStatusRole:
        return int(statusLook(job, Job::Program::Atoms));
    case AtomsTextRole:
        return statusText(job, Job::Program::Atoms);
    case FeffStatusRole:
        return int(statusLook(job, Job::Program::Feff));
    case FeffTextRole:
        return statusText(job, Job::Program::Feff);
    case FailureReasonRole:
        return job->failureReason();
    case OutcomeRole:
        return int(job->outcome());
    case PhaseRole:
        return int(phase(job));
    case ChiRole:
        return QVariant::fromValue(&job->chi());
    case ColorRole:
        return uint(colour(at));
    case AtomsEditRole:
        return rows.at(at).edited ? QVariant(rows.at(at).atomsEdit) : QVariant();
    case FeffWarningsRole:
        return phase(job) == Phase::Finished ? job->warnings() : QStringList();
    default:
        return role >= RankRole && role <= FitToolTipRole ? fitData(at, role) : QVariant();
    }
}

bool JobModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const int at = index.row();
    switch (role) {
    case Qt::CheckStateRole:
        setShown(at, value.toInt() == Qt::Checked);
        return true;
    case ColorRole:
        setColour(at, value.toUInt());
        return true;
    case AtomsEditRole: {
        RowState &state = rows[at];
        if (!value.isValid()) {
            if (!state.edited)
                return true;
            clearEdit(at);
        } else {
            state.edited = true;
            state.atomsEdit = value.toString();
            if (state.atomsEdit.isNull())
                state.atomsEdit = QLatin1String("");
        }
        changed(at, { AtomsEditRole });
        return true;
    }
    default:
        return false;
    }
}

Qt::ItemFlags JobModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEditable
        | Qt::ItemNeverHasChildren;
}
