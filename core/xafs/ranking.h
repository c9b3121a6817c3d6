#ifndef RANKING_H
#define RANKING_H

#include "fit.h"

#include <string>
#include <vector>

// One job of a batch as the ranking sees it.
struct RankCandidate
{
    std::string input; // the input file, as the report names it
    std::string workdir;
    std::string element; // its absorber from feff.inp; empty when unknown
    std::string edge;
    bool hasChi = false; // the job produced chi(k); then fit is its fit
    FitResult fit;
};

enum class RankStatus { Ranked, OtherAbsorber, FitFailed, NoChi };

struct RankEntry
{
    size_t candidate; // index into the candidates
    RankStatus status;
    int rank; // 1 for the best; 0 when not ranked
};

// Every candidate once: the ranked ones best first (lowest R-factor; equal ones by input,
// then working directory, then their order), then those whose absorber is not element (or
// whose edge is not edge, when both are known), then failed fits, then jobs without chi(k),
// each group in the candidates' order. An empty element or an unknown absorber ranks all.
std::vector<RankEntry> rankCandidates(const std::vector<RankCandidate> &candidates,
    const std::string &element, const std::string &edge);

// The ranking as tab-separated text: the heading "rank input rfactor s02 de0 sigma2 workdir
// at_bound", one line per ranked job, then one per other absorber and failed fit with "-" for
// rank and numbers and the reason in the last field. Jobs without chi(k) are left out. Numbers
// have fixed decimals, whatever the locale, so that the same ranking gives the same bytes.
std::string rankingTsv(
    const std::vector<RankCandidate> &candidates, const std::vector<RankEntry> &entries);

#endif
