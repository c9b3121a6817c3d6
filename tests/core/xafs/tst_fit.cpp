#include "absorber.h"
#include "feffpaths.h"
#include "fit.h"
#include "ranking.h"

#include <QFile>
#include <QTest>
#include <cmath>

// The fit of a calculated chi(k) to a measured one, the absorber of a FEFF input and the
// ranking: what they recover from a spectrum of known parameters, and how they refuse.
class TestFit : public QObject
{
    Q_OBJECT

    // k, chi, mag and phase of a FEFF chi.dat (its header lines are words).
    struct FeffChi
    {
        std::vector<double> k, chi, mag, phase;
    };

    static FeffChi readChiDat(const QString &path)
    {
        FeffChi out;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const auto words = line.simplified().split(' ');
            bool ok = words.size() == 4;
            double v[4] = {};
            for (int i = 0; ok && i < 4; ++i)
                v[i] = words[i].toDouble(&ok);
            if (!ok)
                continue;
            out.k.push_back(v[0]);
            out.chi.push_back(v[1]);
            out.mag.push_back(v[2]);
            out.phase.push_back(v[3]);
        }
        return out;
    }

    static double linear(const std::vector<double> &x, const std::vector<double> &y, double at)
    {
        const auto it = std::upper_bound(x.begin(), x.end(), at);
        if (it == x.begin() || it == x.end())
            return 0;
        const size_t j = size_t(it - x.begin()) - 1;
        return y[j] + (y[j + 1] - y[j]) * (at - x[j]) / (x[j + 1] - x[j]);
    }

    static QString dataPath(const char *name)
    {
        return QStringLiteral(ORBELIN_TEST_DATA "/") + name;
    }

