#include "droparea.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include "dragdrop.h"

class TestDropArea : public QObject
{
    Q_OBJECT

private slots:
    void dropNames_data()
    {
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<QStringList>("names");

        QTest::newRow("windows drive, escaped blank") << QStringList{"file:///D:/Data/a%20b.cif"}
                                                     << QStringList{"D:/Data/a b.cif"};
        QTest::newRow("unix path unchanged") << QStringList{"file:///home/user/x.cif"}
                                             << QStringList{"/home/user/x.cif"};
        QTest::newRow("three files in order, one twice")
            << QStringList{"file:///a/1.cif", "file:///b/2.cif", "file:///a/1.cif"}
            << QStringList{"/a/1.cif", "/b/2.cif", "/a/1.cif"};
        QTest::newRow("host part dropped") << QStringList{"file://server/share/x.cif"}
                                           << QStringList{"/share/x.cif"};
        QTest::newRow("other scheme gives its decoded path")
            << QStringList{"http://example.org/a%20b/c.inp?q=1#f"} << QStringList{"/a b/c.inp"};
        QTest::newRow("three characters") << QStringList{"file:///D:"} << QStringList{"D:"};
        QTest::newRow("two characters") << QStringList{"file:///D"} << QStringList{"/D"};
        QTest::newRow("utf-8 name") << QStringList{"file:///data/%E7%B5%90%E6%99%B6.cif"}
                                    << QStringList{QString::fromUtf8("/data/結晶.cif")};
    }

    void dropNames()
    {
        QFETCH(QStringList, urls);
        QFETCH(QStringList, names);

        DropArea area(nullptr);
        QMimeData mime;
        QList<QUrl> list;
        for (const QString &u : urls)
            list << QUrl(u);
        mime.setUrls(list);
        QSignalSpy dropped(&area, &DropArea::dropped);
        dragAndDrop(&area, &mime);
        QCOMPARE(dropped.count(), 1);
        QCOMPARE(dropped.at(0).at(0).toStringList(), names);
        QVERIFY(area.text().isEmpty());
    }

    void plainTextGivesEmptyList()
    {
        DropArea area(nullptr);
        QMimeData mime;
        mime.setText("just some text");
        QSignalSpy dropped(&area, &DropArea::dropped);
        dragAndDrop(&area, &mime);
        QCOMPARE(dropped.count(), 1);
        QVERIFY(dropped.at(0).at(0).toStringList().isEmpty());
        QVERIFY(area.text().isEmpty());
    }

    void dragEnterAcceptsProposedAction_data()
    {
        QTest::addColumn<bool>("withUrls");
        QTest::newRow("files") << true;
        QTest::newRow("text only") << false;
    }

    void dragEnterAcceptsProposedAction()
    {
        QFETCH(bool, withUrls);
        DropArea area(nullptr);
        QVERIFY(area.acceptDrops());
        QMimeData mime;
        if (withUrls)
            mime.setUrls({QUrl("file:///x.cif")});
        else
            mime.setText("x");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        enter.setAccepted(false);
        QCoreApplication::sendEvent(&area, &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), enter.proposedAction());
    }
};

QTEST_MAIN(TestDropArea)
#include "tst_droparea.moc"
