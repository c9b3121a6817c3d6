// Inputs become jobs a slice at a time, in the order they came, and the event loop runs
// between the slices.
#include "body.h"
#include "inputfeed.h"
#include "job.h"
#include "testutil.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

using namespace testutil;

class TestInputFeed : public QObject
{
    Q_OBJECT

private slots:
    // A slow maker: the first slice makes its minimum, a drop waits behind the scan, and
    // an event posted after a slice runs before the last input is made.
    void slicesKeepTheOrderAndLetTheLoopRun()
    {
        QStringList made;
        InputFeed feed([&made](const QFileInfo &file, int kind) {
            QThread::msleep(1);
            made << QString("%1:%2").arg(file.fileName()).arg(kind);
        });
        QSignalSpy drained(&feed, &InputFeed::drained);
        QStringList scan, expected;
        for (int i = 0; i < 150; ++i) {
            scan << QString("/in/s%1.inp").arg(i, 3, 10, QChar('0'));
            expected << QString("s%1.inp:6").arg(i, 3, 10, QChar('0'));
        }
        feed.add(scan, 6);
        feed.makeSlice();
        QVERIFY2(made.size() >= 16 && made.size() < 150, qPrintable(QString::number(made.size())));
        QCOMPARE(drained.count(), 0);

        feed.add(QStringList { "/drop/a.cif", "/drop/b.cif" }, 1);
        feed.makeSlice();
        expected << "a.cif:1"
                 << "b.cif:1";
        int madeWhenTheLoopRan = -1;
        QTimer::singleShot(0, this, [&] { madeWhenTheLoopRan = made.size(); });
        QTRY_COMPARE(drained.count(), 1);
        QCOMPARE(made, expected);
        QVERIFY2(madeWhenTheLoopRan > 0 && madeWhenTheLoopRan < expected.size(),
            qPrintable(QString::number(madeWhenTheLoopRan)));
        QVERIFY(feed.isEmpty());

        // A few inputs become jobs at once.
        feed.add(QStringList { "x.inp" }, 6);
        feed.makeSlice();
        QCOMPARE(made.last(), QString("x.inp:6"));
        QCOMPARE(made.size(), expected.size() + 1);
        QCOMPARE(drained.count(), 2);
    }

    // The start-up scan of many inputs: the manager is idle only once all are jobs, which
    // stand in name order.
    void managerIdleOnceEveryInputIsAJob()
    {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString start = QDir::currentPath();
        QVERIFY(writeFile(tmp.filePath("config.cfg"), "MAX_PROC 1\nFEFF_EXE /nonexistent/feff\n"));
        for (int i = 0; i < 300; ++i)
            QVERIFY(
                writeFile(tmp.filePath(QString("00-Inp/j%1.inp").arg(i, 3, 10, QChar('0'))), "x"));
        QDir::setCurrent(tmp.path());
        {
            const ParamStore args = commandLine({ "-noGui" });
            Body body(&args);
            QSignalSpy idle(&body, &Body::idle);
            body.scanInputDirs();
            QVERIFY(body.jobs().size() >= 16);
            QCOMPARE(body.jobs().size() + body.waitingInputs(), 300);
            QTRY_COMPARE(idle.count(), 1);
            QCOMPARE(body.jobs().size(), 300);
            for (int i = 0; i < 300; ++i)
                QCOMPARE(
                    body.jobs().at(i)->inputName(), QString("j%1.inp").arg(i, 3, 10, QChar('0')));
            QTest::qWait(50);
            QCOMPARE(idle.count(), 1);
        }
        QDir::setCurrent(start);
    }
};

QTEST_MAIN(TestInputFeed)
#include "tst_inputfeed.moc"
