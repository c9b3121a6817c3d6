#include "chidata.h"
#include "feffinp.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

// One run of orbelin-atoms as Orbelin makes it: stdout and stderr merged, the input after -c.
struct AtomsRun
{
    int exitCode = -1;
    QString output;

    AtomsRun(const QStringList &options, const QString &input)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(ORBELIN_ATOMS, QStringList(options) << "-c" << input);
        if (process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit) {
            exitCode = process.exitCode();
            output = QString::fromUtf8(process.readAll());
        }
    }

    // What Orbelin writes as feff.inp: everything from the first marker on.
    QString feffText() const { return output.mid(output.indexOf(" * This")); }
    QString messages() const { return output.left(output.indexOf(" * This")); }

    // The inputs of a run with --sites or --configurations: (name, weight, feff.inp text),
    // after the messages.
    struct Input
    {
        QString name;
        double weight;
        QString text;
    };
    QList<Input> inputs() const
    {
        static const QRegularExpression separator(
            "^\\* orbelin-atoms input ([A-Za-z0-9._-]+) weight (\\S+)$");
        QList<Input> found;
        const QString text = output.endsWith('\n') ? output.chopped(1) : output;
        for (const QString &line : text.split('\n')) {
            const QRegularExpressionMatch match = separator.match(line);
            if (match.hasMatch())
                found << Input { match.captured(1), match.captured(2).toDouble(), QString() };
            else if (!found.isEmpty())
                found.last().text += line + '\n';
        }
        return found;
    }

    // The ATOMS cards of a feff.inp as (x, y, z, ipot, distance) rows.
    static QList<QList<double>> atomsIn(const QString &feffText)
    {
        QList<QList<double>> rows;
        const QStringList lines = feffText.split('\n');
        for (int i = lines.indexOf(" ATOMS") + 1; i > 0 && i < lines.size(); ++i) {
            const QStringList f = lines[i].split(' ', Qt::SkipEmptyParts);
            if (f.size() == 6 && !f[0].startsWith('*'))
                rows << QList<double> { f[0].toDouble(), f[1].toDouble(), f[2].toDouble(),
                    f[3].toDouble(), f[5].toDouble() };
        }
        return rows;
    }
};

