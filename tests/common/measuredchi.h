// A measured spectrum made of a calculated chi(k), for tests whose ranking must be known.
#ifndef MEASUREDCHI_H
#define MEASUREDCHI_H

#include "measurement.h"
#include "testutil.h"

namespace testutil {

// Loads into measured the chi(k) scaled by scale, written as a two-column file at path:
// the fit of the job that calculated chi is then exact, with S0² 1 / scale.
inline bool measureOf(
    MeasuredSpectrum *measured, const ChiData &chi, double scale, const QString &path)
{
    QByteArray text = "# k chi\n";
    for (int i = 0; i < chi.kValues.size(); ++i)
        text += QByteArray::number(chi.kValues[i], 'f', 4) + ' '
            + QByteArray::number(scale * chi.chiValues[i], 'e', 9) + '\n';
    QString error;
    return writeFile(path, text) && measured->load(path, MeasuredOptions(), &error);
}

} // namespace testutil

#endif
