#ifndef INPUTFEED_H
#define INPUTFEED_H

#include <QFileInfo>
#include <QObject>
#include <QStringList>
#include <QVector>

#include <functional>

class QTimer;

// The inputs waiting to become jobs, in the order they came (the start-up scan, then the
// drops), made into jobs a slice at a time: a slice makes a few at least (16) and ends once
// it has taken its time (20 ms); the next follows from the event loop. So the windows answer while
// thousands of jobs are made, and a few inputs still become jobs at once.
class InputFeed : public QObject
{
    Q_OBJECT

public:
    using MakeJob = std::function<void(const QFileInfo &file, int kind)>;

    explicit InputFeed(MakeJob makeJob, QObject *parent = nullptr);

    void add(const QFileInfoList &files, int kind);
    // Names as dropped; a relative one is taken from the current directory now.
    void add(const QStringList &names, int kind);
    bool isEmpty() const { return next == inputs.size(); }
    int waiting() const { return inputs.size() - next; }

    // Makes jobs of the inputs that wait, a slice's worth; the rest follow from the event
    // loop.
    void makeSlice();

signals:
    // The last input that waited has become a job.
    void drained();

private:
    struct Input
    {
        QFileInfo file;
        int kind = 0;
    };

    MakeJob make;
    QVector<Input> inputs;
    int next = 0;
    QTimer *later;
    bool making = false;
};

#endif
