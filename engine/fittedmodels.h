#ifndef FITTEDMODELS_H
#define FITTEDMODELS_H

#include "chidata.h"

#include <QHash>

#include <array>
#include <memory>

class Job;
class JobRanking;

// The fitted model of each job as chi data to plot, on the job's own k points, made again
// only when the job's data or its fit changed (making one may read the job's path files).
class FittedModels
{
public:
    void setRanking(const JobRanking *ranking);
    // The job's fitted model, or its own chi data while it has no fit.
    const ChiData &data(const Job *job);
    bool isFitted(const Job *job) { return &data(job) != &jobChi(job); }
    // The ranking has changed: each model is checked against its fit when next asked for.
    void rankingChanged();
    void clear() { models.clear(); }

private:
    struct Model
    {
        quint64 chiGeneration = 0;
        bool stale = true;
        std::array<double, 4> params {};
        bool shells = false;
        ChiData data;
    };

    static const ChiData &jobChi(const Job *job);

    const JobRanking *ranking = nullptr;
    QHash<const Job *, std::shared_ptr<Model>> models;
};

#endif
