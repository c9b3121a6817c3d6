#ifndef OUTPUTTAIL_H
#define OUTPUTTAIL_H

#include <QStringList>

// The last lines of a program's output, as a terminal keeps them: a text area that
// shows it later holds the same lines as one that showed it all along with the same
// block limit.
class OutputTail
{
public:
    explicit OutputTail(int maxLines = 0)
        : limit(maxLines)
    {
    }

    void append(const QString &text);
    void clear() { lines = QStringList { QString() }; }
    QString text() const { return lines.join(QLatin1Char('\n')); }
    bool isEmpty() const { return lines.size() == 1 && lines.first().isEmpty(); }

private:
    int limit; // 0: no limit
    // The text split at its line breaks; the last entry is the unfinished line.
    QStringList lines { QString() };
};

#endif
