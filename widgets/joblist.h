#ifndef JOBLIST_H
#define JOBLIST_H

#include "demeter.h"

#include <QHash>
#include <QVector>
#include <QWidget>

class Job;
class JobModel;
class QScrollArea;

// The rows of the main window's job list, one per job in the order of adding, inside
// the window's scroll area. Only the rows in view exist as widgets: a few rows are
// reused for whichever jobs lie there as the user scrolls, so a list of ten thousand
// jobs costs what a screenful costs. Of all the rows' output areas one at most shows;
// the last job added shows its FEFF output.
class JobList : public QWidget
{
    Q_OBJECT

public:
    JobList(QScrollArea *area, JobModel *model, QWidget *parent = nullptr);

    // Lists the model's row of the job.
    void addJob(Job *job);
    int count() const { return jobs.size(); }
    // Scrolls the job's row into view and returns it (nullptr for a job not listed).
    Demeter *rowFor(const Job *job);
    // The rows that show jobs now, top to bottom.
    QVector<Demeter *> rowsInUse() const;
    const QVector<Job *> &allJobs() const { return jobs; }
    // Scrolls to the row of the job at index and marks it; the row marked before is not.
    void markJob(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void scheduleLayout();
    void syncGeometry();
    void layoutRows();
    void bindRow(int index, Demeter *row);
    Demeter *makeRow();
    void areaToggled(Demeter *row, Demeter::Area area, bool on);
    int rowTop(int index) const;
    int rowHeight(int index) const;
    int indexAt(int y) const;
    int naturalHeight() const;

    QScrollArea *scrollArea;
    JobModel *model;
    QVector<Job *> jobs;
    QHash<const Job *, int> indexOf;
    QVector<Demeter *> rows;
    QVector<Demeter *> freeRows;
    QHash<int, Demeter *> bound; // job index -> the row showing it
    // The one job whose output area shows, and which area.
    int openIndex = -1;
    Demeter::Area openArea = Demeter::Area::Feff;
    // A row asked for by rowFor() stays bound until another is asked for.
    int pinnedIndex = -1;
    int markedIndex = -1;
    int lineHeight = 0;
    int openNatural = 0;
    int openHeight = 0;
    int minimumWidth = 0;
    bool layoutPending = false;
};

#endif
