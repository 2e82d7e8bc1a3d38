// ORV Loupe's section model without a window: colours and clipping against pixels worked out by
// hand, AGC on known traces, the file-wide percentile clip, and what the cursor reads on a
// small cube whose headers and samples are known.

#include "LpRender.h"
#include "LpSection.h"
#include "LpSectionModel.h"
#include "LpSurvey.h"

#include "SegyWriter.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

LpSection Grid(int columns, int rows, const std::vector<float>& values)
{
    LpSection s;
    s.columns = columns;
    s.rows = rows;
    s.values = values;
    return s;
}

QImage Draw(const LpSection& section, const LpDisplay& display, float clip, const QSize& size,
    const LpViewport& viewport)
{
    LpScaled scaled;
    LpScale(section, display, clip, 0, &scaled);
    LpRenderStyle style;
    style.axes = false;
    return LpRenderImage(
        size, section, scaled, display.mode, LpMakeColorTable(display.colorMap), viewport, style);
}

// Cube of inlines 1000, 1002, 1004 by crosslines 20-23, 10 samples of 4 ms from 100 ms: sample s
// of trace t (file order, from 0) is 10 t + s. CDP X and Y are 123456 + t and 654321 in units of
// 0.01 (scalar -100), the offset 250. `skip` is a trace left out (-1: none).
bool WriteCube(const QString& path, qint64 skip)
{
    SegyWriteOptions options;
    options.format = 5;
    SegyWriter writer(path, options);
    writer.BinaryHeader().SetValue("sample_interval", 4000);
    writer.BinaryHeader().SetValue("fixed_length", 1);
    if (!writer.Begin())
        return false;
    std::vector<float> samples(10);
    for (qint64 t = 0; t < 12; ++t) {
        if (t == skip)
            continue;
        SegyTraceHeader h;
        h.SetValue(*FindSegyTraceField(189), 1000 + 2 * (t / 4));
        h.SetValue(*FindSegyTraceField(193), 20 + t % 4);
        h.SetValue(*FindSegyTraceField(37), 250);
        h.SetValue(*FindSegyTraceField(71), -100);
        h.SetValue(*FindSegyTraceField(181), 123456 + t);
        h.SetValue(*FindSegyTraceField(185), 654321);
        h.SetValue(*FindSegyTraceField(109), 100);
        for (int s = 0; s < 10; ++s)
            samples[std::size_t(s)] = float(10 * t + s);
        if (!writer.WriteTrace(h, samples.data(), 10))
            return false;
    }
    return writer.Finish();
}

} // namespace

class TestLoupeSection : public QObject {
    Q_OBJECT

private slots:
    void colors_data();
    void colors();
    void layoutAndZoom();
    void wiggleFill_data();
    void wiggleFill();
    void agc_data();
    void agc();
    void percentile_data();
    void percentile();
    void readout_data();
    void readout();
    void timeSlicePaging();
    void openInTwoSteps();
    void gathers();
    void badInput_data();
    void badInput();

private:
    QTemporaryDir dir;
};

