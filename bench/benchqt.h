// Qt-side helpers of the benchmark programs.
#ifndef BENCHQT_H
#define BENCHQT_H

#include <QString>
#include <QtGlobal>
#include <cstdio>

namespace bench {

// Keeps the figures readable: drops debug chatter (the job manager's process counts)
// and the offscreen platform's note about size hints; passes other warnings on.
inline void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtDebugMsg || type == QtInfoMsg || msg.contains("propagateSizeHints")
        || msg.contains("XDG_RUNTIME_DIR"))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(msg));
}

} // namespace bench

#endif