// orbelin-atoms on the sample structures and on broken inputs, and its output run by FEFF6.
class TestAtomsProgram : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir tmp;

    static QString data(const QString &name) { return QString(ORBELIN_TEST_DATA) + "/" + name; }

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }

    void structures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("cellAtoms");
        QTest::addColumn<QString>("shell");
        QTest::addColumn<double>("shellDistance");
        QTest::addColumn<double>("radius");
        QTest::addColumn<QString>("message");

        const double s2 = std::sqrt(2.0), s3 = std::sqrt(3.0);
        QTest::newRow("Cu, P 1") << "cif/Cu_mp-30_conventional_standard.cif" << 4 << "12 Cu"
                                 << 3.61640724 / s2 << 6.0 << "1 operator from";
        QTest::newRow("Ni, only a name tag gemmi ignores")
            << "cif/Ni_ref.cif" << 4 << "12 Ni" << 3.562 / s2 << 6.0
            << "F m -3 m (name in _space_group_name_H-M_ref)";
        QTest::newRow("PbTe, quoted operators")
            << "cif/PbTe.cif" << 8 << "6 Te" << 6.461 / 2 << 6.0 << "192 operators from";
        QTest::newRow("SiC, charged type symbols")
            << "cif/1011031.cif" << 8 << "4 C" << 4.358 * s3 / 4 << 6.0 << "96 operators from";
        QTest::newRow("CsSnCl3, two species on one site")
            << "cif/4003024.cif" << 5 << "12 Cl" << 5.5592 / s2 << 6.0
            << "In (occupancy 0.0672) shares its position with Sn2 (occupancy 0.9)";
        // Zn0 at z = 0.500548; the three nearest O (O3, z = 0.379762) are a / sqrt 3 off in plane.
        QTest::newRow("ZnO, gamma 120.00001938")
            << "cif/ZnO_mp-2133.cif" << 4 << "3 O"
            << std::hypot(3.28910296 / s3, 0.120786 * 5.306821) << 6.0 << "";
        QTest::newRow("no symmetry at all")
            << "atoms/no_symmetry.cif" << 8 << "6 Cl" << 2.82 << 6.0 << "no symmetry in the file";
        QTest::newRow("Hall symbol only")
            << "atoms/hall_only.cif" << 8 << "6 Cl" << 2.82 << 6.0 << "F m -3 m (Hall symbol in";
        QTest::newRow("number only") << "atoms/number_only.cif" << 8 << "6 Cl" << 2.82 << 6.0
                                     << "F m -3 m (number in _space_group_IT_number)";
        // Classes of database CIFs: elements only in the labels, thirds with four digits, a
        // site split over positions 0.44 and 0.62 A apart.
        QTest::newRow("hydrate, Wat labels and a formula")
            << "atoms/hydrate_labels.cif" << 36 << "6 O" << 9.0 * 0.228 << 6.0
            << "label Wat1 read as O (Wat for water oxygen)";
        QTest::newRow("hexagonal, 0.3333 for 1/3")
            << "atoms/hexagonal_thirds.cif" << 4 << "3 O"
            << std::hypot(3.24975 / s3, 0.1181 * 5.2066) << 6.0
            << "4 coordinates of Zn1, O1 within 0.0001 of a multiple of 1/12";
        QTest::newRow("split site, one Tl of four")
            << "atoms/split_site.cif" << 2 << "2 Cl" << std::hypot(0.445 * 4 * s2, 2.1) << 6.0
            << "Tl1 (occupancy 0.25) is split: 3 of its 4 positions in the unit cell dropped";
        QTest::newRow("keywords, Cu") << "atoms/cu_keywords.inp" << 4 << "12 Cu" << 3.61 / s2 << 6.0
                                      << "from 'space f m 3 m'";
        QTest::newRow("keywords, commas, core Cl1")
            << "atoms/nacl_keywords.inp" << 8 << "6 Na" << 2.82 << 6.0 << "absorber Cl1 (Cl";
        QTest::newRow("keywords, hexagonal, rmax 5.5")
            << "atoms/zno_keywords.inp" << 4 << "3 O" << std::hypot(3.2498 / s3, 0.1181 * 5.2066)
            << 5.5 << "ignored 'shift 0 0 0'";
    }

    void structures()
    {
        QFETCH(QString, file);
        QFETCH(int, cellAtoms);
        QFETCH(QString, shell);
        QFETCH(double, shellDistance);
        QFETCH(double, radius);
        QFETCH(QString, message);

        const AtomsRun run({}, data(file));
        QCOMPARE(run.exitCode, 0);
        const QString messages = run.messages();
        for (const QString &expected :
            { QString("orbelin-atoms: %1 atoms in the unit cell").arg(cellAtoms),
                "first shell " + shell + " at", message })
            QVERIFY2(messages.contains(expected), qPrintable(messages));
        for (const QString &line : messages.split('\n', Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith("orbelin-atoms: "), qPrintable(line));
        QVERIFY(run.feffText().startsWith(
            " * This feff.inp was written by orbelin-atoms from " + file.section('/', -1) + "\n"));

        const QList<QList<double>> atoms = AtomsRun::atomsIn(run.feffText());
        QVERIFY(atoms.size() > shell.section(' ', 0, 0).toInt());
        QCOMPARE(atoms.first(), (QList<double> { 0, 0, 0, 0, 0 }));
        QVERIFY2(std::fabs(atoms[1][4] - shellDistance) < 1e-4,
            qPrintable(QString::number(atoms[1][4], 'f', 6)));
        for (int i = 1; i < atoms.size(); ++i) {
            QVERIFY(atoms[i][4] >= atoms[i - 1][4] && atoms[i][4] <= radius);
            QVERIFY(
                std::fabs(std::hypot(atoms[i][0], atoms[i][1], atoms[i][2]) - atoms[i][4]) < 2e-5);
        }
    }

    void symmetricClusters_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QList<int>>("image"); // signs of x, y, z under the operation
        QTest::addColumn<int>("axis"); // the axis of the rotation: 0 x, 1 y, 2 z
        QTest::addColumn<int>("order"); // off the axis, atoms come by this many per distance
        // Zn in wurtzite (site symmetry 3m): a mirror x = 0 and a threefold axis along c.
        QTest::newRow("wurtzite, Zn")
            << "atoms/hexagonal_thirds.cif" << QStringList { "--radius", "8" }
            << QList<int> { -1, 1, 1 } << 2 << 3;
        // In on 4e of a C 2/c pyroxene: a twofold axis along b.
        QTest::newRow("pyroxene, In on a twofold axis")
            << "atoms/nainsi2o6_model.cif" << QStringList { "--radius", "8" }
            << QList<int> { -1, 1, -1 } << 1 << 2;
    }

    // Atoms that the absorber's site symmetry makes equivalent are written alike, to the
    // printed digit and sign, so that FEFF takes their paths as one.
    void symmetricClusters()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QFETCH(QList<int>, image);
        QFETCH(int, axis);
        QFETCH(int, order);
        const AtomsRun run(options, data(file));
        QCOMPARE(run.exitCode, 0);
        QVERIFY(!run.feffText().contains(QRegularExpression(" -0\\.00000 ")));
        const QList<QList<double>> atoms = AtomsRun::atomsIn(run.feffText());
        QMap<double, int> offAxis;
        for (const QList<double> &atom : atoms) {
            const QList<double> mirrored { image[0] * atom[0], image[1] * atom[1],
                image[2] * atom[2], atom[3], atom[4] };
            QVERIFY2(atoms.contains(mirrored),
                qPrintable(QString("no image of %1 %2 %3").arg(atom[0]).arg(atom[1]).arg(atom[2])));
            if (atom[(axis + 1) % 3] != 0 || atom[(axis + 2) % 3] != 0)
                ++offAxis[atom[4]];
        }
        for (auto shell = offAxis.begin(); shell != offAxis.end(); ++shell)
            QVERIFY2(shell.value() % order == 0,
                qPrintable(QString("%1 atoms at %2 A").arg(shell.value()).arg(shell.key())));
    }

    void hydrogen_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("hydrogen"); // H atoms in the input
        QTest::addColumn<QString>("message");
        QTest::newRow("FEFF 6 keeps it")
            << QStringList() << 12 << "cluster of 39 atoms within 6.00 A;";
        QTest::newRow("FEFF 8.5L leaves it out") << QStringList { "--feff",
            "8" } << 0 << "cluster of 27 atoms within 6.00 A (12 H left out); first shell 4 Br";
        QTest::newRow("FEFF 8.5L, every Ba site")
            << QStringList { "--feff", "8", "--sites", "all", "--configurations", "2" } << 0
            << "hydrogen left out of the input for FEFF 8.5L: feff8l moves each hydrogen";
    }

    // BaHBr: feff8l never ends on its hydrogen, which sits among four Ba at one distance.
    void hydrogen()
    {
        QFETCH(QStringList, options);
        QFETCH(int, hydrogen);
        QFETCH(QString, message);
        const AtomsRun run(options, data("atoms/bahbr.cif"));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.messages().contains(message), qPrintable(run.messages()));
        const QString text = run.feffText();
        QCOMPARE(text.contains(QRegularExpression("\\n +\\d+ +1 +H\\n")), hydrogen > 0);
        QCOMPARE(text.count(QRegularExpression(" H +\\d+\\.\\d+\\n")), hydrogen);
    }

    void severalInputs_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<double>>("weights");
        QTest::addColumn<QList<int>>("firstShells"); // atoms at the shortest distance
        const double third = 1.0 / 3;
        // Magnetite: Fe1 on 8 tetrahedral positions, Fe2 on 16 octahedral ones.
        QTest::newRow("spinel, all Fe sites")
            << "atoms/spinel_fe3o4.cif" << QStringList { "--sites", "all", "--absorber", "Fe" }
            << QStringList { "site-Fe1", "site-Fe2" } << QList<double> { third, 2 * third }
            << QList<int> { 4, 6 };
        // Four sites of Cu written out in P 1 are lattice translations of one another.
        QTest::newRow("nothing to choose")
            << "cif/Cu_mp-30_conventional_standard.cif"
            << QStringList { "--sites", "all", "--configurations", "8" }
            << QStringList { "site-Cu1" } << QList<double> { 1 } << QList<int> { 12 };
        QTest::newRow("a shared site, configurations")
            << "cif/4003024.cif" << QStringList { "--absorber", "Cs", "--configurations=3" }
            << QStringList { "conf-01", "conf-02", "conf-03" }
            << QList<double> { third, third, third } << QList<int> { 12, 12, 12 };
        // 8 x 1 Fe on the tetrahedral site, 16 x 0.5 on the octahedral one shared with Ni;
        // the labels Fe_1_ and Fe(1) would make the same name.
        QTest::newRow("sites and configurations")
            << "atoms/nife2o4_shared.cif"
            << QStringList { "--sites", "all", "--absorber", "Fe", "--configurations", "2" }
            << QStringList { "site-Fe_1_-conf-01", "site-Fe_1_-conf-02", "site-Fe_1__2-conf-01",
                   "site-Fe_1__2-conf-02" }
            << QList<double> { 0.25, 0.25, 0.25, 0.25 } << QList<int> { 4, 4, 6, 6 };
    }

    // One input per site, per configuration or both, each a whole feff.inp after its line.
    void severalInputs()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QFETCH(QStringList, names);
        QFETCH(QList<double>, weights);
        QFETCH(QList<int>, firstShells);
        const AtomsRun run(options, data(file));
        QCOMPARE(run.exitCode, 0);
        for (const QString &line : run.output.section("\n* ", 0, 0).split('\n'))
            QVERIFY2(line.startsWith("orbelin-atoms: "), qPrintable(line));
        const QList<AtomsRun::Input> inputs = run.inputs();
        QStringList found;
        double sum = 0;
        for (int i = 0; i < inputs.size(); ++i) {
            found << inputs[i].name;
            QVERIFY2(std::fabs(inputs[i].weight - weights.value(i)) < 1e-15,
                qPrintable(QString::number(inputs[i].weight, 'g', 17)));
            sum += inputs[i].weight;
            QVERIFY(inputs[i].text.startsWith(
                " * This feff.inp was written by orbelin-atoms from " + file.section('/', -1)));
            QVERIFY(inputs[i].text.endsWith(" END\n"));
            const QList<QList<double>> atoms = AtomsRun::atomsIn(inputs[i].text);
            int shell = 0;
            while (shell + 1 < atoms.size() && atoms[shell + 1][4] == atoms[1][4])
                ++shell;
            QCOMPARE(shell, firstShells.value(i));
        }
        QCOMPARE(found, names);
        QVERIFY(std::fabs(sum - 1) < 1e-12);
    }

    // The draws follow the seed, and the occupancies: Ni takes half the octahedral positions.
    void seedDecidesConfigurations()
    {
        const QStringList options { "--configurations", "40", "--seed", "7" };
        const AtomsRun first(options, data("atoms/nife2o4_shared.cif"));
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(AtomsRun(options, data("atoms/nife2o4_shared.cif")).output, first.output);
        const AtomsRun other(
            { "--configurations", "40", "--seed", "8" }, data("atoms/nife2o4_shared.cif"));
        QVERIFY(other.inputs().first().text != first.inputs().first().text);

        int nickel = 0, iron = 0;
        for (const AtomsRun::Input &input : first.inputs())
            for (const QString &line : input.text.split('\n')) {
                nickel += line.contains(" Ni1 ");
                iron += line.contains(" Fe1 ");
            }
        // Around the tetrahedral Fe_1_ the octahedral positions hold Fe(1) (tag Fe1) or Ni1.
        const double share = double(nickel) / (nickel + iron);
        QVERIFY2(nickel + iron > 1000 && std::fabs(share - 0.5) < 0.05,
            qPrintable(QString("%1 Ni, %2 Fe").arg(nickel).arg(iron)));
    }

    // Same cluster, order and layout as the hand-made sample input.
    void matchesSampleInput()
    {
        const AtomsRun run({ "--radius", "5.8" }, data("atoms/cu_keywords.inp"));
        QFile sample(data("feff/Cu_feff.inp"));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        const auto expected = AtomsRun::atomsIn(QString::fromUtf8(sample.readAll()));
        QCOMPARE(expected.size(), 79);
        QCOMPARE(AtomsRun::atomsIn(run.feffText()), expected);
    }

    void options_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("feff");
        QTest::addColumn<QString>("message");
        QTest::newRow("L3 by default from La on")
            << "cif/PbTe.cif" << QStringList() << "\n HOLE 4   1.0\n"
            << "(Pb, Z=82), L3 edge";
        QTest::newRow("edge and rmax")
            << "cif/PbTe.cif" << QStringList { "--rmax=4.5", "--edge", "l1" }
            << "\n HOLE 2   1.0\n\n CONTROL 1 1 1 1\n PRINT 0 0 0 0\n\n"
               " RMAX 4.50\n"
            << "L1 edge";
        QTest::newRow("absorber by element")
            << "cif/PbTe.cif" << QStringList { "--absorber", "Te" } << "\n     0    52   Te1\n"
            << "";
        QTest::newRow("absorber by label in other case")
            << "cif/Cu_mp-30_conventional_standard.cif" << QStringList { "--absorber", "cu3" }
            << "\n     0    29   Cu3\n"
            << "";
        QTest::newRow("absorber on a shared site")
            << "cif/4003024.cif" << QStringList { "--absorber", "In" } << "\n     0    49   In\n"
            << "absorber In put at the centre in place of Sn2";
        QTest::newRow("keyword rmax is the cluster radius")
            << "atoms/cu_keywords.inp" << QStringList() << "79 atoms within 6.00 A"
            << "";
        QTest::newRow("radius option beats keyword rmax")
            << "atoms/cu_keywords.inp" << QStringList { "--radius", "4" }
            << "19 atoms within 4.00 A"
            << "";
        QTest::newRow("FEFF 8.5L with SCF")
            << "cif/PbTe.cif" << QStringList { "--feff", "8", "--scf", "4" }
            << "\n RMAX 5.00\n SCF 4.00\n\n POTENTIALS\n"
            << "self-consistent potentials (SCF) within 4.00 A: 7 atoms";
        // Around In, paths through In and through Na differ by less than 0.001 A, which
        // FEFF's path hash cannot tell apart when their potential numbers differ by one.
        QTest::newRow("potentials kept apart for FEFF's path hash")
            << "atoms/nainsi2o6_model.cif" << QStringList { "--radius", "7", "--rmax", "7" }
            << "\n     2    11   Na\n     3    14   Si\n     4    49   In\n"
            << "potentials numbered O 1, Na 2, Si 3, In 4, not in order of appearance";
        QTest::newRow("rmax beyond the radius")
            << "cif/PbTe.cif" << QStringList { "--radius", "4" } << "RMAX 5.00"
            << "paths longer than the cluster radius will be missing";
    }

    void options()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QFETCH(QString, feff);
        QFETCH(QString, message);
        const AtomsRun run(options, data(file));
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.feffText().contains(feff), qPrintable(run.feffText()));
        QVERIFY2(run.messages().contains(message), qPrintable(run.messages()));
    }

    void badInputs_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("empty") << "atoms/empty.cif" << QStringList() << "the file is empty" << 1;
        QTest::newRow("not a structure")
            << "atoms/not_a_structure.txt" << QStringList() << "neither a CIF" << 1;
        QTest::newRow("CIF syntax")
            << "atoms/broken_syntax.cif" << QStringList() << "not a readable CIF" << 1;
        QTest::newRow("no cell") << "atoms/missing_cell.cif" << QStringList()
                                 << "_cell_length_a is missing" << 1;
        QTest::newRow("no atom sites")
            << "atoms/no_sites.cif" << QStringList() << "no atom sites" << 1;
        QTest::newRow("unknown element")
            << "atoms/unknown_element.cif" << QStringList() << "site Q1: unknown element 'Qx'" << 1;
        QTest::newRow("atoms too close")
            << "atoms/too_close.cif" << QStringList() << "Fe1 and O1 are 0.300 A apart" << 1;
        QTest::newRow("keywords without a")
            << "atoms/kw_missing_a.inp" << QStringList() << "keyword 'a' is missing" << 1;
        QTest::newRow("keywords, unknown element")
            << "atoms/kw_unknown_element.inp" << QStringList() << "line 6: unknown element" << 1;
        QTest::newRow("keywords, bad space group")
            << "atoms/kw_bad_space.inp" << QStringList() << "unknown space group 'Q 9 9 9'" << 1;
        QTest::newRow("unknown option") << "cif/PbTe.cif" << QStringList { "--colour", "red" }
                                        << "unknown option '--colour'" << 2;
        QTest::newRow("unknown absorber")
            << "cif/PbTe.cif" << QStringList { "--absorber", "Xe" }
            << "absorber 'Xe' is neither a site label nor an element" << 1;
        QTest::newRow("radius below the first shell")
            << "cif/Cu_mp-30_conventional_standard.cif" << QStringList { "--radius", "1" }
            << "no atom within 1 A" << 1;
        QTest::newRow("more atoms than FEFF6 takes")
            << "cif/Cu_mp-30_conventional_standard.cif" << QStringList { "--radius", "12" }
            << "more than FEFF6 takes (500)" << 1;
        QTest::newRow("more atoms than FEFF 8.5L takes")
            << "cif/Cu_mp-30_conventional_standard.cif"
            << QStringList { "--feff", "8", "--radius", "16" }
            << "1481 atoms, more than FEFF 8.5L takes (1000)" << 1;
        QTest::newRow("SCF sphere beyond FEFF 8.5L's 100 atoms")
            << "cif/Cu_mp-30_conventional_standard.cif"
            << QStringList { "--feff", "8", "--radius", "9", "--scf", "7.5" }
            << "the --scf radius 7.5 A holds 141 atoms, more than FEFF 8.5L takes" << 1;
        QTest::newRow("SCF sphere without neighbours")
            << "cif/PbTe.cif" << QStringList { "--feff", "8", "--scf", "3" }
            << "no atom within the --scf radius 3 A of the absorber; the first shell is at 3.231"
            << 1;
        QTest::newRow("hydrogen absorber for FEFF 8.5L")
            << "atoms/bahbr.cif" << QStringList { "--feff", "8", "--absorber", "H" }
            << "hydrogen (H) cannot be the absorber of an input for FEFF 8.5L" << 1;
        QTest::newRow("SCF for FEFF 6L")
            << "cif/PbTe.cif" << QStringList { "--scf", "4" } << "--scf needs --feff 8" << 2;
        QTest::newRow("edge without its shell")
            << "atoms/li_keywords.inp" << QStringList { "--edge", "L3" }
            << "the L3 edge needs an absorber from C (Z=6) on" << 1;
        QTest::newRow("missing file")
            << "atoms/no such file.cif" << QStringList() << "cannot open the file" << 1;
        QTest::newRow("directory") << "atoms" << QStringList() << "is a directory" << 1;
    }

    void badInputs()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        QFETCH(QString, cause);
        QFETCH(int, exitCode);
        const AtomsRun run(options, data(file));
        QCOMPARE(run.exitCode, exitCode);
        const QStringList lines = run.output.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith("orbelin-atoms: error: " + data(file) + ": "),
            qPrintable(lines[0]));
        QVERIFY2(lines[0].contains(cause), qPrintable(lines[0]));
        QVERIFY(!run.output.contains(" * This"));
    }

    // A file name may hold the marker; the messages must not, or Orbelin would cut there.
    void markerInFileName()
    {
        const QString good = tmp.filePath("Cu * This one.cif");
        QVERIFY(QFile::copy(data("cif/Cu_mp-30_conventional_standard.cif"), good));
        const AtomsRun run({}, good);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.feffText().startsWith(" * This feff.inp was written"));
        QCOMPARE(AtomsRun::atomsIn(run.feffText()).size(), 79);

        const QString bad = tmp.filePath("empty * This.cif");
        QVERIFY(QFile(bad).open(QIODevice::WriteOnly));
        const AtomsRun failed({}, bad);
        QCOMPARE(failed.exitCode, 1);
        QVERIFY2(!failed.output.contains(" * This"), qPrintable(failed.output));
    }

    void feffAccepts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("options");
        QTest::newRow("Cu") << "cif/Cu_mp-30_conventional_standard.cif" << QStringList();
        QTest::newRow("PbTe, L3 edge") << "cif/PbTe.cif" << QStringList();
        QTest::newRow("ZnO, hexagonal") << "cif/ZnO_mp-2133.cif" << QStringList();
        QTest::newRow("SiC, C absorber") << "cif/1011031.cif" << QStringList { "--absorber", "C" };
        QTest::newRow("In on the Sn site")
            << "cif/4003024.cif" << QStringList { "--absorber", "In" };
        QTest::newRow("hydrate, Wat labels") << "atoms/hydrate_labels.cif" << QStringList();
        QTest::newRow("hexagonal, 0.3333") << "atoms/hexagonal_thirds.cif" << QStringList();
        QTest::newRow("split Tl site") << "atoms/split_site.cif" << QStringList();
        // FEFF 6 stopped with "hash error at PATHSD" when In and Na had potentials 3 and 2.
        QTest::newRow("model pyroxene, 7 A around In")
            << "atoms/nainsi2o6_model.cif" << QStringList { "--radius", "7", "--rmax", "7" };
        // feff8l looped for ever on the hydrogen; without it, it takes about 2 s.
        QTest::newRow("FEFF 8.5L, BaHBr") << "atoms/bahbr.cif" << QStringList { "--feff", "8" };
        // Self-consistent potentials from 7 atoms take feff8l about 4 s.
        QTest::newRow("FEFF 8.5L, PbTe with SCF")
            << "cif/PbTe.cif" << QStringList { "--feff", "8", "--scf", "4" };
    }

    // Debian's FEFF reads every card, the marker line included, without a line that Orbelin
    // would log as trouble, and writes 401 chi points.
    void feffAccepts()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, options);
        const bool feff8 = options.contains("--feff") && options.contains("8");
        const QString feff = feff8 ? "/usr/bin/feff8l" : "/usr/bin/feff6";
        QVERIFY2(
            QFile::exists(feff), "Debian's ifeffit (feff6) and feff85exafs (feff8l) are needed");
        const AtomsRun run(options, data(file));
        QCOMPARE(run.exitCode, 0);

        QTemporaryDir dir;
        QFile input(dir.filePath("feff.inp"));
        QVERIFY(input.open(QIODevice::WriteOnly));
        input.write(run.feffText().toUtf8());
        input.close();
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(dir.path());
        process.start(feff, QStringList());
        QVERIFY(process.waitForFinished(60000));
        const QString log = QString::fromLocal8Bit(process.readAll());
        // FEFF exits with 0 even when it stops on a card it cannot read.
        QVERIFY2(
            feffTroubleLines(log).isEmpty() && log.contains(feff8 ? "Feff85l done" : "Feff done"),
            qPrintable(log));
        QCOMPARE(log.contains("SCF ITERATION NUMBER"), options.contains("--scf"));

        ChiData chi;
        chi.read(dir.filePath("chi.dat"));
        QVERIFY(chi.valid);
        QCOMPARE(chi.kValues.size(), 401);
        QCOMPARE(chi.kValues.last(), 20.0);
    }
};

QTEST_GUILESS_MAIN(TestAtomsProgram)
#include "tst_atomsprogram.moc"
