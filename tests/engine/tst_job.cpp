// A job on its own, without a row: its files, its runs and the texts it reads from its
// programs' output.
#include "feffinp.h"
#include "job.h"
#include "testutil.h"
#include "workdirs.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace testutil;

namespace {
const int runTimeout = 10000;
} // namespace

class TestJob : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    int dirCount = 0;

    // A fresh results directory, so that jobs of different tests never meet.
    QString freshDir() { return freshSubdir(tmp, &dirCount); }

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }

    void inputThatIsItsOwnFeffInpSurvives()
    {
        const QString dir = freshDir();
        const QString input = dir + "/res/feff/feff.inp";
        QVERIFY(writeFile(input, "TITLE self\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        Job job(&settings, QFileInfo(input), 6);
        QCOMPARE(job.workingDirectory() + "/feff.inp", input);
        QCOMPARE(readFile(input), QByteArray("TITLE self\n"));
    }

    void markerCut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::newRow("messages then marker") << "m1\nm2\nm3\n * This is feff\nA\n"
                                              << " * This is feff\nA\n";
        QTest::newRow("no marker") << "just text\n"
                                   << "just text\n";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("asterisk in first column") << "* This\nA"
                                                  << "* This\nA";
        QTest::newRow("lower case") << " * this\nA"
                                    << " * this\nA";
        // A usage text that quotes the marker is no FEFF input.
        QTest::newRow("mid line") << "abc * This x\n"
                                  << "abc * This x\n";
        QTest::newRow("first at a line start") << "a * This 1\n * This 2\n"
                                               << " * This 2\n";
    }

    void markerCut()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QCOMPARE(textFromMarker(text), kept);
    }

    void oldResultFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("removed");
        QTest::newRow("feff0001.dat") << "feff0001.dat" << true;
        QTest::newRow("FEFF0002.DAT") << "FEFF0002.DAT" << true;
        QTest::newRow("feff.dat") << "feff.dat" << true;
        QTest::newRow("chi.dat") << "chi.dat" << false;
        QTest::newRow("feff.inp") << "feff.inp" << false;
        QTest::newRow("files.dat") << "files.dat" << false;
        QTest::newRow("feff0001.dat.bak") << "feff0001.dat.bak" << false;
    }

    void oldResultFiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, removed);
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/" + name, "x"));
        QDir().mkpath(dir + "/feff9.dat"); // a matching directory stays
        removeFeffDatFiles(dir);
        QCOMPARE(QFile::exists(dir + "/" + name), !removed);
        QVERIFY(QFileInfo(dir + "/feff9.dat").isDir());
    }

    void chiFromAnEarlierRunIsNotTaken()
    {
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/res/Cu/chi.dat", "k chi\n1 1\n2 2\n"));
        QVERIFY(writeFile(dir + "/Cu.inp", "fake: --no-chi\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        Job job(&settings, QFileInfo(dir + "/Cu.inp"), 6);
        QSignalSpy chi(&job, &Job::newChi);
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(chi.count(), 0);
        QVERIFY(!job.chi().valid);
    }

    void troubleLines_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("none") << " Feff 6L.02\n no error here\n error: not a launcher line\n"
                              << QStringList();
        QTest::newRow("launcher")
            << " Feff\nsrun: error: Unable to contact slurm controller (connect failure)\n"
            << QStringList { "srun: error: Unable to contact slurm controller (connect failure)" };
        QString flood;
        for (int i = 0; i < 1000; ++i)
            flood += QString("  Fatal Error %1\n").arg(i);
        QStringList first;
        for (int i = 0; i < 20; ++i)
            first << QString("Fatal Error %1").arg(i);
        QTest::newRow("a thousand times")
            << flood << first + QStringList { "... 980 more such lines" };
        QString again;
        for (int i = 0; i < 17; ++i)
            again += " WARNING:  TWO ATOMS VERY CLOSE TOGETHER.  CHECK INPUT.\n Fatal Error\n";
        QTest::newRow("the same lines again")
            << again
            << QStringList { "WARNING:  TWO ATOMS VERY CLOSE TOGETHER.  CHECK INPUT. (17 times)",
                   "Fatal Error (17 times)" };

        // Lines of Debian's feff8l (FEFF 8.5L) as it printed them: a good run's warnings and
        // notes, which come on every run, and its complaints about broken inputs.
        QTest::newRow("feff8l, good runs")
            << "#= Feff85l rdinp module\n FMS is not available in this version of FEFF8.5\n"
               " Ignoring FMS\n   WARNING:  rmax > distance to most distant atom.\n"
               "             Some paths may be missing.\n"
               "    Rmax  5.0000  keep and heap limits   0.0000000   0.0000000\n"
               " Xinorm should be 1. If you set the RGRID, minor interpolation errors\n"
               "              SCF ITERATION NUMBER  1  OUT OF 30\n"
               " Done with module 6: DW + final sum over paths.\n"
            << QStringList();
        // Each line given is one to be found; the module's sign-off lines after it are not.
        const auto feff8 = [](const char *name, const QStringList &lines) {
            QStringList found;
            for (const QString &line : lines)
                found << line.trimmed();
            QTest::newRow(name) << "#= Feff85l rdinp module\n" + lines.join('\n')
                    + "\nRDINP\n failed to read geom.json\n"
                                << found;
        };
        const QString noList = " Error opening file, list.dat in module ff2chi";
        feff8("feff8l, empty input", { " No absorbing atom (unique pot 0) was defined." });
        feff8("feff8l, no absorber", { " No atoms or overlap cards for unique pot        0" });
        feff8("feff8l, potential without atoms",
            { " No atoms or overlap cards for unique pot        2" });
        feff8("feff8l, not an input", { " Keyword unrecognized." });
        feff8("feff8l, bad number", { " Error reading input, bad line follows:" });
        feff8("feff8l, two absorbers", { " More than one absorbing atom (potential 0)", noList });
        feff8("feff8l, 1001 atoms", { "Too many atoms, max is     1000" });
        feff8("feff8l, ipot 12", { "Unique potentials must be between 0 and       11" });
        feff8("feff8l, atoms 0.3 A apart",
            { " WARNING:  TWO ATOMS VERY CLOSE TOGETHER.  CHECK INPUT.", noList });
        feff8("feff8l, lone H absorber",
            { " WARNING: NO ATOMS CLOSE ENOUGH TO OVERLAP ATOM    1,  UNIQUE POT    0!!  Rmt set "
              "to Rnorman.  May be error in input file." });
        feff8("feff8l, Z = 100", { " Atomic number   100 not available.", noList });
        feff8("feff8l, Be L3", { " Cannot remove an electron from this level", noList });
        feff8("feff8l, C L3",
            { "error number     11 detected on a line     75in the program  soldir", noList });
        feff8("feff8l, path list cut", { "np > np1x" });
        feff8(
            "feff8l, SCF cluster cut", { "      This exceeds the hard wired limit of 100 atoms." });
        feff8("feff8l, no feff.inp", { "Could not find feff.inp file in folder '/tmp/x'" });
    }

    void troubleLines()
    {
        QFETCH(QString, output);
        QFETCH(QStringList, found);
        QCOMPARE(feffTroubleLines(output), found);
    }

    void troubleLinesInPieces()
    {
        // Pieces split lines anywhere; the unfinished last line counts too.
        TroubleLines trouble;
        for (const char *piece : { " Fatal Er", "ror: at RDINP\n ok\nsrun: err", "or: down" })
            trouble.add(piece);
        QCOMPARE(trouble.finish(), QStringList({ "Fatal Error: at RDINP", "srun: error: down" }));
        QCOMPARE(trouble.finish(), QStringList()); // starts afresh
    }

    void longLinesBroken_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("shown");
        QTest::newRow("short lines kept") << QStringList { "ab\ncd\n" } << "ab\ncd\n";
        QTest::newRow("exactly the width") << QStringList { "abcd\nefgh" } << "abcd\nefgh";
        QTest::newRow("broken at the width")
            << QStringList { "abcdefghij\nk" } << "abcd\nefgh\nij\nk";
        QTest::newRow("across pieces") << QStringList { "ab", "cdef", "g\nhi" } << "abcd\nefg\nhi";
        QTest::newRow("empty pieces, lone breaks") << QStringList { "", "\n\n", "" } << "\n\n";
    }

    void longLinesBroken()
    {
        QFETCH(QStringList, pieces);
        QFETCH(QString, shown);
        int column = 0;
        QString result;
        for (const QString &piece : pieces)
            result += breakLongLines(piece, 4, &column);
        QCOMPARE(result, shown);
    }

    void sameBaseNameGetsItsOwnDirectory()
    {
        const QString dir = freshDir();
        const RunSettings settings = fakeSettings(dir + "/res");
        WorkDirs claims;
        Job first(&settings, QFileInfo(dir + "/a/Cu.cif"), 1, nullptr, &claims);
        Job second(&settings, QFileInfo(dir + "/b/Cu.inp"), 6, nullptr, &claims);
        Job third(&settings, QFileInfo(dir + "/a/Cu.cif"), 1, nullptr, &claims);
        QCOMPARE(first.workingDirectory(), dir + "/res/Cu");
        QCOMPARE(second.workingDirectory(), dir + "/res/Cu_2");
        QCOMPARE(third.workingDirectory(), dir + "/res/Cu_3");
        // A later run of the program (another manager) works in Cu again.
        WorkDirs laterRun;
        Job again(&settings, QFileInfo(dir + "/a/Cu.cif"), 1, nullptr, &laterRun);
        QCOMPARE(again.workingDirectory(), dir + "/res/Cu");
    }

    void processArguments()
    {
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/Cu.cif", "x"));
        const RunSettings settings = fakeSettings(dir + "/res", { "--lines", "1" }, { "-q" });
        Job job(&settings, QFileInfo(dir + "/Cu.cif"), 1);
        QTest::ignoreMessage(QtDebugMsg, "Atoms:");
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("\"%1\"").arg(FAKE_ATOMS)));
        QTest::ignoreMessage(QtDebugMsg,
            qPrintable(QString("(\"--lines\", \"1\", \"-c\", \"%1\")").arg(dir + "/Cu.cif")));
        QTest::ignoreMessage(QtDebugMsg, "FeFF:");
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QString("\"%1\"").arg(FAKE_FEFF)));
        QTest::ignoreMessage(QtDebugMsg, "(\"-q\")");
        job.showProcs();
    }

    void outputDecoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("lines") << QByteArray("a\nb\n") << "a\nb\n";
        QTest::newRow("partial line") << QByteArray("a\nbc") << "a\nbc";
        // The rest of a line after a zero byte is lost, its line break included.
        QTest::newRow("zero byte cuts its line") << QByteArray("ab\0cd\nef\n", 9) << "abef\n";
        QTest::newRow("zero byte in last piece") << QByteArray("x\nab\0cd", 7) << "x\nab";
        QTest::newRow("utf-8") << QByteArray("\xe7\xb5\x90\xe6\x9e\x9c\n")
                               << QString::fromUtf8("結果\n");
        QTest::newRow("CR LF kept") << QByteArray("a\r\nb") << "a\r\nb";
    }

    void outputDecoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, decoded);
        QCOMPARE(decodeOutputLines(bytes), decoded);
    }

    void realFeff()
    {
        QVERIFY2(QFileInfo("/usr/bin/feff6").isExecutable(),
            "Debian's ifeffit package gives /usr/bin/feff6");
        const QString dir = freshDir();
        RunSettings settings = fakeSettings(dir + "/res");
        settings.feffExe = "/usr/bin/feff6";
        Job job(&settings, QFileInfo(testData("feff/Cu_feff.inp")), 6);
        QSignalSpy chi(&job, &Job::newChi);
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, 60000);
        QCOMPARE(chi.count(), 1);
        QCOMPARE(job.chi().kValues.size(), 401);
        QVERIFY(job.chi().maxChi > 0.1);
    }
};

QTEST_MAIN(TestJob)
#include "tst_job.moc"