void TestLoupeSection::colors_data()
{
    QTest::addColumn<int>("map");
    QTest::addColumn<float>("value");
    QTest::addColumn<float>("clip");
    QTest::addColumn<double>("gain");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<QRgb>("expected");

    const int grey = int(LpColorMapKind::Grey);
    const int rwb = int(LpColorMapKind::RedWhiteBlue);
    const int viridis = int(LpColorMapKind::Viridis);
    // Index round(127.5 * (value / clip + 1)); grey index k is (k, k, k).
    QTest::newRow("grey 0 -> 128") << grey << 0.0f << 1.0f << 1.0 << false << qRgb(128, 128, 128);
    QTest::newRow("grey +clip -> white")
        << grey << 3.0f << 3.0f << 1.0 << false << qRgb(255, 255, 255);
    QTest::newRow("grey -clip -> black") << grey << -3.0f << 3.0f << 1.0 << false << qRgb(0, 0, 0);
    QTest::newRow("grey 5 x clip saturates")
        << grey << 5.0f << 1.0f << 1.0 << false << qRgb(255, 255, 255);
    QTest::newRow("grey clip / 2 -> 191.25 -> 191")
        << grey << 0.5f << 1.0f << 1.0 << false << qRgb(191, 191, 191);
    QTest::newRow("grey -clip / 16 -> 119.53 -> 120")
        << grey << -0.25f << 4.0f << 1.0 << false << qRgb(120, 120, 120);
    QTest::newRow("gain 2: 0.25 shows as 0.5")
        << grey << 0.25f << 1.0f << 2.0 << false << qRgb(191, 191, 191);
    QTest::newRow("reverse: 0.5 shows as -0.5 -> 63.75 -> 64")
        << grey << 0.5f << 1.0f << 1.0 << true << qRgb(64, 64, 64);
    QTest::newRow("clip 0: every value as zero")
        << grey << 3.0f << 0.0f << 1.0 << false << qRgb(128, 128, 128);
    QTest::newRow("clip NaN: every value as zero")
        << grey << -3.0f << kNaN << 1.0 << false << qRgb(128, 128, 128);
    QTest::newRow("+inf -> white") << grey << kInf << 1.0f << 1.0 << false << qRgb(255, 255, 255);
    QTest::newRow("-inf -> black") << grey << -kInf << 1.0f << 1.0 << false << qRgb(0, 0, 0);
    QTest::newRow("NaN -> background")
        << grey << kNaN << 1.0f << 1.0 << false << qRgb(0xD8, 0xD8, 0xD8);
    QTest::newRow("red-white-blue -clip -> red")
        << rwb << -1.0f << 1.0f << 1.0 << false << qRgb(255, 0, 0);
    // Index 128: 255 x 127 / 127.5 = 254.0 of red and green.
    QTest::newRow("red-white-blue 0 -> 254 254 255")
        << rwb << 0.0f << 1.0f << 1.0 << false << qRgb(254, 254, 255);
    QTest::newRow("red-white-blue +clip -> blue")
        << rwb << 1.0f << 1.0f << 1.0 << false << qRgb(0, 0, 255);
    QTest::newRow("viridis -clip -> 440154")
        << viridis << -2.0f << 2.0f << 1.0 << false << qRgb(0x44, 0x01, 0x54);
    QTest::newRow("viridis +clip -> FDE725")
        << viridis << 2.0f << 2.0f << 1.0 << false << qRgb(0xFD, 0xE7, 0x25);
}

void TestLoupeSection::colors()
{
    QFETCH(int, map);
    QFETCH(float, value);
    QFETCH(float, clip);
    QFETCH(double, gain);
    QFETCH(bool, reverse);
    QFETCH(QRgb, expected);

    LpDisplay display;
    display.colorMap = LpColorMapKind(map);
    display.gain = gain;
    display.reversePolarity = reverse;
    const LpSection section = Grid(1, 1, {value});
    const QImage image = Draw(section, display, clip, QSize(3, 3), LpFitViewport(section));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x)
            QCOMPARE(QColor(image.pixel(x, y)), QColor(expected));
    }
}

// Column 0 is drawn on the left, row 0 at the top; a zoomed viewport shows its part only, and
// what lies outside the section is background.
void TestLoupeSection::layoutAndZoom()
{
    // 2 columns x 3 rows, column by column, clip 1: -1 0 1 | 1 0.5 -1.
    const LpSection section = Grid(2, 3, {-1, 0, 1, 1, 0.5f, -1});
    const LpDisplay display;
    const QImage whole = Draw(section, display, 1, QSize(2, 3), LpFitViewport(section));
    const int expected[3][2] = {{0, 255}, {128, 191}, {255, 0}};
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 2; ++x)
            QCOMPARE(qGray(whole.pixel(x, y)), expected[y][x]);
    }
    // Columns 1 to 3 and rows 1 to 2 into 4 x 2 pixels: column 1 in pixels 0-1, nothing in 2-3.
    const QImage zoomed = Draw(section, display, 1, QSize(4, 2), {1, 3, 1, 2});
    for (int x = 0; x < 4; ++x) {
        const QRgb want = x < 2 ? qRgb(191, 191, 191) : qRgb(0xD8, 0xD8, 0xD8);
        QCOMPARE(QColor(zoomed.pixel(x, 0)), QColor(want));
        QCOMPARE(QColor(zoomed.pixel(x, 1)), QColor(want));
    }
}

