#ifndef TEXTCODEC_H
#define TEXTCODEC_H

#include <QByteArray>
#include <QString>
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

// The codec of a user's text file: UTF-8 when the bytes hold non-ASCII characters and are
// valid UTF-8 throughout, Shift-JIS otherwise (plain ASCII reads the same in both).
inline QTextCodec *codecOfUserText(const QByteArray &bytes)
{
    bool ascii = true;
    for (char c : bytes)
        if (uchar(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return fileTextCodec();
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state;
    utf8->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 ? utf8 : fileTextCodec();
}

#endif
