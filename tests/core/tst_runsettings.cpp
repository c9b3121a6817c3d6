#include "paramstore.h"
#include "runsettings.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestRunSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;
    QString startDir;

    static ParamStore storeOf(const QStringList &keyValues)
    {
        ParamStore store;
        for (int i = 0; i + 1 < keyValues.size(); i += 2)
            store.set(keyValues.at(i), keyValues.at(i + 1));
        return store;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(tmp.isValid());
        startDir = QDir::currentPath();
        QVERIFY(QDir::setCurrent(tmp.path()));
    }

    void cleanupTestCase() { QDir::setCurrent(startDir); }

    void joinPath_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("joined");
        QTest::newRow("plain") << "C:/DemeterPerl" << "c/bin" << "C:/DemeterPerl/c/bin";
        QTest::newRow("leading slash") << "C:/DemeterPerl" << "/c/bin" << "C:/DemeterPerl/c/bin";
        QTest::newRow("several slashes") << "base///" << "//x" << "base/x";
        QTest::newRow("backslash kept") << "C:\\DemeterPerl\\" << "/c/bin"
                                        << "C:\\DemeterPerl\\/c/bin";
        QTest::newRow("empty a") << "" << "/00-Cif" << "/00-Cif";
        QTest::newRow("empty b") << "dir/" << "" << "dir/";
        QTest::newRow("root a") << "/" << "/00-Res" << "/00-Res";
    }

    void joinPath()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(QString, joined);
        QCOMPARE(::joinPath(a, b), joined);
    }

    void timeLimits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("seconds"); // -1: refused
        QTest::newRow("none") << "0" << 0;
        QTest::newRow("an hour") << "3600" << 3600;
        QTest::newRow("leading zeros") << "007" << 7;
        QTest::newRow("largest") << "1000000" << 1000000;
        QTest::newRow("past the largest") << "1000001" << -1;
        QTest::newRow("past an int in ms") << "4294968" << -1;
        QTest::newRow("far past an int") << "99999999999" << -1;
        QTest::newRow("unit") << "3s" << -1;
        QTest::newRow("fraction") << "1.5" << -1;
        QTest::newRow("negative") << "-5" << -1;
        QTest::newRow("plus sign") << "+5" << -1;
        QTest::newRow("exponent") << "1e1" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("\u0665") << -1;
    }

    void timeLimits()
    {
        QFETCH(QString, text);
        QFETCH(int, seconds);
        int parsed = -1;
        QCOMPARE(parseTimeLimit(text, &parsed), seconds >= 0);
        QCOMPARE(parsed, seconds);
    }

    void nativePathOnThisPlatform()
    {
        QCOMPARE(nativePath("a/b\\c"), QString("a") + QDir::separator() + "b\\c");
    }

    void derivedDirectories_data()
    {
        QTest::addColumn<QStringList>("config");
        QTest::addColumn<QString>("ifeffitDir");
        QTest::addColumn<QString>("pathCBin");
        QTest::addColumn<QString>("atomsExe");
        QTest::addColumn<QString>("feffExe");

        QTest::newRow("defaults") << QStringList()
                                  << "C:/DemeterPerl/c/share/ifeffit" << "C:/DemeterPerl/c/bin"
                                  << "C:/DemeterPerl/perl/bin/perl.exe"
                                  << "C:/DemeterPerl/c/bin/feff6.exe";
        QTest::newRow("base with trailing slashes")
            << QStringList{"demeter_base", "/opt/demeter//"} << "/opt/demeter/c/share/ifeffit"
            << "/opt/demeter/c/bin" << "/opt/demeter/perl/bin/perl.exe" << "/opt/demeter/c/bin/feff6.exe";
        QTest::newRow("base with trailing backslash")
            << QStringList{"DEMETER_BASE", "D:\\Demeter\\"} << "D:\\Demeter\\/c/share/ifeffit"
            << "D:\\Demeter\\/c/bin" << "D:\\Demeter\\/perl/bin/perl.exe"
            << "D:\\Demeter\\/c/bin/feff6.exe";
        QTest::newRow("directories any case, programs exact")
            << QStringList{"path_c_bin", "/usr/bin", "ifeffit_dir", "/usr/share/ifeffit",
                           "feff_exe", "/ignored", "FEFF_EXE", "/usr/bin/feff6"}
            << "/usr/share/ifeffit" << "/usr/bin" << "C:/DemeterPerl/perl/bin/perl.exe"
            << "/usr/bin/feff6";
        QTest::newRow("program key alone is empty") << QStringList{"ATOMS_EXE", ""}
                                                    << "C:/DemeterPerl/c/share/ifeffit"
                                                    << "C:/DemeterPerl/c/bin" << ""
                                                    << "C:/DemeterPerl/c/bin/feff6.exe";
    }

    void derivedDirectories()
    {
        QFETCH(QStringList, config);
        QFETCH(QString, ifeffitDir);
        QFETCH(QString, pathCBin);
        QFETCH(QString, atomsExe);
        QFETCH(QString, feffExe);

        RunSettings settings;
        setupRunSettings(storeOf(config), &settings);
        QCOMPARE(settings.ifeffitDir, ifeffitDir);
        QCOMPARE(settings.pathCBin, pathCBin);
        QCOMPARE(settings.atomsExe, atomsExe);
        QCOMPARE(settings.feffExe, feffExe);
        QCOMPARE(settings.environment.value("IFEFFIT_DIR"), nativePath(ifeffitDir));
    }

    void inputAndResultDirectories_data()
    {
        QTest::addColumn<QStringList>("config");
        QTest::addColumn<QString>("cif");
        QTest::addColumn<QString>("inp");
        QTest::addColumn<QString>("res");

        const QString w = QDir::currentPath();
        QTest::newRow("defaults") << QStringList() << "/00-Cif" << "/00-Inp" << "/00-Res";
        QTest::newRow("leading slash is relative")
            << QStringList{"CIF_FILES", "/in/cif", "RES_FILES", "out"} << "/in/cif" << "/00-Inp"
            << "/out";
        QTest::newRow("one character") << QStringList{"INP_FILES", "i"} << "/00-Cif" << "/i"
                                       << "/00-Res";
        QTest::newRow("lower-case key not found") << QStringList{"cif_files", "x"} << "/00-Cif"
                                                  << "/00-Inp" << "/00-Res";
    }

    void inputAndResultDirectories()
    {
        QFETCH(QStringList, config);
        QFETCH(QString, cif);
        QFETCH(QString, inp);
        QFETCH(QString, res);

        RunSettings settings;
        setupRunSettings(storeOf(config), &settings);
        const QString w = QDir::currentPath();
        QCOMPARE(settings.cifFiles, ::joinPath(w, cif));
        QCOMPARE(settings.inpFiles, ::joinPath(w, inp));
        QCOMPARE(settings.resFiles, ::joinPath(w, res));
        QVERIFY(QFileInfo(settings.cifFiles).isDir());
        QVERIFY(QFileInfo(settings.inpFiles).isDir());
        QVERIFY(QFileInfo(settings.resFiles).isDir());
    }

    void drivePathUsedUnchanged()
    {
        RunSettings settings;
        setupRunSettings(storeOf({"RES_FILES", "D:/results"}), &settings);
        QCOMPARE(settings.resFiles, QString("D:/results"));
    }

    void argumentLists_data()
    {
        QTest::addColumn<QStringList>("config");
        QTest::addColumn<QStringList>("atomsArgs");
        QTest::addColumn<QStringList>("feffArgs");
        QTest::newRow("defaults") << QStringList() << QStringList{"-S", "datoms"} << QStringList();
        QTest::newRow("runs of blanks and tabs")
            << QStringList{"ATOMS_ARG", "  --edge\t K   --radius  5 ", "FEFF_ARG", "-n\t\t2"}
            << QStringList{"--edge", "K", "--radius", "5"} << QStringList{"-n", "2"};
        QTest::newRow("present but empty") << QStringList{"ATOMS_ARG", "", "FEFF_ARG", "   "}
                                           << QStringList() << QStringList();
    }

    void argumentLists()
    {
        QFETCH(QStringList, config);
        QFETCH(QStringList, atomsArgs);
        QFETCH(QStringList, feffArgs);
        RunSettings settings;
        setupRunSettings(storeOf(config), &settings);
        QCOMPARE(settings.atomsArgs, atomsArgs);
        QCOMPARE(settings.feffArgs, feffArgs);
    }

    void environment_data()
    {
        QTest::addColumn<bool>("hasPath");
        QTest::addColumn<QString>("inheritedPath");
        QTest::addColumn<QString>("expectedPath");
        const QString dirs = ":/d/c/bin:/d/perl/bin:/d/perl/site/bin";
        QTest::newRow("plain") << true << "/usr/bin:/bin" << "/usr/bin:/bin" + dirs;
        QTest::newRow("trailing separator") << true << "/usr/bin:" << "/usr/bin" + dirs;
        QTest::newRow("empty") << true << "" << dirs;
        QTest::newRow("absent") << false << "" << dirs;
    }

    void environment()
    {
        QFETCH(bool, hasPath);
        QFETCH(QString, inheritedPath);
        QFETCH(QString, expectedPath);

        QProcessEnvironment inherited;
        inherited.insert("HOME", "/home/user");
        if (hasPath)
            inherited.insert("PATH", inheritedPath);

        RunSettings settings;
        settings.demeterBase = "/d";
        setupEnvironment(&settings, "/d/c/share/ifeffit", "/d/c/bin", "/d/perl/bin",
                         "/d/perl/site/bin", inherited);
        QCOMPARE(settings.pathPerlSiteBin, QString("/d/perl/site/bin"));
        QCOMPARE(settings.environment.value("HOME"), QString("/home/user"));
        QCOMPARE(settings.environment.value("DEMETER_BASE"), QString("/d"));
        QCOMPARE(settings.environment.value("IFEFFIT_DIR"), QString("/d/c/share/ifeffit"));
        QCOMPARE(settings.environment.value("PATH"), expectedPath);
    }

    void systemEnvironmentInherited()
    {
        qputenv("ORBELIN_TEST_MARK", "42");
        RunSettings settings;
        setupRunSettings(ParamStore(), &settings);
        QCOMPARE(settings.environment.value("ORBELIN_TEST_MARK"), QString("42"));
        QVERIFY(settings.environment.value("PATH").endsWith(
            ":C:/DemeterPerl/c/bin:C:/DemeterPerl/perl/bin:C:/DemeterPerl/perl/site/bin"));
    }
};

QTEST_GUILESS_MAIN(TestRunSettings)
#include "tst_runsettings.moc"
