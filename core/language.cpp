#include "language.h"

#include "paramstore.h"

#include <QCoreApplication>
#include <QTextCodec>
#include <QTranslator>

void setupLanguage(QCoreApplication *app, QTranslator *translator, const ParamStore &commandLine)
{
    if (!commandLine.contains("-e")) {
        translator->load(":Orbelin_ja_JP", QCoreApplication::applicationDirPath(), QString(),
                         QString());
        app->installTranslator(translator);
    }
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("Shift-JIS"));
}
