#include "fittedmodels.h"

#include "job.h"
#include "jobranking.h"

void FittedModels::setRanking(const JobRanking *rankingToUse)
{
    ranking = rankingToUse;
    models.clear();
}

void FittedModels::rankingChanged()
{
    for (const std::shared_ptr<Model> &model : qAsConst(models))
        model->stale = true;
}

const ChiData &FittedModels::jobChi(const Job *job) { return job->chi(); }

const ChiData &FittedModels::data(const Job *job)
{
    if (!ranking)
        return job->chi();
    std::shared_ptr<Model> &model = models[job];
    if (!model)
        model = std::make_shared<Model>();
    if (model->stale || model->chiGeneration != job->chi().generation()) {
        model->stale = false;
        const JobRanking::Entry entry = ranking->entry(job);
        const bool ok = entry.fitted && entry.fit.ok;
        const std::array<double, 4> params { entry.fit.s02, entry.fit.de0, entry.fit.sigma2,
            entry.fit.sigma2Far };
        // A ranking that changed other jobs' fits leaves this one as it was.
        if (model->chiGeneration == job->chi().generation() && ok == model->data.valid
            && (!ok || (params == model->params && entry.fit.shells == model->shells)))
            return model->data.valid ? model->data : job->chi();
        model->chiGeneration = job->chi().generation();
        model->params = params;
        model->shells = entry.fit.shells;
        const QVector<double> fitted = ok ? ranking->fittedChi(job) : QVector<double>();
        // A new reading only when the model changed, so that its series stay cached.
        if (fitted.size() != job->chi().kValues.size() || fitted.isEmpty())
            model->data.reset();
        else if (!model->data.valid || model->data.chiValues != fitted
            || model->data.kValues != job->chi().kValues)
            model->data.setPoints(job->chi().kValues, fitted);
    }
    return model->data.valid ? model->data : job->chi();
}
