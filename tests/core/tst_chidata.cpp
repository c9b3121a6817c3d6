#include "chidata.h"

#include "testutil.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

class TestChiData : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        return testutil::writeFileIn(tmp, name, bytes);
    }

    static void verifyEmpty(const ChiData &chi)
    {
        QVERIFY(!chi.valid);
        QVERIFY(chi.kValues.isEmpty());
        QVERIFY(chi.chiValues.isEmpty());
        QVERIFY(chi.fileName.isEmpty());
        QCOMPARE(chi.minK, 1e300);
        QCOMPARE(chi.maxK, -1e300);
        QCOMPARE(chi.kMin(), 0.0);
        QCOMPARE(chi.kMax(), 20.0);
        QCOMPARE(chi.chiMin(), -1.0);
        QCOMPARE(chi.chiMax(), 1.0);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("Shift-JIS"));
    }

    void newRecordIsEmpty() { verifyEmpty(ChiData()); }

    void feffOutputs_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("firstChi");

        // The feff6 file has NUL bytes in its header lines; its heading is "k chi mag phase @#".
        QTest::newRow("feff6 Cu") << "Cu_feff6.chi.dat" << 401 << -3.152744E-01;
        QTest::newRow("feff6 FeO") << "FeO_feff6.chi.dat" << 401 << -3.884419E-01;
        // feff8l writes 20 "#" lines and its heading as a comment: "#  k  chi  mag  phase @#".
        QTest::newRow("feff8l Cu") << "Cu_feff8l.chi.dat" << 401 << -3.145718E-01;
        QTest::newRow("feff8l FeO") << "FeO_feff8l.chi.dat" << 401 << 2.499667E-01;
        // A path file of feff6l has no chi heading.
        QTest::newRow("feff6l path file") << "Cu_feff6l.feff0001.dat" << 0 << 0.0;
    }

    void feffOutputs()
    {
        QFETCH(QString, file);
        QFETCH(int, points);
        QFETCH(double, firstChi);

        const QString path = QString(ORBELIN_TEST_DATA) + "/chi/" + file;
        ChiData chi;
        chi.read(path);
        QCOMPARE(chi.kValues.size(), points);
        QCOMPARE(chi.chiValues.size(), points);
        if (points == 0) {
            verifyEmpty(chi);
            return;
        }
        QVERIFY(chi.valid);
        QCOMPARE(chi.fileName, path);
        QCOMPARE(chi.kValues.first(), 0.0);
        QCOMPARE(chi.kValues.last(), 20.0);
        QCOMPARE(chi.chiValues.first(), firstChi);
        QCOMPARE(chi.kMin(), 0.0);
        QCOMPARE(chi.kMax(), 20.0);
        const auto range = std::minmax_element(chi.chiValues.begin(), chi.chiValues.end());
        QCOMPARE(chi.chiMin(), *range.first);
        QCOMPARE(chi.chiMax(), *range.second);
        QVERIFY(chi.chiMin() < 0 && chi.chiMax() > 0);
    }

    void craftedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QVector<double>>("k");
        QTest::addColumn<QVector<double>>("chi");

        QTest::newRow("titles, dashes, heading, rows")
            << QByteArray(" title one\n title two\n ------\n   k   chi   mag   phase\n"
                          " 1.0  0.5  9 9\n 2.0 -0.25 9 9\n 3.0 0.125 9 9\n")
            << QVector<double>{1, 2, 3} << QVector<double>{0.5, -0.25, 0.125};
        QTest::newRow("no heading") << QByteArray("1 2\n3 4\n") << QVector<double>()
                                    << QVector<double>();
        QTest::newRow("heading in capitals") << QByteArray("K CHI\n1 2\n") << QVector<double>()
                                             << QVector<double>();
        QTest::newRow("heading after a lone comment sign")
            << QByteArray("# k chi mag\n1 2\n") << QVector<double> { 1 } << QVector<double> { 2 };
        QTest::newRow("comment sign joined to k")
            << QByteArray("#k chi\n1 2\n") << QVector<double>() << QVector<double>();
        const QByteArray comments("# k\n# x k chi\n#\n# k mag\n# k chi\n3 4\n");
        QTest::newRow("comment lines before, lone sign")
            << comments << QVector<double> { 3 } << QVector<double> { 4 };
        QTest::newRow("two comment signs")
            << QByteArray("# # k chi\n1 2\n") << QVector<double>() << QVector<double>();
        QTest::newRow("heading without rows") << QByteArray("k chi mag\n\n") << QVector<double>()
                                              << QVector<double>();
        QTest::newRow("k line without chi keeps looking")
            << QByteArray("k mag\nk chi\n5 6\n") << QVector<double>{5} << QVector<double>{6};
        QTest::newRow("word as number, single words skipped")
            << QByteArray("k chi\nabc 1.5\nalone\n2 xyz\n") << QVector<double>{0, 2}
            << QVector<double>{1.5, 0};
        QTest::newRow("second heading is a zero row")
            << QByteArray("k chi\n1 1\nk chi\n2 2\n") << QVector<double>{1, 0, 2}
            << QVector<double>{1, 0, 2};
        QTest::newRow("tabs, runs of blanks, CR LF, exponents")
            << QByteArray("\t k \t chi\r\n   1.5E+00\t\t-2.5e-01   x\r\n+3 1e1\r\n")
            << QVector<double>{1.5, 3} << QVector<double>{-0.25, 10};
        QTest::newRow("single row") << QByteArray("k chi\n4 -7\n") << QVector<double>{4}
                                    << QVector<double>{-7};
        QTest::newRow("not-a-number and infinite rows left out")
            << QByteArray("k chi\n0 nan\ninf 1\n1 2\n2 -inf\n1e400 3\n3 -4\nNaN NaN\n")
            << QVector<double>{1, 3} << QVector<double>{2, -4};
        QTest::newRow("only infinite rows") << QByteArray("k chi\ninf 1\n1 +inf\n")
                                            << QVector<double>() << QVector<double>();
        QTest::newRow("binary after the heading")
            << QByteArray("k chi\n1 2\n\0\0\xff\xfe\x80 \x01\n3 4", 21)
            << QVector<double>{1, 0, 3} << QVector<double>{2, 0, 4};
    }

    void craftedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QVector<double>, k);
        QFETCH(QVector<double>, chi);

        const QString path = writeFile("chi.dat", content);
        ChiData data;
        data.read(path);
        QCOMPARE(data.kValues, k);
        QCOMPARE(data.chiValues, chi);
        if (k.isEmpty()) {
            verifyEmpty(data);
            return;
        }
        QVERIFY(data.valid);
        QCOMPARE(data.fileName, path);
        QCOMPARE(data.minK, *std::min_element(k.begin(), k.end()));
        QCOMPARE(data.maxK, *std::max_element(k.begin(), k.end()));
        QCOMPARE(data.minChi, *std::min_element(chi.begin(), chi.end()));
        QCOMPARE(data.maxChi, *std::max_element(chi.begin(), chi.end()));
    }

    void missingFileDropsPreviousData()
    {
        ChiData data;
        data.read(writeFile("good.dat", "k chi\n1 2\n"));
        QVERIFY(data.valid);
        const QString missing = tmp.filePath("missing.dat");
        QTest::ignoreMessage(QtDebugMsg, qPrintable("Can not open feff-chi-dat :  \"" + missing + "\""));
        data.read(missing);
        verifyEmpty(data);
    }
};

QTEST_GUILESS_MAIN(TestChiData)
#include "tst_chidata.moc"
