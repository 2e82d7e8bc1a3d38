// Survey geometry: generated surveys of every shape, checked for their facts and, slice by slice,
// against the traces written. Each trace's samples encode its trace number, so a read shows
// which trace filled each position.

#include "SegyGeometry.h"
#include "SegyWriter.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>
#include <tuple>

namespace {

constexpr int kSamples = 6;

struct TraceKeys {
    qint64 il, xl, off, cdp;
};
using Survey = QVector<TraceKeys>;

float SampleValue(qint64 trace, int s)
{
    return float(trace * 10 + s + 1);
}

// Inlines and crosslines from the numbers given, offsets innermost unless `offsetsOuter`.
Survey Grid(const QVector<qint64>& ils, const QVector<qint64>& xls, bool crosslineOrder = false,
    const QVector<qint64>& offs = {0}, bool offsetsOuter = false)
{
    Survey bins;
    for (qint64 outer : crosslineOrder ? xls : ils)
        for (qint64 inner : crosslineOrder ? ils : xls)
            bins.append({crosslineOrder ? inner : outer, crosslineOrder ? outer : inner, 0, 0});
    Survey s;
    if (offsetsOuter) {
        for (qint64 off : offs)
            for (const TraceKeys& b : bins)
                s.append({b.il, b.xl, off, 0});
    } else {
        for (const TraceKeys& b : bins)
            for (qint64 off : offs)
                s.append({b.il, b.xl, off, 0});
    }
    return s;
}

QVector<qint64> Range(qint64 first, qint64 last, qint64 step = 1)
{
    QVector<qint64> v;
    for (qint64 x = first; step > 0 ? x <= last : x >= last; x += step)
        v.append(x);
    return v;
}

// Coordinates on a rotated grid, stored with a scalar of -10.
double GridX(qint64 il, qint64 xl)
{
    return 600000.5 + 12.5 * double(il) + 3.0 * double(xl);
}
double GridY(qint64 il, qint64 xl)
{
    return 6000000.0 - 3.0 * double(il) + 12.5 * double(xl);
}

QString WriteSurvey(const QTemporaryDir& dir, const QString& name, const Survey& survey,
    int ilByte = 189, int xlByte = 193)
{
    const QString path = dir.filePath(name + QStringLiteral(".sgy"));
    SegyWriteOptions options;
    options.format = 5;
    SegyWriter writer(path, options);
    writer.BinaryHeader().SetValue("sample_interval", 2000);
    if (!writer.Begin())
        return {};
    float samples[kSamples];
    for (int t = 0; t < survey.size(); ++t) {
        const TraceKeys& k = survey[t];
        SegyTraceHeader h;
        h.SetValue(*FindSegyTraceField(ilByte), k.il);
        h.SetValue(*FindSegyTraceField(xlByte), k.xl);
        h.SetValue("offset", k.off);
        h.SetValue("ensemble", k.cdp);
        h.SetValue("coordinate_scalar", -10);
        h.SetValue("cdp_x", std::llround(GridX(k.il, k.xl) * 10));
        h.SetValue("cdp_y", std::llround(GridY(k.il, k.xl) * 10));
        for (int s = 0; s < kSamples; ++s)
            samples[s] = SampleValue(t, s);
        if (!writer.WriteTrace(h, samples, kSamples))
            return {};
    }
    return writer.Finish() ? path : QString();
}

// The trace the geometry must show at each position: the first in file order.
// Without offsets in the grid, a trace's offset does not place it.
std::map<std::tuple<qint64, qint64, qint64>, qint64> FirstTraces(
    const Survey& s, bool line, bool offsets)
{
    std::map<std::tuple<qint64, qint64, qint64>, qint64> first;
    for (int t = 0; t < s.size(); ++t)
        first.emplace(
            std::make_tuple(line ? s[t].cdp : s[t].il, line ? 0 : s[t].xl, offsets ? s[t].off : 0),
            t);
    return first;
}

} // namespace

Q_DECLARE_METATYPE(Survey)

