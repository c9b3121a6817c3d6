// Measured spectra: the readers, and the background removal against Larch's own chi(k).
#include "background.h"
#include "measured.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstdint>

using namespace xafs;

namespace {

QString dataPath(const QString &relative)
{
    return QStringLiteral(ORBELIN_TEST_DATA "/") + relative;
}

QByteArray fileBytes(const QString &relative)
{
    QFile file(dataPath(relative));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

// A Larch chi(k) file: '#' lines, then k and chi; e0 and the knots from its header.
struct LarchChi
{
    std::vector<double> k, chi;
    double e0 = 0;
    int knots = 0;
};

LarchChi readLarch(const QString &relative)
{
    LarchChi out;
    for (const QByteArray &raw : fileBytes(relative).split('\n')) {
        const QString line = QString::fromLatin1(raw).trimmed();
        if (line.startsWith('#')) {
            const QRegularExpression e0("e0 = ([0-9.]+)"), knots("nknots = ([0-9]+)");
            const auto e = e0.match(line), n = knots.match(line);
            if (e.hasMatch())
                out.e0 = e.captured(1).toDouble();
            if (n.hasMatch())
                out.knots = n.captured(1).toInt();
        } else if (!line.isEmpty()) {
            const QStringList words = line.split(' ', Qt::SkipEmptyParts);
            out.k.push_back(words.at(0).toDouble());
            out.chi.push_back(words.at(1).toDouble());
        }
    }
    return out;
}

// R = sum (k^2 dchi)^2 / sum (k^2 chi_ref)^2 over k 3..12 on the grid.
double rFactor(const std::vector<double> &k, const std::vector<double> &chi, const LarchChi &ref)
{
    double num = 0, den = 0;
    for (std::size_t i = 0; i < ref.k.size() && i < k.size(); ++i) {
        if (ref.k[i] < 3 - 1e-9 || ref.k[i] > 12 + 1e-9)
            continue;
        const double w = ref.k[i] * ref.k[i];
        num += std::pow(w * (chi[i] - ref.chi[i]), 2);
        den += std::pow(w * ref.chi[i], 2);
    }
    return den > 0 ? num / den : 1e9;
}

QByteArray randomBytes(int count, std::uint32_t seed)
{
    QByteArray bytes(count, '\0');
    for (int i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = char(seed >> 24);
    }
    return bytes;
}

QByteArray project(const QByteArray &records)
{
    return "# Athena project file -- Athena version 0.8.061\n# made for a test\n" + records
        + "\n@journal = ();\n\n1;\n";
}

} // namespace

class TestXafs : public QObject
{
    Q_OBJECT

private slots:
    void readers_data();
    void readers();
    void options_data();
    void options();
    void againstLarch_data();
    void againstLarch();
    void backgroundRefusals_data();
    void backgroundRefusals();
    void chiFile();
    void hugeFile();
};

void TestXafs::readers_data()
{
    // A file under tests/data (FILE.prj#LABEL for a group), or empty (or "#LABEL") for the bytes
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("error"); // empty: read
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("what");
    QTest::addColumn<double>("x0");
    QTest::addColumn<double>("y0");
    QTest::addColumn<double>("xn");
    QTest::addColumn<double>("yn");
    QTest::addColumn<int>("merged");

    const int mu = int(Spectrum::Kind::Mu), chi = int(Spectrum::Kind::Chi);
    const QByteArray none;
    // What each reader makes of real files.
    QTest::newRow("XDI, mutrans by default")
        << "measured/cu_metal_rt.xdi" << none << ""
        << "" << mu << 408 << "mutrans" << 8779.0 << -1.3070486 << 10145.86 << 0.24890911 << 0;
    QTest::newRow("XDI, chosen ln(i0/itrans)")
        << "measured/cu_metal_rt.xdi" << none << "energy,i0/itrans,ln"
        << "" << mu << 408 << "ln(i0/itrans)" << 8779.0 << std::log(149013.7 / 550643.089065)
        << 10145.86 << 0.24890911 << 0;
    QTest::newRow("XDI, Element fields") << "measured/feo_rt1.xdi" << none << ""
                                         << "" << mu << 412 << "mutrans" << 6911.7671
                                         << -0.035992590 << 8084.0938 << 0.42842774 << 0;
    QTest::newRow("Epics scan, ; comments, chosen 1,3/4,ln")
        << "measured/znse_zn_xafs.001" << none << "1,3/4,ln"
        << "" << mu << 469 << "ln(D1/D2)" << 9509.0 << std::log(101896.7 / 167180.2) << 10405.76
        << std::log(100919.7 / 176438.2) << 0;
    QTest::newRow("chi(k) of Larch")
        << "measured/cu.chi" << none << ""
        << "" << chi << 350 << "chi" << 0.0 << 0.552489 << 17.45 << 0.001059 << 0;
    QTest::newRow("chi.dat of feff6, NUL bytes in its header")
        << "chi/Cu_feff6.chi.dat" << none << ""
        << "" << chi << 401 << "chi" << 0.0 << -3.152744e-01 << 20.0 << 1.031053e-02 << 0;
    QTest::newRow("Athena project, gzip, first group")
        << "measured/fe_athena.prj" << none << ""
        << "" << mu << 412 << "fe2o3_rt1.xmu" << 6911.8277 << 0.80926541 << 8084.2337 << 0.85006084
        << 0;
    QTest::newRow("Athena project, gzip, group by label")
        << "measured/fe_athena.prj#fe3c_rt.xdi" << none << ""
        << "" << mu << 348 << "fe3c_rt.xdi" << 6962.0 << -0.069530319 << 7969.247 << 0.64833533
        << 0;
    QTest::newRow("Athena project, plain text")
        << "measured/FeS2.prj" << none << ""
        << "" << mu << 353 << "fes2_rt01_mar02.xmu" << 6911.8277 << 0.80926541 << 7969.247
        << 0.32835579 << 0;

    // The rules, on small texts.
    QTest::newRow("columns: mu by name, not the second")
        << "" << QByteArray("# energy i0 mu\n1 5 7\n2 5 8\n") << ""
        << "" << mu << 2 << "mu" << 1.0 << 7.0 << 2.0 << 8.0 << 0;
    QTest::newRow("columns: CRLF, ; comment between rows, D exponents")
        << "" << QByteArray("; E xmu\r\n1.0D+00 2\r\n; a note\r\n+3 4.5d0\r\n") << ""
        << "" << mu << 2 << "xmu" << 1.0 << 2.0 << 3.0 << 4.5 << 0;
    QTest::newRow("columns: sorted, a duplicate energy averaged")
        << "" << QByteArray("3 30\n1 10\n2 20\n2 40\n") << ""
        << "" << mu << 3 << "column 2" << 1.0 << 10.0 << 3.0 << 30.0 << 1;
    QTest::newRow("XDI: energy in keV")
        << ""
        << QByteArray(
               "# XDI/1.0\n# Column.1: energy keV\n# Column.2: mufluor\n# ///\n8.9 1\n9.0 2\n")
        << ""
        << "" << mu << 2 << "mufluor" << 8900.0 << 1.0 << 9000.0 << 2.0 << 0;
    QTest::newRow("XDI: ifluor/i0 without mu or itrans")
        << ""
        << QByteArray("# XDI/1.0\n# Column.1: energy eV\n# Column.2: i0\n# Column.3: ifluor\n1 2 "
                      "3\n2 4 4\n")
        << ""
        << "" << mu << 2 << "ifluor/i0" << 1.0 << 1.5 << 2.0 << 1.0 << 0;

    // What cannot be read, and the words that say why.
    QTest::newRow("empty") << "" << QByteArray() << ""
                           << "no rows of numbers" << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0
                           << 0;
    QTest::newRow("random bytes") << "" << randomBytes(4096, 7) << ""
                                  << "data.dat: " << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("a row of another width")
        << "" << QByteArray("# e mu i0\n1 2 3\n2 3 4\n3 4\n") << ""
        << "line 4: 2 columns where line 2 has 3" << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("text among the rows")
        << "" << QByteArray("1 2\n2 3\n\n3 x4\n") << ""
        << "line 4: not a row of numbers: 'x4'" << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("not a number in a used column")
        << "" << QByteArray("# e mu\n1 2\n2 nan\n") << ""
        << "line 3: mu is 'nan', not a finite number" << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0
        << 0;
    QTest::newRow("ln of a negative ratio")
        << "" << QByteArray("# e a b\n1 2 3\n2 -1 3\n") << "1,a/b,ln"
        << "line 3: ln(a/b) is not a finite number (a = -1, b = 3)" << mu << 0 << "" << 0.0 << 0.0
        << 0.0 << 0.0 << 0;
    QTest::newRow("no column of that name")
        << "" << QByteArray("# energy i0 mu\n1 2 3\n") << "energy,foo"
        << "line 2: no column named 'foo' (the columns: energy, i0, mu)" << mu << 0 << "" << 0.0
        << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("no column of that number") << "" << QByteArray("1 2 3\n") << "1,9"
                                              << "column 9 asked for, but the rows have 3 columns"
                                              << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("wider than any table")
        << "" << QByteArray("1 ").repeated(300) << ""
        << "line 1: more than 256 columns" << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("XDI without mu")
        << "" << QByteArray("# XDI/1.0\n# Column.1: energy\n# Column.2: i1\n1 2\n") << ""
        << "the XDI columns hold no mu(E)" << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("XDI with a bad column field")
        << "" << QByteArray("# XDI/1.0\n# Column.x: energy\n1 2\n") << ""
        << "line 2: XDI field 'column.x' is not Column.N" << mu << 0 << "" << 0.0 << 0.0 << 0.0
        << 0.0 << 0;
    QTest::newRow("project: no such group")
        << "measured/fe_athena.prj#feo" << none << ""
        << "no group labelled 'feo' (the groups: 'fe2o3_rt1.xmu', 'fe3c_rt.xdi', 'feo_rt1.xmu')"
        << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    const QByteArray gz = fileBytes("measured/fe_athena.prj");
    QTest::newRow("project: gzip cut short")
        << "" << gz.left(gz.size() / 2) << ""
        << "the gzip data end early" << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    QByteArray corrupt = gz;
    for (int i = 200; i < 260; ++i)
        corrupt[i] = char(corrupt[i] ^ 0x5a);
    QTest::newRow("project: gzip corrupt")
        << "" << corrupt << ""
        << "the gzip data are corrupt" << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0 << 0;
    QTest::newRow("project: @x and @y of different lengths")
        << ""
        << project(
               "$old_group = 'abcd';\n@args = ('label','one','is_xmu',1);\n@x = ('1','2','3');\n"
               "@y = ('1','2');\n[record]\n")
        << ""
        << "line 6: group 'one': @x has 3 values, @y 2" << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0
        << 0;
    QTest::newRow("project: not a number, and code is never run")
        << ""
        << project("$old_group = 'abcd';\n@args = ('label',`rm -rf x`,'is_xmu',1);\n@x = "
                   "('1',system(1));\n"
                   "@y = ('1','2');\n[record]\n")
        << ""
        << "line 4: the group's @args is not a list Athena writes" << mu << 0 << "" << 0.0 << 0.0
        << 0.0 << 0.0 << 0;
    QTest::newRow("project: a group of difference data")
        << ""
        << project("$old_group = 'abcd';\n@args = ('label','d','is_diff',1,'titles',['x,y']);\n@x "
                   "= (1,2);\n"
                   "@y = (1,2);\n[record]\n")
        << ""
        << "no group holds mu(E) or chi(k) (the groups: 'd')" << mu << 0 << "" << 0.0 << 0.0 << 0.0
        << 0.0 << 0;
    QTest::newRow("project: a label matched ignoring case and blanks, chi(k)")
        << "#ref nio.000"
        << project("$old_group = 'aaaa';\n@args = ('label','NiO.000');\n@x = (1,2);\n@y = (3,4);\n"
                   "[record]\n$old_group = 'bbbb';\n@args = ('label','  Ref NiO.000','is_chi',1);\n"
                   "@x = ('0.5','0.0');\n@y = ('-1E-1','2');\n[record]\n")
        << ""
        << "" << chi << 2 << "  Ref NiO.000" << 0.0 << 2.0 << 0.5 << -0.1 << 0;
    QTest::newRow("project in JSON form")
        << ""
        << QByteArray(
               "{\"_____header1\": \"# Athena project file -- Demeter version 0.9.26\",\n}\n")
        << ""
        << "line 1: an Athena project in JSON form" << mu << 0 << "" << 0.0 << 0.0 << 0.0 << 0.0
        << 0;
}

void TestXafs::readers()
{
    QFETCH(QString, source);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, columns);
    QFETCH(QString, error);

