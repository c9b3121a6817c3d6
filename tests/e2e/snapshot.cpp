// Looks at the program as a user sees it: runs the jobs of the working directory like
// the program does, ticks "Show" on the first two jobs once all are done, and saves
// pictures of the screen and of both windows into the directory given after -snapshot.
// Then, with every job shown and the legend on, the R view of k^2 chi with the mouse on
// the highest peak of the first job with data (plot-r.png, screen-r.png), and k^2 chi(k)
// (plot-k2.png).
#include "body.h"
#include "chiseries.h"
#include "gui.h"
#include "job.h"
#include "jobmodel.h"
#include "language.h"
#include "showchi.h"
#include "windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMouseEvent>
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
        JobModel *rows = gui->jobModel();
        for (int i = 0; i < rows->rowCount() && i < 2; ++i)
            rows->setShown(i, true);
        plot->move(gui->frameGeometry().right() + 8, 0);
        QTimer::singleShot(500, &app, [&] {
            QGuiApplication::primaryScreen()->grabWindow(0).save(outDir + "/screen.png");
            gui->grab().save(outDir + "/main-window.png");
            plot->grab().save(outDir + "/plot-window.png");
            gui->jobModel()->setAllShown(true);
            plot->findChild<QCheckBox *>("ShowLegend")->setChecked(true);
            PlotView view;
            view.kWeight = 2;
            view.space = PlotSpace::R;
            plot->setView(view);
            plot->plotArea()->repaint();
            // The mouse on the highest peak of the first job with data, which names that job.
            const Job *named = body.jobs().at(0);
            for (const Job *job : body.jobs())
                if (job->chi().valid) {
                    named = job;
                    break;
                }
            const Series r = rSeries(named->chi(), 2, view.ft);
            if (r.y.isEmpty()) {
                app.exit(1);
                return;
            }
            const int top = int(std::max_element(r.y.begin(), r.y.end()) - r.y.begin());
            const ChCoord &c = plot->plotArea()->coord;
            QMouseEvent move(QEvent::MouseMove,
                QPointF(c.toScreenX(r.x[top]), c.toScreenY(r.y[top])), Qt::NoButton, Qt::NoButton,
                Qt::NoModifier);
            QCoreApplication::sendEvent(plot->plotArea(), &move);
            QTimer::singleShot(500, &app, [&] {
                QGuiApplication::primaryScreen()->grabWindow(0).save(outDir + "/screen-r.png");
                plot->grab().save(outDir + "/plot-r.png");
                PlotView k2;
                k2.kWeight = 2;
                plot->setView(k2);
                QTimer::singleShot(300, &app, [&] {
                    plot->grab().save(outDir + "/plot-k2.png");
                    app.quit();
                });
            });
        });
    });
    return app.exec();
}
