// orbelin-run PROGRAM ARGV0 [ARGUMENTS...]: runs one outside program for Orbelin and stays
// until the program and every process it started have ended, so that none outlives its
// run or Orbelin.
//
// The program runs as its child in a process group of its own. orbelin-run is a child
// subreaper: a process whose parent ends (a launcher that does not exec, a daemon that
// forks and calls setsid) becomes its child, so that every descendant is found by walking
// down from here. Orbelin sets its parent-death signal to SIGHUP before the exec: when
// Orbelin dies, even by SIGKILL, every descendant is killed at once.
//
//   SIGTERM   (Orbelin ends the run: a stop or a time limit) SIGTERM to the program's group
//             and every descendant, SIGKILL to them 5 s later whatever they do
//   SIGHUP    (Orbelin has died) SIGKILL to every descendant
// When the program ends while processes it started still run 2 s later (a launcher's own
// helpers end within that), they are ended the same way and the run counts as failed. Records on
// descriptor 3 tell Orbelin how it went (supervisorreport.h). Plain C and system calls: the program
// starts fast.
#include "supervisorreport.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// How long the processes of a run that is ended may take before they are killed.
enum { killDelaySeconds = 5 };
// How long processes the program started may run on after it ended before the run fails.
enum { lingerSeconds = 2 };

static pid_t leader = -1;
static pid_t self = -1;
static pid_t orbelin = -1;
static bool leaderDone = false;
static int leaderStatus = 0;
static bool outlived = false;
static bool ending = false;
static bool lingering = false;

static void report(int kind, int value)
{
    struct SupervisorReport record = { kind, value, outlived ? 1 : 0, 0 };
    // One write of less than PIPE_BUF bytes: the reader gets the record whole. Orbelin may
    // be gone (EPIPE): nobody is left to tell.
    while (write(supervisorReportFd, &record, sizeof record) < 0 && errno == EINTR) { }
}

// The parent of a process, from /proc/PID/stat ("pid (comm) state ppid ..."); -1 when it
// is gone.
static pid_t parentOf(const char *pid)
{
    char path[64];
    snprintf(path, sizeof path, "/proc/%s/stat", pid);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    char text[512];
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return -1;
    text[n] = '\0';
    // The command name may hold blanks and parentheses: the fields go on after the last ')'.
    const char *end = strrchr(text, ')');
    int parent = -1;
    if (!end || sscanf(end + 1, " %*c %d", &parent) != 1)
        return -1;
    return parent;
}

// Every process below this one: its children, theirs, and so on; count gets how many. The
// list is the caller's to free (NULL when there is none or no memory).
static pid_t *descendants(size_t *count)
{
    pid_t *pids = NULL, *parents = NULL;
    size_t all = 0, room = 0;
    DIR *proc = opendir("/proc");
    if (proc) {
        const struct dirent *entry;
        while ((entry = readdir(proc)) != NULL) {
            if (entry->d_name[0] < '1' || entry->d_name[0] > '9')
                continue;
            const pid_t parent = parentOf(entry->d_name);
            if (parent <= 0)
                continue;
            if (all == room) {
                room = room ? 2 * room : 256;
                pid_t *morePids = realloc(pids, room * sizeof *pids);
                if (morePids)
                    pids = morePids;
                pid_t *moreParents = realloc(parents, room * sizeof *parents);
                if (moreParents)
                    parents = moreParents;
                if (!morePids || !moreParents)
                    break;
            }
            pids[all] = (pid_t)atoi(entry->d_name);
            parents[all] = parent;
            ++all;
        }
        closedir(proc);
    }
    // Breadth first from this process; each process is found once, so all + 1 places do.
    pid_t *found = malloc((all + 1) * sizeof *found);
    size_t n = 0;
    if (found) {
        found[n++] = self;
        for (size_t next = 0; next < n; ++next)
            for (size_t i = 0; i < all; ++i)
                if (parents[i] == found[next])
                    found[n++] = pids[i];
        memmove(found, found + 1, (n - 1) * sizeof *found);
        --n;
    }
    free(pids);
    free(parents);
    *count = n;
    return found;
}

static void signalAll(int signal)
{
    kill(-leader, signal);
    size_t count = 0;
    pid_t *below = descendants(&count);
    for (size_t i = 0; i < count; ++i)
        kill(below[i], signal);
    free(below);
}

// Reaps what has ended; true while a child still runs.
static bool reap()
{
    for (;;) {
        int status = 0;
        const pid_t pid = waitpid(-1, &status, WNOHANG);
        if (pid == leader) {
            leaderDone = true;
            leaderStatus = status;
        }
        if (pid > 0 || (pid < 0 && errno == EINTR))
            continue;
        return pid == 0;
    }
}