    ReadOptions options;
    if (!columns.isEmpty()) {
        const auto choice = parseColumnChoice(columns.toStdString());
        QVERIFY2(choice.ok(), choice.error().message().c_str());
        options.columns = choice.value();
    }
    const bool fromBytes = source.isEmpty() || source.startsWith('#');
    if (fromBytes)
        options.group = source.mid(1).toStdString();
    const auto read = fromBytes
        ? readMeasured(std::string_view(bytes.constData(), bytes.size()), "data.dat", options)
        : readMeasuredFile(dataPath(source).toStdString(), options);
    if (!error.isEmpty()) {
        QVERIFY2(!read.ok(), "read, where an error was expected");
        const QString message = QString::fromStdString(read.error().message());
        QVERIFY2(message.contains(error), qPrintable(message));
        QVERIFY2(message.startsWith(fromBytes ? "data.dat: " : dataPath(source.section('#', 0, 0))),
            qPrintable(message));
        return;
    }
    QVERIFY2(read.ok(), read.error().message().c_str());
    QFETCH(int, kind);
    QFETCH(int, points);
    QFETCH(QString, what);
    QFETCH(double, x0);
    QFETCH(double, y0);
    QFETCH(double, xn);
    QFETCH(double, yn);
    QFETCH(int, merged);
    const Spectrum &s = read.value();
    QCOMPARE(int(s.kind), kind);
    QCOMPARE(int(s.x.size()), points);
    QCOMPARE(int(s.y.size()), points);
    QCOMPARE(QString::fromStdString(s.format == "Athena project" ? s.group : s.columns), what);
    QCOMPARE(s.x.front(), x0);
    QVERIFY2(std::abs(s.y.front() - y0) <= 1e-12 * std::max(1.0, std::abs(y0)),
        qPrintable(QString::number(s.y.front(), 'g', 17)));
    QCOMPARE(s.x.back(), xn);
    QVERIFY2(std::abs(s.y.back() - yn) <= 1e-12 * std::max(1.0, std::abs(yn)),
        qPrintable(QString::number(s.y.back(), 'g', 17)));
    QCOMPARE(s.merged, merged);
    for (std::size_t i = 1; i < s.x.size(); ++i)
        QVERIFY(s.x[i] > s.x[i - 1]);
    if (s.format == "Athena project")
        QVERIFY(std::find(s.groups.begin(), s.groups.end(), s.group) != s.groups.end());
}

