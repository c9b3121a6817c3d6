#ifndef JOBRANKING_H
#define JOBRANKING_H

#include "fit.h"
#include "ranking.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class Job;
class MeasuredSpectrum;
class QThreadPool;

// Every job with chi data fitted to the measured spectrum, and the jobs ranked by the fit.
// Fits run on a pool of threads as jobs end (and all again for a new spectrum or new fit
// options); each comes back through the event loop. A fit's result depends only on the two
// spectra and the options, so the ranking is the same whatever the order jobs end in.
class JobRanking : public QObject
{
    Q_OBJECT

public:
    // What the ranking says of one job.
    struct Entry
    {
        bool fitted = false; // a fit of the job's present chi data has come back
        FitResult fit;
        RankStatus status = RankStatus::NoChi;
        int rank = 0; // 1 for the best; 0 when not ranked
        QString element; // the job's absorber, from its feff.inp
        QString edge;
    };

    explicit JobRanking(QObject *parent = nullptr);
    ~JobRanking() override;

    // Fits against the measured chi(k) from now on; element and edge (from the file, or
    // given by the user) decide which absorbers are ranked: empty ranks all.
    void setMeasured(const MeasuredSpectrum &measured, const QString &element, const QString &edge);
    bool hasMeasured() const { return bool(target); }
    // The measured spectrum cannot be fitted against (too short a k range): why.
    QString measuredProblem() const { return problem; }
    void setOptions(const FitOptions &options);
    const FitOptions &options() const { return fitOptions; }

    // The jobs in their order; each is fitted when it has chi data.
    void addJob(Job *job);
    Entry entry(const Job *job) const;
    // The ranked jobs, best first, at most count of them.
    QVector<Job *> best(int count) const;
    // The model with the job's fitted parameters on its own k points; empty without a fit.
    QVector<double> fittedChi(const Job *job) const;
    // Fits still to come back.
    int pending() const { return inFlight; }
    // The ranking as the -rank file has it: a heading, then a line per job with chi data.
    QByteArray tsv() const;
    // How many jobs are ranked, and how many have chi data but are not (another absorber,
    // a fit that failed).
    int rankedCount() const;
    int unrankedCount() const;

signals:
    // The ranks or some fit changed.
    void changed();
    // No fit is in flight.
    void settled();

private:
    struct Slot
    {
        Job *job = nullptr;
        Entry entry;
        quint64 generation = 0; // of the fit asked for
    };

    void refit(int index);
    void refitAll();
    void takeResult(int index, quint64 generation, const FitResult &fit, const QString &element,
        const QString &edge);
    // Ranks again soon: results that come in a burst are ranked once.
    void scheduleRerank();
    void rerank();
    std::vector<RankCandidate> candidates() const;

    std::shared_ptr<const FitTarget> target;
    std::vector<double> measuredK, measuredChi;
    FitOptions fitOptions;
    QString problem;
    std::string element;
    std::string edge;
    QVector<Slot> fits;
    QHash<const Job *, int> indexOf;
    quint64 nextGeneration = 1;
    int inFlight = 0;
    bool rerankPending = false;
    QThreadPool *pool;
};

#endif
