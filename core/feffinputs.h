#ifndef FEFFINPUTS_H
#define FEFFINPUTS_H

#include <QByteArray>
#include <QString>
#include <QVector>

// One of several FEFF inputs a converter printed: its name (also its directory's), its
// weight in the job's average and the feff.inp text, from the marker line to END.
struct ConvertedInput
{
    QString name;
    double weight = 1;
    QByteArray text;
};

// The converter's output cut at its "* orbelin-atoms input NAME weight W" lines. An output
// without such a line holds one FEFF input the old way (inputs and error both empty). One
// that is not of the form, or that could be read in more than one way (a name twice, a
// FEFF input outside any input, a weight that is no positive number), gives an error that
// says where, and no inputs.
struct FeffInputs
{
    QVector<ConvertedInput> inputs;
    QString error;

    static FeffInputs split(const QByteArray &output);
};

#endif