void TestXafs::options_data()
{
    QTest::addColumn<QString>("option"); // "columns" or "bkg"
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // the value read back, or "error: <words>"

    QTest::newRow("columns by number") << "columns"
                                       << "1,3/4,ln"
                                       << "1|3|4|ln";
    QTest::newRow("columns by name, blanks") << "columns"
                                             << " energy , mutrans "
                                             << "energy|mutrans||";
    QTest::newRow("columns, LN") << "columns"
                                 << "E,i0/it,LN"
                                 << "E|i0|it|ln";
    QTest::newRow("columns: one field") << "columns"
                                        << "1"
                                        << "error: two or three fields";
    QTest::newRow("columns: empty numerator") << "columns"
                                              << "1,,ln"
                                              << "error: an empty column";
    QTest::newRow("columns: two slashes") << "columns"
                                          << "1,2/3/4"
                                          << "error: one column after '/'";
    QTest::newRow("columns: column 0") << "columns"
                                       << "0,2"
                                       << "error: numbered from 1";
    QTest::newRow("columns: log10") << "columns"
                                    << "1,2,log"
                                    << "error: the third field can only be ln";
    QTest::newRow("bkg") << "bkg"
                         << "1.2,3"
                         << "1.2|3";
    QTest::newRow("bkg, k-weight kept") << "bkg"
                                        << "0.8,"
                                        << "0.8|2";
    QTest::newRow("bkg: no comma") << "bkg"
                                   << "1"
                                   << "error: two values separated by a comma";
    QTest::newRow("bkg: Rbkg 0") << "bkg"
                                 << "0,2"
                                 << "error: Rbkg must be";
    QTest::newRow("bkg: k-weight 1.5") << "bkg"
                                       << "1,1.5"
                                       << "error: the k-weight must be a whole number";
    QTest::newRow("bkg: words") << "bkg"
                                << "one,two"
                                << "error: Rbkg must be";
}

