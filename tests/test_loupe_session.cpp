// ORV Loupe from start to exit on a virtual display: the real program, driven by keys as a user
// would (xdotool), on a small generated cube. It pages with Page Down, switches views and
// display modes, exports an image and checks its pixels against the cube's samples, opens a
// file that is not SEG-Y and finds the library's message in the console file with its box on
// screen, and quits with status 0. Screenshots of the inline in variable density and of a time
// slice in wiggles go to ORV_LOUPE_SHOTS.

#include "LpRender.h"

#include "SegyWriter.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr int kInlines = 12;
constexpr int kCrosslines = 16;
constexpr int kSamples = 200;

// Sample s of the trace at inline index i, crossline index j: a dipping sine of period 40
// samples, of opposite sign on odd inlines. Its largest magnitude, 1, fills 5% of the samples,
// so the 99% clip is 1.
double CubeSample(int i, int j, int s)
{
    return (i % 2 ? -1.0 : 1.0) * std::sin(2 * M_PI * (s + 2 * j) / 40.0);
}

bool WriteCube(const QString& path)
{
    SegyWriter writer(path);
    writer.BinaryHeader().SetValue("sample_interval", 4000);
    writer.BinaryHeader().SetValue("fixed_length", 1);
    if (!writer.Begin())
        return false;
    std::vector<float> trace(kSamples);
    for (int i = 0; i < kInlines; ++i) {
        for (int j = 0; j < kCrosslines; ++j) {
            SegyTraceHeader h;
            h.SetValue(*FindSegyTraceField(189), 1000 + i);
            h.SetValue(*FindSegyTraceField(193), 20 + j);
            for (int s = 0; s < kSamples; ++s)
                trace[std::size_t(s)] = float(CubeSample(i, j, s));
            if (!writer.WriteTrace(h, trace.data(), kSamples))
                return false;
        }
    }
    return writer.Finish();
}

QString Run(const QString& program, const QStringList& arguments, int timeoutMs = 20000)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

} // namespace

class TestLoupeSession : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void session();

private:
    QString WindowNamed(const QString& pattern);
    QString NameOf(const QString& window);
    bool WaitForTitle(const QString& window, const QString& part);
    void Keys(const QString& window, const QStringList& keys);
    QImage Shot(const QString& window, const QString& name);

    QTemporaryDir dir;
    QProcess xvfb;
    QString display;
};

void TestLoupeSession::initTestCase()
{
    for (const char* tool : {"Xvfb", "xdotool", "import", "xdpyinfo"}) {
        QVERIFY2(!QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty(),
            qPrintable(QStringLiteral("%1 is missing: scripts/test.sh installs it").arg(tool)));
    }
    int n = 90;
    while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))
        || QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
        ++n;
    display = QStringLiteral(":%1").arg(n);
    xvfb.start(QStringLiteral("Xvfb"),
        {display, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1400x900x24"),
            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QVERIFY(xvfb.waitForStarted());
    qputenv("DISPLAY", display.toLocal8Bit());
    const auto ready = [this] {
        QProcess probe;
        probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        probe.start(QStringLiteral("xdpyinfo"), {QStringLiteral("-display"), display});
        return probe.waitForFinished(5000) && probe.exitCode() == 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(ready(), 20000);
}

void TestLoupeSession::cleanupTestCase()
{
    xvfb.terminate();
    xvfb.waitForFinished(5000);
}

QString TestLoupeSession::WindowNamed(const QString& pattern)
{
    const QString found = Run(QStringLiteral("xdotool"),
        {QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
            QStringLiteral("--name"), pattern});
    return found.section(QLatin1Char('\n'), 0, 0);
}

QString TestLoupeSession::NameOf(const QString& window)
{
    return Run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window});
}

bool TestLoupeSession::WaitForTitle(const QString& window, const QString& part)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
        if (NameOf(window).contains(part)) {
            QTest::qWait(
                300); // the picture is made before the title changes; let it reach the screen
            return true;
        }
        QTest::qWait(50);
    }
    qWarning(
        "window title is \"%s\", not with \"%s\"", qPrintable(NameOf(window)), qPrintable(part));
    return false;
}

// Keys go to whichever window has the focus, as a user's would.
void TestLoupeSession::Keys(const QString& window, const QStringList& keys)
{
    Run(QStringLiteral("xdotool"),
        {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    Run(QStringLiteral("xdotool"),
        QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} + keys);
}

QImage TestLoupeSession::Shot(const QString& window, const QString& name)
{
    QDir().mkpath(QStringLiteral(ORV_LOUPE_SHOTS));
    const QString path = QStringLiteral(ORV_LOUPE_SHOTS "/") + name;
    QFile::remove(path);
    Run(QStringLiteral("import"), {QStringLiteral("-window"), window, path});
    qInfo("screenshot: %s", qPrintable(path));
    return QImage(path);
}

// Colours of a picture, as a count of distinct values: a blank or black window has one or two.
static int ColourCount(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    }
    return colours.size();
}

