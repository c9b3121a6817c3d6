// FEFF started through a launcher (FEFF_EXE srun, FEFF_ARG "... feff6"), and the launcher
// failing before FEFF ever runs: a controller that is down makes srun print an error and
// exit with 1; a launcher can also be killed. The job must say so, and a chi.dat already
// in the working directory must not pass for the result.
#include "shownjob.h"
#include "testutil.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QPlainTextEdit>
#include <QTextEdit>

using namespace testutil;

namespace {
const int runTimeout = 10000;
const char *const controllerDown =
    "srun: error: Unable to allocate resources: Unable to contact slurm controller (connect failure)";
} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    QString launcher;
    int dirCount = 0;

    QString freshDir() { return freshSubdir(tmp, &dirCount); }

private slots:
    // A stand-in for srun: "launcher MODEFILE PROGRAM ARGS..." runs the program in the
    // current directory when MODEFILE says "pass", fails as srun does without a controller
    // when it says "down", and is killed by a signal when it says "killed". The mode is
    // read at every start, so that a test can take the cluster down between two runs.
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        launcher = tmp.filePath("launcher");
        QVERIFY(writeFile(launcher, QByteArray("#!/bin/sh\n"
                                               "mode=$(cat \"$1\")\n"
                                               "shift\n"
                                               "case \"$mode\" in\n"
                                               "pass) exec \"$@\" ;;\n"
                                               "down) sleep 0.2; echo \"")
                                        + controllerDown
                                        + "\" >&2; exit 1 ;;\n"
                                          "killed) kill -KILL $$ ;;\n"
                                          "esac\n"
                                          "exit 99\n"));
        QVERIFY(QFile::setPermissions(launcher, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }

    void launcherFailureShowsNoEarlierChi_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("earlierGoodRun");
        QTest::addColumn<QString>("message");
        // chi.dat left by an earlier run of the program, before this job existed
        QTest::newRow("controller down, old chi.dat") << "down" << false << "FeFF ended with exit code 1 in %1";
        QTest::newRow("launcher killed, old chi.dat") << "killed" << false << "FeFF crashed in %1";
        // the job's own curve from a good run; the cluster then fails before a restart
        QTest::newRow("controller down on restart") << "down" << true << "FeFF ended with exit code 1 in %1";
        QTest::newRow("launcher killed on restart") << "killed" << true << "FeFF crashed in %1";
    }

    void launcherFailureShowsNoEarlierChi()
    {
        QFETCH(QString, mode);
        QFETCH(bool, earlierGoodRun);
        QFETCH(QString, message);
        const QString dir = freshDir();
        const QString modeFile = dir + "/mode";
        QVERIFY(writeFile(dir + "/Cu.inp", "fake: --points 201\n"));
        // FEFF's real output, so that taking the old file would give a valid curve.
        if (!earlierGoodRun)
            QVERIFY(writeFile(dir + "/res/Cu/chi.dat", readFile(testData("chi/Cu_feff6.chi.dat"))));
        QVERIFY(writeFile(modeFile, earlierGoodRun ? "pass\n" : mode.toUtf8()));
        RunSettings settings = fakeSettings(dir + "/res", {}, {modeFile, FAKE_FEFF});
        settings.feffExe = launcher;
        ShownJob shown(&settings, QFileInfo(dir + "/Cu.inp"), 6);
        Job &job = shown.job;
        const QString work = job.workingDirectory();
        int running = 0;
        connect(&job, &Job::procStarted, this, [&] { ++running; });
        connect(&job, &Job::procStopped, this, [&] { --running; });
        QSignalSpy chi(&job, &Job::newChi);
        QSignalSpy cleared(&job, &Job::chiCleared);

        if (earlierGoodRun) {
            job.start();
            QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
            QCOMPARE(chi.count(), 1);
            QCOMPARE(job.chi().kValues.size(), 201);
            QVERIFY(writeFile(modeFile, mode.toUtf8()));
        }
        const QByteArray oldChi = readFile(work + "/chi.dat");
        QVERIFY(!oldChi.isEmpty());
        QSignalSpy log(&job, &Job::log);
        if (earlierGoodRun)
            QTest::mouseClick(shown.row.findChild<QPushButton *>("FeffRestart"), Qt::LeftButton);
        else
            job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);

        QCOMPARE(job.statusText(Job::Program::Feff), QString("F. Failed"));
        QCOMPARE(running, 0);
        const QStringList lines = spiedTexts(log);
        QVERIFY2(lines.contains(message.arg(work)), qPrintable(lines.join('|')));
        QVERIFY(!job.chi().valid);
        QCOMPARE(chi.count(), earlierGoodRun ? 1 : 0);
        QCOMPARE(cleared.count(), earlierGoodRun ? 1 : 0);
        QCOMPARE(readFile(work + "/chi.dat"), oldChi); // left for the user, not deleted
        // What the launcher said is in the job's FEFF output, and its error line in the log.
        const QString output = shown.row.findChild<QPlainTextEdit *>("ResFeff")->toPlainText();
        if (mode == "down") {
            QVERIFY2(output.contains(controllerDown), qPrintable(output));
            QVERIFY2(lines.contains(QString("FeFF in %1 : %2").arg(work, controllerDown)),
                     qPrintable(lines.join('|')));
        }
    }
};

QTEST_MAIN(TestLauncher)
#include "tst_launcher.moc"