void TestXafs::options()
{
    QFETCH(QString, option);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QString got;
    if (option == "columns") {
        const auto choice = parseColumnChoice(text.toStdString());
        got = choice ? QStringList { QString::fromStdString(choice->abscissa),
            QString::fromStdString(choice->numerator), QString::fromStdString(choice->denominator),
            choice->log ? "ln" : "" }
                           .join('|')
                     : "error: " + QString::fromStdString(choice.error().message());
    } else {
        const auto params = parseBkgOption(text.toStdString());
        got = params ? QString::number(params->rbkg) + "|" + QString::number(params->kweight)
                     : "error: " + QString::fromStdString(params.error().message());
    }
    if (expected.startsWith("error: "))
        QVERIFY2(got.startsWith("error: ") && got.contains(expected.mid(7)), qPrintable(got));
    else
        QCOMPARE(got, expected);
}

void TestXafs::againstLarch_data()
{
    QTest::addColumn<QString>("measured");
    QTest::addColumn<QString>("reference");
    QTest::addColumn<double>("e0"); // given, or 0: found
    QTest::addColumn<double>("rbkg");
    QTest::addColumn<int>("kweight");

    QTest::newRow("Cu foil") << "cu_metal_rt.xdi"
                             << "cu_metal_rt.larch.chik" << 0.0 << 1.0 << 2;
    QTest::newRow("FeO") << "feo_rt1.xdi"
                         << "feo_rt1.larch.chik" << 0.0 << 1.0 << 2;
    QTest::newRow("Cu foil, E0 given between points")
        << "cu_metal_rt.xdi"
        << "cu_metal_rt.e0_8985.larch.chik" << 8985.0 << 1.0 << 2;
    QTest::newRow("FeO, Rbkg 1.3, k-weight 1")
        << "feo_rt1.xdi"
        << "feo_rt1.rbkg1.3_kw1.larch.chik" << 0.0 << 1.3 << 1;
}

