// The main window while thousands of inputs become jobs (MAX_PROC 0: nothing runs), on a
// real X server (run it under xvfb-run -a):
//
//   bench_window [--counts 1000,10000] [--rounds 3] [--before ORBELIN] [--work DIR]
//
// For each count, every round:
//   close   orbelin -c my.cfg is started; as soon as its main window is mapped it gets a
//           polite close (WM_DELETE_WINDOW, as a window manager sends it); the figure is
//           the time from the start to the program's exit, with the time the window was
//           mapped beside it. Side by side with the program given by --before (an older
//           build) when there is one.
// Then, in this process (the program as its entry builds it, this build only):
//   loop    a 5 ms timer runs from the first turn of the event loop until every input is
//           a row of the list; its largest lateness is the longest time the event loop
//           did not answer; and the time until then.
//   filter  with every seventh job skipped: a name part typed key by key into the list's
//           filter line, and each state chosen; each figure from the key (or the choice)
//           to the list painted again.
//
//   bench_window child DIR   the in-process measurement (needs QT_QPA_PLATFORM=xcb)
//   bench_window prepare DIR N
#include "benchqt.h"
#include "benchutil.h"

#include "body.h"
#include "gui.h"
#include "job.h"
#include "joblist.h"
#include "joblistview.h"
#include "jobmodel.h"
#include "language.h"
#include "paramstore.h"
#include "windows.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QTranslator>

#include <xcb/xcb.h>

#include <filesystem>
#include <map>
#include <memory>
#include <signal.h>

namespace fs = std::filesystem;
using namespace bench;

namespace {

void prepare(const std::string &dir, int count)
{
    prepareQueuedInputs(dir, count, ORBELIN_TEST_DATA "/feff/Cu_feff.inp", FAKE_FEFF);
}

// The X server, as a window manager sees the program's windows.
class XServer
{
public:
    XServer()
        : c(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(c))
            return;
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        pidAtom = atom("_NET_WM_PID");
        protocols = atom("WM_PROTOCOLS");
        deleteWindow = atom("WM_DELETE_WINDOW");
    }
    ~XServer() { xcb_disconnect(c); }

    bool ok() const { return !xcb_connection_has_error(c); }

