#include "childprocess.h"

#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <vector>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
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
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != plan->parent)
        _exit(127);
    if (dup2(plan->nullFd, 0) < 0 || dup2(plan->outFd, 1) < 0 || dup2(plan->outFd, 2) < 0
        || chdir(plan->dir) != 0) {
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

// As a shell finds a program named without a directory: on the child's PATH, then ours.
QString resolveProgram(const QString &program, const QProcessEnvironment &environment)
{
    if (program.contains(QLatin1Char('/')))
        return program;
    const QStringList childPath = environment.value("PATH").split(':', Qt::SkipEmptyParts);
    QString found = QStandardPaths::findExecutable(program, childPath);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? program : found;
}

int openNull()
{
    static const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    return fd;
}

int pidfdOpen(pid_t pid)
{
#ifdef SYS_pidfd_open
    return int(syscall(SYS_pidfd_open, pid, 0));
#else
    Q_UNUSED(pid)
    errno = ENOSYS;
    return -1;
#endif
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

// A program still running when its object goes is left to run; the kernel ends it when
// this process ends.
ChildProcess::~ChildProcess()
{
    closeAll();
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
        return fail(EBUSY, QString::fromLocal8Bit(std::strerror(EBUSY)));
    if (program.isEmpty())
        return fail(ENOENT, tr("No program defined"));

    const QByteArray path = QFile::encodeName(resolveProgram(program, environment));
    QList<QByteArray> argList{QFile::encodeName(program)};
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
        return fail(errno, QString::fromLocal8Bit(std::strerror(errno)));
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return fail(errno, QString::fromLocal8Bit(std::strerror(errno)));

    SpawnPlan plan;
    plan.path = path.constData();
    plan.argv = argv.data();
    plan.envp = envp.data();
    plan.dir = dir.constData();
    plan.nullFd = nullFd;
    plan.outFd = pipeFds[1];
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
    ::close(pipeFds[1]);

    if (child < 0) {
        ::close(pipeFds[0]);
        return fail(cloneErrno, QString::fromLocal8Bit(std::strerror(cloneErrno)));
    }
    if (plan.error != 0) {
        int status;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        ::close(pipeFds[0]);
        const int code = plan.error;
        return fail(code, QString::fromLocal8Bit(std::strerror(code)));
    }

    pid = child;
    outputFd = pipeFds[0];
    fcntl(outputFd, F_SETFL, fcntl(outputFd, F_GETFL) | O_NONBLOCK);
    outputNotifier = new QSocketNotifier(outputFd, QSocketNotifier::Read, this);
    connect(outputNotifier, &QSocketNotifier::activated, this, [this] { readOutput(false); });
    exitFd = pidfdOpen(child);
    if (exitFd >= 0) {
        fcntl(exitFd, F_SETFD, FD_CLOEXEC);
        exitNotifier = new QSocketNotifier(exitFd, QSocketNotifier::Read, this);
        connect(exitNotifier, &QSocketNotifier::activated, this, &ChildProcess::reap);
    } else {
        // A kernel without process file descriptors: look now and then.
        exitPoll = new QTimer(this);
        connect(exitPoll, &QTimer::timeout, this, &ChildProcess::reap);
        exitPoll->start(20);
    }
    return true;
}

void ChildProcess::signalGroup(int signal)
{
    if (pid > 0)
        ::kill(-pid_t(pid), signal);
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
            // Every writer has gone; the end comes through the exit report.
            outputNotifier->setEnabled(false);
        }
        break;
    }
    if (!bytes.isEmpty())
        emit output(bytes);
}

void ChildProcess::reap()
{
    if (pid <= 0)
        return;
    int status = 0;
    const pid_t done = waitpid(pid_t(pid), &status, WNOHANG);
    if (done == 0 || (done < 0 && errno == EINTR))
        return;
    // Output written before the end is still in the pipe: deliver it first.
    readOutput(true);
    closeAll();
    const bool crashed = done > 0 && WIFSIGNALED(status);
    const int code = done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    emit finished(code, crashed, crashed ? WTERMSIG(status) : 0);
}

void ChildProcess::closeAll()
{
    delete outputNotifier;
    outputNotifier = nullptr;
    delete exitNotifier;
    exitNotifier = nullptr;
    delete exitPoll;
    exitPoll = nullptr;
    if (outputFd >= 0)
        ::close(outputFd);
    if (exitFd >= 0)
        ::close(exitFd);
    outputFd = exitFd = -1;
    pid = -1;
}
