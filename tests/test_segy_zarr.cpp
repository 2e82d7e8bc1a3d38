// Zarr stores of SEG-Y files: each kind of survey goes SEG-Y -> store -> SEG-Y and comes back
// byte for byte (the files are written in the store's order, with values the formats keep
// exactly); stores that are not the frame's are refused with the array and chunk named and no
// file written; a cancelled export leaves nothing; warnings reach the store. What xarray reads
// from a store is checked by the Dask job's test.

#include "SegyWriter.h"
#include "SegyZarr.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <tuple>
#include <vector>

namespace {

const SegyField& TraceField(int byte)
{
    return *FindSegyTraceField(byte);
}

// A position of a generated survey: inline, crossline, offset, CDP.
using Position = std::tuple<int, int, int, int>;

// Writes one trace per position, in the order given, with the position in the header fields
// 189, 193, 37 and 21, CDP coordinates with scalar -10 at 181/185, and samples that every format
// here keeps exactly: a trace at inline 14, crossline 104 is all zeros.
bool WriteSurvey(const QString& path, const std::vector<Position>& positions, int samples,
    int format = 1, SegyByteOrder order = SegyByteOrder::Big)
{
    SegyWriteOptions options;
    options.format = format;
    options.byteOrder = order;
    SegyWriter writer(path, options);
    writer.SetTextHeader({QStringLiteral("C 1 ZARR ROUND TRIP"), QStringLiteral("C 2 4 MS")});
    writer.BinaryHeader().SetValue(*FindSegyBinaryField(3217), 4000);
    if (!writer.Begin())
        return false;
    std::vector<float> values(static_cast<size_t>(samples));
    int sequence = 0;
    for (const auto& [il, xl, offset, cdp] : positions) {
        SegyTraceHeader header;
        header.SetValue(TraceField(1), ++sequence);
        header.SetValue(TraceField(21), cdp);
        header.SetValue(TraceField(37), offset);
        header.SetValue(TraceField(71), -10);
        header.SetValue(TraceField(181), 4500000 + 250 * xl);
        header.SetValue(TraceField(185), 67000000 + 250 * il);
        header.SetValue(TraceField(189), il);
        header.SetValue(TraceField(193), xl);
        for (int s = 0; s < samples; ++s) {
            values[size_t(s)] = il == 14 && xl == 104
                ? 0.0f
                : float(il * 1000 + xl * 10 + offset / 100) + float(s) * 0.5f - 7.25f;
        }
        if (!writer.WriteTrace(header, values.data(), samples))
            return false;
    }
    return writer.Finish();
}

std::vector<Position> Cube(const std::set<std::pair<int, int>>& missing)
{
    std::vector<Position> p;
    for (int il = 10; il <= 18; il += 2) {
        for (int xl = 100; xl <= 106; ++xl) {
            if (!missing.count({il, xl}))
                p.emplace_back(il, xl, 0, 0);
        }
    }
    return p;
}

std::vector<Position> Prestack()
{
    std::vector<Position> p;
    for (int il = 1; il <= 3; ++il) {
        for (int xl = 5; xl <= 8; ++xl) {
            for (int offset = 100; offset <= 300; offset += 100) {
                if (!(il == 2 && xl == 6 && offset == 200) && !(il == 3 && xl == 8))
                    p.emplace_back(il, xl, offset, 0);
            }
        }
    }
    return p;
}

std::vector<Position> Line()
{
    std::vector<Position> p;
    for (int cdp = 1; cdp <= 25; ++cdp) {
        if (cdp != 7)
            p.emplace_back(3, 4, 0, cdp);
    }
    return p;
}

std::vector<Position> LineOfOffsets()
{
    std::vector<Position> p;
    for (int cdp = 1; cdp <= 10; ++cdp) {
        for (int offset = 100; offset <= 300; offset += 100) {
            if (!(cdp == 4 && offset == 200))
                p.emplace_back(3, 4, offset, cdp);
        }
    }
    return p;
}

// No grid: inline and crossline numbers so scattered that their grid would be thousands of
// times larger than the traces.
std::vector<Position> Unstructured()
{
    std::vector<Position> p;
    for (int i = 0; i < 13; ++i)
        p.emplace_back(1 + 53 * i * i, 2 + 7 * i * i * i, 0, 0);
    return p;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

QJsonObject ReadJson(const QString& path)
{
    return QJsonDocument::fromJson(ReadAll(path)).object();
}

bool CopyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& info :
        QDir(from).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString target = to + QLatin1Char('/') + info.fileName();
        // Not QFile::copy, which waits for the disk after each file.
        if (info.isDir() ? !CopyFolder(info.filePath(), target)
                         : !WriteAll(target, ReadAll(info.filePath())))
            return false;
    }
    return true;
}