void TestLoupeSection::wiggleFill_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("firstInk");
    QTest::addColumn<int>("lastInk");

    // One trace across 40 pixels: baseline at pixel centre 19.5 (drawn at 20), a sample at
    // the clip deflects 40 pixels; the positive lobe is filled from the baseline.
    QTest::newRow("clip / 4: 19.5 + 10 -> 20 to 30") << 1.0f << 20 << 30;
    QTest::newRow("clip / 2: 19.5 + 20 -> 20 to 39") << 2.0f << 20 << 39;
    QTest::newRow("3 x clip: held at one spacing") << 12.0f << 20 << 39;
    QTest::newRow("clip / -4: line at 9.5 -> 10, no fill") << -1.0f << 10 << 10;
}

void TestLoupeSection::wiggleFill()
{
    QFETCH(float, value);
    QFETCH(int, firstInk);
    QFETCH(int, lastInk);

    QCOMPARE(LpWiggleStep(20, 4), 1);
    QCOMPARE(LpWiggleStep(3.2, 4), 2);
    QCOMPARE(LpWiggleStep(0.5, 4), 8);

    LpDisplay display;
    display.mode = LpDisplayMode::Wiggle;
    const LpSection section = Grid(1, 2, {value, value});
    const QImage image = Draw(section, display, 4, QSize(40, 2), LpFitViewport(section));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 40; ++x) {
            const bool ink = x >= firstInk && x <= lastInk;
            QVERIFY2(QColor(image.pixel(x, y)) == (ink ? QColor(Qt::black) : QColor(Qt::white)),
                qPrintable(QStringLiteral("pixel %1, %2").arg(x).arg(y)));
        }
    }
}

void TestLoupeSection::agc_data()
{
    QTest::addColumn<std::vector<float>>("trace");
    QTest::addColumn<int>("window");
    QTest::addColumn<std::vector<float>>("expected");

    QTest::newRow("constant 2, window 5 -> 1")
        << std::vector<float>(6, 2.0f) << 5 << std::vector<float>(6, 1.0f);
    QTest::newRow("alternating 3, window 4 -> 1")
        << std::vector<float>{3, -3, 3, -3, 3} << 4 << std::vector<float>{1, -1, 1, -1, 1};
    // Windows of 3 around each sample: at the step, 1 / sqrt((1 + 1 + 100) / 3) and
    // 10 / sqrt((1 + 100 + 100) / 3); at the ends two samples only.
    QTest::newRow("step 1 to 10, window 3")
        << std::vector<float>{1, 1, 1, 1, 10, 10, 10, 10} << 3
        << std::vector<float>{
               1, 1, 1, float(1 / std::sqrt(34.0)), float(10 / std::sqrt(67.0)), 1, 1, 1};
    QTest::newRow("silence stays zero")
        << std::vector<float>(4, 0.0f) << 3 << std::vector<float>(4, 0.0f);
    QTest::newRow("NaN counts as zero and stays") << std::vector<float>{2, kNaN,
        2} << 3 << std::vector<float>{float(2 / std::sqrt(2.0)), kNaN, float(2 / std::sqrt(2.0))};
    QTest::newRow("window 1 copies") << std::vector<float>{5, -7} << 1 << std::vector<float>{5, -7};
}

void TestLoupeSection::agc()
{
    QFETCH(std::vector<float>, trace);
    QFETCH(int, window);
    QFETCH(std::vector<float>, expected);

    const float guard = -12345.0f;
    std::vector<float> out(trace.size() + 2, guard);
    LpApplyAgc(trace.data(), out.data() + 1, int(trace.size()), window);
    QCOMPARE(out.front(), guard);
    QCOMPARE(out.back(), guard);
    for (std::size_t i = 0; i < trace.size(); ++i) {
        const float got = out[i + 1];
        if (std::isnan(expected[i]))
            QVERIFY(std::isnan(got));
        else
            QVERIFY2(std::fabs(got - expected[i]) < 1e-5f,
                qPrintable(
                    QStringLiteral("sample %1: %2, not %3").arg(i).arg(got).arg(expected[i])));
    }
    // In place gives the same.
    std::vector<float> inPlace = trace;
    LpApplyAgc(inPlace.data(), inPlace.data(), int(inPlace.size()), window);
    for (std::size_t i = 0; i < trace.size(); ++i)
        QVERIFY(inPlace[i] == out[i + 1] || (std::isnan(inPlace[i]) && std::isnan(out[i + 1])));
}