class TestSegyGeometry : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void surveys_data();
    void surveys();
    void gridMap();
    void badReads();
    void threadsGiveTheSameSlice();

private:
    QTemporaryDir dir;
};

void TestSegyGeometry::surveys_data()
{
    QTest::addColumn<Survey>("survey");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("sorting");
    // first, last, step, count of the inline and crossline (or CDP) axes
    QTest::addColumn<QVector<qint64>>("axes");
    QTest::addColumn<qint64>("missing");
    QTest::addColumn<qint64>("duplicates");
    QTest::addColumn<QVector<qint64>>("offsets");

    const Survey cube = Grid(Range(10, 13), Range(20, 24));
    QTest::newRow("inline-sorted cube") << cube << "cube"
                                        << "inline" << QVector<qint64>{10, 13, 1, 4, 20, 24, 1, 5}
                                        << 0LL << 0LL << QVector<qint64>{};
    QTest::newRow("crossline-sorted cube")
        << Grid(Range(10, 13), Range(20, 24), true) << "cube"
        << "crossline" << QVector<qint64>{10, 13, 1, 4, 20, 24, 1, 5} << 0LL << 0LL
        << QVector<qint64>{};

    Survey shuffled = cube;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    Survey noise = cube;
    for (int t = 0; t < noise.size(); ++t)
        noise[t].off = 1000 + 37 * t;
    QTest::newRow("cube with varying offsets, one trace a bin")
        << noise << "cube"
        << "inline" << QVector<qint64>{10, 13, 1, 4, 20, 24, 1, 5} << 0LL << 0LL
        << QVector<qint64>{};

    QTest::newRow("shuffled cube")
        << shuffled << "cube"
        << "none" << QVector<qint64>{10, 13, 1, 4, 20, 24, 1, 5} << 0LL << 0LL << QVector<qint64>{};

    // Inline 3 absent, and two more bins.
    Survey holes;
    for (const TraceKeys& k : Grid(Range(1, 5), Range(1, 4))) {
        if (k.il != 3 && !(k.il == 1 && k.xl == 2) && !(k.il == 5 && k.xl == 4))
            holes.append(k);
    }
    QTest::newRow("missing bins and a missing line")
        << holes << "cube"
        << "inline" << QVector<qint64>{1, 5, 1, 5, 1, 4, 1, 4} << 6LL << 0LL << QVector<qint64>{};

    // Each inline's crossline range starts one further on: a parallelogram in a 4 x 6 grid.
    Survey slanted;
    for (qint64 il = 0; il < 4; ++il)
        for (qint64 xl = il; xl < il + 3; ++xl)
            slanted.append({il, xl, 0, 0});
    QTest::newRow("parallelogram")
        << slanted << "cube"
        << "inline" << QVector<qint64>{0, 3, 1, 4, 0, 5, 1, 6} << 12LL << 0LL << QVector<qint64>{};

    QTest::newRow("descending numbers")
        << Grid(Range(20, 17, -1), Range(9, 5, -2)) << "cube"
        << "inline" << QVector<qint64>{17, 20, 1, 4, 5, 9, 2, 3} << 0LL << 0LL << QVector<qint64>{};
    QTest::newRow("steps of 4 and 3") << Grid(Range(100, 112, 4), Range(7, 13, 3)) << "cube"
                                      << "inline" << QVector<qint64>{100, 112, 4, 4, 7, 13, 3, 3}
                                      << 0LL << 0LL << QVector<qint64>{};

    Survey doubled = cube;
    doubled.append(cube[6]);
    doubled.insert(3, cube[2]);
    QTest::newRow("duplicates") << doubled << "cube"
                                << "inline" << QVector<qint64>{10, 13, 1, 4, 20, 24, 1, 5} << 0LL
                                << 2LL << QVector<qint64>{};

    QTest::newRow("pre-stack, offsets inside")
        << Grid(Range(1, 3), Range(1, 2), false, {300, 100, 200}) << "prestack"
        << "inline" << QVector<qint64>{1, 3, 1, 3, 1, 2, 1, 2} << 0LL << 0LL
        << QVector<qint64>{100, 200, 300};
    Survey outer = Grid(Range(1, 3), Range(1, 2), false, {100, 200, 300}, true);
    outer.removeAt(8); // one trace of the second offset cube
    QTest::newRow("pre-stack, offset cubes one after another")
        << outer << "prestack"
        << "inline" << QVector<qint64>{1, 3, 1, 3, 1, 2, 1, 2} << 0LL << 0LL
        << QVector<qint64>{100, 200, 300};

    Survey line;
    for (qint64 c = 0; c < 8; ++c)
        line.append({0, 0, 0, 1000 - 5 * c});
    line.removeAt(3);
    QTest::newRow("2D line") << line << "line"
                             << "inline" << QVector<qint64>{965, 1000, 5, 8} << 1LL << 0LL
                             << QVector<qint64>{};

    QTest::newRow("hostile numbers")
        << Survey{{0, 0, 0, 0}, {2147483647, 1, 0, 0}, {1, 2, 0, 0}} << "unstructured"
        << "none" << QVector<qint64>{} << 0LL << 0LL << QVector<qint64>{};
}

