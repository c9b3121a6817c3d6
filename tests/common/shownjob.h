// A job with a row showing it, as the main window shows a job.
#ifndef SHOWNJOB_H
#define SHOWNJOB_H

#include "demeter.h"
#include "job.h"

#include <QFileInfo>

namespace testutil {

// The job's manager always has a place here: a start the job asks for happens at once.
struct ShownJob
{
    Job job;
    Demeter row;

    ShownJob(const RunSettings *settings, const QFileInfo &file, int kind)
        : job(settings, file, kind)
    {
        row.showJob(&job);
        QObject::connect(&job, &Job::startRequested, &job, &Job::start);
    }
};

} // namespace testutil

#endif
