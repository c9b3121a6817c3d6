#include "paramstore.h"

#include "textcodec.h"

#include <QDebug>
#include <QFile>
#include <QTextStream>

ParamStore::ParamStore(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString(argv[i]);

    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (!arg.startsWith(QLatin1Char('-')))
            continue;
        QString argValue;
        if (i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1Char('-'))) {
            argValue = args.at(i + 1);
            ++i;
        }
        set(arg, argValue);
    }
}

void ParamStore::set(const QString &key, const QString &value)
{
    exactMap.insert(key, value);
    foldedMap.insert(key.toUpper(), value);
}

bool ParamStore::contains(const QString &key) const
{
    return exactMap.contains(key);
}

QString ParamStore::value(const QString &key, const QString &defaultValue) const
{
    return exactMap.value(key, defaultValue);
}

QString ParamStore::valueNoCase(const QString &key, const QString &defaultValue) const
{
    return foldedMap.value(key.toUpper(), defaultValue);
}

bool ParamStore::readConfigFile(const QString &path)
{
    qDebug() << "Conifg File : " << path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug() << "Can't open config file : " << path;
        return false;
    }
    readConfig(file);
    const bool read = file.error() == QFile::NoError;
    file.close();
    return read;
}

void ParamStore::readConfig(QIODevice &device)
{
    const QByteArray bytes = device.readAll();
    QTextStream in(bytes);
    in.setCodec(codecOfUserText(bytes));
    while (!in.atEnd()) {
        const QString line = stripComment(in.readLine());
        if (isBlankLine(line))
            continue;
        QString rest;
        const QString key = takeToken(line, &rest);
        const QString keyValue = takeToken(rest, &rest);
        set(key, keyValue);
    }
}

QString stripComment(const QString &line)
{
    const int hash = line.indexOf(QLatin1Char('#'));
    return hash < 0 ? line : line.left(hash);
}

bool isBlankLine(const QString &line)
{
    return line.simplified().isEmpty();
}

QString takeToken(const QString &text, QString *rest)
{
    int start = 0;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    if (start == text.size()) {
        rest->clear();
        return QString();
    }

    if (text.at(start) == QLatin1Char('"')) {
        const int close = text.indexOf(QLatin1Char('"'), start + 1);
        if (close < 0) {
            const QString token = text.mid(start + 1);
            rest->clear();
            return token;
        }
        const QString token = text.mid(start + 1, close - start - 1);
        *rest = text.mid(close + 1);
        return token;
    }

    int end = start;
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    const QString token = text.mid(start, end - start);
    *rest = text.mid(end);
    return token;
}
