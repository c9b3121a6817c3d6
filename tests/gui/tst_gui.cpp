#include "demeter.h"
#include "droparea.h"
#include "gui.h"
#include "showchi.h"
#include "testutil.h"

#include "dragdrop.h"
#include <QCheckBox>
#include <QGridLayout>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
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

    Demeter *newJob()
    {
        return new Demeter(&settings, QFileInfo(tmp.filePath(QString("j%1.cif").arg(++jobCount))), 1);
    }

    static QCheckBox *box(Demeter *job, const char *name) { return job->findChild<QCheckBox *>(name); }

    static void drop(DropArea *target, const QList<QUrl> &urls)
    {
        QMimeData mime;
        mime.setUrls(urls);
        dragAndDrop(target, &mime);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        settings = fakeSettings(tmp.filePath("res"));
    }

    void formAndPlotWindow()
    {
        MainWindow window;
        Gui &gui = window.gui;
        for (const char *name : {"centralwidget", "frame", "label", "ScrollA1", "scrollAreaWidgetContents_2",
                                 "label_2", "scrollArea", "scrollAreaWidgetContents", "LogMsg", "frame_2",
                                 "label_3", "frame_3", "label_4", "label_5", "DropCif", "DropFeff",
                                 "menubar", "statusbar"})
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
        auto *list = gui.findChild<QGridLayout *>("ProcList");
        Demeter *first = newJob();
        QVERIFY(!first->findChild<QTextEdit *>("ResAtoms")->isHidden());
        gui.addDemeter(first);
        QVERIFY(!box(first, "ShowResAtoms")->isChecked());
        QVERIFY(box(first, "ShowResFeff")->isChecked());
        QVERIFY(first->findChild<QTextEdit *>("ResAtoms")->isHidden());
        QVERIFY(!first->findChild<QTextEdit *>("ResFeff")->isHidden());

        QVERIFY(gui.width() >= 777);
        const int screenWidth = gui.screen()->availableGeometry().width();
        QVERIFY(gui.width() >= qMin(first->minimumSizeHint().width(), screenWidth)); // a row fits

        Demeter *second = newJob();
        Demeter *third = newJob();
        gui.addDemeter(second);
        gui.addDemeter(third);
        QCOMPARE(list->itemAtPosition(0, 0)->widget(), first);
        QCOMPARE(list->itemAtPosition(1, 0)->widget(), second);
        QCOMPARE(list->itemAtPosition(2, 0)->widget(), third);
        QCOMPARE(first->parentWidget(), gui.findChild<QWidget *>("scrollAreaWidgetContents_2"));

        int checked = 0;
        for (Demeter *job : {first, second, third})
            checked += box(job, "ShowResAtoms")->isChecked() + box(job, "ShowResFeff")->isChecked();
        QCOMPARE(checked, 1);
        QVERIFY(box(third, "ShowResFeff")->isChecked());
        QVERIFY(first->findChild<QTextEdit *>("ResFeff")->isHidden());

        box(first, "ShowResAtoms")->click();
        QVERIFY(!first->findChild<QTextEdit *>("ResAtoms")->isHidden());
        QVERIFY(third->findChild<QTextEdit *>("ResFeff")->isHidden());
        box(first, "ShowResAtoms")->click(); // the one checked box stays checked
        QVERIFY(box(first, "ShowResAtoms")->isChecked());
    }

    // The Plot menu brings a closed plot window back and ticks or clears every Show box; a
    // click on a curve scrolls the list to its job's row and marks that row alone.
    void plotMenuAndRowOfAClickedCurve()
    {
        MainWindow window;
        Gui &gui = window.gui;
        gui.resize(800, 300);
        gui.show();
        QVERIFY(QTest::qWaitForWindowExposed(&gui));
        QVector<Demeter *> jobs;
        for (int i = 0; i < 12; ++i) {
            jobs << newJob();
            gui.addDemeter(jobs.last());
        }
        QMenu *menu = gui.findChild<QMenu *>("PlotMenu");
        QVERIFY(menu);
        const QList<QAction *> actions = menu->actions();
        QCOMPARE(actions.size(), 4); // with a separator
        gui.plotWindow()->close();
        actions[0]->trigger();
        QVERIFY(gui.plotWindow()->isVisible());
        actions[2]->trigger();
        for (Demeter *job : jobs)
            QVERIFY(box(job, "Show")->isChecked());
        actions[3]->trigger();
        for (Demeter *job : jobs)
            QVERIFY(!box(job, "Show")->isChecked());

        auto *scroll = gui.findChild<QScrollArea *>("ScrollA1");
        QTRY_VERIFY(scroll->verticalScrollBar()->maximum() > jobs[1]->geometry().bottom());
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        emit gui.plotWindow()->curveClicked(1);
        QCoreApplication::processEvents();
        const QRect shown(
            QPoint(0, scroll->verticalScrollBar()->value()), scroll->viewport()->size());
        QVERIFY2(shown.top() <= jobs[1]->y() && jobs[1]->geometry().bottom() <= shown.bottom(),
            qPrintable(QString("%1..%2").arg(shown.top()).arg(shown.bottom())));
        QVERIFY(jobs[1]->autoFillBackground());
        emit gui.plotWindow()->curveClicked(11);
        QVERIFY(jobs[11]->autoFillBackground());
        QVERIFY(!jobs[1]->autoFillBackground());
        emit gui.plotWindow()->curveClicked(12); // no such row
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

        // The user has clicked at the start: the next line goes there.
        QTextCursor cursor = log->textCursor();
        cursor.movePosition(QTextCursor::Start);
        log->setTextCursor(cursor);
        QTest::ignoreMessage(QtDebugMsg, "top");
        gui.log("top");
        QVERIFY(log->toPlainText().startsWith("top\nfirst\n"));

        // A selection is replaced.
        cursor.movePosition(QTextCursor::Start);
        cursor.movePosition(QTextCursor::EndOfWord, QTextCursor::KeepAnchor);
        log->setTextCursor(cursor);
        QTest::ignoreMessage(QtDebugMsg, "new");
        gui.log("new");
        QVERIFY(log->toPlainText().startsWith("new\n\nfirst\n"));
    }

    void jobLogReachesTheLog()
    {
        MainWindow window;
        Gui &gui = window.gui;
        Demeter *job = new Demeter(&settings, QFileInfo(tmp.filePath("absent.inp")), 6);
        gui.addDemeter(job);
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Can not open feff input file : "
                                                     + tmp.filePath("absent.inp") + " to read."));
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
        drop(gui.findChild<DropArea *>(target), {QUrl("file:///x/a.cif"), QUrl("file:///x/b.cif")});
        QSignalSpy &hit = target == "DropCif" ? cif : feff;
        QSignalSpy &miss = target == "DropCif" ? feff : cif;
        QCOMPARE(hit.count(), 1);
        QCOMPARE(hit.at(0).at(0).toStringList(), QStringList({"/x/a.cif", "/x/b.cif"}));
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
