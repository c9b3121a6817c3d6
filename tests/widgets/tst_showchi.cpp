#include "ccolors.h"
#include "chiseries.h"
#include "dispa.h"
#include "dragdrop.h"
#include "jobranking.h"
#include "pixels.h"
#include "showchi.h"
#include "shownjob.h"
#include "testutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRubberBand>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>
#include <cmath>
#include <memory>

using namespace testutil;

namespace {

const QColor gridColour(200, 200, 240);

struct Range
{
    double x0, x1, y0, y1;
};

Range rangeOf(const DispA *area)
{
    return Range { area->coord.dataX0, area->coord.dataX1, area->coord.dataY0, area->coord.dataY1 };
}

QByteArray chiFile(const QVector<double> &k, const QVector<double> &chi)
{
    QByteArray text = " title\n   k   chi   mag   phase\n";
    for (int i = 0; i < k.size(); ++i)
        text += QByteArray::number(k[i]) + " " + QByteArray::number(chi[i]) + " 0 0\n";
    return text;
}

// A measured chi(k) file, as Larch writes one, of f(k) on the 0.05 1/A grid from k0 to k1.
template <typename F> QByteArray measuredChiFile(double k0, double k1, F f)
{
    QByteArray text = "# chi(k) made by the test\n#  k   chi\n";
    for (int i = int(std::lround(k0 / 0.05)); i <= int(std::lround(k1 / 0.05)); ++i)
        text += QByteArray::number(i * 0.05, 'f', 3) + " "
            + QByteArray::number(f(i * 0.05), 'g', 12) + "\n";
    return text;
}

// A saved CSV of the view: its heading's names and its columns.
struct Csv
{
    QStringList names;
    QVector<QVector<double>> columns;
};

Csv readCsv(const QString &path)
{
    Csv csv;
    for (const QString &line : QString::fromUtf8(testutil::readFile(path)).split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList fields = line.split(',');
        if (csv.names.isEmpty()) {
            csv.names = fields;
            csv.columns.resize(fields.size());
            continue;
        }
        for (int i = 0; i < fields.size() && i < csv.columns.size(); ++i)
            csv.columns[i] << (fields[i].isEmpty() ? qQNaN() : fields[i].toDouble());
    }
    return csv;
}

// Whether the CSV column holds the series at every x where both have a value. The x column
// is rounded to the view's grid (an R curve swings too fast between its points to be read
// at an x of ten digits).
bool columnMatches(const Csv &csv, int column, const Series &s, PlotSpace space, QString *why)
{
    const double step = space == PlotSpace::R ? fourier::rStep() : fourier::gridStep;
    int compared = 0;
    for (int i = 0; i < csv.columns[0].size(); ++i) {
        double want;
        const double got = csv.columns[column][i];
        if (!seriesValueAt(s, double(std::llround(csv.columns[0][i] / step)) * step, &want)
            || std::isnan(got))
            continue;
        ++compared;
        if (std::abs(got - want) > 1e-7 * (1 + std::abs(want))) {
            *why = QString("%1 at x %2: %3, want %4")
                       .arg(csv.names[column])
                       .arg(csv.columns[0][i])
                       .arg(got)
                       .arg(want);
            return false;
        }
    }
    *why = QString("%1: nothing compared").arg(csv.names.value(column));
    return compared > 10;
}

// How many pixels of the colour the column x has, from y0 to y1.
int runIn(const QImage &image, int x, int y0, int y1, const QColor &colour)
{
    int n = 0;
    for (int y = std::max(0, y0); y <= std::min(image.height() - 1, y1); ++y)
        n += image.pixelColor(x, y) == colour;
    return n;
}

} // namespace