void TestLoupeSection::percentile_data()
{
    QTest::addColumn<double>("percentile");
    QTest::addColumn<qint64>("maxValues");
    QTest::addColumn<double>("expected");
    QTest::addColumn<double>("tolerance");

    // |amplitudes| 1 to 10000, shuffled over 100 traces of 100 samples, among NaN and
    // infinite samples that do not count: the value at index floor(p / 100 x 9999).
    QTest::newRow("p99 of all -> 9900") << 99.0 << qint64(1 << 20) << 9900.0 << 0.0;
    QTest::newRow("p50 of all -> 5000") << 50.0 << qint64(1 << 20) << 5000.0 << 0.0;
    QTest::newRow("p100 of all -> 10000") << 100.0 << qint64(1 << 20) << 10000.0 << 0.0;
    QTest::newRow("p0 of all -> 1") << 0.0 << qint64(1 << 20) << 1.0 << 0.0;
    QTest::newRow("p99 of 20 traces spread -> 9900 within 3%")
        << 99.0 << qint64(2020) << 9900.0 << 300.0;
}

void TestLoupeSection::percentile()
{
    QFETCH(double, percentile);
    QFETCH(qint64, maxValues);
    QFETCH(double, expected);
    QFETCH(double, tolerance);

    const QString path = dir.filePath(QStringLiteral("percentile.sgy"));
    if (!QFile::exists(path)) {
        std::vector<float> all(10000);
        for (int i = 0; i < 10000; ++i)
            all[std::size_t(i)] = float(i % 2 ? -(i + 1) : i + 1);
        std::shuffle(all.begin(), all.end(), std::mt19937(17));
        SegyWriteOptions options;
        options.format = 5;
        SegyWriter writer(path, options);
        writer.BinaryHeader().SetValue("sample_interval", 2000);
        QVERIFY(writer.Begin());
        SegyTraceHeader h;
        std::vector<float> trace(101);
        for (int t = 0; t < 100; ++t) {
            std::copy(all.begin() + t * 100, all.begin() + t * 100 + 100, trace.begin());
            trace[100] = t % 3 == 0 ? kNaN : (t % 3 == 1 ? kInf : -kInf);
            QVERIFY(writer.WriteTrace(h, trace.data(), 101));
        }
        QVERIFY(writer.Finish());
    }
    QString error;
    const auto file = SegyFile::Open(path, &error);
    QVERIFY2(file, qPrintable(error));
    const float clip = LpEstimateClip(*file, percentile, 0, maxValues);
    QVERIFY2(std::fabs(clip - expected) <= tolerance, qPrintable(QString::number(clip)));
}

void TestLoupeSection::readout_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<qint64>("skip");
    QTest::addColumn<qint64>("trace");
    QTest::addColumn<qint64>("inlineNumber");
    QTest::addColumn<qint64>("crosslineNumber");
    QTest::addColumn<double>("cdpX");
    QTest::addColumn<double>("time");
    QTest::addColumn<float>("amplitude");

    const int il = int(LpView::Inline);
    const int xl = int(LpView::Crossline);
    const int slice = int(LpView::TimeSlice);
    // Inline 1002 (index 1), crossline 22 (column 2): trace 4 + 2 = 6 from 0, shown as 7;
    // sample 3 at 100 + 3 x 4 ms holds 10 x 6 + 3.
    QTest::newRow("inline 1002 crossline 22 sample 3")
        << il << 1 << 2 << 3 << qint64(-1) << qint64(7) << qint64(1002) << qint64(22) << 1234.62
        << 112.0 << 63.0f;
    // Crossline 21 (index 1), inline 1004 (column 2): trace 9, sample 9.
    QTest::newRow("crossline 21 inline 1004 sample 9")
        << xl << 1 << 2 << 9 << qint64(-1) << qint64(10) << qint64(1004) << qint64(21) << 1234.65
        << 136.0 << 99.0f;
    // Time slice of sample 5 (120 ms): columns are inlines, rows crosslines.
    QTest::newRow("time slice 120 ms inline 1004 crossline 21")
        << slice << 5 << 2 << 1 << qint64(-1) << qint64(10) << qint64(1004) << qint64(21) << 1234.65
        << 120.0 << 95.0f;
    QTest::newRow("empty bin: no trace, no amplitude")
        << il << 1 << 2 << 3 << qint64(6) << qint64(-1) << qint64(0) << qint64(0) << 0.0 << 112.0
        << kNaN;
}

