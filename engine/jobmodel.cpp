#include "jobmodel.h"

#include <QCoreApplication>

namespace {

// What a change of a job's run can change of its row.
const QVector<int> &stateRoles()
{
    static const QVector<int> roles { JobModel::AtomsStatusRole, JobModel::AtomsTextRole,
        JobModel::FeffStatusRole, JobModel::FeffTextRole, JobModel::FailureReasonRole,
        JobModel::OutcomeRole, JobModel::PhaseRole };
    return roles;
}

bool hasEnded(const Job *job) { return !job->isRunning() && !job->isWaiting(); }

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
        roles << ChiRole;
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
    default:
        return QVariant();
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
