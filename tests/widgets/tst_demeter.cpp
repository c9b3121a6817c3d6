#include "feffinp.h"
#include "pixels.h"
#include "shownjob.h"
#include "testutil.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

using namespace testutil;

namespace {
const QString notRunningStyle = "background-color: rgb(213, 230, 255);";
const QString runningStyle = "background-color: rgb(96, 255, 181);";
const int runTimeout = 10000;
} // namespace

class TestDemeter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    int dirCount = 0;

    // A fresh results directory, so that jobs of different tests never meet.
    QString freshDir() { return freshSubdir(tmp, &dirCount); }

    static QString text(Demeter *job, const char *name)
    {
        if (auto *edit = job->findChild<QLineEdit *>(name))
            return edit->text();
        if (auto *plain = job->findChild<QPlainTextEdit *>(name))
            return plain->toPlainText();
        return job->findChild<QTextEdit *>(name)->toPlainText();
    }

    static QString style(Demeter *job, const char *name)
    {
        return job->findChild<QLineEdit *>(name)->styleSheet();
    }

    static void click(Demeter *job, const char *name)
    {
        QTest::mouseClick(job->findChild<QPushButton *>(name), Qt::LeftButton);
    }

    // How many of the spied changes of a model's rows were of the role.
    static int changesOf(const QSignalSpy &changes, int role)
    {
        int count = 0;
        for (const QList<QVariant> &change : changes)
            count += change.at(2).value<QVector<int>>().contains(role);
        return count;
    }

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }

    void newJobShowsNothingRunning_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("cif job") << 1;
        QTest::newRow("feff job") << 6;
    }

    void newJobShowsNothingRunning()
    {
        QFETCH(int, kind);
        const QString dir = freshDir();
        const QString input = dir + "/in/a rather/long/path/to/Cu.inp";
        QVERIFY(writeFile(input, "fake: \n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        ShownJob shown(&settings, QFileInfo(input), kind);
        Job &job = shown.job;
        Demeter *row = &shown.row;

        QCOMPARE(job.state(), kind);
        QCOMPARE(text(row, "AtomsStat"), QString("A. Not Running"));
        QCOMPARE(text(row, "FeffStat"), QString("F. Not Running"));
        QCOMPARE(style(row, "AtomsStat"), notRunningStyle);
        QCOMPARE(style(row, "FeffStat"), notRunningStyle);
        QCOMPARE(style(row, "TargetName"), QString("background-color: rgb(255, 255, 224);"));
        auto *target = row->findChild<QLineEdit *>("TargetName");
        QCOMPARE(target->text(), QFileInfo(input).absoluteFilePath());
        QCOMPARE(target->cursorPosition(), target->text().size());
        QCOMPARE(job.workingDirectory(), dir + "/res/Cu");
        QVERIFY(QFileInfo(dir + "/res/Cu").isDir());
        QVERIFY(!job.chi().valid);
        QVERIFY(!row->findChild<QTextEdit *>("ResAtoms")->isHidden());
        QVERIFY(!row->findChild<QPlainTextEdit *>("ResFeff")->isHidden());

        // No status is ever cut, whatever the font: a cut "A. Not Running" reads "Running".
        for (const char *name : { "AtomsStat", "FeffStat" }) {
            auto *field = row->findChild<QLineEdit *>(name);
            QVERIFY(field->minimumWidth() >= 80);
            for (const char *status : { "A. Not Running", "A. Starting", "F. Finished" })
                QVERIFY(field->minimumWidth() > field->fontMetrics().horizontalAdvance(status));
        }
    }

    void rowControls()
    {
        const QString dir = freshDir();
        const RunSettings settings = fakeSettings(dir);
        ShownJob shown(&settings, QFileInfo(dir + "/x.cif"), 1);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        QSignalSpy rowChanges(shown.model, &JobModel::dataChanged);
        auto *show = row->findChild<QCheckBox *>("Show");
        QVERIFY(!show->isChecked());
        show->click();
        QVERIFY(shown.isShown());
        show->click();
        QCOMPARE(changesOf(rowChanges, Qt::CheckStateRole), 2);

        auto *boxAtoms = row->findChild<QCheckBox *>("ShowResAtoms");
        auto *resAtoms = row->findChild<QTextEdit *>("ResAtoms");
        boxAtoms->click();
        QVERIFY(resAtoms->isHidden());
        boxAtoms->click();
        QVERIFY(!resAtoms->isHidden());

        // The path field's tooltip tells where the job works; the colour chosen is the
        // curve's and the swatch's.
        const QString tip = row->findChild<QLineEdit *>("TargetName")->toolTip();
        QVERIFY2(
            tip.contains(dir + "/x.cif") && tip.contains(job.workingDirectory()), qPrintable(tip));
        click(row, "ColorSel");
        auto *dialog = row->findChild<QColorDialog *>("CurveColorDialog");
        QVERIFY(dialog && dialog->isVisible());
        dialog->setCurrentColor(QColor(12, 34, 56));
        dialog->accept();
        QCOMPARE(changesOf(rowChanges, JobModel::ColorRole), 1);
        QCOMPARE(shown.colour(), QColor(12, 34, 56).rgba());
        QCOMPARE(row->findChild<DispA *>("ColorDisp")->bgColor, QColor(12, 34, 56));
        QCOMPARE(job.state(), 1);
    }

    // A right click on the row offers what its job can do now; the last entry is taken.
    void rowMenu_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("directive"); // of the stand-ins, in the input
        QTest::addColumn<bool>("run");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("outcome");
        const QString open = "Open working folder";
        const QString options = "Converter options…";
        QTest::newRow("waiting") << 1 << "" << false << QStringList { open, options, "Skip" }
                                 << int(Job::Outcome::Skipped);
        QTest::newRow("FEFF running") << 6 << "fake: --hang" << true << QStringList { open, "Stop" }
                                      << int(Job::Outcome::Stopped);
        QTest::newRow("Atoms running")
            << 1 << "fake: --delay-ms 60000" << true << QStringList { open, "Stop" }
            << int(Job::Outcome::Stopped);
        // New options run the converter again with them after ATOMS_ARG.
        QTest::newRow("finished, new options")
            << 1 << "" << true << QStringList { open, options } << int(Job::Outcome::Ok);
    }

    void rowMenu()
    {
        QFETCH(int, kind);
        QFETCH(QString, directive);
        QFETCH(bool, run);
        QFETCH(QStringList, entries);
        QFETCH(int, outcome);
        const QString dir = freshDir();
        const QString input = dir + "/x" + (kind == 1 ? ".cif" : ".inp");
        QVERIFY(writeFile(input, directive.toUtf8() + "\n"));
        const RunSettings settings = fakeSettings(dir + "/res", { "--say-args" });
        ShownJob shown(&settings, QFileInfo(input), kind);
        Job &job = shown.job;
        if (run)
            job.start();
        if (outcome == int(Job::Outcome::Ok))
            QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        else if (run)
            QTRY_VERIFY_WITH_TIMEOUT(job.isRunning(), runTimeout);

        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2));
        QApplication::sendEvent(shown.row.findChild<QLineEdit *>("TargetName"), &click);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QStringList shownEntries;
        QList<QAction *> actions;
        for (QAction *action : menu->actions())
            if (!action->isSeparator() && action->isEnabled()) {
                shownEntries << action->text();
                actions << action;
            }
        QCOMPARE(shownEntries, entries);
        // The offscreen platform has no file manager: the log says so, with the folder.
        if (QGuiApplication::platformName() == "offscreen") {
            QSignalSpy logged(&job, &Job::log);
            actions.first()->trigger();
            QVERIFY(spiedTexts(logged).contains("Can not open the working folder "
                + job.workingDirectory() + " : no file manager answered"));
        }
        actions.last()->trigger();
        menu->close();

        if (entries.last() == "Converter options…") {
            auto *dialog = shown.row.findChild<QInputDialog *>("ConverterOptionsDialog");
            QVERIFY(dialog && dialog->isVisible());
            dialog->setTextValue("--radius 3");
            dialog->accept();
            QCOMPARE(readFile(input + ".args"), QByteArray("--radius 3\n"));
            QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
            QVERIFY2(text(&shown.row, "ResAtoms").contains("arguments: --say-args|--radius|3|"),
                qPrintable(text(&shown.row, "ResAtoms")));
        }
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(int(job.outcome()), outcome);
        QVERIFY(!job.isRunning());
        QCOMPARE(job.chi().valid, outcome == int(Job::Outcome::Ok));
    }

    // A restart with edits of the Atoms area not written to feff.inp asks what to run;
    // with none it runs at once.
    void restartWithUnsavedEdits_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<bool>("edited"); // feff.inp holds the edit
        QTest::newRow("no edit: no question") << false << "" << true << false;
        QTest::newRow("update and run") << true << "Update and run" << true << true;
        QTest::newRow("the file on disk") << true << "Run the file on disk" << true << false;
        QTest::newRow("cancel") << true << "Cancel" << false << false;
    }

    void restartWithUnsavedEdits()
    {
        QFETCH(bool, edit);
        QFETCH(QString, answer);
        QFETCH(bool, runs);
        QFETCH(bool, edited);
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/Cu.inp", "fake: \nATOMS\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        ShownJob shown(&settings, QFileInfo(dir + "/Cu.inp"), 6);
        Job &job = shown.job;
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QSignalSpy started(&job, &Job::procStarted);
        auto *area = shown.row.findChild<QTextEdit *>("ResAtoms");
        if (edit) {
            QTextCursor end = area->textCursor();
            end.movePosition(QTextCursor::End);
            end.insertText("   0.0 0.0 1.8 1\n");
        }
        click(&shown.row, "FeffRestart");
        auto *question = shown.row.findChild<QMessageBox *>("RestartQuestion");
        QCOMPARE(question != nullptr, edit);
        if (question) {
            QVERIFY(question->isVisible());
            QAbstractButton *chosen = nullptr;
            for (QAbstractButton *button : question->buttons())
                if (button->text().remove('&') == answer)
                    chosen = button;
            QVERIFY(chosen);
            chosen->click();
        }
        QCOMPARE(started.count(), runs ? 1 : 0);
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(readFile(job.workingDirectory() + "/feff.inp").contains("1.8 1"), edited);
    }

    void cifJobRunsAtomsThenFeff()
    {
        const QString dir = freshDir();
        const QString input = dir + "/Cu.cif";
        QVERIFY(writeFile(input, "CIF body line\n"));
        const RunSettings settings = fakeSettings(dir + "/res", { "--lines", "3" });
        ShownJob shown(&settings, QFileInfo(input), 1);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        const QString work = job.workingDirectory();
        QVERIFY(writeFile(work + "/feff0001.dat", "old"));
        QVERIFY(writeFile(work + "/FEFF0002.DAT", "old"));
        QVERIFY(writeFile(work + "/feff.inp", "old input"));

        // What the job has done at each report, in order of the reports. The converter's
        // place goes straight to FEFF: one place taken, one given back.
        QStringList events;
        connect(&job, &Job::statusChanged, this, [&] {
            if (job.status(Job::Program::Feff) == Job::Status::Starting)
                events << QString("feff starting feff.inp=%1 old-dat=%2 atoms=%3")
                              .arg(readFile(work + "/feff.inp").startsWith(" * This") ? "new"
                                                                                      : "old")
                              .arg(QFile::exists(work + "/feff0001.dat") ? "yes" : "no")
                              .arg(job.statusText(Job::Program::Atoms));
        });
        connect(&job, &Job::procStarted, this, [&] {
            events << QString("started feff.inp=%1 old-dat=%2 atoms=%3")
                          .arg(readFile(work + "/feff.inp").startsWith(" * This") ? "new" : "old")
                          .arg(QFile::exists(work + "/feff0001.dat") ? "yes" : "no")
                          .arg(text(row, "AtomsStat"));
        });
        connect(&job, &Job::procStopped, this, [&] {
            events << QString("stopped feff.inp=%1 atoms=%2")
                          .arg(readFile(work + "/feff.inp").startsWith(" * This") ? "new" : "old")
                          .arg(text(row, "AtomsStat"));
        });
        QSignalSpy chi(&job, &Job::newChi);

        job.start();
        QCOMPARE(job.state(), 4);
        QCOMPARE(text(row, "AtomsStat"), QString("A. Running"));
        QCOMPARE(style(row, "AtomsStat"), runningStyle);
        job.start(); // a second start does nothing
        QCOMPARE(job.state(), 4);

        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(events,
            QStringList({ "started feff.inp=old old-dat=yes atoms=A. Starting",
                "feff starting feff.inp=new old-dat=no atoms=A. Finished",
                "stopped feff.inp=new atoms=A. Finished" }));
        QCOMPARE(text(row, "AtomsStat"), QString("A. Finished"));
        QCOMPARE(text(row, "FeffStat"), QString("F. Finished"));
        QCOMPARE(style(row, "FeffStat"), notRunningStyle);
        QVERIFY(!QFile::exists(work + "/FEFF0002.DAT"));
        QCOMPARE(chi.count(), 1);
        QVERIFY(job.chi().valid);
        QCOMPARE(job.chi().kValues.size(), 401);
        QCOMPARE(QDir::currentPath(), work);

        // Atoms' own messages stand before the marker and stay out of feff.inp.
        const QString atomsText = text(row, "ResAtoms");
        QVERIFY(atomsText.startsWith("fake atoms message 1\n"));
        const QString feffInp = QString::fromUtf8(readFile(work + "/feff.inp"));
        QCOMPARE(feffInp, textFromMarker(atomsText));
        QVERIFY(feffInp.endsWith("CIF body line\n"));
        QVERIFY(text(row, "ResFeff").contains("feff done"));
    }

    void feffJobCopiesInput()
    {
        const QString dir = freshDir();
        const QString input = dir + "/FeO.inp";
        QVERIFY(writeFile(input, "TITLE FeO\r\nfake: --points 7\r\nEND\r\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        ShownJob shown(&settings, QFileInfo(input), 6);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        const QString feffInp = job.workingDirectory() + "/feff.inp";

        // feff.inp holds the input's bytes, line ends and all; the area shows lines.
        QCOMPARE(readFile(feffInp), QByteArray("TITLE FeO\r\nfake: --points 7\r\nEND\r\n"));
        QCOMPARE(text(row, "ResAtoms"),
            QString(" * This file was copied by Orbelin\nTITLE FeO\nfake: --points 7\nEND\n"));

        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(text(row, "AtomsStat"), QString("A. Not Running"));
        QCOMPARE(job.chi().kValues.size(), 7);

        click(row, "SaveFeffInp");
        QCOMPARE(readFile(feffInp),
            QByteArray(" * This file was copied by Orbelin\nTITLE FeO\nfake: --points 7\nEND\n"));
    }

    void unreadableFeffInputIsLoggedOnceWired()
    {
        const QString dir = freshDir();
        const RunSettings settings = fakeSettings(dir + "/res");
        ShownJob shown(&settings, QFileInfo(dir + "/missing.inp"), 6);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        QSignalSpy log(&job, &Job::log);
        QCOMPARE(log.count(), 0); // nothing was connected while the constructor ran
        QTRY_COMPARE(log.count(), 1);
        // A missing file has no canonical path; the message names the one given.
        QCOMPARE(log.at(0).at(0).toString(),
            QString("Can not open feff input file : %1/missing.inp to read.").arg(dir));
        QCOMPARE(text(row, "ResAtoms"), QString());
    }

    void unwritableFeffInpIsLogged()
    {
        const QString dir = freshDir();
        const QString input = dir + "/Zn.inp";
        QVERIFY(writeFile(input, "x\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        QDir().mkpath(dir + "/res/Zn/feff.inp"); // a directory where the file should go
        ShownJob shown(&settings, QFileInfo(input), 6);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        QSignalSpy log(&job, &Job::log);
        QTRY_COMPARE(log.count(), 1);
        QCOMPARE(log.at(0).at(0).toString(),
            QString("Can not open feff input file : %1 to write.").arg(dir + "/res/Zn/feff.inp"));
        click(row, "SaveFeffInp");
        QCOMPARE(log.count(), 2);
        QCOMPARE(log.at(1).at(0).toString(),
            QString("Can not open feff.inp for %1").arg(dir + "/res/Zn/feff.inp"));
    }

    void markerCutFromEditedText()
    {
        const QString dir = freshDir();
        const RunSettings settings = fakeSettings(dir);
        ShownJob shown(&settings, QFileInfo(dir + "/Ni.cif"), 1);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        auto *area = row->findChild<QTextEdit *>("ResAtoms");
        area->setPlainText("typed by hand\n * This one\nATOMS\n");
        click(row, "SaveFeffInp");
        QCOMPARE(
            readFile(job.workingDirectory() + "/feff.inp"), QByteArray(" * This one\nATOMS\n"));
        area->clear();
        click(row, "SaveFeffInp");
        QCOMPARE(readFile(job.workingDirectory() + "/feff.inp"), QByteArray());
    }

    void restartRules()
    {
        const QString dir = freshDir();
        const QString input = dir + "/Cu.inp";
        QVERIFY(writeFile(input, "fake: --delay-ms 200\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        ShownJob shown(&settings, QFileInfo(input), 6);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        QSignalSpy started(&job, &Job::procStarted);
        QSignalSpy stopped(&job, &Job::procStopped);

        click(row, "FeffRestart"); // waiting in the queue: nothing
        QCOMPARE(job.state(), 6);
        QCOMPARE(started.count(), 0);

        job.start();
        QCOMPARE(job.state(), 9);
        click(row, "FeffRestart"); // running: nothing
        QCOMPARE(started.count(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QVERIFY(!text(row, "ResFeff").isEmpty());

        click(row, "FeffRestart");
        QCOMPARE(started.count(), 2);
        QVERIFY(!text(row, "ResFeff").contains("feff done")); // cleared for the new run
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(stopped.count(), 2);
        QVERIFY(job.chi().valid);
    }

    void programThatCannotStart_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("atomsStatus");
        QTest::addColumn<QString>("feffStatus");
        QTest::addColumn<int>("stuckState");
        QTest::newRow("atoms") << 1 << "A. Not Running"
                               << "F. Not Running" << 3;
        QTest::newRow("feff") << 6 << "A. Not Running"
                              << "F. Not Running" << 8;
    }

    void programThatCannotStart()
    {
        QFETCH(int, kind);
        QFETCH(QString, atomsStatus);
        QFETCH(QString, feffStatus);
        QFETCH(int, stuckState);
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/Cu.inp", "x\n"));
        RunSettings settings = fakeSettings(dir + "/res");
        settings.atomsExe = dir + "/no-such-atoms";
        settings.feffExe = dir + "/no-such-feff";
        ShownJob shown(&settings, QFileInfo(dir + "/Cu.inp"), kind);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        QSignalSpy started(&job, &Job::procStarted);
        QSignalSpy stopped(&job, &Job::procStopped);
        QSignalSpy log(&job, &Job::log);
        QCoreApplication::processEvents();

        job.start();
        QCoreApplication::processEvents();
        QCOMPARE(job.state(), stuckState);
        QCOMPARE(text(row, "AtomsStat"), atomsStatus);
        QCOMPARE(text(row, "FeffStat"), feffStatus);
        QCOMPARE(started.count(), 0);
        QCOMPARE(stopped.count(), 0);
        QCOMPARE(log.count(), 1);
        const QString program = kind == 1 ? settings.atomsExe : settings.feffExe;
        QVERIFY2(log.at(0).at(0).toString().startsWith("Can not start " + program + " : "),
            qPrintable(log.at(0).at(0).toString()));
    }

    void failedRestartKeepsCountsBalanced()
    {
        const QString dir = freshDir();
        const QString feffCopy = dir + "/feff-copy";
        QVERIFY(QFile::copy(FAKE_FEFF, feffCopy));
        QVERIFY(writeFile(dir + "/Cu.inp", "x\n"));
        RunSettings settings = fakeSettings(dir + "/res");
        settings.feffExe = feffCopy;
        ShownJob shown(&settings, QFileInfo(dir + "/Cu.inp"), 6);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        int running = 0;
        connect(&job, &Job::procStarted, this, [&] { ++running; });
        connect(&job, &Job::procStopped, this, [&] { --running; });

        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(running, 0);
        QVERIFY(QFile::remove(feffCopy));
        click(row, "FeffRestart");
        QCoreApplication::processEvents();
        QCOMPARE(running, 0); // no stop without a start
        QCOMPARE(text(row, "FeffStat"), QString("F. Not Running"));
        QCOMPARE(job.state(), 8);
    }

    void feffWithoutNewChiShowsNoOldCurve()
    {
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/Cu.inp", "first run\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        ShownJob shown(&settings, QFileInfo(dir + "/Cu.inp"), 6);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        QSignalSpy chi(&job, &Job::newChi);
        QSignalSpy cleared(&job, &Job::chiCleared);
        QSignalSpy log(&job, &Job::log);
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(chi.count(), 1);
        const QByteArray oldChi = readFile(job.workingDirectory() + "/chi.dat");

        // The user edits the input so that FEFF fails; FEFF 6 then exits 0 and writes nothing.
        row->findChild<QTextEdit *>("ResAtoms")->setPlainText(" * This\nfake: --no-chi\n");
        click(row, "SaveFeffInp");
        click(row, "FeffRestart");
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(chi.count(), 1);
        QCOMPARE(cleared.count(), 1);
        QVERIFY(!job.chi().valid);
        QCOMPARE(log.count(), 1);
        QCOMPARE(log.at(0).at(0).toString(),
            QString("FeFF wrote no new chi.dat in %1").arg(job.workingDirectory()));
        QCOMPARE(readFile(job.workingDirectory() + "/chi.dat"), oldChi); // not deleted
    }

    // A run that goes wrong gives no result and says why: the status fields show the
    // failed program, the log names the cause, and a converter that failed leaves the
    // feff.inp there alone and starts no FEFF.
    void abnormalEndsAreLogged_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("directive");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("statuses");
        QTest::addColumn<bool>("chi");
        QTest::newRow("feff exit code") << 6 << "fake: --exit 3"
                                        << "FeFF ended with exit code 3 in %1"
                                        << "A. Not Running|F. Failed" << false;
        QTest::newRow("feff crash") << 6 << "fake: --crash"
                                    << "FeFF crashed in %1"
                                    << "A. Not Running|F. Failed" << false;
        QTest::newRow("feff killed after 150 rows of chi.dat")
            << 6 << "fake: --cut-chi 150"
            << "FeFF crashed in %1"
            << "A. Not Running|F. Failed" << false;
        QTest::newRow("atoms exit code") << 1 << "fake: --exit 2"
                                         << "Atoms ended with exit code 2 in %1"
                                         << "A. Failed|F. Not Running" << false;
        QTest::newRow("atoms crash") << 1 << "fake: --crash"
                                     << "Atoms crashed in %1"
                                     << "A. Failed|F. Not Running" << false;
        QTest::newRow("atoms killed after 60 % of its output")
            << 1 << "fake: --kill-mid\nATOMS\n 0 0 0 0\n 1 1 1 1\nEND"
            << "Atoms crashed in %1"
            << "A. Failed|F. Not Running" << false;
        QTest::newRow("atoms without marker")
            << 1 << "fake: --no-marker"
            << "Atoms printed no FEFF input (no line with the marker \" * This\") in %1"
            << "A. Failed|F. Not Running" << false;
        QTest::newRow("empty chi.dat") << 6 << "fake: --empty-chi"
                                       << "chi.dat in %1 holds no data"
                                       << "A. Not Running|F. Failed" << false;
        QTest::newRow("fatal error, exit 0") << 6 << "fake: --no-chi --say Fatal_Error:_at_RDINP."
                                             << "FeFF in %1 : Fatal Error: at RDINP."
                                             << "A. Not Running|F. Failed" << false;
        QTest::newRow("path list cut")
            << 6
            << "fake: --say Internal_path_finder_limit_exceeded_--_path_list_may_be_incomplete."
            << "FeFF in %1 : Internal path finder limit exceeded -- path list may be incomplete."
            << "A. Not Running|F. Finished" << true;
    }

    void abnormalEndsAreLogged()
    {
        QFETCH(int, kind);
        QFETCH(QString, directive);
        QFETCH(QString, message);
        QFETCH(QString, statuses);
        QFETCH(bool, chi);
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/Cu.inp", directive.toUtf8() + "\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        QVERIFY(writeFile(dir + "/res/Cu/feff.inp", "the user's own\n"));
        ShownJob shown(&settings, QFileInfo(dir + "/Cu.inp"), kind);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        QSignalSpy log(&job, &Job::log);
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(text(row, "AtomsStat") + "|" + text(row, "FeffStat"), statuses);
        QCOMPARE(job.chi().valid, chi);
        const QStringList lines = spiedTexts(log);
        QVERIFY2(lines.contains(message.arg(job.workingDirectory())), qPrintable(lines.join('|')));
        QCOMPARE(job.failureReason().isEmpty(), chi);
        // The failed field's tooltip is the reason, as the row shows it; a run that gave
        // chi data although FEFF warned reads "F. Finished" on light yellow, the warnings in
        // its tooltip.
        const char *failed = statuses.startsWith("A. Failed") ? "AtomsStat" : "FeffStat";
        auto *field = row->findChild<QLineEdit *>(failed);
        QCOMPARE(field->toolTip(), chi ? job.warnings().join('\n') : job.failureReason());
        if (chi) {
            QCOMPARE(job.warnings().size(), 1);
            QCOMPARE(job.warnings().first(), message.arg(job.workingDirectory()));
            const QImage look = field->grab().toImage();
            QVERIFY(countColour(look, QColor(255, 245, 170)) > look.width() * look.height() / 2);
        }
        if (kind == 1 && !chi)
            QCOMPARE(readFile(dir + "/res/Cu/feff.inp"), QByteArray("the user's own\n"));
        QCOMPARE(QFileInfo::exists(job.workingDirectory() + "/orbelin-run.json"), chi);
    }

    void outputInPiecesArrivesInOrder()
    {
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/Cu.cif", "line one\nline two\n"));
        const RunSettings settings = fakeSettings(dir + "/res", { "--pieces" });
        ShownJob shown(&settings, QFileInfo(dir + "/Cu.cif"), 1);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(text(row, "ResAtoms"),
            QString("fake atoms message 1\nfake atoms message 2\nfake atoms message 3\n"
                    " * This feff.inp was written by fake atoms from %1\nline one\nline two\n")
                .arg(dir + "/Cu.cif"));
    }

    void largeOutputComplete()
    {
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/Cu.inp", "fake: --lines 5000 --width 80\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        ShownJob shown(&settings, QFileInfo(dir + "/Cu.inp"), 6);
        Job &job = shown.job;
        Demeter *row = &shown.row;
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        const QStringList lines = text(row, "ResFeff").split('\n');
        QCOMPARE(lines.size(), 5000 + 3); // banner, 5000 lines, "feff done", final empty piece
        QCOMPARE(lines.at(1), QString("line 0 ").leftJustified(79, 'x'));
        QCOMPARE(lines.at(5000), QString("line 4999 ").leftJustified(79, 'x'));
        // Program output is no edit of the user's: undo cannot take it away.
        QVERIFY(!row->findChild<QPlainTextEdit *>("ResFeff")->document()->isUndoAvailable());
    }
};

QTEST_MAIN(TestDemeter)
#include "tst_demeter.moc"
