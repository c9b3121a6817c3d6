#include "measureddialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

// The dialog is part of the plot window and speaks in its context.
QString text(const char *source) { return QCoreApplication::translate("ShowChi", source); }

} // namespace

MeasuredDialog::MeasuredDialog(QWidget *parent)
    : QDialog(parent)
    , rbkg(new QLineEdit(this))
    , kweight(new QSpinBox(this))
    , e0(new QLineEdit(this))
    , columns(new QLineEdit(this))
    , problem(new QLabel(this))
{
    setWindowTitle(text("Background of the measured spectrum"));
    const xafs::BkgParams defaults;
    rbkg->setObjectName("BkgRbkg");
    rbkg->setPlaceholderText(QString::number(defaults.rbkg));
    kweight->setObjectName("BkgKWeight");
    kweight->setRange(0, 3);
    kweight->setValue(defaults.kweight);
    e0->setObjectName("BkgE0");
    e0->setPlaceholderText(text("found"));
    columns->setObjectName("BkgColumns");
    columns->setPlaceholderText(text("from the file"));
    columns->setToolTip(text("energy,numerator[/denominator][,ln], e.g. 1,3/4,ln"));
    auto *form = new QFormLayout(this);
    form->addRow(text("Rbkg (\u00c5)"), rbkg);
    form->addRow(text("k-weight"), kweight);
    form->addRow(text("E0 (eV)"), e0);
    form->addRow(text("Columns"), columns);
    problem->setObjectName("BkgProblem");
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: rgb(170, 0, 0);"));
    form->addRow(problem);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->addButton(text("Reload"), QDialogButtonBox::AcceptRole);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void MeasuredDialog::setOptions(const MeasuredOptions &options)
{
    const xafs::BkgParams defaults;
    const QStringList bkg = options.bkg.split(',');
    rbkg->setText(bkg.value(0).trimmed());
    bool ok = false;
    const int weight = bkg.value(1).trimmed().toInt(&ok);
    kweight->setValue(ok ? weight : defaults.kweight);
    e0->setText(options.e0);
    columns->setText(options.columns);
    problem->clear();
}

MeasuredOptions MeasuredDialog::options() const
{
    MeasuredOptions options;
    options.bkg = rbkg->text().trimmed() + ',' + QString::number(kweight->value());
    options.e0 = e0->text().trimmed();
    options.columns = columns->text().trimmed();
    return options;
}

void MeasuredDialog::accept()
{
    xafs::ReadOptions read;
    xafs::BkgParams bkg;
    QString error;
    if (!options().parse(&read, &bkg, &error)) {
        problem->setText(error);
        return;
    }
    problem->clear();
    QDialog::accept();
}
