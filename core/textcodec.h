#ifndef TEXTCODEC_H
#define TEXTCODEC_H

#include <QTextCodec>

// The encoding of the text files users write and share with Windows machines: the
// configuration file and FEFF inputs. File names and program arguments keep the
// system's own encoding (UTF-8 on Linux), so this is set on each text stream rather
// than made the locale's codec, which Qt also uses for file names.
inline QTextCodec *fileTextCodec()
{
    static QTextCodec *const codec = QTextCodec::codecForName("Shift-JIS");
    return codec;
}

#endif
