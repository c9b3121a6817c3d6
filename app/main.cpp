#include "batchrun.h"
#include "body.h"
#include "chiplot.h"
#include "language.h"
#include "paramstore.h"
#include "plotview.h"
#include "windows.h"

#include <QApplication>
#include <QFileInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <memory>

// Diagnostics go to a terminal, which reads UTF-8, whatever codec the files use.
static void writeMessageAsUtf8(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, msg).toUtf8().constData());
    std::fflush(stderr);
    if (type == QtFatalMsg)
        std::abort();
}

// Exit status for an option whose value is not one it takes.
static const int badOptionStatus = 2;

// A batch makes no widget: it runs on an application that cannot make one, with the
// painting of a plot only when a plot is asked for.
static std::unique_ptr<QCoreApplication> makeApplication(int &argc, char **argv, bool batch,
                                                         bool plot)
{
    if (!batch) {
        QApplication::setStyle("Fusion");
        return std::make_unique<QApplication>(argc, argv);
    }
    if (plot)
        return std::make_unique<QGuiApplication>(argc, argv);
    return std::make_unique<QCoreApplication>(argc, argv);
}

// Jobs change the current directory; a path given on the command line is taken from
// where the program started.
static QString absoluteOption(const ParamStore &commandLine, const QString &option)
{
    const QString path = commandLine.value(option);
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

int main(int argc, char *argv[])
{
    qInstallMessageHandler(writeMessageAsUtf8);
    ParamStore commandLine(argc, argv);
    const bool batch = commandLine.contains("-batch");
    const QString plotPath = absoluteOption(commandLine, "-plot");
    const QString exportPath = absoluteOption(commandLine, "-export");
    PlotView view;
    QString badOption;
    if (!viewFromOptions(commandLine, &view, &badOption)) {
        std::fprintf(stderr, "%s\n", badOption.toUtf8().constData());
        return badOptionStatus;
    }
    // A batch shows no window, so it needs no display, also to paint its plot.
    if (batch && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !commandLine.contains("-platform"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv, batch, !plotPath.isEmpty());
    QTranslator translator;
    setupLanguage(app.get(), &translator, commandLine);

    Body body(&commandLine, nullptr);
    std::unique_ptr<BatchRun> batchRun;
    std::unique_ptr<Windows> windows;
    if (batch) {
        batchRun = std::make_unique<BatchRun>(
            &body, plotPath, exportPath, view,
            [](const QString &path, const QVector<Job *> &jobs, const PlotView &plotView) {
                return saveJobsPlot(path, jobs, plotView);
            });
        QObject::connect(batchRun.get(), &BatchRun::finished, app.get(), &QCoreApplication::exit);
    } else {
        windows = std::make_unique<Windows>(&body, !commandLine.contains("-noGui"));
        if (view != PlotView())
            windows->setPlotView(view);
        QObject::connect(&body, &Body::finishing, qApp, [] { QApplication::closeAllWindows(); });
    }
    body.scanInputDirs();
    const int status = app->exec();
    windows.reset();
    return status;
}
