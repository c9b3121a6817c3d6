#include "showchi.h"

#include "ftdialog.h"
#include "jobmodel.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QRubberBand>

namespace {

// How near the mouse must come to a curve, in pixels, to name or pick it.
constexpr double pickPixels = 6;
// A release this near its press is a click, not a drag.
constexpr int clickPixels = 2;

bool plainPress(const MouseC &m, Qt::MouseButton button)
{
    return m.pressButton == button
        && !(m.pressModifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier));
}

// Every paint sets the read-outs; a field whose text stays is left alone. A field keeps
// the width of the form unless its text needs more ("-1.11022e-16" does).
void setReadout(QLineEdit *field, const QString &text)
{
    if (field->text() == text)
        return;
    field->setText(text);
    const int designed = 80;
    const int frames
        = 2 * field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field);
    const QMargins margins = field->textMargins();
    // The line edit's own inner margin is 2 pixels a side, and the cursor takes one more.
    const int wanted = field->fontMetrics().horizontalAdvance(text) + margins.left()
        + margins.right() + frames + 2 * 2 + 1;
    const int width = std::max(designed, wanted);
    if (field->maximumWidth() != width)
        field->setMaximumWidth(width);
    if (field->minimumWidth() != std::max(30, wanted))
        field->setMinimumWidth(std::max(30, wanted));
}

} // namespace

ShowChi::ShowChi(QWidget *parent)
    : QFrame(parent)
    , chiColors(nullptr)
{
    setupUi(this);
    rescalePending = true;
    zoomBand = new QRubberBand(QRubberBand::Rectangle, DispChi);
    connect(DispChi, &DispA::drawImage1, this, &ShowChi::draw);
    connect(ResetScale, &QPushButton::clicked, this, &ShowChi::resetScale);
    connect(DispChi, &DispA::mousePressed0, this, &ShowChi::mousePressed);
    connect(DispChi, &DispA::mouseMoved0, this, &ShowChi::mouseMoved);
    connect(DispChi, &DispA::mouseReleased0, this, &ShowChi::mouseReleased);
    connect(KWeight, QOverload<int>::of(&QComboBox::activated), this, [this](int weight) {
        plotView.kWeight = weight;
        viewChanged();
    });
    connect(Space, QOverload<int>::of(&QComboBox::activated), this, [this](int space) {
        plotView.space = space == 1 ? PlotSpace::R : PlotSpace::K;
        viewChanged();
    });
    connect(ShowLegend, &QCheckBox::toggled, this, [this] { update(); });
    connect(FtSettings, &QToolButton::clicked, this, &ShowChi::showFtDialog);
    connect(SaveView, &QToolButton::clicked, this, &ShowChi::chooseFileAndSave);
}

void ShowChi::setModel(JobModel *model)
{
    if (jobs)
        disconnect(jobs, nullptr, this, nullptr);
    jobs = model;
    if (!jobs)
        return;
    usePlotPalette(jobs, chiColors);
    connect(jobs, &QAbstractItemModel::dataChanged, this,
        [this](const QModelIndex &, const QModelIndex &, const QVector<int> &roles) {
            rowsChanged(roles);
        });
    connect(jobs, &QAbstractItemModel::modelReset, this, [this] { update(); });
    update();
}

// A paint reads every shown row: only what it draws asks for one.
void ShowChi::rowsChanged(const QVector<int> &roles)
{
    if (roles.isEmpty() || roles.contains(JobModel::ChiRole) || roles.contains(Qt::CheckStateRole)
        || roles.contains(JobModel::ColorRole))
        update();
}

void ShowChi::resetScale()
{
    rescalePending = true;
    update();
}

void ShowChi::setView(const PlotView &view)
{
    plotView = view;
    KWeight->setCurrentIndex(view.kWeight);
    Space->setCurrentIndex(view.space == PlotSpace::R ? 1 : 0);
    if (ftDialog)
        ftDialog->setParams(view.ft);
    viewChanged();
}

// A new weight, space or window fits the view again, as Reset Scale does.
void ShowChi::viewChanged()
{
    showReadoutLabels();
    resetScale();
}

void ShowChi::showReadoutLabels()
{
    const bool r = plotView.space == PlotSpace::R;
    label->setText(r ? tr("R") : tr("k"));
    label_2->setText(r              ? tr("|chi(R)|")
            : plotView.kWeight == 0 ? tr("chi")
                                    : KWeight->currentText());
}

PlotDecor ShowChi::decor() const
{
    PlotDecor decor;
    decor.xTitle = xTitle(plotView);
    decor.yTitle = yTitle(plotView);
    decor.legend = ShowLegend->isChecked();
    return decor;
}