using StoreDamage = std::function<QByteArray(const QByteArray&)>;

} // namespace

Q_DECLARE_METATYPE(std::vector<Position>)
Q_DECLARE_METATYPE(StoreDamage)

class TestSegyZarr : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void badStore_data();
    void badStore();
    void cancelledExport();
    void warningsKept();
    void slicesAsTheGeometryReads_data();
    void slicesAsTheGeometryReads();

private:
    QString Path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString goodStore;
};

void TestSegyZarr::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString cube = Path(QStringLiteral("good.sgy"));
    QVERIFY(WriteSurvey(cube, Cube({{12, 103}}), 11));
    QString error;
    const std::unique_ptr<SegyFile> file = SegyFile::Open(cube, &error);
    QVERIFY2(file, qPrintable(error));
    goodStore = Path(QStringLiteral("good.zarr"));
    SegyZarrExportOptions options;
    // Chunks of 264 bytes: large enough for Blosc to compress rather than copy them.
    options.chunks = {2, 3, 11};
    QVERIFY2(ExportSegyZarr(*file, goodStore, &error, options), qPrintable(error));
}

void TestSegyZarr::roundTrip_data()
{
    QTest::addColumn<std::vector<Position>>("positions");
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("little");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("chunks");
    QTest::addColumn<QString>("compression");

    const std::vector<Position> holes = Cube({{12, 103}, {18, 100}, {18, 101}, {10, 106}});
    QTest::newRow("IBM cube, missing bins, edge chunks") << holes << 1 << false << "cube"
                                                         << "2,3,4"
                                                         << "lz4";
    QTest::newRow("little-endian IEEE cube, zstd, one chunk") << holes << 5 << true << "cube"
                                                              << ""
                                                              << "zstd";
    QTest::newRow("int16 cube, uncompressed") << Cube({}) << 3 << false << "cube"
                                              << "4,4,5"
                                              << "none";
    QTest::newRow("pre-stack, missing traces and a missing bin")
        << Prestack() << 1 << false << "prestack"
        << "2,3,2,4"
        << "lz4";
    QTest::newRow("2D line, a missing CDP") << Line() << 1 << false << "line"
                                            << "7,5"
                                            << "lz4";
    QTest::newRow("2D line of three offsets, one missing")
        << LineOfOffsets() << 1 << false << "line"
        << "3,2,4"
        << "lz4";
    QTest::newRow("unstructured") << Unstructured() << 5 << false << "unstructured"
                                  << "5,4"
                                  << "zstd";
}