void TestXafs::againstLarch()
{
    QFETCH(QString, measured);
    QFETCH(QString, reference);
    QFETCH(double, e0);
    QFETCH(double, rbkg);
    QFETCH(int, kweight);

    const auto spectrum
        = readMeasuredFile(dataPath("measured/" + measured).toStdString(), ReadOptions());
    QVERIFY2(spectrum.ok(), spectrum.error().message().c_str());
    BkgParams params;
    params.rbkg = rbkg;
    params.kweight = kweight;
    if (e0 > 0)
        params.e0 = e0;
    const auto bkg = removeBackground(spectrum->x, spectrum->y, params);
    QVERIFY2(bkg.ok(), bkg.error().message().c_str());
    const LarchChi larch = readLarch("measured/" + reference);

    QVERIFY2(std::abs(bkg->e0 - larch.e0) <= 0.5, qPrintable(QString::number(bkg->e0, 'f', 4)));
    QCOMPARE(bkg->e0Found, e0 == 0);
    QCOMPARE(bkg->nknots, larch.knots);
    QCOMPARE(bkg->k.size(), larch.k.size());
    for (std::size_t i = 0; i < larch.k.size(); ++i)
        QVERIFY(std::abs(bkg->k[i] - larch.k[i]) < 1e-9);
    // The goal is R <= 0.01; following Larch's every choice leaves rounding only.
    const double r = rFactor(bkg->k, bkg->chi, larch);
    QVERIFY2(r <= 1e-6, qPrintable(QString("R = %1").arg(r)));
}

void TestXafs::backgroundRefusals_data()
{
    QTest::addColumn<int>("cut"); // keep the points below E0 + cut eV (0: all)
    QTest::addColumn<double>("e0");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("error");

    QTest::newRow("too few points") << 0 << 0.0 << "first 8"
                                    << "too few points (8)";
    QTest::newRow("no edge") << 0 << 0.0 << "falling"
                             << "no edge found";
    QTest::newRow("20 eV above E0") << 20 << 0.0 << ""
                                    << "only 2.29 1/A of data above E0 = 8980.5 eV";
    QTest::newRow("E0 beyond the data") << 0 << 20000.0 << ""
                                        << "E0 = 20000 eV is outside the data";
    QTest::newRow("energies going back") << 0 << 0.0 << "swap"
                                         << "energies not increasing at point 101";
    QTest::newRow("k range shorter than 1") << 0 << 0.0 << "kmin 17"
                                            << "the spline's k range";
}

