#include "drawtext.h"

#include <QPaintEngine>
#include <QPainter>
#include <QtTest>

// A paint device that keeps the font of every text item drawn on it.
class FontRecorder : public QPaintDevice, public QPaintEngine
{
public:
    FontRecorder()
        : QPaintEngine(QPaintEngine::AllFeatures)
    {
    }
    QPaintEngine *paintEngine() const override { return const_cast<FontRecorder *>(this); }
    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override { }
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override { }
    void drawTextItem(const QPointF &, const QTextItem &item) override { fonts << item.font(); }
    Type type() const override { return QPaintEngine::User; }
    int metric(PaintDeviceMetric m) const override
    {
        if (m == PdmDevicePixelRatioScaled)
            return int(devicePixelRatioFScale());
        return m == PdmDevicePixelRatio ? 1 : m == PdmDepth ? 32 : 96;
    }
    QVector<QFont> fonts;
};

class TestDrawText : public QObject
{
    Q_OBJECT
private slots:
    void fontInEffect_data()
    {
        QTest::addColumn<QRectF>("target");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("minSize");
        QTest::addColumn<double>("maxSize");
        QTest::newRow("long, narrow") << QRectF(0, 0, 30, 40) << "a long label" << 0.1 << 9.9;
        QTest::newRow("short, large") << QRectF(0, 0, 600, 300) << "2" << 15.0 << 15.0;
        QTest::newRow("zero width") << QRectF(10, 10, 0, 30) << "2" << 10.0 << 10.0;
    }
    void fontInEffect()
    {
        QFETCH(QRectF, target);
        QFETCH(QString, text);
        QFont given, before;
        given.setPointSize(33);
        given.setBold(true);
        before.setPointSize(7);
        FontRecorder device;
        QPainter painter(&device);
        painter.setFont(before);
        DrawText().drawFittedText(&painter, target, given, Qt::AlignCenter, 1, text, 15);
        QCOMPARE(device.fonts.size(), 1);
        const double size = device.fonts.first().pointSizeF();
        QFETCH(double, minSize);
        QFETCH(double, maxSize);
        QVERIFY2(size >= minSize && size <= maxSize, qPrintable(QString::number(size)));
        QVERIFY(device.fonts.first().bold());
        QCOMPARE(painter.font(), given);
    }

    void negativeExtentDrawsNormalised()
    {
        QCOMPARE(DrawText().centredRect(50, 20, 40, 10), QRectF(30, 15, 40, 10));
        auto render = [](const QRectF &box) {
            QImage image(120, 50, QImage::Format_ARGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            DrawText().drawFittedText(&painter, box, QFont(), Qt::AlignLeft, 1, "1.5", 15);
            return image;
        };
        const QImage expected = render(QRectF(10, 10, 100, 30));
        QVERIFY(expected != render(QRectF(0, 0, 100, 30)));
        QCOMPARE(render(QRectF(110, 40, -100, -30)), expected);
    }
};

QTEST_MAIN(TestDrawText)
#include "tst_drawtext.moc"
