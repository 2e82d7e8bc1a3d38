// orv-loupe --thumbnail, the real program as a file manager runs it: no display, no platform
// plugin named. A good file gives a grey PNG of its first line no larger than the size asked,
// with the line's bright and dark parts where the samples put them; a bad file or command line
// gives a non-zero status and leaves the output folder as it was.

#include "SegyWriter.h"

#include <QImage>
#include <QImageReader>
#include <QtTest>

namespace {

// A file of `lines` lines of `traces` traces of `samples` samples, inline by inline (inline
// numbers from 1000; all 0 for a line in file order). The first line's samples are +1 in the
// upper half of each trace and -1 in the lower half; the other lines have the opposite sign, so
// a picture of any line but the first comes out upside down.
bool WriteFile(const QString& path, int lines, int traces, int samples, bool numbered)
{
    SegyWriter writer(path);
    writer.BinaryHeader().SetValue("sample_interval", 2000);
    writer.BinaryHeader().SetValue("fixed_length", 1);
    if (!writer.Begin())
        return false;
    std::vector<float> trace(static_cast<std::size_t>(samples));
    for (int line = 0; line < lines; ++line) {
        for (int t = 0; t < traces; ++t) {
            SegyTraceHeader h;
            h.SetValue(*FindSegyTraceField(189), numbered ? 1000 + line : 0);
            h.SetValue(*FindSegyTraceField(193), numbered ? 1 + t : 0);
            for (int s = 0; s < samples; ++s)
                trace[std::size_t(s)] = (s < samples / 2) == (line == 0) ? 1.0f : -1.0f;
            if (!writer.WriteTrace(h, trace.data(), samples))
                return false;
        }
    }
    return writer.Finish();
}

struct Run {
    int status = -1;
    bool crashed = true;
    QString errors;
};

Run Thumbnail(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    process.setProcessEnvironment(env);
    process.start(
        QStringLiteral(ORV_LOUPE), QStringList{QStringLiteral("--thumbnail")} + arguments);
    Run run;
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.status = process.exitCode();
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

// The mean grey level of rows [top, bottom) of `image`.
double MeanGrey(const QImage& image, int top, int bottom)
{
    double sum = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    }
    return sum / (double(bottom - top) * image.width());
}

} // namespace

class TestLoupeThumbnail : public QObject {
    Q_OBJECT

private slots:
    void good_data();
    void good();
    void bad_data();
    void bad();

private:
    QTemporaryDir dir;
};

void TestLoupeThumbnail::good_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("traces");
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("numbered");
    QTest::addColumn<int>("size");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("cube of 6 inlines of 40 traces, 100 samples: 64x128")
        << 6 << 40 << 100 << true << 128 << QSize(64, 128);
    QTest::newRow("cube of 3 inlines of 300 traces, 400 samples: 192x256")
        << 3 << 300 << 400 << true << 256 << QSize(192, 256);
    QTest::newRow("2D line of 2000 traces of 50 samples, first 1000 traces: 100x50")
        << 1 << 2000 << 50 << false << 100 << QSize(100, 50);
    QTest::newRow("one trace of 8 samples at size 1: 1x1")
        << 1 << 1 << 8 << false << 1 << QSize(1, 1);
}

void TestLoupeThumbnail::good()
{
    QFETCH(int, lines);
    QFETCH(int, traces);
    QFETCH(int, samples);
    QFETCH(bool, numbered);
    QFETCH(int, size);
    QFETCH(QSize, expected);

    const QString input = dir.filePath(QStringLiteral("good.sgy"));
    const QString output = dir.filePath(QStringLiteral("good.png"));
    QFile::remove(output);
    QVERIFY(WriteFile(input, lines, traces, samples, numbered));
    const Run run = Thumbnail({input, output, QString::number(size)});
    QVERIFY2(!run.crashed && run.status == 0, qPrintable(run.errors));

    QImageReader reader(output);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage image = reader.read();
    QCOMPARE(image.size(), expected);
    QVERIFY(image.allGray());
    if (expected.height() < 4)
        return;
    // +1 at the clip is white, -1 black; averaged down, the quarters keep them.
    const int h = image.height();
    QVERIFY2(MeanGrey(image, 0, h / 4) > 200, "upper quarter not bright");
    QVERIFY2(MeanGrey(image, h - h / 4, h) < 55, "lower quarter not dark");
}

void TestLoupeThumbnail::bad_data()
{
    QTest::addColumn<QByteArray>("bytes"); // the input file, none when null
    QTest::addColumn<QStringList>("arguments"); // %i, %o for the input and output paths
    QTest::addColumn<int>("status");

    const QStringList usual{QStringLiteral("%i"), QStringLiteral("%o"), QStringLiteral("128")};
    const QString good = dir.filePath(QStringLiteral("for-bad.sgy"));
    QVERIFY(WriteFile(good, 2, 10, 20, true));
    QFile file(good);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();

    QTest::newRow("empty file") << QByteArray("") << usual << 1;
    QTest::newRow("text, not SEG-Y") << QByteArray(5000, 'x') << usual << 1;
    QTest::newRow("headers only") << bytes.left(3600) << usual << 1;
    QTest::newRow("truncated in the first trace header") << bytes.left(3700) << usual << 1;
    QTest::newRow("no such file") << QByteArray() << usual << 1;
    QTest::newRow("a folder") << QByteArray()
                              << QStringList{dir.path(), QStringLiteral("%o"),
                                     QStringLiteral("128")}
                              << 1;
    QTest::newRow("output folder missing")
        << bytes
        << QStringList{QStringLiteral("%i"), dir.filePath(QStringLiteral("none/out.png")),
               QStringLiteral("128")}
        << 1;
    QTest::newRow("size 0") << bytes
                            << QStringList{QStringLiteral("%i"), QStringLiteral("%o"),
                                   QStringLiteral("0")}
                            << 2;
    QTest::newRow("size not a number")
        << bytes << QStringList{QStringLiteral("%i"), QStringLiteral("%o"), QStringLiteral("big")}
        << 2;
    QTest::newRow("no size") << bytes << QStringList{QStringLiteral("%i"), QStringLiteral("%o")}
                             << 2;
}

void TestLoupeThumbnail::bad()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);

    QTemporaryDir work;
    const QString input = work.filePath(QStringLiteral("input.sgy"));
    if (!bytes.isNull()) {
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
    }
    arguments.replaceInStrings(QStringLiteral("%i"), input);
    arguments.replaceInStrings(QStringLiteral("%o"), work.filePath(QStringLiteral("out.png")));
    const QStringList before = QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden);

    const Run run = Thumbnail(arguments);
    QVERIFY(!run.crashed);
    QCOMPARE(run.status, status);
    QVERIFY(!run.errors.isEmpty());
    QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
}

QTEST_GUILESS_MAIN(TestLoupeThumbnail)
#include "test_loupe_thumbnail.moc"
