#include <QCoreApplication>
#include <QFile>
#include <QResource>
#include <QTest>
#include <QTranslator>

// The Japanese catalogue built into the program.
class TestCatalogue : public QObject
{
    Q_OBJECT

private:
    QTranslator translator;

private slots:
    void initTestCase()
    {
        QVERIFY(translator.load(":Orbelin_ja_JP", QCoreApplication::applicationDirPath(), QString(),
                                QString()));
    }

    void embeddedUncompressedAtRoot()
    {
        QResource qm(":/Orbelin_ja_JP.qm");
        QVERIFY(qm.isValid());
        QCOMPARE(qm.compressionAlgorithm(), QResource::NoCompression);
        QVERIFY(qm.size() > 0);
    }

    void translations_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("japanese");

        const QList<QStringList> table = {
            {"Demeter", "A. Finished", "Atoms完了"},
            {"Demeter", "A. Failed", "Atoms失敗"},
            {"Demeter", "F. Failed", "FeFF失敗"},
            {"Demeter", "A. Not Running", "Atoms未実行"},
            {"Demeter", "A. Running", "Atoms実行中"},
            {"Demeter", "A. Starting", "Atoms起動中"},
            {"Demeter", "Can not open feff input file : %1 to read.", "FeFF の入力ファイル %1 が開けません。"},
            {"Demeter", "Can not open feff input file : %1 to write.", "FeFF の入力ファイル %1 を作れません。"},
            {"Demeter", "Can not open feff.inp for %1", "%1 の feff.inp ファイルが開けません"},
            {"Demeter", "F. Finished", "FeFF完了"},
            {"Demeter", "F. Restart", "FeFF再起動"},
            {"Demeter", "F. Running", "FeFF実行中"},
            {"Demeter", "F. Starting", "FeFF起動中"},
            {"Demeter", "Res. Atoms", "Atoms出力"},
            {"Demeter", "Res. FeFF", "FeFF出力"},
            {"Demeter", "Update FeFF inp", "feff.inp更新"},
            {"Demeter", "demeter", "Demeter"},
            {"Gui", "CIF FIles", "CIFファイル"},
            {"Gui", "Drop CIF files here.", "CIFファイル(複数可)をここにドロップして下さい。"},
            {"Gui", "Drop FeFF Inp files here.", "FeFF入力ファイル(複数可)をここにドロップして下さい。"},
            {"Gui", "Drop Files", "ファイルドロップエリア"},
            {"Gui", "FeFF Inp Files", "FeFF入力ファイル"},
            {"Gui", "Log:", "Log:"},
            {"Gui", "MainWindow", "Orbelin"},
            {"Gui", "Proc List", "Atoms/FeFF プロセスリスト"},
            {"Gui", "&Plot", "プロット(&P)"},
            {"Gui", "Show the plot window", "プロットウィンドウを表示"},
            {"Gui", "Show all", "すべて表示"},
            {"Gui", "Show none", "すべて非表示"},
            {"Demeter", "F. Skipped", "FeFFスキップ"},
            {"Demeter", "F. Stopped", "FeFF停止"},
            {"Gui", "shown %1 of %2", "%2 件中 %1 件を表示"},
            {"Gui", "%1/%2 done, %3 running, %4 failed, %5 elapsed",
             "%1/%2 件終了、実行中 %3、失敗 %4、経過 %5"},
            {"Gui", "All %1 jobs ended: %2 with chi data, %3 failed",
             "全 %1 件のジョブが終了: chi データあり %2、失敗 %3"},
        };
        for (const QStringList &row : table)
            QTest::newRow(qPrintable(row.at(0) + ": " + row.at(1))) << row.at(0) << row.at(1) << row.at(2);
    }

    void translations()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, japanese);
        QCOMPARE(translator.translate(qPrintable(context), qPrintable(source)), japanese);
        // In its own context only.
        const char *other = context == "Gui" ? "Demeter" : "Gui";
        QVERIFY(translator.translate(other, qPrintable(source)).isEmpty());
    }

    void messagesOfTheRunTranslated_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("start failure") << "Can not start %1 : %2";
        QTest::newRow("no new chi") << "FeFF wrote no new chi.dat in %1";
        QTest::newRow("FEFF trouble") << "FeFF in %1 : %2";
        QTest::newRow("empty chi") << "chi.dat in %1 holds no data";
        QTest::newRow("crash") << "%1 crashed in %2";
        QTest::newRow("exit code") << "%1 ended with exit code %2 in %3";
        QTest::newRow("progress of several runs") << "F. Running %1/%2";
        QTest::newRow("no average") << "No average of the FeFF runs in %1 : %2 of %3 gave no chi(k) (%4)";
        QTest::newRow("partial average") << "Average of %1 of %2 FeFF runs written to %3 ; missing: %4";
    }

    void messagesOfTheRunTranslated()
    {
        QFETCH(QString, source);
        const QString japanese = translator.translate("Demeter", qPrintable(source));
        QVERIFY(!japanese.isEmpty());
        for (const char *marker : {"%1", "%2", "%3", "%4"})
            QCOMPARE(japanese.contains(marker), source.contains(marker));
    }

    void untranslatedTexts_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::newRow("F. Not Running") << "Demeter" << "F. Not Running";
        QTest::newRow("Show") << "Demeter" << "Show";
        QTest::newRow("Color") << "Demeter" << "Color";
        QTest::newRow("plot title") << "ShowChi" << "Show Chi";
        QTest::newRow("Reset Scale") << "ShowChi" << "Reset Scale";
    }

    void untranslatedTexts()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QVERIFY(translator.translate(qPrintable(context), qPrintable(source)).isEmpty());
    }

    void installedTranslatorReachesTr()
    {
        QCOMPARE(QCoreApplication::translate("Demeter", "A. Finished"), QString("A. Finished"));
        QCoreApplication::installTranslator(&translator);
        QCOMPARE(QCoreApplication::translate("Demeter", "A. Finished"), QString("Atoms完了"));
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
