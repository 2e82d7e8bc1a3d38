// What ORV Loupe shows inside a file, without a window: the FFT against a plain DFT, the
// spectrum of known sines, the amplitude histogram, the header tables of a generated file and
// the place of every trace of a cube.

#include "LpFrequencies.h"
#include "LpHeaderRows.h"

#include "SegyWriter.h"

#include <QtTest>

#include <cmath>
#include <complex>
#include <limits>
#include <random>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Inlines 10-12 by crosslines 5, 7, 9, 11 (12 traces in inline order, trace t at inline
// 10 + t / 4, crossline 5 + 2 (t % 4)); the offset is 100 t.
bool WriteCube(const QString& path)
{
    SegyWriter writer(path);
    writer.BinaryHeader().SetValue("sample_interval", 2000);
    writer.BinaryHeader().SetValue("fixed_length", 1);
    if (!writer.Begin())
        return false;
    std::vector<float> samples(8, 1.0f);
    for (int t = 0; t < 12; ++t) {
        SegyTraceHeader h;
        h.SetValue(*FindSegyTraceField(189), 10 + t / 4);
        h.SetValue(*FindSegyTraceField(193), 5 + 2 * (t % 4));
        h.SetValue(*FindSegyTraceField(37), 100 * t);
        if (!writer.WriteTrace(h, samples.data(), 8))
            return false;
    }
    return writer.Finish();
}

// A section of `columns` equal traces, each the sum of the sines (Hz, amplitude).
LpSection Sines(
    int columns, int rows, double intervalMs, const std::vector<std::pair<double, double>>& sines)
{
    LpSection s;
    s.columns = columns;
    s.rows = rows;
    s.values.resize(std::size_t(columns) * rows);
    for (int c = 0; c < columns; ++c) {
        for (int r = 0; r < rows; ++r) {
            double v = 0;
            for (const auto& [hz, amplitude] : sines)
                v += amplitude * std::sin(2 * M_PI * hz * r * intervalMs / 1000.0);
            s.values[std::size_t(c) * rows + r] = float(v);
        }
    }
    return s;
}

std::size_t PeakOf(const std::vector<double>& db)
{
    return std::size_t(std::max_element(db.begin(), db.end()) - db.begin());
}

} // namespace

class TestLoupeInspect : public QObject {
    Q_OBJECT

private slots:
    void fftAgainstDft();
    void spectrum_data();
    void spectrum();
    void histogram();
    void headerTables();
    void tracePlaces();
};

void TestLoupeInspect::fftAgainstDft()
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-1, 1);
    for (int n : {1, 2, 8, 64}) {
        std::vector<std::complex<double>> x(static_cast<std::size_t>(n));
        for (auto& v : x)
            v = {value(random), value(random)};
        std::vector<std::complex<double>> fft = x;
        QVERIFY(LpFft(&fft));
        for (int k = 0; k < n; ++k) {
            std::complex<double> sum;
            for (int j = 0; j < n; ++j)
                sum += x[std::size_t(j)] * std::polar(1.0, -2 * M_PI * k * j / n);
            QVERIFY2(std::abs(sum - fft[std::size_t(k)]) < 1e-9,
                qPrintable(QStringLiteral("n %1 k %2").arg(n).arg(k)));
        }
    }
    std::vector<std::complex<double>> odd(12, 1.0);
    QVERIFY(!LpFft(&odd));
    QCOMPARE(odd[0], std::complex<double>(1.0));
}

void TestLoupeInspect::spectrum_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<double>("intervalMs");
    QTest::addColumn<double>("hz");
    QTest::addColumn<double>("peakHz"); // the bin nearest hz
    QTest::addColumn<double>("secondDb"); // of a sine a tenth as strong at twice hz; 0: none

    // 256 samples of 1 ms: bins of 1000/256 Hz, 125 Hz is bin 32 exactly.
    QTest::newRow("125 Hz, 1 ms, on a bin") << 256 << 1.0 << 125.0 << 125.0 << 0.0;
    QTest::newRow("125 Hz and a tenth at 250 Hz: -20 dB") << 256 << 1.0 << 125.0 << 125.0 << -20.0;
    // 200 samples of 4 ms padded to 256: bins of 250/256 Hz; 25 Hz falls nearest bin 26.
    QTest::newRow("25 Hz, 4 ms, padded") << 200 << 4.0 << 25.0 << 26 * 250.0 / 256 << 0.0;
}