void TestSegyGeometry::surveys()
{
    QFETCH(Survey, survey);
    QFETCH(QString, kind);
    QFETCH(QString, sorting);
    QFETCH(QVector<qint64>, axes);
    QFETCH(qint64, missing);
    QFETCH(qint64, duplicates);
    QFETCH(QVector<qint64>, offsets);

    const QString path = WriteSurvey(dir, QString::fromLatin1(QTest::currentDataTag()), survey);
    QVERIFY(!path.isEmpty());
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));
    const auto g = SegyGeometry::Build(*file, &error);
    QVERIFY2(g, qPrintable(error));

    QCOMPARE(QString::fromLatin1(SegyGeometryKindName(g->Kind())), kind);
    QCOMPARE(QString::fromLatin1(SegyTraceSortingName(g->Sorting())), sorting);
    QCOMPARE(g->TraceCount(), qint64(survey.size()));
    QCOMPARE(g->DuplicateCount(), duplicates);
    QCOMPARE(g->Warnings().size(), int(duplicates > 0 || kind == "unstructured"));
    QCOMPARE(QVector<qint64>(g->Offsets().begin(), g->Offsets().end()), offsets);
    if (kind == "unstructured") {
        QCOMPARE(g->BinCount(), 0LL);
        QVERIFY(!g->ReadInline(0, nullptr, &error));
        QVERIFY(error.endsWith("an unstructured file has no inlines"));
        return;
    }
    const bool isLine = kind == "line";
    const SegyAxis& a = isLine ? g->Cdps() : g->Inlines();
    const SegyAxis b = isLine ? SegyAxis{0, 0, 1, 1} : g->Crosslines();
    QCOMPARE((QVector<qint64>{a.first, a.last, a.step, a.count}), axes.mid(0, 4));
    if (!isLine)
        QCOMPARE((QVector<qint64>{b.first, b.last, b.step, b.count}), axes.mid(4, 4));
    QCOMPARE(g->BinCount(), a.count * b.count);
    QCOMPARE(g->MissingBinCount(), missing);

    // Every position against the first trace written there, through each kind of read.
    const auto first = FirstTraces(survey, isLine, !offsets.isEmpty());
    const QVector<qint64> offs = offsets.isEmpty() ? QVector<qint64>{0} : offsets;
    auto expectTrace = [&](qint64 ia, qint64 ib, qint64 off) {
        auto it = first.find(std::make_tuple(a.At(ia), b.At(ib), off));
        return it == first.end() ? -1 : it->second;
    };
    auto check = [&](const float* v, qint64 trace, int s, const char* what) {
        const float want = trace < 0 ? -1.5f : SampleValue(trace, s);
        if (*v != want) {
            QTest::qFail(qPrintable(QStringLiteral("%1: %2 where trace %3 gives %4")
                                        .arg(QLatin1String(what))
                                        .arg(*v)
                                        .arg(trace)
                                        .arg(want)),
                __FILE__, __LINE__);
            return false;
        }
        return true;
    };
    SegySliceOptions options;
    options.fill = -1.5f;
    qint64 missingTraces = 0;
    for (qint64 off : offs) {
        options.offset = off;
        for (qint64 ia = 0; ia < a.count; ++ia)
            for (qint64 ib = 0; ib < b.count; ++ib) {
                const qint64 t = expectTrace(ia, ib, off);
                missingTraces += t < 0;
                QCOMPARE(g->TraceNumber(a.At(ia), b.At(ib), off), t);
            }
        if (isLine) {
            std::vector<float> v(std::size_t(a.count * kSamples));
            QVERIFY(g->ReadLine(v.data(), &error, options));
            for (qint64 ia = 0; ia < a.count; ++ia)
                if (!check(&v[std::size_t(ia * kSamples + 2)], expectTrace(ia, 0, off), 2, "line"))
                    return;
            continue;
        }
        const qint64 il = a.At(a.count / 2), xl = b.At(b.count - 1);
        std::vector<float> v(std::size_t(std::max(a.count, b.count) * kSamples));
        QVERIFY2(g->ReadInline(il, v.data(), &error, options), qPrintable(error));
        for (qint64 ib = 0; ib < b.count; ++ib)
            if (!check(&v[std::size_t(ib * kSamples + 5)], expectTrace(a.count / 2, ib, off), 5,
                    "inline"))
                return;
        QVERIFY2(g->ReadCrossline(xl, v.data(), &error, options), qPrintable(error));
        for (qint64 ia = 0; ia < a.count; ++ia)
            if (!check(&v[std::size_t(ia * kSamples)], expectTrace(ia, b.count - 1, off), 0,
                    "crossline"))
                return;
        std::vector<float> slice(std::size_t(a.count * b.count));
        QVERIFY2(g->ReadTimeSlice(3, slice.data(), &error, options), qPrintable(error));
        for (qint64 k = 0; k < a.count * b.count; ++k)
            if (!check(&slice[std::size_t(k)], expectTrace(k / b.count, k % b.count, off), 3,
                    "time slice"))
                return;
        if (kind == "prestack") {
            std::vector<float> gather(std::size_t(offs.size() * kSamples));
            QVERIFY2(g->ReadGather(il, b.first, gather.data(), &error, options), qPrintable(error));
            for (int io = 0; io < offs.size(); ++io)
                if (!check(&gather[std::size_t(io * kSamples + 1)],
                        expectTrace(a.count / 2, 0, offs[io]), 1, "gather"))
                    return;
        }
    }
    QCOMPARE(g->MissingTraceCount(), missingTraces);
}

