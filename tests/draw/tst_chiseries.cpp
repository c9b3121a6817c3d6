// The series a view plots, without widgets: the transform to R and its windows,
// k-weighting, the cache, the view's CSV and the command-line view options.
#include "chidata.h"
#include "chiplot.h"
#include "chiseries.h"
#include "plotexport.h"
#include "testutil.h"

#include <QBuffer>
#include <QTest>
#include <cmath>

using namespace testutil;

Q_DECLARE_METATYPE(FtWindow)

namespace {

const double pi = 3.14159265358979323846;

ChiData chiOf(const QVector<double> &k, const QVector<double> &chi)
{
    QByteArray text = "   k   chi   mag   phase\n";
    for (int i = 0; i < k.size(); ++i)
        text += QByteArray::number(k[i], 'g', 17) + " " + QByteArray::number(chi[i], 'g', 17)
            + " 0 0\n";
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    ChiData data;
    data.readFrom(buffer);
    return data;
}

// A sin(2 k r0) at k = 0, step, ..., kEnd.
ChiData sineChi(double a, double r0, double step, double kEnd)
{
    QVector<double> k, chi;
    for (int i = 0; i * step <= kEnd + 1e-9; ++i) {
        k << i * step;
        chi << a * std::sin(2 * k.last() * r0);
    }
    return chiOf(k, chi);
}

} // namespace

class TestChiSeries : public QObject
{
    Q_OBJECT

private slots:
    // The transform of A sin(2 k R0) peaks at R0 with the height (A/2) (dk/sqrt(pi)) sum W,
    // that is A * integral(W) / (2 sqrt(pi)); a Hanning window's integral is kmax - kmin,
    // less what lies beyond the data's end.
    void sinePeaksAtItsDistance_data()
    {
        QTest::addColumn<double>("r0");
        QTest::addColumn<double>("step"); // of the data's k grid
        QTest::addColumn<double>("kEnd");
        QTest::addColumn<FtWindow>("window");
        QTest::addColumn<double>("kmax");
        QTest::addColumn<double>("windowIntegral"); // 0: the height is not checked

        const double rStep = pi / (2048 * 0.05);
        QTest::newRow("on an R step")
            << 80 * rStep << 0.05 << 20.0 << FtWindow::Hanning << 18.0 << 16.0;
        QTest::newRow("between R steps")
            << 1.7 << 0.05 << 20.0 << FtWindow::Hanning << 18.0 << 16.0;
        // Linear interpolation between points 0.1 apart passes a sine of frequency 2 R0 with
        // the gain sinc^2(R0 * 0.1) (0.984 here).
        const double x = 2.2 * 0.1;
        QTest::newRow("coarser data grid") << 2.2 << 0.1 << 20.0 << FtWindow::Hanning << 18.0
                                           << 16.0 * std::pow(std::sin(x) / x, 2);
        // kmax is cut to the data's end (12): the window is 0.5 there, its last quarter of a
        // taper width (0.25) lies beyond the data.
        QTest::newRow("data ends before kmax")
            << 120 * rStep << 0.05 << 12.0 << FtWindow::Hanning << 18.0 << 12 - 2 - 0.25;
        QTest::newRow("Kaiser") << 3.1 << 0.05 << 20.0 << FtWindow::Kaiser << 18.0 << 0.0;
    }
    void sinePeaksAtItsDistance()
    {
        QFETCH(double, r0);
        QFETCH(double, step);
        QFETCH(double, kEnd);
        QFETCH(FtWindow, window);
        QFETCH(double, kmax);
        QFETCH(double, windowIntegral);
        const double a = 0.7;
        const ChiData data = sineChi(a, r0, step, kEnd);
        FtParams ft;
        ft.kmin = 2;
        ft.kmax = kmax;
        ft.dk = 1;
        ft.window = window;
        const Series s = rSeries(data, 0, ft);
        QCOMPARE(s.x.size(), 1024);
        QCOMPARE(s.x[1], pi / (2048 * 0.05));
        const int peak = int(std::max_element(s.y.begin(), s.y.end()) - s.y.begin());
        QVERIFY2(std::abs(s.x[peak] - r0) <= s.x[1],
            qPrintable(QString("peak at %1, not %2").arg(s.x[peak]).arg(r0)));
        if (windowIntegral > 0) {
            const double height = a * windowIntegral / (2 * std::sqrt(pi));
            QVERIFY2(std::abs(s.y[peak] - height) < 0.015 * height,
                qPrintable(QString("height %1, not %2").arg(s.y[peak]).arg(height)));
        }
    }

