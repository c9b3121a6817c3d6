#include "feffinp.h"
#include "shownjob.h"
#include "testutil.h"
#include "workdirs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QPlainTextEdit>
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
        for (const char *name : {"AtomsStat", "FeffStat"}) {
            auto *field = row->findChild<QLineEdit *>(name);
            QVERIFY(field->minimumWidth() >= 80);
            for (const char *status : {"A. Not Running", "A. Starting", "F. Finished"})
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
        QSignalSpy showChanges(&job, &Job::showChanged);
        auto *show = row->findChild<QCheckBox *>("Show");
        QVERIFY(!show->isChecked());
        show->click();
        QVERIFY(job.isShown());
        show->click();
        QCOMPARE(showChanges.count(), 2);

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
        QSignalSpy colorChanges(&job, &Job::colorChanged);
        click(row, "ColorSel");
        auto *dialog = row->findChild<QColorDialog *>("CurveColorDialog");
        QVERIFY(dialog && dialog->isVisible());
        dialog->setCurrentColor(QColor(12, 34, 56));
        dialog->accept();
        QCOMPARE(colorChanges.count(), 1);
        QCOMPARE(job.curveColor(), QColor(12, 34, 56).rgba());
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
        const RunSettings settings = fakeSettings(dir + "/res", {"--lines", "3"});
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
                              .arg(readFile(work + "/feff.inp").startsWith(" * This") ? "new" : "old")
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
        QCOMPARE(events, QStringList({"started feff.inp=old old-dat=yes atoms=A. Starting",
                                      "feff starting feff.inp=new old-dat=no atoms=A. Finished",
                                      "stopped feff.inp=new atoms=A. Finished"}));
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

    void inputThatIsItsOwnFeffInpSurvives()
    {
        const QString dir = freshDir();
        const QString input = dir + "/res/feff/feff.inp";
        QVERIFY(writeFile(input, "TITLE self\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        ShownJob shown(&settings, QFileInfo(input), 6);
        Job &job = shown.job;
        QCOMPARE(job.workingDirectory() + "/feff.inp", input);
        QCOMPARE(readFile(input), QByteArray("TITLE self\n"));
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

    void markerCut_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::newRow("messages then marker") << "m1\nm2\nm3\n * This is feff\nA\n"
                                              << " * This is feff\nA\n";
        QTest::newRow("no marker") << "just text\n" << "just text\n";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("asterisk in first column") << "* This\nA" << "* This\nA";
        QTest::newRow("lower case") << " * this\nA" << " * this\nA";
        // A usage text that quotes the marker is no FEFF input.
        QTest::newRow("mid line") << "abc * This x\n" << "abc * This x\n";
        QTest::newRow("first at a line start") << "a * This 1\n * This 2\n" << " * This 2\n";
    }

    void markerCut()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QCOMPARE(textFromMarker(text), kept);
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
        QCOMPARE(readFile(job.workingDirectory() + "/feff.inp"), QByteArray(" * This one\nATOMS\n"));
        area->clear();
        click(row, "SaveFeffInp");
        QCOMPARE(readFile(job.workingDirectory() + "/feff.inp"), QByteArray());
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
        QTest::newRow("atoms") << 1 << "A. Not Running" << "F. Not Running" << 3;
        QTest::newRow("feff") << 6 << "A. Not Running" << "F. Not Running" << 8;
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

    void chiFromAnEarlierRunIsNotTaken()
    {
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/res/Cu/chi.dat", "k chi\n1 1\n2 2\n"));
        QVERIFY(writeFile(dir + "/Cu.inp", "fake: --no-chi\n"));
        const RunSettings settings = fakeSettings(dir + "/res");
        ShownJob shown(&settings, QFileInfo(dir + "/Cu.inp"), 6);
        Job &job = shown.job;
        QSignalSpy chi(&job, &Job::newChi);
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, runTimeout);
        QCOMPARE(chi.count(), 0);
        QVERIFY(!job.chi().valid);
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
        QTest::newRow("feff exit code") << 6 << "fake: --exit 3" << "FeFF ended with exit code 3 in %1"
                                        << "A. Not Running|F. Failed" << false;
        QTest::newRow("feff crash") << 6 << "fake: --crash" << "FeFF crashed in %1"
                                    << "A. Not Running|F. Failed" << false;
        QTest::newRow("feff killed after 150 rows of chi.dat")
            << 6 << "fake: --cut-chi 150" << "FeFF crashed in %1" << "A. Not Running|F. Failed" << false;
        QTest::newRow("atoms exit code") << 1 << "fake: --exit 2" << "Atoms ended with exit code 2 in %1"
                                         << "A. Failed|F. Not Running" << false;
        QTest::newRow("atoms crash") << 1 << "fake: --crash" << "Atoms crashed in %1"
                                     << "A. Failed|F. Not Running" << false;
        QTest::newRow("atoms killed after 60 % of its output")
            << 1 << "fake: --kill-mid\nATOMS\n 0 0 0 0\n 1 1 1 1\nEND" << "Atoms crashed in %1"
            << "A. Failed|F. Not Running" << false;
        QTest::newRow("atoms without marker")
            << 1 << "fake: --no-marker" << "Atoms printed no FEFF input (no line with the marker \" * This\") in %1"
            << "A. Failed|F. Not Running" << false;
        QTest::newRow("empty chi.dat") << 6 << "fake: --empty-chi" << "chi.dat in %1 holds no data"
                                       << "A. Not Running|F. Failed" << false;
        QTest::newRow("fatal error, exit 0")
            << 6 << "fake: --no-chi --say Fatal_Error:_at_RDINP." << "FeFF in %1 : Fatal Error: at RDINP."
            << "A. Not Running|F. Failed" << false;
        QTest::newRow("path list cut")
            << 6 << "fake: --say Internal_path_finder_limit_exceeded_--_path_list_may_be_incomplete."
            << "FeFF in %1 : Internal path finder limit exceeded -- path list may be incomplete."
            << "A. Not Running|F. Finished" << true;
    }

    void troubleLines_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("none") << " Feff 6L.02\n no error here\n error: not a launcher line\n" << QStringList();
        QTest::newRow("launcher")
            << " Feff\nsrun: error: Unable to contact slurm controller (connect failure)\n"
            << QStringList{"srun: error: Unable to contact slurm controller (connect failure)"};
        QString flood;
        for (int i = 0; i < 1000; ++i)
            flood += QString("  Fatal Error %1\n").arg(i);
        QStringList first;
        for (int i = 0; i < 20; ++i)
            first << QString("Fatal Error %1").arg(i);
        QTest::newRow("a thousand times") << flood << first + QStringList{"... 980 more such lines"};
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
        for (const char *piece : {" Fatal Er", "ror: at RDINP\n ok\nsrun: err", "or: down"})
            trouble.add(piece);
        QCOMPARE(trouble.finish(), QStringList({"Fatal Error: at RDINP", "srun: error: down"}));
        QCOMPARE(trouble.finish(), QStringList()); // starts afresh
    }

    void longLinesBroken_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("shown");
        QTest::newRow("short lines kept") << QStringList{"ab\ncd\n"} << "ab\ncd\n";
        QTest::newRow("exactly the width") << QStringList{"abcd\nefgh"} << "abcd\nefgh";
        QTest::newRow("broken at the width") << QStringList{"abcdefghij\nk"} << "abcd\nefgh\nij\nk";
        QTest::newRow("across pieces") << QStringList{"ab", "cdef", "g\nhi"} << "abcd\nefg\nhi";
        QTest::newRow("empty pieces, lone breaks") << QStringList{"", "\n\n", ""} << "\n\n";
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
        // The failed field's tooltip is the reason, as the row shows it.
        const char *failed = statuses.startsWith("A. Failed") ? "AtomsStat" : "FeffStat";
        QCOMPARE(row->findChild<QLineEdit *>(failed)->toolTip(), job.failureReason());
        if (kind == 1 && !chi)
            QCOMPARE(readFile(dir + "/res/Cu/feff.inp"), QByteArray("the user's own\n"));
        QCOMPARE(QFileInfo::exists(job.workingDirectory() + "/orbelin-run.json"), chi);
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
        const RunSettings settings = fakeSettings(dir + "/res", {"--lines", "1"}, {"-q"});
        ShownJob shown(&settings, QFileInfo(dir + "/Cu.cif"), 1);
        Job &job = shown.job;
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
        QTest::newRow("utf-8") << QByteArray("\xe7\xb5\x90\xe6\x9e\x9c\n") << QString::fromUtf8("結果\n");
        QTest::newRow("CR LF kept") << QByteArray("a\r\nb") << "a\r\nb";
    }

    void outputDecoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, decoded);
        QCOMPARE(decodeOutputLines(bytes), decoded);
    }

    void outputInPiecesArrivesInOrder()
    {
        const QString dir = freshDir();
        QVERIFY(writeFile(dir + "/Cu.cif", "line one\nline two\n"));
        const RunSettings settings = fakeSettings(dir + "/res", {"--pieces"});
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

    void realFeff()
    {
        QVERIFY2(QFileInfo("/usr/bin/feff6").isExecutable(), "Debian's ifeffit package gives /usr/bin/feff6");
        const QString dir = freshDir();
        RunSettings settings = fakeSettings(dir + "/res");
        settings.feffExe = "/usr/bin/feff6";
        ShownJob shown(&settings, QFileInfo(testData("feff/Cu_feff.inp")), 6);
        Job &job = shown.job;
        QSignalSpy chi(&job, &Job::newChi);
        job.start();
        QTRY_COMPARE_WITH_TIMEOUT(job.state(), 0, 60000);
        QCOMPARE(chi.count(), 1);
        QCOMPARE(job.chi().kValues.size(), 401);
        QVERIFY(job.chi().maxChi > 0.1);
    }
};

QTEST_MAIN(TestDemeter)
#include "tst_demeter.moc"
