#ifndef LANGUAGE_H
#define LANGUAGE_H

class ParamStore;
class QCoreApplication;
class QTranslator;

// Installs the built-in Japanese catalogue unless -e was given.
void setupLanguage(QCoreApplication *app, QTranslator *translator, const ParamStore &commandLine);

#endif
