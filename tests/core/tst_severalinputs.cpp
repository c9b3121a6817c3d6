// The converter's several FEFF inputs told apart, and the weighted average of their runs'
// chi(k), read back as a job reads its result.
#include "chiaverage.h"
#include "chidata.h"
#include "feffinputs.h"
#include "testutil.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace testutil;

namespace {

// A FEFF 6 chi.dat of chi = mag sin(phase) on k = first, first + step, ...
QByteArray feffChi(double first, double step, int points, double amplitude, double distance)
{
    QByteArray text = " made for the test                                Feff 6L.02\n"
                      " --------------------------------------------------------------\n"
                      "      k          chi          mag           phase @#\n";
    for (int i = 0; i < points; ++i) {
        const double k = first + step * i;
        const double mag = amplitude * std::exp(-0.02 * k * k);
        const double phase = 2 * distance * k + 0.3;
        char row[80];
        std::snprintf(
            row, sizeof row, "%11.4f %13.6E %13.6E %13.6E\n", k, mag * std::sin(phase), mag, phase);
        text += row;
    }
    return text;
}

} // namespace

class TestSeveralInputs : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    int fileCount = 0;

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }

    void split_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("names"); // name=weight
        QTest::addColumn<QString>("error"); // part of it; empty: none

        const QByteArray messages = "orbelin-atoms: read x.cif\norbelin-atoms: 2 sites of Fe\n";
        const QByteArray fe1
            = " * This feff.inp was written by orbelin-atoms\n TITLE one\n ATOMS\n END\n";
        const QByteArray fe2 = " * This feff.inp was written by orbelin-atoms\n TITLE two\n END\n";
        QTest::newRow("two inputs")
            << messages + "* orbelin-atoms input site-Fe1 weight 0.33333333333333331\n" + fe1
                + "* orbelin-atoms input site-Fe2 weight 0.66666666666666663\n" + fe2
            << QStringList { "site-Fe1=0.33333333333333331", "site-Fe2=0.66666666666666663" }
            << QString();
        QTest::newRow("Windows line ends, blank lines around")
            << QByteArray("* orbelin-atoms input a weight 1\r\n\r\n * This\r\n END\r\n\r\n"
                          "* orbelin-atoms input b weight 3\r\n * This\r\n END\r\n")
            << QStringList { "a=1", "b=3" } << QString();
        QTest::newRow("one input, the old way") << messages + fe1 << QStringList() << QString();
        QTest::newRow("no FEFF input at all") << messages << QStringList() << QString();
        QTest::newRow("a lone input")
            << messages + "* orbelin-atoms input site-Cu1 weight 1\n" + fe1
            << QStringList { "site-Cu1=1" } << QString();

        const QByteArray b = "* orbelin-atoms input b weight 0.5\n" + fe2;
        QTest::newRow("name twice") << "* orbelin-atoms input b weight 0.5\n" + fe1 + b
                                    << QStringList() << "line 6: input b is named twice";
        QTest::newRow("name climbs out") << "* orbelin-atoms input .. weight 0.5\n" + fe1 + b
                                         << QStringList() << "'..' can not name a directory";
        QTest::newRow("name with a slash") << "* orbelin-atoms input a/b weight 0.5\n" + fe1 + b
                                           << QStringList() << "'a/b' can not name a directory";
        QTest::newRow("weight 0") << "* orbelin-atoms input a weight 0\n" + fe1 + b << QStringList()
                                  << "line 1: the weight of a is not a number above 0";
        QTest::newRow("weight nan") << "* orbelin-atoms input a weight nan\n" + fe1 + b
                                    << QStringList() << "the weight of a is not a number above 0";
        QTest::newRow("no weight") << "* orbelin-atoms input a\n" + fe1 + b << QStringList()
                                   << "line 1 is not \"* orbelin-atoms input NAME weight W\"";
        QTest::newRow("FEFF input before the first input line")
            << fe1 + b << QStringList() << "line 1: a FEFF input before the first input line";
        QTest::newRow("input without FEFF input") << "* orbelin-atoms input a weight 0.5\n" + b
                                                  << QStringList() << "input a has no FEFF input";
        QTest::newRow("no END") << b + "* orbelin-atoms input c weight 0.5\n * This\n TITLE cut\n"
                                << QStringList() << "the FEFF input of c has no END line";
        QTest::newRow("text after END")
            << b + "orbelin-atoms: late message\n"
            << QStringList() << "line 5: text outside the FEFF input of b";
    }

    void split()
    {
        QFETCH(QByteArray, output);
        QFETCH(QStringList, names);
        QFETCH(QString, error);
        const FeffInputs split = FeffInputs::split(output);
        QVERIFY2(split.error.contains(error) && split.error.isEmpty() == error.isEmpty(),
            qPrintable(split.error));
        QStringList found;
        for (const ConvertedInput &input : split.inputs) {
            found << input.name + "=" + QString::number(input.weight, 'g', 17);
            // From the marker to END, with the converter's own bytes.
            QVERIFY(input.text.startsWith(" * This"));
            QVERIFY(input.text.trimmed().endsWith("END"));
            QVERIFY(output.contains(input.text));
        }
        QCOMPARE(found, names);
    }

    // The average of runs on FEFF's grid, or on grids that differ: chi is the weighted sum,
    // on the first run's points where every run has data; mag and phase stay those of a
    // wave whose imaginary part is chi.
    void average_data()
    {
        QTest::addColumn<QVector<double>>("starts"); // each run's first k, step 0.05
        QTest::addColumn<QVector<int>>("points");
        QTest::addColumn<QVector<double>>("weights");
        QTest::addColumn<int>("averagedPoints"); // -1: no common range
        QTest::addColumn<double>("firstK");

        QTest::newRow("same grid, weights over their sum")
            << QVector<double> { 0, 0 } << QVector<int> { 401, 401 } << QVector<double> { 1, 2 }
            << 401 << 0.0;
        QTest::newRow("shorter run cuts the range")
            << QVector<double> { 0, 0, 0 } << QVector<int> { 401, 300, 401 }
            << QVector<double> { 1, 1, 1 } << 300 << 0.0;
        QTest::newRow("shifted grid, interpolated")
            << QVector<double> { 0.5, 0.525 } << QVector<int> { 300, 300 }
            << QVector<double> { 3, 1 } << 299 << 0.55;
        QTest::newRow("one run") << QVector<double> { 0 } << QVector<int> { 401 }
                                 << QVector<double> { 0.25 } << 401 << 0.0;
        QTest::newRow("no common range") << QVector<double> { 0, 10 } << QVector<int> { 100, 100 }
                                         << QVector<double> { 1, 1 } << -1 << 0.0;
    }

    void average()
    {
        QFETCH(QVector<double>, starts);
        QFETCH(QVector<int>, points);
        QFETCH(QVector<double>, weights);
        QFETCH(int, averagedPoints);
        QFETCH(double, firstK);

        QVector<WeightedChi> runs;
        double sum = 0;
        for (int i = 0; i < starts.size(); ++i) {
            const QString path = tmp.filePath(QString("run%1.dat").arg(++fileCount));
            QVERIFY(writeFile(path, feffChi(starts[i], 0.05, points[i], 1.0 + i, 2.0 + 0.4 * i)));
            WeightedChi run { QString("run-%1").arg(i), weights[i], ChiColumns() };
            QString why;
            QVERIFY2(run.columns.read(path, &why), qPrintable(why));
            runs << run;
            sum += weights[i];
        }
        ChiAverage average;
        QString why;
        QCOMPARE(average.compute(runs, &why), averagedPoints >= 0);
        if (averagedPoints < 0) {
            QCOMPARE(why, QString("the runs have no k range in common"));
            return;
        }
        const ChiColumns &result = average.result();
        QCOMPARE(result.k.size(), averagedPoints);
        QCOMPARE(result.k.first(), firstK);
        for (int p = 0; p < result.k.size(); ++p) {
            const double k = result.k[p];
            // What each run's own wave gives at k: between its points, interpolated in
            // mag and phase.
            double expected = 0;
            for (int i = 0; i < runs.size(); ++i) {
                const double mag = (1.0 + i) * std::exp(-0.02 * k * k);
                expected += weights[i] / sum * mag * std::sin(2 * (2.0 + 0.4 * i) * k + 0.3);
            }
            const bool onGrid = starts.size() == 1 || starts[0] == starts[1];
            QVERIFY2(std::abs(result.chi[p] - expected) < (onGrid ? 2e-6 : 1e-4),
                qPrintable(QString("k %1: %2 against %3").arg(k).arg(result.chi[p]).arg(expected)));
            QVERIFY(std::abs(result.mag[p] * std::sin(result.phase[p]) - result.chi[p]) < 1e-5);
            if (p > 0)
                QVERIFY(std::abs(result.phase[p] - result.phase[p - 1]) < M_PI);
        }
        // A lone run is its own average, phase and all.
        if (runs.size() == 1) {
            QCOMPARE(result.chi, runs.first().columns.chi);
            for (int p = 0; p < result.k.size(); ++p)
                QVERIFY(std::abs(result.phase[p] - runs.first().columns.phase[p]) < 1e-12);
        }

        // The file a job writes reads back as its curve, under lines naming every input.
        const QString path = tmp.filePath(QString("average%1.dat").arg(++fileCount));
        QVERIFY(writeFile(path, average.fileText("test average", { "run-gone" })));
        ChiData chi;
        chi.read(path);
        QVERIFY(chi.valid);
        QCOMPARE(chi.kValues.size(), averagedPoints);
        for (int p = 0; p < averagedPoints; ++p)
            QVERIFY(
                std::abs(chi.chiValues[p] - result.chi[p]) < 1e-8 * (1 + std::abs(result.chi[p])));
        const QByteArray text = readFile(path);
        for (int i = 0; i < runs.size(); ++i)
            QVERIFY(text.contains(QString("# input run-%1 weight %2\n")
                                      .arg(i)
                                      .arg(weights[i] / sum, 0, 'g', 17)
                                      .toUtf8()));
        QVERIFY(text.contains("# input run-gone missing"));
    }
};

QTEST_GUILESS_MAIN(TestSeveralInputs)
#include "tst_severalinputs.moc"
