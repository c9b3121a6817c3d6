#include "cifreader.h"
#include "cluster.h"
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

        // Near opposite faces, the case that needs one translation more than radius / spacing.
        const std::vector<CellAtom> atoms
            = { { 0, { 0.02, 0.97, 0.01 }, {} }, { 1, { 0.98, 0.03, 0.99 }, {} } };
        const double radius = 7;
        const std::vector<ClusterAtom> cluster = buildCluster(cell, atoms, 1, radius);
        std::vector<double> expected;
        const Vec3 origin = cell.toCartesian(atoms[1].frac);
        for (const CellAtom &atom : atoms)
            for (int i = -15; i <= 15; ++i)
                for (int j = -15; j <= 15; ++j)
                    for (int k = -15; k <= 15; ++k) {
                        const Vec3 f { atom.frac[0] + i, atom.frac[1] + j, atom.frac[2] + k };
                        const double r = length(cell.toCartesian(f) - origin);
                        if (r <= radius + 1e-9)
                            expected.push_back(r);
                    }
        std::sort(expected.begin(), expected.end());
        QCOMPARE(cluster.size(), expected.size());
        QCOMPARE(cluster.front().site, 1);
        QCOMPARE(cluster.front().distance, 0.0);
        for (std::size_t n = 0; n < cluster.size(); ++n) {
            QVERIFY(std::fabs(cluster[n].distance - expected[n]) < 1e-9);
            QVERIFY(std::fabs(length(cluster[n].xyz) - cluster[n].distance) < 1e-9);
        }
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
