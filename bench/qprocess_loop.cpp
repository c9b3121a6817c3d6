// The least a job manager can do: start one program once in every subdirectory of a
// root directory, at most P at a time, and wait for all of them.
//   bench_qprocess_loop qprocess P PROGRAM ROOT   QProcess objects and an event loop,
//                                                 output merged and read on readyRead
//   bench_qprocess_loop spawn P PROGRAM ROOT      posix_spawn and waitpid, output to /dev/null
//   bench_qprocess_loop supervised P PROGRAM ROOT the same, each program run under
//                                                 orbelin-run, as Orbelin runs them
// Exit status: 0 when every run ended with status 0, 1 otherwise (the caller checks
// the chi.dat files afterwards, outside the timed span).
#include "benchutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStringList>

#include <map>

namespace {

class QProcessLoop : public QObject
{
public:
    QProcessLoop(const QString &programPath, const QStringList &jobDirs, int maxRunning)
        : program(programPath)
        , dirs(jobDirs)
        , limit(maxRunning)
    {
    }

    void startMore()
    {
        while (running < limit && next < dirs.size()) {
            auto *proc = new QProcess(this);
            proc->setProgram(program);
            proc->setProcessChannelMode(QProcess::MergedChannels);
            proc->setWorkingDirectory(dirs.at(next++));
            connect(proc, &QProcess::readyRead, proc, [proc] { proc->readAll(); });
            connect(proc, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
                    [this, proc](int code, QProcess::ExitStatus status) {
                        proc->readAll();
                        if (status != QProcess::NormalExit || code != 0)
                            ++failures;
                        proc->deleteLater();
                        --running;
                        ++done;
                        startMore();
                        if (done == dirs.size())
                            QCoreApplication::exit(failures ? 1 : 0);
                    });
            connect(proc, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
                if (e == QProcess::FailedToStart) {
                    ++failures;
                    --running;
                    ++done;
                    if (done == dirs.size())
                        QCoreApplication::exit(1);
                }
            });
            ++running;
            proc->start(QIODevice::ReadOnly);
        }
    }

    int failures = 0;

private:
    QString program;
    QStringList dirs;
    int limit;
    int next = 0;
    int running = 0;
    int done = 0;
};

// supervisor: orbelin-run's path, or empty to start the program itself.
int spawnLoop(const std::string &program, const QStringList &dirs, int limit,
              const std::string &supervisor = std::string())
{
    std::map<pid_t, int> children;
    int next = 0;
    int failures = 0;
    while (next < dirs.size() || !children.empty()) {
        while (int(children.size()) < limit && next < dirs.size()) {
            const std::string dir = dirs.at(next).toStdString();
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
            char *direct[] = {const_cast<char *>(program.c_str()), nullptr};
            // orbelin-run PROGRAM ARGV0, its report (descriptor 3) to /dev/null.
            char *supervised[] = {const_cast<char *>(supervisor.c_str()),
                                  const_cast<char *>(program.c_str()),
                                  const_cast<char *>(program.c_str()), nullptr};
            if (!supervisor.empty())
                posix_spawn_file_actions_addopen(&actions, 3, "/dev/null", O_WRONLY, 0);
            char **argv = supervisor.empty() ? direct : supervised;
            pid_t pid = 0;
            if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ) == 0)
                children[pid] = next;
            else
                ++failures;
            posix_spawn_file_actions_destroy(&actions);
            ++next;
        }
        if (children.empty())
            break;
        int status = 0;
        const pid_t pid = wait(&status);
        if (pid < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (children.erase(pid) && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
            ++failures;
    }
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s qprocess|spawn|supervised P PROGRAM ROOT\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const int limit = std::max(1, std::atoi(argv[2]));
    const QString program = QString::fromLocal8Bit(argv[3]);
    const QDir root(QString::fromLocal8Bit(argv[4]));
    QStringList dirs;
    for (const QString &name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        dirs << root.absoluteFilePath(name);

    int status = 0;
    if (mode == "spawn") {
        status = spawnLoop(program.toStdString(), dirs, limit);
    } else if (mode == "supervised") {
        status = spawnLoop(program.toStdString(), dirs, limit, ORBELIN_RUN);
    } else {
        QCoreApplication app(argc, argv);
        QProcessLoop loop(program, dirs, limit);
        if (dirs.isEmpty())
            return 0;
        loop.startMore();
        status = app.exec();
    }
    return status;
}