void TestSegyZarr::roundTrip()
{
    QFETCH(std::vector<Position>, positions);
    QFETCH(int, format);
    QFETCH(bool, little);
    QFETCH(QString, kind);
    QFETCH(QString, chunks);
    QFETCH(QString, compression);

    const QString in = Path(QStringLiteral("in.sgy"));
    const QString store = Path(QStringLiteral("in.zarr"));
    const QString out = Path(QStringLiteral("out.sgy"));
    QVERIFY(WriteSurvey(
        in, positions, 11, format, little ? SegyByteOrder::Little : SegyByteOrder::Big));
    QString error;
    const std::unique_ptr<SegyFile> file = SegyFile::Open(in, &error);
    QVERIFY2(file, qPrintable(error));
    SegyZarrExportOptions options;
    for (const QString& size : chunks.split(QLatin1Char(','), Qt::SkipEmptyParts))
        options.chunks.push_back(size.toLongLong());
    QVERIFY(ParseZarrCompression(compression, &options.compression));
    options.threads = 2;
    QVERIFY2(ExportSegyZarr(*file, store, &error, options), qPrintable(error));

    const QJsonObject attributes = ReadJson(store + QStringLiteral("/.zattrs"));
    QCOMPARE(attributes.value(QStringLiteral("kind")).toString(), kind);
    QCOMPARE(attributes.value(QStringLiteral("traces")).toInt(), int(positions.size()));
    QCOMPARE(ReadJson(store + QStringLiteral("/amplitude/.zarray")).value("fill_value"),
        QJsonValue(QJsonValue::Null));

    QVERIFY2(ImportSegyZarr(store, out, &error), qPrintable(error));
    QVERIFY(ReadAll(out) == ReadAll(in));

    // Another format on the way back: the same samples as a conversion of the input gives.
    if (format == 1) {
        SegyZarrImportOptions back;
        back.format = 5;
        back.byteOrder = SegyByteOrder::Little;
        SegyWriteOptions convert;
        convert.format = 5;
        convert.byteOrder = SegyByteOrder::Little;
        QVERIFY2(ImportSegyZarr(store, out, &error, back), qPrintable(error));
        QVERIFY2(
            SegyCopy(*file, Path(QStringLiteral("copy.sgy")), convert, &error), qPrintable(error));
        QVERIFY(ReadAll(out) == ReadAll(Path(QStringLiteral("copy.sgy"))));
    }
    QVERIFY(QDir(store).removeRecursively());
}

void TestSegyZarr::badStore_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<StoreDamage>("damage");
    QTest::addColumn<QString>("message");

    using Damage = StoreDamage;
    const auto replace = [](const char* from, const char* to) -> Damage {
        return [=](const QByteArray& bytes) { return QByteArray(bytes).replace(from, to); };
    };
    const Damage gone = [](const QByteArray&) { return QByteArray(); };
    QTest::newRow("not a group") << ".zgroup" << gone << ": not a Zarr group";
    QTest::newRow("no amplitude") << "amplitude/.zarray" << gone << ": amplitude: missing";
    QTest::newRow("no trace headers")
        << "trace_headers/.zarray" << gone << ": trace_headers: missing";
    QTest::newRow("amplitude as float64")
        << "amplitude/.zarray" << replace("<f4", "<f8") << ": amplitude: type <f8";
    QTest::newRow("live of another shape")
        << "live/.zarray" << replace("7\n", "8\n") << ": live: shape (5, 8)";
    QTest::newRow("binary header of 401 bytes")
        << "binary_header/.zarray" << replace("400", "401") << ": binary_header: shape (401)";
    QTest::newRow("amplitude over other dimensions")
        << "amplitude/.zattrs" << replace("crossline", "offset")
        << ": amplitude: dimensions (inline, offset, sample)";
    QTest::newRow("missing chunk") << "live/1.2" << gone << ": live: chunk 1.2: missing";
    QTest::newRow("truncated chunk")
        << "amplitude/1.1.0" << Damage([](const QByteArray& b) { return b.left(20); })
        << ": amplitude: chunk 1.1.0: truncated";
    QTest::newRow("chunk that does not decompress")
        << "amplitude/2.0.0" << Damage([](const QByteArray& b) {
               QByteArray bad = b;
               for (int i = 16; i < bad.size(); ++i)
                   bad[i] = char(0xA5 ^ i);
               return bad;
           })
        << ": amplitude: chunk 2.0.0: does not decompress";
    QTest::newRow("trace headers chunk of another size")
        << "trace_headers/0.0.0" << Damage([](const QByteArray&) { return QByteArray(100, 'x'); })
        << ": trace_headers: chunk 0.0.0: ";
}

