#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

class QSocketNotifier;

// One outside program started for this process: standard output and error merged into
// one pipe, standard input from /dev/null, in a working directory and an environment of
// its own. It runs under orbelin-run (supervisor.c), a small program beside this one
// that gives it a process group of its own and stays until the program and everything it
// started have ended: nothing outlives the run, nor this process, even when this process
// is killed. orbelin-run is started without copying this process's memory (clone with
// CLONE_VM | CLONE_VFORK, as posix_spawn does), so a start costs the same whatever the
// size of the program that starts it; QProcess forks, which costs more the larger the
// process. Start programs from the main thread: the parent-death signal that ends them
// with this process follows the thread that started them.
class ChildProcess : public QObject
{
    Q_OBJECT

public:
    // Why a program did not start.
    struct StartError
    {
        int code = 0; // errno
        QString text;
        // For lack of resources (file descriptors, processes): worth trying again later.
        bool transient() const;
    };
    // How the program ended.
    struct Exit
    {
        int exitCode = -1;
        bool crashed = false;
        int signal = 0; // when killed by a signal
        // It ended while processes it started still ran; they have been ended.
        bool leftProcesses = false;
    };

    explicit ChildProcess(QObject *parent = nullptr);
    ~ChildProcess() override;

    // Starts the program; false and the reason when it could not be started. On return
    // with true the program runs (it has been executed).
    bool start(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &environment, const QString &workingDirectory,
               StartError *error);
    bool isRunning() const { return supervisor > 0; }
    // The program's process id (the leader of its process group).
    qint64 processId() const { return leader; }
    // Ends the program: SIGTERM to its process group and every process it started, SIGKILL
    // to them 5 s later, whatever they do.
    void terminate();

    // Where orbelin-run is looked for: beside the running program, then where it was built.
    static QString supervisorPath();

signals:
    void output(const QByteArray &bytes);
    // The program and every process it started have ended; everything they wrote has
    // been delivered.
    void finished(const ChildProcess::Exit &exit);

private:
    void readOutput(bool toTheEnd);
    void readReport();
    void closeAll();

    qint64 supervisor = -1;
    qint64 leader = -1;
    int outputFd = -1;
    int reportFd = -1;
    QSocketNotifier *outputNotifier = nullptr;
    QSocketNotifier *reportNotifier = nullptr;
    Exit exit;
    bool ended = false;
};

#endif
