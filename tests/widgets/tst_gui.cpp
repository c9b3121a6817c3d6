#include "body.h"
#include "comparison.h"
#include "demeter.h"
#include "droparea.h"
#include "gui.h"
#include "job.h"
#include "joblist.h"
#include "joblistview.h"
#include "jobmodel.h"
#include "jobranking.h"
#include "measuredchi.h"
#include "paramstore.h"
#include "showchi.h"
#include "testutil.h"
#include "windows.h"

#include "dragdrop.h"
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

using namespace testutil;

namespace {
// The main window leaves its plot window alone; a test deletes it, also when it fails.
struct MainWindow
{
    Gui gui;
    ~MainWindow() { delete gui.plotWindow(); }
};
} // namespace

class TestGui : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    RunSettings settings;
    int jobCount = 0;
    QList<Job *> jobs;

    Job *newJob()
    {
        jobs << new Job(&settings, QFileInfo(tmp.filePath(QString("j%1.cif").arg(++jobCount))), 1);
        return jobs.last();
    }

    static Demeter *rowOf(Gui &gui, const Job *job) { return gui.jobList()->rowFor(job); }
    // Where a row stands in the list, whichever part of it is in view.
    static int listTop(Gui &gui, const Demeter *row)
    {
        return row->y() + gui.jobList()->view()->verticalScrollBar()->value();
    }
    static QCheckBox *box(Demeter *row, const char *name)
    {
        return row->findChild<QCheckBox *>(name);
    }
    static QString text(Demeter *row, const char *name)
    {
        return row->findChild<QLineEdit *>(name)->text();
    }
    // The jobs of the rows the list shows, top to bottom.
    static QVector<const Job *> shownJobs(Gui &gui)
    {
        const QAbstractItemModel *rows = gui.jobList()->view()->model();
        QVector<const Job *> shown;
        for (int row = 0; row < rows->rowCount(); ++row)
            shown << rows->index(row, 0).data(JobModel::JobRole).value<Job *>();
        return shown;
    }
    static bool areaShown(Demeter *row, const char *name)
    {
        return !row->findChild<QWidget *>(name)->isHidden();
    }

    // The jobs of the marked rows among those with editors.
    static QVector<const Job *> markedJobs(Gui &gui)
    {
        QVector<const Job *> marked;
        for (Demeter *row : gui.jobList()->rowsInUse())
            if (row->autoFillBackground())
                marked << row->job();
        return marked;
    }

    static void drop(DropArea *target, const QList<QUrl> &urls)
    {
        QMimeData mime;
        mime.setUrls(urls);
        dragAndDrop(target, &mime);
    }

    // The window shown, with count new jobs as rows.
    QVector<Job *> showWithJobs(Gui &gui, int height, int count)
    {
        gui.resize(800, height);
        gui.show();
        QVector<Job *> added;
        for (int i = 0; i < count; ++i) {
            added << newJob();
            gui.addJob(added.last());
        }
        return added;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        settings = fakeSettings(tmp.filePath("res"));
    }

    // The windows go at the end of each test, the jobs after them.
    void cleanup()
    {
        qDeleteAll(jobs);
        jobs.clear();
    }

    void formAndPlotWindow()
    {
        MainWindow window;
        Gui &gui = window.gui;
        for (const char *name :
            { "centralwidget", "frame", "label", "ScrollA1", "scrollAreaWidgetContents_2",
                "label_2", "scrollArea", "scrollAreaWidgetContents", "LogMsg", "frame_2", "label_3",
                "frame_3", "label_4", "label_5", "DropCif", "DropFeff", "menubar", "statusbar" })
            QVERIFY2(gui.findChild<QWidget *>(name), name);
        QVERIFY(gui.findChild<QGridLayout *>("ProcList"));
        QCOMPARE(gui.windowTitle(), QString("MainWindow"));
        QVERIFY(gui.findChild<DropArea *>("DropCif")->isReadOnly());
        QCOMPARE(gui.findChild<DropArea *>("DropFeff")->placeholderText(),
            QString("Drop FeFF Inp files here."));
        QVERIFY(gui.plotWindow());
        QVERIFY(gui.plotWindow()->isVisible());
        QVERIFY(!gui.plotWindow()->parent());
        QVERIFY(!gui.isVisible());
    }

    void rowsAndExclusiveOutputBoxes()
    {
        MainWindow window;
        Gui &gui = window.gui;
        Job *first = newJob();
        {
            // A row not yet in the list shows both output areas.
            JobModel alone;
            alone.addJob(first);
            Demeter fresh;
            fresh.showRow(alone.index(0));
            QVERIFY(areaShown(&fresh, "ResAtoms") && areaShown(&fresh, "ResFeff"));
        }
        gui.addJob(first);
        Demeter *row = rowOf(gui, first);
        QVERIFY(!box(row, "ShowResAtoms")->isChecked());
        QVERIFY(box(row, "ShowResFeff")->isChecked());
        QVERIFY(!areaShown(row, "ResAtoms"));
        QVERIFY(areaShown(row, "ResFeff"));

        QVERIFY(gui.width() >= 777);
        const int screenWidth = gui.screen()->availableGeometry().width();
        QVERIFY(gui.width() >= qMin(row->minimumSizeHint().width(), screenWidth)); // a row fits

        Job *second = newJob();
        Job *third = newJob();
        gui.addJob(second);
        gui.addJob(third);
        // The rows stand in the order of adding, in the list's scroll area.
        int lastTop = -1;
        for (Job *job : { first, second, third }) {
            Demeter *jobRow = rowOf(gui, job);
            QCOMPARE(jobRow->job(), job);
            QCOMPARE(jobRow->findChild<QLineEdit *>("TargetName")->text(), job->inputPath());
            QVERIFY(gui.findChild<QWidget *>("scrollAreaWidgetContents_2")->isAncestorOf(jobRow));
            QVERIFY(listTop(gui, jobRow) > lastTop);
            lastTop = listTop(gui, jobRow);
        }

        int checked = 0;
        for (Job *job : { first, second, third })
            checked += box(rowOf(gui, job), "ShowResAtoms")->isChecked()
                + box(rowOf(gui, job), "ShowResFeff")->isChecked();
        QCOMPARE(checked, 1);
        QVERIFY(box(rowOf(gui, third), "ShowResFeff")->isChecked());
        QVERIFY(!areaShown(rowOf(gui, first), "ResFeff"));

        box(rowOf(gui, first), "ShowResAtoms")->click();
        QVERIFY(areaShown(rowOf(gui, first), "ResAtoms"));
        QVERIFY(!areaShown(rowOf(gui, third), "ResFeff"));
        box(rowOf(gui, first), "ShowResAtoms")->click(); // the one checked box stays checked
        QVERIFY(box(rowOf(gui, first), "ShowResAtoms")->isChecked());
    }

    // A list of thousands keeps a few row widgets; a row far down behaves as the first.
    void rowAfterManyOthersBehavesAsTheFirst()
    {
        MainWindow window;
        Gui &gui = window.gui;
        gui.show();
        QVERIFY(QTest::qWaitForWindowExposed(&gui));
        const int count = 3000;
        for (int i = 0; i < count; ++i)
            gui.addJob(newJob());
        Job *last = jobs.last();
        Demeter *row = rowOf(gui, last);
        QCOMPARE(row->job(), last);
        QCOMPARE(row->findChild<QLineEdit *>("TargetName")->text(), last->inputPath());
        QCOMPARE(row->findChild<QLineEdit *>("AtomsStat")->text(), QString("A. Not Running"));
        QVERIFY(box(row, "ShowResFeff")->isChecked());
        QVERIFY(areaShown(row, "ResFeff"));
        QVERIFY(row->isVisibleTo(&gui));
        box(row, "Show")->click();
        QVERIFY(gui.jobModel()->isShown(gui.jobModel()->row(last)));
        QVERIFY(gui.findChildren<Demeter *>().size() < 60);

        // Scrolled back to the top, the first job's row has its own texts and boxes.
        Demeter *top = rowOf(gui, jobs.first());
        QCOMPARE(top->findChild<QLineEdit *>("TargetName")->text(), jobs.first()->inputPath());
        QVERIFY(!box(top, "Show")->isChecked());
        QVERIFY(!box(top, "ShowResFeff")->isChecked());
        box(top, "ShowResAtoms")->click();
        QVERIFY(areaShown(top, "ResAtoms"));
        QVERIFY(!box(rowOf(gui, last), "ShowResFeff")->isChecked());
        QVERIFY(box(rowOf(gui, last), "Show")->isChecked());
    }

    // The Plot menu brings a closed plot window back and ticks or clears every Show box; a
    // click on a curve scrolls the list to its job's row and marks that row alone.
    void plotMenuAndRowOfAClickedCurve()
    {
        MainWindow window;
        Gui &gui = window.gui;
        const QVector<Job *> added = showWithJobs(gui, 300, 12);
        QVERIFY(QTest::qWaitForWindowExposed(&gui));
        QMenu *menu = gui.findChild<QMenu *>("PlotMenu");
        QVERIFY(menu);
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 4); // with a separator
        gui.plotWindow()->close();
        actions[0]->trigger();
        QVERIFY(gui.plotWindow()->isVisible());
        actions[2]->trigger();
        for (Job *job : added)
            QVERIFY(box(rowOf(gui, job), "Show")->isChecked());
        actions[3]->trigger();
        for (Job *job : added)
            QVERIFY(!box(rowOf(gui, job), "Show")->isChecked());

        auto *scroll = gui.findChild<QScrollArea *>("ScrollA1");
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        QCoreApplication::processEvents();
        emit gui.plotWindow()->curveClicked(1);
        QCoreApplication::processEvents();
        // The row of the clicked curve's job is in view, and marked.
        auto marked = [&gui] { return markedJobs(gui); };
        Demeter *row = rowOf(gui, added[1]);
        const QRect shown(
            QPoint(0, scroll->verticalScrollBar()->value()), scroll->viewport()->size());
        QVERIFY2(shown.top() <= row->y() && row->geometry().bottom() <= shown.bottom(),
            qPrintable(QString("%1..%2").arg(shown.top()).arg(shown.bottom())));
        QCOMPARE(marked(), QVector<const Job *> { added[1] });
        emit gui.plotWindow()->curveClicked(11);
        QCOMPARE(marked(), QVector<const Job *> { added[11] });
        emit gui.plotWindow()->curveClicked(12); // no such row
    }

    // The line above the list chooses its rows by a part of the name and by state and
    // says how many it shows; the status bar tells how far the jobs are, then how they
    // ended; a skipped job says so in its FEFF field.
    void choosingRowsAndTheEndOfARun()
    {
        MainWindow window;
        Gui &gui = window.gui;
        QVector<Job *> run;
        for (const char *input : { "fake: ", "fake: --exit 2", "fake: ", "fake: " }) {
            const QString path
                = tmp.filePath(QString("run/r%1_%2.inp")
                                   .arg(run.size())
                                   .arg(QString(input).contains("exit") ? "bad" : "good"));
            QVERIFY(writeFile(path, QByteArray(input) + "\n"));
            jobs << new Job(&settings, QFileInfo(path), 6);
            run << jobs.last();
            gui.addJob(run.last());
        }
        auto *progress = gui.findChild<QLabel *>("JobProgress");
        QTRY_COMPARE(progress->text(), QString("0/4 done, 0 running, 0 failed, 0:00 elapsed"));
        run[3]->stop();
        for (int i = 0; i < 3; ++i)
            run[i]->start();
        QTRY_COMPARE_WITH_TIMEOUT(
            progress->text(), QString("All 4 jobs ended: 2 with chi data, 2 failed"), 10000);
        QCOMPARE(text(rowOf(gui, run[3]), "FeffStat"), QString("F. Skipped"));

        auto *count = gui.findChild<QLabel *>("JobCount");
        QCOMPARE(count->text(), QString("shown 4 of 4"));
        QTest::keyClicks(gui.findChild<QLineEdit *>("JobFilter"), "GOOD");
        QCOMPARE(count->text(), QString("shown 3 of 4"));
        auto *state = gui.findChild<QComboBox *>("JobState");
        state->setCurrentIndex(state->findText("Finished"));
        QCOMPARE(count->text(), QString("shown 2 of 4"));
        QVERIFY(rowOf(gui, run[0]) && rowOf(gui, run[2]));
        QVERIFY(!rowOf(gui, run[1]) && !rowOf(gui, run[3]));
        QCOMPARE(shownJobs(gui), (QVector<const Job *> { run[0], run[2] }));
        auto *order = gui.findChild<QComboBox *>("JobOrder");
        order->setCurrentIndex(order->findText("By state"));
        state->setCurrentIndex(state->findText("All"));
        gui.findChild<QLineEdit *>("JobFilter")->clear();
        QCOMPARE(shownJobs(gui), (QVector<const Job *> { run[0], run[2], run[1], run[3] }));
    }

    // Given a ranking, each row's field beside FEFF's status tells its job's fit once a
    // measured spectrum comes, and "By fit" puts the best first; without one the field is
    // not there.
    void rowsTellTheirFit()
    {
        MainWindow window;
        Gui &gui = window.gui;
        QVector<Job *> run;
        for (const char *input : { "fake: --exit 2", "fake: --amp 0.5", "fake: " }) {
            const QString path = tmp.filePath(QString("fit/f%1.inp").arg(run.size()));
            QVERIFY(writeFile(path, QByteArray(input) + "\n"));
            jobs << new Job(&settings, QFileInfo(path), 6);
            run << jobs.last();
            gui.addJob(run.last());
        }
        JobRanking ranking;
        for (Job *job : run)
            ranking.addJob(job);
        gui.setRanking(&ranking);
        for (Job *job : run)
            job->start();
        QTRY_VERIFY_WITH_TIMEOUT(gui.jobModel()->tally().allEnded(), 10000);
        auto fitField
            = [&gui](const Job *job) { return rowOf(gui, job)->findChild<QLineEdit *>("FitStat"); };
        QVERIFY(fitField(run[2])->isHidden());

        MeasuredSpectrum measured;
        QVERIFY(measureOf(&measured, run[2]->chi(), 1, tmp.filePath("fit/measured.chi")));
        ranking.setMeasured(measured, QString(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(fitField(run[2])->text(), QString("#1 R 0.000"), 10000);
        QTRY_VERIFY(fitField(run[1])->text().startsWith("#2 R "));
        QVERIFY(fitField(run[1])->toolTip().contains("At a bound, not to be trusted: s02"));
        QVERIFY(!fitField(run[0])->isHidden());
        QCOMPARE(fitField(run[0])->text(), QString());
        auto *order = gui.findChild<QComboBox *>("JobOrder");
        order->setCurrentIndex(order->findText("By fit"));
        QCOMPARE(shownJobs(gui), (QVector<const Job *> { run[2], run[1], run[0] }));
    }

    // -measured at start: a file that gives no chi(k) is logged and the windows go on; a good
    // one is drawn, its chi(k) written (-measured-chi) and the jobs ranked against it.
    void measuredFromTheCommandLine()
    {
        const QString dir = tmp.filePath("cmdline");
        QVERIFY(QDir().mkpath(dir) && writeFile(dir + "/config.cfg", "MAX_PROC 1\n"));
        const QString start = QDir::currentPath();
        QDir::setCurrent(dir);
        const ParamStore args = commandLine({ "-noGui" });
        Body body(&args);
        JobRanking ranking;
        Windows windows(&body, false, &ranking);
        QDir::setCurrent(start);
        auto *log = windows.mainWindow()->findChild<QTextEdit *>("LogMsg");
        const ShowChi *plot = windows.mainWindow()->plotWindow();

        ComparisonOptions options;
        options.measuredPath = dir + "/none.xdi";
        windows.loadMeasured(options);
        QVERIFY2(log->toPlainText().contains(dir + "/none.xdi"), qPrintable(log->toPlainText()));
        QVERIFY(!plot->measured().isLoaded() && !ranking.hasMeasured());

        options.measuredPath = testData("measured/feo_rt1.xdi");
        options.measuredChiPath = dir + "/measured.chi";
        windows.loadMeasured(options);
        QCOMPARE(plot->measured().name(), QString("feo_rt1.xdi"));
        QVERIFY(ranking.hasMeasured());
        QVERIFY(readFile(dir + "/measured.chi").startsWith("# chi(k) of "));
    }

    void logLines()
    {
        MainWindow window;
        Gui &gui = window.gui;
        auto *log = gui.findChild<QTextEdit *>("LogMsg");
        QTest::ignoreMessage(QtDebugMsg, "first");
        gui.log("first");
        QTest::ignoreMessage(QtDebugMsg, "ends in a break\n");
        gui.log("ends in a break\n");
        QTest::ignoreMessage(QtDebugMsg, "");
        gui.log("");
        QCOMPARE(log->toPlainText(), QString("first\nends in a break\n\n\n"));
    }

    // The log stays whole whatever the user does in it: a new line goes to its end, the
    // user's cursor and selection stay, and the view follows the newest line unless the
    // user has scrolled away from it.
    void logStaysWhole_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("follows");
        QTest::newRow("clicked into an old line") << "click" << true;
        QTest::newRow("selected a word of an old line") << "select" << true;
        QTest::newRow("typed into the log") << "type" << true;
        QTest::newRow("scrolled to the top") << "top" << false;
        QTest::newRow("scrolled up a little and clicked there") << "up and click" << false;
    }

    void logStaysWhole()
    {
        QFETCH(QString, user);
        QFETCH(bool, follows);
        MainWindow window;
        Gui &gui = window.gui;
        gui.resize(800, 600);
        gui.show();
        QVERIFY(QTest::qWaitForWindowExposed(&gui));
        auto *log = gui.findChild<QTextEdit *>("LogMsg");
        QScrollBar *bar = log->verticalScrollBar();
        QStringList earlier;
        for (int i = 1; i <= 300; ++i)
            earlier << QString("message %1").arg(i);
        QTest::ignoreMessage(QtDebugMsg, qPrintable(earlier.join('\n')));
        gui.log(earlier.join('\n'));
        // So long a text is laid out in steps; the view stays at its end meanwhile.
        QTRY_COMPARE(
            bar->maximum() + log->viewport()->height(), int(log->document()->size().height()));
        QCOMPARE(bar->value(), bar->maximum()); // the newest line in view
        QVERIFY(bar->maximum() > 0);

        // The topmost line in view, an old one.
        const QPoint oldLine(20, log->fontMetrics().height() / 2 + 4);
        if (user == "click") {
            QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, oldLine);
        } else if (user == "select") {
            QTest::mouseDClick(log->viewport(), Qt::LeftButton, {}, oldLine);
            QVERIFY(log->textCursor().selectedText().startsWith("message"));
        } else if (user == "type") {
            QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, oldLine);
            QTest::keyClicks(log->viewport(), "typed");
            QCOMPARE(log->toPlainText(), earlier.join('\n') + "\n");
        } else if (user == "top") {
            bar->setValue(0);
        } else {
            bar->setValue(bar->maximum() - 3 * bar->singleStep());
            QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, oldLine);
        }
        const QTextCursor cursor = log->textCursor();
        const int scrolled = bar->value();
        if (user != "top")
            QVERIFY(cursor.position() < log->document()->characterCount() - 1); // not at the end

        // A job restarted meanwhile logs a line, and another.
        for (const char *line : { "restarted", "newest" }) {
            QTest::ignoreMessage(QtDebugMsg, line);
            gui.log(line);
        }
        QCOMPARE(log->toPlainText(), earlier.join('\n') + "\nrestarted\nnewest\n");
        QCOMPARE(log->textCursor().position(), cursor.position());
        QCOMPARE(log->textCursor().anchor(), cursor.anchor());
        QCOMPARE(log->textCursor().selectedText(), cursor.selectedText());
        if (follows) {
            QCOMPARE(bar->value(), bar->maximum());
            QVERIFY(bar->value() > scrolled);
        } else {
            QCOMPARE(bar->value(), scrolled);
        }
    }

    // A double click on a log line that names a job's working directory scrolls the list
    // to that job's row and marks it; one that names no job leaves the list alone.
    void logLineLeadsToItsRow()
    {
        MainWindow window;
        Gui &gui = window.gui;
        const QVector<Job *> added = showWithJobs(gui, 400, 12);
        QVERIFY(QTest::qWaitForWindowExposed(&gui));
        const QStringList lines { "Proc count 2",
            "FeFF in " + added[1]->workingDirectory()
                + " : TWO ATOMS VERY CLOSE TOGETHER (17 times)" };
        for (const QString &line : lines) {
            QTest::ignoreMessage(QtDebugMsg, qPrintable(line));
            gui.log(line);
        }
        auto *log = gui.findChild<QTextEdit *>("LogMsg");
        auto doubleClick = [log](int line) {
            const QTextCursor start(log->document()->findBlockByNumber(line));
            QTest::mouseDClick(log->viewport(), Qt::LeftButton, {},
                log->cursorRect(start).center() + QPoint(20, 0));
        };
        QListView *list = gui.jobList()->view();
        QCoreApplication::processEvents();
        list->scrollToBottom();
        QCoreApplication::processEvents();
        const int bottom = list->verticalScrollBar()->value();
        QVERIFY(bottom > 0 && bottom == list->verticalScrollBar()->maximum());
        doubleClick(0);
        QCOMPARE(list->verticalScrollBar()->value(), bottom);
        QCOMPARE(markedJobs(gui), QVector<const Job *>());
        doubleClick(1);
        QCOMPARE(markedJobs(gui), QVector<const Job *> { added[1] });
        for (const Demeter *row : gui.jobList()->rowsInUse())
            if (row->job() == added[1])
                QVERIFY(row->y() >= 0 && row->geometry().bottom() < list->viewport()->height());
    }

    void jobLogReachesTheLog()
    {
        MainWindow window;
        Gui &gui = window.gui;
        jobs << new Job(&settings, QFileInfo(tmp.filePath("absent.inp")), 6);
        gui.addJob(jobs.last());
        QTest::ignoreMessage(QtDebugMsg,
            qPrintable(
                "Can not open feff input file : " + tmp.filePath("absent.inp") + " to read."));
        QTRY_VERIFY(gui.findChild<QTextEdit *>("LogMsg")->toPlainText().contains("to read."));
    }

    void dropsAreForwarded_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("cif") << "DropCif";
        QTest::newRow("feff") << "DropFeff";
    }

    void dropsAreForwarded()
    {
        QFETCH(QString, target);
        MainWindow window;
        Gui &gui = window.gui;
        QSignalSpy cif(&gui, &Gui::droppedCifFiles);
        QSignalSpy feff(&gui, &Gui::droppedFeffFiles);
        drop(gui.findChild<DropArea *>(target),
            { QUrl("file:///x/a.cif"), QUrl("file:///x/b.cif") });
        QSignalSpy &hit = target == "DropCif" ? cif : feff;
        QSignalSpy &miss = target == "DropCif" ? feff : cif;
        QCOMPARE(hit.count(), 1);
        QCOMPARE(hit.at(0).at(0).toStringList(), QStringList({ "/x/a.cif", "/x/b.cif" }));
        QCOMPARE(miss.count(), 0);
    }

    void closeEmitsFinishingOnce()
    {
        MainWindow window;
        Gui &gui = window.gui;
        gui.show();
        QSignalSpy finishing(&gui, &Gui::finishing);
        QVERIFY(gui.close());
        QCOMPARE(finishing.count(), 1);
        QVERIFY(!gui.isVisible());
    }
};

QTEST_MAIN(TestGui)
#include "tst_gui.moc"
