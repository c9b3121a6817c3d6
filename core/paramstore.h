#ifndef PARAMSTORE_H
#define PARAMSTORE_H

#include <QMap>
#include <QString>
#include <QStringList>

class QIODevice;

// Key/value parameters from the command line or from a configuration file,
// looked up either exactly or without regard to case.
class ParamStore
{
public:
    ParamStore() = default;
    ParamStore(int argc, char **argv);

    void set(const QString &key, const QString &value);
    bool contains(const QString &key) const;
    QString value(const QString &key, const QString &defaultValue = QString()) const;
    QString valueNoCase(const QString &key, const QString &defaultValue = QString()) const;
    // The keys as given, in sorted order.
    QStringList keys() const { return exactMap.keys(); }

    // False when the file could not be opened or read.
    bool readConfigFile(const QString &path);
    // The lines of an open text device: UTF-8 when valid UTF-8 with non-ASCII characters
    // in it, Shift-JIS otherwise.
    void readConfig(QIODevice &device);

private:
    QMap<QString, QString> exactMap;
    QMap<QString, QString> foldedMap;
};

// The pieces of the configuration line format.
QString stripComment(const QString &line);
bool isBlankLine(const QString &line);
// Takes the first token of text; the remainder after it goes to rest.
QString takeToken(const QString &text, QString *rest);

#endif
