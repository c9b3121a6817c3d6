#ifndef JOBMODEL_H
#define JOBMODEL_H

#include "job.h"

#include <QAbstractListModel>
#include <QHash>
#include <QVector>

// The jobs of a run as rows, in the order they were made, with what the windows keep of
// each: whether its curve is shown, its colour, and the user's edit of its Atoms area.
// The list, the plot and the batch read the jobs through it. The jobs belong to their
// manager and outlive the model.
class JobModel : public QAbstractListModel
{
    Q_OBJECT

public:
    // Qt::DisplayRole is the input's file name, Qt::CheckStateRole whether its curve is
    // shown.
    enum Role {
        JobRole = Qt::UserRole + 1, // Job *
        InputPathRole,
        WorkingDirectoryRole,
        NumberRole, // the row's number in the order of making, from 1
        // What a status field shows: its look (a Job::Status, as int) and its text.
        AtomsStatusRole,
        AtomsTextRole,
        FeffStatusRole,
        FeffTextRole,
        FailureReasonRole,
        OutcomeRole, // Job::Outcome, as int
        PhaseRole, // Phase, as int
        ChiRole, // const ChiData *
        ColorRole, // uint 0xAARRGGBB; 0 while the row has none
        AtomsEditRole // the Atoms area as the user left it; an invalid QVariant for none
    };
    // Where a job stands, as the list's state choice tells them apart.
    enum class Phase { Waiting, Running, Finished, Failed, Stopped, Skipped };

    // Jobs counted by where they stand; a job has ended when it neither waits nor runs.
    struct Tally
    {
        int total = 0;
        int waiting = 0;
        int running = 0;
        int ended = 0;
        int withChi = 0;
        int failed() const { return ended - withChi; }
        bool allEnded() const { return total > 0 && ended == total; }
    };

    // Whether a row tells its views of every change of its job. A model read now and then
    // (a batch's report, a picture) does without, and saves seven connections a job.
    enum class Changes { Told, Untold };

    explicit JobModel(QObject *parent = nullptr, Changes changes = Changes::Told);

    void addJob(Job *job);
    void addJobs(const QVector<Job *> &jobs);
    const QVector<Job *> &jobs() const { return jobList; }
    Job *job(int row) const { return jobList.value(row); }
    // The job's row, or -1 for a job not in the model.
    int row(const Job *job) const { return rowOf.value(job, -1); }
    // The input's file name, as Qt::DisplayRole gives it.
    QString name(int row) const { return hasRow(row) ? rows.at(row).name : QString(); }

    bool isShown(int row) const;
    void setShown(int row, bool shown);
    void setAllShown(bool shown);
    // The row's chosen colour, else its palette colour (0 without a palette).
    quint32 colour(int row) const;
    void setColour(int row, quint32 argb);
    // The colours rows take until one is chosen: row i the entry i modulo their number.
    void setPalette(const QVector<quint32> &argb);

    Tally tally() const;
    static Phase phase(const Job *job);
    // A status field's look and text: a job that was skipped or stopped says so in
    // FEFF's field, in the look of a program that did not run or that failed.
    static Job::Status statusLook(const Job *job, Job::Program program);
    static QString statusText(const Job *job, Job::Program program);
    // What FEFF's field says of a job that ended so: "F. Skipped", "F. Stopped" (empty for
    // other outcomes).
    static QString endText(Job::Outcome outcome);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    struct RowState
    {
        QString name;
        quint64 chiGeneration = 0;
        quint32 colour = 0;
        bool shown = false;
        bool edited = false;
        QString atomsEdit;
    };

    bool hasRow(int row) const { return row >= 0 && row < rows.size(); }
    void watch(Job *job);
    void jobChanged(const Job *job);
    void atomsCleared(const Job *job);
    void clearEdit(int row);
    void changed(int row, const QVector<int> &roles);

    QVector<Job *> jobList;
    QVector<RowState> rows;
    QHash<const Job *, int> rowOf;
    QVector<quint32> palette;
    Changes changes;
};

Q_DECLARE_METATYPE(const ChiData *)

#endif
