// The built program run as a user runs it, with the stand-in programs.
#include "batchprocess.h"
#include "chidata.h"
#include "pixels.h"
#include "testutil.h"

#include <QRegularExpression>
#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cmath>
#include <csignal>

using namespace testutil;

namespace {

// The working directories of the stand-ins' runs, by name, in the order they started.
QStringList startedIn(const QString &eventLog)
{
    QStringList names;
    for (const QByteArray &line : readFile(eventLog).split('\n'))
        if (line.startsWith("start"))
            names << QFileInfo(QString::fromUtf8(line.split(' ').value(3))).fileName();
    return names;
}

// The result word of every report line.
QStringList resultWords(const BatchResult &r)
{
    QStringList words;
    for (const QString &line : r.lines)
        words << line.section('\t', 5);
    return words;
}

} // namespace

class TestBatch : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    int runCount = 0;

    QString freshRun(const QString &extraConfig = QString())
    {
        const QString dir = tmp.filePath(QString("run%1").arg(++runCount));
        QDir().mkpath(dir);
        writeFile(dir + "/my.cfg",
            QString("MAX_PROC 2\nATOMS_EXE %1\nFEFF_EXE %2\n%3")
                .arg(FAKE_ATOMS, FAKE_FEFF, extraConfig)
                .toUtf8());
        return dir;
    }

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }

    void batchRunsEveryJobFirstInFirstOut()
    {
        // One process at a time, so that the stand-ins' own start times show the order.
        const QString dir
            = freshRun("MAX_PROC 1\nATOMS_ARG \"--delay-ms 50\"\nFEFF_ARG \"--delay-ms 20 --log "
                + tmp.filePath("fifo.log") + "\"\n");
        for (const char *name : { "z.cif", "m.inp" })
            QVERIFY(writeFile(dir + "/00-Cif/" + name, "x\n"));
        for (const char *name : { "B.inp", "a.inp", "c.INP" })
            QVERIFY(writeFile(dir + "/00-Inp/" + name, "x\n"));

        const BatchResult r = runBatch(dir, { "-batch", "-c", "my.cfg", "-e" });
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        QCOMPARE(r.lines.size(), 5);
        const QStringList expected
            = { "00-Cif/m.inp", "00-Cif/z.cif", "00-Inp/a.inp", "00-Inp/B.inp", "00-Inp/c.INP" };
        for (int i = 0; i < 5; ++i) {
            const QStringList fields = r.lines.at(i).split('\t');
            QCOMPARE(fields.size(), 6);
            QCOMPARE(fields.at(0), dir + "/" + expected.at(i));
            QCOMPARE(fields.at(5), QString("ok"));
            QCOMPARE(fields.at(1), QString(i < 2 ? "A. Finished" : "A. Not Running"));
            QCOMPARE(fields.at(2), QString("F. Finished"));
            QCOMPARE(fields.at(3), QString("401"));
            QVERIFY(QFile::exists(fields.at(4) + "/chi.dat"));
        }
        QVERIFY(r.errors.contains("5 of 5 jobs produced chi data"));

        // A CIF job starts its FEFF run right after its Atoms run has let the queue start
        // the next job, so z's FEFF run and a's start together; the rest follow in order.
        const QStringList starts = startedIn(tmp.filePath("fifo.log"));
        QCOMPARE(starts.size(), 5);
        QCOMPARE(starts.at(0), QString("m"));
        QCOMPARE(QSet<QString>({ starts.at(1), starts.at(2) }), QSet<QString>({ "a", "z" }));
        QCOMPARE(starts.mid(3), QStringList({ "B", "c" }));
    }

    void translatedUnlessEnglishAsked()
    {
        const QString dir = freshRun();
        QVERIFY(writeFile(dir + "/00-Inp/Cu.inp", "x\n"));
        const BatchResult japanese = runBatch(dir, { "-batch", "-c", "my.cfg" });
        QCOMPARE(japanese.exitCode, 0);
        QCOMPARE(japanese.lines.value(0).split('\t').value(2), QString::fromUtf8("FeFF完了"));
        const BatchResult english = runBatch(dir, { "-batch", "-c", "my.cfg", "-e" });
        QCOMPARE(english.lines.value(0).split('\t').value(2), QString("F. Finished"));
    }

    void failuresGiveNonZeroStatus_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QStringList>("inputs"); // name=content in the INP directory
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("logged");

        QTest::newRow("one job writes no chi.dat")
            << QString() << QStringList { "good.inp=x", "bad.inp=fake: --no-chi" } << 1
            << "FeFF wrote no new chi.dat in ";
        QTest::newRow("FEFF cannot start")
            << QString("FEFF_EXE /nonexistent/feff\n") << QStringList { "a.inp=x" } << 1
            << "Can not start /nonexistent/feff";
        QTest::newRow("nothing may start")
            << QString("MAX_PROC 0\n") << QStringList { "a.inp=x" } << 2
            << "MAX_PROC '0' is not a whole number of at least 1";
        QTest::newRow("no input at all") << QString() << QStringList() << 2 << "0 of 0 jobs";
        QTest::newRow("a time limit that is not whole seconds")
            << QString("FEFF_TIMEOUT 1.5\n") << QStringList { "a.inp=x" } << 2
            << "FEFF_TIMEOUT '1.5' is not a whole number of seconds from 0 to 1000000: no job "
               "will start";
    }

    void failuresGiveNonZeroStatus()
    {
        QFETCH(QString, config);
        QFETCH(QStringList, inputs);
        QFETCH(int, exitCode);
        QFETCH(QString, logged);
        const QString dir = freshRun(config);
        for (const QString &input : inputs)
            QVERIFY(writeFile(dir + "/00-Inp/" + input.section('=', 0, 0),
                input.section('=', 1).toUtf8() + "\n"));
        const BatchResult r = runBatch(dir, { "-batch", "-c", "my.cfg", "-e" });
        QCOMPARE(r.exitCode, exitCode);
        // A run that cannot go as configured (status 2) makes no job.
        QCOMPARE(r.lines.size(), exitCode == 2 ? 0 : inputs.size());
        QVERIFY2(r.errors.contains(logged), qPrintable(r.errors));
    }

    // A job of several inputs ends well only when every run gave chi(k), unless a partial
    // average is allowed; the log names the run that failed and why.
    void jobOfSeveralInputs_data()
    {
        QTest::addColumn<bool>("partial");
        QTest::addColumn<QStringList>("inputs"); // name=weight=text
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("report"); // the statuses, points, result, runs
        QTest::addColumn<double>("scale"); // of the stand-in's curve in the average
        QTest::addColumn<QStringList>("logged"); // %1: the working directory

        const QStringList crashing
            = { "site-a=1=fake: --amp 1", "site-b=1=fake: --crash-mid", "site-c=2=fake: --amp 2" };
        QTest::newRow("every run good, weights over their sum")
            << false << QStringList { "site-a=1=fake: --amp 1", "site-b=3=fake: --amp 3" } << 0
            << QStringList { "A. Finished", "F. Finished", "401", "ok", "2" }
            << (1 * 1 + 3 * 3) / 4.0 << QStringList { "2 FEFF inputs for %1 : site-a, site-b" };
        QTest::newRow("one crashes")
            << false << crashing << 1
            << QStringList { "A. Finished", "F. Failed", "0", "crashed", "3" } << 0.0
            << QStringList { "FeFF crashed in %1/site-b",
                   "No average of the FeFF runs in %1 : 1 of 3 gave no chi(k) (site-b)" };
        QTest::newRow("one crashes, partial average")
            << true << crashing << 0
            << QStringList { "A. Finished", "F. Finished", "401", "ok", "3" }
            << (1 * 1 + 2 * 2) / 3.0
            << QStringList { "FeFF crashed in %1/site-b",
                   "Average of 2 of 3 FeFF runs written to %1/chi.dat ; missing: site-b" };
        QTest::newRow("no new chi.dat and a short one, partial average")
            << true
            << QStringList { "conf-01=1=fake: --no-chi", "conf-02=1=fake: --points 300",
                   "conf-03=1=fake: --exit 0" }
            << 0 << QStringList { "A. Finished", "F. Finished", "300", "ok", "3" } << 1.0
            << QStringList { "FeFF wrote no new chi.dat in %1/conf-01",
                   "Average of 2 of 3 FeFF runs written to %1/chi.dat ; missing: conf-01" };
        QTest::newRow("every run fails, partial average")
            << true << QStringList { "a=1=fake: --no-chi", "b=1=fake: --crash-mid" } << 1
            << QStringList { "A. Finished", "F. Failed", "0", "no-chi", "2" } << 0.0
            << QStringList { "No average of the FeFF runs in %1 : 2 of 2 gave no chi(k) (a, b)" };
        // A gap of nan rows must not be bridged by interpolation, nor weights whose sum
        // is infinite give an average of zeros.
        QTest::newRow("one run's chi.dat with nan for k = 5 to 15")
            << true << QStringList { "site-a=1=fake: --amp 1", "site-b=1=fake: --nan-k 5,15" } << 0
            << QStringList { "A. Finished", "F. Finished", "401", "ok", "2" } << 1.0
            << QStringList { "%1/site-b/chi.dat holds 201 rows with values that are not finite "
                             "numbers (nan, inf): no result from it",
                   "Average of 1 of 2 FeFF runs written to %1/chi.dat ; missing: site-b" };
        QTest::newRow("weights that add up to infinity")
            << false << QStringList { "a=1e308=fake: --amp 1", "b=1e308=fake: --amp 1" } << 1
            << QStringList { "A. Finished", "F. Failed", "0", "no-chi", "2" } << 0.0
            << QStringList { "No average of the FeFF runs in %1 : the weights add up to inf, "
                             "not to a finite number above 0" };
        QTest::newRow("a name twice")
            << false << QStringList { "a=1=x", "a=1=x" } << 1
            << QStringList { "A. Failed", "F. Not Running", "0", "no-chi" } << 0.0
            << QStringList { "Atoms printed FEFF inputs that can not be told apart in %1 : line 9: "
                             "input a is named twice" };
    }

    void jobOfSeveralInputs()
    {
        QFETCH(bool, partial);
        QFETCH(QStringList, inputs);
        QFETCH(int, exitCode);
        QFETCH(QStringList, report);
        QFETCH(double, scale);
        QFETCH(QStringList, logged);
        const QString dir
            = freshRun(QString("ATOMS_ARG --no-marker\nAVERAGE_PARTIAL %1\n").arg(int(partial)));
        QVERIFY(writeFile(dir + "/00-Cif/mix.cif", severalInputs(inputs)));
        // FEFF's chi.dat of an earlier run of the job's own feff.inp is no average: kept.
        const QByteArray earlier = "chi.dat of an earlier run\n";
        QVERIFY(writeFile(dir + "/00-Res/mix/chi.dat", earlier));
        const BatchResult r = runBatch(dir, { "-batch", "-c", "my.cfg", "-e" });
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.errors));
        QCOMPARE(r.lines.size(), 1);
        const QStringList fields = r.lines.first().split('\t');
        QCOMPARE(fields.mid(1, 3) + fields.mid(5), report);
        const QString workDir = fields.at(4);
        for (const QString &line : logged)
            QVERIFY2(r.errors.contains(line.arg(workDir)), qPrintable(r.errors));
        const QString chiPath = workDir + "/chi.dat";
        if (scale == 0) {
            QCOMPARE(readFile(chiPath), earlier);
            return;
        }
        QCOMPARE(readFile(chiPath + ".~1~"), earlier);
        QVERIFY(r.errors.contains(
            "Kept the earlier chi.dat of " + workDir + " as " + chiPath + ".~1~"));
        ChiData chi;
        chi.read(chiPath);
        QCOMPARE(chi.kValues.size(), fields.at(3).toInt());
        for (int i = 0; i < chi.kValues.size(); ++i) {
            const double k = chi.kValues[i];
            const double expected
                = scale * std::exp(-0.01 * k * k) * k / (1.0 + k * k) * std::sin(2.0 * 2.55 * k);
            QVERIFY2(
                std::abs(chi.chiValues[i] - expected) < 2e-6, qPrintable(QString("k %1").arg(k)));
        }
        const QByteArray header = readFile(chiPath);
        for (const QString &input : inputs)
            QVERIFY(header.contains("# input " + input.section('=', 0, 0).toUtf8() + " "));
    }

    void plotSaved_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("legend");
        QTest::newRow("png") << "plot.png" << QStringList() << true;
        QTest::newRow("svg") << "plot.svg" << QStringList() << true;
        QTest::newRow("svg without legend") << "plot.svg" << QStringList { "-legend", "none" } << false;
    }

    void plotSaved()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, options);
        QFETCH(bool, legend);
        const QString dir = freshRun();
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "fake: --amp 1\n"));
        QVERIFY(writeFile(dir + "/00-Inp/b.inp", "fake: --amp 0.5\n"));
        const BatchResult r
            = runBatch(dir, QStringList { "-batch", "-c", "my.cfg", "-plot", name } + options);
        QCOMPARE(r.exitCode, 0);
        QVERIFY(QFileInfo(dir + "/" + name).size() > 0);
        if (name.endsWith(".png")) {
            const QImage image(dir + "/" + name);
            QCOMPARE(image.size(), QSize(800, 500));
            const int black = countColour(image, QColor(0, 0, 0));
            const int red = countColour(image, QColor(255, 0, 0));
            QVERIFY(black > 200 && red > 200); // palette entries 0 and 1
        } else {
            // The legend names the curves, and the caption the view; points lie between pixels.
            const QByteArray svg = readFile(dir + "/" + name);
            QVERIFY(svg.contains("<svg"));
            QCOMPARE(svg.contains(">a.inp<") && svg.contains(">b.inp<"), legend);
            QVERIFY(svg.contains("window k 3"));
            QVERIFY(QRegularExpression("points=\"[^\"]*\\d\\.\\d").match(QString::fromUtf8(svg)).hasMatch());
        }
    }

    // The view options apply to -plot and -export; a value they do not take stops the
    // program before any job runs.
    void viewOptions_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("header"); // of the CSV; empty: none written
        QTest::addColumn<QStringList>("notes"); // the CSV's lines before it: the view
        QTest::newRow("k, weighted")
            << QStringList { "-kweight", "1" } << 0 << "k,a.inp,b.inp"
            << QStringList { "# space k", "# k-weight 1", "# window hanning kmin 3 kmax 14 dk 1" };
        QTest::newRow("R, Kaiser") << QStringList { "-space", "r", "-ft", "2,12,2,kaiser" } << 0
                                   << "R,a.inp,b.inp"
                                   << QStringList { "# space R", "# k-weight 0", "# part magnitude",
                                          "# window kaiser kmin 2 kmax 12 dk 2" };
        QTest::newRow("weight 5") << QStringList { "-kweight", "5" } << 2 << "" << QStringList();
        QTest::newRow("space q") << QStringList { "-space", "q" } << 2 << "" << QStringList();
        QTest::newRow("window too short")
            << QStringList { "-ft", "3,3,1,hanning" } << 2 << "" << QStringList();
        // A typo must not give another picture than the one asked for.
        QTest::newRow("unknown option") << QStringList { "-kwieght", "2" } << 2 << "" << QStringList();
        QTest::newRow("legend shown how") << QStringList { "-legend", "left" } << 2 << "" << QStringList();
    }

    void viewOptions()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, header);
        QFETCH(QStringList, notes);
        const QString dir = freshRun();
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "fake: --amp 1\n"));
        QVERIFY(writeFile(dir + "/00-Inp/b.inp", "fake: --amp 0.5\n"));
        const BatchResult r = runBatch(dir,
            QStringList { "-batch", "-c", "my.cfg", "-plot", "p.png", "-export", "d.csv" }
                + options);
        QCOMPARE(r.exitCode, exitCode);
        if (header.isEmpty()) {
            QVERIFY2(r.errors.contains(options.first()), qPrintable(r.errors));
            QVERIFY(r.lines.isEmpty());
            QVERIFY(!QFile::exists(dir + "/d.csv"));
            return;
        }
        QStringList rows
            = QString::fromUtf8(readFile(dir + "/d.csv")).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.mid(0, notes.size()), notes);
        rows = rows.mid(notes.size());
        QCOMPARE(rows.first(), header);
        QVERIFY(rows.size() > 100);
        QCOMPARE(rows[1].split(',').size(), 3);
        QVERIFY(r.errors.contains("Data saved to " + dir + "/d.csv"));
        QCOMPARE(QImage(dir + "/p.png").size(), QSize(800, 500));
    }

    void unwritablePlotIsReported()
    {
        const QString dir = freshRun();
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "x\n"));
        const BatchResult r = runBatch(dir, { "-batch", "-c", "my.cfg", "-plot", "/nonexistent/dir/plot.png",
                                              "-export", "/nonexistent/dir/data.csv" });
        QCOMPARE(r.exitCode, 3);
        for (const char *what : { "plot to /nonexistent/dir/plot.png", "data to /nonexistent/dir/data.csv" })
            QVERIFY2(r.errors.contains(QString("Can not save the ") + what + " : No such file or directory"),
                qPrintable(r.errors));
    }

    // The outputs are the user's: what is no regular file is written as it is, a link is
    // written through and stays a link; one file for two outputs, or an output option
    // without its file, is refused before anything runs.
    void outputTargets_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("options"); // %DIR%: the run directory
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("logged");

        // As /dev/stdout, in the run's directory: a program gone wrong, run as root, must not
        // replace the machine's own.
        QTest::newRow("standard output")
            << "stdout" << QStringList { "-export", "%DIR%/stdout" } << 0 << "Data saved to";
        QTest::newRow("a character device")
            << "device" << QStringList { "-export", "%DIR%/null" } << 0 << "Data saved to";
        QTest::newRow("a FIFO with a reader")
            << "fifo-read" << QStringList { "-export", "%DIR%/fifo" } << 0 << "Data saved to";
        QTest::newRow("a FIFO without a reader")
            << "fifo" << QStringList { "-export", "%DIR%/fifo" } << 3
            << "Can not save the data to %DIR%/fifo : no process reads it";
        QTest::newRow("a link to a file")
            << "link" << QStringList { "-export", "%DIR%/link.csv", "-joblog", "%DIR%/log-link" }
            << 0 << "Data saved to %DIR%/link.csv";
        QTest::newRow("the job log and the data in one file")
            << QString() << QStringList { "-joblog", "%DIR%/F", "-export", "%DIR%/F" } << 2
            << "orbelin: -joblog %DIR%/F and -export %DIR%/F are the same file";
        QTest::newRow("the plot and the data in one file, through a link")
            << "link" << QStringList { "-plot", "%DIR%/real.csv", "-export", "%DIR%/link.csv" } << 2
            << "are the same file: each output needs one of its own";
        QTest::newRow("the job log without its file")
            << QString() << QStringList { "-joblog", "-plot", "%DIR%/x.png" } << 2
            << "orbelin: -joblog needs a file name; nothing runs";
    }

    // The column names of a saved CSV, after its '#' notes.
    static QByteArray csvHeader(const QByteArray &csv)
    {
        for (const QByteArray &line : csv.split('\n'))
            if (!line.startsWith('#'))
                return line;
        return QByteArray();
    }

    void outputTargets()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, logged);
        const QString dir = freshRun();
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "x\n"));
        QVERIFY(writeFile(dir + "/real.csv", "the user's file\n"));
        QVERIFY(QFile::setPermissions(dir + "/real.csv", QFile::ReadOwner | QFile::WriteOwner));
        if (setup == "device" && QProcess::execute("mknod", { dir + "/null", "c", "1", "3" }) != 0)
            QSKIP("making a device node needs root");
        if (setup == "stdout")
            QVERIFY(QFile::link("/proc/self/fd/1", dir + "/stdout"));
        if (setup.startsWith("fifo"))
            QCOMPARE(QProcess::execute("mkfifo", { dir + "/fifo" }), 0);
        if (setup == "link")
            QVERIFY(QFile::link(dir + "/real.csv", dir + "/link.csv")
                && QFile::link(dir + "/log", dir + "/log-link"));
        QProcess reader;
        if (setup == "fifo-read") {
            reader.start("cat", { dir + "/fifo" });
            QVERIFY(reader.waitForStarted());
        }
        for (QString &option : options)
            option.replace("%DIR%", dir);
        const BatchResult r
            = runBatch(dir, QStringList { "-batch", "-c", "my.cfg", "-e" } + options);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.errors.contains(QString(logged).replace("%DIR%", dir)), qPrintable(r.errors));
        if (exitCode == 2) {
            QVERIFY(r.lines.isEmpty());
            QVERIFY(!QFile::exists(dir + "/x.png") && !QFile::exists(dir + "/F"));
            QCOMPARE(readFile(dir + "/real.csv"), QByteArray("the user's file\n"));
        } else if (setup == "stdout") {
            QVERIFY2(r.lines.contains("k,a.inp"), qPrintable(r.lines.join('\n')));
            QVERIFY(QFileInfo(dir + "/stdout").isSymLink());
        } else if (setup == "device") {
            QVERIFY(!QFileInfo(dir + "/null").isFile() && QFileInfo::exists(dir + "/null"));
        } else if (setup == "fifo-read") {
            QVERIFY(reader.waitForFinished(10000));
            QCOMPARE(csvHeader(reader.readAllStandardOutput()), QByteArray("k,a.inp"));
        } else if (setup == "link") {
            QVERIFY(QFileInfo(dir + "/link.csv").isSymLink()
                && QFileInfo(dir + "/log-link").isSymLink());
            QCOMPARE(csvHeader(readFile(dir + "/real.csv")), QByteArray("k,a.inp"));
            QCOMPARE(QFile::permissions(dir + "/real.csv") & 0x7077, // owner, group, others
                QFile::ReadOwner | QFile::WriteOwner);
            QVERIFY(readFile(dir + "/log").startsWith("Seq\t"));
        }
    }

    // The job log of a run, one case per way a job ends; the report's last field is the
    // same word, and a tab, newline or backslash in a name is written escaped in both.
    void jobLogWords_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("input"); // file name in the INP directory
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("feffExit");
        QTest::addColumn<int>("signal");

        QTest::newRow("ok, odd name") << QString() << "a\tb\nc\\d.inp"
                                      << "x"
                                      << "ok"
                                      << "0" << 0;
        QTest::newRow("FEFF's warning") << QString() << "w.inp"
                                        << "fake: --say limit_exceeded_--_path_list_cut"
                                        << "ok-warned"
                                        << "0" << 0;
        QTest::newRow("no chi.dat") << QString() << "n.inp"
                                    << "fake: --no-chi"
                                    << "no-chi"
                                    << "0" << 0;
        QTest::newRow("crash") << QString() << "c.inp"
                               << "fake: --crash"
                               << "crashed"
                               << "-" << 6;
        QTest::newRow("exit status") << QString() << "e.inp"
                                     << "fake: --exit 3"
                                     << "exit-3"
                                     << "3" << 0;
        QTest::newRow("time limit") << QString("FEFF_TIMEOUT 1\n") << "h.inp"
                                    << "fake: --hang"
                                    << "timeout"
                                    << "-" << 15;
        QTest::newRow("cannot start") << QString("FEFF_EXE /nonexistent/feff\n") << "s.inp"
                                      << "x"
                                      << "cannot-start"
                                      << "-" << 0;
    }

    void jobLogWords()
    {
        QFETCH(QString, config);
        QFETCH(QString, input);
        QFETCH(QString, content);
        QFETCH(QString, word);
        QFETCH(QString, feffExit);
        QFETCH(int, signal);
        const QString dir = freshRun(config);
        QVERIFY(writeFile(dir + "/00-Inp/" + input, content.toUtf8() + "\n"));
        const BatchResult r
            = runBatch(dir, { "-batch", "-c", "my.cfg", "-e", "-joblog", "jobs.log" }, 30000);
        const bool good = word.startsWith("ok");
        QCOMPARE(r.exitCode, good ? 0 : 1);

        const auto escaped = [](QString text) {
            return text.replace('\\', "\\\\").replace('\t', "\\t").replace('\n', "\\n");
        };
        const QString inputPath = escaped(dir + "/00-Inp/" + input);
        const QString workDir = escaped(dir + "/00-Res/" + QFileInfo(input).completeBaseName());
        QCOMPARE(r.lines.size(), 1);
        const QStringList report = r.lines.at(0).split('\t');
        QCOMPARE(report.size(), 6);
        QCOMPARE(report.at(0), inputPath);
        QCOMPARE(report.at(4), workDir);
        QCOMPARE(report.at(5), word);

        const QStringList log
            = QString::fromUtf8(readFile(dir + "/jobs.log")).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(log.size(), 2);
        QCOMPARE(log.at(0),
            QString("Seq\tInput\tWorkdir\tStarttime\tJobRuntime\tAtomsExit\tFeffExit\tSignal\tPoint"
                    "s\tResult"));
        const QStringList fields = log.at(1).split('\t');
        QCOMPARE(fields.size(), 10);
        QCOMPARE(fields.mid(0, 3), QStringList({ "1", inputPath, workDir }));
        const double start = fields.at(3).toDouble();
        QVERIFY2(qAbs(start - QDateTime::currentMSecsSinceEpoch() / 1000.0) < 60,
            qPrintable(fields.at(3)));
        const double seconds = fields.at(4).toDouble();
        QVERIFY(seconds >= (word == "timeout" ? 1.0 : 0.0) && seconds < 20);
        QCOMPARE(fields.mid(5),
            QStringList(
                { "-", feffExit, QString::number(signal), good ? "401" : "0", word }));
    }

    // SIGTERM ends the running programs, whole process groups, prints every job's line and
    // ends the run with 128 + 15; the job that never started is marked so.
    void terminatedRunEndsItsPrograms()
    {
        const QString events = tmp.filePath("term.log");
        const QString dir = freshRun("FEFF_ARG \"--hang --log " + events + "\"\n");
        for (const char *name : { "a.inp", "b.inp", "c.inp" })
            QVERIFY(writeFile(dir + "/00-Inp/" + name, "x\n"));
        QProcess orbelin;
        startBatch(orbelin, dir, { "-batch", "-c", "my.cfg", "-e" });
        QTRY_COMPARE_WITH_TIMEOUT(readFile(events).count("start"), 2, 20000);
        QTest::qWait(100);
        QCOMPARE(readFile(events).count("start"), 2); // MAX_PROC 2: the third waits
        orbelin.terminate();
        const BatchResult r = finishBatch(orbelin, 20000);
        QCOMPARE(r.exitCode, 143);
        QVERIFY2(r.errors.contains("Signal 15"), qPrintable(r.errors));
        QCOMPARE(r.lines.size(), 3);
        QCOMPARE(resultWords(r), QStringList({ "stopped", "stopped", "unfinished" }));
        for (const QByteArray &line : readFile(events).split('\n')) {
            const pid_t pid = pid_t(line.split(' ').value(1).toInt());
            if (pid > 0)
                QTRY_VERIFY_WITH_TIMEOUT(::kill(pid, 0) == -1 && errno == ESRCH, 5000);
        }
    }

    // -resume knows a program by its file: the same path pointed at another program, or a
    // script rewritten in place, runs the job again.
    void resumeAfterProgramChange_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("word");
        QTest::newRow("nothing changed") << "none"
                                         << "resumed";
        QTest::newRow("the link pointed at another program") << "relink"
                                                             << "ok";
        QTest::newRow("the script rewritten in place") << "rewrite"
                                                       << "ok";
        QTest::newRow("the program a launcher names rewritten") << "named"
                                                                << "ok";
    }

    void resumeAfterProgramChange()
    {
        QFETCH(QString, change);
        QFETCH(QString, word);
        const QString dir = freshRun();
        const QString script = dir + "/feff.sh";
        const QString named = dir + "/named.sh";
        const QString link = dir + "/feff";
        // A script that runs the stand-in FEFF with more options.
        auto writeScript = [](const QString &path, const QByteArray &options) {
            return writeFile(path,
                       "#!/bin/sh\nexec " + QByteArray(FAKE_FEFF) + " " + options + " \"$@\"\n")
                && QFile::setPermissions(
                    path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        };
        QVERIFY(writeScript(script, ""));
        QVERIFY(writeScript(named, ""));
        QVERIFY(QFile::link(script, link));
        // The launcher's argument names a program file: the stand-in takes it as a word.
        QVERIFY(writeFile(dir + "/my.cfg",
            readFile(dir + "/my.cfg")
                + QString("FEFF_EXE %1\nFEFF_ARG %2\n").arg(link, named).toUtf8()));
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "x\n"));
        const QStringList args { "-batch", "-c", "my.cfg", "-e", "-resume" };
        QCOMPARE(resultWords(runBatch(dir, args)), QStringList { "ok" });

        if (change == "relink") {
            QVERIFY(writeScript(dir + "/other.sh", "--amp 2"));
            QVERIFY(QFile::remove(link) && QFile::link(dir + "/other.sh", link));
        } else if (change == "rewrite") {
            QVERIFY(writeScript(script, "--amp 2"));
        } else if (change == "named") {
            QVERIFY(writeScript(named, "--amp 2"));
        }
        const BatchResult r = runBatch(dir, args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        QCOMPARE(resultWords(r), QStringList { word });
    }

    // A rerun with -resume after an interrupted run starts only the jobs that had not ended
    // well; the others are read from their earlier run.
    void resumeRunsOnlyWhatIsLeft()
    {
        const QString first = tmp.filePath("first.log");
        const QString second = tmp.filePath("second.log");
        const QString dir = freshRun(
            "MAX_PROC 1\nFEFF_ARG \"--delay-ms 300 --log " + tmp.filePath("events.log") + "\"\n");
        for (const char *name : { "a.inp", "b.inp", "c.inp", "d.inp" })
            QVERIFY(writeFile(dir + "/00-Inp/" + name, "x\n"));
        QProcess orbelin;
        startBatch(orbelin, dir, { "-batch", "-c", "my.cfg", "-e" });
        QTRY_COMPARE_WITH_TIMEOUT(readFile(tmp.filePath("events.log")).count("end"), 2, 20000);
        orbelin.terminate();
        QCOMPARE(finishBatch(orbelin, 20000).exitCode, 143);
        QVERIFY(QFile::rename(tmp.filePath("events.log"), first));

        const BatchResult r = runBatch(dir, { "-batch", "-c", "my.cfg", "-e", "-resume" });
        QVERIFY(QFile::rename(tmp.filePath("events.log"), second));
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        const QStringList before = startedIn(first);
        QVERIFY(before.size() >= 2 && before.mid(0, 2) == QStringList({ "a", "b" }));
        QCOMPARE(startedIn(second), QStringList({ "c", "d" }));
        QCOMPARE(r.lines.size(), 4);
        for (const QString &line : r.lines) {
            QCOMPARE(line.section('\t', 3, 3), QString("401"));
            QCOMPARE(line.section('\t', 2, 2), QString("F. Finished"));
        }
        QCOMPARE(resultWords(r), QStringList({ "resumed", "resumed", "ok", "ok" }));
    }
};

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
