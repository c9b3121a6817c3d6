#include "ticks.h"

#include <QtTest>

#include <limits>

class TestTicks : public QObject
{
    Q_OBJECT
private slots:
    void computeTicks_data()
    {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("step"); // 0: no ticks
        QTest::addColumn<double>("first");
        QTest::addColumn<double>("last");
        QTest::newRow("0..20") << 0.0 << 20.0 << 2.0 << 0.0 << 20.0;
        QTest::newRow("-1..1") << -1.0 << 1.0 << 0.2 << -1.0 << 1.0;
        QTest::newRow("2.5..13.7") << 2.5 << 13.7 << 2.0 << 4.0 << 12.0;
        QTest::newRow("-1.8..1.8") << -1.8 << 1.8 << 0.5 << -1.5 << 1.5;
        QTest::newRow("0..15, n=1") << 0.0 << 15.0 << 2.0 << 0.0 << 14.0;
        QTest::newRow("0..0.3, n=2") << 0.0 << 0.3 << 0.02 << 0.0 << 0.28;
        QTest::newRow("empty") << 3.0 << 3.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("descending") << 1.0 << 0.0 << 0.0 << 0.0 << 0.0;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 1.0 << 0.0 << 0.0
                             << 0.0;
        QTest::newRow("span overflows") << -1e308 << 1e308 << 0.0 << 0.0 << 0.0;
        QTest::newRow("n=0") << 0.0 << 99.99999999999999 << 0.0 << 0.0 << 0.0;
        QTest::newRow("step underflows") << 0.0 << 1e-323 << 0.0 << 0.0 << 0.0;
    }
    void computeTicks()
    {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(double, step);
        double s = -1, f = -1, l = -1;
        QCOMPARE(::computeTicks(lower, upper, s, f, l), step != 0);
        QCOMPARE(s, step);
        if (step != 0) {
            QTEST(f, "first");
            QTEST(l, "last");
        } else {
            QVERIFY(f > l); // a caller's walk from first to last ends at once
        }
        QCOMPARE(::tickValues(lower, upper).isEmpty(), step == 0);
    }

    void tickWalk()
    {
        // Repeated addition of 0.2 * 0.1 drifts past the last tick 0.28.
        const QVector<double> values = ::tickValues(0, 0.3);
        QCOMPARE(values.size(), 14);
        for (int i = 1; i < values.size(); ++i)
            QVERIFY(values.at(i) == values.at(i - 1) + 0.2 * 0.1);
        // A step of 2 is below the spacing of doubles at 1e17: the walk stops advancing.
        QCOMPARE(::tickValues(1e17, 1e17 + 16), QVector<double>({ 1e17 }));
        QVERIFY(::tickValues(1e6, 1e6 + 1e-9).size() <= maxTicks);
    }

    void formatTickLabel_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("label");
        const double values[] = { 0, 2.5, -1, 12.5, 99.99, 0.2, -0.25, 150, 0.004, -0.004 };
        const char *labels[]
            = { "0", "2.50", "-1.00", "12.5", "100.0", "0.20", "-0.25", "150.00", "0.00", "-0.00" };
        for (int i = 0; i < 10; ++i)
            QTest::newRow(labels[i]) << values[i] << QString(labels[i]);
    }
    void formatTickLabel()
    {
        QFETCH(double, value);
        QTEST(::formatTickLabel(value), "label");
    }

    // The plot's labels: a tick that drifted from a multiple of its step reads as that
    // multiple, and a step finer than the labels' decimals gets more of them.
    void plotLabels_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("step");
        QTest::addColumn<QString>("y");
        QTest::addColumn<QString>("x");
        QTest::newRow("as formatTickLabel") << 0.4 << 0.2 << "0.40"
                                            << "0.4";
        QTest::newRow("one decimal 10..100") << 12.5 << 0.5 << "12.5"
                                             << "12.5";
        QTest::newRow("zero") << 0.0 << 0.2 << "0.00"
                              << "0";
        QTest::newRow("zero after drift") << -2.7755575615628914e-17 << 0.2 << "0.00"
                                          << "0";
        QTest::newRow("zero, fine step") << 1e-19 << 0.0005 << "0.0000"
                                         << "0";
        QTest::newRow("zoomed in y") << 0.0012000000000000001 << 0.0002 << "0.0012"
                                     << "0.0012";
        QTest::newRow("zoomed in 10..100") << 12.34 << 0.02 << "12.34"
                                           << "12.34";
        QTest::newRow("zoomed in x") << 12.000001999999 << 0.0000005 << "12.0000020"
                                     << "12.000002";
        QTest::newRow("150") << 150.0 << 50.0 << "150.00"
                             << "150";
    }
    void plotLabels()
    {
        QFETCH(double, value);
        QFETCH(double, step);
        QTEST(::yTickLabel(value, step), "y");
        QTEST(::xTickLabel(value, step), "x");
    }
};

QTEST_APPLESS_MAIN(TestTicks)
#include "tst_ticks.moc"