    // The program's mapped window that is not the plot window; 0 for none yet.
    xcb_window_t mainWindow(pid_t pid)
    {
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
        if (!tree)
            return 0;
        xcb_window_t found = 0;
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree) && !found; ++i)
            if (windowPid(children[i]) == pid && isViewable(children[i])
                && windowName(children[i]) != "Show Chi")
                found = children[i];
        free(tree);
        return found;
    }

    void send(xcb_window_t window, xcb_atom_t protocol)
    {
        xcb_client_message_event_t event {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = protocols;
        event.data.data32[0] = protocol;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(
            c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
        xcb_flush(c);
    }

    xcb_atom_t deleteWindow = 0;

private:
    xcb_atom_t atom(const char *name)
    {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : 0;
        free(reply);
        return a;
    }

    long windowPid(xcb_window_t window)
    {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        long pid = -1;
        if (reply && xcb_get_property_value_length(reply) == 4)
            pid = *static_cast<uint32_t *>(xcb_get_property_value(reply));
        free(reply);
        return pid;
    }

    bool isViewable(xcb_window_t window)
    {
        xcb_get_window_attributes_reply_t *reply
            = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
        const bool viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        free(reply);
        return viewable;
    }

    std::string windowName(xcb_window_t window)
    {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(c,
            xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
            nullptr);
        std::string name;
        if (reply)
            name.assign(static_cast<const char *>(xcb_get_property_value(reply)),
                size_t(xcb_get_property_value_length(reply)));
        free(reply);
        return name;
    }

    xcb_connection_t *c;
    xcb_window_t root = 0;
    xcb_atom_t pidAtom = 0;
    xcb_atom_t protocols = 0;
};

pid_t start(const std::string &program, const std::string &dir)
{
    const std::string path = program;
    char *args[] = { const_cast<char *>(path.c_str()), const_cast<char *>("-c"),
        const_cast<char *>("my.cfg"), nullptr };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool exited(pid_t pid)
{
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

struct Close
{
    double mapped = -1;
    double exited = -1;
};

// Starts the program, closes its main window once mapped and waits for its exit.
Close politeClose(XServer &x, const std::string &program, const std::string &dir)
{
    Close figure;
    const double t0 = now();
    const pid_t pid = start(program, dir);
    if (pid < 0)
        return figure;
    while (now() - t0 < 120) {
        if (figure.mapped < 0)
            if (const xcb_window_t window = x.mainWindow(pid)) {
                figure.mapped = now() - t0;
                x.send(window, x.deleteWindow);
            }
        if (exited(pid)) {
            figure.exited = now() - t0;
            return figure;
        }
        usleep(1000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return Close();
}

// Sees the list's viewport painted.
class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Seconds from act() until the list has been painted again and the events are done.
template <typename F> double untilPainted(QWidget *viewport, F act)
{
    PaintWatch watch;
    viewport->installEventFilter(&watch);
    const double t0 = now();
    act();
    while (!watch.painted && now() - t0 < 5)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    const double t = now() - t0;
    viewport->removeEventFilter(&watch);
    return t;
}

void typeKey(QWidget *target, int key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &release);
}

int child(int argc, char **argv, const std::string &dir)
{
    if (chdir(dir.c_str()) != 0) {
        std::perror(dir.c_str());
        return 2;
    }
    qInstallMessageHandler(quietMessages);
    char arg0[] = "orbelin", argC[] = "-c", argCfg[] = "my.cfg", argE[] = "-e";
    char *args[] = { arg0, argC, argCfg, argE, nullptr };
    const ParamStore commandLine(4, args);
    QApplication::setStyle("Fusion");
    QApplication app(argc, argv);
    QTranslator translator;
    setupLanguage(&app, &translator, commandLine);
    const double t0 = now();
    Body body(&commandLine, nullptr);
    Windows windows(&body, true);
    body.scanInputDirs();
    const int inputs = body.jobs().size() + body.waitingInputs();
    JobModel *rows = windows.mainWindow()->jobModel();

    // From the first turn of the event loop until every input is a row.
    double loopStart = -1, loaded = -1, last = -1, latest = 0;
    std::vector<std::pair<double, double>> stalls; // when, how late
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(5);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const double t = now();
        if (loopStart < 0)
            loopStart = t;
        if (last >= 0) {
            latest = std::max(latest, t - last - 0.005);
            if (t - last - 0.005 > 0.03)
                stalls.emplace_back(last, t - last - 0.005);
        }
        last = t;
        if (rows->rowCount() == inputs && body.waitingInputs() == 0) {
            loaded = t;
            app.quit();
        }
    });
    beat.start();
    QTimer::singleShot(120000, &app, [&app] { app.exit(3); });
    if (app.exec() != 0)
        return 3;
    std::printf("LOOP %.6f %.6f\n", latest, loaded - t0);
    for (const auto &stall : stalls)
        std::printf("LATE %.1f ms at %.3f s\n", 1e3 * stall.second, stall.first - t0);

    // Every seventh job skipped, so that a state picks rows all over the list.
    for (int row = 0; row < rows->rowCount(); row += 7)
        rows->job(row)->stop();
    QWidget *viewport = windows.mainWindow()->jobList()->view()->viewport();
    auto *line = windows.mainWindow()->findChild<QLineEdit *>("JobFilter");
    auto *state = windows.mainWindow()->findChild<QComboBox *>("JobState");
    untilPainted(viewport, [] {});
    // For a profile of the filtering: ORBELIN_BENCH_REPEAT=50 types and clears 50 times.
    for (int i = qEnvironmentVariableIntValue("ORBELIN_BENCH_REPEAT"); i > 0; --i) {
        for (const char *part : { "1", "2", "3" })
            untilPainted(viewport, [&] { typeKey(line, part[0], part); });
        for (int k = 0; k < 3; ++k)
            untilPainted(viewport, [&] { typeKey(line, Qt::Key_Backspace, QString()); });
    }
    for (const char *part : { "1", "2", "3" }) {
        const double t = untilPainted(viewport, [&] { typeKey(line, part[0], part); });
        std::printf("FILTER key-%s %.6f %d\n", part, t,
            int(windows.mainWindow()->jobList()->view()->model()->rowCount()));
    }
    for (int i = 0; i < 3; ++i) {
        const double t
            = untilPainted(viewport, [&] { typeKey(line, Qt::Key_Backspace, QString()); });
        std::printf("FILTER backspace %.6f %d\n", t,
            int(windows.mainWindow()->jobList()->view()->model()->rowCount()));
    }
    for (const char *name : { "Skipped", "Waiting", "Failed", "All" }) {
        const double t
            = untilPainted(viewport, [&] { state->setCurrentIndex(state->findText(name)); });
        std::printf("FILTER state-%s %.6f %d\n", name, t,
            int(windows.mainWindow()->jobList()->view()->model()->rowCount()));
    }
    std::fflush(stdout);
    std::_Exit(0);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && std::string(argv[1]) == "child")
        return child(argc, argv, argv[2]);
    if (argc >= 4 && std::string(argv[1]) == "prepare") {
        prepare(argv[2], std::atoi(argv[3]));
        return 0;
    }
    std::vector<int> counts { 1000, 10000 };
    int rounds = 3;
    std::string before;
    std::string work = "/tmp/orbelin-bench-window";
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--counts")
            counts = parseIntList(argv[i + 1]);
        else if (a == "--rounds")
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--before")
            before = fs::canonical(argv[i + 1]).string();
        else if (a == "--work")
            work = argv[i + 1];
    }
    XServer x;
    if (!x.ok()) {
        std::fprintf(stderr, "no X server: run under xvfb-run -a\n");
        result("window", "no X server", "-", "no");
        return 1;
    }
    const std::string self = fs::canonical("/proc/self/exe").string();
    std::vector<std::string> programs { ORBELIN_EXE };
    if (!before.empty())
        programs.push_back(before);
    std::printf("Main window with N inputs, MAX_PROC 0, platform xcb, %d rounds%s\n", rounds,
        before.empty() ? "" : (", against " + before).c_str());

    bool ok = true;
    for (int count : counts) {
        const std::string dir = work + "/n" + std::to_string(count);
        prepare(dir, count);
        std::vector<std::vector<double>> mapped(programs.size()), closed(programs.size());
        std::vector<double> late, loaded, slowestKey;
        for (int r = 0; r < rounds && ok; ++r) {
            for (size_t j = 0; j < programs.size(); ++j) {
                const size_t p = (j + size_t(r)) % programs.size();
                removeTree(dir + "/00-Res");
                const Close c = politeClose(x, programs[p], dir);
                if (c.exited < 0) {
                    ok = false;
                    break;
                }
                mapped[p].push_back(c.mapped);
                closed[p].push_back(c.exited);
                std::printf("  N=%d round %d %s: mapped after %.3f s, closed %.3f s after start\n",
                    count, r, p == 0 ? "this build" : "before", c.mapped, c.exited);
            }
            removeTree(dir + "/00-Res");
            const std::string out = dir + ".out";
            runProgram({ self, "child", dir }, "/", out, dir + ".err", { "QT_QPA_PLATFORM=xcb" });
            const std::string text = readText(out);
            const size_t at = text.find("LOOP ");
            if (at == std::string::npos) {
                std::fprintf(
                    stderr, "child failed: %s%s\n", text.c_str(), readText(dir + ".err").c_str());
                ok = false;
                break;
            }
            std::istringstream fields(text.substr(at + 5));
            double latest = 0, rows = 0;
            fields >> latest >> rows;
            late.push_back(latest);
            loaded.push_back(rows);
            std::printf("  N=%d round %d in process: event loop late by at most %.1f ms, every "
                        "input a row %.3f s after start\n",
                count, r, 1e3 * latest, rows);
            double worst = 0;
            std::istringstream lines(text);
            std::string line;
            while (std::getline(lines, line)) {
                std::istringstream words(line);
                std::string word, what;
                double t = 0;
                int shown = 0;
                if (!(words >> word) || word != "FILTER" || !(words >> what >> t >> shown))
                    continue;
                worst = std::max(worst, t);
                std::printf("  N=%d round %d filter %-14s %6.1f ms (%d rows)\n", count, r,
                    what.c_str(), 1e3 * t, shown);
            }
            slowestKey.push_back(worst);
        }
        removeTree(dir);
        removeTree(dir + ".out");
        removeTree(dir + ".err");
        if (!ok)
            break;
        const std::string n = std::to_string(count);
        char fig[256];
        std::snprintf(fig, sizeof fig, "closed %.3f s after start (mapped %.3f s)",
            median(closed[0]), median(mapped[0]));
        std::string figure = fig;
        if (!before.empty()) {
            std::snprintf(fig, sizeof fig, "; before: closed %.3f s (mapped %.3f s)",
                median(closed[1]), median(mapped[1]));
            figure += fig;
        }
        const double goal = count <= 1000 ? 1.0 : 3.0;
        char goalText[32];
        std::snprintf(goalText, sizeof goalText, "<= %.1f s", goal);
        result("window, polite close, " + n + " inputs", figure, goalText,
            median(closed[0]) <= goal ? "yes" : "no");
        std::snprintf(fig, sizeof fig, "late by at most %.1f ms; every input a row after %.3f s",
            1e3 * median(late), median(loaded));
        result("window, event loop while loading, " + n + " inputs", fig, "<= 100 ms",
            median(late) <= 0.1 ? "yes" : "no");
        std::snprintf(fig, sizeof fig, "slowest key or state %.1f ms", 1e3 * median(slowestKey));
        result("window, filtering " + n + " rows", fig, "<= 50 ms",
            median(slowestKey) <= 0.05 ? "yes" : "no");
    }
    removeTree(work);
    if (!ok) {
        result("window", "run failed", "-", "no");
        return 1;
    }
    return 0;
}
