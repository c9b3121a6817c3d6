#ifndef COMMANDOPTIONS_H
#define COMMANDOPTIONS_H

#include <QStringList>

class ParamStore;

// The options of a command line that neither the program nor Qt's application takes
// (a typo such as -kwieght), in sorted order.
QStringList unknownOptions(const ParamStore &commandLine);

#endif