    void windowsAtTheirEdges_data()
    {
        QTest::addColumn<FtWindow>("window");
        QTest::addColumn<double>("dk");
        QTest::addColumn<double>("k");
        QTest::addColumn<double>("w");
        // kmin 3, kmax 14: with dk 1, k1 2.5, k2 3.5, k3 13.5, k4 14.5.
        const FtWindow hanning = FtWindow::Hanning, kaiser = FtWindow::Kaiser;
        QTest::newRow("Hanning below k1") << hanning << 1.0 << 2.4 << 0.0;
        QTest::newRow("Hanning k1") << hanning << 1.0 << 2.5 << 0.0;
        QTest::newRow("Hanning kmin") << hanning << 1.0 << 3.0 << 0.5;
        QTest::newRow("Hanning k2") << hanning << 1.0 << 3.5 << 1.0;
        QTest::newRow("Hanning k3") << hanning << 1.0 << 13.5 << 1.0;
        QTest::newRow("Hanning quarter into the taper")
            << hanning << 1.0 << 13.75 << std::pow(std::cos(pi / 8), 2);
        QTest::newRow("Hanning kmax") << hanning << 1.0 << 14.0 << 0.5;
        QTest::newRow("Hanning k4") << hanning << 1.0 << 14.5 << 0.0;
        QTest::newRow("Hanning above k4") << hanning << 1.0 << 14.6 << 0.0;
        QTest::newRow("Hanning dk 0 is a box") << hanning << 0.0 << 3.0 << 1.0;
        QTest::newRow("box beyond kmax") << hanning << 0.0 << 14.01 << 0.0;
        // dk 2: k1 2, k4 15, centre 8.5, half width 6.5.
        QTest::newRow("Kaiser below k1") << kaiser << 2.0 << 1.9 << 0.0;
        QTest::newRow("Kaiser k1") << kaiser << 2.0 << 2.0 << 0.0;
        QTest::newRow("Kaiser centre") << kaiser << 2.0 << 8.5 << 1.0;
        // u = 0.6: (I0(1.6) - 1) / (I0(2) - 1), I0 from tables: 1.749981, 2.279585.
        QTest::newRow("Kaiser u 0.6") << kaiser << 2.0 << 12.4 << 0.749981 / 1.279585;
        QTest::newRow("Kaiser k4") << kaiser << 2.0 << 15.0 << 0.0;
        QTest::newRow("Kaiser dk 0 is 1 - u^2") << kaiser << 0.0 << 8.5 + 0.5 * 5.5 << 0.75;
    }
    void windowsAtTheirEdges()
    {
        QFETCH(FtWindow, window);
        QFETCH(double, dk);
        QFETCH(double, k);
        QFETCH(double, w);
        FtParams ft;
        ft.kmin = 3;
        ft.kmax = 14;
        ft.dk = dk;
        ft.window = window;
        const double got = windowValue(ft, k);
        QVERIFY2(std::abs(got - w) < 2e-6, qPrintable(QString::number(got, 'g', 10)));
    }

    // k^w chi(k) at every point of a FEFF chi.dat, against the file's own numbers.
    void kWeightingOnASample()
    {
        ChiData data;
        data.read(testData("chi/Cu_feff6.chi.dat"));
        QCOMPARE(data.kValues.size(), 401);
        QVector<double> k, chi;
        bool inColumns = false;
        for (const QByteArray &line : readFile(testData("chi/Cu_feff6.chi.dat")).split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (inColumns && f.size() >= 2) {
                k << f[0].toDouble();
                chi << f[1].toDouble();
            }
            inColumns = inColumns || (f.size() >= 2 && f[0] == "k" && f[1] == "chi");
        }
        QCOMPARE(k.size(), 401);
        for (int w = 0; w <= 3; ++w) {
            const Series s = kSeries(data, w);
            QCOMPARE(s.x, k);
            for (int i = 0; i < k.size(); ++i) {
                const long double want = chi[i] * std::pow((long double)k[i], w);
                QVERIFY2(std::abs(s.y[i] - want) <= 1e-15 * std::abs(want),
                    qPrintable(QString("w %1, k %2").arg(w).arg(k[i])));
            }
            QCOMPARE(s.yMax, *std::max_element(s.y.begin(), s.y.end()));
        }
        // k = 10.00 is the 201st point: chi there, times 1000 at w = 3.
        QCOMPARE(k[200], 10.0);
        QCOMPARE(kSeries(data, 3).y[200], 1000 * chi[200]);
    }

    // A transform is computed once per reading of the data and per parameters.
    void cacheComputesOncePerDataAndParameters()
    {
        ChiData data = sineChi(1, 2, 0.05, 20);
        SeriesCache cache;
        PlotView r;
        r.space = PlotSpace::R;
        const Series first = cache.series(data, r);
        QCOMPARE(cache.computed(), 1);
        const Series again = cache.series(data, r);
        QCOMPARE(cache.computed(), 1);
        QVERIFY(again.y.constData() == first.y.constData()); // the same points, not a copy
        PlotView k;
        cache.series(data, k);
        cache.series(data, r);
        cache.series(data, k);
        QCOMPARE(cache.computed(), 2); // k and R of one reading are both kept
        r.ft.kmin = 4;
        QVERIFY(cache.series(data, r).y != first.y);
        QCOMPARE(cache.computed(), 3);
        r.kWeight = 2;
        cache.series(data, r);
        QCOMPARE(cache.computed(), 4);
        // A new reading of the same object, with other numbers.
        data = ChiData();
        QCOMPARE(cache.series(data, r).y.size(), 0);
        QCOMPARE(cache.computed(), 5);
        data.read(testData("chi/Cu_feff6.chi.dat"));
        QCOMPARE(cache.series(data, k).x.size(), 401);
        QCOMPARE(cache.computed(), 6);
    }

