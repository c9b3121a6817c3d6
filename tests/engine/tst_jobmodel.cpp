// The jobs as rows: what a row tells of its job, what the windows keep in it, and the
// filtered and sorted rows a list shows.
#include "jobfilter.h"
#include "jobmodel.h"
#include "jobranking.h"
#include "measuredchi.h"
#include "testutil.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace testutil;

namespace {
const int runTimeout = 10000;
using Phase = JobModel::Phase;

// The input names of a model's rows, top to bottom.
QStringList names(const QAbstractItemModel &model)
{
    QStringList list;
    for (int row = 0; row < model.rowCount(); ++row)
        list << model.index(row, 0).data().toString();
    return list;
}

} // namespace

class TestJobModel : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    RunSettings settings;
    // One job in every phase, made in this order; a second finished one, with twice the
    // amplitude of the first.
    std::vector<std::unique_ptr<Job>> jobs;
    // The finished jobs fitted to the second's own chi(k): it ranks first.
    JobRanking ranking;
    JobModel model;

    Job *makeJob(const QString &name, const QByteArray &directive, int kind = 6)
    {
        const QString input = tmp.filePath("in/" + name);
        writeFile(input, directive + "\n");
        jobs.push_back(std::make_unique<Job>(&settings, QFileInfo(input), kind));
        return jobs.back().get();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        settings = fakeSettings(tmp.filePath("res"));
        new QAbstractItemModelTester(
            &model, QAbstractItemModelTester::FailureReportingMode::QtTest, this);

        makeJob("cu_waiting.inp", "fake: ");
        Job *running = makeJob("Fe_running.inp", "fake: --hang");
        Job *finished = makeJob("CU_finished.inp", "fake: --amp 0.5");
        Job *failed = makeJob("ni_failed.inp", "fake: --exit 3");
        Job *stopped = makeJob("Zn_stopped.inp", "fake: --hang");
        Job *skipped = makeJob("a_skipped.inp", "fake: ");
        Job *second = makeJob("cu_finished_2.inp", "fake: ");
        model.addJob(jobs.front().get());
        model.addJobs({ running, finished, failed, stopped, skipped, second });
        QCOMPARE(model.rowCount(), 7);

        QSignalSpy changes(&model, &JobModel::dataChanged);
        for (Job *job : { running, finished, failed, stopped, second })
            job->start();
        skipped->stop();
        QTRY_VERIFY_WITH_TIMEOUT(stopped->isRunning(), runTimeout);
        stopped->stop();
        for (Job *job : { finished, failed, stopped, second })
            QTRY_COMPARE_WITH_TIMEOUT(job->state(), 0, runTimeout);
        QVERIFY(running->isRunning());
        // Every row heard of its job's changes.
        QSet<int> changedRows;
        for (const QList<QVariant> &change : changes)
            changedRows << change.at(0).toModelIndex().row();
        QCOMPARE(changedRows, QSet<int>({ 1, 2, 3, 4, 5, 6 }));

        for (const auto &job : jobs)
            ranking.addJob(job.get());
        model.setRanking(&ranking);
        MeasuredSpectrum own;
        QVERIFY(measureOf(&own, second->chi(), 1, tmp.filePath("own.chi")));
        QSignalSpy settled(&ranking, &JobRanking::settled);
        ranking.setMeasured(own, QString(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(ranking.pending() == 0 && !settled.isEmpty(), runTimeout);
    }

    void cleanupTestCase()
    {
        jobs.at(1)->stop();
        QTRY_VERIFY_WITH_TIMEOUT(!jobs.at(1)->isRunning(), runTimeout);
    }

    // What a row tells of its job: a skipped or stopped job says so in FEFF's field.
    void rowsTellTheirJobs_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("phase");
        QTest::addColumn<QString>("feffText");
        QTest::addColumn<int>("feffLook");
        QTest::addColumn<bool>("chi");
        QTest::newRow("waiting") << 0 << int(Phase::Waiting) << "F. Not Running"
                                 << int(Job::Status::NotRunning) << false;
        QTest::newRow("running") << 1 << int(Phase::Running) << "F. Running"
                                 << int(Job::Status::Running) << false;
        QTest::newRow("finished") << 2 << int(Phase::Finished) << "F. Finished"
                                  << int(Job::Status::Finished) << true;
        QTest::newRow("failed") << 3 << int(Phase::Failed) << "F. Failed"
                                << int(Job::Status::Failed) << false;
        QTest::newRow("stopped") << 4 << int(Phase::Stopped) << "F. Stopped"
                                 << int(Job::Status::Failed) << false;
        QTest::newRow("skipped") << 5 << int(Phase::Skipped) << "F. Skipped"
                                 << int(Job::Status::NotRunning) << false;
    }

    void rowsTellTheirJobs()
    {
        QFETCH(int, row);
        const QModelIndex index = model.index(row);
        const Job *job = model.job(row);
        QCOMPARE(index.data(JobModel::JobRole).value<Job *>(), job);
        QCOMPARE(model.row(job), row);
        QCOMPARE(index.data(JobModel::NumberRole).toInt(), row + 1);
        QCOMPARE(index.data(JobModel::InputPathRole).toString(), job->inputPath());
        QTEST(index.data(JobModel::PhaseRole).toInt(), "phase");
        QTEST(index.data(JobModel::FeffTextRole).toString(), "feffText");
        QTEST(index.data(JobModel::FeffStatusRole).toInt(), "feffLook");
        QCOMPARE(index.data(JobModel::AtomsTextRole).toString(), QString("A. Not Running"));
        QTEST(index.data(JobModel::ChiRole).value<const ChiData *>()->valid, "chi");
        // The batch's report keeps the job's own words.
        if (row == 4)
            QCOMPARE(job->statusText(Job::Program::Feff), QString("F. Failed"));
    }

    void tallyOfTheRun()
    {
        const JobModel::Tally tally = model.tally();
        QCOMPARE(tally.total, 7);
        QCOMPARE(tally.waiting, 1);
        QCOMPARE(tally.running, 1);
        QCOMPARE(tally.ended, 5);
        QCOMPARE(tally.withChi, 2);
        QCOMPARE(tally.failed(), 3);
        QVERIFY(!tally.allEnded());
    }

    // The list's rows: a part of the name (case-blind) and a phase choose them; they stand
    // in the order of making, by name or by phase, ties in the order of making.
    void filterAndOrder_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<int>("phase");
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("shown");
        const int all = -1;
        const int input = int(JobFilter::Order::Input), byName = int(JobFilter::Order::Name),
                  byPhase = int(JobFilter::Order::Phase);
        QTest::newRow("everything")
            << "" << all << input
            << QStringList { "cu_waiting.inp", "Fe_running.inp", "CU_finished.inp", "ni_failed.inp",
                   "Zn_stopped.inp", "a_skipped.inp", "cu_finished_2.inp" };
        QTest::newRow("part, any case")
            << "cU" << all << input
            << QStringList { "cu_waiting.inp", "CU_finished.inp", "cu_finished_2.inp" };
        QTest::newRow("part by name")
            << "cu" << all << byName
            << QStringList { "CU_finished.inp", "cu_finished_2.inp", "cu_waiting.inp" };
        QTest::newRow("by name") << "" << all << byName
                                 << QStringList { "a_skipped.inp", "CU_finished.inp",
                                        "cu_finished_2.inp", "cu_waiting.inp", "Fe_running.inp",
                                        "ni_failed.inp", "Zn_stopped.inp" };
        QTest::newRow("by phase") << "" << all << byPhase
                                  << QStringList { "cu_waiting.inp", "Fe_running.inp",
                                         "CU_finished.inp", "cu_finished_2.inp", "ni_failed.inp",
                                         "Zn_stopped.inp", "a_skipped.inp" };
        QTest::newRow("finished") << "" << int(Phase::Finished) << input
                                  << QStringList { "CU_finished.inp", "cu_finished_2.inp" };
        QTest::newRow("failed, not stopped or skipped")
            << "" << int(Phase::Failed) << byName << QStringList { "ni_failed.inp" };
        QTest::newRow("stopped") << "" << int(Phase::Stopped) << input
                                 << QStringList { "Zn_stopped.inp" };
        QTest::newRow("skipped") << "" << int(Phase::Skipped) << input
                                 << QStringList { "a_skipped.inp" };
        QTest::newRow("running") << "" << int(Phase::Running) << input
                                 << QStringList { "Fe_running.inp" };
        QTest::newRow("part and phase")
            << "_2" << int(Phase::Finished) << input << QStringList { "cu_finished_2.inp" };
        QTest::newRow("no such part") << "cux" << all << byName << QStringList();
        QTest::newRow("the end of the name")
            << ".INP" << int(Phase::Waiting) << byPhase << QStringList { "cu_waiting.inp" };
        const int byFit = int(JobFilter::Order::Fit);
        QTest::newRow("by fit: the best first, the unranked in input order")
            << "" << all << byFit
            << QStringList { "cu_finished_2.inp", "CU_finished.inp", "cu_waiting.inp",
                   "Fe_running.inp", "ni_failed.inp", "Zn_stopped.inp", "a_skipped.inp" };
        QTest::newRow("part by fit")
            << "cu" << all << byFit
            << QStringList { "cu_finished_2.inp", "CU_finished.inp", "cu_waiting.inp" };
        QTest::newRow("failed by fit")
            << "" << int(Phase::Failed) << byFit << QStringList { "ni_failed.inp" };
    }

    void filterAndOrder()
    {
        QFETCH(QString, part);
        QFETCH(int, phase);
        QFETCH(int, order);
        JobFilter filter;
        QAbstractItemModelTester tester(
            &filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
        filter.setJobModel(&model);
        // Set in every order of the three, the filter comes to the same rows.
        filter.setOrder(JobFilter::Order(order));
        filter.setNamePart(part);
        filter.setPhase(phase);
        QTEST(names(filter), "shown");
        filter.setPhase(-1);
        filter.setNamePart(QString());
        filter.setOrder(JobFilter::Order::Input);
        QCOMPARE(names(filter), names(model));
        filter.setPhase(phase);
        filter.setNamePart(part);
        filter.setOrder(JobFilter::Order(order));
        QTEST(names(filter), "shown");
        for (int row = 0; row < filter.rowCount(); ++row)
            QCOMPARE(filter.rowOfJob(filter.jobRow(row)), row);
    }

    // A row tells its fit: the job fitted to its own chi(k) has S0² 1, no shift and no
    // damping; the other, of half its amplitude, needs S0² 2, beyond the bound. A row without
    // chi data tells nothing.
    void fitOfRows()
    {
        const QModelIndex own = model.index(6), half = model.index(2), failed = model.index(3);
        QCOMPARE(own.data(JobModel::RankRole).toInt(), 1);
        QCOMPARE(own.data(JobModel::RankStatusRole).toInt(), int(RankStatus::Ranked));
        QVERIFY(own.data(JobModel::RFactorRole).toDouble() < 1e-6);
        QVERIFY(qAbs(own.data(JobModel::S02Role).toDouble() - 1) < 1e-3);
        QVERIFY(qAbs(own.data(JobModel::DE0Role).toDouble()) < 0.05);
        QVERIFY(qAbs(own.data(JobModel::Sigma2Role).toDouble()) < 1e-4);
        QCOMPARE(own.data(JobModel::AtBoundRole).toStringList(), QStringList());
        QCOMPARE(own.data(JobModel::FitTextRole).toString(), QString("#1 R 0.000"));
        QVERIFY(own.data(JobModel::FitToolTipRole).toString().startsWith("Rank 1 of 2, R-factor"));

        QCOMPARE(half.data(JobModel::RankRole).toInt(), 2);
        QVERIFY(half.data(JobModel::RFactorRole).toDouble() > 1e-3);
        QVERIFY(half.data(JobModel::S02Role).toDouble() > 1.49);
        QVERIFY(half.data(JobModel::AtBoundRole).toStringList().contains("s02"));
        QVERIFY(half.data(JobModel::FitTextRole).toString().startsWith("#2 R 0."));
        QVERIFY(half.data(JobModel::FitToolTipRole).toString().contains("At a bound"));

        QCOMPARE(failed.data(JobModel::RankRole).toInt(), 0);
        QVERIFY(!failed.data(JobModel::RFactorRole).isValid());
        QCOMPARE(failed.data(JobModel::FitTextRole).toString(), QString());
    }

    // A new measured spectrum ranks the jobs anew, and a list sorted by fit follows: at 0.4
    // of the second's amplitude, the first (0.5) fits within the bounds and the second not.
    void newMeasuredSpectrumReorders()
    {
        JobFilter byFit;
        QAbstractItemModelTester tester(
            &byFit, QAbstractItemModelTester::FailureReportingMode::QtTest);
        byFit.setJobModel(&model);
        byFit.setOrder(JobFilter::Order::Fit);
        byFit.setPhase(int(Phase::Finished));
        QCOMPARE(names(byFit), QStringList({ "cu_finished_2.inp", "CU_finished.inp" }));
        MeasuredSpectrum weaker;
        QVERIFY(measureOf(&weaker, model.job(6)->chi(), 0.4, tmp.filePath("weaker.chi")));
        QSignalSpy settled(&ranking, &JobRanking::settled);
        ranking.setMeasured(weaker, QString(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(ranking.pending() == 0 && !settled.isEmpty(), runTimeout);
        QCOMPARE(names(byFit), QStringList({ "CU_finished.inp", "cu_finished_2.inp" }));
        QVERIFY(qAbs(model.index(2).data(JobModel::S02Role).toDouble() - 0.8) < 1e-3);
        QCOMPARE(model.index(6).data(JobModel::RankRole).toInt(), 2);
    }

    // A log line leads to the job it names: by its working directory (or a run's directory
    // in it) or its input, never by a part of a longer name.
    void rowNamedInALine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("named"); // 0: Cu, 1: Cu_2, -1: none
        QTest::newRow("a warning, counted") << "FeFF in %1 : TWO ATOMS VERY CLOSE (17 times)" << 0;
        QTest::newRow("a longer name that begins alike") << "FeFF crashed in %2" << 1;
        QTest::newRow("a run's directory") << "FeFF wrote no new chi.dat in %1/site-Fe1" << 0;
        QTest::newRow("at the end of a sentence") << "chi.dat in %1." << 0;
        QTest::newRow("its input") << "Can not open feff input file : %3 to read." << 0;
        QTest::newRow("a file beside the directory") << "Kept %1.bak" << -1;
        QTest::newRow("the directory's parent") << "Wrote %4" << -1;
        QTest::newRow("no job") << "Proc count 2" << -1;
        QTest::newRow("empty") << "" << -1;
    }

    void rowNamedInALine()
    {
        QFETCH(QString, line);
        QFETCH(int, named);
        JobModel rows(nullptr, JobModel::Changes::Untold);
        Job *cu = makeJob("Cu.inp", "fake: ");
        Job *cu2 = makeJob("Cu_2.inp", "fake: ");
        rows.addJobs({ cu, cu2 });
        QVERIFY(cu2->workingDirectory().startsWith(cu->workingDirectory()));
        line.replace("%1", cu->workingDirectory())
            .replace("%2", cu2->workingDirectory())
            .replace("%3", cu->inputPath())
            .replace("%4", QFileInfo(cu->workingDirectory()).path());
        QCOMPARE(rows.rowNamedIn(line), named);
    }

    // A job that changes phase leaves a list of its old phase and joins one of its new.
    void phaseChangesMoveRows()
    {
        JobFilter waiting, running;
        QAbstractItemModelTester waitingTester(
            &waiting, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester runningTester(
            &running, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (JobFilter *filter : { &waiting, &running })
            filter->setJobModel(&model);
        waiting.setPhase(int(Phase::Waiting));
        running.setPhase(int(Phase::Running));
        running.setOrder(JobFilter::Order::Name);
        Job *late = makeJob("b_late.inp", "fake: --hang");
        model.addJob(late);
        QCOMPARE(names(waiting), QStringList({ "cu_waiting.inp", "b_late.inp" }));
        late->start();
        QCOMPARE(names(waiting), QStringList({ "cu_waiting.inp" }));
        QCOMPARE(names(running), QStringList({ "b_late.inp", "Fe_running.inp" }));
        late->stop();
        QTRY_COMPARE_WITH_TIMEOUT(names(running), QStringList({ "Fe_running.inp" }), runTimeout);
        QCOMPARE(model.index(7).data(JobModel::FeffTextRole).toString(), QString("F. Stopped"));
    }

    // A model read now and then tells nothing, and reads its jobs as they are.
    void untoldModelReadsTheJobsAsTheyAre()
    {
        JobModel untold(nullptr, JobModel::Changes::Untold);
        Job *job = makeJob("untold.inp", "fake: ");
        untold.addJob(job);
        QSignalSpy changes(&untold, &JobModel::dataChanged);
        job->start();
        QTRY_COMPARE_WITH_TIMEOUT(job->state(), 0, runTimeout);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(untold.index(0).data(JobModel::FeffTextRole).toString(), QString("F. Finished"));
        QCOMPARE(untold.index(0).data(JobModel::PhaseRole).toInt(), int(Phase::Finished));
    }

    // What the windows keep of a row: Show, the colour (the palette's until one is chosen)
    // and an edit of the Atoms area, which lasts until Atoms runs again.
    void viewStateOfRows()
    {
        JobModel rows;
        QAbstractItemModelTester tester(
            &rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
        Job *cif = makeJob("Cu.cif", "line one", 1);
        Job *inp = makeJob("Fe.inp", "fake: ");
        rows.addJobs({ cif, inp });
        QSignalSpy changes(&rows, &JobModel::dataChanged);
        auto lastRoles = [&changes] { return changes.last().at(2).value<QVector<int>>(); };

        QVERIFY(rows.setData(rows.index(1), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(rows.isShown(1) && !rows.isShown(0));
        QCOMPARE(lastRoles(), QVector<int> { Qt::CheckStateRole });
        rows.setShown(1, true); // no change, no signal
        QCOMPARE(changes.count(), 1);
        rows.setAllShown(true);
        QCOMPARE(changes.count(), 2);
        QCOMPARE(rows.index(0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

        QCOMPARE(rows.colour(1), 0u);
        rows.setPalette({ 0xff000000, 0xffff0000 });
        QCOMPARE(rows.index(1).data(JobModel::ColorRole).toUInt(), 0xffff0000);
        QVERIFY(rows.setData(rows.index(1), 0xff0c2238u, JobModel::ColorRole));
        QCOMPARE(rows.colour(1), 0xff0c2238u);
        QCOMPARE(lastRoles(), QVector<int> { JobModel::ColorRole });

        QVERIFY(!rows.index(0).data(JobModel::AtomsEditRole).isValid());
        QVERIFY(rows.setData(rows.index(0), QString(), JobModel::AtomsEditRole));
        QCOMPARE(rows.index(0).data(JobModel::AtomsEditRole), QVariant(QString("")));
        QVERIFY(rows.setData(rows.index(0), "typed", JobModel::AtomsEditRole));
        connect(cif, &Job::startRequested, cif, &Job::start);
        cif->start();
        QVERIFY(!rows.index(0).data(JobModel::AtomsEditRole).isValid());
        QTRY_COMPARE_WITH_TIMEOUT(cif->state(), 0, runTimeout);
        QVERIFY(rows.setData(rows.index(0), "typed again", JobModel::AtomsEditRole));
        QVERIFY(cif->setInputOptions("--lines 2"));
        QVERIFY(!rows.index(0).data(JobModel::AtomsEditRole).isValid());
        QTRY_COMPARE_WITH_TIMEOUT(cif->state(), 0, runTimeout);
        QVERIFY(rows.index(0).data(JobModel::ChiRole).value<const ChiData *>()->valid);
    }
};

QTEST_MAIN(TestJobModel)
#include "tst_jobmodel.moc"
