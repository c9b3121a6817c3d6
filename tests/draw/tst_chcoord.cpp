#include "chcoord.h"
#include "mousec.h"
#include "ticks.h"

#include <QMouseEvent>
#include <QtTest>

#include <cmath>

// A drawing area of 200 x 100 pixels showing k 0..20 and chi -1..1, driven through its relay.
struct Plot
{
    Plot()
    {
        coord.setWindow(0, 100, 200, 0);
        coord.updatePlotArea();
        coord.setDataRange(0, -1, 20, 1);
        coord.attachMouse(&mouse);
    }
    void event(QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton,
        Qt::KeyboardModifiers mods = {})
    {
        QMouseEvent e(type, pos, button, button, mods);
        if (type == QEvent::MouseMove)
            mouse.recordMove(&e);
        else if (type == QEvent::MouseButtonPress)
            mouse.recordPress(&e);
        else
            mouse.recordRelease(&e);
    }
    QRectF range() const
    {
        return QRectF(QPointF(coord.dataX0, coord.dataY0), QPointF(coord.dataX1, coord.dataY1));
    }
    ChCoord coord;
    MouseC mouse;
};

class TestChCoord : public QObject
{
    Q_OBJECT
private slots:
    void layoutAndMapping()
    {
        const Plot p;
        const ChCoord &c = p.coord;
        QCOMPARE(QRectF(QPointF(c.plotX0, c.plotY0), QPointF(c.plotX1, c.plotY1)),
            QRectF(QPointF(20, 90), QPointF(190, 5)));
        QCOMPARE(c.toScreenX(10), 105.0);
        QCOMPARE(c.toDataX(105), 10.0);
        QCOMPARE(c.toScreenY(1), 5.0);
        QCOMPARE(c.toScreenDX(2), 17.0);
    }

    void boxZoom_data()
    {
        const QRectF zoomed(
            QPointF(600 / 170.0, -1 + 20 / 85.0), QPointF(2600 / 170.0, -1 + 140 / 85.0));
        const QRectF same = Plot().range();
        const QPoint a(50, 20), b(150, 80), c(50, 80), d(150, 20);
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<Qt::KeyboardModifiers>("mods");
        QTest::addColumn<QRectF>("range");
        QTest::newRow("down right") << a << b << Qt::KeyboardModifiers() << zoomed;
        QTest::newRow("up left") << b << a << Qt::KeyboardModifiers() << zoomed;
        QTest::newRow("up right") << c << d << Qt::KeyboardModifiers() << zoomed;
        for (auto mod : { Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier })
            QTest::addRow("modifier %x", int(mod)) << a << b << Qt::KeyboardModifiers(mod) << same;
        QTest::newRow("click") << a << a << Qt::KeyboardModifiers() << same;
        QTest::newRow("same x") << a << c << Qt::KeyboardModifiers() << same;
        QTest::newRow("same y") << a << d << Qt::KeyboardModifiers() << same;
    }
    void boxZoom()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(Qt::KeyboardModifiers, mods);
        Plot p;
        p.event(QEvent::MouseButtonPress, from, Qt::RightButton, mods);
        QSignalSpy updated(&p.coord, &ChCoord::updated);
        // Only the modifiers held at the press count.
        p.event(QEvent::MouseButtonRelease, to, Qt::RightButton, mods ^ Qt::ShiftModifier);
        QTEST(p.range(), "range");
        QCOMPARE(updated.count(), 1);
    }

    void pan()
    {
        Plot p;
        QSignalSpy nowPos(&p.coord, &ChCoord::nowPos);
        p.event(QEvent::MouseButtonPress, QPoint(100, 50), Qt::LeftButton, Qt::ControlModifier);
        p.event(QEvent::MouseMove, QPoint(110, 60));
        QCOMPARE(p.range(), Plot().range());
        p.event(QEvent::MouseButtonPress, QPoint(100, 50), Qt::LeftButton);
        const QPointF grabbed(p.coord.toDataX(100), p.coord.toDataY(50));
        p.event(QEvent::MouseMove, QPoint(110, 60));
        QCOMPARE(nowPos.count(), 2);
        QCOMPARE(nowPos.at(1).at(0).toDouble(), 90 * 20 / 170.0); // k under the mouse
        QCOMPARE(p.range().size(), Plot().range().size());
        QCOMPARE(QPointF(p.coord.toDataX(110), p.coord.toDataY(60)), grabbed);
    }

    void wheel_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("step");
        QTest::addColumn<QSizeF>("factors");
        const double in = 1 / 1.1;
        QTest::newRow("inner, out") << QPoint(105, 47) << -1 << QSizeF(1.1, 1.1);
        QTest::newRow("inner, step 0") << QPoint(60, 30) << 0 << QSizeF(in, in);
        QTest::newRow("x label band") << QPoint(105, 95) << 2 << QSizeF(in, 1);
        QTest::newRow("left of plot") << QPoint(10, 47) << 1 << QSizeF(1, in);
        QTest::newRow("corner") << QPoint(10, 95) << 1 << QSizeF(in, in);
    }
    void wheel()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, step);
        QFETCH(QSizeF, factors);
        Plot p;
        p.event(QEvent::MouseMove, pos);
        const QPointF under(p.coord.toDataX(pos.x()), p.coord.toDataY(pos.y()));
        QSignalSpy updated(&p.coord, &ChCoord::updated);
        emit p.mouse.wheelMoved(step);
        QCOMPARE(updated.count(), 1);
        QCOMPARE(p.range().size(), QSizeF(20 * factors.width(), 2 * factors.height()));
        QCOMPARE(QPointF(p.coord.toDataX(pos.x()), p.coord.toDataY(pos.y())), under);
    }

    void zoomStaysUsable()
    {
        Plot p;
        const ChCoord &c = p.coord;
        p.coord.setDataRange(3, 0.5, 23, 2.5);
        p.event(QEvent::MouseMove, QPoint(60, 30));
        for (int i = 0; i < 12000; ++i) {
            emit p.mouse.wheelMoved(i < 2000 ? 1 : -1);
            for (auto r : { qMakePair(c.dataX0, c.dataX1), qMakePair(c.dataY0, c.dataY1) }) {
                QVERIFY2(std::isfinite(r.second - r.first) && r.first < r.second,
                    qPrintable(QString("%1: %2 .. %3").arg(i).arg(r.first).arg(r.second)));
                const int ticks = tickValues(r.first, r.second).size();
                QVERIFY(ticks >= 1 && ticks <= maxTicks);
            }
            if (i == 1999) { // deepest zoom: every pixel still shows its own k and chi
                for (double x = c.plotX0; x < c.plotX1; ++x)
                    QVERIFY(c.toDataX(x) < c.toDataX(x + 1));
                for (double y = c.plotY1; y < c.plotY0; ++y)
                    QVERIFY(c.toDataY(y) > c.toDataY(y + 1));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestChCoord)
#include "tst_chcoord.moc"
