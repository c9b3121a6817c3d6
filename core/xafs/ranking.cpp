#include "ranking.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

std::string upper(std::string s)
{
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool sameAbsorber(const RankCandidate &c, const std::string &element, const std::string &edge)
{
    if (element.empty() || c.element.empty())
        return true;
    if (upper(c.element) != upper(element))
        return false;
    return edge.empty() || c.edge.empty() || upper(c.edge) == upper(edge);
}

// std::to_chars ignores the locale, unlike printf.
std::string fixed(double v, int decimals)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string s(buf, r.ptr);
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-')
        s.erase(0, 1);
    return s;
}

std::string field(const std::string &s)
{
    std::string out;
    for (char c : s) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

} // namespace

std::vector<RankEntry> rankCandidates(const std::vector<RankCandidate> &candidates,
    const std::string &element, const std::string &edge)
{
    std::vector<RankEntry> ranked, others, failed, none;
    for (size_t i = 0; i < candidates.size(); ++i) {
        const RankCandidate &c = candidates[i];
        if (!c.hasChi)
            none.push_back({ i, RankStatus::NoChi, 0 });
        else if (!sameAbsorber(c, element, edge))
            others.push_back({ i, RankStatus::OtherAbsorber, 0 });
        else if (!c.fit.ok)
            failed.push_back({ i, RankStatus::FitFailed, 0 });
        else
            ranked.push_back({ i, RankStatus::Ranked, 0 });
    }
    std::sort(ranked.begin(), ranked.end(), [&](const RankEntry &a, const RankEntry &b) {
        const RankCandidate &x = candidates[a.candidate], &y = candidates[b.candidate];
        if (x.fit.rfactor != y.fit.rfactor)
            return x.fit.rfactor < y.fit.rfactor;
        if (x.input != y.input)
            return x.input < y.input;
        if (x.workdir != y.workdir)
            return x.workdir < y.workdir;
        return a.candidate < b.candidate;
    });
    for (size_t i = 0; i < ranked.size(); ++i)
        ranked[i].rank = int(i) + 1;
    std::vector<RankEntry> all = ranked;
    all.insert(all.end(), others.begin(), others.end());
    all.insert(all.end(), failed.begin(), failed.end());
    all.insert(all.end(), none.begin(), none.end());
    return all;
}

std::string rankingTsv(
    const std::vector<RankCandidate> &candidates, const std::vector<RankEntry> &entries)
{
    std::string out = "rank\tinput\trfactor\ts02\tde0\tsigma2\tworkdir\tat_bound\n";
    for (const RankEntry &e : entries) {
        const RankCandidate &c = candidates[e.candidate];
        const std::string names = field(c.input) + '\t';
        switch (e.status) {
        case RankStatus::Ranked: {
            std::string bounds;
            for (const std::string &b : c.fit.atBound)
                bounds += (bounds.empty() ? "" : ",") + b;
            out += std::to_string(e.rank) + '\t' + names + fixed(c.fit.rfactor, 6) + '\t'
                + fixed(c.fit.s02, 4) + '\t' + fixed(c.fit.de0, 3) + '\t' + fixed(c.fit.sigma2, 6)
                + '\t' + field(c.workdir) + '\t' + (bounds.empty() ? "-" : bounds) + '\n';
            break;
        }
        case RankStatus::OtherAbsorber:
            out += "-\t" + names + "-\t-\t-\t-\t" + field(c.workdir) + "\tother absorber "
                + field(c.element + (c.edge.empty() ? "" : " " + c.edge)) + '\n';
            break;
        case RankStatus::FitFailed:
            out += "-\t" + names + "-\t-\t-\t-\t" + field(c.workdir)
                + "\tfit failed: " + field(c.fit.error) + '\n';
            break;
        case RankStatus::NoChi:
            break;
        }
    }
    return out;
}
