#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

class QSocketNotifier;
class QTimer;

// One outside program started as a child of this process: standard output and error
// merged into one pipe, standard input from /dev/null, in a working directory and an
// environment of its own, in a process group of its own, and killed by the kernel if
// this process dies first. The child is made without copying this process's memory
// (clone with CLONE_VM | CLONE_VFORK, as posix_spawn does), so a start costs the same
// whatever the size of the program that starts it; QProcess forks, which costs more
// the larger the process.
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

    explicit ChildProcess(QObject *parent = nullptr);
    ~ChildProcess() override;

    // Starts the program; false and the reason when it could not be started. On return
    // with true the program runs (it has been executed).
    bool start(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &environment, const QString &workingDirectory,
               StartError *error);
    bool isRunning() const { return pid > 0; }
    qint64 processId() const { return pid; }
    // Sends a signal to the program's whole process group.
    void signalGroup(int signal);

signals:
    void output(const QByteArray &bytes);
    // The program has ended; everything it wrote has been delivered. crashed: killed by
    // the signal given.
    void finished(int exitCode, bool crashed, int signal);

private:
    void readOutput(bool toTheEnd);
    void reap();
    void closeAll();

    qint64 pid = -1;
    int outputFd = -1;
    int exitFd = -1;
    QSocketNotifier *outputNotifier = nullptr;
    QSocketNotifier *exitNotifier = nullptr;
    QTimer *exitPoll = nullptr;
};

#endif