void TestLoupeSection::readout()
{
    QFETCH(int, view);
    QFETCH(int, index);
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(qint64, skip);
    QFETCH(qint64, trace);
    QFETCH(qint64, inlineNumber);
    QFETCH(qint64, crosslineNumber);
    QFETCH(double, cdpX);
    QFETCH(double, time);
    QFETCH(float, amplitude);

    const QString path = dir.filePath(QStringLiteral("cube%1.sgy").arg(skip));
    QVERIFY(WriteCube(path, skip));
    QString error;
    QStringList warnings;
    const auto survey = LpSurvey::Open(path, &error, &warnings);
    QVERIFY2(survey, qPrintable(error));
    QVERIFY(survey->HasView(LpView(view)));

    LpSectionModel model;
    model.SetSurvey(survey.get());
    QVERIFY2(model.Show(LpView(view), index, &error), qPrintable(error));
    const LpReadout r = survey->Readout(LpView(view), index, model.Section(), column, row);
    QVERIFY(r.valid);
    QCOMPARE(r.trace, trace);
    QCOMPARE(r.time, time);
    if (std::isnan(amplitude)) {
        QVERIFY(std::isnan(r.amplitude));
        return;
    }
    QCOMPARE(r.amplitude, amplitude);
    QCOMPARE(r.inlineNumber, inlineNumber);
    QCOMPARE(r.crosslineNumber, crosslineNumber);
    QCOMPARE(r.offset, qint64(250));
    QVERIFY(std::fabs(r.cdpX - cdpX) < 1e-9);
    QVERIFY(std::fabs(r.cdpY - 6543.21) < 1e-9);
    QVERIFY(
        !survey->Readout(LpView(view), index, model.Section(), model.Section().columns, 0).valid);
}

// Time slices paged down, up and reached by jumps hold the samples of their time: sample s of
// the trace at inline index a, crossline index b is 10 (4 a + b) + s.
void TestLoupeSection::timeSlicePaging()
{
    const QString path = dir.filePath(QStringLiteral("paging.sgy"));
    QVERIFY(WriteCube(path, -1));
    QString error;
    QStringList warnings;
    const auto survey = LpSurvey::Open(path, &error, &warnings);
    QVERIFY2(survey, qPrintable(error));
    const std::vector<int> order
        = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 7, 3, 4, 9, 8, 2};
    LpSection section;
    for (int s : order) {
        QVERIFY2(survey->Read(LpView::TimeSlice, s, &section, &error), qPrintable(error));
        QCOMPARE(section.columns, 3);
        QCOMPARE(section.rows, 4);
        for (int a = 0; a < 3; ++a) {
            for (int b = 0; b < 4; ++b)
                QCOMPARE(section.At(a, b), float(10 * (4 * a + b) + s));
        }
    }

    // AGC has no window across a time slice: the slice keeps the clip of the plain amplitudes.
    LpSectionModel model;
    model.SetSurvey(survey.get());
    LpDisplay display;
    model.SetDisplay(display);
    QVERIFY2(model.Show(LpView::TimeSlice, 5, &error), qPrintable(error));
    const float plain = model.Clip();
    display.agc = true;
    model.SetDisplay(display);
    QCOMPARE(model.Clip(), plain);
    QVERIFY2(model.Show(LpView::Inline, 0, &error), qPrintable(error));
    QVERIFY(model.Clip() != plain);
}