void TestSegyZarr::badStore()
{
    QFETCH(QString, file);
    QFETCH(StoreDamage, damage);
    QFETCH(QString, message);

    const QString store = Path(QStringLiteral("bad.zarr"));
    QDir(store).removeRecursively();
    QVERIFY(CopyFolder(goodStore, store));
    const QString damaged = store + QLatin1Char('/') + file;
    QVERIFY(QFile::exists(damaged));
    const QByteArray bytes = damage(ReadAll(damaged));
    if (bytes.isEmpty())
        QVERIFY(QFile::remove(damaged));
    else
        QVERIFY(WriteAll(damaged, bytes));
    // .zmetadata repeats the metadata; the import reads the files themselves.
    QFile::remove(store + QStringLiteral("/.zmetadata"));

    const QString out = Path(QStringLiteral("bad.sgy"));
    QFile::remove(out);
    QString error;
    QVERIFY(!ImportSegyZarr(store, out, &error));
    QVERIFY2(error.startsWith(store + message), qPrintable(error));
    QVERIFY(!QFile::exists(out));
    QCOMPARE(
        QDir(dir.path()).entryList({QStringLiteral(".bad.sgy*")}, QDir::AllEntries | QDir::Hidden),
        QStringList());
}

void TestSegyZarr::cancelledExport()
{
    QString error;
    const std::unique_ptr<SegyFile> file = SegyFile::Open(Path(QStringLiteral("good.sgy")), &error);
    QVERIFY2(file, qPrintable(error));
    SegyZarrExportOptions options;
    options.chunks = {1, 1, 4};
    qint64 last = 0;
    options.progress = [&last](qint64 done, qint64 total) {
        last = done;
        return done < total * 3 / 4; // after the header scan, which counts the first half
    };
    const QString store = Path(QStringLiteral("cancelled.zarr"));
    QVERIFY(!ExportSegyZarr(*file, store, &error, options));
    QVERIFY2(error.endsWith(QStringLiteral(": cancelled")), qPrintable(error));
    QVERIFY(last > 35);
    QVERIFY(!QFileInfo::exists(store));
    QCOMPARE(QDir(dir.path())
                 .entryList({QStringLiteral(".cancelled.zarr*")}, QDir::AllEntries | QDir::Hidden),
        QStringList());

    // Over an earlier store: the earlier one stays as it was.
    QVERIFY(!ExportSegyZarr(*file, goodStore, &error, options));
    QVERIFY(QFile::exists(goodStore + QStringLiteral("/amplitude/2.2.0")));
}

void TestSegyZarr::warningsKept()
{
    // A duplicate trace and a partial last trace.
    const QString in = Path(QStringLiteral("warned.sgy"));
    std::vector<Position> positions = Cube({});
    positions.push_back(positions.front());
    QVERIFY(WriteSurvey(in, positions, 11));
    QByteArray bytes = ReadAll(in);
    QVERIFY(WriteAll(in, bytes + QByteArray(100, '\0')));
    QString error;
    const std::unique_ptr<SegyFile> file = SegyFile::Open(in, &error);
    QVERIFY2(file, qPrintable(error));
    QCOMPARE(file->Warnings().size(), 1);
    const QString store = Path(QStringLiteral("warned.zarr"));
    QVERIFY2(ExportSegyZarr(*file, store, &error), qPrintable(error));
    const QJsonArray warnings
        = ReadJson(store + QStringLiteral("/.zattrs")).value(QStringLiteral("warnings")).toArray();
    QVERIFY(warnings.size() >= 2);
    QVERIFY(!warnings.at(0).toString().startsWith(in));
    QCOMPARE(ReadJson(store + QStringLiteral("/.zattrs")).value("duplicate_traces").toInt(), 1);
}