void TestXafs::backgroundRefusals()
{
    QFETCH(int, cut);
    QFETCH(double, e0);
    QFETCH(QString, change);
    QFETCH(QString, error);

    const auto spectrum
        = readMeasuredFile(dataPath("measured/cu_metal_rt.xdi").toStdString(), ReadOptions());
    QVERIFY(spectrum.ok());
    std::vector<double> energy = spectrum->x, mu = spectrum->y;
    BkgParams params;
    if (e0 > 0)
        params.e0 = e0;
    if (cut > 0) {
        while (energy.back() > 8980.5 + cut) {
            energy.pop_back();
            mu.pop_back();
        }
    }
    if (change == "first 8") {
        energy.resize(8);
        mu.resize(8);
    } else if (change == "falling") {
        for (std::size_t i = 0; i < mu.size(); ++i)
            mu[i] = -double(i);
    } else if (change == "swap") {
        std::swap(energy[99], energy[100]);
    } else if (change == "kmin 17") {
        params.kmin = 17;
    }
    const auto bkg = removeBackground(energy, mu, params);
    QVERIFY(!bkg.ok());
    const QString message = QString::fromStdString(bkg.error().message());
    QVERIFY2(message.contains(error), qPrintable(message));

    Spectrum named;
    named.x = energy;
    named.y = mu;
    const auto chi = deriveChi(named, "cu.xdi", params);
    QVERIFY(!chi.ok());
    QVERIFY(QString::fromStdString(chi.error().message()).startsWith("cu.xdi: "));
}

// The derived chi(k) file names its origin and settings, and reads back as chi(k).
void TestXafs::chiFile()
{
    const auto spectrum
        = readMeasuredFile(dataPath("measured/cu_metal_rt.xdi").toStdString(), ReadOptions());
    QVERIFY(spectrum.ok());
    const auto measured = deriveChi(spectrum.value(), "cu_metal_rt.xdi", BkgParams());
    QVERIFY2(measured.ok(), measured.error().message().c_str());
    const std::string text = chiFileText(measured.value());
    const QString header = QString::fromStdString(text.substr(0, text.find("# k chi")));
    for (const char *words : { "# chi(k) of cu_metal_rt.xdi (mutrans)", "e0 = 8980.5 eV (found)",
             "edge_step = 2.83723", "rbkg = 1,", "kweight = 2,", "knots = 12" })
        QVERIFY2(header.contains(words), qPrintable(header));

    const auto back = readMeasured(text, "cu.chik");
    QVERIFY2(back.ok(), back.error().message().c_str());
    QCOMPARE(int(back->kind), int(Spectrum::Kind::Chi));
    QCOMPARE(back->x.size(), measured->k.size());
    for (std::size_t i = 0; i < back->x.size(); ++i) {
        QVERIFY(std::abs(back->x[i] - 0.05 * double(i)) < 1e-12);
        QVERIFY(std::abs(back->y[i] - measured->chi[i])
            <= 1e-8 * std::max(1.0, std::abs(measured->chi[i])));
    }
    const auto again = deriveChi(back.value(), "cu.chik", BkgParams());
    QVERIFY(again.ok());
    QCOMPARE(again->k.size(), measured->k.size());
}

// A file far larger than any spectrum is refused before it is read.
void TestXafs::hugeFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath("huge.xmu"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(qint64(1) << 30)); // sparse: no disk is written
    file.close();
    const auto read = readMeasuredFile(file.fileName().toStdString(), ReadOptions());
    QVERIFY(!read.ok());
    QVERIFY2(QString::fromStdString(read.error().message())
                 .contains("1024 MiB is larger than any measured spectrum"),
        read.error().message().c_str());

    const auto missing = readMeasuredFile(dir.filePath("none.xdi").toStdString(), ReadOptions());
    QVERIFY(QString::fromStdString(missing.error().message())
                .endsWith("none.xdi: cannot read: no such file"));
}

QTEST_MAIN(TestXafs)
#include "tst_xafs.moc"
