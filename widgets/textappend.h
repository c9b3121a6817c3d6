#ifndef TEXTAPPEND_H
#define TEXTAPPEND_H

class QString;
class QPlainTextEdit;
class QTextEdit;

// Adds text at the end of an area, wherever the user has clicked or selected: their
// cursor and selection stay where they were. A view scrolled to the end follows the new
// text; one the user has scrolled away from stays where it is. The insertion is no edit
// of the user's and stays out of the undo history (turning the history off clears it).
void appendAtEnd(QTextEdit *area, const QString &text);
void appendAtEnd(QPlainTextEdit *area, const QString &text);

#endif
