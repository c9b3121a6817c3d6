// Whatever the inputs and the outside programs do, the built program keeps running, says in
// its log what went wrong where the user must act, lets the other jobs go on and leaves the
// user's files as they were. Each case runs the program with -batch and the stand-ins.
#include "batchprocess.h"
#include "testutil.h"

#include <QDirIterator>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace testutil;

namespace {

using Files = QMap<QString, QByteArray>;

// Every file under dir by relative path, with its bytes.
Files filesUnder(const QString &dir)
{
    Files files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), readFile(path));
    }
    return files;
}

// The report line of the job for input (relative to the run directory), split in fields.
QStringList reportOf(const BatchResult &r, const QString &dir, const QString &input)
{
    for (const QString &line : r.lines)
        if (line.startsWith(dir + "/" + input + "\t"))
            return line.split('\t');
    return {};
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    int runCount = 0;

    // A run directory with a configuration for the stand-ins; %DIR% in extra stands for it.
    QString freshRun(const QString &extra = QString(), int maxProc = 2)
    {
        const QString dir = tmp.filePath(QString("run%1").arg(++runCount));
        QDir().mkpath(dir + "/00-Cif");
        QDir().mkpath(dir + "/00-Inp");
        QString config = QString("MAX_PROC %1\nATOMS_EXE %2\nFEFF_EXE %3\n")
                             .arg(maxProc)
                             .arg(FAKE_ATOMS, FAKE_FEFF);
        config += QString(extra).replace("%DIR%", dir);
        writeFile(dir + "/my.cfg", config.toUtf8());
        return dir;
    }

    static BatchResult runIn(const QString &dir, const QString &config = "my.cfg",
                             const QStringList &more = {})
    {
        return runBatch(dir, QStringList{"-batch", "-c", config, "-e"} + more, 300000);
    }

    QString chiFile(const QString &name) const { return tmp.filePath("chi/" + name); }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        QVERIFY(writeFile(chiFile("empty.dat"), ""));
        QByteArray binary(65536, '\0');
        for (int i = 0; i < binary.size(); ++i)
            binary[i] = char((i * 7919 + 13) % 251);
        QVERIFY(writeFile(chiFile("binary.dat"), binary));
        QByteArray million = " big\n      k          chi\n";
        million.reserve(26 * 1000000);
        for (int i = 0; i < 1000000; ++i)
            million += QByteArray::number(i * 2e-5, 'f', 5) + " " + QByteArray::number((i % 7) * 1e-3) + "\n";
        QVERIFY(writeFile(chiFile("million.dat"), million));
        QVERIFY(writeFile(chiFile("nonfinite.dat"), "k chi\n0 NaN\n0.05 0.1\ninf 0.2\n0.1 -inf\n0.15 -0.1\n"));
        QByteArray crlf = "k chi mag phase\r\n";
        for (int i = 0; i < 401; ++i)
            crlf += QByteArray::number(i * 0.05) + " 0.01 0.01 0\r\n";
        QVERIFY(writeFile(chiFile("crlf.dat"), crlf));
    }

    // A program that cannot run at all: every job it serves ends with a log line naming
    // it, jobs that do not need it run as ever.
    void programCannotRun_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<bool>("feffWorks");

        const char *missing = "/nonexistent/program";
        for (const char *role : {"FEFF", "ATOMS"}) {
            const bool feffWorks = QByteArray(role) == "ATOMS";
            auto row = [&](const char *what) -> QTestData & { return QTest::addRow("%s %s", role, what); };
            row("missing") << QString("%1_EXE %2\n").arg(role, missing)
                           << QString("Can not start %1 : ").arg(missing) << feffWorks;
            row("not executable") << QString("%1_EXE %DIR%/plain.txt\n").arg(role)
                                  << QString("Can not start %DIR%/plain.txt : ") << feffWorks;
            row("a directory") << QString("%1_EXE %DIR%/00-Cif\n").arg(role)
                               << QString("Can not start %DIR%/00-Cif : ") << feffWorks;
            row("empty name") << QString("%1_EXE \"\"\n").arg(role)
                              << QString("Can not start  : No program defined") << feffWorks;
        }
    }

    void programCannotRun()
    {
        QFETCH(QString, config);
        QFETCH(QString, logged);
        QFETCH(bool, feffWorks);
        const QString dir = freshRun(config);
        QVERIFY(writeFile(dir + "/plain.txt", "not a program\n"));
        QVERIFY(writeFile(dir + "/00-Cif/c.cif", "cif\n"));
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "inp\n"));
        const Files before = filesUnder(dir);

        const BatchResult r = runIn(dir);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.lines.size(), 2);
        QVERIFY2(r.errors.contains(QString(logged).replace("%DIR%", dir)), qPrintable(r.errors));
        QCOMPARE(reportOf(r, dir, "00-Cif/c.cif").value(3), QString("0"));
        QCOMPARE(reportOf(r, dir, "00-Inp/a.inp").value(3), QString(feffWorks ? "401" : "0"));
        for (auto it = before.begin(); it != before.end(); ++it)
            QCOMPARE(readFile(dir + "/" + it.key()), it.value());
    }

    // One job whose FEFF run or its chi.dat goes wrong, beside one that goes right.
    void oneJobGoesWrong_data()
    {
        QTest::addColumn<QString>("directive");
        QTest::addColumn<QString>("logged"); // empty: nothing the user must act on
        QTest::addColumn<int>("points");

        QTest::newRow("crash in the middle of its output")
            << "--lines 100 --crash-mid" << "FeFF crashed in %JOB%" << 0;
        QTest::newRow("killed by a signal") << "--lines 10 --kill" << "FeFF crashed in %JOB%" << 0;
        // A result counts only from a run that ended well.
        QTest::newRow("non-zero exit after its results")
            << "--exit 3" << "FeFF ended with exit code 3 in %JOB%" << 0;
        QTest::newRow("killed after 150 rows of chi.dat")
            << "--cut-chi 150" << "FeFF crashed in %JOB%" << 0;
        QTest::newRow("100 MB of output") << "--lines 1250000" << QString() << 401;
        QTest::newRow("binary garbage and invalid UTF-8")
            << "--garbage 300000" << QString() << 401;
        QTest::newRow("output without a line break") << "--unbroken 5000000" << QString() << 401;
        QTest::newRow("chi.dat empty")
            << "--copy-chi " + chiFile("empty.dat") << "chi.dat in %JOB% holds no data" << 0;
        QTest::newRow("chi.dat binary")
            << "--copy-chi " + chiFile("binary.dat") << "chi.dat in %JOB% holds no data" << 0;
        QTest::newRow("chi.dat of a million rows")
            << "--copy-chi " + chiFile("million.dat") << QString() << 1000000;
        // Rows left out would leave a gap that looks like data.
        QTest::newRow("chi.dat with NaN and infinite values")
            << "--copy-chi " + chiFile("nonfinite.dat")
            << "%JOB%/chi.dat holds 3 rows with values that are not finite numbers" << 0;
        // FEFF 6 stopped by the Fortran runtime exits with 2; its own line says where.
        QTest::newRow("Fortran runtime error")
            << "--say At_line_123_of_file_pathsd.f --exit 2"
            << "FeFF in %JOB% : At line 123 of file pathsd.f" << 0;
        QTest::newRow("chi.dat that cannot be opened") << "--chi-dir"
                                                       << "Can not open %JOB%/chi.dat : " << 0;
        QTest::newRow("chi.dat with CR LF line ends")
            << "--copy-chi " + chiFile("crlf.dat") << QString() << 401;
        QTest::newRow("chi.dat with a heading but no rows")
            << "--empty-chi" << "chi.dat in %JOB% holds no data" << 0;
        QTest::newRow("no chi.dat") << "--no-chi" << "FeFF wrote no new chi.dat in %JOB%" << 0;
    }

    void oneJobGoesWrong()
    {
        QFETCH(QString, directive);
        QFETCH(QString, logged);
        QFETCH(int, points);
        const QString dir = freshRun();
        QVERIFY(writeFile(dir + "/00-Inp/bad.inp", "fake: " + directive.toUtf8() + "\n"));
        QVERIFY(writeFile(dir + "/00-Inp/good.inp", "fine\n"));
        QVERIFY(writeFile(dir + "/00-Inp/later.inp", "fine\n"));
        const Files before = filesUnder(dir + "/00-Inp");

        const BatchResult r = runIn(dir);
        QCOMPARE(r.exitCode, points > 0 ? 0 : 1);
        const QStringList bad = reportOf(r, dir, "00-Inp/bad.inp");
        QCOMPARE(bad.value(2), QString(points > 0 ? "F. Finished" : "F. Failed"));
        QCOMPARE(bad.value(3), QString::number(points));
        for (const char *other : {"00-Inp/good.inp", "00-Inp/later.inp"})
            QCOMPARE(reportOf(r, dir, other).value(3), QString("401"));
        if (!logged.isEmpty())
            QVERIFY2(r.errors.contains(QString(logged).replace("%JOB%", bad.value(4))),
                     qPrintable(r.errors.right(2000)));
        QCOMPARE(filesUnder(dir + "/00-Inp"), before);
    }

    // Nothing a program starts outlives its run or Orbelin, however it was started and
    // whatever it does: a run is over when every process of it has gone.
    void nothingOutlivesTheRun_data()
    {
        QTest::addColumn<QString>("config"); // %DIR%: the run
        QTest::addColumn<QString>("directive");
        QTest::addColumn<bool>("killOrbelin"); // by SIGKILL, once FEFF's child runs
        QTest::addColumn<QString>("word"); // the job's result
        QTest::addColumn<QString>("logged"); // %JOB%: its working directory

        const QString leftAlive = "FeFF ended in %JOB% while processes it started still ran";
        QTest::newRow("a child writes on after FEFF ended")
            << QString() << "--spawn-child" << false << "crashed" << leftAlive;
        QTest::newRow("a child in a session of its own writes on")
            << QString() << "--spawn-child --setsid" << false << "crashed" << leftAlive;
        QTest::newRow("time limit, a child slow to end")
            << "FEFF_TIMEOUT 1\n"
            << "--hang --spawn-child --ignore-term" << false << "timeout"
            << "FeFF stopped after its time limit of 1 s in %JOB%";
        QTest::newRow("Orbelin killed, FEFF behind a shell that does not exec")
            << "FEFF_EXE %DIR%/wrapper.sh\n"
            << "--hang --spawn-child --setsid --ignore-term" << true << QString() << QString();
    }

    void nothingOutlivesTheRun()
    {
        QFETCH(QString, config);
        QFETCH(QString, directive);
        QFETCH(bool, killOrbelin);
        QFETCH(QString, word);
        QFETCH(QString, logged);
        const QString dir = freshRun(config);
        const QString events = dir + "/events.log";
        QVERIFY(writeFile(dir + "/wrapper.sh",
            QByteArray("#!/bin/sh\n") + FAKE_FEFF + " \"$@\"\necho the wrapper goes on\n"));
        QVERIFY(QFile::setPermissions(dir + "/wrapper.sh", QFile::ReadOwner | QFile::ExeOwner));
        QVERIFY(writeFile(dir + "/00-Inp/a.inp",
            "fake: " + directive.toUtf8() + " --log " + events.toUtf8() + "\n"));
        QVERIFY(writeFile(dir + "/00-Inp/b.inp", "fine\n"));

        QProcess orbelin;
        startBatch(orbelin, dir, { "-batch", "-c", "my.cfg", "-e" });
        if (killOrbelin) {
            QTRY_VERIFY_WITH_TIMEOUT(readFile(events).contains("child"), 20000);
            ::kill(pid_t(orbelin.processId()), SIGKILL);
        }
        const BatchResult r = finishBatch(orbelin, 60000);
        if (!killOrbelin) {
            QCOMPARE(r.exitCode, 1);
            QCOMPARE(reportOf(r, dir, "00-Inp/a.inp").value(5), word);
            QCOMPARE(reportOf(r, dir, "00-Inp/b.inp").value(3), QString("401"));
            QVERIFY2(r.errors.contains(QString(logged).replace("%JOB%", dir + "/00-Res/a")),
                qPrintable(r.errors));
        }
        const QList<QByteArray> lines = readFile(events).split('\n');
        QVERIFY(readFile(events).contains("child"));
        for (const QByteArray &line : lines) {
            const pid_t pid = pid_t(line.split(' ').value(1).toInt());
            if (pid > 0)
                QTRY_VERIFY2_WITH_TIMEOUT(::kill(pid, 0) == -1 && errno == ESRCH, line.constData(),
                    killOrbelin ? 5000 : 0);
        }
    }

    // An input's .args file is one line of options in a regular file of its own: a link to
    // another file (a private one) is not followed, and no word of a file that is not used
    // reaches the log or the converter's command line.
    void inputOptionsNotUsed_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("why");
        QTest::newRow("a link to a private file") << "link"
                                                  << "a symbolic link, which is not followed";
        QTest::newRow("two lines") << "lines"
                                   << "more than one line of options";
    }

    void inputOptionsNotUsed()
    {
        QFETCH(QString, kind);
        QFETCH(QString, why);
        const QString dir = freshRun();
        const QString input = dir + "/00-Cif/c.cif";
        QVERIFY(writeFile(input, "cif\n"));
        // The stand-in refuses any --no-such option: used, the word would fail the job.
        const QByteArray secret = "--no-such-secret-word";
        if (kind == "link") {
            QVERIFY(writeFile(dir + "/private.txt", secret + "\n"));
            QVERIFY(QFile::setPermissions(dir + "/private.txt", QFile::ReadOwner));
            QVERIFY(QFile::link(dir + "/private.txt", input + ".args"));
        } else {
            QVERIFY(writeFile(input + ".args", "--lines 2\n" + secret + "\n"));
        }
        const BatchResult r = runIn(dir);
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        QCOMPARE(reportOf(r, dir, "00-Cif/c.cif").value(3), QString("401"));
        QVERIFY2(
            r.errors.contains(QString("Can not read %1.args : %2 ; the converter runs without it")
                                  .arg(input, why)),
            qPrintable(r.errors));
        QVERIFY(!r.errors.contains(secret));
    }

    // Where the results cannot go, the jobs say so; the user's file in the way stays.
    void resultsCannotBeWritten_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("blocker"); // a file of the user's, relative to the run
        QTest::addColumn<QString>("logged");
        QTest::addColumn<int>("points");

        QTest::newRow("results directory is a file")
            << "RES_FILES /results\n" << "results" << "Can not create the folder %DIR%/results" << -1;
        QTest::newRow("a file has the job's name")
            << QString() << "00-Res/a" << QString() << 401;
    }

    void resultsCannotBeWritten()
    {
        QFETCH(QString, config);
        QFETCH(QString, blocker);
        QFETCH(QString, logged);
        QFETCH(int, points);
        const QString dir = freshRun(config);
        QVERIFY(writeFile(dir + "/" + blocker, "the user's own file\n"));
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "inp\n"));

        const BatchResult r = runIn(dir);
        // A results folder that cannot be made stops the run before any job (status 2).
        QCOMPARE(r.exitCode, points < 0 ? 2 : 0);
        QCOMPARE(r.lines.size(), points < 0 ? 0 : 1);
        if (points >= 0)
            QCOMPARE(reportOf(r, dir, "00-Inp/a.inp").value(3), QString::number(points));
        QVERIFY2(r.errors.contains(QString(logged).replace("%DIR%", dir)), qPrintable(r.errors));
        QCOMPARE(readFile(dir + "/" + blocker), QByteArray("the user's own file\n"));
    }

    void resultsDirectoryNotWritable()
    {
        if (geteuid() == 0)
            QSKIP("permissions do not stop root");
        const QString dir = freshRun();
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "inp\n"));
        QVERIFY(QDir().mkpath(dir + "/00-Res"));
        QVERIFY(QFile::setPermissions(dir + "/00-Res", QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const BatchResult r = runIn(dir);
        QFile::setPermissions(dir + "/00-Res", QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                   | QFileDevice::ExeOwner);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.errors.contains("Can not write into the results folder " + dir + "/00-Res"),
                 qPrintable(r.errors));
    }

    // An input taken away while its job waits: that job fails with a log line, the one
    // running goes on.
    void inputGoneWhileQueued_data()
    {
        QTest::addColumn<bool>("replaceByDirectory");
        QTest::newRow("deleted") << false;
        QTest::newRow("made unreadable") << true;
    }

    void inputGoneWhileQueued()
    {
        QFETCH(bool, replaceByDirectory);
        const QString dir = freshRun(QString(), 1);
        QVERIFY(writeFile(dir + "/00-Cif/a.cif", "fake: --delay-ms 1500\n"));
        QVERIFY(writeFile(dir + "/00-Cif/b.cif", "cif\n"));
        QVERIFY(writeFile(dir + "/00-Inp/c.inp", "inp\n"));

        QProcess orbelin;
        startBatch(orbelin, dir, {"-batch", "-c", "my.cfg", "-e"});
        QVERIFY(orbelin.waitForStarted());
        QThread::msleep(700); // a's converter is still running, b waits
        QVERIFY(QFile::remove(dir + "/00-Cif/b.cif"));
        if (replaceByDirectory)
            QVERIFY(QDir().mkpath(dir + "/00-Cif/b.cif"));
        const BatchResult r = finishBatch(orbelin, 60000);

        // b's converter fails, so no FEFF runs for b.
        QVERIFY2(r.exitCode == 1, qPrintable(r.errors));
        QCOMPARE(r.lines.size(), 3);
        QCOMPARE(reportOf(r, dir, "00-Cif/b.cif").mid(1, 3), QStringList({"A. Failed", "F. Not Running", "0"}));
        QCOMPARE(reportOf(r, dir, "00-Cif/a.cif").value(3), QString("401"));
        QCOMPARE(reportOf(r, dir, "00-Inp/c.inp").value(3), QString("401"));
        QVERIFY2(r.errors.contains("Atoms ended with exit code 2 in " + dir + "/00-Res/b"),
                 qPrintable(r.errors));
    }

    // Names a shell or an argument parser could trip over, and names that meet.
    void awkwardNames()
    {
        const QString dir = freshRun();
        const QStringList names = {"a b.inp", QString::fromUtf8("銅 Cu.inp"), "-dash.inp", "it's.inp",
                                   "q\"uote.inp", "Cu.inp", "tab\there.inp", "new\nline.inp",
                                   "back\\slash.inp"};
        for (const QString &name : names)
            QVERIFY(writeFile(dir + "/00-Inp/" + name, "inp\n"));
        const QStringList cifs = {"-dash.cif", "a b.cif", "Cu.cif"};
        for (const QString &name : cifs)
            QVERIFY(writeFile(dir + "/00-Cif/" + name, "cif\n"));
        const Files before = filesUnder(dir);

        const BatchResult r = runIn(dir);
        QVERIFY2(r.exitCode == 0, qPrintable(r.errors));
        QCOMPARE(r.lines.size(), names.size() + cifs.size());
        QSet<QString> workDirs;
        for (const QString &line : r.lines) {
            const QStringList fields = line.split('\t');
            QCOMPARE(fields.value(3), QString("401"));
            QString workDir = fields.value(4);
            workDir.replace("\\t", "\t").replace("\\n", "\n").replace("\\\\", "\\");
            workDirs.insert(workDir);
            QVERIFY2(QFile::exists(workDir + "/chi.dat"), qPrintable(workDir));
        }
        QCOMPARE(workDirs.size(), r.lines.size()); // Cu.cif and Cu.inp each have their own
        // One line per job, whatever the name: a tab, a line break, a backslash written out.
        QVERIFY(r.lines.filter(dir + "/00-Inp/tab\\there.inp\t").size() == 1);
        QVERIFY(r.lines.filter(dir + "/00-Inp/new\\nline.inp\t").size() == 1);
        QVERIFY(r.lines.filter(dir + "/00-Inp/back\\\\slash.inp\t").size() == 1);
        QVERIFY(workDirs.contains(dir + "/00-Res/Cu") && workDirs.contains(dir + "/00-Res/Cu_2"));
        for (auto it = before.begin(); it != before.end(); ++it)
            QCOMPARE(readFile(dir + "/" + it.key()), it.value());
    }

    // Names that are not UTF-8 (Latin-1, Shift-JIS bytes from a Windows share) can not be
    // opened through Qt: each is named, with its bytes written out, as an input that became
    // no job; the others run.
    void namesThatAreNotUtf8()
    {
        const QString dir = freshRun();
        QVERIFY(writeFile(dir + "/00-Inp/ok.inp", "fine\n"));
        const QByteArray inp = QFile::encodeName(dir + "/00-Inp/");
        for (const QByteArray &name :
            { QByteArray("caf\xe9.inp"), QByteArray("\x83\x65\x83\x58\x83\x67.inp") }) {
            const int fd = ::open((inp + name).constData(), O_WRONLY | O_CREAT, 0644);
            QVERIFY(fd >= 0 && ::write(fd, "x\n", 2) == 2 && ::close(fd) == 0);
        }
        const BatchResult r = runIn(dir);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.lines.size(), 1);
        QCOMPARE(reportOf(r, dir, "00-Inp/ok.inp").value(3), QString("401"));
        for (const QString &shown : { QString("caf\\xE9.inp"), QString("\\x83e\\x83X\\x83g.inp") })
            QVERIFY2(r.errors.contains(
                         dir + "/00-Inp/" + shown + " has a name that is not UTF-8: no job for it"),
                qPrintable(r.errors));
        QVERIFY(r.errors.contains("1 of 1 jobs produced chi data; 2 inputs became no job"));
    }

    void thousandInputsAtOnce()
    {
        const QString dir = freshRun(QString(), 6);
        for (int i = 0; i < 1000; ++i)
            QVERIFY(writeFile(dir + QString("/00-Inp/s%1.inp").arg(i, 4, 10, QChar('0')), "inp\n"));
        const BatchResult r = runIn(dir, "my.cfg", {"-debug"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines.size(), 1000);
        QSet<QString> workDirs;
        for (const QString &line : r.lines) {
            QCOMPARE(line.split('\t').value(3), QString("401"));
            workDirs.insert(line.split('\t').value(4));
        }
        QCOMPARE(workDirs.size(), 1000);
        QVERIFY(r.errors.contains("1000 of 1000 jobs produced chi data"));
        QVERIFY(!r.errors.contains("Proc count 7") && !r.errors.contains("Proc count -1"));
    }

    // A configuration file that is no configuration: the program reads what it can and
    // runs; one it cannot read at all stops the batch before it runs on the defaults.
    void unusableConfiguration_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("logged");
        QTest::newRow("a directory") << "directory" << "Can not read the configuration file odd.cfg";
        QTest::newRow("binary, then settings") << "binary" << "Conifg File";
        QTest::newRow("10 MB long, then settings") << "long" << "Conifg File";
    }

    void unusableConfiguration()
    {
        QFETCH(QString, kind);
        QFETCH(QString, logged);
        const QString dir = freshRun();
        const QByteArray settings = readFile(dir + "/my.cfg");
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "inp\n"));
        if (kind == "directory") {
            QVERIFY(QDir().mkpath(dir + "/odd.cfg"));
        } else {
            QByteArray bytes;
            if (kind == "binary")
                for (int i = 0; i < 100000; ++i)
                    bytes += char((i * 31 + 7) % 256);
            else
                while (bytes.size() < 10 * 1024 * 1024)
                    bytes += "KEY_" + QByteArray::number(bytes.size()) + " \"some value\" # note\n";
            QVERIFY(writeFile(dir + "/odd.cfg", bytes + "\n" + settings));
        }

        const BatchResult r = runIn(dir, "odd.cfg", {"-debug"});
        QVERIFY2(r.errors.contains(logged), qPrintable(r.errors.left(2000)));
        const bool unreadable = kind == "directory";
        QCOMPARE(r.exitCode, unreadable ? 2 : 0);
        QCOMPARE(r.lines.size(), unreadable ? 0 : 1);
        if (!unreadable)
            QCOMPARE(reportOf(r, dir, "00-Inp/a.inp").value(3), QString("401"));
    }

    // A second run in the same folders after the user or the world changed something: no
    // result of another input is reported for this one, and no file of the user's is lost.
    void secondRunAfter_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("logged"); // %DIR%: the run, %JOB%: a's working directory
        QTest::addColumn<int>("points");     // of a's job; -1: no job for a
        QTest::newRow("input replaced by a directory")
            << "directory" << 1 << "%DIR%/00-Inp/a.inp is not a regular file: no job for it" << -1;
        QTest::newRow("input a dangling link")
            << "dangling" << 1 << "%DIR%/00-Inp/a.inp is a link to nothing: no job for it" << -1;
        QTest::newRow("feff.inp read-only, input changed")
            << "read-only" << 1 << "Can not open feff input file : %JOB%/feff.inp to write." << 0;
        QTest::newRow("feff.inp edited by the user")
            << "edited" << 0 << "Kept the edited feff.inp of %JOB% as %JOB%/feff.inp.~1~" << 401;
        QTest::newRow("a FIFO, a device and a huge file beside it")
            << "specials" << 1 << "%DIR%/00-Inp/fifo.inp is not a regular file: no job for it" << 401;
    }

    void secondRunAfter()
    {
        QFETCH(QString, change);
        QFETCH(int, exitCode);
        QFETCH(QString, logged);
        QFETCH(int, points);
        const QString dir = freshRun();
        const QString input = dir + "/00-Inp/a.inp";
        const QString job = dir + "/00-Res/a";
        QVERIFY(writeFile(input, "fake: --points 401\n"));
        QVERIFY(writeFile(dir + "/00-Inp/b.inp", "fine\n"));
        QCOMPARE(runIn(dir).exitCode, 0);
        const QByteArray firstInp = readFile(job + "/feff.inp");
        const QByteArray firstChi = readFile(job + "/chi.dat");
        const QByteArray edited = firstInp + "* the user's edit\n";

        if (change == "directory") {
            QVERIFY(QFile::remove(input) && QDir().mkpath(input));
        } else if (change == "dangling") {
            QVERIFY(QFile::remove(input) && QFile::link(dir + "/nowhere.inp", input));
        } else if (change == "read-only") {
            QVERIFY(writeFile(input, "fake: --points 50\n"));
            QVERIFY(QFile::setPermissions(job + "/feff.inp", QFile::ReadOwner | QFile::ReadGroup));
        } else if (change == "edited") {
            QVERIFY(writeFile(job + "/feff.inp", edited));
        } else if (change == "specials") {
            QVERIFY(QProcess::execute("mkfifo", {dir + "/00-Inp/fifo.inp"}) == 0);
            QVERIFY(QFile::link("/dev/zero", dir + "/00-Inp/zero.inp"));
            QFile huge(dir + "/00-Inp/huge.inp");
            QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize(qint64(1) << 30));
        }
        const BatchResult r = runIn(dir);
        QFile::setPermissions(job + "/feff.inp", QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.errors.contains(QString(logged).replace("%DIR%", dir).replace("%JOB%", job)),
                 qPrintable(r.errors));
        QCOMPARE(reportOf(r, dir, "00-Inp/a.inp").value(3), points < 0 ? QString() : QString::number(points));
        QCOMPARE(reportOf(r, dir, "00-Inp/b.inp").value(3), QString("401"));
        if (change == "edited") {
            QCOMPARE(readFile(job + "/feff.inp.~1~"), edited);
            QCOMPARE(readFile(job + "/chi.dat.~1~"), firstChi);
            QCOMPARE(readFile(job + "/feff.inp"), readFile(input));
        } else if (change == "specials") {
            for (const char *name : {"zero.inp is not a regular file", "huge.inp is larger than 64 MB"})
                QVERIFY2(r.errors.contains(name), name);
        } else {
            // Nothing ran for a: its earlier files are as they were.
            QCOMPARE(readFile(job + "/feff.inp"), firstInp);
            QCOMPARE(readFile(job + "/chi.dat"), firstChi);
        }
    }

    // A full disk: the feff.inp that does not fit is not cut short and run, it is named
    // with its cause; what fits runs.
    void fullDisk()
    {
        if (geteuid() != 0)
            QSKIP("mounting a small file system needs root");
        const QString dir = freshRun("RES_FILES /small\n");
        const QString small = dir + "/small";
        QVERIFY(QDir().mkpath(small));
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", small}) != 0)
            QSKIP("no tmpfs could be mounted here");
        QByteArray big = "fake: --points 401\n";
        while (big.size() < 1500 * 1024)
            big += "* padding that makes this input larger than the file system\n";
        QVERIFY(writeFile(dir + "/00-Inp/big.inp", big));
        QVERIFY(writeFile(dir + "/00-Inp/small.inp", "fine\n"));
        const BatchResult r = runIn(dir);
        QProcess::execute("umount", {small});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.errors.contains("Can not write " + small + "/big/feff.inp : No space left on device"),
                 qPrintable(r.errors));
        QCOMPARE(reportOf(r, dir, "00-Inp/big.inp").value(3), QString("0"));
        QCOMPARE(reportOf(r, dir, "00-Inp/small.inp").value(3), QString("401"));
    }

    // One program per results folder: a second refuses, naming the first, which goes on.
    void secondInstanceRefused()
    {
        const QString dir = freshRun();
        const QString events = dir + "/events.log";
        QVERIFY(writeFile(dir + "/00-Inp/a.inp", "fake: --delay-ms 1500 --log " + events.toUtf8() + "\n"));
        QProcess first;
        startBatch(first, dir, {"-batch", "-c", "my.cfg", "-e"});
        QTRY_VERIFY_WITH_TIMEOUT(readFile(events).startsWith("start"), 20000);
        const BatchResult second = runIn(dir);
        QCOMPARE(second.exitCode, 4);
        QVERIFY2(second.errors.contains(QString("The results folder %1/00-Res is in use by another "
                                                "Orbelin (process %2)")
                                            .arg(dir)
                                            .arg(first.processId())),
                 qPrintable(second.errors));
        QVERIFY(second.lines.isEmpty());
        const BatchResult r = finishBatch(first, 60000);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(reportOf(r, dir, "00-Inp/a.inp").value(3), QString("401"));
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
