#include "showchi.h"

#include "ftdialog.h"
#include "jobmodel.h"
#include "jobranking.h"
#include "jobseries.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QRubberBand>

#include <array>

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

// A stack of k curves is fitted from its lowest to its highest point, not symmetric about
// zero (which would leave half the plot empty).
void fitStack(const QVector<Series> &shown, double &y0, double &y1)
{
    double lo = 1e300, hi = -1e300;
    for (const Series &s : shown)
        if (s.valid) {
            lo = std::min(lo, s.yMin);
            hi = std::max(hi, s.yMax);
        }
    const double margin = 0.05 * (hi - lo);
    if (lo < hi && std::isfinite(margin)) {
        y0 = lo - margin;
        y1 = hi + margin;
    }
}

} // namespace

ShowChi::ShowChi(QWidget *parent)
    : QFrame(parent)
    , chiColors(nullptr)
    , saveDir(QDir::currentPath())
    , startDir(saveDir)
{
    setupUi(this);
    setAcceptDrops(true);
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
    connect(Part, QOverload<int>::of(&QComboBox::activated), this, [this](int part) {
        plotView.rPart = static_cast<RPart>(part);
        viewChanged();
    });
    connect(
        Offset, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this](double offset) {
            if (plotView.offset == offset)
                return;
            plotView.offset = offset;
            viewChanged();
        });
    connect(ShowWindow, &QCheckBox::toggled, this, [this] { update(); });
    connect(DispChi, &DispA::mouseLeft0, this, &ShowChi::clearReadouts);
    connect(LoadMeasured, &QToolButton::clicked, this, &ShowChi::chooseMeasured);
    connect(MeasuredBackground, &QToolButton::clicked, this, &ShowChi::showMeasuredDialog);
    connect(BestFive, &QToolButton::clicked, this, &ShowChi::tickBest);
    BestFive->setEnabled(false);
    BestFive->setToolTip(tr("Shows the five jobs whose fits match the measured spectrum best"));
    showReadoutLabels();
}

ShowChi::~ShowChi() = default;

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
    connect(jobs, &QAbstractItemModel::modelReset, this, [this] {
        fitted.clear();
        update();
    });
    update();
}

void ShowChi::setRanking(JobRanking *rankingToUse)
{
    if (ranking)
        disconnect(ranking, nullptr, this, nullptr);
    ranking = rankingToUse;
    fitted.setRanking(ranking);
    BestFive->setEnabled(ranking != nullptr);
    if (ranking) {
        connect(ranking, &JobRanking::changed, this, [this] {
            fitted.rankingChanged();
            update();
        });
        connect(ranking, &QObject::destroyed, this, [this] { setRanking(nullptr); });
        if (measuredSpectrum.isLoaded())
            ranking->setMeasured(
                measuredSpectrum, measuredSpectrum.element(), measuredSpectrum.edge());
    }
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
    Part->setCurrentIndex(int(view.rPart));
    {
        const QSignalBlocker quiet(Offset);
        Offset->setValue(view.offset);
    }
    if (ftDialog)
        ftDialog->setParams(view.ft);
    viewChanged();
}

// A new weight, space, part, window or offset fits the view again, as Reset Scale does.
void ShowChi::viewChanged()
{
    showReadoutLabels();
    resetScale();
}

void ShowChi::showReadoutLabels()
{
    const bool r = plotView.space == PlotSpace::R;
    Part->setEnabled(r);
    label->setText(r ? tr("R") : tr("k"));
    label_2->setText(r              ? Part->currentText()
            : plotView.kWeight == 0 ? tr("chi")
                                    : KWeight->currentText());
}

// The mouse has left the plot: no position and no name stay behind.
void ShowChi::clearReadouts()
{
    setReadout(CurK, QString());
    setReadout(CurChi, QString());
    showCurveName(-1);
}

PlotDecor ShowChi::decor() const
{
    PlotDecor decor;
    decor.xTitle = xTitle(plotView);
    decor.yTitle = yTitle(plotView);
    decor.legend = ShowLegend->isChecked();
    decor.showWindow = ShowWindow->isChecked() && plotView.space == PlotSpace::K;
    decor.window = plotView.ft;
    return decor;
}

