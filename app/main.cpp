#include "batchrun.h"
#include "body.h"
#include "gui.h"
#include "language.h"
#include "paramstore.h"
#include "plotview.h"
#include "showchi.h"

#include <QApplication>
#include <QFileInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

// Diagnostics go to a terminal, which reads UTF-8, whatever codec the files use.
static void writeMessageAsUtf8(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, msg).toUtf8().constData());
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

// Exit status for an option whose value is not one it takes (the batch's own are 0 to 3).
static const int badOptionStatus = 4;

int main(int argc, char *argv[])
{
    qInstallMessageHandler(writeMessageAsUtf8);
    ParamStore commandLine(argc, argv);
    const bool batch = commandLine.contains("-batch");
    // A batch run shows no window, so it needs no display.
    if (batch && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !commandLine.contains("-platform"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Jobs change the current directory; take the plot's path from where we started.
    QString plotPath = commandLine.value("-plot");
    if (!plotPath.isEmpty())
        plotPath = QFileInfo(plotPath).absoluteFilePath();
    QString exportPath = commandLine.value("-export");
    if (!exportPath.isEmpty())
        exportPath = QFileInfo(exportPath).absoluteFilePath();
    PlotView view;
    QString badOption;
    if (!viewFromOptions(commandLine, &view, &badOption)) {
        std::fprintf(stderr, "%s\n", badOption.toUtf8().constData());
        return badOptionStatus;
    }

    QApplication::setStyle("Fusion");
    QApplication app(argc, argv);
    QTranslator translator;
    setupLanguage(&app, &translator, commandLine);

    Body body(&commandLine, nullptr);
    QObject::connect(&body, &Body::finishing, &app, &QApplication::closeAllWindows);
    if (view != PlotView())
        body.mainWindow()->plotWindow()->setView(view);
    QScopedPointer<BatchRun> batchRun;
    if (batch) {
        body.mainWindow()->plotWindow()->hide();
        batchRun.reset(new BatchRun(&body, plotPath, exportPath, view));
        QObject::connect(batchRun.data(), &BatchRun::finished, &app, &QCoreApplication::exit);
    }
    return app.exec();
}