class TestShowChi : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    RunSettings settings;
    int jobCount = 0;
    std::unique_ptr<JobModel> model;
    QList<ShownJob *> jobs;

    // A job whose FEFF run (the stand-in) gives the chi.dat text given.
    ShownJob *newJob(const QByteArray &chiText = QByteArray())
    {
        const QString name = QString("job%1").arg(++jobCount);
        QByteArray directive = "fake: --no-chi\n";
        if (!chiText.isNull()) {
            const QString chiPath = tmp.filePath(name + ".chi");
            writeFile(chiPath, chiText);
            directive = "fake: --copy-chi " + chiPath.toUtf8() + "\n";
        }
        writeFile(tmp.filePath(name + ".inp"), directive);
        auto *job = new ShownJob(&settings, QFileInfo(tmp.filePath(name + ".inp")), 6, model.get());
        jobs << job;
        return job;
    }

    static void run(ShownJob *job)
    {
        job->job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job->job.state(), 0, 10000);
    }

    static void tick(ShownJob *job, bool on)
    {
        job->row.findChild<QCheckBox *>("Show")->setChecked(on);
    }

    // A job of the window's model, run to its end and ticked.
    ShownJob *shownJob(ShowChi &, const QByteArray &chiText)
    {
        ShownJob *job = newJob(chiText);
        run(job);
        tick(job, true);
        return job;
    }

    static QColor colorOf(const ShownJob *job) { return QColor::fromRgba(job->colour()); }

    static QImage paint(ShowChi &chi) { return chi.plotArea()->grab().toImage(); }

    static QString readout(ShowChi &chi, const char *name)
    {
        return chi.findChild<QLineEdit *>(name)->text();
    }

    // What a user's choice in one of the window's combo boxes does.
    static void choose(ShowChi &chi, const char *name, int index)
    {
        auto *box = chi.findChild<QComboBox *>(name);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    static QPoint screenPoint(const ShowChi &chi, double x, double y)
    {
        const ChCoord &c = chi.plotArea()->coord;
        return QPoint(int(std::trunc(c.toScreenX(x))), int(std::trunc(c.toScreenY(y))));
    }

    static void showWindow(ShowChi &chi)
    {
        chi.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chi));
    }

    static Csv savedCsv(ShowChi &chi, const QTemporaryDir &dir)
    {
        const QString path = dir.filePath("view.csv");
        if (!chi.saveView(path))
            return Csv();
        return readCsv(path);
    }

    // The series of data in the view, as the window draws it before the offset.
    static Series viewSeries(const ChiData &data, const PlotView &view)
    {
        return view.space == PlotSpace::K ? kSeries(data, view.kWeight)
                                          : rSeries(data, view.kWeight, view.ft, view.rPart);
    }

    // A left-button drag in the plot: QTest's own move carries no button, so the move is
    // the real event.
    static void dragWithLeftButton(QWidget *area, const QPoint &from, const QPoint &to)
    {
        QTest::mouseMove(area, from);
        QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, from);
        QMouseEvent drag(
            QEvent::MouseMove, QPointF(to), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &drag);
        QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, to);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        settings = fakeSettings(tmp.filePath("res"));
    }

    // Every test has a model of its own, which its plot window reads.
    void init() { model = std::make_unique<JobModel>(); }

    void cleanup()
    {
        qDeleteAll(jobs);
        jobs.clear();
        model.reset();
    }

    void form()
    {
        ShowChi chi;
        chi.setModel(model.get());
        QCOMPARE(chi.windowTitle(), QString("Show Chi"));
        QCOMPARE(chi.size(), QSize(746, 478));
        QCOMPARE(readout(chi, "CurK"), QString("0"));
        QVERIFY(chi.findChild<QLineEdit *>("CurChi")->isReadOnly());
        QCOMPARE(chi.findChild<QPushButton *>("ResetScale")->text(), QString("Reset Scale"));
        QCOMPARE(chi.plotArea()->objectName(), QString("DispChi"));
    }

    void nothingDrawnUntilAJobIsTicked()
    {
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        QImage image = paint(chi);
        QCOMPARE(countColour(image, Qt::white), image.width() * image.height());

        ShownJob *job = newJob(chiFile({ 1, 2, 3 }, { -0.5, 0.2, 0.4 }));
        run(job);
        image = paint(chi);
        QCOMPARE(countColour(image, Qt::white), image.width() * image.height());
        QCOMPARE(readout(chi, "CurK"), QString("0"));

        tick(job, true);
        image = paint(chi);
        QVERIFY(countColour(image, gridColour) > 100);
        const Range r = rangeOf(chi.plotArea());
        QCOMPARE(r.x0, 1.0);
        QCOMPARE(r.x1, 3.0);
        QCOMPARE(r.y0, -0.5);
        QCOMPARE(r.y1, 0.5);
    }

    void rescaleRanges_data()
    {
        QTest::addColumn<QVector<double>>("chiValues"); // at k = 2, 4, 6, ...
        QTest::addColumn<bool>("withEmptyJob");
        QTest::addColumn<double>("x0");
        QTest::addColumn<double>("x1");
        QTest::addColumn<double>("y0");
        QTest::addColumn<double>("y1");

        QTest::newRow("-0.3 and 0.8")
            << QVector<double> { -0.3, 0.8 } << false << 2.0 << 4.0 << -0.8 << 0.8;
        QTest::newRow("0.1 and 0.5")
            << QVector<double> { 0.1, 0.5 } << false << 2.0 << 4.0 << -0.5 << 0.5;
        QTest::newRow("-0.9 and 0.2")
            << QVector<double> { -0.9, 0.2 } << false << 2.0 << 4.0 << -0.9 << 0.9;
        QTest::newRow("job without data widens")
            << QVector<double> { -0.3, 0.8 } << true << 0.0 << 20.0 << -1.0 << 1.0;
        // Empty ranges are widened around their value instead of dividing by zero.
        QTest::newRow("single row")
            << QVector<double> { 0.5 } << false << 1.8 << 2.2 << -0.5 << 0.5;
        QTest::newRow("chi all zero")
            << QVector<double> { 0, 0, 0 } << false << 2.0 << 6.0 << -1.0 << 1.0;
    }

    void rescaleRanges()
    {
        QFETCH(QVector<double>, chiValues);
        QFETCH(bool, withEmptyJob);
        QFETCH(double, x0);
        QFETCH(double, x1);
        QFETCH(double, y0);
        QFETCH(double, y1);

        QVector<double> k;
        for (int i = 0; i < chiValues.size(); ++i)
            k << 2.0 * (i + 1);
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        shownJob(chi, chiFile(k, chiValues));
        if (withEmptyJob) {
            ShownJob *empty = newJob();
            tick(empty, true);
        }
        const QImage image = paint(chi);
        const Range r = rangeOf(chi.plotArea());
        QCOMPARE(r.x0, x0);
        QCOMPARE(r.x1, x1);
        QCOMPARE(r.y0, y0);
        QCOMPARE(r.y1, y1);
        QVERIFY(countColour(image, gridColour) > 100);
        QVERIFY(std::isfinite(readout(chi, "CurK").toDouble()));
        QVERIFY(std::isfinite(readout(chi, "CurChi").toDouble()));
    }

    void curvePixelsInTheJobsColour()
    {
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        newJob(); // the first row, which takes the palette's first colour
        ShownJob *second = newJob(readFile(testData("chi/Cu_feff6.chi.dat")));
        run(second);
        QCOMPARE(second->job.chi().kValues.size(), 401);
        QCOMPARE(colorOf(second), QColor(255, 0, 0));
        tick(second, true);

        const QImage image = paint(chi);
        const ChCoord &coord = chi.plotArea()->coord;
        int hits = 0;
        const ChiData &data = second->job.chi();
        for (int j = 0; j < data.kValues.size(); ++j) {
            const int x = int(std::trunc(coord.toScreenX(data.kValues[j])));
            const int y = int(std::trunc(coord.toScreenY(data.chiValues[j])));
            hits += image.pixelColor(x, y) == QColor(255, 0, 0);
        }
        // Grid lines and labels are drawn over the curve in a few places.
        QVERIFY2(hits > 0.9 * data.kValues.size(), qPrintable(QString::number(hits)));

        tick(second, false);
        const QImage unticked = paint(chi);
        QCOMPARE(countColour(unticked, QColor(255, 0, 0)), 0);
        QVERIFY(countColour(unticked, gridColour) > 100);
        QVERIFY(countColour(unticked, QColor(200, 200, 200)) > 100); // the frame
    }

    void readoutsFollowTheMouse()
    {
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        shownJob(chi, chiFile({ 0, 10 }, { -1, 1 }));
        paint(chi);
        DispA *area = chi.plotArea();
        QTest::mouseMove(area, QPoint(200, 150));
        paint(chi);
        QCOMPARE(readout(chi, "CurK"), QString::number(area->coord.toDataX(200), 'g', 6));
        QCOMPARE(readout(chi, "CurChi"), QString::number(area->coord.toDataY(150), 'g', 6));
    }

    void resetScaleRefitsAndNewDataKeepsTheView()
    {
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        ShownJob *job = shownJob(chi, chiFile({ 0, 10 }, { -1, 1 }));
        paint(chi);
        DispA *area = chi.plotArea();

        dragWithLeftButton(area, QPoint(200, 150), QPoint(260, 170));
        const Range panned = rangeOf(area);
        QVERIFY(panned.x0 < 0);

        // The stand-in rewrites chi.dat on a restart: the view stays where the user put it.
        job->row.findChild<QPushButton *>("FeffRestart")->click();
        QTRY_COMPARE_WITH_TIMEOUT(job->job.state(), 0, 10000);
        paint(chi);
        QCOMPARE(rangeOf(area).x0, panned.x0);

        chi.findChild<QPushButton *>("ResetScale")->click();
        paint(chi);
        QCOMPARE(rangeOf(area).x0, 0.0);
        QCOMPARE(rangeOf(area).x1, 10.0);
    }

    void coloursWrapAfterThePalette()
    {
        ShowChi chi;
        chi.setModel(model.get());
        const CColors palette;
        for (int i = 0; i < palette.count() + 2; ++i) {
            ShownJob *job = newJob();
            QCOMPARE(colorOf(job), palette.color(i % palette.count()));
            QCOMPARE(job->row.findChild<DispA *>("ColorDisp")->bgColor, colorOf(job));
        }
        QCOMPARE(colorOf(jobs.at(palette.count())), QColor(0, 0, 0));
        QCOMPARE(colorOf(jobs.at(palette.count() + 1)), QColor(255, 0, 0));
    }

    void deepZoomStillPaints()
    {
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        shownJob(chi, readFile(testData("chi/Cu_feff6.chi.dat")));
        paint(chi);
        DispA *area = chi.plotArea();
        QTest::mouseMove(area, QPoint(area->width() / 2, area->height() / 2));
        const QPointF at(area->width() / 2, area->height() / 2);
        for (int i = 0; i < 2000; ++i) {
            QWheelEvent wheel(at, QPointF(area->mapToGlobal(at.toPoint())), QPoint(),
                QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(area, &wheel);
            if (i % 250 == 0)
                paint(chi);
        }
        paint(chi); // returns
        const Range r = rangeOf(area);
        QVERIFY(std::isfinite(r.x0) && std::isfinite(r.x1) && r.x0 < r.x1);
        QVERIFY(std::isfinite(r.y0) && std::isfinite(r.y1) && r.y0 < r.y1);
        QVERIFY(std::isfinite(readout(chi, "CurK").toDouble()));
    }

    // The weight and the space fit the view again; the read-outs are in the view's units.
    void weightAndSpaceFitTheView_data()
    {
        QTest::addColumn<int>("weight");
        QTest::addColumn<bool>("r");
        QTest::addColumn<QString>("xLabel");
        QTest::addColumn<QString>("yLabel");
        QTest::newRow("k^2 chi") << 2 << false << "k" << QString::fromUtf8("k²·chi");
        QTest::newRow("|chi(R)| of chi") << 0 << true << "R"
                                         << "|chi(R)|";
        QTest::newRow("|chi(R)| of k^3 chi") << 3 << true << "R"
                                             << "|chi(R)|";
    }
    void weightAndSpaceFitTheView()
    {
        QFETCH(int, weight);
        QFETCH(bool, r);
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        ShownJob *job = shownJob(chi, readFile(testData("chi/Cu_feff6.chi.dat")));
        paint(chi);
        DispA *area = chi.plotArea();
        dragWithLeftButton(area, QPoint(300, 100), QPoint(340, 120));

        choose(chi, "KWeight", weight);
        choose(chi, "Space", r ? 1 : 0);
        QImage image = paint(chi);
        const Range got = rangeOf(area);
        const Series s
            = r ? rSeries(job->job.chi(), weight, FtParams()) : kSeries(job->job.chi(), weight);
        if (r) {
            double top = 0;
            for (int m = 0; s.x[m] <= 6; ++m)
                top = std::max(top, s.y[m]);
            QCOMPARE(got.x0, 0.0);
            QCOMPARE(got.x1, 6.0);
            QCOMPARE(got.y0, 0.0);
            QCOMPARE(got.y1, 1.05 * top);
        } else {
            QCOMPARE(got.x0, 0.0);
            QCOMPARE(got.x1, 20.0);
            QCOMPARE(got.y1, std::max(s.yMax, -s.yMin));
            QCOMPARE(got.y0, -got.y1);
        }
        // The highest point is drawn in the job's colour.
        const int top = int(std::max_element(s.y.begin(), s.y.end()) - s.y.begin());
        const QPoint peak = screenPoint(chi, s.x[top], s.y[top]);
        QCOMPARE(image.pixelColor(peak), colorOf(job));

        QTest::mouseMove(area, QPoint(200, 150));
        paint(chi);
        QCOMPARE(readout(chi, "CurK"), QString::number(area->coord.toDataX(200), 'g', 6));
        QCOMPARE(readout(chi, "CurChi"), QString::number(area->coord.toDataY(150), 'g', 6));
        QTEST(chi.findChild<QLabel *>("label")->text(), "xLabel");
        QTEST(chi.findChild<QLabel *>("label_2")->text(), "yLabel");
        QCOMPARE(chi.view().kWeight, weight);

        // Back to raw chi(k): the view of a window that was never touched.
        choose(chi, "KWeight", 0);
        choose(chi, "Space", 0);
        paint(chi);
        QCOMPARE(rangeOf(area).y1, std::max(job->job.chi().chiMax(), -job->job.chi().chiMin()));
        QCOMPARE(chi.findChild<QLabel *>("label_2")->text(), QString("chi"));
    }

    // While the right button drags, the box shows; after the zoom no curve pixel lies
    // outside the plot area.
    void zoomBoxShownAndCurvesClipped()
    {
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        ShownJob *job = shownJob(chi, readFile(testData("chi/Cu_feff6.chi.dat")));
        paint(chi);
        DispA *area = chi.plotArea();
        auto *band = area->findChild<QRubberBand *>();
        QVERIFY(band && !band->isVisible());
        QTest::mousePress(area, Qt::RightButton, Qt::NoModifier, QPoint(200, 150));
        QMouseEvent drag(
            QEvent::MouseMove, QPointF(300, 250), Qt::NoButton, Qt::RightButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &drag);
        QVERIFY(band->isVisible());
        QCOMPARE(band->geometry(), QRect(QPoint(200, 150), QPoint(300, 250)));
        QTest::mouseRelease(area, Qt::RightButton, Qt::NoModifier, QPoint(300, 250));
        QVERIFY(!band->isVisible());

        const QImage image = paint(chi);
        const ChCoord &c = area->coord;
        const QRect plot(
            QPoint(int(c.plotX0), int(c.plotY1)), QPoint(int(c.plotX1), int(c.plotY0)));
        int inside = 0, outside = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == colorOf(job))
                    ++(plot.contains(x, y) ? inside : outside);
        QVERIFY(inside > 100);
        QCOMPARE(outside, 0);
    }

    // The name of the curve under the mouse shows beside the read-outs, and a click on a
    // curve names its job.
    void hoverNamesAndClickPicksTheJob()
    {
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        ShownJob *low = shownJob(chi, chiFile({ 0, 10 }, { -1, -1 }));
        ShownJob *high = shownJob(chi, chiFile({ 0, 10 }, { 1, 1 }));
        QCOMPARE(chi.findChild<QCheckBox *>("ShowLegend")->isChecked(), false);
        paint(chi);
        DispA *area = chi.plotArea();
        auto *name = chi.findChild<QLabel *>("CurName");
        const QPoint onHigh = screenPoint(chi, 5, 1) + QPoint(0, 3);
        QTest::mouseMove(area, onHigh);
        // The label shows as much of the name as fits; its tool tip, the whole name.
        QCOMPARE(name->toolTip(), QFileInfo(high->job.inputPath()).fileName());
        QVERIFY(!name->text().isEmpty());
        QTest::mouseMove(area, screenPoint(chi, 5, 0));
        QCOMPARE(name->text(), QString());
        QTest::mouseMove(area, screenPoint(chi, 5, -1) - QPoint(0, 4));
        QCOMPARE(name->toolTip(), QFileInfo(low->job.inputPath()).fileName());

        QSignalSpy clicked(&chi, &ShowChi::curveClicked);
        QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, onHigh);
        QTest::mouseClick(area, Qt::LeftButton, Qt::NoModifier, screenPoint(chi, 5, 0));
        QTest::mouseClick(area, Qt::LeftButton, Qt::ControlModifier, onHigh);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), 1);
    }

    // Save... writes the view as the window shows it.
    void saveViewAsPictureAndData()
    {
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        // Ticked, without data: no column. It takes black, so that the curve (red) has a
        // colour no text of the plot is drawn in.
        shownJob(chi, QByteArray());
        ShownJob *job = shownJob(chi, readFile(testData("chi/Cu_feff6.chi.dat")));
        chi.findChild<QCheckBox *>("ShowLegend")->setChecked(true);
        const QImage shown = paint(chi);
        QTemporaryDir dir;
        QVERIFY(chi.saveView(dir.filePath("view.png")));
        const QImage saved(dir.filePath("view.png"));
        QCOMPARE(saved.size(), chi.plotArea()->size());
        QCOMPARE(countColour(saved, colorOf(job)), countColour(shown, colorOf(job)));
        QVERIFY(chi.saveView(dir.filePath("view.svg")));
        QVERIFY(readFile(dir.filePath("view.svg")).contains("<svg"));

        // Zoomed to k 5..10: the rows are the k grid of the view.
        chi.plotArea()->coord.setDataRange(5, -1, 10, 1);
        QVERIFY(chi.saveView(dir.filePath("view.csv")));
        const QStringList lines = QString::fromUtf8(readFile(dir.filePath("view.csv")))
                                      .split('\n', Qt::SkipEmptyParts)
                                      .filter(QRegularExpression("^[^#]"));
        QCOMPARE(lines.first(), "k," + QFileInfo(job->job.inputPath()).fileName());
        QCOMPARE(lines.size(), 1 + 101);
        QCOMPARE(lines[1].section(',', 0, 0).toDouble(), 5.0);
        QCOMPARE(lines.last().section(',', 0, 0).toDouble(), 10.0);
        QCOMPARE(lines[1].section(',', 1).toDouble(), job->job.chi().chiValues[100]);
        QVERIFY(!chi.saveView(dir.filePath("missing/view.csv")));
    }
    // A measured spectrum is drawn first (in the legend's order, which the CSV keeps), in
    // black and two pixels wide, in every view; the offset stacks the curves in that order.
    void measuredCurve_data()
    {
        QTest::addColumn<int>("space");
        QTest::addColumn<int>("part");
        QTest::addColumn<int>("weight");
        QTest::addColumn<double>("offset");
        QTest::addColumn<bool>("byDrop");
        QTest::newRow("k") << int(PlotSpace::K) << 0 << 0 << 0.0 << false;
        QTest::newRow("k, dropped, stacked") << int(PlotSpace::K) << 0 << 0 << 0.5 << true;
        QTest::newRow("|chi(R)|") << int(PlotSpace::R) << int(RPart::Magnitude) << 2 << 0.0
                                  << false;
        QTest::newRow("Im chi(R), stacked")
            << int(PlotSpace::R) << int(RPart::Imaginary) << 2 << 0.2 << false;
    }
    void measuredCurve()
    {
        QFETCH(int, space);
        QFETCH(int, part);
        QFETCH(int, weight);
        QFETCH(double, offset);
        QFETCH(bool, byDrop);
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        newJob(); // the first row takes black; the job plotted, red
        // Flat parts away from grid lines and the frame, where a line's width can be counted.
        ShownJob *job = shownJob(chi, chiFile({ 1, 2, 13, 14 }, { 0.7, -0.27, -0.27, 0.7 }));
        const QString path
            = writeFileIn(tmp, "flat.chik", measuredChiFile(2, 14, [](double) { return 0.45; }));
        QSignalSpy logged(&chi, &ShowChi::logLine);
        if (byDrop) {
            QMimeData mime;
            mime.setUrls({ QUrl::fromLocalFile(path) });
            dragAndDrop(&chi, &mime);
        } else {
            QString error;
            QVERIFY2(chi.loadMeasured(path, MeasuredOptions(), &error), qPrintable(error));
        }
        QCOMPARE(chi.measured().path(), path);
        QCOMPARE(logged.count(), 0);
        const QString status = chi.findChild<QLabel *>("MeasuredStatus")->text();
        QCOMPARE(status, chi.measured().summary());
        QVERIFY(status.startsWith("flat.chik"));

        choose(chi, "KWeight", weight);
        choose(chi, "Space", space == int(PlotSpace::R) ? 1 : 0);
        if (space == int(PlotSpace::R))
            choose(chi, "Part", part);
        chi.findChild<QDoubleSpinBox *>("Offset")->setValue(offset);
        QCOMPARE(chi.view().offset, offset);
        QCOMPARE(int(chi.view().rPart), space == int(PlotSpace::R) ? part : 0);
        const QImage image = paint(chi);

        QTemporaryDir dir;
        const Csv csv = savedCsv(chi, dir);
        QCOMPARE(csv.names.mid(1),
            QStringList({ "flat.chik", QFileInfo(job->job.inputPath()).fileName() }));
        const Series measured = viewSeries(chi.measured().chi(), chi.view());
        const Series computed = shifted(viewSeries(job->job.chi(), chi.view()), offset);
        QString why;
        QVERIFY2(columnMatches(csv, 1, measured, chi.view().space, &why), qPrintable(why));
        QVERIFY2(columnMatches(csv, 2, computed, chi.view().space, &why), qPrintable(why));

        // The view fits the stack: its lowest and highest points, and little more.
        const ChCoord &c = chi.plotArea()->coord;
        const double lo = std::min(measured.yMin, computed.yMin);
        const double hi = std::max(measured.yMax, computed.yMax);
        QVERIFY(c.dataY0 <= lo && c.dataY1 >= hi);
        if (offset != 0)
            QVERIFY2(c.dataY1 - c.dataY0 < 1.15 * (hi - lo),
                qPrintable(
                    QString("%1..%2 for %3..%4").arg(c.dataY0).arg(c.dataY1).arg(lo).arg(hi)));
        // The measured curve's points are black (but where grid lines and the job's curve,
        // drawn after it, cross it); in k, where it is flat, two pixels wide against the
        // job's one.
        int black = 0, drawn = 0;
        for (int i = 0; i < measured.x.size(); ++i) {
            if (measured.x[i] < c.dataX0 || measured.x[i] > c.dataX1)
                continue;
            ++drawn;
            black += image.pixelColor(screenPoint(chi, measured.x[i], measured.y[i]))
                == QColor(Qt::black);
        }
        QVERIFY2(black > 0.7 * drawn, qPrintable(QString("%1 of %2").arg(black).arg(drawn)));
        if (space == int(PlotSpace::K)) {
            const QPoint flat = screenPoint(chi, 7.3, 0.45);
            QCOMPARE(runIn(image, flat.x(), flat.y() - 3, flat.y() + 3, Qt::black), 2);
            const QPoint own = screenPoint(chi, 7.3, -0.27 + offset);
            QCOMPARE(runIn(image, own.x(), own.y() - 3, own.y() + 3, colorOf(job)), 1);
        }
    }

    // A file that gives no chi(k) is logged with its name and leaves the measured curve as
    // it was; a good file replaces it.
    void measuredFileReplacedOrKept_data()
    {
        QTest::addColumn<QByteArray>("badText");
        QTest::addColumn<QString>("badBkg");
        QTest::newRow("no such file") << QByteArray() << QString();
        QTest::newRow("no numbers") << QByteArray("# nothing\nhello world\n") << QString();
        QTest::newRow("Rbkg refused") << QByteArray() << QString("-1,2");
    }
    void measuredFileReplacedOrKept()
    {
        QFETCH(QByteArray, badText);
        QFETCH(QString, badBkg);
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        QSignalSpy logged(&chi, &ShowChi::logLine);
        const QString first = testData("measured/feo_rt1.xdi");
        QVERIFY(chi.loadMeasured(first, MeasuredOptions()));
        const QString status = chi.findChild<QLabel *>("MeasuredStatus")->text();
        QVERIFY2(status.contains("feo_rt1.xdi") && status.contains("E0"), qPrintable(status));

        QString bad = badBkg.isEmpty() ? tmp.filePath("absent.xdi") : testData("measured/cu.chi");
        if (!badText.isEmpty())
            bad = writeFileIn(tmp, "words.xdi", badText);
        MeasuredOptions options;
        options.bkg = badBkg;
        QString error;
        QVERIFY(!chi.loadMeasured(bad, options, &error));
        QCOMPARE(spiedTexts(logged), QStringList({ error }));
        QVERIFY2(error.contains(badBkg.isEmpty() ? QFileInfo(bad).fileName() : "-bkg"),
            qPrintable(error));
        QCOMPARE(chi.measured().path(), first);
        QCOMPARE(chi.findChild<QLabel *>("MeasuredStatus")->text(), status);
        QTemporaryDir dir;
        QCOMPARE(savedCsv(chi, dir).names, QStringList({ "k", "feo_rt1.xdi" }));

        QVERIFY(chi.loadMeasured(testData("measured/cu.chi"), MeasuredOptions()));
        QCOMPARE(savedCsv(chi, dir).names, QStringList({ "k", "cu.chi" }));
        QVERIFY(chi.findChild<QLabel *>("MeasuredStatus")->text().startsWith("cu.chi"));
    }

    // Background... reloads the measured spectrum with its values, and refuses one the
    // reader does not take, saying why, with the curve left as it was.
    void backgroundDialogReloads()
    {
        ShowChi chi;
        showWindow(chi);
        const QString path = testData("measured/feo_rt1.xdi");
        QVERIFY(chi.loadMeasured(path, MeasuredOptions()));
        const QVector<double> before = chi.measured().chi().chiValues;
        chi.findChild<QToolButton *>("MeasuredBackground")->click();
        auto *dialog = chi.findChild<QDialog *>();
        QVERIFY(dialog && dialog->isVisible());
        auto *rbkg = dialog->findChild<QLineEdit *>("BkgRbkg");
        rbkg->setText("none");
        dialog->accept();
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->findChild<QLabel *>("BkgProblem")->text().contains("-bkg"));
        QCOMPARE(chi.measured().chi().chiValues, before);

        rbkg->setText("1.3");
        dialog->findChild<QSpinBox *>("BkgKWeight")->setValue(1);
        dialog->accept();
        QVERIFY(!dialog->isVisible());
        MeasuredSpectrum expected;
        QString error;
        QVERIFY(expected.load(path, MeasuredOptions { QString(), "1.3,1", QString() }, &error));
        QCOMPARE(chi.measured().chi().chiValues, expected.chi().chiValues);
        QVERIFY(chi.measured().chi().chiValues != before);
    }

    // With a measured spectrum and its ranking, a shown job is drawn as its fitted model
    // (in every view), and "Best 5" shows the five best-ranked jobs and no other.
    void fittedModelsAndBestFive_data()
    {
        QTest::addColumn<int>("space");
        QTest::addColumn<int>("weight");
        QTest::newRow("chi(k)") << int(PlotSpace::K) << 0;
        QTest::newRow("k^2 chi(k)") << int(PlotSpace::K) << 2;
        QTest::newRow("|chi(R)|") << int(PlotSpace::R) << 2;
    }
    void fittedModelsAndBestFive()
    {
        QFETCH(int, space);
        QFETCH(int, weight);
        ShowChi chi;
        chi.setModel(model.get());
        showWindow(chi);
        JobRanking ranking;
        const QStringList files = { "Cu_feff6", "Cu_feff8l", "Cu_r8_feff6", "FeO_feff6",
            "FeO_feff8l", "FeO_r8_feff6", "FeO_r8_feff8l" };
        QVector<ShownJob *> all;
        for (const QString &file : files) {
            ShownJob *job = newJob(readFile(testData("chi/" + file + ".chi.dat")));
            run(job);
            ranking.addJob(&job->job);
            all << job;
        }
        ShownJob *source = all[3];
        tick(source, true);
        tick(all[0], true);
        chi.setRanking(&ranking);
        choose(chi, "KWeight", weight);
        choose(chi, "Space", space == int(PlotSpace::R) ? 1 : 0);
        QTemporaryDir dir;
        const QString name = QFileInfo(source->job.inputPath()).fileName();
        // No measured spectrum yet: the jobs' own data.
        Csv csv = savedCsv(chi, dir);
        QCOMPARE(csv.names.value(1), QFileInfo(all[0]->job.inputPath()).fileName());
        QCOMPARE(csv.names.value(2), name);
        QString why;
        QVERIFY2(columnMatches(
                     csv, 2, viewSeries(source->job.chi(), chi.view()), chi.view().space, &why),
            qPrintable(why));

        // FeO's own chi(k), damped and scaled as a sample's would be.
        const ChiData &own = source->job.chi();
        const QString measured
            = writeFileIn(tmp, "feo_like.chik", measuredChiFile(0, 16, [&own](double k) {
                  const int i = int(std::lround(k / 0.05));
                  return 0.8 * own.chiValues[i] * std::exp(-2 * 0.004 * k * k);
              }));
        QVERIFY(chi.loadMeasured(measured, MeasuredOptions()));
        QVERIFY(ranking.hasMeasured());
        QTRY_VERIFY_WITH_TIMEOUT(
            ranking.pending() == 0 && ranking.rankedCount() == files.size(), 30000);
        QCOMPARE(ranking.entry(&source->job).rank, 1);

        paint(chi);
        csv = savedCsv(chi, dir);
        QCOMPARE(csv.names.value(1), "feo_like.chik");
        QCOMPARE(csv.names.value(3), name + " (fit)");
        ChiData fitted;
        fitted.setPoints(own.kValues, ranking.fittedChi(&source->job));
        QVERIFY(fitted.valid);
        QVERIFY2(columnMatches(csv, 3, viewSeries(fitted, chi.view()), chi.view().space, &why),
            qPrintable(why));
        QVERIFY(!columnMatches(csv, 3, viewSeries(own, chi.view()), chi.view().space, &why));

        chi.findChild<QToolButton *>("BestFive")->click();
        const QVector<Job *> best = ranking.best(5);
        QCOMPARE(best.size(), 5);
        QCOMPARE(best.first(), &source->job);
        for (ShownJob *job : all)
            QCOMPARE(job->isShown(), best.contains(&job->job));
    }

    // The read-outs clear when the mouse leaves the plot, and after a change of the view
    // they are those of the new view at the mouse's pixel, not left from the old one.
    void readoutsNeverStale_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("mouse leaves") << "leave";
        QTest::newRow("k-weight") << "weight";
        QTest::newRow("space") << "space";
        QTest::newRow("offset") << "offset";
    }
    void readoutsNeverStale()
    {
        QFETCH(QString, action);
        ShowChi chi;
        chi.setModel(model.get());
        chi.resize(615, 478);
        showWindow(chi);
        shownJob(chi, chiFile({ 0, 10 }, { -1, -1 }));
        ShownJob *high = shownJob(chi, chiFile({ 0, 10 }, { 1, 1 }));
        paint(chi);
        DispA *area = chi.plotArea();
        auto *name = chi.findChild<QLabel *>("CurName");
        const QPoint onHigh = screenPoint(chi, 5, 1) + QPoint(0, 1);
        // The real event: QTest's moves to where the cursor already is send none.
        QMouseEvent move(QEvent::MouseMove, onHigh, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(area, &move);
        paint(chi);
        // At the window's first width the whole name shows.
        QCOMPARE(name->text(), QFileInfo(high->job.inputPath()).fileName());
        QVERIFY(!readout(chi, "CurK").isEmpty());

        if (action == "leave") {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(area, &leave);
        } else if (action == "weight") {
            choose(chi, "KWeight", 2);
        } else if (action == "space") {
            choose(chi, "Space", 1);
        } else {
            chi.findChild<QDoubleSpinBox *>("Offset")->setValue(-3);
        }
        paint(chi);
        if (action == "leave") {
            QCOMPARE(readout(chi, "CurK"), QString());
            QCOMPARE(readout(chi, "CurChi"), QString());
        } else {
            QCOMPARE(
                readout(chi, "CurK"), QString::number(area->coord.toDataX(onHigh.x()), 'g', 6));
            QCOMPARE(
                readout(chi, "CurChi"), QString::number(area->coord.toDataY(onHigh.y()), 'g', 6));
        }
        // No curve lies under that pixel any more.
        QCOMPARE(name->text(), QString());
        QCOMPARE(name->toolTip(), QString());
    }

    // Save... starts in the folder the program started in, not the one a FEFF run moved
    // the program to, then in the folder last saved to.
    void saveDialogStartsWhereTheUserIs()
    {
        const QString start = QDir::currentPath();
        QTemporaryDir startDir, jobDir, chosen;
        QVERIFY(QDir::setCurrent(startDir.path()));
        ShowChi chi;
        QVERIFY(QDir::setCurrent(jobDir.path())); // as a FEFF start does
        chi.setModel(model.get());
        showWindow(chi);
        shownJob(chi, readFile(testData("chi/Cu_feff6.chi.dat")));
        QDir::setCurrent(jobDir.path());
        paint(chi);
        QStringList offered;
        const auto saveWith = [&](const QString &file) {
            QTimer::singleShot(0, [&offered, file] {
                auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                offered << dialog->directory().absolutePath();
                dialog->selectFile(file);
                static_cast<QDialog *>(dialog)->accept();
            });
            chi.findChild<QToolButton *>("SaveView")->click();
        };
        saveWith(QDir(chosen.path()).filePath("first.png"));
        saveWith(QDir(chosen.path()).filePath("second.png"));
        QDir::setCurrent(start);
        QCOMPARE(offered,
            QStringList({ QFileInfo(startDir.path()).canonicalFilePath(),
                QFileInfo(chosen.path()).canonicalFilePath() }));
        QVERIFY(QFileInfo::exists(QDir(chosen.path()).filePath("first.png")));
        QVERIFY(QFileInfo::exists(QDir(chosen.path()).filePath("second.png")));
        QCOMPARE(QImage(QDir(chosen.path()).filePath("second.png")).size(), chi.plotArea()->size());
    }
};

QTEST_MAIN(TestShowChi)
#include "tst_showchi.moc"
