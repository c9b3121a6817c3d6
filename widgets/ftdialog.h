#ifndef FTDIALOG_H
#define FTDIALOG_H

#include "fourier.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;

// The transform's window for the plot window's R view: kmin, kmax, dk and its shape.
// Every edit that gives a usable window is announced at once.
class FtDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FtDialog(QWidget *parent = nullptr);

    void setParams(const FtParams &ft);
    FtParams params() const;

signals:
    void paramsChanged(const FtParams &ft);

private:
    void edited();

    QDoubleSpinBox *kmin;
    QDoubleSpinBox *kmax;
    QDoubleSpinBox *dk;
    QComboBox *window;
    bool setting = false;
};

#endif
