#include "ftdialog.h"
#include "plotview.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(FtParams)

// The transform dialog applies what -ft takes and refuses, with its reason, what -ft
// refuses: the plot keeps the window it shows.
class TestFtDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<FtParams>(); }

    void refusals_data()
    {
        QTest::addColumn<double>("kmin");
        QTest::addColumn<double>("kmax");
        QTest::addColumn<double>("dk");
        QTest::addColumn<bool>("applied");
        QTest::newRow("usable") << 2.0 << 12.0 << 0.5 << true;
        QTest::newRow("kmin above kmax") << 12.0 << 10.0 << 1.0 << false;
        QTest::newRow("kmin at kmax") << 10.0 << 10.0 << 1.0 << false;
        QTest::newRow("no taper") << 3.0 << 14.0 << 0.0 << true;
        // The fields take no negative value at all.
        QTest::newRow("negative kmin") << -1.0 << 14.0 << 1.0 << true;
        QTest::newRow("negative dk") << 3.0 << 14.0 << -2.0 << true;
    }

    void refusals()
    {
        QFETCH(double, kmin);
        QFETCH(double, kmax);
        QFETCH(double, dk);
        QFETCH(bool, applied);
        FtDialog dialog;
        QSignalSpy changed(&dialog, &FtDialog::paramsChanged);
        // kmax first, so that no step on the way is refused for the order of the edits.
        dialog.findChild<QDoubleSpinBox *>("FtKmax")->setValue(kmax);
        dialog.findChild<QDoubleSpinBox *>("FtKmin")->setValue(kmin);
        dialog.findChild<QDoubleSpinBox *>("FtDk")->setValue(dk);
        const FtParams last
            = changed.isEmpty() ? FtParams() : changed.last().at(0).value<FtParams>();
        const QString problem = dialog.findChild<QLabel *>("FtProblem")->text();
        if (applied) {
            QVERIFY(usableFt(last));
            QCOMPARE(last.kmin, std::max(kmin, 0.0));
            QCOMPARE(last.dk, std::max(dk, 0.0));
            QVERIFY(problem.isEmpty());
        } else {
            QVERIFY(last.kmin < last.kmax);
            QCOMPARE(dialog.params().kmin, kmin);
            QVERIFY2(problem.contains("k min must be below k max"), qPrintable(problem));
        }
    }
};

QTEST_MAIN(TestFtDialog)
#include "tst_ftdialog.moc"