void TestSegyZarr::slicesAsTheGeometryReads_data()
{
    QTest::addColumn<std::vector<Position>>("positions");
    QTest::addColumn<QString>("chunks");
    QTest::addColumn<qint64>("offset");

    const qint64 first = std::numeric_limits<qint64>::min();
    QTest::newRow("cube with missing bins")
        << Cube({{12, 103}, {18, 100}, {10, 106}}) << "2,3,4" << first;
    QTest::newRow("pre-stack, first offset") << Prestack() << "2,3,2,4" << first;
    QTest::newRow("pre-stack, offset 200") << Prestack() << "2,2,2,3" << qint64(200);
}

// Every inline, crossline and time slice read from the store equals the geometry's read of the
// file, missing positions filled alike.
void TestSegyZarr::slicesAsTheGeometryReads()
{
    QFETCH(std::vector<Position>, positions);
    QFETCH(QString, chunks);
    QFETCH(qint64, offset);

    const QString in = Path(QStringLiteral("slices.sgy"));
    const QString storePath = Path(QStringLiteral("slices.zarr"));
    QDir(storePath).removeRecursively();
    QVERIFY(WriteSurvey(in, positions, 11));
    QString error;
    const std::unique_ptr<SegyFile> file = SegyFile::Open(in, &error);
    QVERIFY2(file, qPrintable(error));
    const std::unique_ptr<SegyGeometry> geometry = SegyGeometry::Build(*file, &error);
    QVERIFY2(geometry, qPrintable(error));
    SegyZarrExportOptions options;
    for (const QString& size : chunks.split(QLatin1Char(',')))
        options.chunks.push_back(size.toLongLong());
    QVERIFY2(ExportSegyZarr(*file, storePath, &error, options), qPrintable(error));
    const std::unique_ptr<SegyZarrStore> store = SegyZarrStore::Open(storePath, &error);
    QVERIFY2(store, qPrintable(error));
    QCOMPARE(store->Kind(), geometry->Kind());
    QCOMPARE(store->Offsets(), geometry->Offsets());
    QCOMPARE(store->SampleCount(), geometry->SampleCount());

    SegySliceOptions slice;
    slice.offset = offset;
    const SegyAxis& il = geometry->Inlines();
    const SegyAxis& xl = geometry->Crosslines();
    const int ns = geometry->SampleCount();
    const auto same = [&](std::size_t size, const std::function<bool(float*)>& fromStore,
                          const std::function<bool(float*)>& fromFile) {
        std::vector<float> a(size + 1, 7.0f);
        std::vector<float> b(size + 1, 7.0f);
        return fromStore(a.data()) && fromFile(b.data()) && a.back() == 7.0f
            && std::memcmp(a.data(), b.data(), size * sizeof(float)) == 0;
    };
    for (qint64 i = 0; i < il.count; ++i) {
        QVERIFY(same(
            std::size_t(xl.count * ns),
            [&](float* dst) { return store->ReadInline(il.At(i), dst, &error, slice); },
            [&](float* dst) { return geometry->ReadInline(il.At(i), dst, &error, slice); }));
    }
    for (qint64 j = 0; j < xl.count; ++j) {
        QVERIFY(same(
            std::size_t(il.count * ns),
            [&](float* dst) { return store->ReadCrossline(xl.At(j), dst, &error, slice); },
            [&](float* dst) { return geometry->ReadCrossline(xl.At(j), dst, &error, slice); }));
    }
    for (int s = 0; s < ns; ++s) {
        QVERIFY(same(
            std::size_t(il.count * xl.count),
            [&](float* dst) { return store->ReadTimeSlice(s, dst, &error, slice); },
            [&](float* dst) { return geometry->ReadTimeSlice(s, dst, &error, slice); }));
    }
    std::vector<float> line(std::size_t(xl.count * ns));
    QVERIFY(!store->ReadInline(il.last + il.step, line.data(), &error));
    QVERIFY2(error.startsWith(storePath + QStringLiteral(": no inline")), qPrintable(error));
    QVERIFY(!store->ReadTimeSlice(ns, line.data(), &error));
}

QTEST_GUILESS_MAIN(TestSegyZarr)
#include "test_segy_zarr.moc"