void TestLoupeInspect::spectrum()
{
    QFETCH(int, rows);
    QFETCH(double, intervalMs);
    QFETCH(double, hz);
    QFETCH(double, peakHz);
    QFETCH(double, secondDb);

    std::vector<std::pair<double, double>> sines = {{hz, 1.0}};
    if (secondDb != 0)
        sines.push_back({2 * hz, std::pow(10.0, secondDb / 20)});
    LpSection section = Sines(4, rows, intervalMs, sines);
    for (int r = 0; r < rows; ++r)
        section.values[std::size_t(rows) + r] = kNaN; // a missing trace, left out
    const LpSpectrum s = LpAverageSpectrum(section, -5, 10, 0, rows, intervalMs);
    const int n = LpFftSize(rows);
    QCOMPARE(int(s.hz.size()), n / 2 + 1);
    QCOMPARE(s.traces, 3);
    QCOMPARE(s.hz.back(), 500.0 / intervalMs); // Nyquist
    const std::size_t peak = PeakOf(s.db);
    QVERIFY2(std::abs(s.hz[peak] - peakHz) < 1e-9, qPrintable(QString::number(s.hz[peak])));
    QCOMPARE(s.db[peak], 0.0);
    if (secondDb != 0) {
        const std::size_t second = std::size_t(std::lround(2 * hz * n * intervalMs / 1000));
        QVERIFY2(
            std::abs(s.db[second] - secondDb) < 0.01, qPrintable(QString::number(s.db[second])));
    }
    if (rows == n && secondDb == 0) {
        // On a bin, nothing leaks: every other bin is far down.
        for (std::size_t k = 0; k < s.db.size(); ++k)
            QVERIFY(k == peak || s.db[k] < -100);
    }
    // A time slice has no spectrum; nor has a view of missing traces only.
    section.rowsAreSamples = false;
    QVERIFY(LpAverageSpectrum(section, 0, 4, 0, rows, intervalMs).hz.empty());
    section.rowsAreSamples = true;
    QVERIFY(LpAverageSpectrum(section, 1, 2, 0, rows, intervalMs).hz.empty());
}

void TestLoupeInspect::histogram()
{
    // Two columns of 5 rows, column by column; the view holds rows 1-4 of both.
    LpScaled scaled;
    scaled.columns = 2;
    scaled.rows = 5;
    scaled.values = {99, -1.0f, -0.5f, 0.0f, 0.99f, 99, 1.0f, -1.5f, kNaN, 0.25f};
    const LpHistogram h = LpAmplitudeHistogram(scaled, 0, 2, 1, 5, 1.0, 4);
    QCOMPARE(h.low, -1.0);
    QCOMPARE(h.high, 1.0);
    QCOMPARE(h.BinWidth(), 0.5);
    // Bins [-1, -0.5) [-0.5, 0) [0, 0.5) [0.5, 1): -1 | -0.5 | 0, 0.25 | 0.99; 1 above,
    // -1.5 below, NaN nowhere, the 99s out of view.
    QCOMPARE(h.counts, (std::vector<qint64>{1, 1, 2, 1}));
    QCOMPARE(h.above, 1);
    QCOMPARE(h.below, 1);
    QVERIFY(LpAmplitudeHistogram(scaled, 0, 2, 0, 5, 0.0, 4).counts.empty());
}

