#ifndef FEFFPATHS_H
#define FEFFPATHS_H

#include <string>
#include <vector>

// One scattering path of a FEFF 6 run, as its feffNNNN.dat gives it.
struct FeffPath
{
    int legs = 0;
    double degeneracy = 0;
    double reff = 0; // half the path length, A
    // On the file's k points: the total phase 2 phc + phase[feff], the amplitude
    // mag[feff] * red factor, and the mean free path (A).
    std::vector<double> k, phase, amplitude, lambda;
};

// Reads a feffNNNN.dat; returns why it could not, else an empty string.
std::string parseFeffPath(const std::string &text, FeffPath *path);

// A path FEFF summed into its chi.dat: the path file, degeneracy, legs and reff of the
// path list in chi.dat's header (the paths that passed FEFF's curved-wave filter).
struct ChiDatPath
{
    std::string file;
    double degeneracy = 0;
    int legs = 0;
    double reff = 0;
};
std::vector<ChiDatPath> chiDatPaths(const std::string &chiDat);

// chi(k) of a path (S0^2 = 1, no disorder, no shift) at the points k, as FEFF's sum over
// paths writes it: N |f(k)| / (k R^2) exp(-2R / lambda(k)) sin(2kR + phase(k)).
std::vector<double> pathChi(const FeffPath &path, double degeneracy, const std::vector<double> &k);

// The part of a FEFF 6 run's chi(k) that its first shell makes at the points k (those of its
// chi.dat): the sum of the paths of its chi.dat within width (A) of the shortest; for
// Orbelin's average of several runs, the weighted sum of theirs. chi is empty and error
// says why when the run's files do not tell it.
struct FirstShell
{
    std::vector<double> chi;
    int paths = 0;
    double reff = 0; // of the shortest path
    std::string error;
};
FirstShell readFirstShell(
    const std::string &feffDir, const std::vector<double> &k, double width = 0.25);

#endif
