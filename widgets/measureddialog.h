#ifndef MEASUREDDIALOG_H
#define MEASUREDDIALOG_H

#include "measurement.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QSpinBox;

// How the plot window reads its measured spectrum: Rbkg, the k-weight of the background's
// fit, E0 (empty: found) and the columns. Accepted only with options the reader takes;
// otherwise it says which one is wrong and stays open.
class MeasuredDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MeasuredDialog(QWidget *parent = nullptr);

    void setOptions(const MeasuredOptions &options);
    MeasuredOptions options() const;

    void accept() override;

private:
    QLineEdit *rbkg;
    QSpinBox *kweight;
    QLineEdit *e0;
    QLineEdit *columns;
    QLabel *problem;
};

#endif
