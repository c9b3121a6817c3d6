// Stand-in for Atoms: "fake_atoms [options] -c <input>" prints a few messages and
// then a FEFF input that starts with the marker line, followed by the input's text.
//   --lines N      message lines before the marker (default 3)
//   --pieces       print in small pieces without line breaks, with pauses
//   --no-marker    leave out the marker line
//   --delay-ms N   wait before printing
//   --crash        abort after the messages
//   --kill-mid     print 60 % of the FEFF input, then end by SIGKILL
//   --exit N       exit code (default 0)
//   --log FILE     append start and end events to FILE
//   --say-args     print its arguments first, one line "fake atoms arguments: A|B|..."
// An option it does not know, as any word starting with "--no-such", it refuses as a
// converter does: one line on standard error, exit code 2.
#include "fakeoptions.h"

#include <csignal>
#include <iostream>

int main(int argc, char **argv)
{
    std::vector<std::string> words(argv + 1, argv + argc);
    std::string input;
    for (size_t i = 0; i + 1 < words.size(); ++i)
        if (words[i] == "-c")
            input = words[i + 1];

    bool readable = false;
    const std::string text = readWholeFile(input, &readable);
    FakeOptions opt;
    opt.addWords(words);
    if (readable)
        opt.addDirectives(text);

    logEvent(opt.text("log"), "start");
    for (const std::string &word : words)
        if (word.rfind("--no-such", 0) == 0) {
            std::cerr << "fake atoms: error: unknown option '" << word << "'\n";
            logEvent(opt.text("log"), "end");
            return 2;
        }
    if (opt.has("say-args")) {
        std::string joined;
        for (const std::string &word : words)
            joined += (joined.empty() ? "" : "|") + word;
        std::cout << "fake atoms arguments: " << joined << "\n";
    }
    sleepMs(opt.number("delay-ms", 0));

    std::string out;
    const long lines = opt.number("lines", 3);
    for (long i = 1; i <= lines; ++i)
        out += "fake atoms message " + std::to_string(i) + "\n";
    if (!readable) {
        std::cout << out << "fake atoms: cannot read " << input << "\n";
        logEvent(opt.text("log"), "end");
        return 2;
    }
    if (!opt.has("no-marker"))
        out += " * This feff.inp was written by fake atoms from " + input + "\n";
    out += text;

    if (opt.has("crash")) {
        std::cout << out.substr(0, out.find(" * This")) << std::flush;
        logEvent(opt.text("log"), "end");
        std::raise(SIGABRT);
    }
    if (opt.has("kill-mid")) {
        std::cout << out.substr(0, out.size() * 6 / 10) << std::flush;
        logEvent(opt.text("log"), "end");
        std::raise(SIGKILL);
    }
    if (opt.has("pieces")) {
        for (size_t at = 0; at < out.size(); at += 7) {
            std::cout << out.substr(at, 7) << std::flush;
            sleepMs(2);
        }
    } else {
        std::cout << out << std::flush;
    }
    logEvent(opt.text("log"), "end");
    return int(opt.number("exit", 0));
}
