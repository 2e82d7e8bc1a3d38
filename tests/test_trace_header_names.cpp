#include "TraceHeaderNames.h"

#include <QtTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

QStringList ExpectedLongNames()
{
    QStringList names = {
        "Byte position",
        "Field file",
        "Trace number",
        "Sequence number",
        "Trace type",
        "Field file",
        "Channel",
        "Sample interval",
        "Number of samples",
        "Start time",
        "CMP",
        "CMP line",
        "CMP location",
        "Receiver line",
        "Receiver location",
        "Source line",
        "Source location",
        "Early mute (ms)",
        "Gain",
        "Fold ",
        "Offset",
        "Src static (sec)",
        "Rcv static (sec)",
        "Total static (sec)",
        "Uphole time",
        "Shot depth",
        "CMP datum elev",
        "Receiver datum elev",
        "Source datum elev",
        "CMP northing",
        "CMP easting",
        "CMP elevation",
        "Receiver northing",
        "Receiver easting",
        "Receiver elevation",
        "Receiver depth",
        "Source northing",
        "Source easting",
        "Source elevation",
        "Velocity",
        "Const. Stack Panel",
        "Slice number",
        "Azimuth",
        "Rotation",
        "Ray parameter",
        "Source comp",
        "Receiver comp",
        "Frequency",
        "Gather index",
        "Orig src line",
        "Orig src loc",
        "Orig rcv line",
        "Orig rcv loc",
        "VSP measured depth",
        "VSP true depth",
        "VSP OWT",
        "VSP OWT GL",
        "VSP TWT GL",
        "VSP OWT SRD",
        "VSP TWT SRD",
        "VSP Vave",
        "VSP Vint",
        "VSP Vrms",
        "VSP comp",
        "Receiver orientation",
        "Weathering depth",
        "Monitor elev",
        "AVA comp",
    };
    for (int i = 1; i <= 12; ++i)
        names << QStringLiteral("User defined %1").arg(i);
    return names;
}

QStringList ExpectedShortNames()
{
    QStringList names = {
        "None",
        "Field file",
        "Channel",
        "CMP",
        "CMP line",
        "CMP location",
        "Source line",
        "Source location",
        "Receiver line",
        "Receiver location",
        "Offset",
        "Azimuth",
        "Trace index",
        "Trace type",
        "Early mute",
        "Gain",
        "Fold",
        "Frequency",
        "Total static",
        "Uphole time",
        "Shot depth",
        "CMP datum",
        "Source datum",
        "Receiver datum",
        "CMP easting",
        "CMP northing",
        "CMP elevation",
        "Source easting",
        "Source northing",
        "Source elevation",
        "Receiver easting",
        "Receiver northing",
        "Receiver elevation",
        "Receiver depth",
        "Source comp",
        "Receiver comp",
        "Ray parameter",
        "Rotation",
        "Velocity",
        "Const. Stack Panel",
        "Slice number",
    };
    for (int i = 1; i <= 12; ++i)
        names << QStringLiteral("User defined %1").arg(i);
    names << QStringList{
        "Orig Tx line",
        "Orig Tx loc",
        "Orig Rx line",
        "Orig Rx loc",
        "VSP measured depth",
        "VSP true depth",
        "VSP OWT",
        "VSP OWT GL",
        "VSP OWT SRD",
        "VSP TWT GL",
        "VSP TWT SRD",
        "VSP Vave",
        "VSP Vint",
        "VSP Vrms",
        "VSP component",
        "Receiver orientation",
        "Weathering depth",
        "Monitor elev",
        "AVA comp",
        "Pick time",
        "Source static",
        "Receiver static",
        "Gather index",
    };
    return names;
}

using Builder = QStringList (*)();

} // namespace

Q_DECLARE_METATYPE(Builder)

class TestTraceHeaderNames : public QObject {
    Q_OBJECT

private slots:
    // Runs first so that the threads race on the lists' very first build.
    void concurrentFirstCalls();
    void contents_data();
    void contents();
    void repeatedCalls_data();
    void repeatedCalls();
};

void TestTraceHeaderNames::concurrentFirstCalls()
{
    constexpr int threadCount = 8;
    constexpr int callsPerThread = 200;
    std::atomic<bool> go{false};
    std::vector<QStringList> longSeen(threadCount);
    std::vector<QStringList> shortSeen(threadCount);
    std::vector<int> mismatches(threadCount, 0);
    const QStringList expectedLong = ExpectedLongNames();
    const QStringList expectedShort = ExpectedShortNames();

    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load())
                std::this_thread::yield();
            // Odd threads start with the other builder, so both are first
            // built while the other one is being built too.
            for (int i = 0; i < callsPerThread; ++i) {
                QStringList a, b;
                if (t % 2) {
                    b = TraceHeaderShortNames();
                    a = TraceHeaderLongNames();
                } else {
                    a = TraceHeaderLongNames();
                    b = TraceHeaderShortNames();
                }
                if (a != expectedLong || b != expectedShort)
                    ++mismatches[t];
                longSeen[t] = a;
                shortSeen[t] = b;
            }
        });
    }
    go = true;
    for (std::thread& th : threads)
        th.join();

    for (int t = 0; t < threadCount; ++t) {
        QCOMPARE(mismatches[t], 0);
        QCOMPARE(longSeen[t], expectedLong);
        QCOMPARE(shortSeen[t], expectedShort);
    }
}

void TestTraceHeaderNames::contents_data()
{
    QTest::addColumn<Builder>("builder");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("size");
    QTest::newRow("long names, 80") << Builder(&TraceHeaderLongNames) << ExpectedLongNames() << 80;
    QTest::newRow("short names, 76")
        << Builder(&TraceHeaderShortNames) << ExpectedShortNames() << 76;
}

void TestTraceHeaderNames::contents()
{
    QFETCH(Builder, builder);
    QFETCH(QStringList, expected);
    QFETCH(int, size);

    QCOMPARE(expected.size(), size);
    QCOMPARE(builder(), expected);
}

void TestTraceHeaderNames::repeatedCalls_data()
{
    contents_data();
}

void TestTraceHeaderNames::repeatedCalls()
{
    QFETCH(Builder, builder);
    QFETCH(QStringList, expected);

    const QStringList first = builder();
    QStringList changed = builder();
    changed.append(QStringLiteral("extra"));
    changed[0] = QStringLiteral("renamed");
    const QStringList second = builder();
    QStringList cleared = builder();
    cleared.clear();
    const QStringList third = builder();

    // A caller's copy is its own: later calls neither double the list nor
    // see what a caller did to an earlier copy, and earlier copies stay put.
    QCOMPARE(first, expected);
    QCOMPARE(second, expected);
    QCOMPARE(third, expected);
    QCOMPARE(changed.size(), expected.size() + 1);
    QCOMPARE(changed.first(), QStringLiteral("renamed"));
}

QTEST_GUILESS_MAIN(TestTraceHeaderNames)
#include "test_trace_header_names.moc"