    void csvHeaderAndColumns()
    {
        Series a, b;
        for (int i = 0; i <= 10; ++i) {
            a.x << 0.1 * i;
            a.y << i;
        }
        for (int i = 10; i <= 40; ++i) {
            b.x << 0.05 * i;
            b.y << -1;
        }
        a.valid = b.valid = true;
        a.xMin = 0, a.xMax = 1, b.xMin = 0.5, b.xMax = 2;
        const QVector<double> grid = viewGrid(PlotSpace::K, 0.3, 0.8, { a, b });
        QCOMPARE(grid.size(), 11);
        const QStringList lines
            = viewCsv(PlotSpace::K, grid, { "a.inp", "b, \"c\".inp" }, { a, b }).split('\n');
        QCOMPARE(lines.size(), 13); // header, 11 rows, and the empty rest after the last end
        QCOMPARE(lines[0], QString("k,a.inp,\"b, \"\"c\"\".inp\""));
        QCOMPARE(lines[1], QString("0.3,3,"));
        QCOMPARE(lines[2], QString("0.35,3.5,"));
        QCOMPARE(lines[5], QString("0.5,5,-1"));
        QCOMPARE(lines[11], QString("0.8,8,-1"));
        QCOMPARE(lines[12], QString());
        // The grid keeps to the curves' span even when the view is wider.
        QCOMPARE(viewGrid(PlotSpace::K, -5, 50, { a, b }).size(), 41);
        QCOMPARE(viewGrid(PlotSpace::K, 3, 4, { a, b }).size(), 0);

        // In R: the transform's own R_m, where each value is exact.
        ChiData data = sineChi(1, 2, 0.05, 20);
        PlotView r;
        r.space = PlotSpace::R;
        const Series s = rSeries(data, 0, r.ft);
        const QVector<double> rGrid = viewGrid(PlotSpace::R, 0, 6, { s });
        QCOMPARE(rGrid.size(), int(6 / s.x[1]) + 1);
        const QStringList rLines = viewCsv(PlotSpace::R, rGrid, { "x" }, { s }).split('\n');
        QCOMPARE(rLines[0], QString("R,x"));
        QVERIFY(std::abs(rLines[66].section(',', 1).toDouble() - s.y[65]) < 1e-9 * s.y[65]);
    }

    void legendStopsAtTwenty()
    {
        QVector<QString> names;
        for (int i = 0; i < 25; ++i)
            names << QString("job%1.inp").arg(i);
        const QStringList lines = legendLines(names, 20);
        QCOMPARE(lines.size(), 21);
        QCOMPARE(lines[19], QString("job19.inp"));
        QCOMPARE(lines[20], QString::fromUtf8("… and 5 more"));
        QCOMPARE(legendLines(names.mid(0, 20), 20).size(), 20);
    }

    void viewOptions_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("kWeight");
        QTest::addColumn<bool>("r");
        QTest::addColumn<QString>("ft"); // kmin,kmax,dk,window as parsed

        QTest::newRow("none") << QStringList() << true << 0 << false << "3,14,1,hanning";
        QTest::newRow("all") << QStringList { "-kweight", "2", "-space", "R", "-ft",
            "2.5,12,0.5,Kaiser" }
                             << true << 2 << true << "2.5,12,0.5,kaiser";
        QTest::newRow("weight 4") << QStringList { "-kweight", "4" } << false << 0 << false << "";
        QTest::newRow("weight missing") << QStringList { "-kweight" } << false << 0 << false << "";
        QTest::newRow("space x") << QStringList { "-space", "x" } << false << 0 << false << "";
        QTest::newRow("kmin above kmax")
            << QStringList { "-ft", "14,3,1,hanning" } << false << 0 << false << "";
        QTest::newRow("three numbers")
            << QStringList { "-ft", "3,14,hanning" } << false << 0 << false << "";
        QTest::newRow("unknown window")
            << QStringList { "-ft", "3,14,1,gauss" } << false << 0 << false << "";
    }
    void viewOptions()
    {
        QFETCH(QStringList, words);
        QFETCH(bool, ok);
        PlotView view;
        QString error;
        QCOMPARE(viewFromOptions(commandLine(words), &view, &error), ok);
        if (!ok) {
            QVERIFY(error.startsWith(words.first()));
            return;
        }
        QTEST(view.kWeight, "kWeight");
        QTEST(view.space == PlotSpace::R, "r");
        QTEST(QString("%1,%2,%3,%4")
                  .arg(view.ft.kmin)
                  .arg(view.ft.kmax)
                  .arg(view.ft.dk)
                  .arg(windowName(view.ft.window)),
            "ft");
    }
};

QTEST_GUILESS_MAIN(TestChiSeries)
#include "tst_chiseries.moc"