// Before its headers are indexed a file offers its first inline, the traces at its start; a
// cancelled index leaves it so; the index opens every line.
void TestLoupeSection::openInTwoSteps()
{
    const QString path = dir.filePath(QStringLiteral("steps.sgy"));
    QVERIFY(WriteCube(path, -1));
    QString error;
    QStringList warnings;
    const auto survey = LpSurvey::OpenFile(path, &error, &warnings);
    QVERIFY2(survey, qPrintable(error));
    QVERIFY(!survey->IsBuilt());
    QVERIFY(survey->HasView(LpView::Inline));
    QVERIFY(!survey->HasView(LpView::Crossline));
    QCOMPARE(survey->LineAxis(LpView::Inline).count, 1);
    QCOMPARE(survey->LineTitle(LpView::Inline, 0), QStringLiteral("Inline 1000"));
    LpSection section;
    QVERIFY2(survey->Read(LpView::Inline, 0, &section, &error), qPrintable(error));
    QCOMPARE(section.columns, 4);
    QCOMPARE(section.horizontal.At(3), 23.0);
    QCOMPARE(section.At(3, 9), 39.0f);
    QCOMPARE(survey->Readout(LpView::Inline, 0, section, 2, 0).crosslineNumber, qint64(22));

    const auto cancel = [](qint64, qint64) { return false; };
    QVERIFY(!survey->BuildGeometry(&error, &warnings, cancel));
    QVERIFY2(error.contains(QStringLiteral("cancel")), qPrintable(error));
    QVERIFY(!survey->IsBuilt());
    QCOMPARE(survey->LineAxis(LpView::Inline).count, 1);

    QVERIFY2(survey->BuildGeometry(&error, &warnings), qPrintable(error));
    QVERIFY(survey->IsBuilt());
    QCOMPARE(survey->LineAxis(LpView::Inline).count, 3);
    QVERIFY(survey->HasView(LpView::Crossline));
    QVERIFY2(survey->Read(LpView::Inline, 2, &section, &error), qPrintable(error));
    QCOMPARE(section.At(3, 9), 119.0f);

    // Traces that all carry inline 0: the first page of traces until the index says more.
    const QString flat = dir.filePath(QStringLiteral("flat.sgy"));
    {
        SegyWriter writer(flat);
        writer.BinaryHeader().SetValue("sample_interval", 4000);
        QVERIFY(writer.Begin());
        const std::vector<float> samples(5, 1.0f);
        for (int t = 0; t < 3; ++t)
            QVERIFY(writer.WriteTrace(SegyTraceHeader(), samples.data(), 5));
        QVERIFY(writer.Finish());
    }
    const auto page = LpSurvey::OpenFile(flat, &error, &warnings);
    QVERIFY2(page, qPrintable(error));
    QCOMPARE(page->DefaultView(), LpView::Traces);
    QVERIFY2(page->Read(LpView::Traces, 0, &section, &error), qPrintable(error));
    QCOMPARE(section.columns, 3);
}

// A pre-stack survey of 2 x 2 bins and offsets 100, 200, 300: a bin's gather holds one trace
// per offset, whose samples are 1000 inline + 100 crossline + offset / 100.
void TestLoupeSection::gathers()
{
    const QString path = dir.filePath(QStringLiteral("prestack.sgy"));
    {
        SegyWriter writer(path);
        writer.BinaryHeader().SetValue("sample_interval", 4000);
        QVERIFY(writer.Begin());
        std::vector<float> samples(6);
        for (int il = 1; il <= 2; ++il) {
            for (int xl = 1; xl <= 2; ++xl) {
                for (int offset = 100; offset <= 300; offset += 100) {
                    SegyTraceHeader h;
                    h.SetValue(*FindSegyTraceField(189), il);
                    h.SetValue(*FindSegyTraceField(193), xl);
                    h.SetValue(*FindSegyTraceField(37), offset);
                    std::fill(
                        samples.begin(), samples.end(), float(1000 * il + 100 * xl + offset / 100));
                    QVERIFY(writer.WriteTrace(h, samples.data(), 6));
                }
            }
        }
        QVERIFY(writer.Finish());
    }
    QString error;
    QStringList warnings;
    const auto survey = LpSurvey::Open(path, &error, &warnings);
    QVERIFY2(survey, qPrintable(error));
    QVERIFY(survey->HasView(LpView::Gather));
    QCOMPARE(survey->LineAxis(LpView::Gather).count, 4);
    QCOMPARE(survey->LineTitle(LpView::Gather, 2), QStringLiteral("Bin inline 2 crossline 1"));
    LpSection section;
    QVERIFY2(survey->Read(LpView::Gather, 2, &section, &error), qPrintable(error));
    QCOMPARE(section.columns, 3);
    QCOMPARE(section.horizontal.At(2), 300.0);
    QCOMPARE(section.At(1, 5), 2102.0f);
    const LpReadout r = survey->Readout(LpView::Gather, 2, section, 2, 0);
    QCOMPARE(r.offset, qint64(300));
    QCOMPARE(r.trace, qint64(9));
    // Inlines show the first offset.
    QVERIFY2(survey->Read(LpView::Inline, 1, &section, &error), qPrintable(error));
    QCOMPARE(section.At(1, 0), 2201.0f);
}

