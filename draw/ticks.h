#ifndef TICKS_H
#define TICKS_H

#include <QString>
#include <QVector>

// Upper bound on the ticks tickValues() returns for one axis.
constexpr int maxTicks = 100;

// Chooses a 1-2-5 tick step for the range lower..upper and the first and last tick in it.
// Returns false, with step 0 and first > last, when the range has no ticks.
bool computeTicks(double lower, double upper, double &step, double &first, double &last);

// The tick positions from computeTicks(), walked by repeated addition of the step.
QVector<double> tickValues(double lower, double upper);

// The y-axis label of a tick value, about five characters wide.
QString formatTickLabel(double value);

// The labels the plot draws for the ticks of a step: the value taken as the multiple of the
// step it drifted from, so that zero reads "0.00" and not "-0.00", with as many decimals as
// the step needs to tell neighbouring ticks apart (y: at least those of formatTickLabel;
// x: at least the 6 significant digits of QString::number's 'g' format).
QString yTickLabel(double value, double step);
QString xTickLabel(double value, double step);

#endif
