#include "paramstore.h"

#include "testutil.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

class TestParamStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        return testutil::writeFileIn(tmp, name, bytes);
    }

    static QByteArray sjis(const QString &text)
    {
        return QTextCodec::codecForName("Shift-JIS")->fromUnicode(text);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("Shift-JIS"));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QStringList>("values"); // values of the present keys, in order
        QTest::addColumn<QStringList>("absent");

        QTest::newRow("no arguments") << QStringList{"orbelin"} << QStringList() << QStringList()
                                      << QStringList{"orbelin", "-noGui"};
        QTest::newRow("flag then key with value")
            << QStringList{"orbelin", "-noGui", "-c", "my.cfg"} << QStringList{"-noGui", "-c"}
            << QStringList{"", "my.cfg"} << QStringList{"my.cfg"};
        QTest::newRow("flag swallows a path")
            << QStringList{"orbelin", "-noGui", "path/x.cfg"} << QStringList{"-noGui"}
            << QStringList{"path/x.cfg"} << QStringList{"path/x.cfg"};
        QTest::newRow("last key gets empty value")
            << QStringList{"orbelin", "-config"} << QStringList{"-config"} << QStringList{""}
            << QStringList();
        QTest::newRow("value never begins with a dash")
            << QStringList{"orbelin", "-config", "-weird.cfg"} << QStringList{"-config", "-weird.cfg"}
            << QStringList{"", ""} << QStringList();
        QTest::newRow("repeated key keeps last value")
            << QStringList{"orbelin", "-c", "a", "-c", "b"} << QStringList{"-c"} << QStringList{"b"}
            << QStringList();
        QTest::newRow("case and double dash are other keys")
            << QStringList{"orbelin", "-nogui", "--noGui"} << QStringList{"-nogui", "--noGui"}
            << QStringList{"", ""} << QStringList{"-noGui"};
        QTest::newRow("stray words ignored")
            << QStringList{"orbelin", "a", "-e", "b", "c"} << QStringList{"-e"} << QStringList{"b"}
            << QStringList{"a", "c"};
        QTest::newRow("program path beginning with a dash is a key")
            << QStringList{"-prog", "x"} << QStringList{"-prog"} << QStringList{"x"} << QStringList();
        QTest::newRow("empty argument is a value")
            << QStringList{"orbelin", "-c", "", "-config", "b.cfg"} << QStringList{"-c", "-config"}
            << QStringList{"", "b.cfg"} << QStringList();
        QTest::newRow("utf-8 decoded") << QStringList{"orbelin", "-c", "設定.cfg"}
                                       << QStringList{"-c"} << QStringList{"設定.cfg"} << QStringList();
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, present);
        QFETCH(QStringList, values);
        QFETCH(QStringList, absent);

        QList<QByteArray> bytes;
        for (const QString &arg : args)
            bytes << arg.toUtf8();
        QVector<char *> argv;
        for (QByteArray &b : bytes)
            argv << b.data();
        argv << nullptr;

        const ParamStore store(args.size(), argv.data());
        for (int i = 0; i < present.size(); ++i) {
            QVERIFY2(store.contains(present.at(i)), qPrintable(present.at(i)));
            QCOMPARE(store.value(present.at(i), "default"), values.at(i));
        }
        for (const QString &key : absent) {
            QVERIFY2(!store.contains(key), qPrintable(key));
            QCOMPARE(store.value(key, "default"), QString("default"));
        }
    }

    void lookups()
    {
        ParamStore store;
        store.set("max_proc", "2");
        store.set("MAX_PROC", "3");
        store.set("Empty", "");
        QCOMPARE(store.value("max_proc"), QString("2"));
        QCOMPARE(store.value("MAX_PROC"), QString("3"));
        QCOMPARE(store.valueNoCase("Max_Proc"), QString("3")); // last stored spelling wins
        QVERIFY(!store.contains("Max_Proc"));
        QCOMPARE(store.value("Max_Proc", "d"), QString("d"));
        QCOMPARE(store.value("Empty", "d"), QString());
        QCOMPARE(store.valueNoCase("EMPTY", "d"), QString());
        QCOMPARE(store.valueNoCase("missing", "d"), QString("d"));
    }

    void takeToken_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("rest");

        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("blanks only") << " \t " << "" << "";
        QTest::newRow("word") << "KEY" << "KEY" << "";
        QTest::newRow("word and rest") << "  KEY value more" << "KEY" << " value more";
        QTest::newRow("tab separates") << "KEY\tvalue" << "KEY" << "\tvalue";
        QTest::newRow("full-width space separates") << QString::fromUtf8("KEY\u3000値") << "KEY"
                                                    << QString::fromUtf8("\u3000値");
        QTest::newRow("quoted with blanks") << " \"C:/Program Files/x\" tail" << "C:/Program Files/x"
                                            << " tail";
        QTest::newRow("quoted empty") << "\"\"" << "" << "";
        QTest::newRow("unterminated quote") << "\"abc def" << "abc def" << "";
        QTest::newRow("quote inside word") << "ab\"cd\" e" << "ab\"cd\"" << " e";
        QTest::newRow("text right after closing quote") << "\"a b\"c d" << "a b" << "c d";
    }

    void takeToken()
    {
        QFETCH(QString, text);
        QFETCH(QString, token);
        QFETCH(QString, rest);
        QString actualRest = "sentinel";
        QCOMPARE(::takeToken(text, &actualRest), token);
        QCOMPARE(actualRest, rest);
    }

    void commentsAndBlanks_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("stripped");
        QTest::addColumn<bool>("blank");

        QTest::newRow("no comment") << "KEY v" << "KEY v" << false;
        QTest::newRow("comment line") << "# all" << "" << true;
        QTest::newRow("trailing comment") << "KEY v # note" << "KEY v " << false;
        QTest::newRow("hash inside quotes") << "KEY \"a#b\"" << "KEY \"a" << false;
        QTest::newRow("blanks and tabs") << " \t  " << " \t  " << true;
    }

    void commentsAndBlanks()
    {
        QFETCH(QString, line);
        QFETCH(QString, stripped);
        QFETCH(bool, blank);
        QCOMPARE(stripComment(line), stripped);
        QCOMPARE(isBlankLine(stripComment(line)), blank);
    }

    void configFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("exact"); // look up with value() or valueNoCase()
        QTest::addColumn<QString>("expected");

        const QString dflt = "<default>";
        QTest::newRow("plain") << QByteArray("MAX_PROC 3\n") << "MAX_PROC" << true << "3";
        QTest::newRow("last line wins") << QByteArray("MAX_PROC 3\nMAX_PROC 4\n") << "MAX_PROC"
                                        << true << "4";
        QTest::newRow("third word ignored") << QByteArray("FEFF_ARG a b\n") << "FEFF_ARG" << true
                                            << "a";
        QTest::newRow("key alone has empty value") << QByteArray("FEFF_EXE\n") << "FEFF_EXE"
                                                   << true << "";
        QTest::newRow("lower-case MAX_PROC found any case")
            << QByteArray("max_proc 2\n") << "MAX_PROC" << false << "2";
        QTest::newRow("lower-case CIF_FILES not found exactly")
            << QByteArray("cif_files /x\n") << "CIF_FILES" << true << dflt;
        QTest::newRow("quoted value with blanks")
            << QByteArray("ATOMS_ARG \"-S  datoms\" # c\n") << "ATOMS_ARG" << true << "-S  datoms";
        QTest::newRow("hash cuts a quoted value")
            << QByteArray("RES_FILES \"a#b\"\n") << "RES_FILES" << true << "a";
        QTest::newRow("equals joins into one key")
            << QByteArray("MAX_PROC=3\n") << "MAX_PROC" << true << dflt;
        QTest::newRow("comment line") << QByteArray("# MAX_PROC 3\n") << "MAX_PROC" << true << dflt;
        QTest::newRow("CR LF line ends") << QByteArray("A 1\r\nMAX_PROC 5\r\n") << "MAX_PROC"
                                         << true << "5";
        QTest::newRow("no final line end") << QByteArray("MAX_PROC 7") << "MAX_PROC" << true << "7";
        QTest::newRow("tab between") << QByteArray("\tMAX_PROC\t\t8\n") << "MAX_PROC" << true << "8";
        QTest::newRow("shift-jis full-width space and text")
            << sjis(QString::fromUtf8("RES_FILES\u3000結果フォルダ\u3000余り\r\n")) << "RES_FILES"
            << true << QString::fromUtf8("結果フォルダ");
        QTest::newRow("shift-jis quoted value with full-width space")
            << sjis(QString::fromUtf8("CIF_FILES \"入力\u3000CIF\"\n")) << "CIF_FILES" << true
            << QString::fromUtf8("入力\u3000CIF");
    }

    void configFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QFETCH(bool, exact);
        QFETCH(QString, expected);

        const QString path = writeFile("config.cfg", content);
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Conifg File :  \"" + path + "\""));
        ParamStore store;
        store.readConfigFile(path);
        const QString found = exact ? store.value(key, "<default>") : store.valueNoCase(key, "<default>");
        QCOMPARE(found, expected);
    }

    void unopenableFile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing") << tmp.filePath("missing.cfg");
        QTest::newRow("empty path") << QString();
        QTest::newRow("quote and backslash in name") << tmp.filePath("a\"b\\c.cfg");
    }

    void unopenableFile()
    {
        QFETCH(QString, path);
        QString rendered = path;
        rendered.replace("\\", "\\\\").replace("\"", "\\\"");
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Conifg File :  \"" + rendered + "\""));
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Can't open config file :  \"" + rendered + "\""));
        ParamStore store;
        store.readConfigFile(path);
        QCOMPARE(store.valueNoCase("MAX_PROC", "6"), QString("6"));
    }
};

QTEST_GUILESS_MAIN(TestParamStore)
#include "tst_paramstore.moc"
