#ifndef JOBLIST_H
#define JOBLIST_H

#include <QVector>
#include <QWidget>

class Demeter;
class Job;
class JobFilter;
class JobListView;
class JobModel;
class QComboBox;
class QLabel;
class QLineEdit;

// The main window's job list: a line that chooses the rows (a part of the input name, a
// state, an order; "shown n of N") above the rows of the job model in a list view. Jobs
// added together (a drop, a slice of the start-up scan) become rows together, at the next
// turn of the event loop or when a row is asked for: a list lays itself out once for
// them.
class JobList : public QWidget
{
    Q_OBJECT

public:
    explicit JobList(JobModel *model, QWidget *parent = nullptr);

    void addJob(Job *job);
    // Makes rows of the jobs added since the last time.
    void addPendingJobs();
    int count();
    // Scrolls the job's row into view and returns its editor (nullptr for a job not
    // listed).
    Demeter *rowFor(const Job *job);
    // The rows that show jobs now, top to bottom.
    QVector<Demeter *> rowsInUse();
    // Scrolls to the row of the job at index (in the order of adding) and marks it; the
    // row marked before is not.
    void markJob(int index);

    JobListView *view() const { return list; }
    JobFilter *filter() const { return rows; }

private:
    void makeChoiceLine();
    void showCount();

    JobModel *jobs;
    JobFilter *rows;
    JobListView *list;
    QLineEdit *namePart = nullptr;
    QComboBox *phaseChoice = nullptr;
    QComboBox *orderChoice = nullptr;
    QLabel *shownCount = nullptr;
    QVector<Job *> pending;
};

#endif