void TestSegyGeometry::gridMap()
{
    Survey s = Grid(Range(100, 140, 4), Range(7, 31, 3));
    s.removeAt(5);
    const QString path = WriteSurvey(dir, QStringLiteral("map"), s);
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));
    const auto g = SegyGeometry::Build(*file, &error);
    QVERIFY2(g, qPrintable(error));
    const SegyGridMap& m = g->GridMap();
    QVERIFY(m.valid);
    QVERIFY2(m.maxResidual < 1e-6, qPrintable(QString::number(m.maxResidual)));
    QCOMPARE(m.x0, GridX(0, 0));
    QCOMPARE(m.xi, 12.5);
    QCOMPARE(m.yc, 12.5);
    QCOMPARE(m.yi, -3.0);
    qint64 il = 0, xl = 0;
    QVERIFY(g->NearestBin(GridX(116, 19) + 4, GridY(116, 19) - 4, &il, &xl));
    QCOMPARE(il, 116LL);
    QCOMPARE(xl, 19LL);
    QVERIFY(!g->NearestBin(GridX(160, 19), GridY(160, 19), &il, &xl));

    // Same keys at other bytes, a trace moved off the plane.
    Survey k = Grid(Range(1, 4), Range(1, 4));
    const QString other = WriteSurvey(dir, QStringLiteral("keys"), k, 9, 13);
    const auto f2 = SegyFile::Open(other, &error);
    QVERIFY2(f2, qPrintable(error));
    SegyGeometryOptions options;
    options.inlineField = QStringLiteral("9");
    options.crosslineField = QStringLiteral("13:4");
    const auto g2 = SegyGeometry::Build(*f2, &error, options);
    QVERIFY2(g2, qPrintable(error));
    QCOMPARE(g2->Kind(), SegyGeometryKind::Cube);
    QCOMPARE(g2->TraceNumber(3, 2), 9LL);
    SegyBinPosition p;
    QVERIFY(g2->Position(9, &p));
    QCOMPARE(p.inlineNumber, 3LL);
    QCOMPARE(p.crosslineNumber, 2LL);
}

