#include "cifreader.h"
#include "elements.h"
#include "keywordinput.h"
#include "options.h"
#include "textutil.h"

#include <QTest>

using namespace atoms;

// What a user hands the converter: numbers, element symbols, space-group names, the Atoms
// keyword format and the command line.
class TestAtomsInput : public QObject
{
    Q_OBJECT

private:
    static QString str(const std::string &text) { return QString::fromStdString(text); }

    // One line per parsed keyword file or command line, so that a row states all it expects.
    static QString summary(const Crystal &c)
    {
        QStringList parts { str(c.spaceGroup) };
        for (double x : { c.cell.a, c.cell.b, c.cell.c, c.cell.alpha, c.cell.beta, c.cell.gamma })
            parts << QString::number(x);
        for (const Site &site : c.sites)
            parts << str(site.label);
        parts << "core" << str(c.core) << "rmax" << QString::number(c.rmax);
        return (parts << str(joined(c.titles, " / "))).join(' ');
    }

    static QString summary(const Options &o)
    {
        return QStringList { str(o.absorber), str(o.edge), QString::number(o.radius.value_or(0)),
            QString::number(o.rmax.value_or(0)), str(o.input), QString::number(o.feff),
            QString::number(o.scf.value_or(0)), o.allSites ? "all" : "one",
            QString::number(o.configurations), QString::number(o.seed) }
            .join(' ');
    }

private slots:
    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<double>("value");
        QTest::newRow("uncertainty") << "5.5592(9)" << true << 5.5592;
        QTest::newRow("fraction") << "1/3" << true << 1.0 / 3;
        QTest::newRow("negative fraction") << "-1/2" << true << -0.5;
        QTest::newRow("word") << "abc" << false << 0.0;
        QTest::newRow("zero denominator") << "1/0" << false << 0.0;
        QTest::newRow("empty uncertainty") << "5.5()" << false << 0.0;
    }

    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(double, value);
        const auto number = parseNumber(text.toStdString());
        QCOMPARE(number.has_value(), valid);
        if (valid)
            QCOMPARE(*number, value);
    }

    void typeSymbols_data()
    {
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<int>("z");
        QTest::newRow("cation") << "Si4+" << 14;
        QTest::newRow("anion") << "C4-" << 6;
        QTest::newRow("label with number") << "Cs1" << 55;
        QTest::newRow("two letters win") << "Ca" << 20;
        QTest::newRow("unknown") << "Qx" << 0;
    }

    void typeSymbols()
    {
        QFETCH(QString, symbol);
        QFETCH(int, z);
        QCOMPARE(elementFromTypeSymbol(symbol.toStdString()), z);
    }

    void labels_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("formula");
        QTest::addColumn<QString>("element"); // empty: the label names none
        QTest::addColumn<QString>("why");
        // clang-format off
        QTest::newRow("two letters in the formula") << "Cs1" << "Cl3 Cs Sn" << "Cs" << "";
        QTest::newRow("two letters not in it") << "OSi1" << "O2 Si" << "O" << "Os is not in";
        QTest::newRow("formula without blanks") << "Co1" << "CaMg(CO3)2" << "C" << "Co is not";
        QTest::newRow("moiety with charges, capitals")
            << "CL2" << "C6 H12 N2 O4 2+, 2(Cl 1-)" << "Cl" << "";
        QTest::newRow("old formula in capitals") << "FE1" << "FE2 O3" << "Fe" << "";
        QTest::newRow("water beside tungsten") << "Wat1" << "H4 Na2 O6 W" << "O" << "water";
        QTest::newRow("water oxygen, no O in the formula") << "OW3" << "Cl2 Ni" << "O" << "water";
        QTest::newRow("hydroxyl") << "Oh2" << "Mg" << "O" << "hydroxyl";
        QTest::newRow("deuterium, H in the formula") << "D1" << "D2 O" << "H" << "deuterium";
        QTest::newRow("deuterium, no H in the formula") << "D12" << "Cl K" << "H" << "deuterium";
        QTest::newRow("dysprosium") << "Dy1" << "Dy2 O3" << "Dy" << "";
        QTest::newRow("no element of the formula") << "X1" << "Fe2 O3" << "" << "";
        QTest::newRow("tungsten outside the formula") << "W1" << "Fe2 O3" << "" << "";
        QTest::newRow("no formula: two letters") << "OSi1" << "" << "Os" << "";
        QTest::newRow("no formula: water") << "Wat1" << "" << "O" << "water";
        QTest::newRow("unreadable formula counts as none") << "Os1" << "Qq2 O" << "Os" << "";
        // clang-format on
    }

    void labels()
    {
        QFETCH(QString, label);
        QFETCH(QString, formula);
        QFETCH(QString, element);
        QFETCH(QString, why);
        const LabelReading reading
            = elementFromLabel(label.toStdString(), formulaElements(formula.toStdString()));
        QCOMPARE(str(elementSymbol(reading.z)), element);
        QVERIFY2(why.isEmpty() ? reading.why.empty() : str(reading.why).contains(why),
            reading.why.c_str());
    }

    void spaceGroupNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("found");
        QTest::addColumn<int>("operators");
        QTest::addColumn<bool>("note");
        QTest::newRow("old cubic, spaced") << "f m 3 m"
                                           << "F m -3 m" << 192 << false;
        QTest::newRow("old cubic, compact") << "Fm3m"
                                            << "F m -3 m" << 192 << false;
        QTest::newRow("old cubic glide") << "i a 3"
                                         << "I a -3" << 48 << false;
        QTest::newRow("subscript underscore") << "P6_3mc"
                                              << "P 63 m c" << 12 << false;
        QTest::newRow("origin choice open") << "F d -3 m"
                                            << "F d -3 m:1" << 192 << true;
        QTest::newRow("origin choice given") << "F d -3 m :2"
                                             << "F d -3 m:2" << 192 << false;
        QTest::newRow("words after the choice") << "F d -3 m :2 a 5"
                                                << "" << 0 << false;
        QTest::newRow("unknown") << "Q 9 9 9"
                                 << "" << 0 << false;
    }

    void spaceGroupNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, found);
        QFETCH(int, operators);
        QFETCH(bool, note);
        const auto group = findSpaceGroup(name.toStdString());
        QCOMPARE(group.has_value(), !found.isEmpty());
        if (!group)
            return;
        QCOMPARE(str(group->name), found);
        QCOMPARE(int(group->ops.size()), operators);
        QCOMPARE(!group->note.empty(), note);
        QCOMPARE(str(nameOfOps(group->ops)), found);
    }

    void hallSymbols_data()
    {
        QTest::addColumn<QString>("hall");
        QTest::addColumn<QString>("group"); // empty: refused
        QTest::newRow("cubic") << "-F 4 2 3" << "F m -3 m";
        QTest::newRow("screws on axes") << "P 2ac 2ab" << "P 21 21 21";
        QTest::newRow("diagonal without screw") << "P 31 2\"" << "P 31 2 1";
        QTest::newRow("screw on a diagonal axis") << "-F 2\"2 3" << "";
        QTest::newRow("screw on an implied diagonal") << "P 3 21" << "";
        QTest::newRow("screw on a 1-fold") << "P 2 11" << "";
        QTest::newRow("not a symbol") << "Q 9" << "";
    }

    void hallSymbols()
    {
        QFETCH(QString, hall);
        QFETCH(QString, group);
        const auto found = findSpaceGroupByHall(hall.toStdString());
        QCOMPARE(found ? QString::fromStdString(found->name) : QString(), group);
    }

    void keywordFiles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("pairs on one line")
            << "title Cu\nspace f m 3 m\na = 3.61   rmax = 6.0   core = Cu\natoms\nCu 0 0 0 Cu\n"
            << "F m -3 m 3.61 3.61 3.61 90 90 90 Cu core Cu rmax 6 Cu";
        QTest::newRow("equals, commas, fractions")
            << "space F m -3 m, a=5.64, core=Cl1\natoms\nNa, 0, 0, 0, Na1\nCl 1/2 1/2 1/2 Cl1\n"
            << "F m -3 m 5.64 5.64 5.64 90 90 90 Na1 Cl1 core Cl1 rmax 0 ";
        QTest::newRow("comments, no space group, no tag, any case")
            << "! a comment\n# a line\n  % another\nA 4 B=5 C,6 Alpha 80 ! trailing\nATOMS\nfe 0 0 "
               "0\n"
            << "P 1 4 5 6 80 90 90 Fe core  rmax 0 ";
        QTest::newRow("title takes the rest of its line")
            << "title = a = 3 core X\ntitle second\na 3.0\natoms\nCu 0 0 0\n"
            << "P 1 3 3 3 90 90 90 Cu core  rmax 0 a = 3 core X / second";
        QTest::newRow("space group ends at a keyword")
            << "space p c a 21 a 5.1 b 6 c 7\natoms\nCu 0.1 0.2 0.3\n"
            << "P c a 21 5.1 6 7 90 90 90 Cu core  rmax 0 ";
        QTest::newRow("letter a ends a space group")
            << "space P n m a\na 5 b 6 c 7 core = B\natoms\nB 0.1 0.2 0.3 B\n"
            << "P n m a 5 6 7 90 90 90 B core B rmax 0 ";
    }

    void keywordFiles()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        const Crystal crystal = parseKeywordInput(text.toStdString());
        QCOMPARE(summary(crystal), parsed);
        QCOMPARE(crystal.ops.empty(), crystal.spaceGroup == "P 1");
    }

    void keywordErrors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad coordinate") << "a 3.6\natoms\nCu 0 abc 0\n"
                                        << "line 3: coordinate 'abc'";
        QTest::newRow("word for a number") << "a b\natoms\nCu 0 0 0\n"
                                           << "line 1: 'a' needs a number, not 'b'";
        QTest::newRow("keyword without value") << "a 3.6 core\natoms\nCu 0 0 0\n"
                                               << "line 1: 'core' needs a value";
        QTest::newRow("angles that make no cell") << "a 3 alpha 60 beta 60 gamma 150\natoms\nNi 0 0 0\n"
                                                  << "do not make a three-dimensional cell";
        QTest::newRow("nearly flat cell") << "a 3.562 alpha 0.09\natoms\nNi 0 0 0\n"
                                          << "lattice planes lie 0.0056 A apart, less than 0.5 A";
        QTest::newRow("tiny cell") << "a 0.001\natoms\nNi 0 0 0\n"
                                   << "lattice planes lie 0.001 A apart";
    }

    void keywordErrors()
    {
        QFETCH(QString, text);
        QFETCH(QString, message);
        try {
            parseKeywordInput(text.toStdString());
            QFAIL("no error");
        } catch (const InputError &e) {
            QVERIFY2(QString(e.what()).contains(message), e.what());
        }
    }

    void commandLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("defaults") << "-c in.cif"
                                  << "  0 0 in.cif";
        QTest::newRow("all, any order") << "--edge L3 -c x.cif --radius 7 --rmax 4.5 --absorber Fe1"
                                        << "Fe1 L3 7 4.5 x.cif";
        QTest::newRow("= form, last wins") << "--rmax=3 --absorber=O -c a.inp --rmax 2"
                                           << "O  0 2 a.inp";
        QTest::newRow("stray word") << "a.cif"
                                    << "unexpected argument 'a.cif'";
        QTest::newRow("value missing") << "-c a.cif --radius"
                                       << "--radius needs a value";
        QTest::newRow("radius too large") << "--radius 50 -c a.cif"
                                          << "at most 12";
        QTest::newRow("unknown edge") << "--edge M1 -c a.cif"
                                      << "K, L1, L2 or L3";
        QTest::newRow("no input") << "--edge K"
                                  << "no input file";
        QTest::newRow("two inputs") << "-c a.cif -c b.cif"
                                    << "more than one input file";
        // FEFF 8.5L's limits apply whichever option comes first.
        QTest::newRow("FEFF 8.5L: SCF, radius 20") << "--scf 4 --radius 20 -c a.cif --feff=8"
                                                   << "  20 0 a.cif 8 4";
        QTest::newRow("radius 14 for FEFF 6L") << "--radius 14 --feff 6 -c a.cif"
                                               << "--radius needs a distance in Angstrom above 0 "
                                                  "and at most 12, not '14'";
        QTest::newRow("SCF radius beyond 20") << "--feff 8 --scf 21 -c a.cif"
                                              << "at most 20";
        QTest::newRow("SCF without FEFF 8.5L") << "--scf 4 -c a.cif"
                                               << "--scf needs --feff 8";
        QTest::newRow("sites and configurations")
            << "--sites all --configurations 8 --seed 18446744073709551615 -c a.cif"
            << "a.cif 6 0 all 8 18446744073709551615";
        QTest::newRow("one site, no draws by default") << "-c a.cif"
                                                       << "a.cif 6 0 one 0 1";
        QTest::newRow("sites other than all") << "--sites first -c a.cif"
                                              << "--sites takes only 'all', not 'first'";
        QTest::newRow("no configurations")
            << "--configurations 0 -c a.cif"
            << "--configurations needs a whole number from 1 to 1000";
        QTest::newRow("half a configuration") << "--configurations 2.5 -c a.cif"
                                              << "not '2.5'";
        QTest::newRow("seed beyond 64 bits")
            << "--configurations 2 --seed 18446744073709551616 -c a.cif"
            << "--seed needs a whole number";
        QTest::newRow("seed without configurations") << "--seed 3 -c a.cif"
                                                     << "--seed needs --configurations";
        QTest::newRow("unknown FEFF") << "--feff 9 -c a.cif"
                                      << "--feff needs 6 (FEFF 6L) or 8 (FEFF 8.5L), not '9'";
    }

    void commandLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, parsed);
        std::vector<std::string> args;
        for (const QString &word : line.split(' '))
            args.push_back(word.toStdString());
        QString result;
        try {
            result = summary(parseOptions(args));
        } catch (const InputError &e) {
            result = e.what();
        }
        QVERIFY2(result.contains(parsed), qPrintable(result));
    }
};

QTEST_GUILESS_MAIN(TestAtomsInput)
#include "tst_atomsinput.moc"
