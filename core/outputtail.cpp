#include "outputtail.h"

void OutputTail::append(const QString &text)
{
    int start = 0;
    for (;;) {
        const int lineBreak = text.indexOf(QLatin1Char('\n'), start);
        if (lineBreak < 0) {
            lines.last() += QStringView(text).mid(start);
            break;
        }
        lines.last() += QStringView(text).mid(start, lineBreak - start);
        lines.append(QString());
        start = lineBreak + 1;
    }
    if (limit > 0 && lines.size() > limit)
        lines.erase(lines.begin(), lines.begin() + (lines.size() - limit));
}
