// Stand-in for FEFF: reads feff.inp in the working directory and writes chi.dat
// in the layout of FEFF 6 (title lines, a "k chi mag phase" heading, 4 columns).
//   --delay-ms N     wait before writing the results
//   --points N       number of chi rows (default 401: k = 0 to 20 by 0.05)
//   --amp A          amplitude of the curve (default 1)
//   --no-chi         write no chi.dat
//   --empty-chi      write chi.dat with the heading but no rows
//   --copy-chi FILE  write a copy of FILE as chi.dat
//   --nan-k A,B      write nan for chi, mag and phase where A <= k <= B
//   --chi-dir        make chi.dat a directory
//   --feffdat N      also write feff0001.dat .. feffNNNN.dat
//   --lines N        print N lines of output (--width W characters, default 80)
//   --flush-lines    flush after every output line
//   --say WORD       print a line "WORD" (underscores become blanks)
// An empty feff.inp gives a fatal-error line and no results, with exit code 0, as in FEFF 6.
//   --crash          abort before writing anything
//   --crash-mid      abort after the output lines, before the results
//   --kill           end by SIGKILL after the output lines, before the results
//   --cut-chi N      write only the first N rows of chi.dat, then end by SIGKILL
//   --hang           print a line and then wait for ever
//   --garbage N      print N bytes of binary garbage (NUL, invalid UTF-8, lone CRs)
//   --unbroken N     print N characters without any line break
//   --exit N         exit code (default 0)
//   --log FILE       append start and end events to FILE
//   --spawn-child    fork a child (of the same process group) that writes chi.dat slowly,
//                    a row every 20 ms, and logs "child" to the --log FILE; the program
//                    itself goes on without writing chi.dat
//   --setsid         the child first leaves the process group and session (setsid)
//   --ignore-term    ignore SIGTERM (the child too)
#include "fakeoptions.h"

#include <cerrno>
#include <cmath>
#include <csignal>
#include <iostream>

// rowDelayMs: a pause after each row, flushed, as a slow writer.
static void writeChi(const FakeOptions &opt, long rowDelayMs = 0)
{
    if (opt.has("copy-chi")) {
        bool ok = false;
        std::ofstream("chi.dat", std::ios::binary | std::ios::trunc)
            << readWholeFile(opt.text("copy-chi"), &ok);
        return;
    }
    std::ofstream chi("chi.dat", std::ios::binary | std::ios::trunc);
    chi << " fake feff chi.dat                                       Feff 6L.02\n"
           " ---------------------------------------------------------------\n"
           "      k          chi          mag           phase @#\n";
    if (opt.has("empty-chi"))
        return;
    const long points = opt.has("cut-chi") ? opt.number("cut-chi", 0) : opt.number("points", 401);
    const double amp = std::strtod(opt.text("amp", "1").c_str(), nullptr);
    double nanFrom = 1, nanTo = 0;
    if (opt.has("nan-k"))
        std::sscanf(opt.text("nan-k").c_str(), "%lf,%lf", &nanFrom, &nanTo);
    for (long i = 0; i < points; ++i) {
        const double k = 0.05 * double(i);
        const double mag = amp * std::exp(-0.01 * k * k) * k / (1.0 + k * k);
        const double value = mag * std::sin(2.0 * 2.55 * k);
        char row[128];
        if (k >= nanFrom - 1e-9 && k <= nanTo + 1e-9)
            std::snprintf(row, sizeof row, "%11.4f %13s %13s %13s\n", k, "nan", "nan", "nan");
        else
            std::snprintf(
                row, sizeof row, "%11.4f %13.6E %13.6E %13.6E\n", k, value, mag, 2.0 * 2.55 * k);
        chi << row;
        if (rowDelayMs > 0) {
            chi << std::flush;
            sleepMs(rowDelayMs);
        }
    }
}

int main(int argc, char **argv)
{
    FakeOptions opt;
    opt.addWords(std::vector<std::string>(argv + 1, argv + argc));
    bool readable = false;
    const std::string input = readWholeFile("feff.inp", &readable);
    if (readable)
        opt.addDirectives(input);

    logEvent(opt.text("log"), "start");
    if (opt.has("ignore-term"))
        std::signal(SIGTERM, SIG_IGN);
    std::cout << " Feff 6L.02 (fake)\n" << std::flush;
    if (!readable) {
        std::cout << " fake feff: no feff.inp\n";
        logEvent(opt.text("log"), "end");
        return 1;
    }
    // As FEFF 6 does: an empty input is a fatal error, with exit code 0 and no results.
    if (input.find_first_not_of(" \t\r\n") == std::string::npos) {
        std::cout << " Fatal Error: feff.inp is empty\n";
        logEvent(opt.text("log"), "end");
        return 0;
    }
    sleepMs(opt.number("delay-ms", 0));
    if (opt.has("crash")) {
        logEvent(opt.text("log"), "end");
        std::raise(SIGABRT);
    }

    const long lines = opt.number("lines", 0);
    const long width = opt.number("width", 80);
    const bool flushLines = opt.has("flush-lines");
    for (long i = 0; i < lines; ++i) {
        std::string line = "line " + std::to_string(i) + " ";
        line.resize(size_t(width > 1 ? width - 1 : 0), 'x');
        std::cout << line << '\n';
        if (flushLines)
            std::cout << std::flush;
    }

    if (opt.has("garbage")) {
        unsigned state = 12345;
        std::string bytes(size_t(opt.number("garbage", 0)), '\0');
        for (char &c : bytes) {
            state = state * 1103515245u + 12345u;
            c = char(state >> 16);
        }
        std::cout.write(bytes.data(), std::streamsize(bytes.size()));
    }
    if (opt.has("unbroken"))
        std::cout << std::string(size_t(opt.number("unbroken", 0)), 'y');
    std::cout << std::flush;
    if (opt.has("crash-mid") || opt.has("kill")) {
        logEvent(opt.text("log"), "end");
        std::raise(opt.has("kill") ? SIGKILL : SIGABRT);
    }
    if (opt.has("spawn-child")) {
        std::cout << std::flush;
        // The program goes on once its child has begun.
        int begun[2];
        if (pipe(begun) != 0)
            return 3;
        if (fork() == 0) {
            if (opt.has("setsid"))
                setsid();
            logEvent(opt.text("log"), "child");
            close(begun[1]);
            FakeOptions slow = opt;
            slow.values.erase("spawn-child");
            writeChi(slow, 20);
            logEvent(opt.text("log"), "child-end");
            _exit(0);
        }
        close(begun[1]);
        char byte;
        while (read(begun[0], &byte, 1) < 0 && errno == EINTR) { }
        close(begun[0]);
    }
    if (opt.has("hang")) {
        std::cout << " waiting for ever\n" << std::flush;
        for (;;)
            sleepMs(1000);
    }

    if (opt.has("say")) {
        std::string said = opt.text("say");
        for (char &c : said)
            c = c == '_' ? ' ' : c;
        std::cout << "    " << said << '\n';
    }

    const long feffDat = opt.number("feffdat", 0);
    for (long i = 1; i <= feffDat; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "feff%04ld.dat", i);
        std::ofstream(name) << " path " << i << "\n";
    }
    if (opt.has("chi-dir"))
        std::filesystem::create_directory("chi.dat");
    else if (!opt.has("no-chi") && !opt.has("spawn-child"))
        writeChi(opt);
    if (opt.has("cut-chi")) {
        logEvent(opt.text("log"), "end");
        std::raise(SIGKILL);
    }
    std::cout << " feff done\n" << std::flush;
    logEvent(opt.text("log"), "end");
    return int(opt.number("exit", 0));
}
