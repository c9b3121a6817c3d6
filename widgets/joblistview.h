#ifndef JOBLISTVIEW_H
#define JOBLISTVIEW_H

#include "demeter.h"

#include <QListView>
#include <QPersistentModelIndex>
#include <QVector>

class JobDelegate;
class JobFilter;
class JobModel;

// The main window's list of jobs: the rows of a JobFilter, each a Demeter (the editor of
// the rows in view) or painted as one. Of all the rows' output areas one at most shows:
// the open row's, which takes the room a tall window leaves; the last job added opens
// its FEFF output. A row can be marked (the job of a curve clicked in the plot).
class JobListView : public QListView
{
    Q_OBJECT

public:
    explicit JobListView(JobFilter *rows, QWidget *parent = nullptr);

    // The job's row (a row of the JobModel) scrolled into view, with its editor; it
    // keeps its editor until another is asked for. nullptr for a job not listed.
    Demeter *rowFor(int jobRow);
    // The editors of the rows, top to bottom.
    QVector<Demeter *> rowsInUse() const;
    void markJob(int jobRow);
    void openJob(int jobRow, Demeter::Area area);

    bool isMarked(const QModelIndex &index) const;
    bool isOpen(const QModelIndex &index) const;
    // The height of the row's editor.
    int rowHeight(const QModelIndex &index) const;
    // Shows on the editor whether its row is open, and marked.
    void showRowState(Demeter *row, const QModelIndex &index) const;

    void doItemsLayout() override;

protected:
    void updateGeometries() override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void syncEditors();
    void areaToggled(Demeter *row, Demeter::Area area, bool on);
    void jobsToCome(int last);
    void jobsAdded();
    void showStateOnEditors();
    int jobRowOf(const QModelIndex &index) const;
    // Extra room for the open row in a window taller than the rows.
    int openRowRoom() const;

    JobFilter *rows;
    JobModel *jobs;
    JobDelegate *delegate;
    QVector<QPersistentModelIndex> editorRows;
    int openRow = -1;
    Demeter::Area openArea = Demeter::Area::Feff;
    int pinnedRow = -1;
    int markedRow = -1;
    int openRoom = 0;
    bool followEnd = true;
    bool syncing = false;
};

#endif
