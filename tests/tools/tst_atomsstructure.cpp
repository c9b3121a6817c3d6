#include "cifreader.h"
#include "cluster.h"
#include "configuration.h"
#include "feffinput.h"
#include "symmetry.h"
#include "textutil.h"

#include <QTest>

#include <algorithm>
#include <cmath>

using namespace atoms;

Q_DECLARE_METATYPE(atoms::Crystal)
Q_DECLARE_METATYPE(atoms::Cell)

// From sites to FEFF cards: symmetry operators, filling and merging the unit cell, the cluster
// around the absorber, and the text written from it.
class TestAtomsStructure : public QObject
{
    Q_OBJECT

private:
    static Crystal crystal(double a, const std::string &group, const std::vector<Site> &sites)
    {
        Crystal c;
        c.cell.a = c.cell.b = c.cell.c = a;
        if (group != "P 1")
            c.ops = findSpaceGroup(group)->ops;
        c.sites = sites;
        return c;
    }

private slots:
    void symops_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<double>>("image"); // of (0.1, 0.2, 0.3); empty if invalid
        QTest::newRow("inversion, capitals") << "-X,-Y,-Z" << QList<double> { -0.1, -0.2, -0.3 };
        QTest::newRow("shift last, blanks")
            << " y+1/2, -x+0.25 ,z-1/2" << QList<double> { 0.7, 0.15, -0.2 };
        QTest::newRow("hexagonal") << "x-y,x,z" << QList<double> { -0.1, 0.1, 0.3 };
        QTest::newRow("factor") << "-x+y,-1*x,z" << QList<double> { 0.1, -0.1, 0.3 };
        QTest::newRow("unknown letter") << "x,y,q" << QList<double>();
        QTest::newRow("dangling sign") << "x+,y,z" << QList<double>();
        QTest::newRow("singular") << "x,x,z" << QList<double>();
        QTest::newRow("scaling") << "2*x,y,z" << QList<double>();
    }

    void symops()
    {
        QFETCH(QString, text);
        QFETCH(QList<double>, image);
        const auto op = parseSymop(text.toStdString());
        QCOMPARE(op.has_value(), !image.isEmpty());
        if (!op)
            return;
        const Vec3 f = op->apply({ 0.1, 0.2, 0.3 });
        for (int i = 0; i < 3; ++i)
            QVERIFY2(std::fabs(f[i] - image[i]) < 1e-12, qPrintable(QString::number(f[i])));
    }

    void fill_data()
    {
        QTest::addColumn<Crystal>("input");
        QTest::addColumn<int>("atoms");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QString>("note"); // a note expected, or the error

        QTest::newRow("fcc") << crystal(3.61, "F m -3 m", { { "Cu", 29, { 0, 0, 0 }, 1 } }) << 4
                             << QStringList { "Cu" } << "";
        Crystal wurtzite = crystal(3.25, "P 63 m c", { { "Zn", 30, { 0.33333, 0.66667, 0 }, 1 } });
        wurtzite.cell.c = 5.2;
        wurtzite.cell.gamma = 120;
        // 0.33333 for 1/3: taken as 1/3, so that its images fall on one another exactly.
        QTest::newRow("rounded special position")
            << wurtzite << 2 << QStringList { "Zn" }
            << "2 coordinates of Zn within 0.0001 of a multiple of 1/12 (as 0.3333 of 1/3)";
        // Four images 0.44 and 0.62 A apart, as a Tl split around a fourfold axis.
        QTest::newRow("site split over four positions")
            << crystal(4, "P 4/m m m", { { "Tl", 81, { 0.055, 0.055, 0 }, 0.25 } }) << 1
            << QStringList { "Tl" } << "Tl (occupancy 0.25) is split: 3 of its 4 positions";
        QTest::newRow("split site, two groups 2 A apart")
            << crystal(4, "P 4/m m m", { { "Tl", 81, { 0.055, 0.055, 0.25 }, 0.125 } }) << 2
            << QStringList { "Tl" } << "6 of its 8 positions in the unit cell dropped";
        QTest::newRow("partly occupied, images far apart")
            << crystal(4, "P 4/m m m", { { "Tl", 81, { 0.3, 0.3, 0 }, 0.25 } }) << 4
            << QStringList { "Tl" } << "";
        QTest::newRow("site listed twice")
            << crystal(4, "P 1", { { "Cu1", 29, { 0, 0, 0 }, 1 }, { "Cu2", 29, { 0, 1, -2 }, 1 } })
            << 1 << QStringList { "Cu1" } << "merged 1 atom that";
        QTest::newRow("shared site, smaller occupancy first")
            << crystal(5.5592, "P m -3 m",
                   { { "Cs1", 55, { 0, 0, 0 }, 1 }, { "In", 49, { 0.5, 0.5, 0.5 }, 0.0672 },
                       { "Sn2", 50, { 0.5, 0.5, 0.5 }, 0.9 } })
            << 2 << QStringList { "Cs1", "Sn2" }
            << "In (occupancy 0.0672) shares its position with Sn2 (occupancy 0.9); keeping "
               "Sn2, the one with the larger occupancy";
        QTest::newRow("shared site, equal occupancy")
            << crystal(4, "P 1", { { "Ga", 31, { 0, 0, 0 }, 0.5 }, { "Al", 13, { 0, 0, 0 }, 0.5 } })
            << 1 << QStringList { "Ga" } << "keeping Ga, listed first";
        QTest::newRow("disorder alternatives") << crystal(
            4, "P 1", { { "Fe1b", 26, { 0.075, 0, 0 }, 0.3 }, { "Fe1a", 26, { 0, 0, 0 }, 0.7 } })
                                               << 1 << QStringList { "Fe1a" }
                                               << "Fe1b (occupancy 0.3) is 0.300 A from Fe1a";
        QTest::newRow("occupancy above 1")
            << crystal(4, "P 1", { { "Fe1", 26, { 0, 0, 0 }, 1.2 }, { "O1", 8, { 0.5, 0, 0 }, 1 } })
            << 2 << QStringList { "Fe1", "O1" }
            << "occupancy above 1 taken as 1 for 1 site: Fe1 (1.2)";
        QTest::newRow("too close")
            << crystal(4, "P 1", { { "Fe1", 26, { 0, 0, 0 }, 1 }, { "O1", 8, { 0.075, 0, 0 }, 1 } })
            << 0 << QStringList() << "atoms too close: Fe1 and O1 are 0.300 A apart";
        QTest::newRow("too close across the cell edge")
            << crystal(
                   4, "P 1", { { "Fe1", 26, { 0.98, 0, 0 }, 1 }, { "O1", 8, { 0.02, 0, 0 }, 1 } })
            << 0 << QStringList() << "Fe1 and O1 are 0.160 A apart";
        QTest::newRow("too close to its symmetry copy")
            << crystal(4, "P -1", { { "Fe1", 26, { 0.02, 0, 0 }, 1 } }) << 0 << QStringList()
            << "Fe1 and Fe1 (a symmetry copy) are 0.160 A apart";
    }

    void fill()
    {
        QFETCH(Crystal, input);
        QFETCH(int, atoms);
        QFETCH(QStringList, kept);
        QFETCH(QString, note);

        FilledCell filled;
        try {
            filled = fillUnitCell(input);
        } catch (const InputError &e) {
            QVERIFY2(atoms == 0 && QString(e.what()).contains(note), e.what());
            return;
        }
        QCOMPARE(int(filled.atoms.size()), atoms);
        QStringList labels;
        for (const CellAtom &atom : filled.atoms) {
            const QString label = QString::fromStdString(input.sites[atom.site].label);
            if (!labels.contains(label))
                labels << label;
            for (double x : atom.frac)
                QVERIFY(x >= 0 && x < 1);
        }
        QCOMPARE(labels, kept);
        // Every image's occupancy stays in the cell as one choice of one position, except the
        // repeats of a site listed twice, which the multiplicities leave out as well.
        double images = 0, choices = 0;
        for (std::size_t s = 0; s < input.sites.size(); ++s)
            images += filled.multiplicity[s] * std::min(1.0, input.sites[s].occupancy);
        for (const CellAtom &atom : filled.atoms)
            for (const Choice &choice : atom.choices)
                choices += choice.probability;
        QVERIFY2(std::fabs(images - choices) < 1e-9, qPrintable(QString::number(choices)));
        const QString notes = QString::fromStdString(joined(filled.notes, "\n"));
        QVERIFY2(note.isEmpty() ? notes.isEmpty() : notes.contains(note), qPrintable(notes));
        // A site merged away points at the atom now at its place (an absorber can go there).
        for (std::size_t s = 0; s < input.sites.size(); ++s) {
            const int by = filled.replacedBy[s];
            QCOMPARE(by < 0, kept.contains(QString::fromStdString(input.sites[s].label)));
            if (by >= 0)
                QVERIFY(
                    periodicDistance(input.cell, filled.atoms[by].frac, input.sites[s].frac) < 0.5);
        }
    }

    void wrapping()
    {
        const FilledCell filled
            = fillUnitCell(crystal(4, "P 1", { { "Fe", 26, { 1.25, -0.5, 0.99999999 }, 1 } }));
        QCOMPARE(filled.atoms.at(0).frac, (Vec3 { 0.25, 0.5, 0 }));
    }

    void supercells_data()
    {
        QTest::addColumn<QString>("variant");
        QTest::addColumn<int>("atoms");
        QTest::addColumn<QString>("note"); // a note expected, or the error
        QTest::newRow("every atom once") << "plain" << 512 << "";
        // Each atom again one cell over and 1e-6 off, or just below the far face for 0.
        QTest::newRow("every atom twice, across the faces")
            << "twice" << 512
            << "merged 512 atoms that another site already put at the same position";
        QTest::newRow("K sharing every Na position")
            << "shared" << 512 << "K1 (occupancy 0.5) shares its position with Na1 (occupancy 0.5)";
        QTest::newRow("one atom too close, across the cell's corner")
            << "intruder" << 0 << "atoms too close: Na1 and Fe are 0.";
    }

    // NaCl as a P 1 cell of 4 x 4 x 4 unit cells: merging and refusing find their neighbours
    // in every bin of the search grid and across the periodic boundaries.
    void supercells()
    {
        QFETCH(QString, variant);
        QFETCH(int, atoms);
        QFETCH(QString, note);
        const int n = 4;
        const double a = 5.64;
        Crystal c = crystal(n * a, "P 1", {});
        const std::vector<std::pair<int, Vec3>> basis
            = { { 11, { 0, 0, 0 } }, { 11, { 0.5, 0.5, 0 } }, { 11, { 0.5, 0, 0.5 } },
                  { 11, { 0, 0.5, 0.5 } }, { 17, { 0.5, 0, 0 } }, { 17, { 0, 0.5, 0 } },
                  { 17, { 0, 0, 0.5 } }, { 17, { 0.5, 0.5, 0.5 } } };
        int count = 0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < n; ++k)
                    for (const auto &[z, f] : basis) {
                        const std::string label = (z == 11 ? "Na" : "Cl") + std::to_string(++count);
                        const Vec3 frac { (f[0] + i) / n, (f[1] + j) / n, (f[2] + k) / n };
                        const bool shared = variant == "shared" && z == 11;
                        c.sites.push_back({ label, z, frac, shared ? 0.5 : 1.0 });
                        if (shared)
                            c.sites.push_back({ "K" + std::to_string(count), 19, frac, 0.5 });
                        if (variant == "twice")
                            c.sites.push_back({ label + "b", z,
                                { frac[0] == 0 ? 1 - 1e-7 : frac[0] + 1, frac[1] - 1 + 1e-6,
                                    frac[2] },
                                1 });
                    }
        if (variant == "intruder")
            c.sites.push_back({ "Fe", 26, { 0.995, 0.998, 0.999 }, 1 });

        FilledCell filled;
        try {
            filled = fillUnitCell(c);
        } catch (const InputError &e) {
            QVERIFY2(atoms == 0 && QString(e.what()).contains(note), e.what());
            return;
        }
        QVERIFY(atoms > 0);
        QCOMPARE(int(filled.atoms.size()), atoms);
        const QString notes = QString::fromStdString(joined(filled.notes, "\n"));
        QVERIFY2(note.isEmpty() ? notes.isEmpty() : notes.contains(note), qPrintable(notes));
        // The first shell of every atom is whole: 6 neighbours at a / 2.
        const ClusterCutter cutter(c.cell, filled.atoms);
        for (std::size_t i = 0; i < filled.atoms.size(); i += 37) {
            const auto cluster = cutter.cut(static_cast<int>(i), 0.5 * a + 0.01);
            QCOMPARE(int(cluster.size()), 7);
        }
    }

    void clusters_data()
    {
        QTest::addColumn<Cell>("cell");
        QTest::newRow("cubic") << Cell { 4, 4, 4, 90, 90, 90 };
        QTest::newRow("hexagonal") << Cell { 3.25, 3.25, 5.2, 90, 90, 120 };
        QTest::newRow("monoclinic") << Cell { 5, 6, 7, 90, 110, 90 };
        QTest::newRow("triclinic") << Cell { 3, 4, 5, 60, 70, 80 };
        QTest::newRow("strongly oblique") << Cell { 3, 3, 10, 90, 90, 25 };
        QTest::newRow("flat rhombohedral") << Cell { 5, 5, 5, 115, 115, 115 };
    }

    // Every atom within the radius, however skewed the cell, against a search over many
    // cells; and the axes a along x, b in the xy plane, with the cell's lengths and angles.
    void clusters()
    {
        QFETCH(Cell, cell);
        const auto v = cell.axes();
        QCOMPARE(
            (std::vector<double> { v[0][1], v[0][2], v[1][2] }), (std::vector<double> { 0, 0, 0 }));
        const double degree = std::acos(-1.0) / 180;
        QVERIFY(std::fabs(length(v[2]) - cell.c) < 1e-9);
        QVERIFY(
            std::fabs(dot(v[1], v[2]) / cell.b / cell.c - std::cos(cell.alpha * degree)) < 1e-9);
        QVERIFY(std::fabs(dot(v[0], v[2]) / cell.a / cell.c - std::cos(cell.beta * degree)) < 1e-9);
        QVERIFY(
            std::fabs(dot(v[0], v[1]) / cell.a / cell.b - std::cos(cell.gamma * degree)) < 1e-9);

        // Near opposite faces, the case that needs one translation more than radius / spacing,
        // among enough others that the search looks through several bins per axis.
        std::vector<CellAtom> atoms
            = { { 0, { 0.02, 0.97, 0.01 }, {} }, { 1, { 0.98, 0.03, 0.99 }, {} } };
        UniformDraws draws(3);
        for (int i = 0; i < 150; ++i)
            atoms.push_back({ 0, { draws.next(), draws.next(), draws.next() }, {} });
        const double radius = 7;
        const std::vector<ClusterAtom> cluster = buildCluster(cell, atoms, 1, radius);
        std::vector<double> expected;
        const Vec3 origin = cell.toCartesian(atoms[1].frac);
        // Positions in [0, 1) within the radius are at most radius / spacing + 1 cells away.
        const Vec3 spacings = cell.planeSpacings();
        int reach[3];
        for (int n = 0; n < 3; ++n)
            reach[n] = int(radius / spacings[n]) + 2;
        for (const CellAtom &atom : atoms)
            for (int i = -reach[0]; i <= reach[0]; ++i)
                for (int j = -reach[1]; j <= reach[1]; ++j)
                    for (int k = -reach[2]; k <= reach[2]; ++k) {
                        const Vec3 f { atom.frac[0] + i, atom.frac[1] + j, atom.frac[2] + k };
                        const double r = length(cell.toCartesian(f) - origin);
                        if (r <= radius + 1e-9)
                            expected.push_back(r);
                    }
        std::sort(expected.begin(), expected.end());
        QCOMPARE(cluster.size(), expected.size());
        QCOMPARE(cluster.front().site, 1);
        QCOMPARE(cluster.front().distance, 0.0);
        // By distance at the printed 1e-5 A, and among equals by position.
        std::vector<double> found;
        for (std::size_t n = 0; n < cluster.size(); ++n) {
            found.push_back(cluster[n].distance);
            QVERIFY(n == 0 || cluster[n].distance > cluster[n - 1].distance - 1e-5);
            QVERIFY(std::fabs(length(cluster[n].xyz) - cluster[n].distance) < 1e-9);
        }
        std::sort(found.begin(), found.end());
        for (std::size_t n = 0; n < found.size(); ++n)
            QVERIFY(std::fabs(found[n] - expected[n]) < 1e-9);
    }

    void tagsAndEdges()
    {
        QCOMPARE(feffTag("Fe (1)#", 26), std::string("Fe1"));
        QCOMPARE(feffTag("Aluminium_site_3", 13), std::string("Aluminium_"));
        QCOMPARE(feffTag("()", 13), std::string("Al"));
        QCOMPARE(holeNumber("l1") * 10 + holeNumber("M1"), 20);
        QCOMPARE(defaultEdge(56) + defaultEdge(57), std::string("KL3"));
    }

    void feffText()
    {
        FeffJob job;
        job.sourceName = "PbTe.cif";
        job.titles = { "first", "second" };
        job.edge = "L2";
        job.rmax = 4.5;
        job.sites = { { "Pb1", 82, {}, 1 }, { "Te1", 52, {}, 1 } };
        job.cluster = { { 0, { 0, 0, 0 }, 0 }, { 1, { 3.2305, 0, -0.0000001 }, 3.2305 } };
        const QStringList lines = QString::fromStdString(feffInputText(job)).split('\n');
        QCOMPARE(lines.mid(0, 5),
            (QStringList { " * This feff.inp was written by orbelin-atoms from PbTe.cif",
                " TITLE first", " TITLE second", "", " HOLE 3   1.0" }));
        const int potentialsAt = lines.indexOf(" POTENTIALS");
        QCOMPARE(lines.mid(potentialsAt + 2, 2),
            (QStringList { "     0    82   Pb1", "     1    52   Te" }));
        const int atomsAt = lines.indexOf(" ATOMS");
        QCOMPARE(lines.mid(atomsAt + 2),
            (QStringList { "     0.00000    0.00000    0.00000  0   Pb1          0.00000",
                "     3.23050    0.00000    0.00000  1   Te1          3.23050", " END", "" }));
    }
};

QTEST_GUILESS_MAIN(TestAtomsStructure)
#include "tst_atomsstructure.moc"
