// The whole pipeline with the real programs: the project's Atoms converter and
// Debian's FEFF 6 (/usr/bin/feff6) or FEFF 8.5L (/usr/bin/feff8l), run headless on the
// bundled samples.
#include "ccolors.h"
#include "chidata.h"
#include "pixels.h"
#include "testutil.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace testutil;

class TestPipeline : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;

private slots:
    void samplesFromCifToPlot()
    {
        QVERIFY(tmp.isValid());
        QVERIFY2(QFileInfo("/usr/bin/feff6").isExecutable(),
            "Debian's ifeffit package gives /usr/bin/feff6");
        const QString dir = tmp.path();
        QDir().mkpath(dir + "/00-Cif");
        QDir().mkpath(dir + "/00-Inp");
        const QStringList cifs = QDir(testData("cif")).entryList({ "*.cif" });
        for (const QString &name : cifs)
            QVERIFY(QFile::copy(testData("cif/" + name), dir + "/00-Cif/" + name));
        QVERIFY(QFile::copy(testData("atoms/too_close.cif"), dir + "/00-Cif/too_close.cif"));
        const QStringList inps = QDir(testData("feff")).entryList({ "*.inp" });
        for (const QString &name : inps)
            QVERIFY(QFile::copy(testData("feff/" + name), dir + "/00-Inp/" + name));
        QVERIFY(writeFile(dir + "/config.cfg",
            QString("MAX_PROC 2\nATOMS_EXE %1\nATOMS_ARG \"\"\n"
                    "FEFF_EXE /usr/bin/feff6\n")
                .arg(ORBELIN_ATOMS)
                .toUtf8()));

        QProcess orbelin;
        orbelin.setWorkingDirectory(dir);
        orbelin.start(ORBELIN_EXE, { "-batch", "-e", "-plot", "chi.png" });
        QVERIFY(orbelin.waitForFinished(240000));
        const QString errors = QString::fromUtf8(orbelin.readAllStandardError());
        const QStringList lines
            = QString::fromUtf8(orbelin.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(orbelin.exitStatus(), QProcess::NormalExit);
        QCOMPARE(orbelin.exitCode(), 1); // the broken inputs give no chi data
        QCOMPARE(lines.size(), cifs.size() + 1 + inps.size());

        // A converter that refuses its input starts no FEFF; FEFF 6, which ends with 0 after a
        // fatal input error, writes no chi.dat.
        const QStringList failing = { "broken_garbage_feff", "empty_feff" };
        for (const QString &line : lines) {
            const QStringList f = line.split('\t');
            QCOMPARE(f.size(), 6);
            const QString name = QFileInfo(f.at(0)).completeBaseName();
            if (name == "too_close") {
                QCOMPARE(f.mid(1, 3), QStringList({ "A. Failed", "F. Not Running", "0" }));
                QCOMPARE(f.at(5), QString("exit-1"));
            } else if (failing.contains(name)) {
                QCOMPARE(f.mid(2, 2), QStringList({ "F. Failed", "0" }));
                QVERIFY2(
                    errors.contains("FeFF wrote no new chi.dat in " + f.at(4)), qPrintable(name));
            } else {
                QCOMPARE(f.at(2), QString("F. Finished"));
                QVERIFY2(f.at(3) == "401", qPrintable(line));
                QVERIFY(QFile::exists(f.at(4) + "/chi.dat"));
                if (f.at(0).contains("/00-Cif/"))
                    QCOMPARE(f.at(1), QString("A. Finished"));
            }
        }
        QVERIFY2(errors.contains("Atoms ended with exit code 1 in " + dir + "/00-Res/too_close"),
            qPrintable(errors));

        // The plot shows the curves in their palette colours (jobs in scan order).
        const QImage plot(dir + "/chi.png");
        QVERIFY(!plot.isNull());
        const QHash<QRgb, int> pixels = colourCounts(plot);
        const CColors palette;
        int coloursSeen = 0;
        for (int i = 0; i < lines.size(); ++i) {
            const bool hasData = lines.at(i).split('\t').at(3) != "0";
            if (hasData && pixels.value(palette.color(i).rgb()) > 30)
                ++coloursSeen;
        }
        QVERIFY2(coloursSeen >= 6, qPrintable(QString::number(coloursSeen)));
    }

    // Magnetite with real FEFF 6: the average over its two iron sites is one third of the
    // tetrahedral site's chi(k) and two thirds of the octahedral one's, each computed by a
    // job of that site alone. A structure with no choice to make (Cu, four sites that are
    // lattice translations of one another) runs FEFF once, as without the options.
    void spinelAverageOfItsSites()
    {
        auto run = [](const QString &atomsArg, const QStringList &cifs) {
            auto *dir = new QTemporaryDir;
            QDir().mkpath(dir->path() + "/00-Cif");
            for (const QString &cif : cifs)
                QFile::copy(testData(cif), dir->path() + "/00-Cif/" + QFileInfo(cif).fileName());
            writeFile(dir->path() + "/config.cfg",
                QString("MAX_PROC 2\nATOMS_EXE %1\nATOMS_ARG \"%2\"\nFEFF_EXE /usr/bin/feff6\n")
                    .arg(ORBELIN_ATOMS, atomsArg)
                    .toUtf8());
            QProcess orbelin;
            orbelin.setWorkingDirectory(dir->path());
            orbelin.start(ORBELIN_EXE, { "-batch", "-e" });
            orbelin.waitForFinished(120000);
            return qMakePair(QSharedPointer<QTemporaryDir>(dir),
                QString::fromUtf8(orbelin.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts));
        };
        const auto all = run("--sites all --configurations 8",
            { "atoms/spinel_fe3o4.cif", "cif/Cu_mp-30_conventional_standard.cif" });
        const auto tet = run("--absorber Fe1", { "atoms/spinel_fe3o4.cif" });
        const auto oct = run("--absorber Fe2", { "atoms/spinel_fe3o4.cif" });
        QCOMPARE(all.second.size(), 2);
        const QStringList cu = all.second.at(0).split('\t');
        const QStringList spinel = all.second.at(1).split('\t');
        QCOMPARE(cu.mid(1), QStringList({ "A. Finished", "F. Finished", "401", cu.at(4), "ok" }));
        QVERIFY(QDir(cu.at(4)).entryList({ "site-*" }, QDir::Dirs).isEmpty());
        QCOMPARE(spinel.mid(1, 3), QStringList({ "A. Finished", "F. Finished", "401" }));
        QCOMPARE(spinel.mid(5), QStringList({ "ok", "2" }));
        QCOMPARE(QDir(spinel.at(4)).entryList({ "site-*" }, QDir::Dirs),
            QStringList({ "site-Fe1", "site-Fe2" }));

        ChiData average, fe1, fe2;
        average.read(spinel.at(4) + "/chi.dat");
        fe1.read(tet.second.value(0).split('\t').value(4) + "/chi.dat");
        fe2.read(oct.second.value(0).split('\t').value(4) + "/chi.dat");
        QCOMPARE(fe1.kValues.size(), 401);
        QCOMPARE(fe2.kValues, fe1.kValues);
        QCOMPARE(average.kValues, fe1.kValues);
        double most = 0, differs = 0;
        for (int i = 0; i < average.kValues.size(); ++i) {
            most = std::max(most,
                std::abs(average.chiValues[i] - (fe1.chiValues[i] / 3 + 2 * fe2.chiValues[i] / 3)));
            differs = std::max(differs, std::abs(fe1.chiValues[i] - fe2.chiValues[i]));
        }
        QVERIFY2(most < 1e-6, qPrintable(QString::number(most)));
        QVERIFY(differs > 0.01); // two sites that are not alike
    }

    // |chi(R)| of k^2 chi(k) from real FEFF results: each first shell is a peak at its
    // distance less the usual phase shift (0.2 to 0.5 A). Cu: Cu-Cu 2.55 A; FeO: Fe-O
    // 2.17 A and, strongest, Fe-Fe 3.06 A.
    void rSpacePeaksAtTheShells()
    {
        QTemporaryDir run;
        const QString dir = run.path();
        QDir().mkpath(dir + "/00-Inp");
        for (const char *name : { "Cu_feff.inp", "FeO_feff.inp" })
            QVERIFY(QFile::copy(testData(QString("feff/") + name), dir + "/00-Inp/" + name));
        QVERIFY(writeFile(dir + "/config.cfg", "MAX_PROC 2\nFEFF_EXE /usr/bin/feff6\n"));
        QProcess orbelin;
        orbelin.setWorkingDirectory(dir);
        orbelin.start(ORBELIN_EXE,
            { "-batch", "-e", "-plot", "chi_r.png", "-space", "r", "-kweight", "2", "-export",
                "chi_r.csv" });
        QVERIFY(orbelin.waitForFinished(120000));
        QCOMPARE(orbelin.exitCode(), 0);
        QCOMPARE(QImage(dir + "/chi_r.png").size(), QSize(800, 500));

        // The '#' lines before the heading name the view.
        const QStringList lines = QString::fromUtf8(readFile(dir + "/chi_r.csv"))
                                      .split('\n', Qt::SkipEmptyParts)
                                      .filter(QRegularExpression("^[^#]"));
        QCOMPARE(lines.first(), QString("R,Cu_feff.inp,FeO_feff.inp"));
        QCOMPARE(lines.size(), 1 + 196); // R_m from 0 to 6 A
        QVector<double> r;
        QVector<QVector<double>> y(2);
        for (const QString &line : lines.mid(1)) {
            const QStringList f = line.split(',');
            r << f[0].toDouble();
            y[0] << f[1].toDouble();
            y[1] << f[2].toDouble();
        }
        // The peaks (local maxima above a quarter of the highest), in order of R.
        auto peaks = [&](const QVector<double> &v) {
            const double top = *std::max_element(v.begin(), v.end());
            QVector<double> at;
            for (int i = 1; i + 1 < v.size(); ++i)
                if (v[i] > v[i - 1] && v[i] >= v[i + 1] && v[i] > 0.25 * top)
                    at << r[i];
            return at;
        };
        auto highest = [&](const QVector<double> &v) {
            return r[int(std::max_element(v.begin(), v.end()) - v.begin())];
        };
        const QVector<double> cu = peaks(y[0]), feo = peaks(y[1]);
        QVERIFY2(cu.first() > 2.55 - 0.5 && cu.first() < 2.55 - 0.2,
            qPrintable(QString::number(cu.first())));
        QCOMPARE(highest(y[0]), cu.first());
        QVERIFY2(feo.first() > 2.17 - 0.5 && feo.first() < 2.17 - 0.2,
            qPrintable(QString::number(feo.first())));
        QVERIFY2(highest(y[1]) > 3.06 - 0.5 && highest(y[1]) < 3.06 - 0.2,
            qPrintable(QString::number(highest(y[1]))));
    }

    // An input's own options (<input file name>.args beside it) follow ATOMS_ARG on the
    // converter's command line, so that they override its words; the .args file is no job.
    // Added before a second run, they make a new feff.inp, which is no edit of the user's;
    // an option the converter refuses fails the job with the converter's own words.
    void inputOptionsFile_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("atoms");
        QTest::addColumn<QString>("converterSaid"); // empty: a good run
        QTest::newRow("a smaller cluster") << "--radius 3.5"
                                           << "A. Finished"
                                           << "";
        QTest::newRow("an option it does not take") << "--edgy K"
                                                    << "A. Failed"
                                                    << "unknown option '--edgy' (see --help)";
        QTest::newRow("a value it does not take") << "--edge  Q\n"
                                                  << "A. Failed"
                                                  << "--edge needs K, L1, L2 or L3, not 'Q'";
    }

    void inputOptionsFile()
    {
        QFETCH(QString, options);
        QFETCH(QString, atoms);
        QFETCH(QString, converterSaid);
        QTemporaryDir run;
        const QString dir = run.path();
        const QString input = dir + "/00-Cif/ZnO.cif";
        const QString job = dir + "/00-Res/ZnO";
        QVERIFY(QDir().mkpath(dir + "/00-Cif"));
        QVERIFY(QFile::copy(testData("cif/ZnO_mp-2133.cif"), input));
        QVERIFY(writeFile(dir + "/config.cfg",
            QString("ATOMS_EXE %1\nATOMS_ARG \"--radius 6\"\nFEFF_EXE /usr/bin/feff6\n")
                .arg(ORBELIN_ATOMS)
                .toUtf8()));
        auto runBatch = [&](QString *errors) {
            QProcess orbelin;
            orbelin.setWorkingDirectory(dir);
            orbelin.start(ORBELIN_EXE, { "-batch", "-e" });
            orbelin.waitForFinished(120000);
            *errors = QString::fromUtf8(orbelin.readAllStandardError());
            return QString::fromUtf8(orbelin.readAllStandardOutput())
                .split('\n', Qt::SkipEmptyParts);
        };
        auto atomCount = [](const QByteArray &feffInp) {
            const QString text = QString::fromUtf8(feffInp);
            const int atomsCard = text.indexOf("ATOMS");
            return atomsCard < 0 ? -1 : text.mid(atomsCard).count('\n');
        };
        QString errors;
        QCOMPARE(runBatch(&errors).size(), 1);
        const QByteArray firstInp = readFile(job + "/feff.inp");
        QVERIFY(atomCount(firstInp) > 0);

        QVERIFY(writeFile(input + ".args", options.toUtf8()));
        const QStringList lines = runBatch(&errors);
        QCOMPARE(lines.size(), 1);
        const QStringList f = lines.first().split('\t');
        QCOMPARE(f.mid(0, 3),
            QStringList(
                { input, atoms, converterSaid.isEmpty() ? "F. Finished" : "F. Not Running" }));
        QVERIFY2(errors.contains(QString("The job of %1 uses the converter options in %1.args : %2")
                                     .arg(input, options.simplified())),
            qPrintable(errors));
        QVERIFY2(!errors.contains("Kept the edited"), qPrintable(errors));
        QVERIFY(!QFile::exists(job + "/feff.inp.~1~"));
        if (converterSaid.isEmpty()) {
            QVERIFY2(atomCount(readFile(job + "/feff.inp")) < atomCount(firstInp),
                qPrintable(readFile(job + "/feff.inp")));
        } else {
            QVERIFY2(errors.contains(QString("Atoms in %1 : orbelin-atoms: error: %2: %3")
                                         .arg(job, input, converterSaid)),
                qPrintable(errors));
            QCOMPARE(readFile(job + "/feff.inp"), firstInp);
        }
    }

    // FEFF 8.5L (Debian's feff8l) in place of FEFF 6: its chi.dat, whose heading is a comment,
    // reads as data, and the 9 A cluster that makes FEFF 6 cut its path list is computed whole.
    void feff8lOnSamples()
    {
        QVERIFY2(QFileInfo("/usr/bin/feff8l").isExecutable(),
            "Debian's feff85exafs package gives /usr/bin/feff8l");
        QTemporaryDir run;
        const QString dir = run.path();
        QDir().mkpath(dir + "/00-Inp");
        const QStringList inputs = { "Cu_feff.inp", "Cu_r8_feff.inp" };
        for (const QString &name : inputs)
            QVERIFY(QFile::copy(testData("feff/" + name), dir + "/00-Inp/" + name));
        QVERIFY(writeFile(dir + "/config.cfg", "MAX_PROC 2\nFEFF_EXE /usr/bin/feff8l\n"));

        QProcess orbelin;
        orbelin.setWorkingDirectory(dir);
        orbelin.start(ORBELIN_EXE, { "-batch", "-e" });
        QVERIFY(orbelin.waitForFinished(120000));
        const QString errors = QString::fromUtf8(orbelin.readAllStandardError());
        const QStringList lines
            = QString::fromUtf8(orbelin.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(orbelin.exitCode(), 0);
        QCOMPARE(lines.size(), inputs.size());
        for (const QString &line : lines) {
            const QStringList f = line.split('\t');
            QCOMPARE(f.size(), 6);
            QCOMPARE(f.at(2), QString("F. Finished"));
            QVERIFY2(f.at(3) == "401", qPrintable(line));
        }
        for (const char *cut : { "limit exceeded", "np > np1x", "holds no data" })
            QVERIFY2(!errors.contains(cut), qPrintable(errors));
    }

    // Candidates ranked by their fit to the measured FeO spectrum (real converter and FEFF 6):
    // wüstite first, cuprite (a Cu absorber) listed apart; and the cases that rank nothing.
    void rankingAgainstMeasured_data()
    {
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("firstLine"); // the ranking's first line after its heading
        QTest::addColumn<QString>("reported");
        const QStringList all = QDir(testData("candidates")).entryList({ "*.cif" });
        const QString feo = testData("measured/feo_rt1.xdi");
        QTest::newRow("FeO among six")
            << all << QStringList { "-measured", feo, "-plot", "fits.png" } << 0
            << "1\tFeO_wustite.cif"
            << "5 of 6 jobs with chi data ranked; 1 not ranked";
        QTest::newRow("the user's element")
            << QStringList { "Cu2O_cuprite.cif", "Fe_bcc.cif" }
            << QStringList { "-measured", feo, "-element", "cu" } << 0 << "1\tCu2O_cuprite.cif"
            << "1 of 2 jobs with chi data ranked";
        QTest::newRow("no job with data")
            << QStringList { "empty.cif" } << QStringList { "-measured", feo } << 1 << ""
            << "0 of 0 jobs with chi data ranked";
        QTest::newRow("a chi(k) file as measured")
            << QStringList { "FeO_wustite.cif" }
            << QStringList { "-measured", testData("measured/feo_rt1.larch.chik"), "-element",
                   "Fe" }
            << 0 << "1\tFeO_wustite.cif"
            << "1 of 1 jobs with chi data ranked";
        QTest::newRow("no measured spectrum") << all << QStringList {} << 2 << ""
                                              << "needs -measured FILE";
        QTest::newRow("not a spectrum")
            << all << QStringList { "-measured", testData("candidates/SOURCES.md") } << 2 << ""
            << "SOURCES.md";
        QTest::newRow("a bad fit range")
            << all << QStringList { "-measured", feo, "-fit", "12,3,1,1,4.5" } << 2 << ""
            << "-fit 12,3,1,1,4.5";
    }

    void rankingAgainstMeasured()
    {
        QFETCH(QStringList, inputs);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, firstLine);
        QFETCH(QString, reported);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.path() + "/00-Cif") && QDir().mkpath(dir.path() + "/00-Inp"));
        for (const QString &name : inputs)
            QVERIFY(QFile::exists(testData("candidates/" + name))
                    ? QFile::copy(testData("candidates/" + name), dir.path() + "/00-Cif/" + name)
                    : writeFile(dir.path() + "/00-Cif/" + name, ""));
        QVERIFY(writeFile(dir.path() + "/config.cfg",
            QString("MAX_PROC 2\nATOMS_EXE %1\nATOMS_ARG \"--edge K --radius 6.0\"\n"
                    "FEFF_EXE /usr/bin/feff6\n")
                .arg(ORBELIN_ATOMS)
                .toUtf8()));
        QProcess orbelin;
        orbelin.setWorkingDirectory(dir.path());
        orbelin.start(ORBELIN_EXE,
            QStringList { "-batch", "-e", "-rank", "rank.tsv", "-measured-chi", "measured.chi",
                "-export", "data.csv" }
                + options);
        QVERIFY(orbelin.waitForFinished(240000));
        const QString errors = QString::fromUtf8(orbelin.readAllStandardError());
        QCOMPARE(orbelin.exitCode(), exitCode);
        QVERIFY2(errors.contains(reported), qPrintable(errors));
        if (exitCode == 2) {
            // Nothing runs and nothing is written.
            QVERIFY(!QFile::exists(dir.path() + "/00-Res"));
            QVERIFY(!QFile::exists(dir.path() + "/rank.tsv"));
            return;
        }
        const QStringList lines
            = QString::fromUtf8(readFile(dir.path() + "/rank.tsv")).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(
            lines.value(0), QString("rank\tinput\trfactor\ts02\tde0\tsigma2\tworkdir\tat_bound"));
        const QStringList first = lines.value(1).split('\t');
        QCOMPARE(first.mid(0, 1).join('\t') + '\t' + QFileInfo(first.value(1)).fileName(),
            firstLine.isEmpty() ? QString("\t") : firstLine);
        if (inputs.contains("Cu2O_cuprite.cif") && !options.contains("-element"))
            QVERIFY2(lines.last().endsWith("other absorber Cu K"), qPrintable(lines.last()));
        // The picture draws the measured curve in black among the fits.
        if (options.contains("-plot")) {
            const QImage picture(dir.path() + "/fits.png");
            QVERIFY(!picture.isNull());
            // Counted left of the legend, within the axes: no text is black there.
            const QImage inside = picture.copy(QRect(100, 40, 350, 400));
            QVERIFY(colourCounts(inside).value(qRgb(0, 0, 0)) > 300);
        }
        // The data saved name the measured curve first.
        const QStringList csv = QString::fromUtf8(readFile(dir.path() + "/data.csv"))
                                    .split('\n')
                                    .filter(QRegularExpression("^[^#]"));
        QVERIFY2(csv.value(0).startsWith(
                     "k," + QFileInfo(options.at(options.indexOf("-measured") + 1)).fileName()),
            qPrintable(csv.value(0)));
        // The measured chi(k) as derived: its header, then k on the 0.05 1/A grid.
        const QStringList chi = QString::fromUtf8(readFile(dir.path() + "/measured.chi"))
                                    .split('\n', Qt::SkipEmptyParts);
        QVERIFY(chi.value(0).startsWith("# chi(k) of "));
        const QStringList data = chi.filter(QRegularExpression("^[^#]"));
        QVERIFY(data.size() > 200);
        QCOMPARE(data.at(1).split(' ', Qt::SkipEmptyParts).value(0).toDouble()
                - data.at(0).split(' ', Qt::SkipEmptyParts).value(0).toDouble(),
            0.05);
    }
};

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
