#ifndef JOBFILTER_H
#define JOBFILTER_H

#include "jobmodel.h"

#include <QSortFilterProxyModel>

// The rows of a JobModel that a list shows: those whose input name holds a given part
// (case-blind) and that stand in a given phase, in the order of making, by name, by phase
// or by the fit to a measured spectrum (best first, the rows not ranked after them; ties
// and the rows not ranked in the order of making).
class JobFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    enum class Order { Input, Name, Phase, Fit };

    explicit JobFilter(QObject *parent = nullptr);

    void setJobModel(JobModel *model);
    JobModel *jobModel() const { return jobs; }

    void setNamePart(const QString &part);
    QString namePart() const { return part; }
    // -1: every phase; else a JobModel::Phase.
    void setPhase(int phase);
    int phase() const { return onlyPhase; }
    void setOrder(Order order);
    Order order() const { return sortOrder; }

    // The source row of a row of this model, and the other way round (-1 for none).
    int jobRow(int row) const;
    int rowOfJob(int jobRow) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    void jobsChanged(const QVector<int> &roles);

    JobModel *jobs = nullptr;
    QMetaObject::Connection changes;
    QString part;
    int onlyPhase = -1;
    Order sortOrder = Order::Input;
};

#endif
