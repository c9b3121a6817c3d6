#include "language.h"

#include "paramstore.h"

#include <QCoreApplication>
#include <QTranslator>

void setupLanguage(QCoreApplication *app, QTranslator *translator, const ParamStore &commandLine)
{
    if (!commandLine.contains("-e")) {
        translator->load(":Orbelin_ja_JP", QCoreApplication::applicationDirPath(), QString(),
                         QString());
        app->installTranslator(translator);
    }
}
