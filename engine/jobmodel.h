#ifndef JOBMODEL_H
#define JOBMODEL_H

#include "job.h"
#include "jobranking.h"

#include <QAbstractListModel>
#include <QHash>
#include <QPointer>
#include <QVector>

// The jobs of a run as rows, in the order they were made, with what the windows keep of
// each: whether its curve is shown, its colour, and the user's edit of its Atoms area.
// The list, the plot and the batch read the jobs through it. The jobs belong to their
// manager and outlive the model. Given a JobRanking, each row also tells its job's fit to the
// measured spectrum, as the ranking has it now.
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
        AtomsEditRole, // the Atoms area as the user left it; an invalid QVariant for none
        // QStringList: FEFF's warnings of a run that gave chi data nonetheless (empty for
        // any other end), as the log has them.
        FeffWarningsRole,
        // The fit to the measured spectrum; the numbers are invalid QVariants until a fit
        // of the job's present chi data has come back.
        RankRole, // int: 1 for the best, 0 when not ranked
        RankStatusRole, // RankStatus, as int
        RFactorRole,
        S02Role,
        DE0Role, // eV
        Sigma2Role, // A^2
        Sigma2FarRole, // A^2, of the paths beyond the first shell
        AtBoundRole, // QStringList: the parameters that ended at a bound
        AbsorberRole, // the job's absorbing element and its edge ("Fe K"), from its feff.inp
        FitTextRole, // the row's fit field: "#3 R 0.012", "other absorber", ...; empty
                     // without chi data, an invalid QVariant without a measured spectrum
        FitToolTipRole
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

    // The fits the rows show from now on (none: nullptr); the model follows its changed().
    void setRanking(JobRanking *ranking);
    JobRanking *ranking() const { return fits; }
    // The row's rank in the ranking (1 for the best), 0 when it has none.
    int rank(int row) const { return hasRow(row) ? rows.at(row).fit.rank : 0; }

    // The row of the job whose working directory (or a run's directory in it) or input
    // path a line names, as the log's lines do; the longest name wins, so that a line of
    // "Cu_2" is not taken for "Cu". -1 when it names none.
    int rowNamedIn(const QString &line) const;

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
        JobRanking::Entry fit;
    };

    bool hasRow(int row) const { return row >= 0 && row < rows.size(); }
    void watch(Job *job);
    void jobChanged(const Job *job);
    void atomsCleared(const Job *job);
    void clearEdit(int row);
    void changed(int row, const QVector<int> &roles);
    void rankingChanged();
    QVariant fitData(int row, int role) const;
    QString fitText(int row) const;
    QString fitToolTip(int row) const;

    QVector<Job *> jobList;
    QVector<RowState> rows;
    QHash<const Job *, int> rowOf;
    QVector<quint32> palette;
    Changes changes;
    QPointer<JobRanking> fits;
    bool measured = false; // the ranking has a spectrum to fit against
    int rankedCount = 0;
};

Q_DECLARE_METATYPE(const ChiData *)

#endif
