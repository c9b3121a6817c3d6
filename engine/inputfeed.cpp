#include "inputfeed.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {
// A slice makes at least this many jobs (a job makes its working directory and copies a
// FEFF input: a few milliseconds on a busy disk), and more until it has taken sliceMs.
const int sliceJobs = 16;
const int sliceMs = 20;
} // namespace

InputFeed::InputFeed(MakeJob makeJob, QObject *parent)
    : QObject(parent)
    , make(std::move(makeJob))
    , later(new QTimer(this))
{
    later->setSingleShot(true);
    later->setInterval(0);
    connect(later, &QTimer::timeout, this, &InputFeed::makeSlice);
}

void InputFeed::add(const QFileInfoList &files, int kind)
{
    inputs.reserve(inputs.size() + files.size());
    for (const QFileInfo &file : files)
        inputs.append(Input { file, kind });
}

void InputFeed::add(const QStringList &names, int kind)
{
    for (const QString &name : names) {
        QFileInfo file(name);
        // Jobs change the current directory: a name made later must mean the same file.
        if (!name.isEmpty() && file.isRelative())
            file.makeAbsolute();
        inputs.append(Input { file, kind });
    }
}

void InputFeed::makeSlice()
{
    if (making)
        return;
    making = true;
    QElapsedTimer clock;
    clock.start();
    for (int made = 0; !isEmpty() && (made < sliceJobs || clock.elapsed() < sliceMs); ++made) {
        const Input input = inputs.at(next);
        inputs[next++] = Input();
        make(input.file, input.kind);
    }
    making = false;
    if (!isEmpty()) {
        later->start();
        return;
    }
    inputs.clear();
    next = 0;
    emit drained();
}