void TestLoupeSection::badInput_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QString path = dir.filePath(QStringLiteral("good.sgy"));
    QVERIFY(WriteCube(path, -1));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    const auto with = [&](int pos, int width, quint64 value) {
        QByteArray b = good;
        for (int i = 0; i < width; ++i)
            b[pos - 1 + i] = char((value >> (8 * (width - 1 - i))) & 0xFF);
        return b;
    };
    // One float sample value for every sample of every trace (format 5 files).
    const auto filled = [&](float value) {
        QByteArray b = good;
        quint32 bits;
        std::memcpy(&bits, &value, 4);
        for (int t = 0; t < 12; ++t) {
            for (int s = 0; s < 10; ++s) {
                for (int i = 0; i < 4; ++i)
                    b[3600 + t * 280 + 240 + 4 * s + i] = char(bits >> (24 - 8 * i));
            }
        }
        return b;
    };
    QTest::newRow("not SEG-Y: 3000 bytes") << QByteArray(3000, 'x');
    QTest::newRow("headers only") << good.left(3600);
    QTest::newRow("truncated in the first trace header") << good.left(3700);
    QTest::newRow("truncated in the last trace") << good.left(good.size() - 7);
    QTest::newRow("half the file") << good.left(good.size() / 2);
    QTest::newRow("format code 17") << with(3225, 2, 17);
    QTest::newRow("format 4, samples refused") << with(3225, 2, 4);
    QTest::newRow("zero samples per trace") << with(3221, 2, 0);
    QTest::newRow("65535 samples per trace") << with(3221, 2, 65535);
    QTest::newRow("extended header count 30000") << with(3505, 2, 30000);
    QTest::newRow("zero sample interval") << with(3217, 2, 0);
    QTest::newRow("every sample NaN") << filled(kNaN);
    QTest::newRow("every sample infinite") << filled(kInf);
    QTest::newRow("every sample zero") << filled(0.0f);
    {
        // Wild line numbers: a grid far too large to read as lines.
        QByteArray b = good;
        for (int t = 0; t < 12; ++t)
            b[3600 + t * 280 + 188] = char(t * 37);
        QTest::newRow("inline numbers spread over 2^31") << b;
    }
    for (int step : {7, 97, 331}) {
        QByteArray b = good;
        for (int i = 3200 + step % 5; i < b.size(); i += step)
            b[i] = char(~b[i]);
        QTest::newRow(qPrintable(QStringLiteral("every %1th byte flipped").arg(step))) << b;
    }
}

// Whatever the bytes, the file is refused with a message naming it, or every view's first and
// last section reads and draws in every mode; nothing crashes, hangs or divides by zero.
void TestLoupeSection::badInput()
{
    QFETCH(QByteArray, bytes);

    const QString path = dir.filePath(QStringLiteral("bad.sgy"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
    }
    QString error;
    QStringList warnings;
    const auto survey = LpSurvey::Open(path, &error, &warnings);
    if (!survey) {
        QVERIFY2(error.startsWith(path + QStringLiteral(": ")), qPrintable(error));
        return;
    }
    LpSectionModel model;
    model.SetSurvey(survey.get());
    int shown = 0;
    for (LpView view :
        {LpView::Inline, LpView::Crossline, LpView::TimeSlice, LpView::Gather, LpView::Traces}) {
        if (!survey->HasView(view))
            continue;
        const int count = survey->LineAxis(view).count;
        QVERIFY(count > 0);
        for (int index : {0, count - 1}) {
            for (LpDisplayMode mode :
                {LpDisplayMode::Density, LpDisplayMode::Wiggle, LpDisplayMode::Both}) {
                LpDisplay display;
                display.mode = mode;
                display.agc = mode == LpDisplayMode::Both;
                model.SetDisplay(display);
                if (!model.Show(view, index, &error))
                    QVERIFY2(error.startsWith(path + QStringLiteral(": ")), qPrintable(error));
                const float clip = model.Clip();
                QVERIFY(std::isfinite(clip) && clip >= 0);
                const QImage image = LpRenderImage(QSize(300, 200), model.Section(), model.Scaled(),
                    mode, model.Table(), LpFitViewport(model.Section()), LpRenderStyle());
                QCOMPARE(image.size(), QSize(300, 200));
                survey->Readout(view, index, model.Section(), 0, 0);
                ++shown;
            }
        }
    }
    QVERIFY(shown > 0);
}

QTEST_MAIN(TestLoupeSection)
#include "test_loupe_section.moc"
