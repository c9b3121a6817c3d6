// Small helpers shared by the tests.
#ifndef TESTUTIL_H
#define TESTUTIL_H

#include "paramstore.h"
#include "runsettings.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

namespace testutil {

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(bytes) == bytes.size();
}

// Writes raw bytes into dir (tests control line ends and encoding); the path, or empty.
inline QString writeFileIn(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    return writeFile(path, bytes) ? path : QString();
}

// A new numbered directory under tmp ("case1", "case2", ...), so that the cases of a
// test never meet.
inline QString freshSubdir(const QTemporaryDir &tmp, int *count, const QString &prefix = "case")
{
    const QString dir = tmp.filePath(prefix + QString::number(++*count));
    QDir().mkpath(dir);
    return dir;
}

// The first argument of every signal a spy caught, as text: the lines a job logged.
inline QStringList spiedTexts(const QSignalSpy &spy)
{
    QStringList texts;
    for (const QList<QVariant> &args : spy)
        texts << args.at(0).toString();
    return texts;
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Run settings for the stand-in programs, with results under resFiles.
inline RunSettings fakeSettings(
    const QString &resFiles, const QStringList &atomsArgs = {}, const QStringList &feffArgs = {})
{
    RunSettings settings;
    settings.environment = QProcessEnvironment::systemEnvironment();
    settings.cifFiles = resFiles + "/in-cif";
    settings.inpFiles = resFiles + "/in-inp";
    settings.resFiles = resFiles;
    settings.atomsExe = FAKE_ATOMS;
    settings.atomsArgs = atomsArgs;
    settings.feffExe = FAKE_FEFF;
    settings.feffArgs = feffArgs;
    return settings;
}

// A command-line store built from words, as the program entry builds it from argv.
inline ParamStore commandLine(const QStringList &words)
{
    QList<QByteArray> bytes;
    for (const QString &w : QStringList { "orbelin" } + words)
        bytes << w.toUtf8();
    QVector<char *> argv;
    for (QByteArray &b : bytes)
        argv << b.data();
    return ParamStore(argv.size(), argv.data());
}

// What the converter prints for several FEFF inputs: one "name=weight=text" entry each,
// the text going into the FEFF input between its marker line and END.
inline QByteArray severalInputs(const QStringList &inputs)
{
    QByteArray out = "orbelin-atoms: a structure with a choice to make\n";
    for (const QString &input : inputs)
        out += "* orbelin-atoms input " + input.section('=', 0, 0).toUtf8() + " weight "
            + input.section('=', 1, 1).toUtf8() + "\n * This feff.inp was written for a test\n"
            + input.section('=', 2).toUtf8() + "\n END\n";
    return out;
}

inline QString testData(const QString &relative)
{
    return QString(ORBELIN_TEST_DATA) + "/" + relative;
}

} // namespace testutil

#endif
