// chi.dat reading: ChiData::read against a plain reader (the whole file read at once,
// skip to the "k chi" heading line, two doubles per line with std::from_chars), in the
// same run. Report only.
//
//   bench_chiread [--reads 1000] [--rounds 10] [FILE]
//
// The reads are split into rounds; within a round each reader reads the file
// reads/rounds times, the order alternating from round to round. The figures are the
// medians over the rounds of the time per read. Both readers must find the same points.
#include "benchutil.h"

#include "chidata.h"
#include "language.h"
#include "paramstore.h"

#include <QCoreApplication>
#include <QTranslator>

#include <charconv>
#include <cmath>

using namespace bench;

namespace {

struct Plain
{
    std::vector<double> k;
    std::vector<double> chi;
};

const char *skipBlanks(const char *p, const char *end)
{
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r'))
        ++p;
    return p;
}

// Reads the two first columns after the heading line whose first two words are "k chi".
bool readPlain(const std::string &path, Plain &out)
{
    out.k.clear();
    out.chi.clear();
    const std::string text = readText(path);
    const char *p = text.data();
    const char *end = p + text.size();
    bool headerSeen = false;
    while (p < end) {
        const char *eol = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        if (!eol)
            eol = end;
        const char *q = skipBlanks(p, eol);
        if (!headerSeen) {
            if (q < eol && *q == 'k' && q + 1 < eol && (q[1] == ' ' || q[1] == '\t')) {
                q = skipBlanks(q + 1, eol);
                headerSeen = eol - q >= 3 && std::memcmp(q, "chi", 3) == 0
                    && (q + 3 == eol || q[3] == ' ' || q[3] == '\t' || q[3] == '\r');
            }
        } else {
            double k = 0, chi = 0;
            auto r1 = std::from_chars(q, eol, k);
            if (r1.ec == std::errc()) {
                q = skipBlanks(r1.ptr, eol);
                auto r2 = std::from_chars(q, eol, chi);
                if (r2.ec == std::errc()) {
                    out.k.push_back(k);
                    out.chi.push_back(chi);
                }
            }
        }
        p = eol + 1;
    }
    return !out.k.empty();
}

} // namespace

int main(int argc, char **argv)
{
    int reads = 1000;
    int rounds = 10;
    std::string path = ORBELIN_TEST_DATA "/chi/Cu_feff6.chi.dat";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--reads" && i + 1 < argc)
            reads = std::max(1, std::atoi(argv[++i]));
        else if (a == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else
            path = a;
    }
    QCoreApplication app(argc, argv);
    // The program's catalogue, as the program installs it.
    QTranslator translator;
    setupLanguage(&app, &translator, ParamStore());
    const QString qpath = QString::fromStdString(path);
    const int perRound = std::max(1, reads / rounds);

    // Both readers must agree before their times mean anything.
    ChiData chi;
    chi.read(qpath);
    Plain plain;
    readPlain(path, plain);
    bool same = chi.valid && size_t(chi.kValues.size()) == plain.k.size();
    for (size_t i = 0; same && i < plain.k.size(); ++i)
        same = std::abs(chi.kValues[int(i)] - plain.k[i]) < 1e-12
            && std::abs(chi.chiValues[int(i)] - plain.chi[i]) < 1e-12;
    if (!same) {
        std::fprintf(stderr, "the readers disagree on %s (%d and %zu points)\n", path.c_str(),
                     int(chi.kValues.size()), plain.k.size());
        result("chi.dat read", "readers disagree", "report only", "-");
        return 1;
    }

    std::vector<double> tChi, tPlain;
    for (int r = 0; r < rounds; ++r) {
        for (int j = 0; j < 2; ++j) {
            const double t0 = now();
            if ((j + r) % 2 == 0) {
                for (int i = 0; i < perRound; ++i)
                    chi.read(qpath);
                tChi.push_back((now() - t0) / perRound);
            } else {
                for (int i = 0; i < perRound; ++i)
                    readPlain(path, plain);
                tPlain.push_back((now() - t0) / perRound);
            }
        }
    }
    const double ratio = medianRatio(tChi, tPlain);
    std::printf("chi.dat reading: %s, %zu points, %d reads each in %d rounds\n", path.c_str(),
                plain.k.size(), perRound * rounds, rounds);
    std::printf("  ChiData::read   median %8.1f us/read  rounds: %s\n", 1e6 * median(tChi),
                join(tChi, 1e6, 1).c_str());
    std::printf("  from_chars      median %8.1f us/read  rounds: %s\n", 1e6 * median(tPlain),
                join(tPlain, 1e6, 1).c_str());
    std::printf("  ratio %.2f\n", ratio);
    char fig[200];
    std::snprintf(fig, sizeof fig, "ChiData::read %.1f us, from_chars %.1f us per read: %.1fx",
                  1e6 * median(tChi), 1e6 * median(tPlain), ratio);
    result("chi.dat read (401 points)", fig, "report only", "-");
    return 0;
}
