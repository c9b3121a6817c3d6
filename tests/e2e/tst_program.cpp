// The whole program in this process, wired as its entry wires it: start-up scan,
// drops on the main window, and the end of a run when the windows close.
#include "batchrun.h"
#include "body.h"
#include "demeter.h"
#include "dragdrop.h"
#include "droparea.h"
#include "gui.h"
#include "job.h"
#include "joblist.h"
#include "showchi.h"
#include "testutil.h"
#include "windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QTemporaryDir>
#include <QTest>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>

#include <cerrno>
#include <signal.h>

using namespace testutil;

namespace {

bool allFinished(const Body &body)
{
    const auto &jobs = body.jobs();
    return std::all_of(jobs.begin(), jobs.end(), [](const Job *j) { return j->state() == 0; });
}

// The program as its entry puts it together; the windows go before the jobs.
struct Program
{
    Body body;
    Windows windows;
    Gui *gui;

    explicit Program(const ParamStore &args)
        : body(&args)
        , windows(&body, !args.contains("-noGui"))
        , gui(windows.mainWindow())
    {
        QObject::connect(&body, &Body::finishing, qApp, &QApplication::closeAllWindows);
        body.scanInputDirs();
    }
};

} // namespace

class TestProgram : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    QString startDir;
    int runCount = 0;

    QString freshRun(int maxProc)
    {
        const QString dir = tmp.filePath(QString("run%1").arg(++runCount));
        QDir().mkpath(dir);
        writeFile(dir + "/config.cfg",
            QString("MAX_PROC %1\nATOMS_EXE %2\nFEFF_EXE %3\n")
                .arg(maxProc)
                .arg(FAKE_ATOMS, FAKE_FEFF)
                .toUtf8());
        QDir::setCurrent(dir);
        return dir;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        startDir = QDir::currentPath();
        QApplication::setQuitOnLastWindowClosed(true);
    }

    void cleanup() { QDir::setCurrent(startDir); }

    void noGuiRunsTheBatchAndEndsWhenThePlotCloses()
    {
        const QString dir = freshRun(2);
        for (const char *name : { "b.cif", "a.cif" })
            QVERIFY(writeFile(dir + "/00-Cif/" + name, "fake: --delay-ms 30\n"));
        for (const char *name : { "c.inp", "d.inp", "e.inp" })
            QVERIFY(writeFile(dir + "/00-Inp/" + name, "fake: --delay-ms 30\n"));

        Program program(commandLine({ "-noGui" }));
        Body &body = program.body;
        Gui *gui = program.gui;
        QVERIFY(!gui->isVisible());
        QVERIFY(gui->plotWindow()->isVisible());
        QCOMPARE(body.runningCount(), 2);

        bool finishedInTime = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (allFinished(body)) {
                finishedInTime = true;
                gui->plotWindow()->close(); // the last visible window
            }
        });
        poll.start(20);
        QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(finishedInTime);
        QStringList order;
        for (const Job *job : body.jobs()) {
            order << QFileInfo(job->inputPath()).fileName();
            QCOMPARE(job->chi().kValues.size(), 401);
        }
        QCOMPARE(order, QStringList({ "a.cif", "b.cif", "c.inp", "d.inp", "e.inp" }));
    }

    void droppedFilesBecomeJobsAndClosingEndsTheRun()
    {
        const QString dir = freshRun(3);
        QVERIFY(writeFile(dir + "/drops/Cu.cif", "cif\n"));
        QVERIFY(writeFile(dir + "/drops/Fe.inp", "inp\n"));
        QVERIFY(writeFile(dir + "/drops/Ni.inp", "inp\n"));

        Program program(commandLine({}));
        Body &body = program.body;
        Gui *gui = program.gui;
        QVERIFY(gui->isVisible());
        QVERIFY(body.jobs().isEmpty());

        QMimeData cif;
        cif.setUrls({ QUrl::fromLocalFile(dir + "/drops/Cu.cif") });
        dragAndDrop(gui->findChild<DropArea *>("DropCif"), &cif);
        QMimeData feff;
        feff.setUrls({ QUrl::fromLocalFile(dir + "/drops/Fe.inp"),
            QUrl::fromLocalFile(dir + "/drops/Ni.inp") });
        dragAndDrop(gui->findChild<DropArea *>("DropFeff"), &feff);
        QCOMPARE(body.jobs().size(), 3);

        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (allFinished(body))
                gui->close(); // closes every window through finishing()
        });
        poll.start(20);
        QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!gui->plotWindow()->isVisible());
        QCOMPARE(body.jobs().at(0)->workingDirectory(), dir + "/00-Res/Cu");
        QCOMPARE(body.jobs().at(0)->state(), 0);
        for (const Job *job : body.jobs())
            QVERIFY(job->chi().valid);
    }

    // A batch run of many jobs makes no widget at all, even in a program that could.
    void batchMakesNoWidget()
    {
        const QString dir = freshRun(2);
        for (int i = 0; i < 200; ++i)
            QVERIFY(writeFile(dir + QString("/00-Inp/j%1.inp").arg(i), "x\n"));
        QVERIFY(QApplication::allWidgets().isEmpty());

        const ParamStore args = commandLine({});
        Body body(&args);
        BatchRun batch(&body, BatchRun::Options(),
            [](const QString &, const QVector<Job *> &, const PlotView &, QString *) {
                return true;
            });
        int widgetsSeen = 0;
        connect(&body, &Body::jobAdded, this,
            [&] { widgetsSeen += QApplication::allWidgets().size(); });
        connect(&batch, &BatchRun::finished, qApp, &QCoreApplication::exit);
        body.scanInputDirs();
        QTimer::singleShot(60000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), int(BatchRun::AllGood));
        QCOMPARE(body.jobs().size(), 200);
        QCOMPARE(widgetsSeen, 0);
        QVERIFY(QApplication::allWidgets().isEmpty());
    }

    // A FEFF run that never ends holds nothing up: the other job finishes, and closing the
    // window ends the program and the hung run with it.
    void hungProgramDoesNotHoldTheWindow()
    {
        const QString dir = freshRun(2);
        const QString events = dir + "/events.log";
        QVERIFY(
            writeFile(dir + "/00-Inp/hangs.inp", "fake: --hang --log " + events.toUtf8() + "\n"));
        QVERIFY(writeFile(dir + "/00-Inp/works.inp", "fine\n"));

        Program program(commandLine({}));
        Body &body = program.body;
        Gui *gui = program.gui;
        const Job *works = body.jobs().at(1);
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (works->chi().valid && readFile(events).startsWith("start"))
                gui->close();
        });
        poll.start(20);
        QTimer::singleShot(20000, qApp, [] { QCoreApplication::exit(99); });
        QCOMPARE(QApplication::exec(), 0);

        const Job *hung = body.jobs().at(0);
        const pid_t pid = pid_t(readFile(events).split(' ').value(1).toInt());
        QVERIFY(pid > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!hung->isRunning(), 10000);
        QCOMPARE(hung->outcome(), Job::Outcome::Stopped);
        QVERIFY(::kill(pid, 0) == -1 && errno == ESRCH);
    }
    // A FEFF run that floods its output keeps the last lines on show, none of them endless,
    // so the window stays live; the jobs around it are unaffected.
    void floodedOutputPanelKeepsTheLastLines_data()
    {
        QTest::addColumn<QString>("directive");
        QTest::addColumn<int>("lines"); // in the panel, the last one empty
        QTest::newRow("30000 lines") << "--lines 30000" << 10000;
        QTest::newRow("2 MB without a line break") << "--unbroken 2000000" << 2003;
    }

    void floodedOutputPanelKeepsTheLastLines()
    {
        QFETCH(QString, directive);
        QFETCH(int, lines);
        const QString dir = freshRun(2);
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "fine\n"));
        QVERIFY(writeFile(dir + "/00-Inp/flood.inp", "fake: " + directive.toUtf8() + "\n"));
        QVERIFY(writeFile(dir + "/00-Inp/z.inp", "fine\n"));
        Program program(commandLine({}));
        Body &body = program.body;
        Gui *gui = program.gui;
        QVERIFY(gui->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(allFinished(body), 60000);
        for (const Job *job : body.jobs())
            QCOMPARE(job->chi().kValues.size(), 401);

        Demeter *row = gui->jobList()->rowFor(body.jobs().at(1));
        row->findChild<QCheckBox *>("ShowResFeff")->click();
        const QString shown = row->findChild<QPlainTextEdit *>("ResFeff")->toPlainText();
        const QStringList panel = shown.split('\n');
        QCOMPARE(panel.size(), lines);
        QCOMPARE(panel.value(panel.size() - 2), QString(" feff done"));
        int longest = 0;
        for (const QString &line : panel)
            longest = qMax(longest, line.size());
        QVERIFY(longest <= 1000);
    }
};

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
