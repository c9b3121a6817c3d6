#include "childprocess.h"

#include "commandlines.h"
#include "supervisorreport.h"

#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <vector>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Everything the child needs, prepared before it exists: between clone and exec it may
// only make system calls.
struct SpawnPlan
{
    const char *path = nullptr;
    char **argv = nullptr;
    char **envp = nullptr;
    const char *dir = nullptr;
    int nullFd = -1;
    int outFd = -1;
    int reportFd = -1;
    pid_t parent = 0;
    sigset_t mask;
    // Written by the child, read by the parent once the child has executed or died.
    volatile int error = 0;
};

int childMain(void *arg)
{
    SpawnPlan *plan = static_cast<SpawnPlan *>(arg);
    // Handlers of this process must not run in the child: back to the defaults.
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction action;
        if (sigaction(sig, nullptr, &action) == 0 && action.sa_handler != SIG_IGN
            && action.sa_handler != SIG_DFL) {
            action.sa_handler = SIG_DFL;
            action.sa_flags = 0;
            sigaction(sig, &action, nullptr);
        }
    }
    setpgid(0, 0);
    // orbelin-run ends everything it runs when this process dies, however it dies.
    prctl(PR_SET_PDEATHSIG, SIGHUP);
    if (getppid() != plan->parent)
        _exit(127);
    // A pipe that got one of the descriptors 0 to 3 is moved above them first.
    const int firstFree = supervisorReportFd + 1;
    const int out
        = plan->outFd < firstFree ? fcntl(plan->outFd, F_DUPFD_CLOEXEC, firstFree) : plan->outFd;
    const int report = plan->reportFd < firstFree
        ? fcntl(plan->reportFd, F_DUPFD_CLOEXEC, firstFree)
        : plan->reportFd;
    if (out < 0 || report < 0 || dup2(plan->nullFd, 0) < 0 || dup2(out, 1) < 0 || dup2(out, 2) < 0
        || dup2(report, supervisorReportFd) < 0 || chdir(plan->dir) != 0) {
        plan->error = errno;
        _exit(127);
    }
    sigprocmask(SIG_SETMASK, &plan->mask, nullptr);
    execve(plan->path, plan->argv, plan->envp);
    plan->error = errno;
    _exit(127);
}

// A list of byte strings and the null-terminated array of their pointers.
struct CStrings
{
    std::vector<QByteArray> strings;
    std::vector<char *> pointers;

    explicit CStrings(const QList<QByteArray> &list) : strings(list.begin(), list.end())
    {
        for (QByteArray &s : strings)
            pointers.push_back(s.data());
        pointers.push_back(nullptr);
    }
    char **data() { return pointers.data(); }
};

int openNull()
{
    static const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    return fd;
}

QString systemError(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

int waitFor(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    return status;
}

enum class Read { Record, Later, End };

// Reads one whole record (each is written in one piece); End at the end of the pipe.
Read readRecord(int fd, SupervisorReport *record)
{
    for (;;) {
        const ssize_t n = ::read(fd, record, sizeof *record);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == ssize_t(sizeof *record))
            return Read::Record;
        return n < 0 && errno == EAGAIN ? Read::Later : Read::End;
    }
}

} // namespace

bool ChildProcess::StartError::transient() const
{
    return code == EMFILE || code == ENFILE || code == EAGAIN || code == ENOMEM;
}

ChildProcess::ChildProcess(QObject *parent)
    : QObject(parent)
{
}

// A program still running when its object goes is left to run; orbelin-run ends it when
// this process ends.
ChildProcess::~ChildProcess()
{
    closeAll();
}

QString ChildProcess::supervisorPath()
{
    static const QString found = [] {
        QStringList candidates;
        if (QCoreApplication::instance())
            candidates << QCoreApplication::applicationDirPath() + QStringLiteral("/orbelin-run");
#ifdef ORBELIN_RUN_BUILT
        // Tests and benchmarks run from elsewhere in the build tree.
        candidates << QStringLiteral(ORBELIN_RUN_BUILT);
#endif
        for (const QString &path : candidates)
            if (::access(QFile::encodeName(path).constData(), X_OK) == 0)
                return path;
        return QString();
    }();
    return found;
}

