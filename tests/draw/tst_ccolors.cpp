#include "ccolors.h"

#include <QtTest>

class TestCColors : public QObject
{
    Q_OBJECT
private slots:
    void palette()
    {
        const CColors c;
        QCOMPARE(c.count(), 40);
        QCOMPARE(c.color(15), QColor(255, 0, 0)); // the larger of each pair of components
        QCOMPARE(c.color(16), QColor(170, 0, 255)); // two thirds of the way back
        QCOMPARE(c.color(17), QColor(96, 132, 168)); // darkened, sum 550
        QCOMPARE(c.color(29), QColor(160, 106, 0)); // the last base colour pairs with the first
        for (int i = 0; i < c.count(); ++i)
            QCOMPARE(c.color(i).alpha(), 255);
        for (int i = 30; i < 40; ++i)
            QCOMPARE(c.color(i), c.color(i - 15));
        const QColor sum500(200, 200, 100), sum501(200, 200, 101);
        QCOMPARE(CColors::blend(sum500, sum500), sum500);
        QCOMPARE(CColors::blend(sum501, sum501), QColor(160, 120, 80));
    }
};

QTEST_APPLESS_MAIN(TestCColors)
#include "tst_ccolors.moc"
