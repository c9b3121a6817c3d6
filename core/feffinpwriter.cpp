#include "feffinpwriter.h"

#include "feffinp.h"
#include "jobfiles.h"
#include "runrecord.h"
#include "runsettings.h"
#include "textcodec.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

QString demeterTr(const char *text) { return QCoreApplication::translate("Demeter", text); }

// Text for the Atoms area: the line ends of a Windows file read as line ends.
QString displayText(const QByteArray &bytes, QTextCodec *codec)
{
    QString text = codec->toUnicode(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

} // namespace

FeffInpWriter::FeffInpWriter(const QString &dir, Log logFunction)
    : workDir(dir)
    , log(std::move(logFunction))
{
}

void FeffInpWriter::setLog(Log logFunction) { log = std::move(logFunction); }

bool FeffInpWriter::copyInput(const QString &sourcePath, const QString &givenPath, QString *display)
{
    QFile source(sourcePath);
    const QFileInfo sourceInfo(sourcePath);
    if (sourcePath.isEmpty() || !sourceInfo.isFile() || sourceInfo.size() > largestInputBytes
        || !source.open(QIODevice::ReadOnly)) {
        // A file that is gone has no canonical path; name the one the user gave.
        log(demeterTr("Can not open feff input file : %1 to read.")
                .arg(sourcePath.isEmpty() ? givenPath : sourcePath));
        return false;
    }
    // Read before the target is written: the input may itself be this job's feff.inp.
    const QByteArray bytes = source.readAll();
    if (source.error() != QFile::NoError) {
        log(demeterTr("Can not open feff input file : %1 to read.").arg(sourcePath));
        return false;
    }
    source.close();
    codec = codecOfUserText(bytes);
    const bool copied
        = replace(workDir, bytes, demeterTr("Can not open feff input file : %1 to write."));
    *display = copiedHeaderLine + displayText(bytes, codec);
    return copied;
}

bool FeffInpWriter::replace(const QString &dir, const QByteArray &bytes, const QString &openFailure)
{
    const QString path = joinPath(dir, "feff.inp");
    const QFileInfo existing(path);
    if (existing.exists()) {
        if (!existing.isFile() || isWriteProtected(path)) {
            log(openFailure.arg(path));
            return false;
        }
        QFile old(path);
        const QByteArray oldBytes
            = existing.size() <= largestInputBytes && old.open(QIODevice::ReadOnly) ? old.readAll()
                                                                                    : QByteArray();
        if (oldBytes == bytes && existing.size() == bytes.size()) {
            wrote(dir, bytes);
            return true;
        }
        RunRecord record;
        const QString oldSha = sha256Hex(oldBytes);
        const bool recorded
            = (record.read(dir) && !record.feffInpEdited && record.feffInpSha256 == oldSha)
            || (dir == workDir && recordedSha == oldSha);
        if (!recorded && !oldBytes.isEmpty()) {
            int number = 0;
            const QString backup = numberedBackupName(path, &number);
            if (!QFile::copy(path, backup)) {
                log(demeterTr("Can not write %1 : %2").arg(backup, old.errorString()));
                return false;
            }
            const QString chiPath = joinPath(dir, "chi.dat");
            if (QFileInfo::exists(chiPath))
                QFile::copy(chiPath, QStringLiteral("%1.~%2~").arg(chiPath).arg(number));
            log(demeterTr("Kept the edited feff.inp of %1 as %2").arg(dir, backup));
        }
    }
    QString error;
    bool opened = false;
    if (!writeFileAtomically(path, bytes, &error, &opened)) {
        log(opened ? demeterTr("Can not write %1 : %2").arg(path, error) : openFailure.arg(path));
        return false;
    }
    wrote(dir, bytes);
    return true;
}

void FeffInpWriter::wrote(const QString &dir, const QByteArray &bytes)
{
    writtenNow = true;
    fromArea = false;
    if (dir == workDir)
        writtenSha = sha256Hex(bytes);
}

bool FeffInpWriter::writeFromArea(const QString &text)
{
    QTextCodec *textCodec = codec ? codec : fileTextCodec();
    const QString path = joinPath(workDir, "feff.inp");
    if (QFileInfo(path).isDir() || isWriteProtected(path)) {
        log(demeterTr("Can not open feff.inp for %1").arg(path));
        return false;
    }
    QString error;
    bool opened = false;
    const QByteArray bytes = textCodec->fromUnicode(textFromMarker(text));
    if (!writeFileAtomically(path, bytes, &error, &opened)) {
        log(opened ? demeterTr("Can not write %1 : %2").arg(path, error)
                   : demeterTr("Can not open feff.inp for %1").arg(path));
        return false;
    }
    wrote(workDir, bytes);
    areaText = text;
    fromArea = true;
    return true;
}

void FeffInpWriter::takeConverterText() { codec = QTextCodec::codecForName("UTF-8"); }

QString FeffInpWriter::sourceText(const QString &converterText) const
{
    return fromArea ? areaText : converterText;
}
