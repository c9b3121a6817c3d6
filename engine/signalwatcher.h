#ifndef SIGNALWATCHER_H
#define SIGNALWATCHER_H

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal from the event loop (through a
// pipe the handler writes to), so that a run can end in good order.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void caught(int signal);

private:
    QSocketNotifier *notifier = nullptr;
};

#endif
