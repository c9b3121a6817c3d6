#include "dispa.h"

#include <QPainter>
#include <QtTest>

static void send(DispA &area, QEvent::Type type, QPointF pos, Qt::MouseButton button = {},
    Qt::KeyboardModifiers mods = {})
{
    QMouseEvent e(type, pos, button, button, mods);
    QApplication::sendEvent(&area, &e);
}

class TestDispA : public QObject
{
    Q_OBJECT
private slots:
    void mouseRecord()
    {
        DispA area;
        const MouseC &m = area.mouseC;
        auto positions = [&m] {
            return QVector<QPoint> { { m.prevX, m.prevY }, { m.nowX, m.nowY },
                { m.pressX, m.pressY }, { m.releaseX, m.releaseY } };
        };
        send(area, QEvent::MouseMove, QPointF(2.5, -1.5));
        QCOMPARE(QPoint(m.nowX, m.nowY), QPoint(3, -1));
        send(area, QEvent::MouseMove, QPointF(5, 4.5));
        send(area, QEvent::MouseButtonPress, QPointF(10, 20), Qt::RightButton, Qt::AltModifier);
        QCOMPARE(positions(), QVector<QPoint>({ { 5, 5 }, { 10, 20 }, { 10, 20 }, { 0, 0 } }));
        QVERIFY(m.pressed);
        QCOMPARE(m.pressButton, Qt::RightButton);
        QCOMPARE(m.pressModifiers, Qt::KeyboardModifiers(Qt::AltModifier));
        send(area, QEvent::MouseButtonRelease, QPointF(30, 40), Qt::RightButton);
        const QVector<QPoint> released { { 10, 20 }, { 30, 40 }, { 10, 20 }, { 30, 40 } };
        QCOMPARE(positions(), released);
        QVERIFY(!m.pressed);
        QSignalSpy dClicked(&m, &MouseC::mDClicked);
        QSignalSpy dClicked0(&area, &DispA::mouseDoubleClicked0);
        send(area, QEvent::MouseButtonDblClick, QPointF(-1.6, 41), Qt::LeftButton);
        QCOMPARE(QPoint(m.dClickX, m.dClickY), QPoint(-2, 41));
        QCOMPARE(positions(), released);
        QCOMPARE(dClicked.count() + dClicked0.count(), 2);
    }

    void wheel_data()
    {
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<int>("step");
        QTest::newRow("120") << QPoint(0, 120) << 1;
        QTest::newRow("-240") << QPoint(0, -240) << -2;
        QTest::newRow("60") << QPoint(0, 60) << 0;
        QTest::newRow("-60") << QPoint(0, -60) << 0;
        QTest::newRow("119") << QPoint(0, 119) << 0;
        QTest::newRow("horizontal") << QPoint(-360, 0) << -3;
    }
    void wheel()
    {
        QFETCH(QPoint, angle);
        DispA area;
        QSignalSpy relayed(&area.mouseC, &MouseC::wheelMoved);
        double seenByOwnSignal = 0;
        connect(&area, &DispA::wheelMoved0, [&] { seenByOwnSignal = area.coord.dataX1; });
        QWheelEvent e({}, {}, {}, angle, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&area, &e);
        QCOMPARE(relayed.count(), 1);
        QTEST(relayed.at(0).at(0).toInt(), "step");
        // The coordinate system has zoomed before the area announces the wheel.
        QVERIFY(seenByOwnSignal != 1);
        QCOMPARE(seenByOwnSignal, area.coord.dataX1);
    }

    void altMoveIsIgnored()
    {
        DispA area;
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        send(area, QEvent::MouseButtonPress, QPoint(10, 20), Qt::LeftButton);
        QCoreApplication::processEvents();
        QSignalSpy paints(&area, &DispA::drawImage1);
        QSignalSpy moved(&area.mouseC, &MouseC::mMoved);
        QSignalSpy moved0(&area, &DispA::mouseMoved0);
        const double x0 = area.coord.dataX0;
        send(area, QEvent::MouseMove, QPoint(40, 30), Qt::NoButton, Qt::AltModifier);
        QCoreApplication::processEvents();
        QCOMPARE(QPoint(area.mouseC.nowX, area.mouseC.nowY), QPoint(10, 20));
        QCOMPARE(area.coord.dataX0, x0);
        QCOMPARE(moved.count() + moved0.count() + paints.count(), 0);
        send(area, QEvent::MouseMove, QPoint(40, 30));
        QCoreApplication::processEvents();
        QCOMPARE(moved.count() + moved0.count() + paints.count(), 3);
        QVERIFY(area.coord.dataX0 != x0);
    }

    void painting()
    {
        DispA area;
        area.resize(40, 30);
        QCOMPARE(area.grab().toImage().pixelColor(20, 15), QColor(Qt::white));
        area.bgColor = QColor(10, 120, 200);
        const QImage plain = area.grab().toImage();
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x)
                QCOMPARE(plain.pixelColor(x, y), area.bgColor);
        area.resize(200, 100);
        QRectF window;
        connect(&area, &DispA::drawImage1, [&](QPainter *p) {
            const ChCoord &c = area.coord;
            window = QRectF(QPointF(c.winX0, c.winY0), QPointF(c.winX1, c.winY1));
            p->fillRect(0, 0, 200, 100, Qt::red);
        });
        connect(
            &area, &DispA::drawImage2, [](QPainter *p) { p->fillRect(0, 0, 100, 100, Qt::blue); });
        const QImage drawn = area.grab().toImage();
        QCOMPARE(window, QRectF(QPointF(0, 100), QPointF(200, 0)));
        QCOMPARE(drawn.pixelColor(50, 50), QColor(Qt::blue));
        QCOMPARE(drawn.pixelColor(150, 50), QColor(Qt::red));
    }
};

QTEST_MAIN(TestDispA)
#include "tst_dispa.moc"
