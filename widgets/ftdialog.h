#ifndef FTDIALOG_H
#define FTDIALOG_H

#include "fourier.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLabel;

// The transform's window for the plot window's R view: kmin, kmax, dk and its shape.
// Every edit that gives a usable window is announced at once; one that does not (kmin at or
// above kmax) is not applied, and the dialog says why and which window stays.
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
    QLabel *problem;
    // The window last announced, which stays while the fields hold an unusable one.
    FtParams applied;
    bool setting = false;
};

#endif
