// A job with a row showing it, as the main window shows a job.
#ifndef SHOWNJOB_H
#define SHOWNJOB_H

#include "demeter.h"
#include "job.h"
#include "jobmodel.h"

#include <QFileInfo>

namespace testutil {

// The row edits the job's row of a model: its own, or one shared with a plot window. The
// job's manager always has a place here: a start the job asks for happens at once.
struct ShownJob
{
    JobModel ownModel;
    Job job;
    Demeter row;
    JobModel *model;

    ShownJob(
        const RunSettings *settings, const QFileInfo &file, int kind, JobModel *shared = nullptr)
        : job(settings, file, kind)
        , model(shared ? shared : &ownModel)
    {
        model->addJob(&job);
        row.showRow(index());
        QObject::connect(&job, &Job::startRequested, &job, &Job::start);
    }

    QModelIndex index() const { return model->index(model->row(&job)); }
    bool isShown() const { return model->isShown(model->row(&job)); }
    quint32 colour() const { return model->colour(model->row(&job)); }
};

} // namespace testutil

#endif
