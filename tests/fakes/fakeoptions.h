// Options shared by the stand-in programs: taken from the command line and from
// "fake: ..." directive lines in the input text, so that one test can steer one job.
#ifndef FAKEOPTIONS_H
#define FAKEOPTIONS_H

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

struct FakeOptions
{
    std::map<std::string, std::string> values;

    bool has(const std::string &key) const { return values.count(key) != 0; }
    long number(const std::string &key, long fallback) const
    {
        auto it = values.find(key);
        return it == values.end() ? fallback : std::strtol(it->second.c_str(), nullptr, 10);
    }
    std::string text(const std::string &key, const std::string &fallback = std::string()) const
    {
        auto it = values.find(key);
        return it == values.end() ? fallback : it->second;
    }

    // "--key value" or "--flag"; a value never starts with "--".
    void addWords(const std::vector<std::string> &words)
    {
        for (size_t i = 0; i < words.size(); ++i) {
            if (words[i].rfind("--", 0) != 0)
                continue;
            const std::string key = words[i].substr(2);
            if (i + 1 < words.size() && words[i + 1].rfind("--", 0) != 0)
                values[key] = words[++i];
            else
                values[key] = "1";
        }
    }

    // Every line containing "fake: " contributes the words after it.
    void addDirectives(const std::string &text)
    {
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            const auto at = line.find("fake: ");
            if (at == std::string::npos)
                continue;
            std::istringstream words(line.substr(at + 6));
            std::vector<std::string> list;
            std::string word;
            while (words >> word)
                list.push_back(word);
            addWords(list);
        }
    }
};

inline std::string readWholeFile(const std::string &path, bool *ok)
{
    std::ifstream in(path, std::ios::binary);
    // A directory opens as a stream on Linux; it is no readable input.
    *ok = static_cast<bool>(in) && std::filesystem::is_regular_file(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void sleepMs(long ms)
{
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Appends "<event> <pid> <microseconds on the monotonic clock> <working directory>"
// in one write, so that concurrent stand-ins never interleave within a line.
inline void logEvent(const std::string &path, const char *event)
{
    if (path.empty())
        return;
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count();
    char cwd[4096] = "?";
    if (!getcwd(cwd, sizeof cwd))
        cwd[0] = '?', cwd[1] = '\0';
    char line[4300];
    const int n = std::snprintf(line, sizeof line, "%s %d %lld %s\n", event, int(getpid()),
                                static_cast<long long>(now), cwd);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd >= 0) {
        if (write(fd, line, size_t(n)) < 0)
            std::perror("log");
        close(fd);
    }
}

#endif