void TestLoupeSession::session()
{
    const QString cube = dir.filePath(QStringLiteral("cube.sgy"));
    QVERIFY(WriteCube(cube));
    const QString bad = dir.filePath(QStringLiteral("not-segy.sgy"));
    {
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(3000, 'x'));
    }
    const QString consoleFile = dir.filePath(QStringLiteral("session.console"));
    const QString exported = dir.filePath(QStringLiteral("inline-1001.png"));

    QProcess loupe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    // libxkbcommon-x11 strndup()s keymap names that are not NUL-terminated within the given
    // length, which is allowed; the sanitizer's strict string checks take it for an overflow.
    QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    if (!asan.isEmpty()) {
        asan.replace(
            QStringLiteral("strict_string_checks=1"), QStringLiteral("strict_string_checks=0"));
        env.insert(QStringLiteral("ASAN_OPTIONS"), asan);
    }
    loupe.setProcessEnvironment(env);
    loupe.setProcessChannelMode(QProcess::ForwardedChannels);
    loupe.start(QStringLiteral(ORV_LOUPE),
        {QStringLiteral("--console"), dir.filePath(QStringLiteral("session.log")), cube});
    QVERIFY(loupe.waitForStarted());

    const QString window = WindowNamed(QStringLiteral("ORV Loupe$"));
    QVERIFY(!window.isEmpty());
    QVERIFY(WaitForTitle(window, QStringLiteral("cube.sgy - Inline 1000 - ORV Loupe")));

    // Page Down: the next inline.
    Keys(window, {QStringLiteral("Next")});
    QVERIFY(WaitForTitle(window, QStringLiteral("cube.sgy - Inline 1001")));
    const QImage density = Shot(window, QStringLiteral("loupe-inline-density.png"));
    QVERIFY(!density.isNull());
    QVERIFY2(ColourCount(density) > 100, "the inline's screenshot shows no section");

    // The time slice in wiggles, then the crossline, then back to the inline in density.
    Keys(window, {QStringLiteral("ctrl+3")});
    QVERIFY(WaitForTitle(window, QStringLiteral("cube.sgy - Time 400 ms")));
    Keys(window, {QStringLiteral("ctrl+shift+w")});
    QTest::qWait(500);
    const QImage wiggles = Shot(window, QStringLiteral("loupe-timeslice-wiggle.png"));
    QVERIFY(!wiggles.isNull());
    Keys(window, {QStringLiteral("ctrl+2")});
    QVERIFY(WaitForTitle(window, QStringLiteral("cube.sgy - Crossline 20")));
    Keys(window, {QStringLiteral("ctrl+1"), QStringLiteral("ctrl+shift+d")});
    QVERIFY(WaitForTitle(window, QStringLiteral("cube.sgy - Inline 1001")));

    // Export at a given size through the dialog.
    Keys(window, {QStringLiteral("ctrl+e")});
    const QString exportDialog = WindowNamed(QStringLiteral("^Export image$"));
    QVERIFY(!exportDialog.isEmpty());
    Keys(exportDialog, {QStringLiteral("ctrl+a")});
    Run(QStringLiteral("xdotool"),
        {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), exported});
    Keys(exportDialog, {QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(exported), 10000);
    QTest::qWait(200);
    const QImage image(exported);
    QVERIFY(!image.isNull());
    // Inline 1001 (index 1) in grey, clip 1: the pixel at the centre of crossline j, sample s
    // shows round(127.5 x (value + 1)).
    const QRect plot = LpPlotRect(image.size(), LpRenderStyle());
    int checked = 0;
    for (int j = 0; j < kCrosslines; ++j) {
        for (int s = 0; s < kSamples; s += 3) {
            const int x = plot.left() + int((j + 0.5) * plot.width() / kCrosslines);
            const int y = plot.top() + int((s + 0.5) * plot.height() / kSamples);
            const int expected = int(std::lround(127.5 * (CubeSample(1, j, s) + 1)));
            const int got = qGray(image.pixel(x, y));
            QVERIFY2(std::abs(got - expected) <= 1,
                qPrintable(QStringLiteral("crossline %1 sample %2 at %3, %4: %5, not %6")
                               .arg(20 + j)
                               .arg(s)
                               .arg(x)
                               .arg(y)
                               .arg(got)
                               .arg(expected)));
            ++checked;
        }
    }
    QCOMPARE(checked, kCrosslines * 67);

    // A file that is not SEG-Y: the library's message in the console and a box; the cube stays.
    Keys(window, {QStringLiteral("ctrl+o")});
    const QString openDialog = WindowNamed(QStringLiteral("^Open SEG-Y file$"));
    QVERIFY(!openDialog.isEmpty());
    Run(QStringLiteral("xdotool"),
        {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), bad});
    Keys(openDialog, {QStringLiteral("Return")});
    const QString box = WindowNamed(QStringLiteral("^Error$"));
    QVERIFY(!box.isEmpty());
    QFile log(consoleFile);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString messages = QString::fromLocal8Bit(log.readAll());
    QVERIFY2(messages.contains(bad + QStringLiteral(": too short for a SEG-Y file: 3000 bytes")),
        qPrintable(messages));
    QVERIFY(messages.contains(QStringLiteral("Image written: ") + exported));
    Keys(box, {QStringLiteral("Return")});
    QVERIFY(WaitForTitle(window, QStringLiteral("cube.sgy - Inline 1001 - ORV Loupe")));

    // Quit.
    Keys(window, {QStringLiteral("ctrl+q")});
    QVERIFY(loupe.waitForFinished(20000));
    QCOMPARE(loupe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(loupe.exitCode(), 0);
}

QTEST_MAIN(TestLoupeSession)
#include "test_loupe_session.moc"
