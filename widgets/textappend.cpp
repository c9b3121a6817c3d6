#include "textappend.h"

#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>

namespace {

const char *const watchedKey = "orbelinFollowsWatched";
const char *const followsKey = "orbelinFollowsEnd";

// A large insertion is laid out in steps from the event loop, so the scroll range grows
// some time after the text does; the view keeps to the end through each change of range
// for as long as the user leaves it there.
void followEnd(QScrollBar *bar)
{
    if (bar->property(watchedKey).toBool())
        return;
    bar->setProperty(watchedKey, true);
    bar->setProperty(followsKey, bar->value() >= bar->maximum());
    QObject::connect(bar, &QScrollBar::valueChanged, bar,
        [bar](int value) { bar->setProperty(followsKey, value >= bar->maximum()); });
    QObject::connect(bar, &QScrollBar::rangeChanged, bar, [bar](int, int maximum) {
        if (bar->property(followsKey).toBool())
            bar->setValue(maximum);
    });
}

template <class Area> void appendAtEndOf(Area *area, const QString &text)
{
    followEnd(area->verticalScrollBar());
    const bool undo = area->isUndoRedoEnabled();
    area->setUndoRedoEnabled(false);
    QTextCursor end(area->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    area->setUndoRedoEnabled(undo);
}

} // namespace

void appendAtEnd(QTextEdit *area, const QString &text) { appendAtEndOf(area, text); }

void appendAtEnd(QPlainTextEdit *area, const QString &text) { appendAtEndOf(area, text); }