// Kills every descendant and waits until all are gone; one that forks meanwhile leaves its
// child to this process, which the next round kills.
static void killAll()
{
    for (;;) {
        signalAll(SIGKILL);
        int status = 0;
        pid_t pid = waitpid(-1, &status, 0);
        for (; pid > 0 || (pid < 0 && errno == EINTR); pid = waitpid(-1, &status, WNOHANG))
            if (pid == leader) {
                leaderDone = true;
                leaderStatus = status;
            }
        if (pid < 0 && errno == ECHILD)
            return;
    }
}

static void endRun()
{
    if (!ending) {
        ending = true;
        signalAll(SIGTERM);
        alarm(killDelaySeconds);
    }
}

static _Noreturn void finish()
{
    if (WIFSIGNALED(leaderStatus))
        report(reportKilled, WTERMSIG(leaderStatus));
    else
        report(reportExited, WEXITSTATUS(leaderStatus));
    _exit(0);
}


int main(int argc, char **argv)
{
    if (argc < 3) {
        fputs("usage: orbelin-run PROGRAM ARGV0 [ARGUMENTS...]\n"
                   "Runs PROGRAM for Orbelin, which starts it; not meant to be run by hand.\n",
            stderr);
        return 127;
    }
    self = getpid();
    orbelin = getppid();
    // A report to an Orbelin that has gone must not kill this process; the program gets the
    // disposition this process was started with.
    struct sigaction pipeAction;
    struct sigaction ignore;
    memset(&pipeAction, 0, sizeof pipeAction);
    memset(&ignore, 0, sizeof ignore);
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &pipeAction);
    // The program gets standard input, output and error; the report channel is ours alone.
    fcntl(supervisorReportFd, F_SETFD, FD_CLOEXEC);
#ifdef SYS_close_range
    syscall(SYS_close_range, supervisorReportFd + 1, ~0U, 0);
#endif
    prctl(PR_SET_CHILD_SUBREAPER, 1);

    sigset_t handled, original;
    sigemptyset(&handled);
    const int signals[] = { SIGCHLD, SIGTERM, SIGINT, SIGQUIT, SIGHUP, SIGALRM };
    for (size_t i = 0; i < sizeof signals / sizeof *signals; ++i)
        sigaddset(&handled, signals[i]);
    sigprocmask(SIG_BLOCK, &handled, &original);

    int execError[2];
    if (pipe2(execError, O_CLOEXEC) != 0) {
        report(reportNotStarted, errno);
        return 127;
    }
    leader = fork();
    if (leader < 0) {
        report(reportNotStarted, errno);
        return 127;
    }
    if (leader == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != self)
            _exit(127);
        sigaction(SIGPIPE, &pipeAction, NULL);
        sigprocmask(SIG_SETMASK, &original, NULL);
        execv(argv[1], argv + 2);
        const int code = errno;
        if (write(execError[1], &code, sizeof code) < 0) { }
        _exit(127);
    }
    // Also here: a signal to the group must not miss a program that has not yet made it.
    setpgid(leader, leader);
    close(execError[1]);
    int code = 0;
    ssize_t n;
    while ((n = read(execError[0], &code, sizeof code)) < 0 && errno == EINTR) { }
    close(execError[0]);
    if (n == (ssize_t)sizeof code) {
        while (waitpid(leader, NULL, 0) < 0 && errno == EINTR) { }
        report(reportNotStarted, code);
        return 127;
    }
    report(reportStarted, leader);
    if (getppid() != orbelin)
        killAll();

    for (;;) {
        if (leaderDone) {
            if (!reap())
                finish();
            // The program has ended, and processes it started still run: they have a moment
            // to end by themselves.
            if (!ending && !lingering) {
                lingering = true;
                alarm(lingerSeconds);
            }
        }
        siginfo_t info;
        const int signal = sigwaitinfo(&handled, &info);
        switch (signal) {
        case SIGCHLD:
            reap();
            break;
        case SIGHUP:
            if (getppid() != orbelin) {
                killAll();
                _exit(0);
            }
            endRun();
            break;
        case SIGTERM:
        case SIGINT:
        case SIGQUIT:
            endRun();
            break;
        case SIGALRM:
            if (lingering && !ending) {
                // They did not: the run failed.
                outlived = true;
                endRun();
            } else {
                killAll();
            }
            break;
        default:
            break;
        }
    }
}
