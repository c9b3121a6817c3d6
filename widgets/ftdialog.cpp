#include "ftdialog.h"

#include "plotview.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>

namespace {

QDoubleSpinBox *kField(QWidget *parent, const char *name, double max)
{
    auto *field = new QDoubleSpinBox(parent);
    field->setObjectName(name);
    field->setRange(0, max);
    field->setDecimals(2);
    field->setSingleStep(0.5);
    return field;
}

} // namespace

FtDialog::FtDialog(QWidget *parent)
    : QDialog(parent)
    , kmin(kField(this, "FtKmin", 100))
    , kmax(kField(this, "FtKmax", 100))
    , dk(kField(this, "FtDk", 20))
    , window(new QComboBox(this))
    , problem(new QLabel(this))
{
    setWindowTitle(tr("Fourier transform"));
    window->setObjectName("FtWindow");
    window->addItem(tr("Hanning"), int(FtWindow::Hanning));
    window->addItem(tr("Kaiser-Bessel"), int(FtWindow::Kaiser));
    auto *form = new QFormLayout(this);
    form->addRow(tr("k min (\u00c5\u207b\u00b9)"), kmin);
    form->addRow(tr("k max (\u00c5\u207b\u00b9)"), kmax);
    form->addRow(tr("dk (\u00c5\u207b\u00b9)"), dk);
    form->addRow(tr("Window"), window);
    problem->setObjectName("FtProblem");
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: rgb(170, 0, 0);"));
    form->addRow(problem);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QDoubleSpinBox *field : { kmin, kmax, dk })
        connect(
            field, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, &FtDialog::edited);
    connect(window, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &FtDialog::edited);
    setParams(FtParams());
}

void FtDialog::setParams(const FtParams &ft)
{
    setting = true;
    kmin->setValue(ft.kmin);
    kmax->setValue(ft.kmax);
    dk->setValue(ft.dk);
    window->setCurrentIndex(window->findData(int(ft.window)));
    applied = ft;
    problem->clear();
    setting = false;
}

FtParams FtDialog::params() const
{
    FtParams ft;
    ft.kmin = kmin->value();
    ft.kmax = kmax->value();
    ft.dk = dk->value();
    ft.window = FtWindow(window->currentData().toInt());
    return ft;
}

void FtDialog::edited()
{
    if (setting)
        return;
    const FtParams ft = params();
    // kmin at or above kmax may be a step on the way to the wanted values; it is not
    // applied, and the plot keeps the window it shows.
    if (!usableFt(ft)) {
        problem->setText(tr("k min must be below k max: the plot keeps the window %1–%2")
                             .arg(applied.kmin)
                             .arg(applied.kmax));
        return;
    }
    problem->clear();
    applied = ft;
    emit paramsChanged(ft);
}