private slots:
    // A measured spectrum made from FEFF's own amplitude and phase (chi = mag sin(phase)),
    // interpolated at k' = sqrt(k^2 - 0.2625 dE0), scaled and damped: the fit, which works
    // on chi alone, gives the parameters back, or stops at the bound that they pass.
    void recoversKnownParameters_data()
    {
        QTest::addColumn<double>("s02");
        QTest::addColumn<double>("de0");
        QTest::addColumn<double>("sigma2");
        QTest::addColumn<bool>("shells");
        QTest::addColumn<QString>("atBound");
        QTest::newRow("shift up") << 0.90 << 4.0 << 0.0040 << false << "";
        QTest::newRow("shift down, damped") << 0.75 << -7.0 << 0.0090 << false << "";
        QTest::newRow("no shift, weak damping") << 1.10 << 0.0 << 0.0015 << false << "";
        QTest::newRow("first shell alone") << 0.85 << 2.5 << 0.0060 << true << "";
        QTest::newRow("S0^2 past its bound") << 1.70 << 3.0 << 0.0050 << false << "s02";
    }

    void recoversKnownParameters()
    {
        QFETCH(double, s02);
        QFETCH(double, de0);
        QFETCH(double, sigma2);
        QFETCH(bool, shells);
        QFETCH(QString, atBound);

        const QString run = dataPath("feffrun/Cu");
        const FeffChi feff = readChiDat(run + "/chi.dat");
        QCOMPARE(feff.k.size(), size_t(401));
        std::vector<double> k, chi;
        for (int i = 0; i <= 300; ++i) {
            const double kd = 0.05 * i;
            const double kp2 = kd * kd - 0.2625 * de0;
            const double kp = kp2 > 0 ? std::sqrt(kp2) : 0.0;
            k.push_back(kd);
            chi.push_back(s02 * linear(feff.k, feff.mag, kp)
                * std::sin(linear(feff.k, feff.phase, kp)) * std::exp(-2 * sigma2 * kd * kd));
        }
        FitOptions options;
        options.shellSigma2 = shells;
        const FitTarget target(k, chi, options);
        QVERIFY2(target.isValid(), target.error().c_str());

        CalcChi calc { feff.k, feff.chi, {} };
        if (shells) {
            const FirstShell first = readFirstShell(run.toStdString(), calc.k);
            QVERIFY2(first.error.empty(), first.error.c_str());
            QCOMPARE(first.paths, 1);
            QCOMPARE(first.reff, 2.5527);
            calc.firstShell = first.chi;
        }
        const FitResult fit = target.fit(calc);
        QVERIFY2(fit.ok, fit.error.c_str());
        QString bounds;
        for (const auto &b : fit.atBound)
            bounds += QString::fromStdString(b);
        QCOMPARE(bounds, atBound);
        QCOMPARE(fit.shells, shells);
        if (!atBound.isEmpty()) {
            QCOMPARE(fit.s02, 1.5);
            QVERIFY2(fit.rfactor > 1e-3, qPrintable(QString::number(fit.rfactor)));
            return;
        }
        QVERIFY2(std::fabs(fit.s02 / s02 - 1) < 0.005, qPrintable(QString::number(fit.s02)));
        QVERIFY2(std::fabs(fit.de0 - de0) < 0.05, qPrintable(QString::number(fit.de0)));
        QVERIFY2(std::fabs(fit.sigma2 - sigma2) < 2e-5, qPrintable(QString::number(fit.sigma2)));
        QVERIFY2(
            std::fabs(fit.sigma2Far - sigma2) < 2e-4, qPrintable(QString::number(fit.sigma2Far)));
        QVERIFY2(fit.rfactor < 1e-5, qPrintable(QString::number(fit.rfactor)));

        // The model the plot draws is the spectrum over the fitted range.
        const std::vector<double> model = fittedChi(calc, fit, k);
        double worst = 0, largest = 0;
        for (size_t i = 0; i < k.size(); ++i)
            if (k[i] >= 3 && k[i] <= 12) {
                worst = std::max(worst, std::fabs(model[i] - chi[i]));
                largest = std::max(largest, std::fabs(chi[i]));
            }
        QVERIFY2(worst < 5e-3 * largest, qPrintable(QString::number(worst / largest)));

        // The same calculation on two threads and in another order gives the same bits.
        const auto again = fitAll(target, { CalcChi { feff.k, feff.k, {} }, calc, calc }, 2);
        QVERIFY(again[1].rfactor == fit.rfactor && again[2].rfactor == fit.rfactor);
        QVERIFY(again[1].de0 == fit.de0 && again[2].sigma2 == fit.sigma2);
    }

    // What the pure functions refuse, and why: fit ranges, FEFF inputs, spectra that cannot
    // be fitted, and the ranking of candidates that cannot be ranked.
    void refuses_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ranges: four fields") << "ranges"
                                             << "3,12,2,1"
                                             << "five numbers";
        QTest::newRow("ranges: seven fields") << "ranges"
                                              << "3,12,2,1,3.5,one,x"
                                              << "five numbers";
        QTest::newRow("ranges: sixth not a model") << "ranges"
                                                   << "3,12,2,1,3.5,4"
                                                   << "'4' is neither one";
        QTest::newRow("ranges: empty") << "ranges"
                                       << ""
                                       << "five numbers";
        QTest::newRow("ranges: word") << "ranges"
                                      << "3,twelve,2,1,3.5"
                                      << "kmax 'twelve' is not a number";
        QTest::newRow("ranges: trailing text") << "ranges"
                                               << "3,12A,2,1,3.5"
                                               << "kmax '12A' is not a number";
        QTest::newRow("ranges: nan") << "ranges"
                                     << "3,12,2,1,nan"
                                     << "rmax 'nan' is not a number";
        QTest::newRow("ranges: negative") << "ranges"
                                          << "-1,12,2,1,3.5"
                                          << "kmin -1 is negative";
        QTest::newRow("ranges: kmin = kmax") << "ranges"
                                             << "12,12,2,1,3.5"
                                             << "kmin 12 is not below kmax 12";
        QTest::newRow("ranges: kmax past 20") << "ranges"
                                              << "3,25,2,1,3.5"
                                              << "kmax 25 is past 20";
        QTest::newRow("ranges: weight 4") << "ranges"
                                          << "3,12,4,1,3.5"
                                          << "kweight 4 is not 0, 1, 2 or 3";
        QTest::newRow("ranges: weight 2.5") << "ranges"
                                            << "3,12,2.5,1,3.5"
                                            << "kweight 2.5 is not";
        QTest::newRow("ranges: rmin > rmax") << "ranges"
                                             << "3,12,2,3.5,1"
                                             << "rmin 3.5 is not below rmax 1";
        QTest::newRow("ranges: good, spaced") << "ranges"
                                              << " 2.5, 14 ,3,1.2,4"
                                              << "=2.5 14 3 1.2 4 1";
        QTest::newRow("ranges: one sigma2") << "ranges"
                                            << "3,12,2,1,3.5,one"
                                            << "=3 12 2 1 3.5 0";

        const char *inp = "TITLE x\nHOLE 1 1.0\nPOTENTIALS\n* ipot z\n 0 26 Fe\n 1 8 O\nATOMS\n";
        QTest::newRow("absorber: FEFF 6") << "absorber" << inp << "=Fe K";
        QTest::newRow("absorber: FEFF 8 edge, short cards") << "absorber"
                                                            << "edge l3\npote\n0 79\n1 79\nend\n"
                                                            << "=Au L3";
        QTest::newRow("absorber: no card") << "absorber"
                                           << "TITLE x\nATOMS\n0 0 0 0\n"
                                           << "no POTENTIALS card";
        QTest::newRow("absorber: empty") << "absorber"
                                         << ""
                                         << "no POTENTIALS card";
        QTest::newRow("absorber: no potential 0") << "absorber"
                                                  << "POTENTIALS\n 1 8 O\n"
                                                  << "no potential 0";
        QTest::newRow("absorber: Z 0") << "absorber"
                                       << "POTENTIALS\n 0 0 X\n"
                                       << "potential 0 has no atomic number";
        QTest::newRow("absorber: Z 120") << "absorber"
                                         << "POTENTIALS\n 0 120\n"
                                         << "potential 0 has no atomic number";
        QTest::newRow("absorber: hole 0") << "absorber"
                                          << "HOLE 0 1.0\nPOTENTIALS\n 0 26\n"
                                          << "edge '0' is not K to M5";
        QTest::newRow("absorber: edge L4") << "absorber"
                                           << "EDGE L4\nPOTENTIALS\n 0 26\n"
                                           << "edge 'L4' is not K to M5";

        QTest::newRow("target: no data") << "target"
                                         << "empty"
                                         << "fewer than 4 points";
        QTest::newRow("target: ends before kmin") << "target"
                                                  << "short"
                                                  << "ends at k = 2.5";
        QTest::newRow("target: not a number") << "target"
                                              << "nan"
                                              << "not a number";
        QTest::newRow("target: k descends") << "target"
                                            << "descending"
                                            << "k does not ascend";
        QTest::newRow("target: R range without points") << "target"
                                                        << "narrow"
                                                        << "fewer than 2 points";
        QTest::newRow("target: zero") << "target"
                                      << "zero"
                                      << "zero over the R range";
        QTest::newRow("target: empty bound") << "target"
                                             << "bounds"
                                             << "an empty bound";
        QTest::newRow("calc: lengths differ") << "calc"
                                              << "lengths"
                                              << "different lengths";
        QTest::newRow("calc: first shell off the points") << "calc"
                                                          << "shell"
                                                          << "first shell";
        QTest::newRow("path: not a path file") << "path"
                                               << "garbage\n1 2 3\n"
                                               << "no path line";

        QTest::newRow("rank: no job with data")
            << "rank"
            << "none"
            << "rank\tinput\trfactor\ts02\tde0\tsigma2\tworkdir\tat_bound\n";
        QTest::newRow("rank: other absorber, failed fit, tie")
            << "rank"
            << "mixed"
            << "rank\tinput\trfactor\ts02\tde0\tsigma2\tworkdir\tat_bound\n"
               "1\ta.cif\t0.012346\t0.9000\t-1.250\t0.004500\tres/a\t-\n"
               "2\tb.cif\t0.012346\t1.5000\t0.000\t-0.000010\tres/b\ts02,sigma2\n"
               "3\ttab\\tname.cif\t0.500000\t0.5000\t15.000\t0.030000\tres/t\tde0\n"
               "-\tca.cif\t-\t-\t-\t-\tres/ca\tother absorber Ca K\n"
               "-\tfe-l3.cif\t-\t-\t-\t-\tres/fl\tother absorber Fe L3\n"
               "-\tbad.cif\t-\t-\t-\t-\tres/bad\tfit failed: the calculated k does not ascend\n";
    }

    void refuses()
    {
        QFETCH(QString, kind);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        const std::string text = input.toStdString();
        std::string got;
        std::vector<double> k(200), chi(200);
        for (size_t i = 0; i < k.size(); ++i) {
            k[i] = 0.05 * double(i);
            chi[i] = std::sin(5 * k[i]) / (1 + k[i]);
        }
        if (kind == "ranges") {
            FitOptions o;
            got = parseFitRanges(text, &o);
            if (got.empty()) {
                got = "="
                    + QString("%1 %2 %3 %4 %5 %6")
                          .arg(o.kmin)
                          .arg(o.kmax)
                          .arg(o.kweight)
                          .arg(o.rmin)
                          .arg(o.rmax)
                          .arg(int(o.shellSigma2))
                          .toStdString();
            } else {
                const FitOptions defaults;
                QCOMPARE(o.kmax, defaults.kmax);
                QCOMPARE(o.kweight, defaults.kweight);
                QCOMPARE(o.shellSigma2, defaults.shellSigma2);
            }
        } else if (kind == "absorber") {
            const FeffAbsorber a = feffAbsorber(text);
            got = a.error.empty() ? "=" + a.element + " " + a.edge : a.error;
            QCOMPARE(a.error.empty(), a.z > 0);
        } else if (kind == "target" || kind == "calc") {
            FitOptions options;
            if (input == "empty")
                k.clear(), chi.clear();
            if (input == "short")
                k.resize(51), chi.resize(51);
            if (input == "nan")
                chi[7] = std::nan("");
            if (input == "descending")
                std::swap(k[10], k[11]);
            if (input == "narrow")
                options.rmax = options.rmin + 0.02;
            if (input == "zero")
                std::fill(chi.begin(), chi.end(), 0.0);
            if (input == "bounds")
                options.sigma2Max = options.sigma2Min;
            const FitTarget target(k, chi, options);
            if (kind == "target") {
                got = target.error();
                QVERIFY(!target.isValid());
                const FitResult fit = target.fit(CalcChi { k, chi, {} });
                QVERIFY(!fit.ok);
                QCOMPARE(fit.error, got);
            } else {
                QVERIFY2(target.isValid(), target.error().c_str());
                CalcChi calc { k, chi, {} };
                if (input == "lengths")
                    calc.chi.pop_back();
                if (input == "shell")
                    calc.firstShell.assign(k.size() - 1, 0.0);
                const FitResult fit = target.fit(calc);
                QVERIFY(!fit.ok);
                got = fit.error;
            }
        } else if (kind == "path") {
            FeffPath path;
            got = parseFeffPath(text, &path);
        } else if (kind == "rank") {
            std::vector<RankCandidate> c;
            auto add = [&](const char *in, const char *dir, const char *el, const char *edge,
                           bool hasChi, double r, double s02, double de0, double ss,
                           std::vector<std::string> bounds = {}) {
                RankCandidate x;
                x.input = in;
                x.workdir = dir;
                x.element = el;
                x.edge = edge;
                x.hasChi = hasChi;
                x.fit.ok = r >= 0;
                x.fit.rfactor = r;
                x.fit.s02 = s02;
                x.fit.de0 = de0;
                x.fit.sigma2 = ss;
                x.fit.atBound = bounds;
                if (r < 0)
                    x.fit.error = "the calculated k does not ascend";
                c.push_back(x);
            };
            if (input == "none") {
                add("a.cif", "res/a", "Fe", "K", false, 0, 0, 0, 0);
            } else {
                add("ca.cif", "res/ca", "Ca", "K", true, 0.001, 1, 0, 0);
                add("tab\tname.cif", "res/t", "fe", "k", true, 0.5, 0.5, 15, 0.03, { "de0" });
                add("b.cif", "res/b", "Fe", "K", true, 0.0123456, 1.5, -0.0001, -0.00001,
                    { "s02", "sigma2" });
                add("none.cif", "res/n", "", "", false, 0, 0, 0, 0);
                add("bad.cif", "res/bad", "Fe", "K", true, -1, 0, 0, 0);
                add("fe-l3.cif", "res/fl", "Fe", "L3", true, 0.0001, 1, 0, 0);
                add("a.cif", "res/a", "", "", true, 0.0123456, 0.9, -1.25, 0.0045);
            }
            const auto entries = rankCandidates(c, "Fe", "K");
            QCOMPARE(entries.size(), c.size());
            got = rankingTsv(c, entries);
        }
        if (expected.startsWith("=") || kind == "rank")
            QCOMPARE(QString::fromStdString(got), expected);
        else
            QVERIFY2(QString::fromStdString(got).contains(expected), got.c_str());
    }
};

QTEST_MAIN(TestFit)
#include "tst_fit.moc"