bool ChildProcess::start(const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &environment, const QString &workingDirectory,
                         StartError *error)
{
    auto fail = [error](int code, const QString &text) {
        if (error) {
            error->code = code;
            error->text = text;
        }
        return false;
    };
    if (isRunning())
        return fail(EBUSY, systemError(EBUSY));
    if (program.isEmpty())
        return fail(ENOENT, tr("No program defined"));
    const QString supervisorProgram = supervisorPath();
    if (supervisorProgram.isEmpty())
        return fail(ENOENT,
            tr("orbelin-run, which runs every outside program, is not beside %1")
                .arg(QCoreApplication::applicationFilePath()));

    const QByteArray path = QFile::encodeName(supervisorProgram);
    QList<QByteArray> argList { path, QFile::encodeName(resolveProgram(program, environment)),
        QFile::encodeName(program) };
    for (const QString &argument : arguments)
        argList << argument.toLocal8Bit();
    CStrings argv(argList);
    QList<QByteArray> envList;
    for (const QString &entry : environment.toStringList())
        envList << entry.toLocal8Bit();
    CStrings envp(envList);
    const QByteArray dir = QFile::encodeName(workingDirectory.isEmpty() ? QStringLiteral(".")
                                                                        : workingDirectory);

    const int nullFd = openNull();
    if (nullFd < 0)
        return fail(errno, systemError(errno));
    int outPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0)
        return fail(errno, systemError(errno));
    int reportPipe[2];
    if (pipe2(reportPipe, O_CLOEXEC) != 0) {
        const int code = errno;
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return fail(code, systemError(code));
    }

    SpawnPlan plan;
    plan.path = path.constData();
    plan.argv = argv.data();
    plan.envp = envp.data();
    plan.dir = dir.constData();
    plan.nullFd = nullFd;
    plan.outFd = outPipe[1];
    plan.reportFd = reportPipe[1];
    plan.parent = getpid();
    // No signal handler of ours may run in the child before it has reset them.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &plan.mask);
    static std::vector<char> stack(64 * 1024);
    const pid_t child = clone(childMain, stack.data() + stack.size(),
                              CLONE_VM | CLONE_VFORK | SIGCHLD, &plan);
    const int cloneErrno = errno;
    pthread_sigmask(SIG_SETMASK, &plan.mask, nullptr);
    ::close(outPipe[1]);
    ::close(reportPipe[1]);
    auto closeRead = [&] {
        ::close(outPipe[0]);
        ::close(reportPipe[0]);
    };

    if (child < 0) {
        closeRead();
        return fail(cloneErrno, systemError(cloneErrno));
    }
    if (plan.error != 0) {
        waitFor(child);
        closeRead();
        return fail(plan.error, systemError(plan.error));
    }
    // orbelin-run tells whether the program has been executed, or why not.
    SupervisorReport first;
    if (readRecord(reportPipe[0], &first) != Read::Record
        || first.kind != SupervisorReport::Started) {
        const int status = waitFor(child);
        closeRead();
        if (first.kind == SupervisorReport::NotStarted)
            return fail(first.value, systemError(first.value));
        return fail(EPIPE,
            WIFSIGNALED(status)
                ? tr("orbelin-run was killed by signal %1").arg(WTERMSIG(status))
                : tr("orbelin-run ended with exit code %1").arg(WEXITSTATUS(status)));
    }

    supervisor = child;
    leader = first.value;
    exit = Exit();
    ended = false;
    outputFd = outPipe[0];
    reportFd = reportPipe[0];
    fcntl(outputFd, F_SETFL, fcntl(outputFd, F_GETFL) | O_NONBLOCK);
    fcntl(reportFd, F_SETFL, fcntl(reportFd, F_GETFL) | O_NONBLOCK);
    outputNotifier = new QSocketNotifier(outputFd, QSocketNotifier::Read, this);
    connect(outputNotifier, &QSocketNotifier::activated, this, [this] { readOutput(false); });
    reportNotifier = new QSocketNotifier(reportFd, QSocketNotifier::Read, this);
    connect(reportNotifier, &QSocketNotifier::activated, this, &ChildProcess::readReport);
    return true;
}

void ChildProcess::terminate()
{
    if (supervisor > 0)
        ::kill(pid_t(supervisor), SIGTERM);
}

// Reads what the pipe holds; a flood is taken in slices so that the event loop stays live.
void ChildProcess::readOutput(bool toTheEnd)
{
    if (outputFd < 0)
        return;
    const qint64 slice = 1 << 20;
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(outputFd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, int(n));
            if (!toTheEnd && bytes.size() >= slice)
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 && outputNotifier) {
            // Every writer has gone; the end comes through the report.
            outputNotifier->setEnabled(false);
        }
        break;
    }
    if (!bytes.isEmpty())
        emit output(bytes);
}

// The last record tells how the program ended; the end of the pipe, that orbelin-run and
// with it every process of the run has gone.
void ChildProcess::readReport()
{
    if (reportFd < 0)
        return;
    SupervisorReport record;
    Read got;
    while ((got = readRecord(reportFd, &record)) == Read::Record) {
        if (record.kind == SupervisorReport::Exited || record.kind == SupervisorReport::Killed) {
            ended = true;
            exit.crashed = record.kind == SupervisorReport::Killed;
            exit.signal = exit.crashed ? record.value : 0;
            exit.exitCode = exit.crashed ? -1 : record.value;
            exit.leftProcesses = record.outlived != 0;
        }
    }
    if (got == Read::Later)
        return;
    const int status = waitFor(pid_t(supervisor));
    if (!ended) {
        // orbelin-run itself was killed: its program was killed with it.
        exit.crashed = true;
        exit.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        exit.exitCode = -1;
    }
    // Output written before the end is still in the pipe: deliver it first.
    readOutput(true);
    closeAll();
    emit finished(exit);
}

void ChildProcess::closeAll()
{
    delete outputNotifier;
    outputNotifier = nullptr;
    delete reportNotifier;
    reportNotifier = nullptr;
    if (outputFd >= 0)
        ::close(outputFd);
    if (reportFd >= 0)
        ::close(reportFd);
    outputFd = reportFd = -1;
    supervisor = -1;
    leader = -1;
}