void TestSegyGeometry::badReads()
{
    const QString path = WriteSurvey(dir, QStringLiteral("bad"), Grid(Range(1, 3), Range(1, 3)));
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));
    SegyGeometryOptions options;
    options.inlineField = QStringLiteral("nonsense");
    QVERIFY(!SegyGeometry::Build(*file, &error, options));
    QVERIFY(error.startsWith(path + ": no trace header field 'nonsense'"));
    options = {};
    options.progress = [](qint64 done, qint64) { return done < 1; };
    QVERIFY(!SegyGeometry::Build(*file, &error, options));
    QVERIFY(error.contains("cancelled"));

    const auto g = SegyGeometry::Build(*file, &error);
    QVERIFY(g);
    float guard[4 * kSamples];
    std::fill(std::begin(guard), std::end(guard), 42.f);
    QVERIFY(!g->ReadInline(4, guard, &error));
    QVERIFY(error.endsWith("no inline 4 in the grid"));
    QVERIFY(!g->ReadCrossline(0, guard, &error));
    QVERIFY(!g->ReadTimeSlice(kSamples, guard, &error));
    QVERIFY(!g->ReadTimeSlice(-1, guard, &error));
    QVERIFY(!g->ReadSubVolume(1, 2, 1, 2, 3, 3, guard, &error));
    QVERIFY(!g->ReadGather(1, 1, guard, &error));
    QVERIFY(error.endsWith("a post-stack cube has no gathers"));
    QVERIFY(!g->ReadLine(guard, &error));
    QVERIFY(std::all_of(std::begin(guard), std::end(guard), [](float v) { return v == 42.f; }));
}

void TestSegyGeometry::threadsGiveTheSameSlice()
{
    Survey s = Grid(Range(1, 40), Range(1, 50));
    std::shuffle(s.begin(), s.end(), std::mt19937(3));
    s.resize(1900);
    const QString path = WriteSurvey(dir, QStringLiteral("threads"), s);
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));
    const auto g = SegyGeometry::Build(*file, &error);
    QVERIFY(g);
    std::vector<float> one(40 * 50), two(40 * 50, 7.f), cube(20 * 50 * 4), cube3(20 * 50 * 4);
    SegySliceOptions options;
    QVERIFY(g->ReadTimeSlice(4, one.data(), &error, options));
    QVERIFY(g->ReadSubVolume(11, 30, 1, 50, 1, 5, cube.data(), &error, options));
    options.threads = 3;
    QVERIFY(g->ReadTimeSlice(4, two.data(), &error, options));
    QVERIFY(g->ReadSubVolume(11, 30, 1, 50, 1, 5, cube3.data(), &error, options));
    QVERIFY(std::memcmp(one.data(), two.data(), one.size() * sizeof(float)) == 0);
    QVERIFY(std::memcmp(cube.data(), cube3.data(), cube.size() * sizeof(float)) == 0);
    QCOMPARE(
        cube[std::size_t(((15 - 11) * 50 + 9) * 4 + 2)], SampleValue(g->TraceNumber(15, 10), 3));
}

QTEST_GUILESS_MAIN(TestSegyGeometry)
#include "test_segy_geometry.moc"
