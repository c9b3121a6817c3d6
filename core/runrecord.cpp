#include "runrecord.h"

#include "jobfiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonArray toJson(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

QStringList fromJson(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &item : value.toArray())
        list << item.toString();
    return list;
}

} // namespace

bool RunRecord::read(const QString &dir)
{
    QFile file(QDir(dir).filePath(fileName()));
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1 << 20)
        return false;
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    // A record of format 1 names no program file: it never matches a run of this one.
    const int format = o.value("format").toInt();
    if (format != 1 && format != 2)
        return false;
    programFiles = fromJson(o.value("program_files"));
    inputPath = o.value("input").toString();
    inputSha256 = o.value("input_sha256").toString();
    atomsProgram = o.value("atoms_program").toString();
    atomsArguments = fromJson(o.value("atoms_arguments"));
    feffProgram = o.value("feff_program").toString();
    feffArguments = fromJson(o.value("feff_arguments"));
    exitCode = o.value("exit_code").toInt();
    started = QDateTime::fromString(o.value("started").toString(), Qt::ISODateWithMs);
    seconds = o.value("seconds").toDouble();
    feffInpSha256 = o.value("feff_inp_sha256").toString();
    feffInpEdited = o.value("feff_inp_edited").toBool();
    chiSha256 = o.value("chi_sha256").toString();
    chiPoints = o.value("chi_points").toInt();
    return !inputSha256.isEmpty() && !feffInpSha256.isEmpty() && !chiSha256.isEmpty();
}

bool RunRecord::write(const QString &dir, QString *error) const
{
    QJsonObject o;
    o.insert("format", 2);
    o.insert("input", inputPath);
    o.insert("input_sha256", inputSha256);
    o.insert("atoms_program", atomsProgram);
    o.insert("atoms_arguments", toJson(atomsArguments));
    o.insert("feff_program", feffProgram);
    o.insert("feff_arguments", toJson(feffArguments));
    o.insert("program_files", toJson(programFiles));
    o.insert("exit_code", exitCode);
    o.insert("started", started.toString(Qt::ISODateWithMs));
    o.insert("seconds", seconds);
    o.insert("feff_inp_sha256", feffInpSha256);
    o.insert("feff_inp_edited", feffInpEdited);
    o.insert("chi_sha256", chiSha256);
    o.insert("chi_points", chiPoints);
    return writeFileAtomically(QDir(dir).filePath(fileName()),
                               QJsonDocument(o).toJson(QJsonDocument::Indented), error);
}

void RunRecord::remove(const QString &dir)
{
    QFile::remove(QDir(dir).filePath(fileName()));
}

bool RunRecord::sameRunAs(const RunRecord &other) const
{
    return inputSha256 == other.inputSha256 && atomsProgram == other.atomsProgram
        && atomsArguments == other.atomsArguments && feffProgram == other.feffProgram
        && feffArguments == other.feffArguments && !programFiles.isEmpty()
        && !programFiles.contains(QString()) && programFiles == other.programFiles;
}