QVector<PlotCurve> ShowChi::shownCurves(QVector<int> *rows)
{
    QVector<PlotCurve> curves;
    if (measuredSpectrum.isLoaded()) {
        curves.append(measuredCurve(measuredSpectrum, plotView, seriesCache));
        if (rows)
            rows->append(-1);
    }
    if (jobs) {
        for (int row = 0; row < jobs->rowCount(); ++row) {
            if (!jobs->isShown(row))
                continue;
            const Job *job = jobs->job(row);
            const ChiData &chi = measuredSpectrum.isLoaded() ? fitted.data(job) : job->chi();
            curves.append(
                PlotCurve { seriesCache.series(chi, plotView), QColor::fromRgba(jobs->colour(row)),
                    &chi == &job->chi() ? jobs->name(row) : tr("%1 (fit)").arg(jobs->name(row)) });
            if (rows)
                rows->append(row);
        }
    }
    if (plotView.offset != 0) {
        // Counted as the legend counts: curves without points take no place.
        int place = 0;
        for (PlotCurve &curve : curves)
            if (curve.series.valid)
                curve.series = shifted(curve.series, place++ * plotView.offset);
    }
    return curves;
}

void ShowChi::draw(QPainter *p)
{
    ChCoord &coord = DispChi->coord;
    coord.updatePlotArea();

    drawnJobs.clear();
    drawnCurves = shownCurves(&drawnJobs);
    const QVector<PlotCurve> &curves = drawnCurves;

    if (rescalePending) {
        QVector<Series> shown;
        for (const PlotCurve &curve : curves)
            shown.append(curve.series);
        double x0, y0, x1, y1;
        if (!fitView(plotView.space, shown, x0, y0, x1, y1))
            return;
        if (plotView.offset != 0 && plotView.space == PlotSpace::K)
            fitStack(shown, y0, y1);
        coord.setDataRange(x0, y0, x1, y1);
        rescalePending = false;
    }

    drawChiPlot(p, coord, curves, decor());

    // The read-outs follow the mouse, and the view: the same pixel has new values and may
    // lie on another curve after a change of weight, space, part or offset.
    const MouseC &m = DispChi->mouseC;
    if (!DispChi->mouseInside)
        return;
    setReadout(CurK, QString::number(coord.toDataX(m.nowX), 'g', 6));
    setReadout(CurChi, QString::number(coord.toDataY(m.nowY), 'g', 6));
    if (!m.pressed)
        showCurveName(curveAt(m.nowX, m.nowY));
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
        if (curve >= 0 && drawnJobs[curve] >= 0)
            emit curveClicked(drawnJobs[curve]);
    }
}

bool ShowChi::saveView(const QString &path, QString *error)
{
    const ChCoord &coord = DispChi->coord;
    QVector<int> rows;
    const QVector<PlotCurve> curves = shownCurves(&rows);
    if (!path.endsWith(".csv", Qt::CaseInsensitive)) {
        PlotDecor picture = decor();
        picture.caption = viewCaption(plotView);
        return savePlotPicture(path, DispChi->size(), coord, curves, picture, error);
    }
    QVector<JobSeries> series;
    for (int i = 0; i < curves.size(); ++i)
        series.append(
            JobSeries { rows[i], curves[i].name, curves[i].color.rgba(), curves[i].series });
    return saveSeriesCsv(path, plotView, coord.dataX0, coord.dataX1, series, error);
}

void ShowChi::chooseFileAndSave()
{
    const QString png = tr("PNG picture (*.png)"), svg = tr("SVG picture (*.svg)"),
                  csv = tr("CSV data (*.csv)");
    QString filter = png;
    QString path = QFileDialog::getSaveFileName(this, tr("Save the plot"),
        QDir(saveDir).filePath(QStringLiteral("chi.png")), png + ";;" + svg + ";;" + csv, &filter);
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
            else
                update(); // the window's outline
        });
    }
    ftDialog->show();
    ftDialog->raise();
    ftDialog->activateWindow();
}
