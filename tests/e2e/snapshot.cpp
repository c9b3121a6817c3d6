// Looks at the program as a user sees it: runs the jobs of the working directory like
// the program does, ticks "Show" on the first two jobs once all are done, and saves
// pictures of the screen and of both windows into the directory given after -snapshot.
#include "body.h"
#include "gui.h"
#include "job.h"
#include "language.h"
#include "showchi.h"
#include "windows.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

int main(int argc, char *argv[])
{
    ParamStore commandLine(argc, argv);
    const QString outDir = QFileInfo(commandLine.value("-snapshot", "snapshots")).absoluteFilePath();
    QDir().mkpath(outDir);

    QApplication::setStyle("Fusion");
    QApplication app(argc, argv);
    QTranslator translator;
    setupLanguage(&app, &translator, commandLine);

    Body body(&commandLine, nullptr);
    Windows windows(&body, true);
    Gui *gui = windows.mainWindow();
    ShowChi *plot = gui->plotWindow();
    body.scanInputDirs();
    QObject::connect(&body, &Body::idle, &app, [&] {
        for (int i = 0; i < body.jobs().size() && i < 2; ++i)
            body.jobs().at(i)->setShown(true);
        plot->move(gui->frameGeometry().right() + 8, 0);
        QTimer::singleShot(500, &app, [&] {
            QGuiApplication::primaryScreen()->grabWindow(0).save(outDir + "/screen.png");
            gui->grab().save(outDir + "/main-window.png");
            plot->grab().save(outDir + "/plot-window.png");
            app.quit();
        });
    });
    return app.exec();
}