void TestLoupeInspect::headerTables()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cube.sgy"));
    QVERIFY(WriteCube(path));
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));

    const std::vector<LpHeaderRow> binary = LpBinaryHeaderRows(file->BinaryHeader());
    int count = 0;
    SegyBinaryFields(&count);
    QCOMPARE(int(binary.size()), count);
    // Non-zero first: the sample interval (3217), samples per trace (3221), the format
    // (3225), ... then the zeros, each group by byte.
    const auto at = [&](const char* name) {
        return std::find_if(binary.begin(), binary.end(),
            [&](const LpHeaderRow& r) { return r.name == QLatin1String(name); });
    };
    QCOMPARE(at("sample_interval")->value, QStringLiteral("2000"));
    QCOMPARE(at("sample_interval")->byte, 3217);
    QCOMPARE(at("samples_per_trace")->value, QStringLiteral("8"));
    QVERIFY(at("sample_interval") < at("samples_per_trace"));
    const auto firstZero
        = std::find_if(binary.begin(), binary.end(), [](const LpHeaderRow& r) { return r.zero; });
    QVERIFY(at("samples_per_trace") < firstZero);
    QVERIFY(std::all_of(firstZero, binary.end(), [](const LpHeaderRow& r) { return r.zero; }));
    QVERIFY(firstZero->byte < (firstZero + 1)->byte);

    SegyTraceHeader header;
    QVERIFY(file->ReadTraceHeader(6, &header));
    const std::vector<LpHeaderRow> trace = LpTraceHeaderRows(header);
    SegyTraceFields(&count);
    QCOMPARE(int(trace.size()), count);
    const auto field = [&](int byte) {
        return std::find_if(trace.begin(), trace.end(), [&](const LpHeaderRow& r) {
            return r.byte == byte;
        })->value;
    };
    QCOMPARE(field(189), QStringLiteral("11"));
    QCOMPARE(field(193), QStringLiteral("9"));
    QCOMPARE(field(37), QStringLiteral("600"));

    // Bytes 189-192 hold inline 11, big-endian: the 12th line starts at byte 177.
    const QStringList hex = LpHexDump(header.Bytes(), 240).split(QLatin1Char('\n'));
    QCOMPARE(hex.size(), 16); // 15 lines and the empty rest
    QCOMPARE(hex[11].left(4), QStringLiteral("177 "));
    QCOMPARE(hex[11].mid(4 + 12 * 3, 12), QStringLiteral(" 00 00 00 0b"));
}

void TestLoupeInspect::tracePlaces()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cube.sgy"));
    QVERIFY(WriteCube(path));
    QString error;
    QStringList warnings;
    const auto survey = LpSurvey::Open(path, &error, &warnings);
    QVERIFY2(survey, qPrintable(error));
    for (qint64 t = 0; t < 12; ++t) {
        LpTracePlace p;
        QVERIFY(LpLocateTrace(*survey, t, LpView::Inline, &p));
        QCOMPARE(p.view, LpView::Inline);
        QCOMPARE(p.index, int(t / 4));
        QCOMPARE(p.column, int(t % 4));
        QVERIFY(LpLocateTrace(*survey, t, LpView::Crossline, &p));
        QCOMPARE(p.view, LpView::Crossline);
        QCOMPARE(p.index, int(t % 4));
        QCOMPARE(p.column, int(t / 4));
        // The header along the inline holding it gives its offset in its column.
        const std::vector<double> offsets
            = LpHeaderAlongSection(*survey, LpView::Inline, p.column, 4, *FindSegyTraceField(37));
        QCOMPARE(offsets[std::size_t(t % 4)], 100.0 * t);
    }
    LpTracePlace p;
    QVERIFY(!LpLocateTrace(*survey, 12, LpView::Inline, &p));
    QVERIFY(!LpLocateTrace(*survey, -1, LpView::Inline, &p));
    QVERIFY(
        LpHeaderAlongSection(*survey, LpView::TimeSlice, 0, 3, *FindSegyTraceField(37)).empty());
}

QTEST_GUILESS_MAIN(TestLoupeInspect)
#include "test_loupe_headers.moc"