void ShowChi::draw(QPainter *p)
{
    ChCoord &coord = DispChi->coord;
    coord.updatePlotArea();

    drawnJobs.clear();
    drawnCurves.clear();
    if (jobs)
        drawnCurves = jobCurves(*jobs, plotView, seriesCache, SeriesOf::ShownJobs, &drawnJobs);
    const QVector<PlotCurve> &curves = drawnCurves;

    if (rescalePending) {
        if (!jobs || jobs->rowCount() == 0)
            return;
        QVector<Series> shown;
        for (const PlotCurve &curve : curves)
            shown.append(curve.series);
        double x0, y0, x1, y1;
        if (!fitView(plotView.space, shown, x0, y0, x1, y1))
            return;
        coord.setDataRange(x0, y0, x1, y1);
        rescalePending = false;
    }

    drawChiPlot(p, coord, curves, decor());

    setReadout(CurK, QString::number(coord.toDataX(DispChi->mouseC.nowX), 'g', 6));
    setReadout(CurChi, QString::number(coord.toDataY(DispChi->mouseC.nowY), 'g', 6));
}

int ShowChi::curveAt(int x, int y) const
{
    return nearestSeries(
        [this] {
            QVector<Series> series;
            for (const PlotCurve &curve : drawnCurves)
                series.append(curve.series);
            return series;
        }(),
        DispChi->coord, x, y, pickPixels);
}

void ShowChi::showCurveName(int curve)
{
    const QString name = curve < 0 ? QString() : drawnCurves[curve].name;
    CurName->setText(CurName->fontMetrics().elidedText(name, Qt::ElideMiddle, CurName->width()));
    CurName->setToolTip(name);
    QPalette palette = CurName->palette();
    palette.setColor(QPalette::WindowText,
        curve < 0 ? this->palette().color(QPalette::WindowText) : drawnCurves[curve].color);
    CurName->setPalette(palette);
}

void ShowChi::mousePressed()
{
    const MouseC &m = DispChi->mouseC;
    if (plainPress(m, Qt::RightButton)) {
        zoomBand->setGeometry(QRect(QPoint(m.pressX, m.pressY), QSize()));
        zoomBand->show();
    }
}

void ShowChi::mouseMoved()
{
    const MouseC &m = DispChi->mouseC;
    if (zoomBand->isVisible()) {
        zoomBand->setGeometry(
            QRect(QPoint(m.pressX, m.pressY), QPoint(m.nowX, m.nowY)).normalized());
        return;
    }
    if (!m.pressed)
        showCurveName(curveAt(m.nowX, m.nowY));
}

void ShowChi::mouseReleased()
{
    const MouseC &m = DispChi->mouseC;
    zoomBand->hide();
    if (plainPress(m, Qt::LeftButton) && std::abs(m.releaseX - m.pressX) <= clickPixels
        && std::abs(m.releaseY - m.pressY) <= clickPixels) {
        const int curve = curveAt(m.releaseX, m.releaseY);
        if (curve >= 0)
            emit curveClicked(drawnJobs[curve]);
    }
}

bool ShowChi::saveView(const QString &path, QString *error)
{
    const ChCoord &coord = DispChi->coord;
    if (!path.endsWith(".csv", Qt::CaseInsensitive))
        return savePlotPicture(path, DispChi->size(), coord,
            jobs ? jobCurves(*jobs, plotView, seriesCache, SeriesOf::ShownJobs)
                 : QVector<PlotCurve>(),
            decor(), error);
    return saveSeriesCsv(path, plotView, coord.dataX0, coord.dataX1,
        jobs ? jobSeries(*jobs, plotView, seriesCache, SeriesOf::ShownJobs) : QVector<JobSeries>(),
        error);
}

void ShowChi::chooseFileAndSave()
{
    const QString png = tr("PNG picture (*.png)"), svg = tr("SVG picture (*.svg)"),
                  csv = tr("CSV data (*.csv)");
    QString filter = png;
    QString path = QFileDialog::getSaveFileName(this, tr("Save the plot"),
        saveDir.isEmpty() ? QStringLiteral("chi.png") : saveDir + "/chi.png",
        png + ";;" + svg + ";;" + csv, &filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter == svg ? ".svg" : filter == csv ? ".csv" : ".png";
    saveDir = QFileInfo(path).absolutePath();
    QString cause;
    if (!saveView(path, &cause))
        QMessageBox::warning(this, windowTitle(),
            tr("Can not save the plot to %1").arg(path) + QStringLiteral(" : ") + cause);
}

void ShowChi::showFtDialog()
{
    if (!ftDialog) {
        ftDialog = new FtDialog(this);
        ftDialog->setParams(plotView.ft);
        connect(ftDialog, &FtDialog::paramsChanged, this, [this](const FtParams &ft) {
            plotView.ft = ft;
            if (plotView.space == PlotSpace::R)
                viewChanged();
        });
    }
    ftDialog->show();
    ftDialog->raise();
    ftDialog->activateWindow();
}
