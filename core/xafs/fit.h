#ifndef FIT_H
#define FIT_H

#include <memory>
#include <string>
#include <vector>

// What a fit of a calculated chi(k) to a measured one compares, and the bounds of its
// parameters. The k and R ranges are in 1/A and A; a kmax past the data's end is cut to it.
// The defaults are those that ranked true structures first most often on real spectra
// (bench/README.md): k weight 1 and R up to 4.5 A, the range FEFF's default RMAX of 5 A
// fills, where polymorphs differ; there the second shell shows, and one sigma2 for all
// paths fits soft second shells badly, hence shellSigma2.
struct FitOptions
{
    double kmin = 3;
    double kmax = 12;
    int kweight = 1;
    double rmin = 1;
    double rmax = 4.5;
    double dk = 1;

    double s02Min = 0.5, s02Max = 1.5;
    double de0Min = -15, de0Max = 15;
    double sigma2Min = -0.005, sigma2Max = 0.03;
    // Fits start from the best E0 shifts of a scan over the bounds in steps of de0Step (eV):
    // at most this many, so that a local minimum does not decide.
    int starts = 2;
    double de0Step = 2;
    // With a calculation that tells its first shell apart, the paths beyond it get their own
    // sigma2, between the first shell's and sigma2Max; without, or with shellSigma2 false,
    // one sigma2 damps all paths.
    bool shellSigma2 = true;
};

// Reads "kmin,kmax,kweight,rmin,rmax" and an optional sixth field, "one" (one sigma2 for all
// paths) or "shells", into options; returns the reason when a value is missing or bad (then
// options are unchanged), else an empty string.
std::string parseFitRanges(const std::string &text, FitOptions *options);

// A calculated chi(k): k ascending (1/A), and optionally the part of chi that the first
// shell's paths make (same length; empty when unknown).
struct CalcChi
{
    std::vector<double> k;
    std::vector<double> chi;
    std::vector<double> firstShell;
};

// The end of one fit: the parameters, the R-factor over the R range and the names of the
// parameters that ended at a bound ("s02", "de0", "sigma2", "sigma2_far"). sigma2Far is the
// sigma2 of the paths beyond the first shell (equal to sigma2 when one damps all). ok is
// false, with the reason in error, when there was nothing to fit.
struct FitResult
{
    bool ok = false;
    std::string error;
    double rfactor = 0;
    double s02 = 0;
    double de0 = 0;
    double sigma2 = 0;
    double sigma2Far = 0;
    bool shells = false; // the first shell had its own sigma2
    std::vector<std::string> atBound;
};

// The model with a fit's parameters at the points k: S0^2 exp(-2 sigma2 k^2) (first(k') +
// exp(-2 (sigma2Far - sigma2) k^2) rest(k')), k'^2 = k^2 - 0.2625 dE0 (dE0 in eV), where
// first is the first shell's part of chi and rest the remainder; zero where k' falls outside
// the calculation.
std::vector<double> fittedChi(
    const CalcChi &calc, const FitResult &fit, const std::vector<double> &k);

// A measured chi(k) made ready for many fits against it: its transform over the R range and
// the map from a model on the transform's k grid to the same R points. Immutable once made;
// fit() may be called from any number of threads at once and gives the same bits for the
// same calculation whatever the thread or the order.
class FitTarget
{
public:
    // k ascending (1/A). A target that cannot be fitted against says why in error().
    FitTarget(const std::vector<double> &k, const std::vector<double> &chi,
        const FitOptions &options = FitOptions());
    ~FitTarget();
    FitTarget(FitTarget &&) noexcept;
    FitTarget &operator=(FitTarget &&) noexcept;

    bool isValid() const;
    const std::string &error() const;
    // The options in force, kmax cut to the data's end.
    const FitOptions &options() const;

    FitResult fit(const CalcChi &calc) const;

    struct Data;

private:
    std::unique_ptr<Data> d;
};

// Fits every calculation against target on a pool of threads (0: one per core); result i
// belongs to calculation i.
std::vector<FitResult> fitAll(
    const FitTarget &target, const std::vector<CalcChi> &calculations, int threads = 0);

#endif
