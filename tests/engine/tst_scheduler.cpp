#include "job.h"
#include "scheduler.h"
#include "testutil.h"
#include "workdirs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace testutil;

// Every file number below the open-file limit taken (holes filled with copies of stdin),
// and the limit lowered to the next: nothing can be opened while it lasts.
struct NoFileLeft
{
    struct rlimit before;
    std::vector<int> fillers;

    NoFileLeft()
    {
        getrlimit(RLIMIT_NOFILE, &before);
        int highest = 0;
        for (const QString &name :
            QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries))
            highest = std::max(highest, name.toInt());
        for (int fd = dup(0); fd >= 0 && fd < highest; fd = dup(0))
            fillers.push_back(fd);
        struct rlimit tight = before;
        tight.rlim_cur = rlim_t(highest + 1);
        setrlimit(RLIMIT_NOFILE, &tight);
    }
    ~NoFileLeft()
    {
        setrlimit(RLIMIT_NOFILE, &before);
        for (int fd : fillers)
            ::close(fd);
    }
};

// The scheduler with jobs of the stand-in programs, wired as the manager wires them: the
// order programs start in and how many run at once come from the stand-ins' own events.
class TestScheduler : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    int caseCount = 0;

    struct Batch
    {
        Scheduler scheduler;
        WorkDirs workDirs;
        std::vector<std::unique_ptr<Job>> jobs;
        QString atomsLog, feffLog;

        void add(const RunSettings &settings, const QString &input, int kind, bool queue = true)
        {
            jobs.push_back(
                std::make_unique<Job>(&settings, QFileInfo(input), kind, nullptr, &workDirs));
            Job *job = jobs.back().get();
            connect(job, &Job::procStarted, &scheduler, &Scheduler::placeTaken);
            connect(job, &Job::procStopped, &scheduler, &Scheduler::placeReleased);
            connect(job, &Job::startRequested, &scheduler, [this, job] { scheduler.enqueue(job); });
            connect(
                job, &Job::startDeferred, &scheduler, [this, job] { scheduler.retryFirst(job); });
            if (queue)
                scheduler.enqueue(job);
        }
        bool allEnded() const
        {
            for (const auto &job : jobs)
                if (job->outcome() == Job::Outcome::None || job->isRunning())
                    return false;
            return true;
        }
        // "atoms:a", "feff:a", ... in the order the programs started, and the most alive.
        QStringList starts(int *mostAlive) const
        {
            QList<std::tuple<qint64, int, QString>> events;
            for (const QString &path : { atomsLog, feffLog })
                for (const QByteArray &line : readFile(path).split('\n')) {
                    const QList<QByteArray> w = line.split(' ');
                    if (w.size() == 4)
                        events << std::make_tuple(w.at(2).toLongLong(), w.at(0) == "start" ? 1 : -1,
                            (path == atomsLog ? "atoms:" : "feff:")
                                + QFileInfo(QString::fromUtf8(w.at(3))).fileName());
                }
            std::sort(events.begin(), events.end());
            QStringList order;
            int alive = 0;
            *mostAlive = 0;
            for (const auto &e : events) {
                *mostAlive = std::max(*mostAlive, alive += std::get<1>(e));
                if (std::get<1>(e) > 0)
                    order << std::get<2>(e);
            }
            return order;
        }
    };

    RunSettings settingsFor(const QString &dir, Batch &batch)
    {
        batch.atomsLog = dir + "/atoms.log";
        batch.feffLog = dir + "/feff.log";
        return fakeSettings(dir + "/res", { "--log", batch.atomsLog },
            { "--log", batch.feffLog, "--delay-ms", "150" });
    }

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }

    void placesFromDispatchToEnd_data()
    {
        QTest::addColumn<int>("places");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QStringList>("starts");
        QTest::addColumn<int>("mostAlive");
        QTest::newRow("first in, first out on two places")
            << 2 << QStringList { "a.inp", "b.inp", "c.inp", "d.inp", "e.inp" }
            << QStringList { "feff:a", "feff:b", "feff:c", "feff:d", "feff:e" } << 2;
        // The converter's place goes to its FEFF run: the next job's converter waits for it.
        QTest::newRow("Atoms hands its place to FEFF")
            << 1 << QStringList { "a.cif", "b.cif" }
            << QStringList { "atoms:a", "feff:a", "atoms:b", "feff:b" } << 1;
        QTest::newRow("no place: nothing starts")
            << 0 << QStringList { "a.inp", "b.cif" } << QStringList() << 0;
    }

    void placesFromDispatchToEnd()
    {
        QFETCH(int, places);
        QFETCH(QStringList, inputs);
        QFETCH(QStringList, starts);
        QFETCH(int, mostAlive);
        const QString dir = freshSubdir(tmp, &caseCount);
        Batch batch;
        const RunSettings settings = settingsFor(dir, batch);
        batch.scheduler.setPlaces(places);
        for (const QString &name : inputs) {
            QVERIFY(writeFile(dir + "/" + name, "x\n"));
            batch.add(settings, dir + "/" + name, name.endsWith(".cif") ? 1 : 6);
        }
        if (places > 0) {
            QTRY_VERIFY_WITH_TIMEOUT(batch.allEnded(), 20000);
            QCOMPARE(batch.scheduler.inUse(), 0);
        } else {
            QTest::qWait(300);
            QCOMPARE(batch.scheduler.waiting(), inputs.size());
            QVERIFY(batch.scheduler.isIdle());
        }
        int most = -1;
        const QStringList actual = batch.starts(&most);
        // Programs given places at once start in either order: a start may come at most
        // places - 1 before or after its place in the queue.
        QCOMPARE(QSet<QString>(actual.begin(), actual.end()),
            QSet<QString>(starts.begin(), starts.end()));
        QCOMPARE(actual.size(), starts.size());
        for (int i = 0; i < actual.size(); ++i)
            QVERIFY2(std::abs(starts.indexOf(actual.at(i)) - i) < std::max(places, 1),
                qPrintable(actual.join(' ')));
        QCOMPARE(most, mostAlive);
    }

    // With no open files to spare, a start fails for lack of resources: the job goes back
    // to the front of the queue and starts before the jobs behind it once files are free.
    void deferredStartGoesBackToTheFront()
    {
        const QString dir = freshSubdir(tmp, &caseCount);
        Batch batch;
        const RunSettings settings = settingsFor(dir, batch);
        batch.scheduler.setPlaces(1);
        for (const char *name : { "a.inp", "b.inp" })
            QVERIFY(writeFile(dir + "/" + name, "x\n"));
        batch.add(settings, dir + "/a.inp", 6, false);
        batch.add(settings, dir + "/b.inp", 6, false);
        Job *first = batch.jobs.front().get();
        QStringList logged;
        connect(first, &Job::log, this, [&](const QString &msg) { logged << msg; });
        {
            const NoFileLeft noFileLeft;
            for (const auto &job : batch.jobs)
                batch.scheduler.enqueue(job.get());
        }
        QCOMPARE(batch.scheduler.waiting(), 2);
        QCOMPARE(batch.scheduler.inUse(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(batch.allEnded(), 20000);
        int most = -1;
        QCOMPARE(batch.starts(&most), QStringList({ "feff:a", "feff:b" }));
        QCOMPARE(first->outcome(), Job::Outcome::Ok);
        QVERIFY2(logged.filter("tried again when a program ends").size() == 1,
            qPrintable(logged.join('\n')));
    }

    // A shortage that no end of a program relieves: after a minute without any start, the
    // waiting jobs end as cannot-start, one message each, and the queue is idle; the next
    // start with files to spare runs. (It takes that minute.)
    void shortageEndsAfterAMinute()
    {
        const QString dir = freshSubdir(tmp, &caseCount);
        Batch batch;
        const RunSettings settings = settingsFor(dir, batch);
        batch.scheduler.setPlaces(1);
        for (const char *name : { "a.inp", "b.inp", "c.inp" })
            QVERIFY(writeFile(dir + "/" + name, "x\n"));
        for (const char *name : { "a.inp", "b.inp" })
            batch.add(settings, dir + "/" + name, 6, false);
        batch.add(settings, dir + "/c.inp", 6, false);
        QStringList logged;
        for (int i = 0; i < 2; ++i)
            connect(batch.jobs.at(size_t(i)).get(), &Job::log, this,
                [&](const QString &msg) { logged << msg; });
        QElapsedTimer clock;
        clock.start();
        {
            const NoFileLeft noFileLeft;
            for (int i = 0; i < 2; ++i)
                batch.scheduler.enqueue(batch.jobs.at(size_t(i)).get());
            QTRY_VERIFY_WITH_TIMEOUT(batch.jobs.at(1)->outcome() != Job::Outcome::None, 90000);
        }
        QVERIFY(clock.elapsed() >= 60000);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(batch.jobs.at(size_t(i))->outcome(), Job::Outcome::CannotStart);
        QCOMPARE(logged.filter("tried again when a program ends").size(), 1);
        QCOMPARE(
            logged.filter("Too many open files ; no program could start for a minute").size(), 2);
        QTRY_VERIFY(batch.scheduler.isIdle());

        batch.scheduler.enqueue(batch.jobs.at(2).get());
        QTRY_VERIFY_WITH_TIMEOUT(batch.jobs.at(2)->outcome() == Job::Outcome::Ok, 20000);
    }
};

QTEST_MAIN(TestScheduler)
#include "tst_scheduler.moc"
